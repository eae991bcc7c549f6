// The colony's expert system: classifies the colony and its world into the
// symbolic facts of the rule base, runs the rules and retunes the four role
// shares from the conclusions found in the printed fact list.
#include "policy/ExpertSystem.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "colony/Colony.h"
#include "policy/LoadMessages.h"
#include "policy/RuleBaseFile.h"
#include "policy/RuleGallery.h"
#include "policy/RuleBaseText.h"
#include "policy/SafeText.h"

namespace {

// Classification thresholds: a value strictly above the first bound is the
// top word, strictly above the second the middle word, else the bottom word.
constexpr int32_t kFoodSupplyHigh = 800;
constexpr int32_t kFoodSupplyNormal = 400;
constexpr float kReservesHigh = 400.0f;
constexpr float kReservesStable = 200.0f;
constexpr int32_t kPopulationHigh = 400;
constexpr int32_t kPopulationStable = 300;
constexpr int32_t kGatherersHigh = 100;
constexpr int32_t kGatherersNormal = 60;
// Changes against the baseline of -4 .. 4 count as no change.
constexpr int32_t kChangeDeadBand = 4;

// Each pass starts both action lines as 28 spaces; a line no conclusion
// writes keeps them.
constexpr char kBlankAction[] = "                            ";
static_assert(sizeof(kBlankAction) == 29, "28 spaces");

// Share adjustments and the bounds applied right after each one.
constexpr float kReproducingStep = 3.0f;
constexpr float kReproducingMax = 30.0f;
constexpr float kReproducingMin = 5.0f;
constexpr float kGatheringStep = 5.0f;
constexpr float kGatheringMax = 50.0f;
constexpr float kGatheringMin = 12.0f;
constexpr float kEveryoneGathering = 70.0f;
constexpr float kShareTotal = 100.0f;

const char* ChangeWord(int64_t change) {
    if (change > kChangeDeadBand) return "increasing";
    if (change < -kChangeDeadBand) return "decreasing";
    return "stable";
}

// Reserves are a float; the change is the float difference truncated toward
// zero, so "beyond the dead band" means at least 5 away. NaN counts as stable.
const char* ReservesChangeWord(float change) {
    if (change >= static_cast<float>(kChangeDeadBand + 1)) return "increasing";
    if (change <= -static_cast<float>(kChangeDeadBand + 1)) return "decreasing";
    return "stable";
}

// Truncation toward zero that stays defined for values an int cannot hold.
int32_t TruncateToInt32(float value) {
    if (std::isnan(value)) return 0;
    if (value >= 2147483648.0f) return INT32_MAX;
    if (value <= -2147483648.0f) return INT32_MIN;
    return static_cast<int32_t>(value);
}

void CopyAction(char* line, const char* text) {
    std::snprintf(line, ExpertSystem::kActionCapacity, "%s", text);
}

const char* Level(int64_t value, int64_t top, int64_t middle, const char* topWord,
                  const char* middleWord, const char* bottomWord) {
    return value > top ? topWord : value > middle ? middleWord : bottomWord;
}

ShareSet SharesOf(const Colony& colony) {
    ShareSet shares;
    shares.gathering = colony.gatheringShare;
    shares.meandering = colony.meanderingShare;
    shares.wandering = colony.wanderingShare;
    shares.reproducing = colony.reproducingShare;
    return shares;
}

}  // namespace

void ExpertSystem::SetRunning(const RuleBaseSource& source) {
    const bool file = source.path != nullptr && *source.path != '\0';
    std::string name;
    if (source.name != nullptr && *source.name != '\0') {
        name = source.name;
    } else if (file) {
        name = RuleBaseNameOfFile(source.path);
    } else {
        name = RuleGallery::kDefaultName;
    }
    // A file's name may hold anything; the views print it on terminals too.
    for (char& c : name) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    }
    std::snprintf(ruleBaseName, sizeof ruleBaseName, "%s", name.c_str());
    ruleBaseText = file ? nullptr : source.text != nullptr ? source.text : kRuleBaseText;
    ruleBaseLength = file ? 0 : source.text != nullptr ? source.length : kRuleBaseLength;
}

void ExpertSystem::Init(const RuleBaseSource& source) {
    const char* rulesPath = source.path;
    // Named even when it does not load: the views say which one failed.
    SetRunning(source);
    firstPass = true;
    populationAction[0] = '\0';
    foodAction[0] = '\0';
    recentFailures = 0;
    reloadFailed = false;
    loadFailed = false;
    loadProblem[0] = '\0';
    // No file: a text in memory, or the built-in rules.
    if (rulesPath == nullptr || *rulesPath == '\0') {
        const bool text = source.text != nullptr;
        FinishLoad(engine.LoadText(text ? source.name : kBuiltInRulesName,
                                   text ? source.text : kRuleBaseText,
                                   text ? source.length : kRuleBaseLength));
        return;
    }
    // What is wrong with the file itself is said precisely here (a
    // directory, a FIFO, a file that is not there); the engine says what is
    // wrong with what it holds.
    char fileProblem[160];
    if (!CheckRuleBase(rulesPath, fileProblem, sizeof fileProblem)) {
        on = false;
        offByFailure = true;
        loadFailed = true;
        char line[EngineProcess::kProblemCapacity];
        std::snprintf(line, sizeof line, "the rule base \"%s\" %s", rulesPath, fileProblem);
        EscapeInto(loadProblem, sizeof loadProblem, line, std::strlen(line), false);
        std::fprintf(stderr, "marrowick: %s; the expert system is off\n", loadProblem);
        return;
    }
    FinishLoad(engine.Load(rulesPath));
}

// After a load: what the engine said, and off when the rule base did not
// load.
void ExpertSystem::FinishLoad(LoadResult result) {
    // Ending anyway (a signal during the load): nothing worth saying.
    if (!EngineProcess::WaitsAbandoned()) ShowLoadProblem(engine);
    if (result != LoadResult::Loaded) SwitchOffAfterLoad();
}

void ExpertSystem::SwitchOffAfterLoad() {
    on = false;
    offByFailure = true;
    loadFailed = true;
    engine.FirstLoadError(loadProblem, sizeof loadProblem);
    // Ending anyway (a signal during the load): nothing worth saying.
    if (!EngineProcess::WaitsAbandoned()) {
        std::fprintf(stderr, "marrowick: %s; the expert system is off\n",
                     Escaped(engine.Problem(), false).c_str());
    }
}

// What the engine said while loading: its messages with their FILE:LINE (the
// first few: --check-rules shows them all), what it wrote besides them, and
// the refused facilities the rule base called.
void ExpertSystem::ShowLoadProblem(const EngineProcess& loaded) {
    if (loaded.diagnosticCount + loaded.diagnosticsDropped > 0) {
        std::string text = FormatLoadMessages(loaded.RulesPath(), loaded.diagnostics,
                                              loaded.diagnosticCount, loaded.diagnosticsDropped,
                                              "marrowick: ", kShownLoadMessages);
        std::fputs(text.c_str(), stderr);
        std::fflush(stderr);
    } else {
        messages.EngineText(loaded.engineErrors.text, loaded.engineErrors.length);
    }
    messages.Refused(loaded.refusedCalls.data(), loaded.refusedCalls.size());
}

void ExpertSystem::Run(Colony& colony, int64_t step) {
    // Switched on after a failed load: there is nothing to run the facts against.
    if (!engine.Ready()) return;

    if (firstPass) {
        firstPass = false;
        baselineFoodReserves = TruncateToInt32(colony.foodReserves);
        baselineFoodSupply = colony.foodSupply;
    }

    PassFacts facts;
    facts.foodSupply =
        Level(colony.foodSupply, kFoodSupplyHigh, kFoodSupplyNormal, "high", "normal", "low");
    facts.foodSupplyChange =
        ChangeWord(static_cast<int64_t>(colony.foodSupply) - baselineFoodSupply);
    facts.foodReserves = colony.foodReserves > kReservesHigh     ? "high"
                         : colony.foodReserves > kReservesStable ? "stable"
                                                                 : "low";
    facts.population =
        Level(colony.population, kPopulationHigh, kPopulationStable, "high", "stable", "low");
    facts.foodReservesChange =
        ReservesChangeWord(colony.foodReserves - static_cast<float>(baselineFoodReserves));
    facts.gatherers =
        Level(colony.gatherers, kGatherersHigh, kGatherersNormal, "high", "normal", "low");

    const PassResult result = engine.Pass(facts);
    // Nothing ran (the program is ending, or no facts could be made): no record.
    if (result == PassResult::Failed || result == PassResult::Abandoned) return;
    PassRecord& record = StartRecord(facts, colony, step);
    messages.EngineText(engine.engineErrors.text, engine.engineErrors.length);
    messages.Refused(engine.refusedCalls.data(), engine.refusedCalls.size());

    // A pass that did not come to rest (an edited rule base can keep firing,
    // or conclude without end) is not trusted, so the shares and lines stay
    // as they were. So does a pass the engine failed.
    recentFailures = (recentFailures << 1) & ((1u << kFailureWindow) - 1);
    if (result != PassResult::Listed) {
        Failure(record, result, step);
        return;
    }

    CopyAction(populationAction, kBlankAction);
    CopyAction(foodAction, kBlankAction);

    // Conclusions act in fact-list order, which is the order of assertion.
    for (size_t i = 0; i < engine.conclusionCount; ++i) {
        const Conclusion conclusion = engine.conclusions[i];
        if (record.conclusionCount < static_cast<int32_t>(PassRecord::kMaxConclusions)) {
            record.conclusions[record.conclusionCount] = conclusion;
        }
        if (record.conclusionCount < INT32_MAX) ++record.conclusionCount;
        switch (conclusion) {
            case Conclusion::RaisePopulation:
                CopyAction(populationAction, "Raise Population");
                colony.reproducingShare += kReproducingStep;
                if (colony.reproducingShare > kReproducingMax) colony.reproducingShare = kReproducingMax;
                break;
            case Conclusion::RaiseFoodIntake:
                CopyAction(foodAction, "Raise Food Intake");
                colony.gatheringShare += kGatheringStep;
                if (colony.gatheringShare > kGatheringMax) colony.gatheringShare = kGatheringMax;
                break;
            case Conclusion::LowerPopulation:
                CopyAction(populationAction, "Lower Population");
                colony.reproducingShare -= kReproducingStep;
                if (colony.reproducingShare < kReproducingMin) colony.reproducingShare = kReproducingMin;
                break;
            case Conclusion::LowerFoodIntake:
                CopyAction(foodAction, "Lower Food Intake");
                colony.gatheringShare -= kGatheringStep;
                if (colony.gatheringShare < kGatheringMin) colony.gatheringShare = kGatheringMin;
                break;
            case Conclusion::OverUsingFood:
                CopyAction(populationAction, "Over Using Food");
                colony.gatheringShare = 0.0f;
                colony.reproducingShare = 0.0f;
                break;
            case Conclusion::UseEveryoneForFood:
                CopyAction(populationAction, "Use Everyone for food");
                colony.gatheringShare = kEveryoneGathering;
                break;
        }
    }
    Rescale(colony);
    record.after = SharesOf(colony);
}

// A pass that did not come to rest: recorded, said (each distinct line once),
// and counted in the window; kMaxFailedPasses of the last kFailureWindow
// switch the expert system off. True when this one did.
bool ExpertSystem::Failure(PassRecord& record, PassResult result, int64_t step) {
    ++failedPasses;
    recentFailures |= 1u;
    char line[EngineProcess::kProblemCapacity + 160];
    switch (result) {
        case PassResult::CutOff:
            record.outcome = PassOutcome::CutOff;
            ++cutOffPasses;
            std::snprintf(line, sizeof line,
                          "the rules were still at work after %lld units of work; the pass was "
                          "abandoned and the role shares left unchanged",
                          static_cast<long long>(kPassWorkBudget));
            break;
        case PassResult::TooManyConclusions:
            record.outcome = PassOutcome::TooManyConclusions;
            std::snprintf(line, sizeof line,
                          "the rules drew more than %zu conclusions in one pass; the pass was "
                          "abandoned and the role shares left unchanged",
                          RuleEngine::kMaxConclusions);
            break;
        default:
            record.outcome = PassOutcome::EngineFailed;
            std::snprintf(line, sizeof line, "%s; the role shares are left unchanged",
                          engine.Problem());
            break;
    }
    messages.Line(line);
    if (__builtin_popcount(recentFailures) < kMaxFailedPasses) return false;
    recentFailures = 0;
    on = false;
    offByFailure = true;
    offStep = step;
    std::fprintf(stderr,
                 "marrowick: the rule base failed %d of its last %d passes; the expert system is "
                 "off from step %lld\n",
                 kMaxFailedPasses, kFailureWindow, static_cast<long long>(step));
    return true;
}

PassRecord& ExpertSystem::StartRecord(const PassFacts& facts, const Colony& colony, int64_t step) {
    PassRecord& record = journal.Next();
    record.step = step;
    record.outcome = PassOutcome::Listed;
    const char* const symbols[kSymbolCount] = {facts.foodSupply,  facts.foodSupplyChange,
                                               facts.foodReserves, facts.population,
                                               facts.foodReservesChange, facts.gatherers};
    for (size_t i = 0; i < kSymbolCount; ++i) record.symbols[i] = symbols[i];
    record.conclusionCount = 0;
    record.before = SharesOf(colony);
    record.after = record.before;
    record.traced = engine.TraceRules();
    record.firings = engine.firings;
    record.work = engine.work;
    record.fired.Clear();
    if (record.traced) {
        // Blank-separated names, as many as fit.
        for (const uint32_t index : engine.fired) {
            const std::string& name = engine.RuleName(index);
            if (record.fired.length > 0) record.fired.Append(" ", 1);
            record.fired.Append(name.data(), name.size());
            if (record.fired.overflow) break;
        }
    }
    return record;
}

void ExpertSystem::Rescale(Colony& colony) {
    // Rescale to a total of 100 in single precision. With nothing to scale
    // (all four shares 0, or a total that is not finite) the shares stay as
    // they are rather than turning into NaN or infinity.
    const float total = colony.gatheringShare + colony.meanderingShare + colony.wanderingShare + colony.reproducingShare;
    if (total == 0.0f || !std::isfinite(total)) return;
    const float factor = kShareTotal / total;
    const float gathering = colony.gatheringShare * factor;
    const float meandering = colony.meanderingShare * factor;
    const float wandering = colony.wanderingShare * factor;
    const float reproducing = colony.reproducingShare * factor;
    if (!std::isfinite(gathering) || !std::isfinite(meandering) || !std::isfinite(wandering) ||
        !std::isfinite(reproducing)) {
        return;
    }
    colony.gatheringShare = gathering;
    colony.meanderingShare = meandering;
    colony.wanderingShare = wandering;
    colony.reproducingShare = reproducing;
}

bool ExpertSystem::TakeReload(EngineProcess& candidate, LoadResult result) {
    if (result != LoadResult::Loaded || !candidate.Ready()) {
        reloadFailed = true;
        candidate.FirstLoadError(loadProblem, sizeof loadProblem);
        return false;
    }
    messages.Refused(candidate.refusedCalls.data(), candidate.refusedCalls.size());
    // The new engine takes the settings of the one it replaces.
    candidate.SetEcho(engine.Echo());
    candidate.SetTraceRules(engine.TraceRules());
    engine.Swap(candidate);
    reloadFailed = false;
    loadFailed = false;
    loadProblem[0] = '\0';
    recentFailures = 0;
    ++reloads;
    if (offByFailure) {
        offByFailure = false;
        on = true;
    }
    return true;
}

RuleBaseState ExpertSystem::State() const {
    if (loadFailed || !engine.Ready()) return RuleBaseState::Failed;
    if (!on) return RuleBaseState::Off;
    if (journal.passes > 0 && journal.Back(0).outcome == PassOutcome::CutOff) {
        return RuleBaseState::CutOff;
    }
    return RuleBaseState::Loaded;
}

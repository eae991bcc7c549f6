// The colony's expert system: classifies the colony and its world into the
// symbolic facts of the rule base, runs the rules and retunes the four role
// shares from the conclusions found in the printed fact list.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "colony/Colony.h"
#include "policy/RuleBaseText.h"
#include "policy/RuleEngine.h"

// Last: the engine's headers define short macros (SetType, SetValue, ...).
extern "C" {
#include <clips/clips.h>
}

namespace {

constexpr const char* kWorldTemplate = "world";
constexpr const char* kColonyTemplate = "colony";
constexpr const char* kWorldSlots[] = {"food_supply", "change_FS"};
constexpr const char* kColonySlots[] = {"food_reserves", "population", "change_FR",
                                        "num_gathering_ants"};

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
    std::snprintf(line, Colony::kActionCapacity, "%s", text);
}

bool HasSlots(void* environment, void* deftemplate, const char* const* slots, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        if (!EnvDeftemplateSlotExistP(environment, deftemplate, slots[i])) return false;
    }
    return true;
}

// The rule base is usable only when both templates exist with every slot the
// pass fills in.
bool HasTemplates(void* environment) {
    void* world = EnvFindDeftemplate(environment, kWorldTemplate);
    void* colony = EnvFindDeftemplate(environment, kColonyTemplate);
    return world != nullptr && colony != nullptr &&
           HasSlots(environment, world, kWorldSlots, std::size(kWorldSlots)) &&
           HasSlots(environment, colony, kColonySlots, std::size(kColonySlots));
}

void PutSymbol(void* environment, void* fact, const char* slot, const char* value) {
    DATA_OBJECT data;
    SetType(data, SYMBOL);
    SetValue(data, EnvAddSymbol(environment, value));
    EnvPutFactSlot(environment, fact, slot, &data);
}

// Creates path exclusively and writes the built-in text into it; a partial
// write is removed again so that no truncated file is left to load.
bool WriteNewFile(const char* path) {
    const int fd = open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    size_t done = 0;
    while (done < kRuleBaseLength) {
        const ssize_t n = write(fd, kRuleBaseText + done, kRuleBaseLength - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    const bool closed = close(fd) == 0;
    if (done == kRuleBaseLength && closed) return true;
    unlink(path);
    return false;
}

// Provides the built-in rule base at path, which did not exist a moment ago.
// It is written under a temporary name and linked into place: a second
// instance starting at the same moment never loads a half-written file, and
// link() never replaces a file that appeared meanwhile (an edited rule base is
// never written over). Where hard links are not available the file is created
// in place, exclusively.
void WriteBuiltInRules(const char* path) {
    char temporary[4096];
    const int length = std::snprintf(temporary, sizeof temporary, "%s.%ld.new", path,
                                     static_cast<long>(getpid()));
    if (length > 0 && static_cast<size_t>(length) < sizeof temporary && WriteNewFile(temporary)) {
        const bool linked = link(temporary, path) == 0;
        const bool exists = !linked && errno == EEXIST;
        unlink(temporary);
        if (linked || exists) return;
    }
    WriteNewFile(path);
}

}  // namespace

void Colony::InitExpertSystem(const char* rulesPath) {
    firstPolicyPass = true;
    populationAction[0] = '\0';
    foodAction[0] = '\0';
    if (!ruleEnvironment.Usable()) {
        expertSystemOn = false;
        std::fprintf(stderr, "Marrowick: the rule engine could not be started; the expert system is off.\n");
        return;
    }
    void* environment = ruleEnvironment.Environment();

    if (std::FILE* existing = std::fopen(rulesPath, "rb")) {
        std::fclose(existing);
    } else {
        WriteBuiltInRules(rulesPath);
    }

    // The engine's own error text has gone to standard error by the time
    // EnvLoad returns (the error router is installed with the environment).
    const int loaded = EnvLoad(environment, rulesPath);
    const char* problem = nullptr;
    if (loaded == 0) {
        problem = "cannot be read";
    } else if (loaded != 1) {
        problem = "has errors";
    } else if (!HasTemplates(environment)) {
        problem = "lacks the world or colony template or one of their slots";
    }
    if (problem != nullptr) {
        expertSystemOn = false;
        std::fprintf(stderr, "Marrowick: the rule base \"%s\" %s; the expert system is off.\n",
                     rulesPath, problem);
    }
}

void Colony::RunExpertSystem() {
    if (!ruleEnvironment.Usable()) return;
    void* environment = ruleEnvironment.Environment();
    // Switched on after a failed load: there is nothing to run the facts against.
    if (!HasTemplates(environment)) return;
    void* worldTemplate = EnvFindDeftemplate(environment, kWorldTemplate);
    void* colonyTemplate = EnvFindDeftemplate(environment, kColonyTemplate);

    if (firstPolicyPass) {
        firstPolicyPass = false;
        baselineFoodReserves = TruncateToInt32(foodReserves);
        baselineFoodSupply = foodSupply;
    }

    ruleEnvironment.ClearListing();
    EnvReset(environment);

    void* world = EnvCreateFact(environment, worldTemplate);
    if (world == nullptr) return;
    PutSymbol(environment, world, "food_supply",
              foodSupply > kFoodSupplyHigh     ? "high"
              : foodSupply > kFoodSupplyNormal ? "normal"
                                               : "low");
    PutSymbol(environment, world, "change_FS",
              ChangeWord(static_cast<int64_t>(foodSupply) - baselineFoodSupply));
    EnvAssert(environment, world);

    void* colony = EnvCreateFact(environment, colonyTemplate);
    if (colony == nullptr) return;
    PutSymbol(environment, colony, "food_reserves",
              foodReserves > kReservesHigh     ? "high"
              : foodReserves > kReservesStable ? "stable"
                                               : "low");
    PutSymbol(environment, colony, "population",
              population > kPopulationHigh     ? "high"
              : population > kPopulationStable ? "stable"
                                               : "low");
    PutSymbol(environment, colony, "change_FR",
              ReservesChangeWord(foodReserves - static_cast<float>(baselineFoodReserves)));
    PutSymbol(environment, colony, "num_gathering_ants",
              gatherers > kGatherersHigh     ? "high"
              : gatherers > kGatherersNormal ? "normal"
                                             : "low");
    EnvAssert(environment, colony);

    // A rule base that keeps firing (an edited one can) is cut off; its
    // conclusions are not trusted, so the shares and lines stay as they were.
    const long long fired = EnvRun(environment, RuleEngine::kMaxRuleFirings);
    if (fired >= RuleEngine::kMaxRuleFirings) {
        if (!ruleEnvironment.runawayReported) {
            ruleEnvironment.runawayReported = true;
            std::fprintf(stderr,
                         "Marrowick: the rules were still firing after %ld firings; "
                         "the pass was abandoned and the role shares left unchanged.\n",
                         RuleEngine::kMaxRuleFirings);
        }
        return;
    }

    EnvFacts(environment, "proir", nullptr, -1, -1, -1);

    CopyAction(populationAction, kBlankAction);
    CopyAction(foodAction, kBlankAction);

    // Conclusions act in listing order, which is the order of assertion.
    const char* cursor = ruleEnvironment.factListing;
    char token[kTokenTextCapacity];
    for (TokenKind kind = NextToken(cursor, token); kind != TokenEnd;
         kind = NextToken(cursor, token)) {
        if (kind != TokenWord) continue;
        if (std::strcmp(token, "raise_population") == 0) {
            CopyAction(populationAction, "Raise Population");
            reproducingShare += kReproducingStep;
            if (reproducingShare > kReproducingMax) reproducingShare = kReproducingMax;
        } else if (std::strcmp(token, "raise_food_intake") == 0) {
            CopyAction(foodAction, "Raise Food Intake");
            gatheringShare += kGatheringStep;
            if (gatheringShare > kGatheringMax) gatheringShare = kGatheringMax;
        } else if (std::strcmp(token, "lower_population") == 0) {
            CopyAction(populationAction, "Lower Population");
            reproducingShare -= kReproducingStep;
            if (reproducingShare < kReproducingMin) reproducingShare = kReproducingMin;
        } else if (std::strcmp(token, "lower_food_intake") == 0) {
            CopyAction(foodAction, "Lower Food Intake");
            gatheringShare -= kGatheringStep;
            if (gatheringShare < kGatheringMin) gatheringShare = kGatheringMin;
        } else if (std::strcmp(token, "over_using_food") == 0) {
            CopyAction(populationAction, "Over Using Food");
            gatheringShare = 0.0f;
            reproducingShare = 0.0f;
        } else if (std::strcmp(token, "use_everyone_for_food") == 0) {
            CopyAction(populationAction, "Use Everyone for food");
            gatheringShare = kEveryoneGathering;
        }
    }

    // Rescale to a total of 100 in single precision. With nothing to scale
    // (all four shares 0, or a total that is not finite) the shares stay as
    // they are rather than turning into NaN or infinity.
    const float total = gatheringShare + meanderingShare + wanderingShare + reproducingShare;
    if (total == 0.0f || !std::isfinite(total)) return;
    const float factor = kShareTotal / total;
    const float gathering = gatheringShare * factor;
    const float meandering = meanderingShare * factor;
    const float wandering = wanderingShare * factor;
    const float reproducing = reproducingShare * factor;
    if (!std::isfinite(gathering) || !std::isfinite(meandering) || !std::isfinite(wandering) ||
        !std::isfinite(reproducing)) {
        return;
    }
    gatheringShare = gathering;
    meanderingShare = meandering;
    wanderingShare = wandering;
    reproducingShare = reproducing;
}

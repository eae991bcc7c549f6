#include "policy/RuleEngine.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

extern "C" {
#include <clips/clips.h>
}

namespace {

// Logical names: the console names are where the engine writes what a
// person at its prompt would see (the rules' printouts arrive as "stdout").
constexpr const char* kConsoleNames[] = {"stdout", "wdisplay", "wdialog", "wprompt", "wtrace"};
constexpr const char* kErrorNames[] = {"werror", "wwarning"};
// The string source LoadText reads from; no rule base can name it usefully.
constexpr const char* kSourceName = "marrowick-rule-base";

// The engine asks its routers in priority order for every piece it prints;
// the console router sits above the engine's own standard-stream router, so
// it answers first.
constexpr int kConsoleRouterPriority = 5;
// The rule firings one pass may make: the work budget holds them to fewer,
// this only keeps a run from counting without end should that ever fail.
constexpr long kRunLimit = static_cast<long>(kPassWorkBudget / kFiringWork) + 1;

void PutSymbol(void* environment, void* fact, const char* slot, const char* value) {
    DATA_OBJECT data;
    SetType(data, SYMBOL);
    SetValue(data, EnvAddSymbol(environment, value));
    EnvPutFactSlot(environment, fact, slot, &data);
}

bool IsOneOf(const char* name, const char* const* names, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        if (std::strcmp(name, names[i]) == 0) return true;
    }
    return false;
}

RuleEngine* EngineOf(void* environment) {
    return static_cast<RuleEngine*>(GetEnvironmentRouterContext(environment));
}

// Callbacks run inside engine calls: C linkage expectations, nothing throws.
int ConsoleRouterQuery(void*, const char* logicalName) noexcept {
    if (logicalName == nullptr) return 0;
    return IsOneOf(logicalName, kConsoleNames, std::size(kConsoleNames)) ||
           IsOneOf(logicalName, kErrorNames, std::size(kErrorNames));
}

int ConsoleRouterPrint(void* environment, const char* logicalName, const char* text) noexcept {
    RuleEngine* engine = EngineOf(environment);
    if (text == nullptr || engine == nullptr) return 1;
    if (IsOneOf(logicalName, kErrorNames, std::size(kErrorNames))) {
        if (engine->Capture()) {
            engine->errorText.Append(text, std::strlen(text));
        } else {
            std::fputs(text, stderr);
        }
        return 1;
    }
    if (!engine->Echo()) return 1;
    if (engine->Capture()) {
        engine->consoleText.Append(text, std::strlen(text));
    } else {
        std::fputs(text, stdout);
    }
    return 1;
}

// The parser's report of a construct that had errors or warnings; file is
// the name LoadText gave (only one source is ever parsed at a time).
void ParserMessage(void* environment, const char*, const char* warning, const char* error,
                   long line) noexcept {
    RuleEngine* engine = static_cast<RuleEngine*>(GetEnvironmentContext(environment));
    if (engine == nullptr) return;
    if (warning != nullptr && *warning != '\0') engine->AddDiagnostic(line, warning, true);
    if (error != nullptr && *error != '\0') engine->AddDiagnostic(line, error, false);
}

// The engine counts every CR and every LF as a line end, so in a file with
// CR LF line ends its count runs at twice the editor's. Returns the editor's
// line of the position where the engine's count (1-based) was reached.
int32_t EditorLine(const char* text, size_t length, long engineLine) {
    long ends = 0;  // line-end characters the engine has seen
    int32_t line = 1;
    for (size_t i = 0; i < length && ends < engineLine - 1; ++i) {
        const char c = text[i];
        if (c == '\n' || c == '\r') ++ends;
        if (c == '\n' || (c == '\r' && (i + 1 >= length || text[i + 1] != '\n'))) ++line;
    }
    return line;
}

// Called before every rule firing with the activation about to fire.
void BeforeFiring(void* environment, void* activation) noexcept {
    RuleEngine* engine = static_cast<RuleEngine*>(GetEnvironmentCallbackContext(environment));
    if (engine == nullptr || activation == nullptr) return;
    engine->Fired(static_cast<struct activation*>(activation)->theRule);
}

// The engine's periodic call: after every rule firing and load step (no
// expression being evaluated: not counted here, a firing counts in
// BeforeFiring), and at every turn of a loop and call of a function the rule
// base defined (an expression being evaluated: one unit).
void Periodic(void* environment) noexcept {
    if (EvaluationData(environment)->CurrentExpression == nullptr) return;
    RuleEngine* engine = static_cast<RuleEngine*>(GetEnvironmentContext(environment));
    if (engine != nullptr) engine->CountWork(1);
}

// The first template called name, MAIN's before any other module's (modules
// are visited in the order they were defined, MAIN first). Leaves the current
// module as it was.
void* FindTemplateInAnyModule(void* environment, const char* name, void*& module) {
    void* const current = EnvGetCurrentModule(environment);
    void* found = nullptr;
    module = nullptr;
    for (void* m = EnvGetNextDefmodule(environment, nullptr); m != nullptr && found == nullptr;
         m = EnvGetNextDefmodule(environment, m)) {
        EnvSetCurrentModule(environment, m);
        for (void* t = EnvGetNextDeftemplate(environment, nullptr); t != nullptr;
             t = EnvGetNextDeftemplate(environment, t)) {
            if (std::strcmp(EnvGetDeftemplateName(environment, t), name) == 0) {
                found = t;
                module = m;
                break;
            }
        }
    }
    if (current != nullptr) EnvSetCurrentModule(environment, current);
    return found;
}

void Describe(void* environment, void* deftemplate, void* module, const char* const* slots,
              size_t count, TemplateReport& report) {
    report = TemplateReport{};
    if (deftemplate == nullptr) return;
    report.found = true;
    std::snprintf(report.module, sizeof report.module, "%s",
                  EnvGetDefmoduleName(environment, module));
    for (size_t i = 0; i < count; ++i) {
        if (!EnvDeftemplateSlotExistP(environment, deftemplate, slots[i])) {
            report.slots[i] = SlotKind::Missing;
        } else if (EnvDeftemplateSlotMultiP(environment, deftemplate, slots[i])) {
            report.slots[i] = SlotKind::Multi;
        } else {
            report.slots[i] = SlotKind::Single;
        }
    }
}

bool Fits(const TemplateReport& report, size_t count) {
    if (!report.found) return false;
    for (size_t i = 0; i < count; ++i) {
        if (report.slots[i] != SlotKind::Single) return false;
    }
    return true;
}

// Every slot at its default first: the engine asserts a fact with an unset
// multislot as garbage, and a rule base may add slots of its own.
void* NewFact(void* environment, void* deftemplate) {
    void* fact = EnvCreateFact(environment, deftemplate);
    if (fact != nullptr) EnvAssignFactSlotDefaults(environment, fact);
    return fact;
}

}  // namespace

RuleEngine::RuleEngine() {
    environment = CreateEnvironment();
    if (environment == nullptr) return;
    // Routers go in before anything is loaded, so load errors already take the
    // error route instead of the engine's default (standard output).
    const bool routed =
        EnvAddRouterWithContext(environment, "marrowick-console", kConsoleRouterPriority,
                                ConsoleRouterQuery, ConsoleRouterPrint, nullptr, nullptr,
                                nullptr, this) &&
        EnvAddBeforeRunFunctionWithContext(environment, "marrowick-firing", BeforeFiring, 0, this) &&
        EnvAddPeriodicFunction(environment, "marrowick-work", Periodic, 0);
    if (!routed) {
        DestroyEnvironment(environment);
        environment = nullptr;
        return;
    }
    SetEnvironmentContext(environment, this);
    EnvSetParserErrorCallback(environment, ParserMessage);
}

void RuleEngine::AddDiagnostic(long engineLine, const char* text, bool warning) noexcept {
    if (diagnosticCount >= kMaxDiagnostics) {
        ++diagnosticsDropped;
        return;
    }
    LoadDiagnostic& d = diagnostics[diagnosticCount++];
    d.line = loadingText != nullptr ? EditorLine(loadingText, loadingLength, engineLine)
                                    : static_cast<int32_t>(engineLine);
    d.warning = warning;
    // The engine starts each message with a blank line: not part of it.
    while (*text == '\n' || *text == '\r') ++text;
    std::snprintf(d.text, sizeof d.text, "%s", text);
}

RuleEngine::~RuleEngine() {
    if (environment != nullptr) DestroyEnvironment(environment);
}

void RuleEngine::NoteRefused(const char* name) noexcept {
    if (name == nullptr) return;
    try {
        // Once each: a rule base may call it in a loop.
        const std::string line = std::string(name) + "\n";
        if (("\n" + refusedCalls).find("\n" + line) == std::string::npos) refusedCalls += line;
    } catch (...) {
    }
}

void RuleEngine::StartCounting(int64_t units) {
    budget = units;
    work = 0;
    firings = 0;
    overBudget = false;
    errorsAtHalt = 0;
    fired.clear();
    if (traceRules) fired.reserve(kMaxFirings);
}

// Whatever the halt left set is cleared, so the next load or pass starts
// clean; the engine's account of the halt itself is no message of the rule
// base's.
void RuleEngine::StopCounting() {
    budget = 0;
    if (!overBudget) return;
    SetHaltExecution(environment, FALSE);
    SetEvaluationError(environment, FALSE);
    EnvSetHaltRules(environment, FALSE);
    errorText.Truncate(errorsAtHalt);
}

void RuleEngine::CountWork(int64_t units) noexcept {
    if (budget <= 0 || overBudget) return;
    work += units;
    if (work <= budget) return;
    // Halted where it stands: the rule stops firing, loops and calls end.
    overBudget = true;
    errorsAtHalt = errorText.length;
    EnvSetHaltRules(environment, TRUE);
    SetHaltExecution(environment, TRUE);
}

void RuleEngine::Fired(const void* rule) noexcept {
    ++firings;
    if (traceRules && fired.size() < kMaxFirings) {
        const auto found = ruleIndex.find(rule);
        if (found != ruleIndex.end()) fired.push_back(found->second);
    }
    CountWork(kFiringWork);
}

LoadResult RuleEngine::Load(const char* path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return LoadResult::CannotRead;
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) return LoadResult::CannotRead;
    return LoadText(path, text.c_str(), text.size());
}

LoadResult RuleEngine::LoadText(const char* name, const char* text, size_t length) {
    if (environment == nullptr) return LoadResult::CannotRead;
    if (capture) {
        consoleText.Clear();
        errorText.Clear();
    }
    // The string source reads up to a NUL; a text with one inside it ends
    // there, as a C string would.
    const std::string source(text, length);
    diagnosticCount = 0;
    diagnosticsDropped = 0;
    ruleNames.clear();
    ruleCount = 0;
    ruleIndex.clear();
    refusedCalls.clear();
    if (!OpenStringSource(environment, kSourceName, source.c_str(), 0)) {
        return LoadResult::CannotRead;
    }
    loadingText = source.c_str();
    loadingLength = source.size();
    char* const previousName = EnvGetParsingFileName(environment);
    std::string previous = previousName != nullptr ? previousName : "";
    EnvSetParsingFileName(environment, name);
    StartCounting(kLoadWorkBudget);
    const int noErrors = LoadConstructsFromLogicalName(environment, kSourceName);
    StopCounting();
    EnvSetParsingFileName(environment, previousName != nullptr ? previous.c_str() : nullptr);
    CloseStringSource(environment, kSourceName);
    loadingText = nullptr;
    loadingLength = 0;

    FindTemplates();
    ListRules();
    if (overBudget) return LoadResult::OverBudget;
    if (!noErrors) return LoadResult::HasErrors;
    if (!Ready()) return LoadResult::LacksTemplates;
    return LoadResult::Loaded;
}

void RuleEngine::FindTemplates() {
    worldTemplate = FindTemplateInAnyModule(environment, kWorldTemplate, worldModule);
    colonyTemplate = FindTemplateInAnyModule(environment, kColonyTemplate, colonyModule);
    Describe(environment, worldTemplate, worldModule, kWorldSlots, kWorldSlotCount, worldReport);
    Describe(environment, colonyTemplate, colonyModule, kColonySlots, kColonySlotCount,
             colonyReport);
}

void RuleEngine::ListRules() {
    void* const current = EnvGetCurrentModule(environment);
    for (void* m = EnvGetNextDefmodule(environment, nullptr); m != nullptr;
         m = EnvGetNextDefmodule(environment, m)) {
        EnvSetCurrentModule(environment, m);
        for (void* r = EnvGetNextDefrule(environment, nullptr); r != nullptr;
             r = EnvGetNextDefrule(environment, r)) {
            // A rule with an or is one rule to the author and several to the
            // engine (its disjuncts), each of which can fire: all of them
            // are this rule.
            for (const struct defrule* part = static_cast<const struct defrule*>(r); part != nullptr;
                 part = part->disjunct) {
                ruleIndex.emplace(part, static_cast<uint32_t>(ruleCount));
            }
            ++ruleCount;
            ruleNames += EnvGetDefruleName(environment, r);
            ruleNames += '\n';
        }
    }
    if (current != nullptr) EnvSetCurrentModule(environment, current);
}

bool RuleEngine::Ready() const {
    return environment != nullptr && Fits(worldReport, kWorldSlotCount) &&
           Fits(colonyReport, kColonySlotCount);
}

PassResult RuleEngine::Pass(const PassFacts& facts) {
    conclusionCount = 0;
    if (capture) {
        consoleText.Clear();
        errorText.Clear();
    }
    refusedCalls.clear();
    StartCounting(kPassWorkBudget);
    const PassResult result = RunPass(facts);
    StopCounting();
    return result;
}

PassResult RuleEngine::RunPass(const PassFacts& facts) {
    if (!Ready()) return PassResult::Failed;
    // The reset evaluates the defglobals again: their work counts too.
    EnvReset(environment);
    if (overBudget) return PassResult::CutOff;

    // A reset leaves MAIN alone in focus; rules beside templates declared in
    // another module run only with that module in focus as well.
    void* const mainModule = EnvFindDefmodule(environment, "MAIN");
    if (worldModule != mainModule) EnvFocus(environment, worldModule);
    if (colonyModule != mainModule && colonyModule != worldModule) {
        EnvFocus(environment, colonyModule);
    }

    void* world = NewFact(environment, worldTemplate);
    if (world == nullptr) return PassResult::Failed;
    PutSymbol(environment, world, "food_supply", facts.foodSupply);
    PutSymbol(environment, world, "change_FS", facts.foodSupplyChange);
    EnvAssert(environment, world);

    void* colony = NewFact(environment, colonyTemplate);
    if (colony == nullptr) return PassResult::Failed;
    PutSymbol(environment, colony, "food_reserves", facts.foodReserves);
    PutSymbol(environment, colony, "population", facts.population);
    PutSymbol(environment, colony, "change_FR", facts.foodReservesChange);
    PutSymbol(environment, colony, "num_gathering_ants", facts.gatherers);
    EnvAssert(environment, colony);

    if (EnvRun(environment, kRunLimit) >= kRunLimit || overBudget) return PassResult::CutOff;
    return ReadConclusions() ? PassResult::Listed : PassResult::TooManyConclusions;
}

// Every fact whose relation is a conclusion, in fact-list order.
bool RuleEngine::ReadConclusions() {
    conclusionCount = 0;
    for (void* fact = EnvGetNextFact(environment, nullptr); fact != nullptr;
         fact = EnvGetNextFact(environment, fact)) {
        Conclusion conclusion;
        const char* relation = EnvGetDeftemplateName(environment, EnvFactDeftemplate(environment, fact));
        if (relation == nullptr || !ConclusionFromWord(relation, conclusion)) continue;
        if (conclusionCount == kMaxConclusions) {
            conclusionCount = 0;
            return false;
        }
        conclusions[conclusionCount++] = conclusion;
    }
    return true;
}

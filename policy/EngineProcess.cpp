#include "policy/EngineProcess.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "policy/EngineLauncher.h"
#include "policy/EngineSandbox.h"
#include "policy/RuleBaseCheck.h"
#include "policy/SafeText.h"

namespace {

constexpr int64_t kNsPerMs = 1000000;
constexpr EngineChannel::Budget kStartBudget{EngineProcess::kStartLimitMs * kNsPerMs,
                                             EngineProcess::kStartLimitMs * kNsPerMs};
constexpr EngineChannel::Budget kLoadLimits{EngineProcess::kLoadCpuLimitMs * kNsPerMs,
                                            EngineProcess::kLoadWallLimitMs * kNsPerMs};
constexpr EngineChannel::Budget kPassLimits{EngineProcess::kPassCpuLimitMs * kNsPerMs,
                                            EngineProcess::kPassWallLimitMs * kNsPerMs};
// What a person reads about a run stopped by the backstop.
constexpr const char kNotReproducible[] = "; this run's results may not be reproducible";

const char* SignalText(int signalNumber) {
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 32))
    const char* text = sigdescr_np(signalNumber);
    return text != nullptr ? text : "unknown signal";
#else
    (void)signalNumber;
    return "signal";
#endif
}

// How the engine ended, for the end of a message: " (signal 11, Segmentation
// fault)", " (exit status 0)", or nothing when the status is unknown.
// Running out of memory is said in words instead.
void EndingDetail(int status, char* text, size_t capacity) {
    text[0] = '\0';
    if (status < 0) return;
    if (WIFSIGNALED(status)) {
        std::snprintf(text, capacity, " (signal %d, %s)", WTERMSIG(status),
                      SignalText(WTERMSIG(status)));
    } else if (WIFEXITED(status)) {
        std::snprintf(text, capacity, " (exit status %d)", WEXITSTATUS(status));
    }
}

bool OutOfMemory(int status) {
    return status >= 0 && WIFSIGNALED(status) && WTERMSIG(status) == kEngineOutOfMemorySignal;
}

// Reads past the load messages of a restart's answer (the first load kept
// them already).
bool SkipDiagnostics(FrameReader& reader, LoadDiagnostic& scratch) {
    const uint32_t count = reader.Word();
    reader.Word();
    for (uint32_t i = 0; i < count && reader.Ok(); ++i) {
        reader.Word();
        reader.Word();
        reader.Text(scratch.text, sizeof scratch.text);
    }
    return reader.Ok();
}

// In place: the engine's text as a person may see it.
void EscapeInPlace(char* text, size_t capacity) {
    const std::string raw = text;
    EscapeInto(text, capacity, raw.data(), raw.size());
}

// A list of "name\n" entries, each escaped.
bool TakeNames(const char* names, size_t length, std::vector<std::string>& into) {
    into.clear();
    size_t start = 0;
    while (start < length) {
        const char* end = static_cast<const char*>(std::memchr(names + start, '\n', length - start));
        if (end == nullptr) return false;
        const size_t size = static_cast<size_t>(end - (names + start));
        into.push_back(Escaped(names + start, size, false));
        start += size + 1;
    }
    return true;
}

}  // namespace

void EngineProcess::ClearPass() {
    conclusionCount = 0;
    work = 0;
    firings = 0;
    fired.clear();
    engineErrors.Clear();
    refusedCalls.clear();
}

const std::string& EngineProcess::RuleName(uint32_t index) const {
    static const std::string unknown = "?";
    return index < rules.size() ? rules[index] : unknown;
}

// ---------------------------------------------------------------------------
// Load

bool EngineProcess::ReadRuleBase(const char* path) {
    // Non-blocking: a FIFO without a writer must not hang the start.
    const int file = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (file < 0) {
        std::snprintf(problem, sizeof problem, "the rule base \"%s\" cannot be read: %s", path,
                      std::strerror(errno));
        return false;
    }
    struct stat info {};
    bool ok = fstat(file, &info) == 0 && S_ISREG(info.st_mode);
    if (!ok) {
        std::snprintf(problem, sizeof problem, "the rule base \"%s\" is not a regular file", path);
    } else if (static_cast<uint64_t>(info.st_size) > kMaxRuleBaseBytes) {
        std::snprintf(problem, sizeof problem, "the rule base \"%s\" is larger than %zu MiB", path,
                      kMaxRuleBaseBytes >> 20);
        ok = false;
    }
    char block[65536];
    while (ok) {
        const ssize_t n = read(file, block, sizeof block);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            std::snprintf(problem, sizeof problem, "the rule base \"%s\" cannot be read: %s", path,
                          std::strerror(errno));
            ok = false;
        } else if (n == 0) {
            break;
        } else if (ruleBaseText.size() + static_cast<size_t>(n) > kMaxRuleBaseBytes) {
            // It grew while being read.
            std::snprintf(problem, sizeof problem, "the rule base \"%s\" is larger than %zu MiB",
                          path, kMaxRuleBaseBytes >> 20);
            ok = false;
        } else {
            ruleBaseText.append(block, static_cast<size_t>(n));
        }
    }
    close(file);
    return ok;
}

LoadResult EngineProcess::Load(const char* path) {
    LetEngineGo();
    ready = false;
    backstop = false;
    problem[0] = '\0';
    rulesPath = path;
    ruleBaseText.clear();
    ClearPass();
    ClearLoadReport();
    if (!ReadRuleBase(path)) return LoadResult::CannotRead;
    return LoadReadText();
}

LoadResult EngineProcess::LoadReadText() {
    // Text the engine would misread is refused here, with its line.
    const RuleBaseTextCheck check = CheckRuleBaseText(ruleBaseText.data(), ruleBaseText.size());
    if (!check.ok) {
        LoadDiagnostic& d = diagnostics[0];
        d.line = check.line;
        d.warning = false;
        std::snprintf(d.text, sizeof d.text, "%s", check.message);
        diagnosticCount = 1;
        std::snprintf(problem, sizeof problem, "the rule base \"%s\" %s", rulesPath.c_str(),
                      check.summary);
        return LoadResult::BadText;
    }
    textStart = check.skip;
    char reason[512];
    if (!FindEngineProgram(program, sizeof program, reason, sizeof reason)) {
        std::snprintf(problem, sizeof problem, "the rule engine could not be started: %s", reason);
        return LoadResult::EngineFailed;
    }
    if (TakeKeptEngine()) return SendRuleBase(true);
    if (!Start()) return LoadResult::EngineFailed;
    return LoadInEngine(true);
}

// ---------------------------------------------------------------------------
// Engines kept for reuse (a sweep's worker)

namespace {

bool reuseEngines = false;

// The one engine kept between two loads.
EngineChannel& KeptEngine() {
    static EngineChannel kept;
    return kept;
}

}  // namespace

void EngineProcess::ReuseEngines(bool on) {
    reuseEngines = on;
    if (!on) KeptEngine().End(true);
}

EngineProcess::~EngineProcess() { LetEngineGo(); }

// Ends the engine, or keeps it: only one that loaded and answers, idle.
void EngineProcess::LetEngineGo() {
    if (reuseEngines && engineLoaded && channel.Running() && !KeptEngine().Running() &&
        !WaitsAbandoned() && !Cancelled()) {
        KeptEngine().Swap(channel);
    }
    channel.End(true);
    engineLoaded = false;
}

// Takes the kept engine and renews it; true when it is then Ready for the
// rule base. One that fails to renew is ended: the caller starts a new one.
bool EngineProcess::TakeKeptEngine() {
    if (!reuseEngines || !KeptEngine().Running()) return false;
    channel.Swap(KeptEngine());
    char frame[kFrameHeaderSize];
    FrameWriter writer(frame, sizeof frame, EngineMessage::Renew);
    const size_t length = writer.Finish();
    uint32_t kind = 0;
    FrameReader answer(nullptr, 0);
    const Outcome outcome =
        channel.Exchange(frame, length, nullptr, 0, EngineMessage::Ready, kStartBudget, kind, answer);
    if (outcome == Outcome::Ok && kind == static_cast<uint32_t>(EngineMessage::Ready)) return true;
    channel.End(false);
    problem[0] = '\0';
    return false;
}

bool EngineProcess::Start() {
    engineLoaded = false;
    char reason[256];
    if (channel.Start(program, reason, sizeof reason)) return true;
    std::snprintf(problem, sizeof problem, "the rule engine %.300s could not be started: %.200s",
                  program, reason);
    return false;
}

// Waits for the started engine to be Ready, then hands it the rule base.
LoadResult EngineProcess::LoadInEngine(bool first) {
    uint32_t kind = 0;
    FrameReader started(nullptr, 0);
    const Outcome outcome = channel.Receive(EngineMessage::Ready, kStartBudget, kind, started);
    if (outcome == Outcome::Ok && kind == static_cast<uint32_t>(EngineMessage::StartFailed)) {
        char reason[256];
        if (!started.Text(reason, sizeof reason)) std::snprintf(reason, sizeof reason, "no reason given");
        channel.End(false);
        std::snprintf(problem, sizeof problem, "the rule engine could not enter its sandbox: %s",
                      reason);
        return LoadResult::EngineFailed;
    }
    if (outcome != Outcome::Ok) {
        Failed(outcome, Stage::Start);
        return LoadResult::EngineFailed;
    }
    return SendRuleBase(first);
}

// Hands the Ready engine the rule base text and checks what it reports. The
// first load keeps its messages for whoever loads; a restart loads the same
// text within a pass's limits and keeps nothing but the outcome.
LoadResult EngineProcess::SendRuleBase(bool first) {
    uint32_t kind = 0;
    Outcome outcome = Outcome::Ok;

    // The head: the source's name and the text's length word; the text itself
    // follows straight from ruleBaseText, and the frame's length covers it.
    const char* const text = ruleBaseText.data() + textStart;
    const size_t textLength = ruleBaseText.size() - textStart;
    std::string head(kFrameHeaderSize + 2 * sizeof(uint32_t) + rulesPath.size(), '\0');
    FrameWriter writer(head.data(), head.size(), EngineMessage::Load);
    writer.Bytes(rulesPath.data(), rulesPath.size());
    writer.Word(static_cast<uint32_t>(textLength));
    const size_t headLength = writer.Finish();
    const uint32_t payload = static_cast<uint32_t>(headLength - kFrameHeaderSize + textLength);
    std::memcpy(head.data() + sizeof(uint32_t), &payload, sizeof payload);
    FrameReader reader(nullptr, 0);
    outcome = channel.Exchange(head.data(), headLength, text, textLength, EngineMessage::Loaded,
                               first ? kLoadLimits : kPassLimits, kind, reader);
    if (outcome != Outcome::Ok) {
        Failed(outcome, first ? Stage::Load : Stage::Restart);
        return LoadResult::EngineFailed;
    }
    uint32_t status = 0;
    if (!TakeLoadAnswer(reader, first, status)) {
        Failed(Outcome::Garbled, first ? Stage::Load : Stage::Restart);
        return LoadResult::EngineFailed;
    }
    engineLoaded = true;
    if (status == kLoadedOverBudget) {
        channel.End(true);
        engineLoaded = false;
        ready = false;
        std::snprintf(problem, sizeof problem,
                      "the rule base \"%s\" did more than %lld units of work while loading "
                      "(its defglobals' values) and was stopped",
                      rulesPath.c_str(), static_cast<long long>(kLoadWorkBudget));
        return LoadResult::OverBudget;
    }
    ready = CheckTemplates(worldReport, colonyReport);
    if (!ready) channel.End(true);  // nothing will ever run on it
    if (status == kLoadedWithErrors) {
        // Templates that do not fit say more than "has errors".
        if (ready) {
            std::snprintf(problem, sizeof problem, "the rule base \"%s\" has errors",
                          rulesPath.c_str());
        }
        return LoadResult::HasErrors;
    }
    return ready ? LoadResult::Loaded : LoadResult::LacksTemplates;
}

// The Loaded answer (policy/EngineProtocol.h). The first load keeps the
// report; a restart checks it and keeps only the templates it checks.
bool EngineProcess::TakeLoadAnswer(FrameReader& reader, bool first, uint32_t& status) {
    status = reader.Word();
    const uint32_t used = reader.Word();
    const char* errors = nullptr;
    size_t errorsLength = 0;
    reader.Bytes(errors, errorsLength);
    TemplateReport world;
    TemplateReport colony;
    const char* names = nullptr;
    size_t namesLength = 0;
    const char* refused = nullptr;
    size_t refusedLength = 0;
    size_t keptCount = 0;
    size_t dropped = 0;
    LoadDiagnostic scratch[1];
    const bool reports =
        ReadTemplateReport(reader, world, kWorldSlotCount) &&
        ReadTemplateReport(reader, colony, kColonySlotCount) &&
        (first ? ReadDiagnostics(reader, diagnostics, RuleEngine::kMaxDiagnostics, keptCount, dropped)
               : SkipDiagnostics(reader, scratch[0])) &&
        reader.Bytes(names, namesLength) && reader.Bytes(refused, refusedLength);
    if (!reports || !reader.AtEnd() || status > kLoadedOverBudget ||
        refusedLength > kMaxRefusedBytes || std::memchr(errors, '\0', errorsLength) != nullptr) {
        if (first) diagnosticCount = 0;
        return false;
    }
    EscapeInPlace(world.module, sizeof world.module);
    EscapeInPlace(colony.module, sizeof colony.module);
    worldReport = world;
    colonyReport = colony;
    if (!first) return true;
    diagnosticCount = keptCount;
    diagnosticsDropped = dropped;
    for (size_t i = 0; i < diagnosticCount; ++i) {
        EscapeInPlace(diagnostics[i].text, sizeof diagnostics[i].text);
    }
    loadWork = used;
    engineErrors.Append(errors, errorsLength);
    refusedCalls.assign(refused, refusedLength);
    return TakeNames(names, namesLength, rules);
}

// Every slot a pass writes must be there and hold one value; what does not
// fit is named in problem.
bool EngineProcess::CheckTemplates(const TemplateReport& world, const TemplateReport& colony) {
    const struct {
        const TemplateReport& report;
        const char* name;
        const char* const* slots;
        size_t count;
    } templates[] = {{world, kWorldTemplate, kWorldSlots, kWorldSlotCount},
                     {colony, kColonyTemplate, kColonySlots, kColonySlotCount}};
    const char* const path = rulesPath.c_str();
    for (const auto& t : templates) {
        if (!t.report.found) {
            std::snprintf(problem, sizeof problem, "the rule base \"%s\" has no template \"%s\"",
                          path, t.name);
            return false;
        }
        for (size_t i = 0; i < t.count; ++i) {
            if (t.report.slots[i] == SlotKind::Missing) {
                std::snprintf(problem, sizeof problem,
                              "the rule base \"%s\" lacks slot \"%s\" in template \"%s\"", path,
                              t.slots[i], t.name);
                return false;
            }
            if (t.report.slots[i] == SlotKind::Multi) {
                std::snprintf(problem, sizeof problem,
                              "the rule base \"%s\" declares slot \"%s\" of template \"%s\" as a "
                              "multislot, where the expert system writes a single value",
                              path, t.slots[i], t.name);
                return false;
            }
        }
    }
    return true;
}

// ---------------------------------------------------------------------------
// Pass

PassResult EngineProcess::Pass(const PassFacts& facts) {
    ClearPass();
    if (!ready) return PassResult::Failed;
    if (WaitsAbandoned() || Cancelled()) return PassResult::Abandoned;
    // After a failure: a fresh engine, with the same rule base.
    if (!channel.Running() && !Start()) return PassResult::EngineFailed;
    if (!engineLoaded) {
        const LoadResult reloaded = LoadInEngine(false);
        if (WaitsAbandoned() || Cancelled()) return PassResult::Abandoned;
        if (reloaded != LoadResult::Loaded && reloaded != LoadResult::HasErrors) {
            ready = true;  // the rule base itself loaded once: the next pass tries again
            return PassResult::EngineFailed;
        }
    }

    FrameWriter writer(request, sizeof request, EngineMessage::Pass);
    writer.Word((echo ? kPassEcho : 0u) | (traceRules ? kPassTrace : 0u));
    for (const char* symbol : {facts.foodSupply, facts.foodSupplyChange, facts.foodReserves,
                               facts.population, facts.foodReservesChange, facts.gatherers}) {
        writer.Text(symbol);
    }
    const size_t length = writer.Finish();
    if (length == 0) return PassResult::Failed;

    uint32_t kind = 0;
    FrameReader reader(nullptr, 0);
    Outcome outcome =
        channel.Exchange(request, length, nullptr, 0, EngineMessage::Listed, kPassLimits, kind, reader);
    PassResult result = PassResult::Listed;
    if (outcome == Outcome::Ok && !TakePassAnswer(reader, result)) outcome = Outcome::Garbled;
    if (outcome == Outcome::Abandoned) {
        channel.End(false);
        engineLoaded = false;
        return PassResult::Abandoned;
    }
    if (outcome != Outcome::Ok) {
        ClearPass();
        Failed(outcome, Stage::Pass);
        Start();  // ready for the next pass; should it fail, the next pass says so
        return PassResult::EngineFailed;
    }
    return result;
}

// The rules' printouts go to standard output, escaped, while echo is on; the
// errors are kept for whoever runs the pass to show.
bool EngineProcess::TakePassAnswer(FrameReader& reader, PassResult& result) {
    ClearPass();
    const uint32_t kind = reader.Word();
    const uint32_t used = reader.Word();
    const uint32_t fires = reader.Word();
    const char* concluded = nullptr;
    const char* console = nullptr;
    const char* errors = nullptr;
    const char* refused = nullptr;
    const char* indices = nullptr;
    size_t concludedSize = 0;
    size_t consoleSize = 0;
    size_t errorsSize = 0;
    size_t refusedSize = 0;
    size_t indicesSize = 0;
    reader.Bytes(concluded, concludedSize);
    reader.Bytes(console, consoleSize);
    reader.Bytes(errors, errorsSize);
    reader.Bytes(refused, refusedSize);
    reader.Bytes(indices, indicesSize);
    // Text from the engine is C text: a NUL in it is no engine of ours.
    if (!reader.AtEnd() || std::memchr(errors, '\0', errorsSize) != nullptr ||
        std::memchr(console, '\0', consoleSize) != nullptr ||
        kind > static_cast<uint32_t>(PassResult::TooManyConclusions) ||
        (kind != static_cast<uint32_t>(PassResult::Listed) && concludedSize > 0) ||
        concludedSize > RuleEngine::kMaxConclusions || refusedSize > kMaxRefusedBytes ||
        indicesSize % sizeof(uint32_t) != 0 ||
        indicesSize / sizeof(uint32_t) > RuleEngine::kMaxFirings || fires > INT32_MAX) {
        return false;
    }
    for (size_t i = 0; i < concludedSize; ++i) {
        if (static_cast<unsigned char>(concluded[i]) >= kConclusionCount) return false;
    }
    for (size_t i = 0; i < concludedSize; ++i) conclusions[i] = static_cast<Conclusion>(concluded[i]);
    result = static_cast<PassResult>(kind);
    conclusionCount = concludedSize;
    work = used;
    firings = static_cast<int32_t>(fires);
    fired.resize(indicesSize / sizeof(uint32_t));
    if (indicesSize > 0) std::memcpy(fired.data(), indices, indicesSize);
    engineErrors.Append(errors, errorsSize);
    refusedCalls.assign(refused, refusedSize);
    if (consoleSize > 0 && echo) {
        const std::string shown = Escaped(console, consoleSize);
        std::fwrite(shown.data(), 1, shown.size(), stdout);
        std::fflush(stdout);
    }
    return true;
}

// ---------------------------------------------------------------------------
// Failure

// The engine failed at stage: it is ended, and problem says what happened.
void EngineProcess::Failed(Outcome outcome, Stage stage) {
    engineLoaded = false;
    // One that went by itself is reaped for its status; any other is killed.
    const int status = outcome == Outcome::Ended ? channel.Collect() : -1;
    if (outcome != Outcome::Ended) channel.End(false);
    backstop = outcome == Outcome::TimedOut || outcome == Outcome::Stalled;

    char detail[128];
    EndingDetail(status, detail, sizeof detail);
    const bool outOfMemory = OutOfMemory(status);
    const char* const crashed = status >= 0 && WIFSIGNALED(status) ? "crashed" : "ended";
    const char* const path = rulesPath.c_str();
    const int memoryMiB = static_cast<int>(kEngineMemoryLimitBytes >> 20);
    const char* const stageName = stage == Stage::Start    ? "start"
                                  : stage == Stage::Load   ? "load"
                                  : stage == Stage::Restart ? "restart"
                                                           : "pass";
    // A restart loads the rule base again within a pass's limits.
    const bool asPass = stage == Stage::Pass || stage == Stage::Restart;
    const char* const during = stage == Stage::Restart ? "while restarting" : "during a pass";

    switch (outcome) {
        case Outcome::TimedOut:
        case Outcome::Stalled: {
            if (stage == Stage::Start) {
                std::snprintf(problem, sizeof problem, "the rule engine did not start within %d s",
                              kStartLimitMs / 1000);
                return;
            }
            const int32_t cpuMs = asPass ? kPassCpuLimitMs : kLoadCpuLimitMs;
            const int32_t wallMs = asPass ? kPassWallLimitMs : kLoadWallLimitMs;
            const char* const what = stage == Stage::Load      ? "loading the rule base"
                                     : stage == Stage::Restart ? "reloading the rule base after a restart"
                                                               : "a pass";
            if (outcome == Outcome::TimedOut) {
                std::snprintf(problem, sizeof problem,
                              "the rule engine used more than %d ms of processor time on %s and "
                              "was stopped%s",
                              cpuMs, what, kNotReproducible);
            } else {
                std::snprintf(problem, sizeof problem,
                              "the rule engine got too little processor time to finish %s within "
                              "%d s and was stopped%s",
                              what, wallMs / 1000, kNotReproducible);
            }
            return;
        }
        case Outcome::Garbled:
            std::snprintf(problem, sizeof problem,
                          "the rule engine gave a malformed answer during its %s and was stopped",
                          stageName);
            return;
        case Outcome::Ended:
            if (stage == Stage::Start) {
                std::snprintf(problem, sizeof problem, "the rule engine %.400s ended while starting%s",
                              program, detail);
            } else if (stage == Stage::Load && outOfMemory) {
                std::snprintf(problem, sizeof problem,
                              "the rule base \"%s\" made the rule engine run out of memory while "
                              "loading (limit %d MiB)",
                              path, memoryMiB);
            } else if (stage == Stage::Load) {
                std::snprintf(problem, sizeof problem,
                              "the rule base \"%s\" %s the rule engine while loading%s", path,
                              crashed, detail);
            } else if (outOfMemory) {
                std::snprintf(problem, sizeof problem,
                              "the rule engine ran out of memory %s (limit %d MiB)", during,
                              memoryMiB);
            } else {
                std::snprintf(problem, sizeof problem, "the rule engine %s %s%s", crashed, during,
                              detail);
            }
            return;
        case Outcome::Abandoned:
            std::snprintf(problem, sizeof problem, "the rule engine was stopped: the program is ending");
            return;
        case Outcome::Ok:
            return;
    }
}

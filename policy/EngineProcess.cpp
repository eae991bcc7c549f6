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

namespace {

constexpr int64_t kNsPerMs = 1000000;
constexpr EngineChannel::Budget kStartBudget{EngineProcess::kStartLimitMs * kNsPerMs,
                                             EngineProcess::kStartLimitMs * kNsPerMs};
constexpr EngineChannel::Budget kLoadBudget{EngineProcess::kLoadBudgetMs * kNsPerMs,
                                            EngineProcess::kLoadLimitMs * kNsPerMs};
constexpr EngineChannel::Budget kPassBudget{EngineProcess::kPassBudgetMs * kNsPerMs,
                                            EngineProcess::kPassLimitMs * kNsPerMs};

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

}  // namespace

void EngineProcess::ClearListing() {
    factListing[0] = '\0';
    listingLength = 0;
    listingOverflow = false;
    firedRules.Clear();
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
    channel.End(true);
    engineLoaded = false;
    ready = false;
    problem[0] = '\0';
    rulesPath = path;
    ruleBaseText.clear();
    ClearListing();
    ClearLoadReport();
    if (!ReadRuleBase(path)) return LoadResult::CannotRead;
    return LoadReadText();
}

LoadResult EngineProcess::LoadReadText() {
    char reason[512];
    if (!FindEngineProgram(program, sizeof program, reason, sizeof reason)) {
        std::snprintf(problem, sizeof problem, "the rule engine could not be started: %s", reason);
        return LoadResult::EngineFailed;
    }
    if (!Start()) return LoadResult::EngineFailed;
    return LoadInEngine(true);
}

bool EngineProcess::Start() {
    engineLoaded = false;
    char reason[256];
    if (channel.Start(program, reason, sizeof reason)) return true;
    std::snprintf(problem, sizeof problem, "the rule engine %.300s could not be started: %.200s",
                  program, reason);
    return false;
}

// Waits for the started engine to be Ready, hands it the rule base text and
// checks what it reports. On the first load the engine's errors are shown;
// a restart loads the same text and shows them no more.
LoadResult EngineProcess::LoadInEngine(bool first) {
    uint32_t kind = 0;
    FrameReader started(nullptr, 0);
    Outcome outcome = channel.Receive(EngineMessage::Ready, kStartBudget, kind, started);
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

    // The head: the source's name and the text's length word; the text itself
    // follows straight from ruleBaseText, and the frame's length covers it.
    std::string head(kFrameHeaderSize + 2 * sizeof(uint32_t) + rulesPath.size(), '\0');
    FrameWriter writer(head.data(), head.size(), EngineMessage::Load);
    writer.Bytes(rulesPath.data(), rulesPath.size());
    writer.Word(static_cast<uint32_t>(ruleBaseText.size()));
    const size_t headLength = writer.Finish();
    const uint32_t payload =
        static_cast<uint32_t>(headLength - kFrameHeaderSize + ruleBaseText.size());
    std::memcpy(head.data() + sizeof(uint32_t), &payload, sizeof payload);
    FrameReader reader(nullptr, 0);
    outcome = channel.Exchange(head.data(), headLength, ruleBaseText.data(), ruleBaseText.size(),
                               EngineMessage::Loaded, kLoadBudget, kind, reader);
    if (outcome != Outcome::Ok) {
        Failed(outcome, Stage::Load);
        return LoadResult::EngineFailed;
    }

    const uint32_t status = reader.Word();
    const char* errors = nullptr;
    size_t errorsLength = 0;
    reader.Bytes(errors, errorsLength);
    TemplateReport world;
    TemplateReport colony;
    const char* names = nullptr;
    size_t namesLength = 0;
    LoadDiagnostic* const kept = first ? diagnostics : nullptr;
    size_t keptCount = 0;
    size_t dropped = 0;
    LoadDiagnostic scratch[1];
    const bool reports =
        ReadTemplateReport(reader, world, kWorldSlotCount) &&
        ReadTemplateReport(reader, colony, kColonySlotCount) &&
        (kept != nullptr ? ReadDiagnostics(reader, kept, RuleEngine::kMaxDiagnostics, keptCount,
                                           dropped)
                         : SkipDiagnostics(reader, scratch[0])) &&
        reader.Bytes(names, namesLength);
    if (!reports || !reader.AtEnd() || status > kLoadedWithErrors) {
        Failed(Outcome::Garbled, Stage::Load);
        return LoadResult::EngineFailed;
    }
    if (first) {
        diagnosticCount = keptCount;
        diagnosticsDropped = dropped;
        loadErrors.Append(errors, errorsLength);
        worldReport = world;
        colonyReport = colony;
        ruleNames.Append(names, namesLength);
    }
    if (first && errorsLength > 0 && showLoadErrors) {
        std::fwrite(errors, 1, errorsLength, stderr);
        std::fflush(stderr);
    }
    engineLoaded = true;
    ready = CheckTemplates(world, colony);
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
    ClearListing();
    if (!ready) return PassResult::Failed;
    if (WaitsAbandoned()) return PassResult::Abandoned;
    // After a failure: a fresh engine, with the same rule base.
    if (!channel.Running() && !Start()) return PassResult::EngineFailed;
    if (!engineLoaded) {
        const LoadResult reloaded = LoadInEngine(false);
        if (WaitsAbandoned()) return PassResult::Abandoned;
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
        channel.Exchange(request, length, nullptr, 0, EngineMessage::Listed, kPassBudget, kind, reader);
    uint32_t result = 0;
    if (outcome == Outcome::Ok) {
        result = reader.Word();
        if (!TakeListing(reader) || result > static_cast<uint32_t>(PassResult::Failed)) {
            outcome = Outcome::Garbled;
        }
    }
    if (outcome == Outcome::Abandoned) {
        channel.End(false);
        engineLoaded = false;
        return PassResult::Abandoned;
    }
    if (outcome != Outcome::Ok) {
        ClearListing();
        Failed(outcome, Stage::Pass);
        Start();  // ready for the next pass; should it fail, the next pass says so
        return PassResult::EngineFailed;
    }
    return static_cast<PassResult>(result);
}

// The rest of a Listed answer: the listing, the printouts, the errors, the
// trace. False when it breaks the protocol.
bool EngineProcess::TakeListing(FrameReader& reader) {
    const uint32_t overflow = reader.Word();
    const char* listing = nullptr;
    const char* console = nullptr;
    const char* errors = nullptr;
    const char* fired = nullptr;
    size_t listingSize = 0;
    size_t consoleSize = 0;
    size_t errorsSize = 0;
    size_t firedSize = 0;
    reader.Bytes(listing, listingSize);
    reader.Bytes(console, consoleSize);
    reader.Bytes(errors, errorsSize);
    reader.Bytes(fired, firedSize);
    if (!reader.AtEnd() || overflow > 1 || listingSize >= kListingCapacity ||
        std::memchr(listing, '\0', listingSize) != nullptr) {
        return false;
    }
    std::memcpy(factListing, listing, listingSize);
    factListing[listingSize] = '\0';
    listingLength = listingSize;
    listingOverflow = overflow != 0;
    firedRules.Append(fired, firedSize);
    if (consoleSize > 0 && echo) {
        std::fwrite(console, 1, consoleSize, stdout);
        std::fflush(stdout);
    }
    if (errorsSize > 0) {
        std::fwrite(errors, 1, errorsSize, stderr);
        std::fflush(stderr);
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

    char detail[128];
    EndingDetail(status, detail, sizeof detail);
    const bool outOfMemory =
        status >= 0 && WIFEXITED(status) && WEXITSTATUS(status) == kEngineOutOfMemoryStatus;
    const char* const crashed = status >= 0 && WIFSIGNALED(status) ? "crashed" : "ended";
    const char* const path = rulesPath.c_str();
    const int memoryMiB = static_cast<int>(kEngineMemoryLimitBytes >> 20);
    const char* const stageName =
        stage == Stage::Start ? "start" : stage == Stage::Load ? "load" : "pass";

    switch (outcome) {
        case Outcome::TimedOut:
            if (stage == Stage::Start) {
                std::snprintf(problem, sizeof problem, "the rule engine did not start within %d s",
                              kStartLimitMs / 1000);
            } else if (stage == Stage::Load) {
                std::snprintf(problem, sizeof problem,
                              "the rule base \"%s\" took longer than %d ms to load", path,
                              kLoadBudgetMs);
            } else {
                std::snprintf(problem, sizeof problem,
                              "the rule engine took longer than %d ms over a pass and was stopped",
                              kPassBudgetMs);
            }
            return;
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
                              "the rule engine ran out of memory during a pass (limit %d MiB)",
                              memoryMiB);
            } else {
                std::snprintf(problem, sizeof problem, "the rule engine %s during a pass%s", crashed,
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

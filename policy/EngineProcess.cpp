#include "policy/EngineProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/uio.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "policy/EngineLauncher.h"
#include "policy/EngineSandbox.h"
#include "policy/EngineServer.h"

namespace {

std::atomic<bool> waitsAbandoned{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from signal handlers");

constexpr int64_t kNsPerMs = 1000000;
// Ordinary answers come within microseconds; only a wait longer than this
// looks at the engine's processor time at all (one read waits this long).
constexpr int32_t kQuickWaitMs = 1;
// Longer waits look at the engine's clock and the abandon flag this often.
constexpr int32_t kWaitSliceMs = 10;
// An engine told to quit (or whose socket closed) is given this long to end
// before it is killed.
constexpr int32_t kQuitWaitMs = 200;
// An engine whose socket closed by itself has ended; reaping it may take a
// moment while it finishes exiting.
constexpr int32_t kEndedWaitMs = 1000;

int64_t NowNs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

void SleepMs(int32_t ms) {
    timespec t{ms / 1000, (ms % 1000) * kNsPerMs};
    while (nanosleep(&t, &t) != 0 && errno == EINTR) {
    }
}

const char* SignalText(int signalNumber) {
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 32))
    const char* text = sigdescr_np(signalNumber);
    return text != nullptr ? text : "unknown signal";
#else
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

bool RanOutOfMemory(int status) {
    return status >= 0 && WIFEXITED(status) && WEXITSTATUS(status) == kEngineOutOfMemoryStatus;
}

}  // namespace

void EngineProcess::AbandonWaits() noexcept { waitsAbandoned.store(true); }
void EngineProcess::ResumeWaits() noexcept { waitsAbandoned.store(false); }
bool EngineProcess::WaitsAbandoned() noexcept { return waitsAbandoned.load(); }

EngineProcess::~EngineProcess() { EndEngine(true); }

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
    EndEngine(true);
    ready = false;
    problem[0] = '\0';
    rulesPath = path;
    ruleBaseText.clear();
    ClearListing();
    if (!ReadRuleBase(path)) return LoadResult::CannotRead;
    char reason[512];
    if (!FindEngineProgram(program, sizeof program, reason, sizeof reason)) {
        std::snprintf(problem, sizeof problem, "the rule engine could not be started: %s", reason);
        return LoadResult::EngineFailed;
    }
    if (!Start()) return LoadResult::EngineFailed;
    return LoadInEngine(true);
}

// Waits for the started engine to be Ready, hands it the rule base text and
// checks what it reports. On the first load the engine's errors are shown;
// a restart loads the same text and shows them no more.
LoadResult EngineProcess::LoadInEngine(bool first) {
    const Budget startBudget{kStartLimitMs * kNsPerMs, kStartLimitMs * kNsPerMs};
    Watch watch;
    watch.start = NowNs();
    uint32_t kind = 0;
    FrameReader started(nullptr, 0);
    Outcome outcome = Receive(EngineMessage::Ready, startBudget, watch, kind, started);
    if (outcome == Outcome::Ok && kind == static_cast<uint32_t>(EngineMessage::StartFailed)) {
        char reason[256];
        if (!started.Text(reason, sizeof reason)) std::snprintf(reason, sizeof reason, "no reason given");
        EndEngine(false);
        std::snprintf(problem, sizeof problem, "the rule engine could not enter its sandbox: %s",
                      reason);
        return LoadResult::EngineFailed;
    }
    if (outcome != Outcome::Ok) {
        Failed(outcome, "start");
        return LoadResult::EngineFailed;
    }

    const Budget loadBudget{kLoadBudgetMs * kNsPerMs, kLoadLimitMs * kNsPerMs};
    watch = Watch{};
    watch.start = NowNs();
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
    outcome = Send(head.data(), headLength, ruleBaseText.data(), ruleBaseText.size(), loadBudget,
                   watch);
    FrameReader reader(nullptr, 0);
    if (outcome == Outcome::Ok) outcome = Receive(EngineMessage::Loaded, loadBudget, watch, kind, reader);
    if (outcome != Outcome::Ok) {
        Failed(outcome, "load");
        return LoadResult::EngineFailed;
    }

    const uint32_t status = reader.Word();
    const char* errors = nullptr;
    size_t errorsLength = 0;
    reader.Bytes(errors, errorsLength);
    TemplateReport world;
    TemplateReport colony;
    const bool reports = ReadTemplateReport(reader, world, kWorldSlotCount) &&
                         ReadTemplateReport(reader, colony, kColonySlotCount);
    if (!reports || !reader.AtEnd() || status > kLoadedWithErrors) {
        Failed(Outcome::Garbled, "load");
        return LoadResult::EngineFailed;
    }
    if (first && errorsLength > 0) {
        std::fwrite(errors, 1, errorsLength, stderr);
        std::fflush(stderr);
    }
    engineLoaded = true;

    // Every slot a pass writes must be there, and hold one value.
    const struct {
        const TemplateReport& report;
        const char* name;
        const char* const* slots;
        size_t count;
    } templates[] = {{world, kWorldTemplate, kWorldSlots, kWorldSlotCount},
                     {colony, kColonyTemplate, kColonySlots, kColonySlotCount}};
    const char* const path = rulesPath.c_str();
    char mismatch[kProblemCapacity] = {};
    for (const auto& t : templates) {
        if (mismatch[0] != '\0') break;
        if (!t.report.found) {
            std::snprintf(mismatch, sizeof mismatch, "the rule base \"%s\" has no template \"%s\"",
                          path, t.name);
            break;
        }
        for (size_t i = 0; i < t.count; ++i) {
            if (t.report.slots[i] == SlotKind::Missing) {
                std::snprintf(mismatch, sizeof mismatch,
                              "the rule base \"%s\" lacks slot \"%s\" in template \"%s\"", path,
                              t.slots[i], t.name);
                break;
            }
            if (t.report.slots[i] == SlotKind::Multi) {
                std::snprintf(mismatch, sizeof mismatch,
                              "the rule base \"%s\" declares slot \"%s\" of template \"%s\" as a "
                              "multislot, where the expert system writes a single value",
                              path, t.slots[i], t.name);
                break;
            }
        }
    }
    ready = mismatch[0] == '\0';
    if (!ready) EndEngine(true);  // nothing will ever run on it
    if (status == kLoadedWithErrors) {
        std::snprintf(problem, sizeof problem, "the rule base \"%s\" has errors", path);
        return LoadResult::HasErrors;
    }
    if (!ready) {
        std::snprintf(problem, sizeof problem, "%s", mismatch);
        return LoadResult::LacksTemplates;
    }
    return LoadResult::Loaded;
}

// ---------------------------------------------------------------------------
// Pass

PassResult EngineProcess::Pass(const PassFacts& facts) {
    ClearListing();
    if (!ready) return PassResult::Failed;
    if (WaitsAbandoned()) return PassResult::Abandoned;
    // After a failure: a fresh engine, with the same rule base.
    if (pid < 0 && !Start()) return PassResult::EngineFailed;
    if (!engineLoaded) {
        const LoadResult reloaded = LoadInEngine(false);
        if (WaitsAbandoned()) return PassResult::Abandoned;
        if (reloaded != LoadResult::Loaded && reloaded != LoadResult::HasErrors) {
            ready = true;  // the rule base itself loaded once; the next pass tries again
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

    const Budget budget{kPassBudgetMs * kNsPerMs, kPassLimitMs * kNsPerMs};
    Watch watch;
    watch.start = NowNs();
    Outcome outcome = Send(request, length, nullptr, 0, budget, watch);
    uint32_t kind = 0;
    FrameReader reader(nullptr, 0);
    if (outcome == Outcome::Ok) outcome = Receive(EngineMessage::Listed, budget, watch, kind, reader);

    uint32_t result = 0;
    if (outcome == Outcome::Ok) {
        result = reader.Word();
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
        if (!reader.AtEnd() || result > static_cast<uint32_t>(PassResult::Failed) || overflow > 1 ||
            listingSize >= kListingCapacity || std::memchr(listing, '\0', listingSize) != nullptr) {
            outcome = Outcome::Garbled;
        } else {
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
        }
    }
    if (outcome == Outcome::Abandoned) {
        EndEngine(false);
        return PassResult::Abandoned;
    }
    if (outcome != Outcome::Ok) {
        ClearListing();
        Failed(outcome, "pass");
        Start();  // ready for the next pass; a failure here shows then
        return PassResult::EngineFailed;
    }
    return static_cast<PassResult>(result);
}

// ---------------------------------------------------------------------------
// The engine process

bool EngineProcess::Start() {
    EndEngine(false);
    int pair[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) {
        std::snprintf(problem, sizeof problem, "the rule engine could not be started: %s",
                      std::strerror(errno));
        return false;
    }
    // Handed over as descriptor kEngineSocketFd, so it must not be that one
    // already (dup2 onto itself would keep its close-on-exec flag).
    const int childEnd = fcntl(pair[1], F_DUPFD_CLOEXEC, kEngineSocketFd + 1);
    close(pair[1]);
    int error = errno;
    const pid_t child = childEnd >= 0 ? LaunchEngineProgram(program, childEnd, error) : -1;
    if (childEnd >= 0) close(childEnd);
    if (child < 0) {
        close(pair[0]);
        std::snprintf(problem, sizeof problem, "the rule engine %.400s could not be started: %s",
                      program, std::strerror(error));
        return false;
    }
    fd = pair[0];
    // Reads block for a moment (an ordinary answer comes within it, so a pass
    // costs one send and one read); sends never block (MSG_DONTWAIT).
    const timeval quickWait{0, kQuickWaitMs * 1000};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &quickWait, sizeof quickWait);
    pid = child;
    endStatus = -1;
    engineLoaded = false;
    hasCpuClock = clock_getcpuclockid(pid, &cpuClock) == 0;
    return true;
}

void EngineProcess::EndEngine(bool quit) {
    if (pid < 0) return;
    if (quit && !WaitsAbandoned()) {
        FrameWriter writer(request, sizeof request, EngineMessage::Quit);
        const size_t length = writer.Finish();
        if (length > 0) {
            const ssize_t ignored = send(fd, request, length, MSG_NOSIGNAL | MSG_DONTWAIT);
            (void)ignored;
        }
    }
    close(fd);
    fd = -1;
    // The engine ends on Quit or when its socket closes.
    if (!Reap(quit && !WaitsAbandoned() ? kQuitWaitMs : 0)) {
        kill(pid, SIGKILL);
        Reap(-1);
    }
    pid = -1;
    engineLoaded = false;
}

// Reaps the engine within ms milliseconds (-1: however long it takes);
// endStatus gets its wait status. True when it is gone.
bool EngineProcess::Reap(int32_t withinMs) {
    const int64_t deadline = NowNs() + static_cast<int64_t>(withinMs) * kNsPerMs;
    for (;;) {
        int status = 0;
        const pid_t done = waitpid(pid, &status, withinMs < 0 ? 0 : WNOHANG);
        if (done == pid) {
            endStatus = status;
            return true;
        }
        if (done < 0 && errno == EINTR) continue;
        if (done < 0) {  // not our child any more (SIGCHLD ignored): gone, status unknown
            endStatus = -1;
            return true;
        }
        if (withinMs >= 0 && NowNs() >= deadline) return false;
        SleepMs(1);
    }
}

// The engine failed in stage ("start", "load" or "pass"): ends it and says
// what happened in problem.
void EngineProcess::Failed(Outcome outcome, const char* stage) {
    if (outcome == Outcome::Ended) {
        // It went by itself: reap it for its status.
        close(fd);
        fd = -1;
        if (!Reap(kEndedWaitMs)) {
            kill(pid, SIGKILL);
            Reap(-1);
        }
        pid = -1;
        engineLoaded = false;
    } else {
        EndEngine(false);
        endStatus = -1;
    }
    char detail[128];
    EndingDetail(endStatus, detail, sizeof detail);
    const bool oom = RanOutOfMemory(endStatus);
    const bool crashed = endStatus >= 0 && WIFSIGNALED(endStatus);
    const char* const path = rulesPath.c_str();
    const int memoryMiB = static_cast<int>(kEngineMemoryLimitBytes >> 20);
    const bool load = std::strcmp(stage, "load") == 0;
    const bool start = std::strcmp(stage, "start") == 0;

    switch (outcome) {
        case Outcome::TimedOut:
            if (start) {
                std::snprintf(problem, sizeof problem, "the rule engine did not start within %d s",
                              kStartLimitMs / 1000);
            } else if (load) {
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
                          stage);
            return;
        case Outcome::Ended:
            if (start) {
                std::snprintf(problem, sizeof problem, "the rule engine %.400s ended while starting%s",
                              program, detail);
            } else if (load && oom) {
                std::snprintf(problem, sizeof problem,
                              "the rule base \"%s\" made the rule engine run out of memory while "
                              "loading (limit %d MiB)",
                              path, memoryMiB);
            } else if (load) {
                std::snprintf(problem, sizeof problem, "the rule base \"%s\" %s the rule engine while loading%s",
                              path, crashed ? "crashed" : "ended", detail);
            } else if (oom) {
                std::snprintf(problem, sizeof problem,
                              "the rule engine ran out of memory during a pass (limit %d MiB)",
                              memoryMiB);
            } else {
                std::snprintf(problem, sizeof problem, "the rule engine %s during a pass%s",
                              crashed ? "crashed" : "ended", detail);
            }
            return;
        case Outcome::Abandoned:
            std::snprintf(problem, sizeof problem, "the rule engine was stopped: the program is ending");
            return;
        case Outcome::Ok:
            return;
    }
}

// ---------------------------------------------------------------------------
// Transport

int64_t EngineProcess::EngineCpuNs() const {
    timespec t{};
    if (!hasCpuClock || clock_gettime(cpuClock, &t) != 0) return -1;
    return static_cast<int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

EngineProcess::Outcome EngineProcess::WaitFor(short events, const Budget& budget, Watch& watch) {
    for (;;) {
        if (WaitsAbandoned()) return Outcome::Abandoned;
        int32_t waitMs = kQuickWaitMs;
        if (watch.measuring) {
            const int64_t elapsed = NowNs() - watch.start;
            const int64_t cpu = EngineCpuNs();
            // Without the engine's clock, time on the wall counts instead.
            const int64_t used = cpu >= 0 && watch.cpuBase >= 0 ? cpu - watch.cpuBase : elapsed;
            if (used >= budget.cpuNs || elapsed >= budget.wallNs) return Outcome::TimedOut;
            int64_t left = budget.cpuNs - used;
            if (budget.wallNs - elapsed < left) left = budget.wallNs - elapsed;
            waitMs = static_cast<int32_t>((left + kNsPerMs - 1) / kNsPerMs);
            if (waitMs > kWaitSliceMs) waitMs = kWaitSliceMs;
            if (waitMs < 1) waitMs = 1;
        }
        pollfd entry{fd, events, 0};
        const int ready = poll(&entry, 1, waitMs);
        if (ready > 0) return Outcome::Ok;  // readable, writable, or closed: the caller finds out
        if (ready < 0 && errno != EINTR) return Outcome::Ended;
        if (ready == 0 && !watch.measuring) {
            watch.measuring = true;
            watch.cpuBase = EngineCpuNs();
        }
    }
}

EngineProcess::Outcome EngineProcess::Send(const char* head, size_t headLength, const char* body,
                                           size_t bodyLength, const Budget& budget, Watch& watch) {
    size_t sent = 0;
    const size_t total = headLength + bodyLength;
    while (sent < total) {
        iovec parts[2];
        int count = 0;
        if (sent < headLength) {
            parts[count++] = iovec{const_cast<char*>(head + sent), headLength - sent};
            if (bodyLength > 0) parts[count++] = iovec{const_cast<char*>(body), bodyLength};
        } else {
            parts[count++] = iovec{const_cast<char*>(body + (sent - headLength)), total - sent};
        }
        msghdr message{};
        message.msg_iov = parts;
        message.msg_iovlen = static_cast<size_t>(count);
        const ssize_t n = sendmsg(fd, &message, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            sent += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            const Outcome waited = WaitFor(POLLOUT, budget, watch);
            if (waited != Outcome::Ok) return waited;
            continue;
        }
        return Outcome::Ended;  // EPIPE, ECONNRESET: the engine is gone
    }
    return Outcome::Ok;
}

// Reads one whole frame into answer. Ready waits also accept StartFailed.
EngineProcess::Outcome EngineProcess::Receive(EngineMessage expected, const Budget& budget,
                                              Watch& watch, uint32_t& kind, FrameReader& payload) {
    size_t have = 0;
    for (;;) {
        const ssize_t n = read(fd, answer + have, sizeof answer - have);
        if (n > 0) {
            have += static_cast<size_t>(n);
            if (have < kFrameHeaderSize) continue;
            uint32_t length = 0;
            ReadFrameHeader(answer, kind, length);
            if (length > sizeof answer - kFrameHeaderSize) return Outcome::Garbled;
            if (have < kFrameHeaderSize + length) continue;
            // One request, one answer: nothing may follow it.
            if (have > kFrameHeaderSize + length) return Outcome::Garbled;
            const bool expectedKind =
                kind == static_cast<uint32_t>(expected) ||
                (expected == EngineMessage::Ready &&
                 kind == static_cast<uint32_t>(EngineMessage::StartFailed));
            if (!expectedKind) return Outcome::Garbled;
            payload = FrameReader(answer + kFrameHeaderSize, length);
            return Outcome::Ok;
        }
        if (n == 0) return Outcome::Ended;
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            // The read waited its moment: from now on the engine's clock counts.
            if (!watch.measuring) {
                watch.measuring = true;
                watch.cpuBase = EngineCpuNs();
            }
            const Outcome waited = WaitFor(POLLIN, budget, watch);
            if (waited != Outcome::Ok) return waited;
            continue;
        }
        return Outcome::Ended;
    }
}

#include "policy/EngineChannel.h"

#include <utility>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/uio.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "policy/EngineLauncher.h"
#include "policy/EngineServer.h"

namespace {

std::atomic<bool> waitsAbandoned{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from signal handlers");

constexpr int64_t kNsPerMs = 1000000;
// Longer waits look at the engine's clock and the abandon flag this often.
constexpr int32_t kWaitSliceMs = 10;
// An engine told to quit (or whose socket closed) is given this long to end
// before it is killed.
constexpr int32_t kQuitWaitMs = 200;
// An engine whose socket closed by itself is ending; reaping it may take a
// moment while it finishes.
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

}  // namespace

void EngineChannel::AbandonWaits() noexcept { waitsAbandoned.store(true); }
void EngineChannel::ResumeWaits() noexcept { waitsAbandoned.store(false); }
bool EngineChannel::WaitsAbandoned() noexcept { return waitsAbandoned.load(); }

EngineChannel::~EngineChannel() { End(true); }

bool EngineChannel::Start(const char* program, char* error, size_t capacity) {
    End(false);
    int pair[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) {
        std::snprintf(error, capacity, "%s", std::strerror(errno));
        return false;
    }
    // Handed over as descriptor kEngineSocketFd, so it must not be that one
    // already (dup2 onto itself would keep its close-on-exec flag).
    const int childEnd = fcntl(pair[1], F_DUPFD_CLOEXEC, kEngineSocketFd + 1);
    int failure = errno;
    close(pair[1]);
    const pid_t child = childEnd >= 0 ? LaunchEngineProgram(program, childEnd, failure) : -1;
    if (childEnd >= 0) close(childEnd);
    if (child < 0) {
        close(pair[0]);
        std::snprintf(error, capacity, "%s", std::strerror(failure));
        return false;
    }
    fd = pair[0];
    pid = child;
    // Made here, not in the middle of a pass.
    if (answer.size() < kUsualAnswerBytes) answer.resize(kUsualAnswerBytes);
    // Reads block for a moment (an ordinary answer comes within it, so an
    // exchange costs one send and one read); sends never block (MSG_DONTWAIT).
    const timeval quickWait{0, kQuickWaitMs * 1000};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &quickWait, sizeof quickWait);
    hasCpuClock = clock_getcpuclockid(pid, &cpuClock) == 0;
    return true;
}

void EngineChannel::CloseSocket() {
    if (fd >= 0) close(fd);
    fd = -1;
}

void EngineChannel::End(bool quit) {
    if (pid < 0) return;
    const bool ask = quit && !Abandoning();
    if (ask) {
        char frame[kFrameHeaderSize];
        FrameWriter writer(frame, sizeof frame, EngineMessage::Quit);
        const size_t length = writer.Finish();
        const ssize_t ignored = send(fd, frame, length, MSG_NOSIGNAL | MSG_DONTWAIT);
        (void)ignored;
    }
    // The engine ends on Quit or when its socket closes.
    CloseSocket();
    int status = 0;
    if (!Reap(ask ? kQuitWaitMs : 0, status)) {
        kill(pid, SIGKILL);
        Reap(-1, status);
    }
    pid = -1;
}

int EngineChannel::Collect() {
    if (pid < 0) return -1;
    CloseSocket();
    int status = -1;
    if (!Reap(kEndedWaitMs, status)) {
        kill(pid, SIGKILL);
        Reap(-1, status);
    }
    pid = -1;
    return status;
}

// Reaps the engine within ms milliseconds (-1: however long it takes). True
// when it is gone; status is its wait status, -1 when unknown.
bool EngineChannel::Reap(int32_t withinMs, int& status) {
    const int64_t deadline = NowNs() + static_cast<int64_t>(withinMs) * kNsPerMs;
    for (;;) {
        int raw = 0;
        const pid_t done = waitpid(pid, &raw, withinMs < 0 ? 0 : WNOHANG);
        if (done == pid) {
            status = raw;
            return true;
        }
        if (done < 0 && errno == EINTR) continue;
        if (done < 0) {  // not our child any more (SIGCHLD ignored): gone, status unknown
            status = -1;
            return true;
        }
        if (withinMs >= 0 && NowNs() >= deadline) return false;
        SleepMs(1);
    }
}

int64_t EngineChannel::EngineCpuNs() const {
    timespec t{};
    if (!hasCpuClock || clock_gettime(cpuClock, &t) != 0) return -1;
    return static_cast<int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

EngineChannel::Outcome EngineChannel::WaitFor(short events, const Budget& budget, Watch& watch) {
    for (;;) {
        if (Abandoning()) return Outcome::Abandoned;
        int32_t waitMs = kQuickWaitMs;
        if (watch.measuring) {
            const int64_t elapsed = NowNs() - watch.start;
            const int64_t cpu = EngineCpuNs();
            // Without the engine's clock only the wall-clock limit counts: a
            // budget as short as a pass's would fire on any busy machine.
            const int64_t used = cpu >= 0 && watch.cpuBase >= 0 ? cpu - watch.cpuBase : 0;
            if (used >= budget.cpuNs) return Outcome::TimedOut;
            if (elapsed >= budget.wallNs) return Outcome::Stalled;
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

EngineChannel::Outcome EngineChannel::Send(const char* head, size_t headLength, const char* body,
                                           size_t bodyLength, const Budget& budget, Watch& watch) {
    size_t sent = 0;
    const size_t total = headLength + bodyLength;
    while (sent < total) {
        iovec parts[2];
        size_t count = 0;
        if (sent < headLength) {
            parts[count++] = iovec{const_cast<char*>(head + sent), headLength - sent};
            if (bodyLength > 0) parts[count++] = iovec{const_cast<char*>(body), bodyLength};
        } else {
            parts[count++] = iovec{const_cast<char*>(body + (sent - headLength)), total - sent};
        }
        msghdr message{};
        message.msg_iov = parts;
        message.msg_iovlen = count;
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

EngineChannel::Outcome EngineChannel::Read(EngineMessage expected, const Budget& budget,
                                           Watch& watch, uint32_t& kind, FrameReader& payload) {
    size_t have = 0;
    if (answer.size() < kUsualAnswerBytes) answer.resize(kUsualAnswerBytes);
    for (;;) {
        const ssize_t n = read(fd, answer.data() + have, answer.size() - have);
        if (n > 0) {
            have += static_cast<size_t>(n);
            if (have < kFrameHeaderSize) continue;
            uint32_t length = 0;
            ReadFrameHeader(answer.data(), kind, length);
            if (length > kMaxAnswerBytes - kFrameHeaderSize) return Outcome::Garbled;
            if (answer.size() < kFrameHeaderSize + length) answer.resize(kFrameHeaderSize + length);
            if (have < kFrameHeaderSize + length) continue;
            // One request, one answer: nothing may follow it.
            if (have > kFrameHeaderSize + length) return Outcome::Garbled;
            const bool expectedKind =
                kind == static_cast<uint32_t>(expected) ||
                (expected == EngineMessage::Ready &&
                 kind == static_cast<uint32_t>(EngineMessage::StartFailed));
            if (!expectedKind) return Outcome::Garbled;
            payload = FrameReader(answer.data() + kFrameHeaderSize, length);
            return Outcome::Ok;
        }
        if (n == 0) return Outcome::Ended;
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) return Outcome::Ended;
        // The read waited its moment: from now on the engine's clock counts.
        if (!watch.measuring) {
            watch.measuring = true;
            watch.cpuBase = EngineCpuNs();
        }
        const Outcome waited = WaitFor(POLLIN, budget, watch);
        if (waited != Outcome::Ok) return waited;
    }
}

EngineChannel::Outcome EngineChannel::Exchange(const char* head, size_t headLength,
                                               const char* body, size_t bodyLength,
                                               EngineMessage expected, const Budget& budget,
                                               uint32_t& kind, FrameReader& payload) {
    if (pid < 0) return Outcome::Ended;
    if (Abandoning()) return Outcome::Abandoned;
    Watch watch;
    watch.start = NowNs();
    const Outcome sent = Send(head, headLength, body, bodyLength, budget, watch);
    if (sent != Outcome::Ok) return sent;
    return Read(expected, budget, watch, kind, payload);
}

EngineChannel::Outcome EngineChannel::Receive(EngineMessage expected, const Budget& budget,
                                              uint32_t& kind, FrameReader& payload) {
    if (pid < 0) return Outcome::Ended;
    if (Abandoning()) return Outcome::Abandoned;
    Watch watch;
    watch.start = NowNs();
    return Read(expected, budget, watch, kind, payload);
}

void EngineChannel::Swap(EngineChannel& other) noexcept {
    // The answer buffers hold nothing between exchanges.
    answer.swap(other.answer);
    std::swap(fd, other.fd);
    std::swap(pid, other.pid);
    std::swap(cpuClock, other.cpuClock);
    std::swap(hasCpuClock, other.hasCpuClock);
}

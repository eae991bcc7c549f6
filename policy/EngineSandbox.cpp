#include "policy/EngineSandbox.h"

#include <seccomp.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

// Lowers both limits to value; a limit that is lower already stays.
bool SetLimit(int resource, rlim_t value, const char* name, char* error, size_t capacity) {
    struct rlimit limit {};
    if (getrlimit(resource, &limit) == 0 && limit.rlim_max != RLIM_INFINITY &&
        limit.rlim_max < value) {
        value = limit.rlim_max;
    }
    limit.rlim_cur = value;
    limit.rlim_max = value;
    if (setrlimit(resource, &limit) == 0) return true;
    std::snprintf(error, capacity, "cannot limit %s: %s", name, std::strerror(errno));
    return false;
}

// Owns a filter context until it is loaded (or not).
class Filter {
public:
    // Whatever is not allowed below fails with EPERM: glibc and the engine
    // handle a failed call, where a killed process would only read as a crash.
    Filter() : context(seccomp_init(SCMP_ACT_ERRNO(EPERM))) {}
    ~Filter() {
        if (context != nullptr) seccomp_release(context);
    }
    Filter(const Filter&) = delete;
    Filter& operator=(const Filter&) = delete;

    bool Usable() const { return context != nullptr; }
    void Allow(int call) { Check(seccomp_rule_add(context, SCMP_ACT_ALLOW, call, 0)); }
    void AllowWhen(int call, scmp_arg_cmp condition) {
        Check(seccomp_rule_add(context, SCMP_ACT_ALLOW, call, 1, condition));
    }
    int Load() { return failure != 0 ? failure : seccomp_load(context); }

private:
    void Check(int result) {
        if (result != 0 && failure == 0) failure = result;
    }
    scmp_filter_ctx context;
    int failure = 0;
};

}  // namespace

bool ApplyEngineLimits(char* error, size_t capacity) {
    return SetLimit(RLIMIT_AS, kEngineMemoryLimitBytes, "the address space", error, capacity) &&
           SetLimit(RLIMIT_CORE, 0, "core files", error, capacity) &&
           SetLimit(RLIMIT_FSIZE, 0, "file sizes", error, capacity);
}

bool EnterEngineSandbox(int socketFd, char* error, size_t capacity) {
    Filter filter;
    if (!filter.Usable()) {
        std::snprintf(error, capacity, "seccomp is not available");
        return false;
    }
    const auto fd = static_cast<scmp_datum_t>(socketFd);
    // The conversation with the expert system, and nothing else.
    filter.AllowWhen(SCMP_SYS(read), SCMP_A0_32(SCMP_CMP_EQ, fd));
    filter.AllowWhen(SCMP_SYS(write), SCMP_A0_32(SCMP_CMP_EQ, fd));
    // Memory: glibc's allocator grows the heap with brk and maps large blocks;
    // nothing may become executable.
    filter.Allow(SCMP_SYS(brk));
    filter.AllowWhen(SCMP_SYS(mmap), SCMP_A2_32(SCMP_CMP_MASKED_EQ, PROT_EXEC, 0));
    filter.AllowWhen(SCMP_SYS(mprotect), SCMP_A2_32(SCMP_CMP_MASKED_EQ, PROT_EXEC, 0));
    filter.Allow(SCMP_SYS(munmap));
    filter.Allow(SCMP_SYS(mremap));
    filter.Allow(SCMP_SYS(madvise));
    // The clocks (the engine's time function; glibc falls back to the calls
    // where the vDSO does not answer).
    filter.Allow(SCMP_SYS(clock_gettime));
    filter.Allow(SCMP_SYS(gettimeofday));
    filter.Allow(SCMP_SYS(time));
    // Ending: exit, or abort's signal to this process only.
    filter.Allow(SCMP_SYS(exit));
    filter.Allow(SCMP_SYS(exit_group));
    filter.Allow(SCMP_SYS(rt_sigreturn));
    filter.Allow(SCMP_SYS(rt_sigprocmask));
    filter.Allow(SCMP_SYS(getpid));
    filter.Allow(SCMP_SYS(gettid));
    filter.AllowWhen(SCMP_SYS(tgkill), SCMP_A0_32(SCMP_CMP_EQ, static_cast<scmp_datum_t>(getpid())));
    const int loaded = filter.Load();
    if (loaded != 0) {
        std::snprintf(error, capacity, "the seccomp filter was refused: %s", std::strerror(-loaded));
        return false;
    }
    return true;
}

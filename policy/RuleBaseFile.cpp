#include "policy/RuleBaseFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>

#include "foundation/RegularFile.h"
#include "policy/RuleBaseText.h"

namespace {

// Creates path exclusively and writes the built-in text into it; a partial
// write is removed again so that no truncated file is left to load.
bool WriteNewFile(const char* path) {
    const int fd = open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    errno = 0;
    size_t done = 0;
    while (done < kRuleBaseLength) {
        const ssize_t n = write(fd, kRuleBaseText + done, kRuleBaseLength - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    int failure = done == kRuleBaseLength ? 0 : (errno != 0 ? errno : EIO);
    if (close(fd) != 0 && failure == 0) failure = errno;
    if (failure == 0) return true;
    unlink(path);
    errno = failure;
    return false;
}

// Provides the built-in rule base at path, which did not exist a moment ago.
// It is written under a temporary name and linked into place: a second
// instance starting at the same moment never loads a half-written file, and
// link() never replaces a file that appeared meanwhile (an edited rule base is
// never written over). Where hard links are not available the file is created
// in place, exclusively. False with errno set when nothing could be written.
bool WriteBuiltInRules(const char* path) {
    char temporary[4096];
    const int length = std::snprintf(temporary, sizeof temporary, "%s.%ld.new", path,
                                     static_cast<long>(getpid()));
    if (length > 0 && static_cast<size_t>(length) < sizeof temporary && WriteNewFile(temporary)) {
        const bool linked = link(temporary, path) == 0;
        const bool exists = !linked && errno == EEXIST;
        unlink(temporary);
        if (linked || exists) return true;
    }
    return WriteNewFile(path);
}

// Whether something (of any kind) is there already; nothing is opened, so a
// FIFO cannot block the check.
bool Missing(const char* path) {
    struct stat info {};
    return lstat(path, &info) != 0 && errno == ENOENT;
}

}  // namespace

void ProvideRuleBase(const char* path) {
    if (Missing(path)) WriteBuiltInRules(path);
}

bool ProvideRuleBaseAt(const char* path, int& error) {
    error = 0;
    if (!Missing(path)) return true;
    if (WriteBuiltInRules(path)) return true;
    error = errno;
    return false;
}

bool CheckRuleBase(const char* path, char* problem, size_t capacity) {
    const OpenedFile opened = OpenRegularFile(path, O_RDONLY);
    if (opened.Ok()) {
        close(opened.fd);
        return true;
    }
    if (opened.NotRegular()) {
        std::snprintf(problem, capacity, "is %s, not a rule base file", opened.kind);
    } else if (opened.error == ENOENT) {
        std::snprintf(problem, capacity, "is missing");
    } else {
        std::snprintf(problem, capacity, "cannot be read (%s)", std::strerror(opened.error));
    }
    return false;
}

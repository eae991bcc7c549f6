#include "policy/RuleBaseFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdio>

#include "policy/RuleBaseText.h"

namespace {

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

void ProvideRuleBase(const char* path) {
    // Whatever stands there already is the user's (opening it to find out
    // would hang on a FIFO): the load says what is wrong with it, if anything.
    struct stat existing {};
    if (stat(path, &existing) == 0) return;
    WriteBuiltInRules(path);
}

#include "shell/xscreensaver/HackListCommand.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "foundation/RegularFile.h"
#include "shell/ExitStatus.h"
#include "shell/OptionTable.h"
#include "shell/xscreensaver/UserHackList.h"

namespace {

// A settings file is a few kilobytes; anything this large is something else.
constexpr size_t kMaxFileBytes = 1 << 20;

std::string Describe(int error) { return std::strerror(error); }

// Writes text to a new file beside path and renames it over path: a reader
// sees the old file or the new one, never a part. mode: the permissions.
bool Replace(const std::string& path, const std::string& text, mode_t mode, std::string& error) {
    std::string temporary = path + ".XXXXXX";
    const int fd = mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        error = "cannot write beside " + path + ": " + Describe(errno);
        return false;
    }
    size_t written = 0;
    int failure = 0;
    while (failure == 0 && written < text.size()) {
        const ssize_t n = write(fd, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) failure = errno;
        else if (n == 0) failure = EIO;
        else written += static_cast<size_t>(n);
    }
    if (failure == 0 && (fchmod(fd, mode) != 0 || fsync(fd) != 0)) failure = errno;
    if (close(fd) != 0 && failure == 0) failure = errno;
    if (failure == 0 && rename(temporary.c_str(), path.c_str()) != 0) failure = errno;
    if (failure == 0) return true;
    error = "cannot write " + path + ": " + Describe(failure);
    unlink(temporary.c_str());
    return false;
}

// Whether xscreensaver could start the program: in its own folder of
// screen savers, or on the PATH (where it also looks).
bool ReachableByXscreensaver() {
    if (access("/usr/libexec/xscreensaver/marrowick", X_OK) == 0) return true;
    const char* path = std::getenv("PATH");
    if (path == nullptr) return false;
    const std::string folders = path;
    size_t start = 0;
    while (start <= folders.size()) {
        size_t end = folders.find(':', start);
        if (end == std::string::npos) end = folders.size();
        const std::string folder = folders.substr(start, end - start);
        if (!folder.empty() && access((folder + "/marrowick").c_str(), X_OK) == 0) return true;
        start = end + 1;
    }
    return false;
}

}  // namespace

HackListEdit EditHackListFile(const std::string& given, HackListAction action) {
    HackListEdit edit;
    const bool add = action == HackListAction::Add;
    // Through a link to the file it names, which stays where it is.
    std::string path = given;
    struct stat link {};
    if (lstat(given.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
        char target[PATH_MAX];
        if (realpath(given.c_str(), target) == nullptr) {
            edit.message = given + " is a link that leads nowhere: " + Describe(errno);
            return edit;
        }
        path = target;
    }
    std::string text;
    mode_t mode = 0644;
    const OpenedFile opened = OpenRegularFile(path.c_str(), O_RDONLY);
    const bool exists = opened.Ok();
    if (!exists && !(opened.error == ENOENT && !opened.NotRegular())) {
        edit.message = "cannot read " + path + ": " +
                       (opened.NotRegular() ? std::string("it is ") + opened.kind
                                            : Describe(opened.error));
        return edit;
    }
    if (exists) {
        struct stat info {};
        fstat(opened.fd, &info);
        mode = info.st_mode & 07777;
        char block[65536];
        for (;;) {
            const ssize_t n = read(opened.fd, block, sizeof block);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                edit.message = "cannot read " + path + ": " + Describe(errno);
                close(opened.fd);
                return edit;
            }
            if (n == 0) break;
            text.append(block, static_cast<size_t>(n));
            if (text.size() > kMaxFileBytes) {
                edit.message = path + " is larger than 1 MiB: not a settings file of xscreensaver's";
                close(opened.fd);
                return edit;
            }
        }
        close(opened.fd);
    } else if (!add) {
        edit.result = HackListResult::Unchanged;
        edit.message = "there is no " + given + ", so marrowick is in no list of yours";
        return edit;
    }
    std::string result;
    bool changed = false;
    std::string error;
    if (!EditHackListText(text, action, result, changed, error)) {
        edit.message = "cannot edit " + given + ": " + error;
        return edit;
    }
    if (!changed) {
        edit.result = HackListResult::Unchanged;
        edit.message = add ? given + " lists marrowick already; nothing changed"
                           : given + " does not list marrowick; nothing changed";
        return edit;
    }
    const std::string backup = given + kHackListBackupSuffix;
    if (exists && !Replace(backup, text, mode, error)) {
        edit.message = "nothing changed, as the backup could not be made: " + error;
        return edit;
    }
    if (!Replace(path, result, mode, error)) {
        edit.message = error;
        return edit;
    }
    edit.result = HackListResult::Changed;
    if (add) {
        edit.message = exists ? std::string("added \"") + kHackListEntry +
                                    "\" to the screen savers in " + given
                              : "made " + given + " with marrowick as its screen saver; " +
                                    "xscreensaver lists its own after it";
    } else {
        edit.message = "took marrowick out of the screen savers in " + given;
    }
    if (exists) edit.message += " (the file as it was is " + backup + ")";
    return edit;
}

std::string UserHackListPath() {
    std::string home;
    if (const char* value = std::getenv("HOME"); value != nullptr && value[0] == '/') {
        home = value;
    } else if (const struct passwd* entry = getpwuid(getuid()); entry != nullptr &&
                                                                 entry->pw_dir[0] == '/') {
        home = entry->pw_dir;
    } else {
        return {};
    }
    if (home.size() > 1 && home.back() == '/') home.pop_back();
    return (home == "/" ? std::string() : home) + "/.xscreensaver";
}

int RunHackListEdit(HackListAction action) {
    const std::string path = UserHackListPath();
    if (path.empty()) {
        std::fprintf(stderr, "%s: cannot tell where your home is (HOME is not set)\n", kProgramName);
        return kExitFailure;
    }
    const HackListEdit edit = EditHackListFile(path, action);
    if (edit.result == HackListResult::Failed) {
        std::fprintf(stderr, "%s: %s\n", kProgramName, edit.message.c_str());
        return kExitFailure;
    }
    std::printf("%s: %s\n", kProgramName, edit.message.c_str());
    if (action == HackListAction::Add && !ReachableByXscreensaver()) {
        std::printf("%s: note: xscreensaver finds the program in /usr/libexec/xscreensaver "
                    "or on its PATH, and it is in neither\n", kProgramName);
    }
    return kExitOk;
}

#pragma once
// Opening a file that the user names (the texture, the rule base, the
// settings file) without ever blocking on it.
//
// A plain fopen() of a FIFO waits for a writer for ever, and reading a
// character device such as /dev/zero never ends. So the file is opened with
// O_NONBLOCK (which makes opening a FIFO return at once), its type is checked
// on the open descriptor (no window between the check and the use), and only
// a regular file is handed on, switched back to blocking mode.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>

struct OpenedFile {
    int fd = -1;             // open, blocking, close-on-exec; -1 on failure
    int64_t size = 0;        // bytes, when fd is open
    int error = 0;           // errno of the failure (ENOENT: nothing there)
    const char* kind = "";   // what the path names when it is no regular file
    bool Ok() const { return fd >= 0; }
    bool NotRegular() const { return kind[0] != '\0'; }
};

// "a directory", "a FIFO", ...: what a non-regular file is, for messages.
inline const char* FileKindName(mode_t mode) {
    if (S_ISDIR(mode)) return "a directory";
    if (S_ISFIFO(mode)) return "a FIFO";
    if (S_ISCHR(mode)) return "a character device";
    if (S_ISBLK(mode)) return "a block device";
    if (S_ISSOCK(mode)) return "a socket";
    return "not a regular file";
}

// Opens path for reading (accessMode O_RDONLY) or reading and writing
// (O_RDWR). Never creates, never truncates, never blocks.
inline OpenedFile OpenRegularFile(const char* path, int accessMode) {
    OpenedFile result;
    const int fd = open(path, accessMode | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        result.error = errno;
        // A directory opened for writing (EISDIR), a FIFO without a reader
        // or a socket (ENXIO): say what it is rather than only why it failed.
        struct stat info {};
        if (result.error != ENOENT && stat(path, &info) == 0 && !S_ISREG(info.st_mode)) {
            result.kind = FileKindName(info.st_mode);
        }
        return result;
    }
    struct stat info {};
    if (fstat(fd, &info) != 0) {
        result.error = errno;
        close(fd);
        return result;
    }
    if (!S_ISREG(info.st_mode)) {
        result.error = EINVAL;
        result.kind = FileKindName(info.st_mode);
        close(fd);
        return result;
    }
    const int flags = fcntl(fd, F_GETFL);
    if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        result.error = errno;
        close(fd);
        return result;
    }
    result.fd = fd;
    result.size = static_cast<int64_t>(info.st_size);
    return result;
}

// The same as a stdio stream (mode "rb" or "r+b" to match accessMode); null
// on failure, with the reason in opened.
inline std::FILE* OpenRegularStream(const char* path, int accessMode, const char* mode,
                                    OpenedFile& opened) {
    opened = OpenRegularFile(path, accessMode);
    if (!opened.Ok()) return nullptr;
    std::FILE* stream = fdopen(opened.fd, mode);
    if (stream == nullptr) {
        opened.error = errno;
        close(opened.fd);
        opened.fd = -1;
    }
    return stream;
}

#include "shell/headless/CsvWriter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "shell/CommandLine.h"

namespace {

constexpr int kFirstPrivateFd = 3;  // our copy of standard output stays out of 0..2

}  // namespace

CsvWriter::~CsvWriter() {
    if (fd >= 0) close(fd);
}

bool CsvWriter::Open(const char* csvPath) {
    path = csvPath;
    onStandardOutput = std::strcmp(csvPath, "-") == 0;
    if (onStandardOutput) {
        std::fflush(stdout);  // nothing printed before may land after the rows
        fd = fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, kFirstPrivateFd);
    } else {
        fd = open(csvPath, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY, 0666);
    }
    if (fd < 0) {
        error = errno;
        return false;
    }
    struct stat info {};
    regularFile = fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    return true;
}

bool CsvWriter::WriteRow(const char* row, size_t length) {
    if (fd < 0 || error != 0) return false;
    if (length + 1 > kBufferSize) {
        error = EMSGSIZE;  // rows are far shorter; never cut one in two
        return false;
    }
    if (used + length + 1 > kBufferSize && !Flush()) return false;
    std::memcpy(buffer + used, row, length);
    used += length;
    buffer[used++] = '\n';
    return true;
}

bool CsvWriter::Flush() {
    if (fd < 0 || error != 0) return false;
    size_t done = 0;
    while (done < used) {
        const ssize_t n = write(fd, buffer + done, used - done);
        if (n < 0 && errno == EINTR) continue;  // a signal before anything was written
        if (n <= 0) {
            error = n < 0 ? errno : EIO;
            break;
        }
        done += static_cast<size_t>(n);
    }
    if (error != 0 && regularFile && done > 0) {
        // Cut the file back to the end of the last whole row written.
        size_t whole = done;
        while (whole > 0 && buffer[whole - 1] != '\n') --whole;
        const off_t end = lseek(fd, 0, SEEK_CUR);
        if (end >= 0 && ftruncate(fd, end - static_cast<off_t>(done - whole)) != 0) {
            // Nothing more can be done about the file; the error stands.
        }
    }
    used = 0;
    return error == 0;
}

bool CsvWriter::Close() {
    if (fd < 0) return error == 0;
    Flush();
    if (close(fd) != 0 && error == 0) error = errno;
    fd = -1;
    return error == 0;
}

void CsvWriter::Describe(char* out, size_t capacity) const {
    if (onStandardOutput) {
        std::snprintf(out, capacity, "standard output");
    } else {
        char printable[512];
        PrintableArgument(path, printable, sizeof printable);
        std::snprintf(out, capacity, "'%s'", printable);
    }
}

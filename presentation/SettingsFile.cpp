#include "presentation/SettingsFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "foundation/RegularFile.h"

namespace {

constexpr long kMaxReadBytes = static_cast<long>(SettingsFile::kMaxFileBytes);

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// Splits "key = value" the way the format "%s = %s" reads it: a word, optional
// blanks, '=', optional blanks, a word; anything after the value is ignored.
bool ParseRecord(const char* line, size_t length, std::string& key, std::string& value) {
    size_t i = 0;
    while (i < length && IsBlank(line[i])) ++i;
    const size_t keyStart = i;
    while (i < length && !IsBlank(line[i])) ++i;
    if (i == keyStart) return false;
    const size_t keyEnd = i;
    while (i < length && IsBlank(line[i])) ++i;
    if (i >= length || line[i] != '=') return false;
    ++i;
    while (i < length && IsBlank(line[i])) ++i;
    const size_t valueStart = i;
    while (i < length && !IsBlank(line[i])) ++i;
    if (i == valueStart) return false;
    key.assign(line + keyStart, keyEnd - keyStart);
    value.assign(line + valueStart, i - valueStart);
    return true;
}

bool HasBlank(const char* text) {
    for (const char* c = text; *c != '\0'; ++c) {
        if (IsBlank(*c)) return true;
    }
    return false;
}

}  // namespace

void SettingsWarning::Raise(const char* text) const {
    if (handler != nullptr) {
        handler(context, text);
    } else {
        std::fputs(text, stderr);
    }
}

SettingsFile::SettingsFile(const char* path, SettingsWarning warning, SettingsAccess mode)
    : path(path), warning(warning), access(mode) {
    usable = true;
    OpenedFile opened;
    switch (mode) {
        case SettingsAccess::ReadOnly:
            file = OpenRegularStream(path, O_RDONLY, "rb", opened);
            if (file != nullptr) break;
            access = SettingsAccess::DefaultsOnly;  // gone since it was chosen
            [[fallthrough]];
        case SettingsAccess::DefaultsOnly:
            warning.Raise(kCreationWarning);
            return;
        case SettingsAccess::ReadWrite:
            file = OpenRegularStream(path, O_RDWR, "r+b", opened);
            break;
    }
    if (file == nullptr) {
        if (opened.error == ENOENT) {
            CreateDefault();
        } else if (opened.NotRegular()) {
            // A directory, a FIFO, a device: never read (it could block or
            // never end) and never replaced.
            Refuse(kNotAFileWarning);
        } else {
            // There, but not for reading and writing (a read-only file).
            Refuse(kCreationWarning);
        }
        return;
    }
    if (opened.size > static_cast<int64_t>(kMaxFileBytes)) {
        // Only the first kMaxFileBytes would be read: a record further on
        // would never be found, and the default would be appended on every
        // start. Such a file is left exactly as it is.
        std::fclose(file);
        file = nullptr;
        Refuse(kTooLargeWarning);
        return;
    }
    // A copy we may only read is never written to: TextureName defaults
    // when it is absent.
    if (access == SettingsAccess::ReadOnly) return;
    if (!FindRecord(kTextureKey, nullptr)) {
        // Keep whatever else the file holds; only the missing key is added.
        AddValue(kTextureKey, kDefaultTexture);
    }
}

void SettingsFile::Refuse(const char* text) {
    usable = false;
    warning.Raise(text);
}

SettingsFile::~SettingsFile() {
    if (file != nullptr) {
        std::fclose(file);
    }
}

bool SettingsFile::FindRecord(const char* key, std::string* value) {
    if (!usable || file == nullptr || std::fseek(file, 0, SEEK_SET) != 0) {
        return false;
    }
    char line[kLineCapacity];
    size_t length = 0;
    bool overlong = false;
    std::string recordKey;
    std::string recordValue;
    long remaining = kMaxReadBytes;
    for (;;) {
        const int c = remaining-- > 0 ? std::getc(file) : EOF;
        if (c != EOF && c != '\n') {
            if (length < kLineCapacity) {
                line[length++] = static_cast<char>(c);
            } else {
                overlong = true;
            }
            continue;
        }
        if (!overlong && ParseRecord(line, length, recordKey, recordValue) &&
            recordKey == key) {
            if (value != nullptr) {
                for (char& ch : recordValue) {
                    if (ch == '_') ch = ' ';
                }
                *value = recordValue;
            }
            return true;
        }
        if (c == EOF) {
            return false;
        }
        length = 0;
        overlong = false;
    }
}

bool SettingsFile::GetValue(const char* key, std::string& value) {
    if (FindRecord(key, &value)) return true;
    // Without a file to add it to, the default record is answered as if it
    // were there.
    if (access != SettingsAccess::ReadWrite && std::strcmp(key, kTextureKey) == 0) {
        value = kDefaultTexture;
        return true;
    }
    return false;
}

bool SettingsFile::AddValue(const char* key, const char* value) {
    if (!usable || file == nullptr || access != SettingsAccess::ReadWrite) return false;
    if (key[0] == '\0' || value[0] == '\0' || HasBlank(key) || HasBlank(value)) return false;
    if (FindRecord(key, nullptr)) return false;

    // A last line without a line break would swallow the new record.
    bool needBreak = false;
    if (std::fseek(file, 0, SEEK_END) != 0) return false;
    const long size = std::ftell(file);
    // Grown past the reader's window since it was opened: a record appended
    // there could never be read back.
    if (size < 0 || size > kMaxReadBytes) return false;
    if (size > 0) {
        if (std::fseek(file, -1, SEEK_END) != 0) return false;
        needBreak = std::getc(file) != '\n';
        if (std::fseek(file, 0, SEEK_END) != 0) return false;
    }
    bool written = !needBreak || std::fputs("\r\n", file) >= 0;
    written = written && std::fprintf(file, "%s = %s%c%c", key, value, 13, 10) > 0;
    written = std::fflush(file) == 0 && written;
    return written;
}

void SettingsFile::CreateDefault() {
    if (access != SettingsAccess::ReadWrite) return;  // never empties a file it may not write
    if (file != nullptr) {
        std::fclose(file);
        file = nullptr;
    }
    // Non-blocking, and checked before use: something other than a regular
    // file may have appeared under the name since it was found missing.
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_NONBLOCK | O_NOCTTY | O_CLOEXEC,
                        0666);
    struct stat info {};
    if (fd >= 0 && (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))) {
        close(fd);
        Refuse(kNotAFileWarning);
        return;
    }
    const int flags = fd >= 0 ? fcntl(fd, F_GETFL) : -1;
    if (flags >= 0) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    file = fd >= 0 ? fdopen(fd, "w+b") : nullptr;
    if (file == nullptr) {
        if (fd >= 0) close(fd);
        Refuse(kCreationWarning);
        return;
    }
    usable = true;
    AddValue(kTextureKey, kDefaultTexture);
}

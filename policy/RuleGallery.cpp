#include "policy/RuleGallery.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "foundation/RegularFile.h"
#include "policy/RuleBaseText.h"

namespace {

constexpr const char* kExtension = ".clp";
constexpr size_t kExtensionLength = 4;
constexpr size_t kMaxAboutLength = 200;  // one line of a listing, with room
constexpr const char kByteOrderMark[] = "\xEF\xBB\xBF";

bool EndsWith(const std::string& text, const char* suffix, size_t length) {
    return text.size() >= length && text.compare(text.size() - length, length, suffix) == 0;
}

std::string Trimmed(const char* begin, const char* end) {
    while (begin < end && (*begin == ' ' || *begin == '\t')) ++begin;
    while (end > begin && (end[-1] == ' ' || end[-1] == '\t' || end[-1] == '\r')) --end;
    return std::string(begin, end);
}

// The value after "key:" when line (without its ";;") is that key's line.
bool KeyValue(const std::string& line, const char* key, std::string& value) {
    const size_t keyLength = std::strlen(key);
    size_t at = 0;
    while (at < line.size() && (line[at] == ' ' || line[at] == '\t')) ++at;
    if (line.compare(at, keyLength, key) != 0) return false;
    const char* begin = line.data() + at + keyLength;
    value = Trimmed(begin, line.data() + line.size());
    return true;
}

// The file name without its folder and its ".clp".
std::string FileStem(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (EndsWith(name, kExtension, kExtensionLength) && name.size() > kExtensionLength) {
        name.resize(name.size() - kExtensionLength);
    }
    return name;
}

// Up to capacity bytes from the start of the regular file at path; false with
// the reason when it cannot be read.
bool ReadStart(const std::string& path, size_t capacity, std::string& text, std::string& why) {
    const OpenedFile opened = OpenRegularFile(path.c_str(), O_RDONLY);
    if (!opened.Ok()) {
        why = opened.NotRegular() ? std::string("is ") + opened.kind : std::strerror(opened.error);
        return false;
    }
    text.assign(capacity, '\0');
    size_t done = 0;
    while (done < capacity) {
        const ssize_t n = read(opened.fd, &text[done], capacity - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            why = std::strerror(errno);
            close(opened.fd);
            return false;
        }
        if (n == 0) break;
        done += static_cast<size_t>(n);
    }
    close(opened.fd);
    text.resize(done);
    return true;
}

bool IsFolder(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool IsRegular(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// The *.clp names in folder, sorted; at most RuleGallery::kMaxUserFiles.
std::vector<std::string> RuleFilesIn(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) return names;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name[0] == '.' || !EndsWith(name, kExtension, kExtensionLength)) continue;
        names.push_back(name);
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    if (names.size() > RuleGallery::kMaxUserFiles) names.resize(RuleGallery::kMaxUserFiles);
    return names;
}

}  // namespace

bool IsRuleBaseName(const std::string& word) {
    if (word.empty() || word.size() > RuleGallery::kMaxNameLength) return false;
    for (char c : word) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                        c == '-' || c == '_';
        if (!ok) return false;
    }
    return true;
}

RuleBaseHeader ReadRuleBaseHeader(const char* text, size_t length) {
    RuleBaseHeader header;
    const char* at = text;
    const char* const end = text + length;
    if (length >= 3 && std::memcmp(text, kByteOrderMark, 3) == 0) at += 3;
    while (at < end) {
        const char* lineEnd = static_cast<const char*>(std::memchr(at, '\n', static_cast<size_t>(end - at)));
        if (lineEnd == nullptr) lineEnd = end;
        if (lineEnd - at < 2 || at[0] != ';' || at[1] != ';') break;  // the header ends
        const std::string line(at + 2, lineEnd);
        std::string value;
        if (header.name.empty() && KeyValue(line, "name:", value) && IsRuleBaseName(value)) {
            header.name = value;
        } else if (header.about.empty() && KeyValue(line, "about:", value)) {
            if (value.size() > kMaxAboutLength) value.resize(kMaxAboutLength);
            for (char& c : value) {
                if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
            }
            header.about = value;
        }
        at = lineEnd + 1;
    }
    return header;
}

RuleGallery RuleGallery::Load(const std::string& userFolder, const std::string& dataFolder) {
    RuleGallery gallery;
    for (size_t i = 0; i < kShippedRuleBaseCount; ++i) {
        const ShippedRuleBase& shipped = kShippedRuleBases[i];
        const RuleBaseHeader header = ReadRuleBaseHeader(shipped.text, shipped.length);
        RuleBaseEntry entry;
        entry.name = header.name.empty() ? FileStem(shipped.fileName) : header.name;
        entry.about = header.about;
        entry.origin = RuleBaseOrigin::Shipped;
        entry.text = shipped.text;
        entry.length = shipped.length;
        if (!dataFolder.empty()) {
            const std::string copy =
                dataFolder + "/" + kRulesFolderName + "/" + shipped.fileName;
            if (IsRegular(copy)) entry.installedCopy = copy;
        }
        gallery.entries.push_back(entry);
    }
    const size_t shippedCount = gallery.entries.size();
    if (userFolder.empty() || !IsFolder(userFolder)) return gallery;

    for (const std::string& fileName : RuleFilesIn(userFolder)) {
        const std::string path = userFolder + "/" + fileName;
        std::string start;
        std::string why;
        if (!ReadStart(path, kHeaderBytes, start, why)) {
            gallery.problems.push_back(path + ": " + why);
            continue;
        }
        const RuleBaseHeader header = ReadRuleBaseHeader(start.data(), start.size());
        RuleBaseEntry entry;
        entry.name = header.name.empty() ? FileStem(fileName) : header.name;
        entry.about = header.about;
        entry.origin = RuleBaseOrigin::UserFolder;
        entry.path = path;
        if (!IsRuleBaseName(entry.name)) {
            gallery.problems.push_back(path + ": no usable name (give it a \";; name: WORD\" line "
                                              "of letters, digits, '-' and '_')");
            continue;
        }
        bool taken = false;
        for (size_t i = shippedCount; i < gallery.entries.size(); ++i) {
            if (gallery.entries[i].name != entry.name) continue;
            gallery.problems.push_back(path + ": the name \"" + entry.name + "\" is taken by " +
                                       gallery.entries[i].path);
            taken = true;
        }
        if (taken) continue;
        for (size_t i = 0; i < shippedCount; ++i) {
            if (gallery.entries[i].name == entry.name) gallery.entries[i].hidden = true;
        }
        gallery.entries.push_back(entry);
    }
    return gallery;
}

std::vector<const RuleBaseEntry*> RuleGallery::Selectable() const {
    std::vector<const RuleBaseEntry*> chosen;
    for (const RuleBaseEntry& entry : entries) {
        if (!entry.hidden) chosen.push_back(&entry);
    }
    return chosen;
}

const RuleBaseEntry* RuleGallery::Find(const std::string& name) const {
    for (const RuleBaseEntry& entry : entries) {
        if (!entry.hidden && entry.name == name) return &entry;
    }
    return nullptr;
}

bool ChooseRuleBase(const RuleGallery& gallery, const std::string& argument,
                    RuleBaseEntry& choice, std::string& error) {
    if (argument.empty()) {
        error = "--rules needs a rule base's name or file";
        return false;
    }
    if (argument.find('/') != std::string::npos ||
        EndsWith(argument, kExtension, kExtensionLength)) {
        choice = RuleBaseEntry{};
        choice.origin = RuleBaseOrigin::File;
        choice.path = argument;
        choice.name = RuleBaseNameOfFile(argument);
        std::string start;
        std::string why;
        if (ReadStart(argument, RuleGallery::kHeaderBytes, start, why)) {
            choice.about = ReadRuleBaseHeader(start.data(), start.size()).about;
        }
        return true;
    }
    const RuleBaseEntry* entry = gallery.Find(argument);
    if (entry == nullptr) {
        error = "no rule base is named \"" + argument +
                "\" (marrowick --list-rules lists them; a file needs a '/' or \".clp\" in its "
                "name)";
        return false;
    }
    choice = *entry;
    return true;
}

std::string RuleBaseNameOfFile(const std::string& path) {
    std::string start;
    std::string why;
    // One byte more than the built-in rules: a longer file is not them.
    const size_t want = std::max<size_t>(RuleGallery::kHeaderBytes, kRuleBaseLength + 1);
    if (ReadStart(path, want, start, why)) {
        if (start.size() == kRuleBaseLength &&
            std::memcmp(start.data(), kRuleBaseText, kRuleBaseLength) == 0) {
            return RuleGallery::kDefaultName;
        }
        const RuleBaseHeader header = ReadRuleBaseHeader(start.data(), start.size());
        if (!header.name.empty()) return header.name;
    }
    return FileStem(path);
}

std::string FormatRuleGallery(const RuleGallery& gallery) {
    size_t width = 4;
    for (const RuleBaseEntry& entry : gallery.Entries()) width = std::max(width, entry.name.size());
    const std::string indent(width + 2, ' ');
    std::string text;
    for (const RuleBaseEntry& entry : gallery.Entries()) {
        text += entry.name + std::string(width + 2 - entry.name.size(), ' ');
        text += entry.about.empty() ? std::string("(no about line)") : entry.about;
        text += '\n';
        text += indent;
        if (entry.origin == RuleBaseOrigin::Shipped) {
            text += "built in";
            if (!entry.installedCopy.empty()) text += ", a copy in " + entry.installedCopy;
            if (entry.hidden) text += "; yours of the same name is used instead";
        } else {
            text += entry.path;
        }
        text += '\n';
    }
    for (const std::string& problem : gallery.Problems()) {
        text += "not in the gallery: " + problem + '\n';
    }
    return text;
}

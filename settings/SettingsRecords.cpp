#include "settings/SettingsRecords.h"

#include <unistd.h>

#include <cerrno>

#include "foundation/RegularFile.h"

namespace {

// The settings file's own bound: anything larger is not read at all.
constexpr int64_t kMaxFileBytes = 1 << 20;
// A file full of bad records says so a few times, not once per line.
constexpr size_t kMaxWarnings = 5;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string Trimmed(const std::string& text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && IsBlank(text[begin])) ++begin;
    while (end > begin && IsBlank(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

std::string NameOf(const std::string& path) {
    const size_t cut = path.find_last_of('/');
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

}  // namespace

void ReadSettingsRecords(const std::string& path, RunDescription& run,
                         std::vector<std::string>& warnings, std::string* textureName) {
    if (path.empty()) return;
    const OpenedFile opened = OpenRegularFile(path.c_str(), O_RDONLY);
    if (!opened.Ok()) return;  // missing or no file: the settings file's owner says so
    std::string text;
    if (opened.size <= kMaxFileBytes) {
        char buffer[8192];
        for (;;) {
            const ssize_t n = read(opened.fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            text.append(buffer, static_cast<size_t>(n));
            if (text.size() > static_cast<size_t>(kMaxFileBytes)) break;
        }
    }
    close(opened.fd);
    if (text.size() > static_cast<size_t>(kMaxFileBytes)) return;

    size_t lineNumber = 0;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        ++lineNumber;
        const size_t equals = line.find('=');
        if (equals == std::string::npos) continue;
        const std::string key = Trimmed(line.substr(0, equals));
        // As the settings file stores values: an underscore stands for a space.
        std::string value = Trimmed(line.substr(equals + 1));
        for (char& c : value) c = c == '_' ? ' ' : c;
        if (key == kTextureRecord && textureName != nullptr && textureName->empty()) {
            *textureName = value;  // the first record wins, as the view reads it
        }
        ParameterId id = ParameterId::Count;
        if (!FindParameter(key.c_str(), id)) continue;
        ParameterValue parsed;
        std::string error;
        if (ParseParameterValue(id, value.c_str(), parsed, error)) {
            run.Set(id, parsed);
        } else if (warnings.size() < kMaxWarnings) {
            warnings.push_back(NameOf(path) + " line " + std::to_string(lineNumber) + ": " + error +
                               "; passed over");
        }
    }
}

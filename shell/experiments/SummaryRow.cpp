#include "shell/experiments/SummaryRow.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

const MeasureColumn kMeasureColumns[kMeasureCount] = {
    {"final_population", "Final population", true},
    {"mean_population", "Mean population", false},
    {"colony_deaths", "Colony deaths", true},
    {"final_food_reserves", "Final food reserves", false},
    {"mean_food_reserves", "Mean food reserves", false},
    {"final_food_supply", "Final food supply", true},
    {"mean_food_supply", "Mean food supply", false},
    {"mean_meandering_share", "Mean meandering share", false},
    {"mean_wandering_share", "Mean wandering share", false},
    {"mean_gathering_share", "Mean gathering share", false},
    {"mean_reproducing_share", "Mean reproducing share", false},
    {"cut_off_passes", "Expert-system passes cut off", true},
    {"seconds", "Seconds", false},
};

namespace {

constexpr const char* kKeyTail[kKeyTailColumns] = {"seed", "steps"};
constexpr const char* kStatusNames[kStatusColumns] = {"status", "failed_passes", "expert_off_step"};
constexpr size_t kHeaderProbe = 64 * 1024;  // a header is far shorter

std::vector<std::string> Split(const std::string& line) {
    std::vector<std::string> fields;
    size_t start = 0;
    for (;;) {
        const size_t comma = line.find(',', start);
        fields.push_back(line.substr(start, comma - start));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return fields;
}

std::string Format(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// The parameter columns of a header: those before "seed"; -1 when it is no
// summary header.
int32_t ParameterColumns(const std::vector<std::string>& header) {
    for (size_t i = 0; i < header.size(); ++i) {
        if (header[i] != kKeyTail[0]) continue;
        const size_t expected = i + kKeyTailColumns + kStatusColumns + kMeasureCount;
        if (header.size() != expected || header[i + 1] != kKeyTail[1]) return -1;
        for (int32_t c = 0; c < kStatusColumns; ++c) {
            if (header[i + kKeyTailColumns + static_cast<size_t>(c)] != kStatusNames[c]) return -1;
        }
        const size_t measures = i + kKeyTailColumns + kStatusColumns;
        for (int32_t m = 0; m < kMeasureCount; ++m) {
            if (header[measures + static_cast<size_t>(m)] != kMeasureColumns[m].column) return -1;
        }
        return static_cast<int32_t>(i);
    }
    return -1;
}

// Everything fd holds: from the file's start when atStart (a descriptor open
// for appending), else from where it stands (a pipe, a fresh descriptor).
bool ReadWhole(int fd, bool atStart, std::string& text) {
    text.clear();
    char buffer[64 * 1024];
    for (off_t offset = 0;;) {
        const ssize_t n = atStart ? pread(fd, buffer, sizeof buffer, offset)
                                  : read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) return true;
        text.append(buffer, static_cast<size_t>(n));
        offset += n;
    }
}

bool ParseRead(const std::string& text, const char* path, bool mayBeEmpty, SummaryTable& table,
               std::string& error) {
    if (text.find_first_not_of("\r\n") == std::string::npos && mayBeEmpty) {
        table = SummaryTable{};
        return true;
    }
    if (!ParseSummaryText(text, table, error)) {
        error = std::string("'") + path + "': " + error;
        return false;
    }
    return true;
}

// The offset just past the last line break of the first size bytes; 0 when
// there is none.
off_t EndOfLastLine(int fd, off_t size) {
    char buffer[4096];
    for (off_t end = size; end > 0;) {
        const off_t start = end > static_cast<off_t>(sizeof buffer) ? end - sizeof buffer : 0;
        const ssize_t n = pread(fd, buffer, static_cast<size_t>(end - start), start);
        if (n <= 0) return 0;
        for (ssize_t i = n; i-- > 0;) {
            if (buffer[i] == '\n') return start + i + 1;
        }
        end = start;
    }
    return 0;
}

}  // namespace

std::string RunKey::Text() const {
    std::string text;
    for (size_t i = 0; i < parameters.size(); ++i) {
        text += FormatParameterValue(parameters[i], values[i]);
        text += ',';
    }
    text += std::to_string(seed);
    text += ',';
    text += std::to_string(steps);
    return text;
}

std::string SummaryHeader(const std::vector<ParameterId>& parameters) {
    std::string header;
    for (ParameterId id : parameters) {
        header += Parameter(id).name;
        header += ',';
    }
    header += kKeyTail[0];
    header += ',';
    header += kKeyTail[1];
    for (const char* status : kStatusNames) {
        header += ',';
        header += status;
    }
    for (const MeasureColumn& measure : kMeasureColumns) {
        header += ',';
        header += measure.column;
    }
    return header;
}

std::string SummaryLine(const RunKey& key, const RunSummary& s) {
    std::string line = key.Text();
    line += ',';
    line += s.status;
    line += ',';
    line += std::to_string(s.failedPasses);
    line += ',';
    if (s.expertOffStep >= 0) line += std::to_string(s.expertOffStep);
    const std::string measures[kMeasureCount] = {
        std::to_string(s.finalPopulation),
        Format("%.3f", s.meanPopulation),
        std::to_string(s.colonyDeaths),
        Format("%.3f", s.finalFoodReserves),
        Format("%.3f", s.meanFoodReserves),
        std::to_string(s.finalFoodSupply),
        Format("%.3f", s.meanFoodSupply),
        Format("%.4f", s.meanMeanderingShare),
        Format("%.4f", s.meanWanderingShare),
        Format("%.4f", s.meanGatheringShare),
        Format("%.4f", s.meanReproducingShare),
        std::to_string(s.cutOffPasses),
        Format("%.3f", s.seconds),
    };
    for (const std::string& measure : measures) {
        line += ',';
        line += measure;
    }
    line += '\n';
    return line;
}

std::string FailedLine(const RunKey& key, const char* status) {
    std::string line = key.Text();
    line += ',';
    line += status;
    line.append(kStatusColumns - 1 + kMeasureCount, ',');
    line += '\n';
    return line;
}

std::string SummaryTable::KeyOf(const std::vector<std::string>& row) const {
    std::string key;
    for (int32_t i = 0; i < parameterCount + kKeyTailColumns; ++i) {
        if (i > 0) key += ',';
        key += row[static_cast<size_t>(i)];
    }
    return key;
}

std::vector<std::string> SummaryTable::ParameterNames() const {
    std::vector<std::string> names = Split(header);
    names.resize(static_cast<size_t>(parameterCount));
    return names;
}

bool ParseSummaryText(const std::string& text, SummaryTable& table, std::string& error) {
    table = SummaryTable{};
    size_t start = 0;
    bool first = true;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        if (first) {
            first = false;
            const int32_t parameters = ParameterColumns(Split(line));
            if (parameters < 0) {
                error = "its first line is no summary header";
                return false;
            }
            table.header = line;
            table.parameterCount = parameters;
            continue;
        }
        if (line == table.header) continue;
        std::vector<std::string> fields = Split(line);
        if (static_cast<int32_t>(fields.size()) != table.ColumnCount()) {
            ++table.malformed;
            continue;
        }
        table.rows.push_back(std::move(fields));
    }
    return true;
}

bool ReadWholeFile(const char* path, std::string& text, std::string& error) {
    const bool standard = std::strcmp(path, "-") == 0;
    const int fd = standard ? STDIN_FILENO : open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        const int openError = errno;
        error = std::string("cannot read '") + path + "': " + std::strerror(openError);
        errno = openError;  // the caller may tell a missing file from others
        return false;
    }
    const bool whole = ReadWhole(fd, false, text);
    const int readError = errno;
    if (!standard) close(fd);
    if (!whole) {
        error = (standard ? std::string("cannot read standard input")
                          : std::string("cannot read '") + path + "'") +
                ": " + std::strerror(readError);
        return false;
    }
    return true;
}

bool ReadSummaryFile(const char* path, bool mayBeMissing, SummaryTable& table, std::string& error) {
    std::string text;
    if (!ReadWholeFile(path, text, error)) {
        if (mayBeMissing && errno == ENOENT) {
            table = SummaryTable{};
            return true;
        }
        return false;
    }
    return ParseRead(text, path, mayBeMissing, table, error);
}

bool ReadSummaryDescriptor(int fd, const char* path, SummaryTable& table, std::string& error) {
    std::string text;
    if (!ReadWhole(fd, true, text)) {
        error = std::string("cannot read '") + path + "': " + std::strerror(errno);
        return false;
    }
    return ParseRead(text, path, true, table, error);
}

int OpenSummaryForAppend(const char* path, const std::string& header, SummaryAccess access,
                         std::string& error) {
    const int fd = open(path, O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (fd < 0) {
        error = std::string("cannot open '") + path + "' for appending: " + std::strerror(errno);
        return -1;
    }
    auto refuse = [&](const std::string& message) {
        error = message;
        close(fd);
        return -1;
    };
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        return refuse(std::string("'") + path + "' is no regular file");
    }
    bool locked = false;
    if (access == SummaryAccess::Exclusive) {
        // flock, not fcntl: a lock of the open file itself, which closing
        // another descriptor of the same file does not release.
        if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
            locked = true;
        } else if (errno == EWOULDBLOCK) {
            return refuse(std::string("'") + path +
                          "' is being written by another sweep or merge; wait for it to end or "
                          "choose another file");
        }
        // ENOLCK, EOPNOTSUPP, ...: a file system without locks.
        if (fstat(fd, &info) != 0) return refuse(std::string("cannot read '") + path + "'");
    }
    if (info.st_size == 0) {
        if (!AppendWhole(fd, header + "\n")) {
            return refuse(std::string("cannot write '") + path + "': " + std::strerror(errno));
        }
        return fd;
    }
    // The first line must be this header: rows of other columns would be
    // mixed up with ours.
    std::string first(kHeaderProbe, '\0');
    const ssize_t got = pread(fd, &first[0], first.size(), 0);
    first.resize(got > 0 ? static_cast<size_t>(got) : 0);
    first = first.substr(0, first.find('\n'));
    if (!first.empty() && first.back() == '\r') first.pop_back();
    if (first != header) {
        return refuse(std::string("'") + path + "' holds rows of other columns (its header is not \"" +
                      header + "\"); choose another file");
    }
    char last = '\n';
    if (pread(fd, &last, 1, info.st_size - 1) != 1 || last == '\n') return fd;
    // A last line cut short. Dropped where nobody else appends; otherwise
    // the next row starts on a line of its own.
    const off_t whole = locked ? EndOfLastLine(fd, info.st_size) : -1;
    const bool mended = whole > 0 ? ftruncate(fd, whole) == 0 : AppendWhole(fd, "\n");
    if (!mended) return refuse(std::string("cannot write '") + path + "': " + std::strerror(errno));
    return fd;
}

bool AppendWhole(int fd, const std::string& text) {
    ssize_t written = 0;
    do {
        written = write(fd, text.data(), text.size());
    } while (written < 0 && errno == EINTR);
    if (written < 0) return false;
    if (static_cast<size_t>(written) != text.size()) {
        errno = ENOSPC;
        return false;
    }
    return true;
}

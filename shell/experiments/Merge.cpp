#include "shell/experiments/Merge.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unordered_set>

#include "shell/ExitStatus.h"
#include "shell/OptionTable.h"
#include "shell/StartUp.h"
#include "shell/experiments/SummaryRow.h"

namespace {

constexpr const char* kStandard = "-";
constexpr const char* kRowFileSuffix = ".csv";

std::string Joined(const std::vector<std::string>& fields) {
    std::string line;
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) line += ',';
        line += fields[i];
    }
    return line + "\n";
}

bool EndsWith(const std::string& text, const char* suffix) {
    const size_t length = std::strlen(suffix);
    return text.size() >= length && text.compare(text.size() - length, length, suffix) == 0;
}

// One input as it stands: a folder's *.csv files in name order, else itself.
bool Expand(const std::string& name, std::vector<std::string>& inputs, std::string& error) {
    struct stat info {};
    if (name == kStandard || stat(name.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        inputs.push_back(name);  // a missing file is reported when it is read
        return true;
    }
    DIR* folder = opendir(name.c_str());
    if (folder == nullptr) {
        error = "cannot read the folder '" + name + "': " + std::strerror(errno);
        return false;
    }
    std::vector<std::string> files;
    const std::string prefix = EndsWith(name, "/") ? name : name + "/";
    while (const dirent* entry = readdir(folder)) {
        const std::string file = entry->d_name;
        struct stat fileInfo {};
        if (file[0] == '.' || !EndsWith(file, kRowFileSuffix)) continue;
        if (stat((prefix + file).c_str(), &fileInfo) == 0 && S_ISREG(fileInfo.st_mode)) {
            files.push_back(prefix + file);
        }
    }
    closedir(folder);
    if (files.empty()) {
        error = "the folder '" + name + "' holds no " + kRowFileSuffix + " files";
        return false;
    }
    std::sort(files.begin(), files.end());
    inputs.insert(inputs.end(), files.begin(), files.end());
    return true;
}

// The first line that is not blank, without its line break: a summary's
// header. Read a block at a time, only as far as that line.
bool ReadFirstLine(const std::string& path, std::string& line, std::string& error) {
    line.clear();
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = "cannot read '" + path + "': " + std::strerror(errno);
        return false;
    }
    std::string text;
    char block[4096];
    for (;;) {
        const size_t start = text.find_first_not_of("\r\n");
        if (start != std::string::npos && text.find('\n', start) != std::string::npos) break;
        const ssize_t n = read(fd, block, sizeof block);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            error = "cannot read '" + path + "': " + std::strerror(errno);
            close(fd);
            return false;
        }
        if (n == 0) break;
        text.append(block, static_cast<size_t>(n));
    }
    close(fd);
    const size_t start = text.find_first_not_of("\r\n");
    if (start == std::string::npos) return true;
    line = text.substr(start, text.find('\n', start) - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
}

// Where merged rows go: appended to a summary file one write each, or to
// standard output.
class RowSink {
public:
    RowSink(int fd, std::string name) : fd(fd), name(std::move(name)) {}
    bool Write(const std::string& line) {
        if (fd >= 0) return AppendWhole(fd, line);
        return std::fwrite(line.data(), 1, line.size(), stdout) == line.size();
    }
    // Closes a file, flushes standard output.
    bool Finish() {
        if (fd >= 0) {
            const int closing = fd;
            fd = -1;
            return close(closing) == 0;
        }
        return std::fflush(stdout) == 0 && std::ferror(stdout) == 0;
    }
    ~RowSink() {
        if (fd >= 0) close(fd);
    }
    RowSink(const RowSink&) = delete;
    RowSink& operator=(const RowSink&) = delete;

    const std::string& Name() const { return name; }

private:
    int fd;
    std::string name;
};

}  // namespace

bool ExpandMergeInputs(const std::vector<std::string>& arguments, const char* filesFrom,
                       std::vector<std::string>& inputs, std::string& error) {
    inputs.clear();
    for (const std::string& argument : arguments) {
        if (!Expand(argument, inputs, error)) return false;
    }
    if (filesFrom == nullptr) return true;
    const bool fromStandard = std::strcmp(filesFrom, kStandard) == 0;
    if (fromStandard && std::find(inputs.begin(), inputs.end(), kStandard) != inputs.end()) {
        error = "standard input cannot hold both the list of files and rows";
        return false;
    }
    std::string list;
    if (!ReadWholeFile(filesFrom, list, error)) {
        if (fromStandard) error = "cannot read the list of files from standard input";
        return false;
    }
    for (size_t start = 0; start < list.size();) {
        size_t end = list.find('\n', start);
        if (end == std::string::npos) end = list.size();
        std::string name = list.substr(start, end - start);
        start = end + 1;
        if (!name.empty() && name.back() == '\r') name.pop_back();
        if (name.empty()) continue;
        if (name == kStandard) {
            error = "the list of files names '-'; give rows on standard input as an argument";
            return false;
        }
        if (!Expand(name, inputs, error)) return false;
    }
    return true;
}

bool MergeSummaries(const std::vector<std::string>& inputs, const std::string& out,
                    MergeCounts& counts, std::string& error) {
    counts = MergeCounts{};
    // Every input's columns first, so that nothing is written when one is
    // of another kind (standard input is read whole here: it cannot be read
    // twice).
    SummaryTable standardInput;
    std::string header;
    std::string headerFrom;
    for (const std::string& input : inputs) {
        std::string first;
        if (input == kStandard) {
            if (!ReadSummaryFile(kStandard, true, standardInput, error)) return false;
            first = standardInput.header;
        } else if (!ReadFirstLine(input, first, error)) {
            return false;
        }
        if (first.empty()) continue;  // empty: a run list that made no rows
        if (header.empty()) {
            header = first;
            headerFrom = input;
        } else if (first != header) {
            error = "'" + input + "' has other columns than '" + headerFrom +
                    "' (a summary holds the rows of one kind of sweep)";
            return false;
        }
    }
    if (header.empty()) return true;  // nothing to add

    std::unordered_set<std::string> okKeys;
    std::unordered_set<std::string> anyKeys;
    const bool toStandard = out.empty() || out == kStandard;
    int fd = -1;
    if (!toStandard) {
        fd = OpenSummaryForAppend(out.c_str(), header, SummaryAccess::Exclusive, error);
        if (fd < 0) return false;
        SummaryTable present;
        if (!ReadSummaryDescriptor(fd, out.c_str(), present, error)) {
            close(fd);
            return false;
        }
        for (const auto& row : present.rows) {
            const std::string key = present.KeyOf(row);
            anyKeys.insert(key);
            if (present.StatusOf(row) == kStatusOk) okKeys.insert(key);
        }
    }
    RowSink sink(fd, toStandard ? "standard output" : "'" + out + "'");
    if (toStandard && !sink.Write(header + "\n")) {
        error = "cannot write standard output: " + std::string(std::strerror(errno));
        return false;
    }
    // One input at a time: a large sweep's rows need not all fit in memory,
    // only their keys.
    for (const std::string& input : inputs) {
        SummaryTable read;
        if (input != kStandard && !ReadSummaryFile(input.c_str(), false, read, error)) return false;
        const SummaryTable& table = input == kStandard ? standardInput : read;
        counts.malformed += static_cast<size_t>(table.malformed);
        for (const auto& row : table.rows) {
            const std::string key = table.KeyOf(row);
            const bool ok = table.StatusOf(row) == kStatusOk;
            if (ok ? okKeys.count(key) > 0 : anyKeys.count(key) > 0) {
                ++counts.skipped;
                continue;
            }
            if (!sink.Write(Joined(row))) {
                error = "cannot write " + sink.Name() + ": " + std::strerror(errno);
                return false;
            }
            ++counts.added;
            anyKeys.insert(key);
            if (ok) okKeys.insert(key);
        }
    }
    if (!sink.Finish()) {
        error = "cannot write " + sink.Name() + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

int RunMergeCommand(const CommandLine& line) {
    const std::vector<std::string> arguments(line.positionals.begin(), line.positionals.end());
    const std::string out = line.Text(OptionId::Out, "");
    const char* filesFrom = line.Text(OptionId::FilesFrom);
    std::string error;
    if (arguments.empty() && filesFrom == nullptr) {
        std::fprintf(stderr, "%s: --merge needs the files or folders to collect\n", kProgramName);
        return kExitUsage;
    }
    // The summary may be one of the files merged: rows are only ever appended
    // to it, never written over.
    if (const int status = CheckOutputs({{out, "--out"}}, {}, error)) {
        std::fprintf(stderr, "%s: %s\n", kProgramName, error.c_str());
        return status;
    }
    std::vector<std::string> inputs;
    MergeCounts counts;
    if (!ExpandMergeInputs(arguments, filesFrom, inputs, error) ||
        !MergeSummaries(inputs, out, counts, error)) {
        std::fprintf(stderr, "%s: %s\n", kProgramName, error.c_str());
        return 1;
    }
    if (counts.malformed > 0) {
        std::fprintf(stderr, "%s: %zu lines were no whole summary row and were left out\n",
                     kProgramName, counts.malformed);
    }
    return 0;
}

#include "shell/experiments/Merge.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unordered_set>

#include "shell/experiments/CommandArgs.h"
#include "shell/experiments/SummaryRow.h"

const char kMergeUsage[] = "Usage: marrowick --merge FILE... [--out FILE]\n";

namespace {

constexpr const char* kProgram = "marrowick";
constexpr const char* kDefaultOut = "results.csv";

std::string Joined(const std::vector<std::string>& fields) {
    std::string line;
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) line += ',';
        line += fields[i];
    }
    return line + "\n";
}

}  // namespace

bool MergeSummaries(const std::vector<std::string>& inputs, const std::string& out,
                    MergeCounts& counts, std::string& error) {
    counts = MergeCounts{};
    std::vector<SummaryTable> tables(inputs.size());
    std::string header;
    for (size_t i = 0; i < inputs.size(); ++i) {
        if (!ReadSummaryFile(inputs[i].c_str(), false, tables[i], error)) return false;
        counts.malformed += static_cast<size_t>(tables[i].malformed);
        if (tables[i].header.empty()) continue;  // empty: a run list that made no rows
        if (header.empty()) {
            header = tables[i].header;
        } else if (tables[i].header != header) {
            error = "'" + inputs[i] + "' has other columns than '" + inputs[0] +
                    "' (a summary holds the rows of one kind of sweep)";
            return false;
        }
    }
    if (header.empty()) return true;  // nothing to add

    const int fd = OpenSummaryForAppend(out.c_str(), header, error);
    if (fd < 0) return false;
    SummaryTable present;
    if (!ReadSummaryFile(out.c_str(), true, present, error)) {
        close(fd);
        return false;
    }
    std::unordered_set<std::string> okKeys;
    std::unordered_set<std::string> anyKeys;
    for (const auto& row : present.rows) {
        const std::string key = present.KeyOf(row);
        anyKeys.insert(key);
        if (present.StatusOf(row) == kStatusOk) okKeys.insert(key);
    }
    for (const SummaryTable& table : tables) {
        for (const auto& row : table.rows) {
            const std::string key = table.KeyOf(row);
            const bool ok = table.StatusOf(row) == kStatusOk;
            if (ok ? okKeys.count(key) > 0 : anyKeys.count(key) > 0) {
                ++counts.skipped;
                continue;
            }
            if (!AppendWhole(fd, Joined(row))) {
                error = "cannot write '" + out + "': " + std::strerror(errno);
                close(fd);
                return false;
            }
            ++counts.added;
            anyKeys.insert(key);
            if (ok) okKeys.insert(key);
        }
    }
    if (close(fd) != 0) {
        error = "cannot write '" + out + "': " + std::strerror(errno);
        return false;
    }
    return true;
}

int RunMergeCommand(int argc, char** argv) {
    std::vector<std::string> inputs;
    std::string out = kDefaultOut;
    std::string error;
    CommandArgs args(argc, argv);
    bool usage = false;
    while (!usage && args.Next()) {
        if (args.Is("--merge")) continue;
        if (args.Is("--out")) {
            usage = !args.Value(error) || *args.value == '\0';
            if (!usage) out = args.value;
            if (usage && error.empty()) error = "--out needs a file name";
        } else if (std::strcmp(args.Current(), "-") == 0 || args.Current()[0] != '-') {
            inputs.push_back(args.Current());
        } else {
            error = args.Unknown();
            usage = true;
        }
    }
    if (!usage && inputs.empty()) {
        error = "--merge needs the files to collect";
        usage = true;
    }
    if (usage) {
        std::fprintf(stderr, "%s: %s\n%s", kProgram, error.c_str(), kMergeUsage);
        return 2;
    }
    MergeCounts counts;
    if (!MergeSummaries(inputs, out, counts, error)) {
        std::fprintf(stderr, "%s: %s\n", kProgram, error.c_str());
        return 1;
    }
    if (counts.malformed > 0) {
        std::fprintf(stderr, "%s: %zu lines were no whole summary row and were left out\n",
                     kProgram, counts.malformed);
    }
    return 0;
}

#pragma once
// Collecting rows made elsewhere (runs listed with --sweep --list-runs and
// started by GNU parallel, a Slurm array, ...) into one summary file:
//
//   marrowick --merge FILE... [--out FILE]      ("-" reads standard input)
//
// Every input must have the summary's columns. Rows already in the summary
// are skipped: a run with an "ok" row is never added twice, and a failed row
// is only added for a run the summary does not hold at all. Each row is
// appended with one write, as a sweep's are.
#include <string>
#include <vector>

struct MergeCounts {
    size_t added = 0;
    size_t skipped = 0;    // already in the summary
    size_t malformed = 0;  // lines that were no whole row
};

// Merges the inputs into out. False with a message; rows added before an
// error stay (each is whole).
bool MergeSummaries(const std::vector<std::string>& inputs, const std::string& out,
                    MergeCounts& counts, std::string& error);

// The whole mode: 0, 1 on a file error, 2 for bad usage.
int RunMergeCommand(int argc, char** argv);

extern const char kMergeUsage[];

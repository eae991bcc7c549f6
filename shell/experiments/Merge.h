#pragma once
// Collecting rows made elsewhere (runs listed with --sweep --list-runs and
// started by GNU parallel, a Slurm array, ...) into one summary:
//
//   marrowick --merge [FILE|FOLDER|-]... [--files-from LIST|-] [--out FILE|-]
//
// An input is a file of rows, a folder (its *.csv files, in name order; a
// batch system's task logs beside them are left alone), or "-" (rows on
// standard input); --files-from reads more inputs, one name a line, from LIST
// ("-": standard input), for sweeps with more files than a command line
// takes. Every input must have the summary's columns.
//
// The summary goes to standard output (the header, then each run's row once)
// unless --out names a file: rows are then appended to it, skipping the runs
// it holds already, under the lock a sweep takes, so merging twice does no
// harm. Either way a run with an "ok" row is never added twice, and a failed
// row is only added for a run the summary does not hold at all.
#include <string>
#include <vector>

#include "shell/CommandLine.h"

struct MergeCounts {
    size_t added = 0;
    size_t skipped = 0;    // already in the summary
    size_t malformed = 0;  // lines that were no whole row
};

// The inputs of a merge: the arguments with every folder replaced by its
// *.csv files, then the names listed in filesFrom (null: none; "-": standard
// input), expanded the same way. False with a message.
bool ExpandMergeInputs(const std::vector<std::string>& arguments, const char* filesFrom,
                       std::vector<std::string>& inputs, std::string& error);

// Merges the inputs into out ("-": standard output). Files of other columns
// are refused before anything is written. False with a message; rows added
// before an error stay (each is whole).
bool MergeSummaries(const std::vector<std::string>& inputs, const std::string& out,
                    MergeCounts& counts, std::string& error);

// The whole mode from a parsed command line: 0, 1 on a file error, 2 for bad
// usage.
int RunMergeCommand(const CommandLine& line);

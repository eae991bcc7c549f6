#pragma once
// A sweep's worker (marrowick --sweep-worker): the runs a sweep hands it, one
// after another in one process. Starting a process for every run, with a rule
// engine of its own, cost more than a short run's steps; a worker starts once
// and keeps its engine, which every run renews (policy/EngineProcess.h:
// ReuseEngines), so that each run starts from exactly the state a process of
// its own would give it and makes the same row, bit for bit.
//
// The conversation, on the worker's standard input and output:
//
//   sweep  -> the words of one run's command line (marrowick --summary-run
//             ..., as the sweep's RunCommand makes them), each ended by a NUL,
//             the request by one more NUL
//   worker -> one line: the exit status that command would end with, then,
//             for a run without --out (its row goes to the sweep), a space
//             and the row
//
// Each run is read by the program's own parser and made by the summary run's
// own code (shell/experiments/SummaryRun.h): its messages go to standard
// error, its row to its --out file, as that command's would. The worker ends
// when its input ends; it installs no signal handlers (a worker that is
// stopped mid-run writes no row for that run), and, started by a sweep, ends
// with it.
#include <string>
#include <vector>

// The whole mode: 0 at the end of the input, 1 when the sweep is gone or
// cannot be answered.
int RunSweepWorker();

// The request for one run, from its command line's words.
std::string WorkerRequest(const std::vector<std::string>& words);
// One answer line, newline included.
std::string WorkerAnswer(int status, const std::string& row);
// Reads an answer line (without its newline): false when it is no answer.
bool ParseWorkerAnswer(const std::string& line, int& status, std::string& row);

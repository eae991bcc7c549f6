#pragma once
// The jobs of a sweep: the processes that make its runs, as many at a time as
// it has jobs. When the sweep starts this program itself, each job is a
// worker that makes run after run in one process (shell/experiments/
// SweepWorker.h); when --program names another, each run is a process of
// that program (marrowick --summary-run ...), as a batch system would start
// it. Either way a run appends its own row to the summary file, or, without
// one (--out -), its row comes back to the sweep.
//
// SIGINT, SIGTERM and SIGHUP stop the jobs: their processes get SIGTERM, then
// SIGKILL after a grace, and a run they were making has no row. Every process
// is reaped before Run returns.
#include <sys/types.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "shell/experiments/SummaryRow.h"

struct JobSetup {
    std::string program;
    bool workers = false;       // program is this one: it runs workers
    const char* out = nullptr;  // the summary file; null: the rows come back
    int32_t jobs = 1;
    std::string seriesFolder;  // where each run saves its course (--series-folder); empty: none
    std::vector<std::string> environment;  // NAME=VALUE entries added for the processes
};

// How one run ended.
struct RunEnd {
    size_t run = 0;      // its index in the runs
    std::string status;  // "ok", "exit N" or "signal N"
    std::string row;     // the row that came back (out null), newline included
    std::string said;    // the start of its messages, on one line, when it failed
};

class SweepJobs {
public:
    // The jobs' temporary files. False with a message.
    bool Prepare(const JobSetup& setup, std::string& error);

    // Makes runs[pending[i]] for every i, in order; ended(end) as each run
    // ends (not those a stop ended), tick() at least every quarter second
    // while runs go on. A process that cannot be started stops the handing
    // out of runs: cannotStart says so, with a message. Returns the stop
    // signal, or 0.
    int Run(const std::vector<RunKey>& runs, const std::vector<size_t>& pending,
            const std::function<void(const RunEnd&)>& ended, const std::function<void()>& tick,
            bool& cannotStart, std::string& error);

private:
    struct FileCloser {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    using ScratchFile = std::unique_ptr<std::FILE, FileCloser>;
    struct Job {
        pid_t pid = -1;
        int requests = -1;   // a worker's standard input
        int answers = -1;    // a worker's standard output
        std::string answer;  // what came of the answer so far
        bool busy = false;   // making runs[run]
        size_t run = 0;
        bool answered = false;  // the worker has answered a run
        int startFailures = 0;  // workers that ended before their first answer, in a row
        ScratchFile errors;     // the process's standard error
        ScratchFile rows;       // a run's standard output, when its row comes back
    };

    bool Start(Job& job, const std::vector<RunKey>& runs, size_t run, std::string& error);
    bool StartWorker(Job& job, std::string& error);
    void CloseWorker(Job& job);
    bool ReadAnswer(Job& job, RunEnd& end);
    bool Ended(Job& job, int waitStatus, RunEnd& end);
    void EndAll(int signal);
    std::string WorkerFailure() const;

    JobSetup setup;
    std::vector<Job> jobs;
    const std::vector<RunKey>* runs = nullptr;
};

#pragma once
// The rule trace of a headless run or a window (--trace-rules FILE|-): one
// line per expert-system pass, written as the run goes:
//
//   step=156 result=complete food_supply=high change_FS=stable
//   food_reserves=stable population=stable change_FR=stable
//   num_gathering_ants=low fired=can_get_more_food,raise_food_intake
//   conclusions=raise_food_intake gathering=25.0000>28.5714
//   meandering=60.0000>57.1429 wandering=5.0000>4.7619
//   reproducing=10.0000>9.5238 work=22
//
// (one line in the file). Fields are blank-separated NAME=VALUE pairs; lists
// are comma-separated, "-" when empty; a share is "before>after"; work is
// what the pass did in units of the engine's work budget. result is
// complete, cut-off (the rules were still at work at the budget),
// too-many-conclusions or engine-failed; the shares change only in the first.
//
// The engine names the fired rules only while tracing, so a run without a
// trace pays nothing for it.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "policy/PassJournal.h"
#include "shell/RunObserver.h"

class EngineProcess;

// The trace line of one pass, without its line break. fired: the names of
// the rules it fired, in order (the journal's own copy is bounded).
std::string FormatTraceLine(const PassRecord& record, const std::vector<std::string>& fired);

// Writes the line of every pass the journal gains to a file, whole lines
// flushed at once, then hands the step to the next observer (the plot's), if
// any.
class RuleTraceWriter final : public RunObserver {
public:
    RuleTraceWriter() = default;
    ~RuleTraceWriter() override;
    RuleTraceWriter(const RuleTraceWriter&) = delete;
    RuleTraceWriter& operator=(const RuleTraceWriter&) = delete;

    // path "-" is standard output. False with a one-line message.
    bool Open(const char* path, RunObserver* next, std::string& error);
    bool IsOpen() const { return out != nullptr; }
    void AfterStep(const Simulation& simulation) override;
    // Flushes and closes; false with a message when anything was lost.
    bool Close(std::string& error);

private:
    std::FILE* out = nullptr;
    bool toStdout = false;
    std::string path;
    RunObserver* next = nullptr;
    int64_t written = 0;  // passes written so far
};

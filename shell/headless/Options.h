#pragma once
// The headless mode's command line:
//
//   marrowick --headless [--steps N] [--rate R] [--seed N] [--csv FILE|-]
//                        [--every K] [--verbose] [--trace-rules FILE|-]
#include <cstddef>
#include <cstdint>

class Simulation;
struct StartSettings;

// Sees the simulation after every step, with the state lock held (the
// experiments' plot records its samples through it).
class RunObserver {
public:
    virtual ~RunObserver() = default;
    virtual void AfterStep(const Simulation& simulation) = 0;
};

struct HeadlessOptions {
    int64_t steps = -1;           // -1: live pace until interrupted
    int32_t rate = 40;            // live steps per second
    uint32_t seed = 1;            // the random source's initial state (1: never seeded)
    const char* csvPath = nullptr;  // nullptr: no CSV; "-": standard output
    int32_t every = 1;            // CSV rows and terminal refreshes, in steps
    bool verbose = false;         // rule-engine printouts reach standard output
    const char* traceRulesPath = nullptr;  // --trace-rules: one line per pass ("-": stdout)
    // Not options: the working directory's rule base (tests point it
    // elsewhere), and a hook that sets the simulation up before the first
    // step (tests drive a colony out of its viable range with it).
    const char* rulesPath = "Rules.clp";
    void (*prepare)(Simulation& simulation) = nullptr;
    // Set by main, not parsed here: the --set values (applied right after the
    // simulation is built) and an observer of every step.
    const StartSettings* settings = nullptr;
    RunObserver* observer = nullptr;
};

enum class HeadlessCommand { Run, Help, Version, Error };

// Reads the arguments after argv[0]; "--headless" (or "-headless") itself is
// skipped wherever it stands, and refused with a value ("--headless=1"). Both "--steps N" and "--steps=N" are accepted. On Error, error
// holds a one-line message (no newline).
HeadlessCommand ParseHeadlessOptions(int argc, char** argv, HeadlessOptions& options,
                                     char* error, size_t errorCapacity);

// The one-line usage and the --help text.
extern const char kHeadlessUsage[];
extern const char kHeadlessHelp[];

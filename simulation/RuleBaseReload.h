#pragma once
// Reloading the rule base while the simulation runs: the file is read and
// loaded into an engine of its own beside the running one, without the state
// lock, so the colony goes on while a slow or hostile file loads; only the
// exchange of the two engines happens under the lock. A file that does not
// load cleanly leaves the running rules in place, and the expert system's
// loadProblem (and standard error) says why.
#include <mutex>
#include <thread>

class EngineProcess;
class Simulation;

// Reloads the file the running rule base came from, on the calling thread,
// which it blocks for the load (bounded by the engine's load limits). True
// when the new rules now run.
bool ReloadRuleBase(Simulation& simulation);

// The same, loading into candidate (a fresh EngineProcess), which another
// thread may Cancel meanwhile.
bool ReloadRuleBaseInto(Simulation& simulation, EngineProcess& candidate);

// Reloads on a thread of its own, so that the thread that asks (the
// interface's, which must draw the next frame on time) never waits for a
// load. A request while one runs is remembered and carried out after it: the
// file may have changed again meanwhile.
//
// Lifetime: destroy it before the simulation. The destructor cancels a load
// in progress (its engine is killed) and waits for the thread.
// Threading: Start and Busy from any one thread.
class RuleBaseReloader {
public:
    explicit RuleBaseReloader(Simulation& simulation) : simulation(simulation) {}
    ~RuleBaseReloader();
    RuleBaseReloader(const RuleBaseReloader&) = delete;
    RuleBaseReloader& operator=(const RuleBaseReloader&) = delete;

    // Starts a reload and returns at once. Where no thread can be started the
    // reload runs on the caller's thread instead.
    void Start();
    // A reload is running or waiting to run.
    bool Busy();

private:
    void Work();

    Simulation& simulation;
    std::mutex lock;  // guards everything below
    std::thread worker;
    bool running = false;
    bool again = false;
    bool ending = false;
    EngineProcess* candidate = nullptr;  // the engine loading now, for the destructor to cancel
};

#pragma once
// Reloading the rule base while the simulation runs, or switching to another
// one (a rule base of the gallery): the new rules are read and loaded into an
// engine of their own beside the running one, without the state lock, so the
// colony goes on while a slow or hostile file loads; only the exchange of the
// two engines happens under the lock. Rules that do not load cleanly leave
// the running ones in place, and the expert system's loadProblem (and
// standard error) says why. A switch keeps the colony, its baselines and the
// journal: the next pass is the new rules' first.
#include <mutex>
#include <string>
#include <thread>

#include "policy/RuleGallery.h"

class EngineProcess;
class Simulation;

// Reloads the rule base running now from where it came from (its file, or the
// text held in memory), on the calling thread, which it blocks for the load
// (bounded by the engine's load limits). True when the new rules now run.
bool ReloadRuleBase(Simulation& simulation);

// The same, loading into candidate (a fresh EngineProcess), which another
// thread may Cancel meanwhile.
bool ReloadRuleBaseInto(Simulation& simulation, EngineProcess& candidate);

// Puts the rule base target (a file, or a text held in memory) in place of
// the running one, as a reload does; on success the views name it target.name.
bool SwitchRuleBaseInto(Simulation& simulation, EngineProcess& candidate,
                        const RuleBaseEntry& target);

// Reloads and switches on a thread of its own, so that the thread that asks
// (the interface's, which must draw the next frame on time) never waits for a
// load. A request while one runs is remembered and carried out after it (the
// file may have changed again meanwhile); of several, the last one asked.
//
// Lifetime: destroy it before the simulation. The destructor cancels a load
// in progress (its engine is killed) and waits for the thread.
// Threading: Start, Switch and Busy from any one thread.
class RuleBaseReloader {
public:
    explicit RuleBaseReloader(Simulation& simulation) : simulation(simulation) {}
    ~RuleBaseReloader();
    RuleBaseReloader(const RuleBaseReloader&) = delete;
    RuleBaseReloader& operator=(const RuleBaseReloader&) = delete;

    // Starts a reload of the running rule base and returns at once. Where no
    // thread can be started the reload runs on the caller's thread instead.
    void Start();
    // Starts a switch to target, likewise.
    void Switch(const RuleBaseEntry& target);
    // A reload or a switch is running or waiting to run.
    bool Busy();

private:
    // What to do: reload the running rule base, or switch to target.
    struct Request {
        bool switchTo = false;
        RuleBaseEntry target;
    };
    void Queue(const Request& request);
    static bool Carry(Simulation& simulation, EngineProcess& candidate, const Request& request);
    void Work();

    Simulation& simulation;
    std::mutex lock;  // guards everything below
    std::thread worker;
    bool running = false;
    bool again = false;  // next is waiting
    bool ending = false;
    Request current;     // the request the worker carries out now
    Request next;
    EngineProcess* candidate = nullptr;  // the engine loading now, for the destructor to cancel
};

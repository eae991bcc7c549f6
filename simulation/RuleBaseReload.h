#pragma once
// Reloading the rule base while the simulation runs: the file is read and
// loaded into an engine of its own beside the running one, without the state
// lock, so the colony goes on while a slow or hostile file loads; only the
// exchange of the two engines happens under the lock. A file that does not
// load cleanly leaves the running rules in place, and the expert system's
// loadProblem (and standard error) says why.
//
// Blocks the calling thread for the load (bounded by the engine's load
// budget); called on the user interface's thread.
class Simulation;

// Reloads the file the running rule base came from. True when the new rules
// now run.
bool ReloadRuleBase(Simulation& simulation);

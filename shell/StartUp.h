#pragma once
// The one start-up of every mode that runs a colony (the screen saver, the
// window, the terminal view, headless runs and a sweep's runs). A front end
// calls these in order and adds only its view:
//
//   1. PrepareRun: the run description from the defaults, then the settings
//      file's parameter records (the views read that file), then the command
//      line (--rate and the other options, then every --set in order: --set
//      simsPerSecond beats --rate); checked once (CheckRun); the rule base and
//      the settings file looked up; and the command's outputs checked against
//      its inputs and each other. Nothing is opened or written yet, so a
//      refused command leaves every file as it was.
//   2. ProvideRunFiles: the only writes of a start-up: the user's folder and
//      the first-use copy of the rule base in it (settings/UserFiles.h).
//   3. BuildSimulation and ApplyPace (settings/SimulationBuild.h).
//   4. StopSignals (shell/StopSignals.h) for the run's lifetime.
//   5. Restarts: a threaded run hands the worker's restart requests to
//      OnColonyRestart (simulation/SimulationThread.h); a fast run steps with
//      StepFast.
#include <string>
#include <vector>

#include "settings/RunDescription.h"
#include "shell/CommandLine.h"
#include "shell/ExitStatus.h"
#include "simulation/Simulation.h"

// A file the command writes, as its option names it.
struct RunOutput {
    std::string path;
    std::string role;  // "--csv"
};

struct StartRequest {
    bool readsSettingsFile = false;  // the views: Marrowick.ini and its records
    std::vector<RunOutput> outputs;
};

// Step 1. kExitOk, or the exit status with a one-line message.
int PrepareRun(const CommandLine& line, const StartRequest& request, RunDescription& run,
               std::string& error);

// The outputs of a command against the files it reads and against each
// other, nothing opened: the user's rule base and settings file wherever they
// are read from (whether or not they exist yet: an output written there would
// be read as one in every later run), the installed texture, run's rule base
// (when given), and further inputs. kExitOk, or the exit status with one line.
int CheckOutputs(const std::vector<RunOutput>& outputs, const std::vector<RunOutput>& inputs,
                 std::string& error, const RunDescription* run = nullptr,
                 const std::string& textureName = std::string());

// Step 2: the user's folder and the first-use rule base; says on standard
// error what fell back (one line).
void ProvideRunFiles(RunDescription& run, bool readsSettingsFile);

// One step of a fast run: the step, afterStep(simulation) on the state after
// it, then the colony rebuilt at once if it has left its viable range (as the
// views' restart does, without their pause).
template <typename AfterStep>
void StepFast(Simulation& simulation, AfterStep&& afterStep) {
    simulation.Step();
    afterStep(simulation);
    if (simulation.ColonyNeedsRestart()) simulation.RestartColony();
}

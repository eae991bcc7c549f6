// marrowick-window: the screen saver and the window mode, in a program of
// their own that marrowick starts for them (shell/WindowProgram.h). It reads
// the same command line with the same parser; any other mode is marrowick's.
#include <sys/prctl.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "shell/CommandLine.h"
#include "shell/ExitStatus.h"
#include "shell/window/Application.h"

int main(int argc, char** argv) {
    // Still "marrowick" to ps, top and pkill: marrowick became this program
    // in its own place, and a user (or a script) knows it by that name.
    prctl(PR_SET_NAME, kProgramName);
    CommandLine line;
    std::string error;
    if (!ParseCommandLine(argc, argv, std::getenv("XSCREENSAVER_WINDOW"), line, error)) {
        std::fprintf(stderr, "%s: %s\n", kProgramName, error.c_str());
        return kExitUsage;
    }
    if (line.help || line.version ||
        (line.mode != Mode::ScreenSaver && line.mode != Mode::Window)) {
        std::fprintf(stderr, "%s: this program shows the screen saver and the window for %s; "
                             "run %s itself\n",
                     kProgramName, kProgramName, kProgramName);
        return kExitUsage;
    }
    return RunApplication(line);
}

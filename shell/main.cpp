// Start-up: the terminal runner for --headless, otherwise the screen saver's
// modes and our window mode (shell/window/Application.h).
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "shell/CommandLine.h"
#include "shell/Headless.h"
#if MARROWICK_HAS_GUI
#include "shell/window/Application.h"
#endif

int main(int argc, char** argv) {
    // The terminal runner reads its own options, wherever --headless stands
    // (and says what is wrong with "-headless=1" and the like itself).
    for (int i = 1; i < argc; ++i) {
        if (IsHeadlessSwitch(argv[i])) {
            return RunHeadless(argc, argv);
        }
    }
    CommandLine line;
    ParseCommandLine(argc, argv, std::getenv("XSCREENSAVER_WINDOW"), line);
    // What needs no window is answered here, with or without the GUI.
    switch (line.launch) {
        case Launch::Help:
            std::fputs(UsageText(), stdout);
            return 0;
        case Launch::Version:
            std::printf("marrowick %s\n", MARROWICK_VERSION);
            return 0;
        case Launch::Error:
            std::fprintf(stderr, "marrowick: %s\n", line.error);
            return 2;
        default:
            break;
    }
#if MARROWICK_HAS_GUI
    return RunApplication(line);
#else
    std::fprintf(stderr, "marrowick: built without the window; try marrowick --headless\n");
    return 2;
#endif
}

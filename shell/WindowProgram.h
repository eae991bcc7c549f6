#pragma once
// The windowed modes (the screen saver and the window) are a program of their
// own, marrowick-window, which this program starts in its own place for them.
// Every other mode (a sweep's runs, --version, the terminal view) then starts
// without loading SDL, OpenGL, Dear ImGui and the X libraries, which took
// most of the time of a short command. Executing it keeps the process: the
// same process id, arguments and environment, so xscreensaver's window
// (XSCREENSAVER_WINDOW) and its SIGTERM reach the program that draws.
//
// The window program is found as the rule engine is (policy/EngineLocation.h):
// ../libexec/marrowick/ when installed, beside this program in a build tree.

// Executes the window program with argv. Returns only when it cannot: the exit
// status, after a one-line message.
int ExecWindowProgram(char** argv);

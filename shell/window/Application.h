#pragma once
// Start-up after the command line is parsed (main has answered help, version
// and option errors): the About box of configure mode (which never builds the
// simulation), an empty preview, or the main view in its full-screen, windowed
// or foreign-window form.
#include "shell/CommandLine.h"

// Returns the process's exit status. Headless launches are not handled here.
int RunApplication(const CommandLine& line);

// The About box on its own (configure mode).
void ShowAboutBox();

#include "shell/WindowProgram.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "policy/EngineLocation.h"
#include "shell/ExitStatus.h"
#include "shell/OptionTable.h"

int ExecWindowProgram(char** argv) {
    std::string path;
    std::string error;
    if (!FindHelperProgram(kWindowProgram, nullptr, path, error)) {
        std::fprintf(stderr, "%s: cannot show a window: %s\n", kProgramName, error.c_str());
        return kExitFailure;
    }
    execv(path.c_str(), argv);
    std::fprintf(stderr, "%s: cannot start %s: %s\n", kProgramName, path.c_str(), std::strerror(errno));
    return kExitFailure;
}

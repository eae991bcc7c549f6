#include "shell/rules/ListRules.h"

#include <csignal>
#include <cstdio>
#include <string>

#include "settings/UserGallery.h"
#include "shell/ExitStatus.h"

int RunListRules(const CommandLine&) {
    UserFileInputs inputs = UserFileInputsFromEnvironment();
    inputs.wantSettings = false;
    const UserFiles files = LookUpUserFiles(inputs);
    std::string text = FormatRuleGallery(UserRuleGallery(files));
    // Without --rules a run reads the user's Rules.clp (settings/UserFiles.h).
    if (files.rules.path.empty()) {
        text += "\nWithout --rules a run uses the built-in rules (\"default\").\n";
    } else {
        text += "\nWithout --rules a run uses " + files.rules.path + " (\"" +
                RuleBaseNameOfFile(files.rules.path) + "\").\n";
    }
    // A reader that goes away (| head) is a write error, not a signal.
    std::signal(SIGPIPE, SIG_IGN);
    if (std::fputs(text.c_str(), stdout) == EOF || std::fflush(stdout) != 0) {
        std::fprintf(stderr, "%s: cannot write the list of rule bases\n", kProgramName);
        return kExitFailure;
    }
    return kExitOk;
}

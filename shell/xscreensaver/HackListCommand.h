#pragma once
// marrowick --add-to-xscreensaver and --remove-from-xscreensaver: the edit of
// shell/xscreensaver/UserHackList.h carried out on the user's own file.
//
// The file is replaced atomically (a new file renamed over it, with the old
// one's permissions); the file as it was is kept beside it first, in
// ~/.xscreensaver.marrowick.bak. A link is followed, so a settings file kept
// elsewhere stays where it is, and stays a link.
#include <string>

#include "shell/xscreensaver/UserHackList.h"

enum class HackListResult { Changed, Unchanged, Failed };

struct HackListEdit {
    HackListResult result = HackListResult::Failed;
    std::string message;  // one line for the user, without the program's name
};

constexpr const char* kHackListBackupSuffix = ".marrowick.bak";

// Edits the file at path (made when Add finds none). The message says what
// was done, or why nothing could be.
HackListEdit EditHackListFile(const std::string& path, HackListAction action);

// ~/.xscreensaver for the user who runs us ($HOME, else the password
// database), or empty when there is no home to find.
std::string UserHackListPath();

// marrowick --add-to-xscreensaver | --remove-from-xscreensaver: the edit of
// the user's file, its message on standard output (standard error for a
// failure). The exit status: 0, or 1 on failure.
int RunHackListEdit(HackListAction action);

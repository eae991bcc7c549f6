#pragma once
// Where the program's helper programs are (the rule engine, marrowick-engine,
// and the window program, marrowick-window), found from this program's own
// executable and never from a path compiled in: a package, an install under
// any prefix and a build tree each find their own helpers, and an installed
// program never goes looking in the folder it was built in (which may be
// gone, unreadable, or writable by someone else).
//
// For an executable PREFIX/BIN/marrowick and a helper NAME, in this order:
//   1. the program named by the helper's variable (MARROWICK_ENGINE for the
//      engine), when that is set: it and no other (tests and benchmarks name
//      the build tree's engine this way);
//   2. PREFIX/libexec/marrowick/NAME (an install: /usr/bin and /usr/libexec,
//      /usr/local/bin and /usr/local/libexec);
//   3. BIN/NAME, beside the executable (a build tree).
//
// 2 and 3 are run only when nobody but root and the owner of our executable
// could have put them there: the file and each folder it adds below PREFIX
// (or below BIN) belong to one of the two and none of them can be written by
// everyone, nor PREFIX unless it is sticky. A build in /tmp/build would
// otherwise run whatever another user left in /tmp/libexec/marrowick.
#include <sys/types.h>

#include <string>

constexpr const char* kEngineProgram = "marrowick-engine";
constexpr const char* kEngineVariable = "MARROWICK_ENGINE";
constexpr const char* kWindowProgram = "marrowick-window";

// name: the helper's file name. executable: this program's path as the
// kernel gives it (/proc/self/exe; a " (deleted)" suffix after an upgrade is
// harmless, only its folder is used). named: the value of the helper's
// variable (variable names it in messages), or null. owner: the owner of the
// executable. On success path is the program to start; otherwise error says
// what was looked for and why nothing could be used, telling a missing
// program from one that is there but cannot be run.
bool LocateHelper(const char* name, const char* variable, const std::string& executable,
                  const char* named, uid_t owner, std::string& path, std::string& error);

// The engine, named by MARROWICK_ENGINE.
inline bool LocateEngine(const std::string& executable, const char* named, uid_t owner,
                         std::string& path, std::string& error) {
    return LocateHelper(kEngineProgram, kEngineVariable, executable, named, owner, path, error);
}

// This program's own helper, found as above (variable: the one that may name
// it, or null): false with the reason when it cannot be used.
bool FindHelperProgram(const char* name, const char* variable, std::string& path,
                       std::string& error);

#pragma once
// Starting and describing the processes of a sweep's runs.
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

// The program a sweep starts for its runs: this very program
// (/proc/self/exe), or argv[0] resolved against the working directory or
// PATH where /proc is not there. False when neither names a file.
bool ResolveThisProgram(const char* argv0, std::string& path);

// The processors this process may run on (at least 1).
int32_t AvailableCores();

// A word as a POSIX shell reads it back: left bare when it is plain, else in
// single quotes.
std::string ShellQuoted(const std::string& word);
// The words joined into one shell command line.
std::string ShellCommand(const std::vector<std::string>& words);

// Starts argv[0] (a path, or a name looked up on PATH) with these arguments in a process group of its own
// (a Ctrl+C at the terminal reaches only the sweep, which then ends its runs
// itself), with every signal at its default and unblocked, standard input on
// stdinFd and standard output on stdoutFd (-1: /dev/null), standard error on
// stderrFd and the NAME=VALUE entries of extraEnvironment added to ours.
// False with a message when it cannot start.
bool SpawnProcess(const std::vector<std::string>& argv, int stdinFd, int stdoutFd, int stderrFd,
                  const std::vector<std::string>& extraEnvironment, pid_t& pid,
                  std::string& error);

// How a process ended, as the status column says it: "ok" for exit 0, else
// "exit N" or "signal N".
std::string EndStatus(int waitStatus);

#pragma once
// Finding and starting the engine program (marrowick-engine).
//
// Every engine process is started from one launcher thread that lives as long
// as the program: the kernel sends a child its parent-death signal when the
// *thread* that started it ends, and the simulation thread, which restarts a
// failed engine, comes and goes (pause, colony restart, New Colony).
#include <sys/types.h>

#include <cstddef>

// The engine program, found from this program's own executable as
// policy/EngineLocation.h describes (MARROWICK_ENGINE, then
// ../libexec/marrowick, then beside it). False with the reason in error.
bool FindEngineProgram(char* path, size_t capacity, char* error, size_t errorCapacity);

// Starts program with socketFd as its descriptor 3, standard input from
// /dev/null, no other descriptors, default signal handling and an empty signal
// mask. Returns the child's pid, or -1 with errno's value in error.
pid_t LaunchEngineProgram(const char* program, int socketFd, int& error);

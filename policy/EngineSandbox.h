#pragma once
// The engine process's bounds, applied to itself before it reads any rule
// base (a rule base runs code while it loads: defglobal values, for one).
//
// Limits: address space kEngineMemoryLimitBytes (a rule base that grows
// without end meets the engine's out-of-memory path instead of the machine's),
// no core files, no file growth.
//
// Sandbox (seccomp): the engine may read and write its own socket, manage
// memory (never executable memory), read the clocks, and end itself, by exit
// or by a signal to itself (so an abort still reads as a crash). Every other
// system call fails with EPERM: opening, creating or removing files, starting
// processes or programs, sockets, signals to others. The engine's functions
// that would touch the machine (open, system, load, batch, dribble-on, ...)
// then fail inside the rule base instead.
#include <cstddef>
#include <cstdint>

constexpr uint64_t kEngineMemoryLimitBytes = 256ull << 20;

// False with a one-line reason in error when a limit cannot be set.
bool ApplyEngineLimits(char* error, size_t capacity);

// Installs the filter for this process; socketFd is the one descriptor it may
// read and write. False with a one-line reason in error when the kernel
// refuses (the engine then must not run a rule base).
bool EnterEngineSandbox(int socketFd, char* error, size_t capacity);

#pragma once
// The engine process's side of the conversation (policy/EngineProtocol.h):
// the main of marrowick-engine.
//
//   marrowick-engine PARENT-PID      (socket on descriptor kEngineSocketFd)
//
// Started only by the expert system (policy/EngineProcess.h). It dies with its
// parent (parent-death signal), ignores the terminal's signals (the parent
// ends it), closes every other descriptor, limits itself and enters its
// sandbox (policy/EngineSandbox.h) before it says Ready; then it answers one
// request at a time until told to quit or its socket closes. It leaves by
// _exit: nothing at exit may need a system call the sandbox refuses.

// The descriptor the parent hands the socket over on.
constexpr int kEngineSocketFd = 3;

// The whole program: its exit status (2 when started by hand).
int RunEngineServer(int argc, char** argv);

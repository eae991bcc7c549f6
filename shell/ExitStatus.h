#pragma once
// The exit statuses every mode gives, so that a script can trust them.
constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;      // a run or an output failed
constexpr int kExitUsage = 2;        // a refused command line, or files that would clash
constexpr int kExitSignalBase = 128; // ended by signal N: 128 + N, as the shell reports it

// Test and benchmark programs live in folders of their own (tests/, bench/),
// where the program's search finds no engine: each names this build's engine
// in MARROWICK_ENGINE before main, unless whoever runs it named one already.
// Linked into every test and benchmark program (tests/CMakeLists.txt,
// bench/CMakeLists.txt), which define MARROWICK_TEST_ENGINE.
#include <cstdlib>

#include "policy/EngineLocation.h"

namespace {

[[maybe_unused]] const bool kEngineNamed = setenv(kEngineVariable, MARROWICK_TEST_ENGINE, 0) == 0;

}  // namespace

#pragma once
// A rule base's load messages as editors and people read them:
//
//   PREFIXFILE:LINE: error: [EXPRNPSR3] Missing function declaration for foo.
//       ERROR:
//       (defrule MAIN::broken ...
//
// the engine's first line after FILE:LINE, its further lines indented below
// it. The same in every mode: --check-rules (no prefix), a run and a reload
// ("marrowick: ").
#include <cstddef>
#include <string>

#include "policy/RuleEngine.h"

// The first limit messages (all of them with limit 0), then a line that says
// how many more there are.
std::string FormatLoadMessages(const char* source, const LoadDiagnostic* diagnostics, size_t count,
                               size_t dropped, const char* prefix, size_t limit = 0);

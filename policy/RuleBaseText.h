#pragma once
// The built-in rule base (resources/Rules.clp, embedded byte for byte by the
// build). A run without a rule base file loads it from memory; the user's
// first-use copy is written from it.
extern const char* const kRuleBaseText;
extern const unsigned kRuleBaseLength;

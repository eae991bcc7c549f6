#pragma once
// The built-in rule base (resources/Rules.clp, embedded byte for byte by the
// build). Start-up writes it to Rules.clp when that file is missing.
extern const char* const kRuleBaseText;
extern const unsigned kRuleBaseLength;

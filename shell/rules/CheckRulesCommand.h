#pragma once
// marrowick --check-rules [FILE] [--format text|csv]
//
// Loads a rule base into an engine process of its own and reports what it
// does with every situation the expert system can hand it (shell/rules/
// RuleCheck.h). Load messages go to standard error as FILE:LINE: lines; the
// report (or the CSV table) goes to standard output.
//
// Without FILE the rule base the program would use is checked, found without
// making or writing anything: Rules.clp in the working directory, else the
// user's copy (~/.config/marrowick/Rules.clp), else the installed default,
// else the built-in rules.
//
// Exit status: 0 when the file loads cleanly and every pass comes to rest,
// 1 otherwise, 2 for a usage error.
#include <cstdio>
#include <string>

#include "shell/CommandLine.h"
#include "shell/rules/RuleCheck.h"

enum class CheckFormat { Text, Csv };

// The mode, from a parsed command line (the file after --check-rules or as
// --check-rules=FILE, --format).
int RunCheckRules(const CommandLine& line);

// The rule base the program would use, or empty for the built-in text.
std::string DefaultRuleBaseForCheck();

// The parts of the output, for tests.
void WriteLoadMessages(const RuleCheckReport& report, std::FILE* out);
void WriteCheckSummary(const RuleCheckReport& report, std::FILE* out);
void WriteCheckCsv(const RuleCheckReport& report, std::FILE* out);

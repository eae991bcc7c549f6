#pragma once
// marrowick --list-rules: the gallery of rule bases that --rules NAME picks
// from (policy/RuleGallery.h), each with its name, its one-line description
// and where it comes from, then the rule base a run uses without --rules.
// Reads only the headers of the user's files; writes nothing.
#include "shell/CommandLine.h"

// The mode: 0 listed, 1 standard output could not be written.
int RunListRules(const CommandLine& line);

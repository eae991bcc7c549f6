#pragma once
// The rule base file: written from the built-in text when it is missing, and
// never written over once it exists (the user may have edited it).
#include <cstddef>

// Makes sure path names a file, writing the built-in rule base there when
// nothing exists yet. Safe against a second instance doing the same at the
// same moment: nobody ever loads a half-written file.
void ProvideRuleBase(const char* path);

// ProvideRuleBase, then checks that path is a regular file that can be read
// (opened without blocking, so a FIFO never hangs the start). False when the
// rule base cannot be used, with the reason in problem as the end of a
// sentence that starts with the file's name: "is a directory, not a rule
// base file", "is missing and could not be written here (Permission
// denied)", "cannot be read (Permission denied)".
bool PrepareRuleBase(const char* path, char* problem, size_t capacity);

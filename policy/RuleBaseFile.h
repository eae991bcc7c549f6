#pragma once
// The rule base file: written from the built-in text only where the user's
// files are looked after (the first-use copy in the user's folder), and never
// written over once it exists (the user may have edited it). Loading a rule
// base only reads.
#include <cstddef>

// Makes sure path names a file, writing the built-in rule base there when
// nothing exists yet. Safe against a second instance doing the same at the
// same moment: nobody ever loads a half-written file.
void ProvideRuleBase(const char* path);

// ProvideRuleBase that says how it went: true when a file is there now
// (written or found), false with errno's value in error otherwise.
bool ProvideRuleBaseAt(const char* path, int& error);

// Checks that path is a regular file that can be read (opened without
// blocking, so a FIFO never hangs the start); nothing is written. False when
// the rule base cannot be used, with the reason in problem as the end of a
// sentence that starts with the file's name: "is a directory, not a rule
// base file", "is missing", "cannot be read (Permission denied)".
bool CheckRuleBase(const char* path, char* problem, size_t capacity);

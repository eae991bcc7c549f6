#pragma once
// The rule base file: written from the built-in text when it is missing, and
// never written over once it exists (the user may have edited it).

// Makes sure path names a file, writing the built-in rule base there when
// nothing exists yet. Safe against a second instance doing the same at the
// same moment: nobody ever loads a half-written file.
void ProvideRuleBase(const char* path);

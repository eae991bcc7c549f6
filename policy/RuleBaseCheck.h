#pragma once
// A rule base is UTF-8 text, and the engine reads it as such: a NUL byte
// would end it where it stands (silently dropping every rule after it), and
// other encodings come out as a stream of syntax errors. So the text is
// checked before the engine sees it:
//
// - a UTF-8 byte-order mark is skipped (editors on other systems write one);
// - UTF-16 or UTF-32 (with a byte-order mark, or ASCII with NULs between the
//   characters) is refused with a message that says so;
// - a NUL byte or a byte that is no UTF-8 is refused with its line.
#include <cstddef>
#include <cstdint>

struct RuleBaseTextCheck {
    static constexpr size_t kMessageCapacity = 160;
    bool ok = true;
    size_t skip = 0;   // bytes to leave out at the start (a byte-order mark)
    int32_t line = 0;  // where the fault is (1 for the encoding as a whole)
    // For the author, after FILE:LINE: "a NUL byte: ..."
    char message[kMessageCapacity] = {};
    // The same for a sentence about the file: "is not UTF-8 text (...)"
    char summary[kMessageCapacity] = {};
};

RuleBaseTextCheck CheckRuleBaseText(const char* text, size_t length);

#include "policy/RuleBaseCheck.h"

#include <cstdio>

#include "policy/SafeText.h"

namespace {

bool StartsWith(const unsigned char* text, size_t length, const char* prefix, size_t prefixLength) {
    if (length < prefixLength) return false;
    for (size_t i = 0; i < prefixLength; ++i) {
        if (text[i] != static_cast<unsigned char>(prefix[i])) return false;
    }
    return true;
}

// The encoding's name when the text starts the way UTF-16 or UTF-32 does:
// with its byte-order mark, or with an ASCII character and NULs beside it.
const char* WideEncoding(const unsigned char* t, size_t length) {
    if (StartsWith(t, length, "\xFF\xFE\x00\x00", 4) || StartsWith(t, length, "\x00\x00\xFE\xFF", 4)) {
        return "UTF-32";
    }
    if (StartsWith(t, length, "\xFF\xFE", 2) || StartsWith(t, length, "\xFE\xFF", 2)) return "UTF-16";
    if (length >= 4 && t[0] != 0 && t[0] < 0x80 && t[1] == 0 && t[2] == 0 && t[3] == 0) return "UTF-32";
    if (length >= 4 && t[0] == 0 && t[1] == 0 && t[2] == 0 && t[3] != 0 && t[3] < 0x80) return "UTF-32";
    if (length >= 2 && t[0] != 0 && t[0] < 0x80 && t[1] == 0) return "UTF-16";
    if (length >= 2 && t[0] == 0 && t[1] != 0 && t[1] < 0x80) return "UTF-16";
    return nullptr;
}

}  // namespace

RuleBaseTextCheck CheckRuleBaseText(const char* text, size_t length) {
    RuleBaseTextCheck check;
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    if (const char* encoding = WideEncoding(bytes, length)) {
        check.ok = false;
        check.line = 1;
        std::snprintf(check.message, sizeof check.message,
                      "the file is %s text; save it as UTF-8", encoding);
        std::snprintf(check.summary, sizeof check.summary, "is %s text; save it as UTF-8",
                      encoding);
        return check;
    }
    if (StartsWith(bytes, length, "\xEF\xBB\xBF", 3)) check.skip = 3;

    int32_t line = 1;
    for (size_t i = check.skip; i < length;) {
        const unsigned char c = bytes[i];
        if (c == '\n' || (c == '\r' && (i + 1 >= length || bytes[i + 1] != '\n'))) ++line;
        if (c == 0) {
            check.ok = false;
            check.line = line;
            std::snprintf(check.message, sizeof check.message,
                          "a NUL byte; a rule base is text, and everything after it would be lost");
            std::snprintf(check.summary, sizeof check.summary,
                          "is not text (a NUL byte on line %d)", line);
            return check;
        }
        uint32_t codePoint = 0;
        const size_t sequence = Utf8SequenceLength(bytes + i, length - i, codePoint);
        if (sequence == 0) {
            check.ok = false;
            check.line = line;
            std::snprintf(check.message, sizeof check.message,
                          "byte 0x%02X is not UTF-8; save the rule base as UTF-8", c);
            std::snprintf(check.summary, sizeof check.summary,
                          "is not UTF-8 text (byte 0x%02X on line %d)", c, line);
            return check;
        }
        i += sequence;
    }
    return check;
}

// The fact-listing scanner: splits the engine's printed fact list into words,
// numbers and punctuation so that conclusion facts can be picked out of it.
#include <cstring>

#include "policy/RuleEngine.h"

namespace {

// Parentheses count as separators: a fact such as (raise_population) scans as
// the bare word. The NUL terminator is a separator too, and ends the scan.
bool IsSeparator(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\0' || c == '(' || c == ')';
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

TokenKind NextToken(const char*& cursor, char* tokenText) {
    tokenText[0] = '\0';
    while (*cursor != '\0' && IsSeparator(*cursor)) ++cursor;
    if (*cursor == '\0') return TokenEnd;

    const char* start = cursor;
    if (*start == ',' || *start == ';') {
        tokenText[0] = *start;
        tokenText[1] = '\0';
        ++cursor;
        return *start == ',' ? TokenComma : TokenSemicolon;
    }

    TokenKind kind = TokenWord;
    if (IsDigit(*start) || *start == '-') {
        // Only the digits from the token's first character count, so a
        // leading minus sign never reaches the '.' test: "-1.5" is an integer.
        const char* p = start;
        while (IsDigit(*p)) ++p;
        kind = (*p == '.') ? TokenReal : TokenInteger;
    }

    const char* end = start;
    while (!IsSeparator(*end) && *end != ',' && *end != ';') ++end;
    cursor = end;

    // The whole token is consumed; only its first kTokenTextCapacity - 1
    // characters are kept.
    size_t length = static_cast<size_t>(end - start);
    if (length > kTokenTextCapacity - 1) length = kTokenTextCapacity - 1;
    std::memcpy(tokenText, start, length);
    tokenText[length] = '\0';
    return kind;
}

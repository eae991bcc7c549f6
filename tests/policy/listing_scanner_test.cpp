// The fact-listing scanner on the engine's listing lines and on odd input.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "policy/RuleEngine.h"

namespace {

struct Token {
    TokenKind kind;
    std::string text;
    bool operator==(const Token& other) const {
        return kind == other.kind && text == other.text;
    }
};

std::ostream& operator<<(std::ostream& out, const Token& token) {
    return out << "{" << static_cast<int>(token.kind) << ", \"" << token.text << "\"}";
}

std::vector<Token> Scan(const std::string& text) {
    std::vector<Token> tokens;
    const char* cursor = text.c_str();
    char buffer[kTokenTextCapacity];
    for (int guard = 0; guard < 1000; ++guard) {
        const TokenKind kind = NextToken(cursor, buffer);
        if (kind == TokenEnd) return tokens;
        tokens.push_back({kind, buffer});
    }
    ADD_FAILURE() << "the scan did not end";
    return tokens;
}

TEST(ListingScanner, SplitsListingLinesAndValues) {
    struct Case {
        const char* text;
        std::vector<Token> tokens;
    } const cases[] = {
        {"f-3     (raise_population)\r\n",
         {{TokenWord, "f-3"}, {TokenWord, "raise_population"}}},
        {"f-1     (world (food_supply high) (change_FS stable))\n",
         {{TokenWord, "f-1"},
          {TokenWord, "world"},
          {TokenWord, "food_supply"},
          {TokenWord, "high"},
          {TokenWord, "change_FS"},
          {TokenWord, "stable"}}},
        {"For a total of 7 facts.\n",
         {{TokenWord, "For"},
          {TokenWord, "a"},
          {TokenWord, "total"},
          {TokenWord, "of"},
          {TokenInteger, "7"},
          {TokenWord, "facts."}}},
        // Numbers: digits then '.', a real; a leading '-' is always an integer.
        {"12 3.5 -4 -1.5 7abc 0.", {{TokenInteger, "12"},
                                   {TokenReal, "3.5"},
                                   {TokenInteger, "-4"},
                                   {TokenInteger, "-1.5"},
                                   {TokenInteger, "7abc"},
                                   {TokenReal, "0."}}},
        // Commas and semicolons end a token and are tokens of their own.
        {"a,b;c ,;", {{TokenWord, "a"},
                     {TokenComma, ","},
                     {TokenWord, "b"},
                     {TokenSemicolon, ";"},
                     {TokenWord, "c"},
                     {TokenComma, ","},
                     {TokenSemicolon, ";"}}},
        {"\t(x)(y)\r", {{TokenWord, "x"}, {TokenWord, "y"}}},
        {"", {}},
        {" \t\r\n()", {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Scan(c.text), c.tokens) << "scanning \"" << c.text << "\"";
    }
}

TEST(ListingScanner, CursorStopsOnTheCharacterThatEndedTheToken) {
    const std::string text = "abc) d";
    const char* cursor = text.c_str();
    char buffer[kTokenTextCapacity];
    EXPECT_EQ(NextToken(cursor, buffer), TokenWord);
    EXPECT_EQ(cursor, text.c_str() + 3);
    EXPECT_EQ(NextToken(cursor, buffer), TokenWord);
    EXPECT_STREQ(buffer, "d");
    EXPECT_EQ(NextToken(cursor, buffer), TokenEnd);
    EXPECT_EQ(*cursor, '\0');
    EXPECT_EQ(NextToken(cursor, buffer), TokenEnd) << "the end is sticky";
}

TEST(ListingScanner, CutsLongTokensWithoutOverrunningTheBuffer) {
    const std::string longWord(250, 'w');
    const std::string text = longWord + " next";
    const char* cursor = text.c_str();
    // Guard bytes around the token buffer catch a write past its end.
    struct {
        char buffer[kTokenTextCapacity];
        char guard[16];
    } area;
    std::fill(std::begin(area.guard), std::end(area.guard), '#');
    EXPECT_EQ(NextToken(cursor, area.buffer), TokenWord);
    EXPECT_EQ(std::string(area.buffer), longWord.substr(0, kTokenTextCapacity - 1));
    EXPECT_EQ(std::string(area.guard, sizeof area.guard), std::string(16, '#'));
    EXPECT_EQ(NextToken(cursor, area.buffer), TokenWord);
    EXPECT_STREQ(area.buffer, "next") << "the whole long token was consumed";

    const std::string longNumber(150, '9');
    cursor = longNumber.c_str();
    EXPECT_EQ(NextToken(cursor, area.buffer), TokenInteger);
    EXPECT_EQ(std::string(area.buffer).size(), kTokenTextCapacity - 1);
}

}  // namespace

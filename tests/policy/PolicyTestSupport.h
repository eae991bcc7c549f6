#pragma once
// Helpers shared by the policy tests: file and listing helpers (each test
// works in a TempFolder of its own).
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "policy/RuleEngine.h"
#include "tests/TempFolder.h"

inline void WriteText(const std::string& file, const std::string& text) {
    std::ofstream out(file, std::ios::binary);
    out << text;
}

inline std::string ReadText(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The words of a printed fact list, in order.
inline std::vector<std::string> ListingWords(const char* listing) {
    std::vector<std::string> words;
    char token[kTokenTextCapacity];
    for (TokenKind kind = NextToken(listing, token); kind != TokenEnd;
         kind = NextToken(listing, token)) {
        if (kind == TokenWord) words.emplace_back(token);
    }
    return words;
}

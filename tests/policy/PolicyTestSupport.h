#pragma once
// Helpers shared by the policy tests: a private scratch folder per test (tests
// run in parallel from one working directory) and file and listing helpers.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "policy/RuleEngine.h"

class ScratchDir {
public:
    ScratchDir() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "marrowick-policy-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) path = pattern;
    }
    ~ScratchDir() {
        std::error_code ignored;
        if (!path.empty()) std::filesystem::remove_all(path, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    std::string File(const std::string& name) const { return (path / name).string(); }

    std::filesystem::path path;
};

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

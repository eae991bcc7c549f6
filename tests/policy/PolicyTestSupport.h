#pragma once
// Helpers shared by the policy tests: file and fact-list helpers (each test
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

extern "C" {
#include <clips/clips.h>
}

inline void WriteText(const std::string& file, const std::string& text) {
    std::ofstream out(file, std::ios::binary);
    out << text;
}

inline std::string ReadText(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The relation name of every fact in an engine's fact list, in order.
inline std::vector<std::string> FactRelations(void* environment) {
    std::vector<std::string> relations;
    for (void* fact = EnvGetNextFact(environment, nullptr); fact != nullptr;
         fact = EnvGetNextFact(environment, fact)) {
        relations.emplace_back(EnvGetDeftemplateName(environment, EnvFactDeftemplate(environment, fact)));
    }
    return relations;
}

// The engine's reading of its fact list: each line of the input made into a
// fact (a relation, then symbols, numbers and strings, conclusion names among
// them anywhere), then the conclusions read back. They must be exactly the
// facts whose printed form starts with a conclusion's name, in fact-list
// order, however long the list. The facts are spelled from a safe alphabet:
// the engine library's own parser crashes on some text ("(a_:(::::"), which
// in the program can only happen inside its sandboxed engine process and is
// not what this target looks for.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "policy/RuleEngine.h"

extern "C" {
#include <clips/clips.h>
}

namespace {

// The relation as the engine prints the fact: "f-1     (name ...)".
std::string PrintedRelation(void* environment, void* fact) {
    char text[256];
    EnvGetFactPPForm(environment, text, sizeof text, fact);
    const char* open = std::strchr(text, '(');
    if (open == nullptr) return std::string();
    size_t end = 1;
    while (open[end] != '\0' && open[end] != ' ' && open[end] != ')') ++end;
    return std::string(open + 1, end - 1);
}

bool Plain(char c) { return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_'; }

// A line as a fact: its first word the relation, each further word a
// symbol or number, or with a leading quote a string.
std::string FactOf(const std::string& line) {
    std::string fact = "(";
    size_t start = 0;
    bool first = true;
    while (start < line.size()) {
        size_t end = line.find(' ', start);
        if (end == std::string::npos) end = line.size();
        const std::string word = line.substr(start, end - start);
        start = end + 1;
        const bool quoted = !word.empty() && word[0] == '"';
        std::string kept;
        for (const char c : word) {
            if (Plain(c) || (quoted && (c == ' ' || c == '(' || c == ')'))) kept += c;
        }
        if (kept.empty()) continue;
        if (first) {
            if (kept[0] < 'a' || kept[0] > 'z') kept = "x" + kept;
            fact += kept;
            first = false;
        } else {
            fact += quoted ? " \"" + kept + "\"" : " " + kept;
        }
    }
    return first ? std::string() : fact + ")";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static RuleEngine engine;
    if (!engine.Usable()) __builtin_trap();
    engine.SetCapture(true);  // the engine's complaints about bad lines stay here
    void* const environment = engine.Environment();
    EnvReset(environment);
    const std::string text(reinterpret_cast<const char*>(data), size);
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string fact = FactOf(text.substr(start, end - start));
        start = end + 1;
        if (!fact.empty()) EnvAssertString(environment, fact.c_str());
    }
    engine.errorText.Clear();

    std::vector<Conclusion> expected;
    for (void* fact = EnvGetNextFact(environment, nullptr); fact != nullptr;
         fact = EnvGetNextFact(environment, fact)) {
        Conclusion conclusion;
        if (ConclusionFromWord(PrintedRelation(environment, fact).c_str(), conclusion)) {
            expected.push_back(conclusion);
        }
    }
    const bool read = engine.ReadConclusions();
    if (expected.size() > RuleEngine::kMaxConclusions) {
        if (read || engine.conclusionCount != 0) __builtin_trap();
        return 0;
    }
    if (!read || engine.conclusionCount != expected.size()) __builtin_trap();
    for (size_t i = 0; i < expected.size(); ++i) {
        if (engine.conclusions[i] != expected[i]) __builtin_trap();
    }
    return 0;
}

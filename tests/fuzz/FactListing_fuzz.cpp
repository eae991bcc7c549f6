// The engine's reading of its fact list: each line of the input asserted as a
// fact (the engine's own fact syntax: any relation, fields, strings with
// conclusion names inside them), then the conclusions read back. They must be
// exactly the facts whose printed form starts with a conclusion's name, in
// fact-list order, however long the list.
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
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        if (line.find('\0') != std::string::npos || line.empty()) continue;
        EnvAssertString(environment, line.c_str());
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

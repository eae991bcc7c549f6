#pragma once
// The six conclusions the expert system reads back from a pass: a fact whose
// relation name (the deftemplate of the fact, or the first symbol of an
// ordered fact) is one of these names. Both sides of the engine's socket
// know them: the engine picks the conclusion facts out of its fact list, the
// expert system acts on them.
#include <cstddef>
#include <cstdint>
#include <cstring>

enum class Conclusion : uint8_t {
    RaisePopulation,
    RaiseFoodIntake,
    LowerPopulation,
    LowerFoodIntake,
    OverUsingFood,
    UseEveryoneForFood,
};
constexpr size_t kConclusionCount = 6;
// As the rule base asserts them.
constexpr const char* kConclusionNames[kConclusionCount] = {
    "raise_population", "raise_food_intake", "lower_population",
    "lower_food_intake", "over_using_food",  "use_everyone_for_food"};

// The relation name is one of the six conclusion names. Inline, with the
// names as literals: every fact of every pass comes through here, and
// compared with literals the compiler makes a few word compares of each strcmp.
inline bool ConclusionFromWord(const char* word, Conclusion& conclusion) {
    Conclusion found;
    if (std::strcmp(word, "raise_population") == 0) {
        found = Conclusion::RaisePopulation;
    } else if (std::strcmp(word, "raise_food_intake") == 0) {
        found = Conclusion::RaiseFoodIntake;
    } else if (std::strcmp(word, "lower_population") == 0) {
        found = Conclusion::LowerPopulation;
    } else if (std::strcmp(word, "lower_food_intake") == 0) {
        found = Conclusion::LowerFoodIntake;
    } else if (std::strcmp(word, "over_using_food") == 0) {
        found = Conclusion::OverUsingFood;
    } else if (std::strcmp(word, "use_everyone_for_food") == 0) {
        found = Conclusion::UseEveryoneForFood;
    } else {
        return false;
    }
    conclusion = found;
    return true;
}

inline const char* ConclusionName(Conclusion conclusion) {
    const size_t index = static_cast<size_t>(conclusion);
    return index < kConclusionCount ? kConclusionNames[index] : "?";
}

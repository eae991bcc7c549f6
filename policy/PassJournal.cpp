#include "policy/PassJournal.h"

#include <cstring>

bool ConclusionFromWord(const char* word, Conclusion& conclusion) {
    for (size_t i = 0; i < kConclusionCount; ++i) {
        if (std::strcmp(word, kConclusionNames[i]) == 0) {
            conclusion = static_cast<Conclusion>(i);
            return true;
        }
    }
    return false;
}

const char* ConclusionName(Conclusion conclusion) {
    const size_t index = static_cast<size_t>(conclusion);
    return index < kConclusionCount ? kConclusionNames[index] : "?";
}

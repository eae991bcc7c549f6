#include "policy/PassJournal.h"

const char* ConclusionName(Conclusion conclusion) {
    const size_t index = static_cast<size_t>(conclusion);
    return index < kConclusionCount ? kConclusionNames[index] : "?";
}

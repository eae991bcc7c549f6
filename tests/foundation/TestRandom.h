#pragma once
// Helpers that make the shared generator's next draws known, so a test can
// pick the exact draw an operation will see.
#include <cstdint>

#include "foundation/RandomSource.h"

namespace testrandom {

constexpr uint32_t kMultiplier = 214013u;
constexpr uint32_t kIncrement = 2531011u;

// Inverse of the multiplier modulo 2^32 (Newton's iteration; each round
// doubles the correct low bits).
constexpr uint32_t MultiplierInverse() {
    uint32_t inverse = kMultiplier;
    for (int i = 0; i < 5; ++i) inverse *= 2u - kMultiplier * inverse;
    return inverse;
}
static_assert(kMultiplier * MultiplierInverse() == 1u, "inverse of the LCG multiplier");

// A state from which the next Next() returns value (0 .. 32767).
inline uint32_t StateBeforeDraw(int32_t value) {
    const uint32_t after = (static_cast<uint32_t>(value) << 16) | 0x1234u;
    return (after - kIncrement) * MultiplierInverse();
}

// Reseeds random so that its next draw is value.
inline void SetNextDraw(RandomSource& random, int32_t value) {
    random.Seed(StateBeforeDraw(value));
}

// Reseeds random so that its next draw is first and the one after lies in
// [secondLow, secondHigh]: searches the states whose draw is first (the free
// low 16 bits and the top bit). Returns false if none fits.
inline bool SetNextDraws(RandomSource& random, int32_t first, int32_t secondLow,
                         int32_t secondHigh) {
    for (uint32_t free = 0; free < (1u << 17); ++free) {
        const uint32_t after = (static_cast<uint32_t>(first) << 16) | (free & 0xFFFFu) |
                               ((free >> 16) << 31);
        const uint32_t state = (after - kIncrement) * MultiplierInverse();
        RandomSource probe(state);
        probe.Next();
        const int32_t second = probe.Next();
        if (second >= secondLow && second <= secondHigh) {
            random.Seed(state);
            return true;
        }
    }
    return false;
}

// How many draws lead from state `from` to state `to` (up to limit; -1 if not).
inline int32_t DrawsBetween(uint32_t from, uint32_t to, int32_t limit = 100000) {
    RandomSource walker(from);
    for (int32_t n = 0; n <= limit; ++n) {
        if (walker.State() == to) return n;
        walker.Next();
    }
    return -1;
}

}  // namespace testrandom

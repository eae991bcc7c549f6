#pragma once
// RandomSource: the 15-bit linear congruential generator of the common C
// libraries (state := state * 214013 + 2531011 mod 2^32, result := bits 16..30).
//
// The simulation's behaviour is defined in terms of this exact sequence: every
// draw order in the food field and the colony is part of what makes a run
// reproducible. Never replace it with the C library's rand(), whose range and
// sequence differ between platforms. There is no global instance: each owner of
// random draws owns one or is handed one (the simulation's is shared by its
// food field and colony; the camera has its own).
#include <cstdint>

class RandomSource {
public:
    static constexpr int32_t kMax = 32767;  // largest value of Next()

    // Unseeded runs start from state 1, like a C library that was never seeded.
    RandomSource() = default;
    explicit RandomSource(uint32_t seed) : state(seed) {}

    void Seed(uint32_t seed) { state = seed; }
    uint32_t State() const { return state; }

    // 0 .. 32767.
    int32_t Next() {
        state = state * kMultiplier + kIncrement;
        return static_cast<int32_t>((state >> 16) & 0x7FFFu);
    }

    // Advances the sequence as n calls of Next() would, without the results.
    // n steps of the recurrence compose to one affine map state * a + c (mod
    // 2^32), built by squaring in log2(n) rounds instead of n dependent
    // multiplications.
    void Discard(int32_t n) {
        uint32_t a = 1u;
        uint32_t c = 0u;
        uint32_t stepA = kMultiplier;
        uint32_t stepC = kIncrement;
        for (uint32_t left = n > 0 ? static_cast<uint32_t>(n) : 0u; left != 0; left >>= 1) {
            if ((left & 1u) != 0) {
                a *= stepA;
                c = c * stepA + stepC;
            }
            stepC = stepC * stepA + stepC;
            stepA *= stepA;
        }
        state = state * a + c;
    }

    // Next() / 32767.0 rounded to float: uniform over [0, 1], both ends possible.
    float RandomUnit() { return static_cast<float>(Next() / 32767.0); }

private:
    static constexpr uint32_t kMultiplier = 214013u;
    static constexpr uint32_t kIncrement = 2531011u;
    uint32_t state = 1;
};

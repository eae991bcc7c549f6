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

// The generator's constants, and the maps that advance it k steps at once
// (RandomSource::Ahead and Discard), built at compile time.
namespace randomsource {
constexpr uint32_t kMultiplier = 214013u;
constexpr uint32_t kIncrement = 2531011u;
constexpr int32_t kMaxAhead = 64;

// k steps of the recurrence as one map: state * a + c (mod 2^32).
struct Jump {
    uint32_t a;
    uint32_t c;
};
struct JumpTable {
    Jump step[kMaxAhead + 1];
};
constexpr JumpTable MakeJumps() {
    JumpTable table{};
    table.step[0] = Jump{1u, 0u};
    for (int32_t k = 1; k <= kMaxAhead; ++k) {
        table.step[k].a = table.step[k - 1].a * kMultiplier;
        table.step[k].c = table.step[k - 1].c * kMultiplier + kIncrement;
    }
    return table;
}
inline constexpr JumpTable kJumps = MakeJumps();
}  // namespace randomsource

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

    // The value the k-th next call of Next() would give (k = 1 is Next()'s),
    // without drawing: 1 <= k <= kMaxAhead. Unlike a run of Next() calls,
    // the values do not wait on each other, so a batch of draws (the twenty
    // probes of a food search) can be worked on side by side; the caller then
    // discards as many draws as it used.
    static constexpr int32_t kMaxAhead = randomsource::kMaxAhead;
    int32_t Ahead(int32_t k) const {
        const randomsource::Jump& jump = randomsource::kJumps.step[k];
        return static_cast<int32_t>(((state * jump.a + jump.c) >> 16) & 0x7FFFu);
    }

    // Advances the sequence as n calls of Next() would, without the results.
    // n steps of the recurrence compose to one affine map state * a + c (mod
    // 2^32): tabulated up to kMaxAhead, built by squaring beyond.
    void Discard(int32_t n) {
        if (n <= 0) return;
        if (n <= kMaxAhead) {
            const randomsource::Jump& jump = randomsource::kJumps.step[n];
            state = state * jump.a + jump.c;
            return;
        }
        uint32_t a = 1u;
        uint32_t c = 0u;
        uint32_t stepA = kMultiplier;
        uint32_t stepC = kIncrement;
        for (uint32_t left = static_cast<uint32_t>(n); left != 0; left >>= 1) {
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
    // Computed as a product with the reciprocal: for every one of the 32768
    // draws the product rounds to the same float as the quotient (a test
    // checks all of them), and a division would sit on the path of every
    // ant that steps toward a point.
    float RandomUnit() { return UnitOf(Next()); }
    static float UnitOf(int32_t draw) { return static_cast<float>(draw * kUnitScale); }

private:
    static constexpr uint32_t kMultiplier = randomsource::kMultiplier;
    static constexpr uint32_t kIncrement = randomsource::kIncrement;
    static constexpr double kUnitScale = 1.0 / 32767.0;
    uint32_t state = 1;
};

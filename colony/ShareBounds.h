#pragma once
// ShareBounds: "is a role's percentage of the colony above (below) its
// target share?" answered on the role's count.
//
// The step compares role percentages with the target shares for nearly every
// ant, and each percentage is a double division. Within one step the
// population does not change (behaviours never add or remove ants) and
// neither do the shares, and the percentage never falls as the count rises
// (the product 100 * count is exact and the division and the narrowing to
// float are correctly rounded). So each comparison holds for exactly the
// counts from (or below) one integer: found once per step, every later
// comparison is an integer compare with the same answer.
#include <cstdint>

// A role's share of the colony in percent, as the colony defines it. With no
// ants there is no ant to compare for: 0 rather than a non-finite value.
inline float RolePercentOf(int32_t count, int32_t population) {
    if (population <= 0) return 0.0f;
    return static_cast<float>(100.0 * count / population);
}

struct ShareBounds {
    int64_t aboveFrom = 0;   // RolePercentOf(c) > share  <=>  c >= aboveFrom
    int64_t belowUnder = 0;  // RolePercentOf(c) < share  <=>  c < belowUnder

    static ShareBounds For(float share, int32_t population) {
        ShareBounds b;
        b.aboveFrom = FirstCount(share, population,
                                 [&](int64_t c) { return Percent(c, population) > share; });
        b.belowUnder = FirstCount(share, population,
                                  [&](int64_t c) { return !(Percent(c, population) < share); });
        return b;
    }

    bool Above(int32_t count) const { return count >= aboveFrom; }
    bool Below(int32_t count) const { return count < belowUnder; }

private:
    static float Percent(int64_t c, int32_t population) {
        return RolePercentOf(static_cast<int32_t>(c), population);
    }

    // The least count (over every int32 value, and INT32_MAX + 1 for none)
    // from which reached holds; reached is false up to some count and true
    // from it on. The boundary lies within a count or two of share% of the
    // population, so the search starts there.
    template <typename Reached>
    static int64_t FirstCount(float share, int32_t population, Reached reached) {
        constexpr int64_t kLowest = INT32_MIN;
        constexpr int64_t kHighest = INT32_MAX;
        if (!reached(kHighest)) return kHighest + 1;  // also a NaN share
        if (reached(kLowest)) return kLowest;
        const double guess = static_cast<double>(share) * population / 100.0;
        int64_t c = 0;
        if (guess >= static_cast<double>(kHighest)) {
            c = kHighest;
        } else if (guess <= static_cast<double>(kLowest)) {
            c = kLowest;
        } else if (guess == guess) {
            c = static_cast<int64_t>(guess);
        }
        while (c > kLowest && reached(c - 1)) --c;
        while (!reached(c)) ++c;
        return c;
    }
};

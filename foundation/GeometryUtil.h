#pragma once
// Rounding helpers with the simulation's own rule: take the integer part
// toward zero and add 1 when the remainder is 0.5 or more. For negative values
// the remainder is never >= 0.5, so they simply truncate toward zero
// (-0.7 -> 0, -1.2 -> -1, 2.5 -> 3). This is not std::round; do not swap it.
#include <cstdint>

class GeometryUtil {
public:
    virtual ~GeometryUtil() = default;

    static int32_t RoundDouble(double v) {
        const int32_t whole = static_cast<int32_t>(v);
        return (v - whole >= 0.5) ? whole + 1 : whole;
    }
    static int32_t RoundFloat(float v) {
        const int32_t whole = static_cast<int32_t>(v);
        return (v - static_cast<float>(whole) >= 0.5f) ? whole + 1 : whole;
    }
    static float AbsFloat(float v) { return v < 0.0f ? -v : v; }
};

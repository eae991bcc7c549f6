#pragma once
// RadiusSquares: "is the float distance between two grid cells below (or
// above) a float radius?" answered on the squared integer distance.
//
// The colony measures an ant's distance home as sqrtf(dx * dx + dy * dy) in
// float and compares it with a float radius several times per ant and step;
// the root (and the radius's own root) dominated those behaviours. For
// |dx|, |dy| < kExactSpan every product and the sum are exact in float, and a
// correctly rounded root never falls as its argument rises, so each
// comparison with a given radius holds for exactly the squares below (or from)
// one integer: found once per radius, it makes every later comparison an
// integer compare with the same answer, bit for bit. Wider offsets (a nest
// placed far off the grid) fall back to the float arithmetic itself.
#include <cmath>
#include <cstdint>

#include "foundation/GridPoint.h"

struct RadiusSquares {
    // Offsets up to this size square and sum exactly in float (< 2^23).
    static constexpr int32_t kExactSpan = 2048;
    // Squares at or beyond this are never compared as integers.
    static constexpr int64_t kSquareLimit = int64_t{2} * kExactSpan * kExactSpan;

    float radius = 0.0f;
    int64_t belowUnder = 0;  // d2 < belowUnder  <=>  sqrtf(d2) < radius
    int64_t aboveFrom = 0;   // d2 >= aboveFrom  <=>  sqrtf(d2) > radius

    static float Root(int64_t d2) { return std::sqrt(static_cast<float>(d2)); }

    static RadiusSquares For(float r) {
        RadiusSquares s;
        s.radius = r;
        s.belowUnder = FirstSquare([r](int64_t d2) { return !(Root(d2) < r); }, r);
        s.aboveFrom = FirstSquare([r](int64_t d2) { return Root(d2) > r; }, r);
        return s;
    }

    // The float distance between the two points, as the colony computes it.
    static float Distance(GridPoint a, GridPoint b) {
        const float dx = static_cast<float>(a.x - b.x);
        const float dy = static_cast<float>(a.y - b.y);
        return std::sqrt(dx * dx + dy * dy);
    }

    // Distance(a, b) < radius.
    bool Below(GridPoint a, GridPoint b) const {
        int64_t d2 = 0;
        return Square(a, b, d2) ? d2 < belowUnder : Distance(a, b) < radius;
    }
    // Distance(a, b) > radius.
    bool Above(GridPoint a, GridPoint b) const {
        int64_t d2 = 0;
        return Square(a, b, d2) ? d2 >= aboveFrom : Distance(a, b) > radius;
    }

    // Above, for points known to lie in one grid (a nest inside the grid and
    // an ant in the world): their offsets are below kGridSide, so the square
    // is always exact and needs no check.
    bool AboveWithinGrid(GridPoint a, GridPoint b) const {
        const int32_t dx = a.x - b.x;
        const int32_t dy = a.y - b.y;
        return dx * dx + dy * dy >= aboveFrom;
    }

private:
    // The squared distance, when the offsets are small enough to be exact.
    static bool Square(GridPoint a, GridPoint b, int64_t& d2) {
        const int64_t dx = static_cast<int64_t>(a.x) - b.x;
        const int64_t dy = static_cast<int64_t>(a.y) - b.y;
        if (dx <= -kExactSpan || dx >= kExactSpan || dy <= -kExactSpan || dy >= kExactSpan) {
            return false;
        }
        d2 = dx * dx + dy * dy;
        return true;
    }

    // The least square in 0 .. kSquareLimit where reached(d2) holds (reached
    // is false up to some square and true from it on); kSquareLimit when it
    // holds for none. Starts from r * r and steps to the boundary, which lies
    // within a square or two of it.
    template <typename Reached>
    static int64_t FirstSquare(Reached reached, float r) {
        if (!reached(kSquareLimit - 1)) return kSquareLimit;  // also a NaN radius
        const double guess = static_cast<double>(r) * static_cast<double>(r);
        int64_t d2 = 0;  // also for a NaN radius
        if (guess >= static_cast<double>(kSquareLimit - 1)) {
            d2 = kSquareLimit - 1;
        } else if (guess > 0.0) {
            d2 = static_cast<int64_t>(guess);
        }
        while (d2 > 0 && reached(d2 - 1)) --d2;
        while (!reached(d2)) ++d2;
        return d2;
    }
};

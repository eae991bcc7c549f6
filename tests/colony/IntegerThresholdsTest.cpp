// The integer forms of the step's float comparisons ("distance below / above
// a radius", "role percentage above / below a share") must give the float
// comparison's answer for every input, whatever the radius or share.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "colony/Colony.h"
#include "colony/RadiusSquares.h"
#include "colony/ShareBounds.h"

namespace {

// The colony's distance, written out: integer differences as floats, the
// root of the float sum.
float FloatDistance(GridPoint a, GridPoint b) {
    const float dx = static_cast<float>(a.x - b.x);
    const float dy = static_cast<float>(a.y - b.y);
    return std::sqrt(dx * dx + dy * dy);
}

std::vector<float> Radii() {
    std::vector<float> radii = {0.0f,
                                -0.0f,
                                -3.0f,
                                1e-7f,
                                1.0f,
                                std::nextafter(1.0f, 2.0f),
                                std::nextafter(5.0f, 0.0f),
                                5.0f,
                                2.5f,
                                181.0f,
                                2900.0f,  // beyond every exact square
                                std::numeric_limits<float>::infinity(),
                                -std::numeric_limits<float>::infinity(),
                                std::numeric_limits<float>::quiet_NaN()};
    // Every nest radius a colony of up to 3000 meanderers and reproducers
    // has, alone and with the returning ants' margin: the values in use.
    for (int32_t members = 1; members <= 3000; members += 7) {
        const float r = static_cast<float>(std::sqrt(static_cast<double>(members)) / 3.1415926535);
        radii.push_back(r);
        radii.push_back(r + Colony::kReturnArrivalMargin);
    }
    return radii;
}

}  // namespace

TEST(RadiusSquares, AgreesWithTheFloatDistanceForEveryOffset) {
    const GridPoint home{64, 64};
    for (float r : Radii()) {
        const RadiusSquares s = RadiusSquares::For(r);
        for (int32_t dx = -200; dx <= 200; ++dx) {
            for (int32_t dy = 0; dy <= 200; dy += (dy < 20 ? 1 : 3)) {
                const GridPoint p{home.x + dx, home.y + dy};
                const float d = FloatDistance(home, p);
                ASSERT_EQ(s.Below(home, p), d < r) << "r " << r << " at " << dx << "," << dy;
                ASSERT_EQ(s.Above(home, p), d > r) << "r " << r << " at " << dx << "," << dy;
                if (std::abs(dx) < kGridSide && dy < kGridSide) {
                    ASSERT_EQ(s.AboveWithinGrid(home, p), d > r)
                        << "r " << r << " at " << dx << "," << dy;
                }
            }
        }
    }
}

// Offsets too wide to square exactly in float (a nest placed far off the
// grid) take the float arithmetic itself; the boundary between the two
// paths must not change an answer.
TEST(RadiusSquares, WideOffsetsFallBackToTheFloatArithmetic) {
    const GridPoint home{0, 0};
    const int32_t span = RadiusSquares::kExactSpan;
    const GridPoint points[] = {{span - 1, span - 1}, {span, 0},       {0, -span},
                                {span + 5, 3},        {-50000, 70000}, {1 << 20, 1 << 20}};
    for (float r : {2895.0f, 2896.5f, 50000.0f, 86023.0f, 1.5e6f}) {
        const RadiusSquares s = RadiusSquares::For(r);
        for (GridPoint p : points) {
            const float d = FloatDistance(home, p);
            EXPECT_EQ(s.Below(home, p), d < r) << r << " " << p.x << "," << p.y;
            EXPECT_EQ(s.Above(home, p), d > r) << r << " " << p.x << "," << p.y;
        }
    }
}

TEST(ShareBounds, AgreesWithTheRolePercentageForEveryCount) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const float shares[] = {0.0f, -0.0f, 5.0f, 10.0f, 25.0f, 60.0f, 100.0f, 33.333332f,
                            std::nextafter(25.0f, 0.0f), std::nextafter(25.0f, 100.0f),
                            0.001f, -4.0f, 250.0f, 1e30f, -1e30f, inf, -inf, nan};
    const int32_t populations[] = {1, 2, 3, 7, 50, 301, 346, 999, 16000, 16384, 0, -5};
    for (int32_t population : populations) {
        // Counts of the population's own range and beyond it (the bounds
        // cover every int32 count).
        std::vector<int32_t> counts = {INT32_MIN, -100000, -1, 2 * population + 7, INT32_MAX};
        for (int32_t c = 0; c <= population + 2 && c <= 20000; ++c) counts.push_back(c);
        for (float share : shares) {
            const ShareBounds b = ShareBounds::For(share, population);
            for (int32_t c : counts) {
                const float p = RolePercentOf(c, population);
                ASSERT_EQ(b.Above(c), p > share) << share << " of " << population << " at " << c;
                ASSERT_EQ(b.Below(c), p < share) << share << " of " << population << " at " << c;
            }
        }
    }
}

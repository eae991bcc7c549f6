// The world's colours shared by every view: ants by role and load, and the
// fade of food and trails below their thresholds.
#include <gtest/gtest.h>

#include "colony/Ant.h"
#include "simulation/SceneColours.h"

namespace {

TEST(SceneColours, AntColoursFollowRoleAndLoad) {
    struct Case {
        int32_t role;
        bool carrying;
        uint32_t first;
        uint32_t second;
    };
    const Case cases[] = {
        {Wandering, false, 0x5080327D, 0x5080327D},
        {Wandering, true, 0x5000FF00, 0x5080327D},
        {Gathering, false, 0x50F4F16C, 0x50F4F16C},
        {Gathering, true, 0x50F4F16C, 0x50F4F16C},  // only wanderers show their load
        {Reproducing, false, 0x50FF0000, 0x50FF0000},
        {Meandering, true, 0x50FF0000, 0x50FF0000},
        {ReturnToBase, false, 0x50F4F16C, 0x50000000},
        {ReturnClearingTrail, false, 0x50F4F16C, 0x50000000},
        {17, false, 0x50FF0000, 0x50FF0000},
        {-1, false, 0x50FF0000, 0x50FF0000},
    };
    for (const Case& c : cases) {
        const QuadColours q = AntColours(c.role, c.carrying);
        EXPECT_EQ(q.first, c.first) << "role " << c.role << " carrying " << c.carrying;
        EXPECT_EQ(q.second, c.second) << "role " << c.role << " carrying " << c.carrying;
    }
}

TEST(SceneColours, FoodFadesBelowItsThreshold) {
    struct Case {
        int32_t turnsLeft;
        int32_t threshold;
        uint32_t colour;
    };
    const Case cases[] = {
        {100, 200, 0x0067FF67},   // b = 103
        {0, 200, 0x00CFFFCF},     // b = 207
        {-40, 200, 0x00CFFFCF},   // overdue counts as 0
        {199, 200, 0x0001FF01},   // (1 - 199/200) x 207 = 1.035
        {200, 200, 0x0000FF00},
        {5000, 200, 0x0000FF00},
        {-1, 0, 0x00CFFFCF},      // a zero threshold fades only overdue cells
        {0, 0, 0x0000FF00},
        {-10, -5, 0x00CFFFCF},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FoodColour(c.turnsLeft, c.threshold), c.colour)
            << c.turnsLeft << " / " << c.threshold;
    }
}

TEST(SceneColours, TrailsFadeBelow1200) {
    struct Case {
        int32_t intensity;
        uint32_t colour;
    };
    const Case cases[] = {
        {600, 0x006767FF},  // b = 103
        {1199, 0x000000FF}, // b = 0
        {1, 0x00CECEFF},    // b = 206
        {0, 0x00CFCFFF},
        {-7, 0x00CFCFFF},
        {1200, 0x000000FF},
        {90000, 0x000000FF},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TrailColour(c.intensity), c.colour) << c.intensity;
    }
}

}  // namespace

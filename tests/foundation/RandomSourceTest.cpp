#include <gtest/gtest.h>

#include "foundation/GeometryUtil.h"
#include "foundation/RandomSource.h"
#include "tests/foundation/TestRandom.h"

TEST(RandomSource, UnseededSequenceMatchesTheClassicGenerator) {
    RandomSource random;
    const int32_t expected[] = {41, 18467, 6334, 26500, 19169};
    for (int32_t value : expected) EXPECT_EQ(random.Next(), value);
}

TEST(RandomSource, SeedRestartsTheSequenceAndValuesStayIn15Bits) {
    RandomSource a(12345u);
    RandomSource b;
    b.Seed(12345u);
    for (int i = 0; i < 10000; ++i) {
        const int32_t value = a.Next();
        ASSERT_EQ(value, b.Next());
        ASSERT_GE(value, 0);
        ASSERT_LE(value, RandomSource::kMax);
    }
}

// Discard jumps ahead in one go; it must land exactly where n draws would,
// whatever the state (wrap-around included) and however large n is.
TEST(RandomSource, DiscardLandsWhereTheDrawsWould) {
    const int32_t counts[] = {0, 1, 2, 3, 7, 40, 41, 1000, 65536, 65537, 1 << 20};
    const uint32_t seeds[] = {1u, 0u, 0xFFFFFFFFu, 2531011u, 987654321u};
    for (uint32_t seed : seeds) {
        for (int32_t n : counts) {
            RandomSource stepped(seed);
            for (int32_t i = 0; i < n; ++i) stepped.Next();
            RandomSource jumped(seed);
            jumped.Discard(n);
            ASSERT_EQ(jumped.State(), stepped.State()) << "seed " << seed << ", n " << n;
        }
    }
    RandomSource untouched(77u);
    untouched.Discard(-5);  // nothing to discard
    EXPECT_EQ(untouched.State(), 77u);
}

TEST(RandomSource, UnitDrawCoversBothEnds) {
    struct Case {
        int32_t draw;
        float unit;
    };
    const Case cases[] = {
        {0, 0.0f},
        {32767, 1.0f},
        {16384, static_cast<float>(16384 / 32767.0)},
        {1, static_cast<float>(1 / 32767.0)},
    };
    for (const Case& c : cases) {
        RandomSource random;
        testrandom::SetNextDraw(random, c.draw);
        EXPECT_EQ(random.RandomUnit(), c.unit) << "draw " << c.draw;
    }
}

// The unit draw is defined as the quotient draw / 32767.0 rounded to float;
// it is computed as a product, which must round the same for every draw.
TEST(RandomSource, UnitDrawEqualsTheQuotientForEveryDraw) {
    for (int32_t draw = 0; draw <= RandomSource::kMax; ++draw) {
        ASSERT_EQ(RandomSource::UnitOf(draw), static_cast<float>(draw / 32767.0)) << draw;
    }
}

TEST(RandomSource, TestHelperPredictsTheNextDraw) {
    for (int32_t value : {0, 1, 41, 27306, 32766, 32767}) {
        RandomSource random;
        testrandom::SetNextDraw(random, value);
        const uint32_t before = random.State();
        EXPECT_EQ(random.Next(), value);
        EXPECT_EQ(testrandom::DrawsBetween(before, random.State()), 1);
    }
}

TEST(RandomSource, TestHelperPicksTheNextTwoDraws) {
    RandomSource random;
    ASSERT_TRUE(testrandom::SetNextDraws(random, 123, 5000, 5100));
    EXPECT_EQ(random.Next(), 123);
    const int32_t second = random.Next();
    EXPECT_GE(second, 5000);
    EXPECT_LE(second, 5100);
}

TEST(GeometryUtil, RoundsHalfUpAndTruncatesNegativesTowardZero) {
    struct Case {
        double value;
        int32_t rounded;
    };
    const Case cases[] = {
        {0.0, 0},   {0.49, 0},  {0.5, 1},   {2.5, 3},   {2.4999, 2}, {3.0, 3},
        {127.6, 128}, {-0.7, 0}, {-0.5, 0}, {-1.2, -1}, {-2.5, -2}, {-2.9, -2},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(GeometryUtil::RoundDouble(c.value), c.rounded) << c.value;
        EXPECT_EQ(GeometryUtil::RoundFloat(static_cast<float>(c.value)), c.rounded) << c.value;
    }
}

TEST(GeometryUtil, AbsFloat) {
    EXPECT_EQ(GeometryUtil::AbsFloat(-2.5f), 2.5f);
    EXPECT_EQ(GeometryUtil::AbsFloat(2.5f), 2.5f);
    EXPECT_EQ(GeometryUtil::AbsFloat(0.0f), 0.0f);
}

#pragma once
// A food field on the heap with its own generator, plus helpers that set up
// exact situations and check the field's invariants.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "environment/FoodField.h"
#include "foundation/RandomSource.h"
#include "tests/foundation/TestRandom.h"

namespace foodtest {

// One cluster candidate of food placement, in the plain arithmetic, from an
// independent copy of the generator.
inline GridPoint Candidate(RandomSource& r, float radius, int32_t cx, int32_t cy) {
    const float d = static_cast<float>(r.Next() * radius / 32767.0);
    const float a = static_cast<float>(r.Next() * 360.0 / 32767.0);
    const double radians = a * 3.1415927 / 180.0;
    return GridPoint{GeometryUtil::RoundDouble(std::cos(radians) * d + cx),
                     GeometryUtil::RoundDouble(std::sin(radians) * d + cy)};
}

// The records, newest first, without moving the list's traversal cursor.
inline std::vector<FoodCell> Cells(const FoodField& field) {
    std::vector<FoodCell> cells;
    for (int32_t s = field.foodCells.Newest(); s != -1; s = field.foodCells.Older(s)) {
        cells.push_back(field.foodCells.At(s));
    }
    return cells;
}

// Index grid, food bits, list and food count agree, and every cell lies
// in the world.
inline void ExpectConsistent(const FoodField& field) {
    const std::vector<FoodCell> cells = Cells(field);
    EXPECT_EQ(field.foodCount, static_cast<int32_t>(cells.size()));
    EXPECT_EQ(field.foodCells.Count(), field.foodCount);
    for (const FoodCell& cell : cells) {
        ASSERT_GE(cell.x, 0);
        ASSERT_GE(cell.y, 0);
        ASSERT_LT(cell.x, field.width);
        ASSERT_LT(cell.y, field.height);
        EXPECT_EQ(field.indexGrid[GridIndex(cell.x, cell.y)], cell.slot);
    }
    int32_t marked = 0;
    for (int32_t entry : field.indexGrid) {
        if (entry != -1) ++marked;
    }
    EXPECT_EQ(marked, field.foodCount);
    for (int32_t x = 0; x < kGridSide; ++x) {
        for (int32_t y = 0; y < kGridSide; ++y) {
            const FoodField::FoodRow& row = field.foodBits[0][x];
            const bool bit = ((y < 64 ? row.low : row.high) >> (y & 63)) & 1u;
            ASSERT_EQ(bit, field.indexGrid[GridIndex(x, y)] != -1) << x << "," << y;
        }
    }
    // Every level's entry is the union of its rows.
    for (int32_t k = 1; k <= FoodField::kReachLevels; ++k) {
        for (int32_t x = 0; x + (1 << k) <= kGridSide; ++x) {
            FoodField::FoodRow rows{0u, 0u};
            for (int32_t r = x; r < x + (1 << k); ++r) {
                rows.low |= field.foodBits[0][r].low;
                rows.high |= field.foodBits[0][r].high;
            }
            ASSERT_EQ(field.foodBits[k][x].low, rows.low) << "level " << k << " row " << x;
            ASSERT_EQ(field.foodBits[k][x].high, rows.high) << "level " << k << " row " << x;
        }
    }
}

}  // namespace foodtest

class FoodFieldTest : public ::testing::Test {
protected:
    RandomSource random;  // declared first: the field draws from it when built
    std::unique_ptr<FoodField> field = std::make_unique<FoodField>(random);

    // An empty field; growth and top-up stay off unless a test turns them on.
    void MakeEmpty(int32_t width = 128, int32_t height = 128) {
        field->initialFood = 0;
        field->minFood = 0;
        field->generatorType = MinimumFood;
        field->SetSize(width, height);
    }

    // Puts a food cell into the field (no draws).
    void Put(int32_t x, int32_t y, int32_t units = 1, int32_t turnsLeft = 800) {
        FoodCell* cell = field->AddFoodCell(x, y);
        ASSERT_NE(cell, nullptr);
        cell->units = units;
        cell->turnsLeft = turnsLeft;
    }

    std::vector<FoodCell> Cells() const { return foodtest::Cells(*field); }
    void ExpectConsistent() const { foodtest::ExpectConsistent(*field); }

    // Draws made since state `before`.
    int32_t DrawsSince(uint32_t before) const {
        return testrandom::DrawsBetween(before, random.State());
    }
};

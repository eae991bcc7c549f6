#pragma once
// Shared fixture for the colony tests: a colony on its own food field.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

#include "colony/Colony.h"
#include "environment/FoodField.h"
#include "foundation/RandomSource.h"

// The seed whose first RandomUnit() lies in [lo, hi): lets a test choose the
// outcome of the next draw.
inline uint32_t SeedForUnit(float lo, float hi) {
    for (uint32_t seed = 0;; ++seed) {
        RandomSource probe(seed);
        const float r = probe.RandomUnit();
        if (r >= lo && r < hi) return seed;
    }
}

class ColonyTest : public ::testing::Test {
protected:
    void SetUp() override {
        food = std::make_unique<FoodField>(random);
        colony = std::make_unique<Colony>(random);
        colony->foodField = food.get();
        // An empty world: tests place exactly the food and ants they need.
        food->minFood = 0;
        food->initialFood = 0;
        food->Reset();
        colony->SetWorldSize(128, 128);
        colony->home = GridPoint{64, 64};
    }

    // Seats one ant (as a birth would) and keeps population and counters true.
    Ant& PutAnt(int32_t x, int32_t y, int32_t role) {
        int32_t slot = 0;
        Ant* ant = colony->ants.Add(slot);
        ant->slot = slot;
        ant->pos = GridPoint{x, y};
        ant->role = role;
        ant->lastMoved = 0;
        colony->Seat(*ant);
        ++colony->population;
        switch (role) {
            case Wandering: ++colony->wanderers; break;
            case Gathering: ++colony->gatherers; break;
            case Reproducing: ++colony->reproducers; break;
            case Meandering: ++colony->meanderers; break;
            default: ++colony->returners; break;
        }
        return *ant;
    }

    // Stamps the ant as moved in the given step, as a move would (the grid
    // keeps a copy of the stamp).
    void MarkMoved(Ant& ant, int32_t step) {
        ant.lastMoved = step;
        colony->Seat(ant);
    }

    // Adds one food cell at (x, y) without random draws.
    void PutFood(int32_t x, int32_t y) { ASSERT_NE(food->AddFoodCell(x, y), nullptr); }

    int32_t At(int32_t x, int32_t y) const { return colony->OccupantAt(x, y); }

    RandomSource random;
    std::unique_ptr<FoodField> food;
    std::unique_ptr<Colony> colony;
};

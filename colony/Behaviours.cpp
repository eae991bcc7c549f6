// The ants' behaviours other than meandering (colony/Step.cpp): wandering
// in straight legs, gathering along trails, and walking home.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "colony/Colony.h"

namespace {
constexpr float kLegPi = 3.1415927f;  // random leg angles
// A gatherer that gives up wanders only briefly before heading home.
constexpr int32_t kGiveUpReturnTimer = 50;
constexpr int32_t kGiveUpBlockedSteps = 5;
constexpr int32_t kGiveUpWeakSteps = 5;
// Leg planning repeats only while it yields zero-length legs; with sane
// parameters that ends within a few tries. The bound keeps a degenerate
// setting (no wander distance, no wall push) from hanging the step.
constexpr int32_t kMaxLegPlans = 1000;
}  // namespace

void Colony::Wander(Ant& ant) {
    if (ant.wandererCarrying) {
        const float dx = static_cast<float>(home.x - ant.pos.x);
        const float dy = static_cast<float>(home.y - ant.pos.y);
        if (InsideNest(ant.pos)) {
            ant.wandererCarrying = false;
            ant.wanderTrailTag = 0;
            foodReserves += 1.0f;
            if (RolePercent(wanderers) > wanderingShare) {
                SetRole(ant, Meandering);
            } else {
                ant.returnTimer = returnToBaseTime;
            }
            return;
        }
        const GridPoint next = StepToward(ant.pos, dx, dy);
        if (MoveAnt(next.x, next.y, stepCount, ant)) {
            ++ant.wanderTrailTag;
            ant.wanderTrailTag = trails.Deposit(next.x, next.y, wanderTrailIntensity, ant.wanderTrailTag);
        }
        return;
    }

    for (int32_t plans = 0; plans < kMaxLegPlans; ++plans) {
        if (foodField->HasFood(ant.pos.x, ant.pos.y)) {
            // The trail a wanderer lays begins on the food cell itself.
            ant.wanderTrailTag = 0;
            ant.wandererCarrying = true;
            foodField->TakeFood(ant.pos.x, ant.pos.y);
            ant.wanderTrailTag = trails.Deposit(ant.pos.x, ant.pos.y, wanderTrailIntensity, 0);
            return;
        }
        if (ant.returnTimer < 0) {
            SetRole(ant, ReturnToBase);
            return;
        }
        if (ant.legLeft > 0 && ant.legLength > 0) {
            // The first step of a fresh leg targets the origin (the ant's own
            // cell); a resumed old leg may jump, since MoveAnt takes any cell.
            const float e = static_cast<float>(ant.legLeft) / static_cast<float>(ant.legLength);
            const int32_t x = static_cast<int32_t>(static_cast<float>(ant.legTarget.x) * (1.0f - e) +
                                                   static_cast<float>(ant.legOrigin.x) * e);
            const int32_t y = static_cast<int32_t>(static_cast<float>(ant.legTarget.y) * (1.0f - e) +
                                                   static_cast<float>(ant.legOrigin.y) * e);
            MoveAnt(x, y, stepCount, ant);
            --ant.legLeft;
            --ant.returnTimer;
            return;
        }

        // Plan a new leg.
        if (InsideNest(ant.pos) && population > 0 &&
            static_cast<float>(100 * wanderers / population) > wanderingShare) {
            SetRole(ant, Meandering);
            return;
        }
        const float angle = random->RandomUnit() * 2.0f * kLegPi;
        const float dist = random->RandomUnit() * static_cast<float>(maxWanderDistance);
        ant.legOrigin = ant.pos;
        ant.legTarget.x = ant.pos.x + GeometryUtil::RoundDouble(std::cos(static_cast<double>(angle)) * dist);
        ant.legTarget.y = ant.pos.y + GeometryUtil::RoundDouble(std::sin(static_cast<double>(angle)) * dist);
        // Walls push the leg's end back into the world.
        const float f = potentialFieldStrength;
        const float fx = f / static_cast<float>(ant.pos.x + 1) - f / static_cast<float>(width - ant.pos.x);
        const float fy = f / static_cast<float>(ant.pos.y + 1) - f / static_cast<float>(height - ant.pos.y);
        ant.legTarget.x += GeometryUtil::RoundFloat(fx);
        ant.legTarget.y += GeometryUtil::RoundFloat(fy);
        const double lx = ant.legTarget.x - ant.pos.x;
        const double ly = ant.legTarget.y - ant.pos.y;
        ant.legLength = static_cast<int32_t>(std::sqrt(lx * lx + ly * ly));
        ant.legLeft = ant.legLength;
        // Then look again with the new leg: its first step, or another plan.
    }
}

void Colony::Gather(Ant& ant) {
    ++ant.blockedSteps;  // a successful MoveAnt below sets it back to 0

    if (ant.gathererCarrying) {
        const float dx = static_cast<float>(home.x - ant.pos.x);
        const float dy = static_cast<float>(home.y - ant.pos.y);
        if (InsideNest(ant.pos)) {
            foodReserves += 1.0f;
            ++ant.gatherTrailTag;
            ant.gatherTrailTag = trails.Deposit(ant.pos.x, ant.pos.y, gathererTrailIntensity, ant.gatherTrailTag);
            ant.gathererCarrying = false;
            ant.weakSteps = 0;
            ant.gatherTrailTag = 0;
            ant.hasFoodTarget = false;
            if (RolePercent(gatherers) > gatheringShare) SetRole(ant, Meandering);
            return;
        }
        const GridPoint next = StepToward(ant.pos, dx, dy);
        if (MoveAnt(next.x, next.y, stepCount, ant)) {
            ++ant.gatherTrailTag;
            ant.gatherTrailTag = trails.Deposit(next.x, next.y, gathererTrailIntensity, ant.gatherTrailTag);
        }
        ant.hasFoodTarget = false;
        ant.weakSteps = 0;
        return;
    }

    auto becomeShortWanderer = [this, &ant]() {
        SetRole(ant, Wandering);
        ant.hasFoodTarget = false;
        ant.weakSteps = 0;
        ant.returnTimer = kGiveUpReturnTimer;
    };

    if (foodField->HasFood(ant.pos.x, ant.pos.y)) {
        ant.hasFoodTarget = false;
        ant.weakSteps = 0;
        foodField->TakeFood(ant.pos.x, ant.pos.y);
        ant.gathererCarrying = true;
        return;
    }
    if (ant.blockedSteps >= kGiveUpBlockedSteps || ant.weakSteps >= kGiveUpWeakSteps) {
        SetRole(ant, ReturnClearingTrail);
        ant.hasFoodTarget = false;
        ant.weakSteps = 0;
        return;
    }
    GridPoint cell;
    if (ant.hasFoodTarget) {
        if (!foodField->HasFood(ant.foodTarget.x, ant.foodTarget.y)) {
            if (foodField->FindFoodNear(ant.pos.x, ant.pos.y, foodSearchRadius, cell)) {
                ant.foodTarget = cell;
            } else {
                becomeShortWanderer();
            }
        }
        if (ant.pos == ant.foodTarget) {
            // Only reached when the old target ran out and nothing else was found.
            if (ant.role != Wandering) {
                SetRole(ant, Wandering);
                ant.returnTimer = kGiveUpReturnTimer;
            }
            return;
        }
        // A gatherer just turned wanderer still takes this step toward its
        // old target.
        const GridPoint next = StepToward(ant.pos, static_cast<float>(ant.foodTarget.x - ant.pos.x),
                                          static_cast<float>(ant.foodTarget.y - ant.pos.y));
        MoveAnt(next.x, next.y, stepCount, ant);
        return;
    }

    if (foodField->FindFoodNear(ant.pos.x, ant.pos.y, foodSearchRadius, cell)) {
        ant.hasFoodTarget = true;
        ant.foodTarget = cell;
        return;
    }
    bool weak = false;
    if (trails.ChooseStep(ant.pos.x, ant.pos.y, home.x, home.y, cell, weak)) {
        ant.weakSteps += weak;  // weak follows the trail, not a pattern: no branch
        MoveAnt(cell.x, cell.y, stepCount, ant);
        return;
    }
    becomeShortWanderer();
}

void Colony::ReturnHome(Ant& ant) { ReturnStep<false>(ant, 0); }

template <bool kCovered>
void Colony::ReturnStep(Ant& ant, int32_t tableOrigin) {
    const float dx = static_cast<float>(home.x - ant.pos.x);
    const float dy = static_cast<float>(home.y - ant.pos.y);
    if (ArrivedHome(ant.pos)) {
        SetRole(ant, Meandering);
        return;
    }
    // Covered: the table holds StepToward's choice for the ant's offset as a
    // count of raw draws (the same draw, the same answer, and an entry the
    // walk has already asked for instead of a division).
    GridPoint next;
    if (kCovered) {
        const MeanderCuts& c = meanderTable[ant.pos.x * kOffsetSide + ant.pos.y + tableOrigin];
        next = StepAlong(ant.pos, random->Next() < c.homeward, dx, dy);
    } else {
        next = StepToward(ant.pos, dx, dy);
    }
    if (ant.role == ReturnClearingTrail && InWorld(next.x, next.y)) {
        // Weakens the trail ahead even when the move is refused.
        trails.Deposit(next.x, next.y, -gathererTrailIntensity, 0);
    }
    MoveAnt(next.x, next.y, stepCount, ant);
}

// For the step's walk (Step.cpp), compiled for each nest case.
template void Colony::ReturnStep<false>(Ant& ant, int32_t tableOrigin);
template void Colony::ReturnStep<true>(Ant& ant, int32_t tableOrigin);

// Colony model: construction, resets, the primitives every behaviour uses, and
// the per-step update with its role allocation.
#include "colony/Colony.h"

#include <cmath>
#include <cstring>

namespace {
// The nest radius uses this truncated constant, not full-precision pi.
constexpr double kNestPi = 3.1415926535;

}  // namespace

Colony::Colony(RandomSource& randomSource) : trails(randomSource), random(&randomSource) {
    foodReserves = initialFoodReserves;
    for (int32_t i = 0; i < kGridCells; ++i) occupancy[i] = Occupant{};
    Reset();
}

void Colony::Reset() {
    population = 0;
    for (int32_t x = 0; x < width; ++x) {
        for (int32_t y = 0; y < height; ++y) Vacate(x, y);
    }
    ants.Clear();
    wanderers = 0;
    gatherers = 0;
    reproducers = 0;
    meanderers = 0;
    stepCount = 0;
}

void Colony::SetWorldSize(int32_t w, int32_t h) {
    width = ClampWorldSide(w);
    height = ClampWorldSide(h);
    trails.SetSize(width, height);
    Reset();
}

void Colony::ResetShares() {
    gatheringShare = 25.0f;
    meanderingShare = 60.0f;
    reproducingShare = 10.0f;
    wanderingShare = 5.0f;
}

float Colony::NestRadius() const {
    return static_cast<float>(std::sqrt(static_cast<double>(meanderers + reproducers + 1)) / kNestPi);
}

void Colony::RefillNestSquares(int32_t members) {
    nestSquaresMembers = members;
    const float radius = NestRadius();
    nestSquares = RadiusSquares::For(radius);
    arrivalSquares = RadiusSquares::For(radius + kReturnArrivalMargin);
}

float Colony::RolePercent(int32_t count) const { return RolePercentOf(count, population); }

float Colony::DistanceHome(GridPoint p) const { return RadiusSquares::Distance(home, p); }

GridPoint Colony::StepToward(GridPoint from, float dx, float dy) {
    const float px = AlongXChance(dx, dy);
    const float r = random->RandomUnit();
    return StepAlong(from, r < px, dx, dy);
}

GridPoint Colony::StepAlong(GridPoint from, int32_t alongX, float dx, float dy) {
    // One step along x with chance px, else along y; the draw decides, so
    // the step is computed rather than branched on.
    GridPoint next = from;
    next.x += alongX * (dx > 0.0f ? 1 : -1);
    next.y += (1 - alongX) * (dy > 0.0f ? 1 : -1);
    return next;
}

void Colony::SetRole(Ant& ant, int32_t role) {
    auto counter = [this](int32_t r) -> int32_t& {
        switch (r) {
            case Wandering: return wanderers;
            case Gathering: return gatherers;
            case Reproducing: return reproducers;
            case Meandering: return meanderers;
            default: return returners;
        }
    };
    --counter(ant.role);
    ++counter(role);
    ant.role = role;
}

void Colony::Recount() {
    int32_t tally[5] = {0, 0, 0, 0, 0};  // wandering, gathering, reproducing, meandering, returning
    for (int32_t s = ants.Newest(); s != -1; s = ants.Older(s)) {
        const int32_t role = ants.At(s).role;
        ++tally[role >= ReturnToBase ? 4 : role];
    }
    gatherers = tally[1];
    meanderers = tally[3];
    reproducers = tally[2];
    wanderers = tally[0];
    returners = tally[4];
}

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

float Colony::RolePercent(int32_t count) const { return RolePercentOf(count, population); }

float Colony::DistanceHome(GridPoint p) const { return RadiusSquares::Distance(home, p); }

GridPoint Colony::StepToward(GridPoint from, float dx, float dy) {
    const float ax = GeometryUtil::AbsFloat(dx);
    const float ay = GeometryUtil::AbsFloat(dy);
    const float px = ax / (ax + ay);
    const float r = random->RandomUnit();
    // One step along x with chance px, else along y; the draw decides, so
    // the step is computed rather than branched on.
    const int32_t alongX = r < px;
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

void Colony::Step() {
    ++stepCount;
    // The radius as it stands when the step begins, for every meandering
    // ant of the step (later role changes do not move it).
    const RadiusSquares nest = RadiusSquares::For(NestRadius());
    trails.Evaporate();

    // The role percentages are refreshed only at the points below; later
    // ants of the same step see the values of the last refresh. They are
    // kept as the counts they come from and compared with the shares
    // through ShareBounds (the population stays put during the walk).
    const ShareBounds wandering = ShareBounds::For(wanderingShare, population);
    const ShareBounds meandering = ShareBounds::For(meanderingShare, population);
    const ShareBounds reproducing = ShareBounds::For(reproducingShare, population);
    const ShareBounds gathering = ShareBounds::For(gatheringShare, population);
    int32_t nW = wanderers;
    int32_t nM = meanderers;
    int32_t nR = reproducers;
    int32_t nG = gatherers;

    // Behaviours never add or remove ants, so the walk keeps its own cursor.
    // The records lie scattered in the list and the trail pass has just
    // pushed them out of the nearest cache: each is fetched two ants ahead.
    int32_t ahead = ants.Newest() == -1 ? -1 : ants.Older(ants.Newest());
    for (int32_t s = ants.Newest(); s != -1; s = ants.Older(s)) {
        if (ahead != -1) {
            ahead = ants.Older(ahead);
            if (ahead != -1) {
                const char* record = reinterpret_cast<const char*>(&ants.At(ahead));
                __builtin_prefetch(record);
                __builtin_prefetch(record + sizeof(Ant) - 1);
            }
        }
        Ant* ant = &ants.At(s);
        // One dispatch on the role: roles follow no pattern along the walk,
        // so every test of the role is a guess for the branch predictor. An
        // idle meandering ant may first be given another role, and then acts
        // in that role in this same step.
        switch (ant->role) {
            case Meandering:
                if (meandering.Above(nM)) {
                    if (nest.Above(home, ant->pos)) {
                        const bool onTrail = trails.IntensityAt(ant->pos.x, ant->pos.y) != 0;
                        if (onTrail && gathering.Below(nG)) {
                            SetRole(*ant, Gathering);
                            ant->hasFoodTarget = false;
                        }
                        if (wandering.Below(nW)) {
                            SetRole(*ant, Wandering);
                            ant->returnTimer = returnToBaseTime;
                        }
                        // Refreshed whether or not this ant changed role: the
                        // refresh also picks up role changes made by earlier
                        // ants' behaviours.
                        nW = wanderers;
                        nM = meanderers;
                        nR = reproducers;
                        nG = gatherers;
                        if (ant->role == Wandering) {
                            Wander(*ant);
                            break;
                        }
                        if (ant->role == Gathering) {
                            Gather(*ant);
                            break;
                        }
                    } else if (reproducing.Below(nR)) {
                        SetRole(*ant, Reproducing);
                        nR = reproducers;
                        nM = meanderers;
                    }
                }
                Meander(*ant);
                // Made reproducing just now, the ant may at once be one too many.
                if (ant->role == Reproducing && reproducing.Above(reproducers)) {
                    SetRole(*ant, Meandering);
                }
                break;
            case Reproducing:
                Meander(*ant);
                if (reproducing.Above(reproducers)) SetRole(*ant, Meandering);
                break;
            case Wandering: Wander(*ant); break;
            case Gathering: Gather(*ant); break;
            default: ReturnHome(*ant); break;
        }
    }

    BirthsAndDeaths();

    if (recountCountdown < 0) {
        Recount();
        recountCountdown = recountPeriod;
    } else {
        --recountCountdown;
    }

    policyPassDue = false;
    if (policyCountdown < 0) {
        if (policyWarmup > 0) {
            --policyWarmup;
        } else {
            policyPassDue = true;
        }
        policyCountdown = policyPeriod;
    } else {
        --policyCountdown;
    }
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

// The colony step: the walk over every ant with its role allocation, and
// the meander move that most ants make in it. The two share this file so
// that the meander, the hottest code of a run, is compiled into the walk.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "colony/Colony.h"

namespace {

constexpr double kDegreesPi = 3.1415926535;  // direction of an ant from the nest

// theta := atan2(dy, dx) in degrees, stored as a float, moved into [0, 360];
// an ant on the nest gets 0. Two steps lead back toward the nest and share the
// pull m; the two that lead away get b each. The quadrant formulas are
// deliberately not continuous at 90, 180 and 270 degrees.
Colony::MeanderThresholds ComputeMeanderThresholds(int32_t dx, int32_t dy, float m) {
    float theta = static_cast<float>(std::atan2(static_cast<double>(dy), static_cast<double>(dx)) *
                                     180.0 / kDegreesPi);
    if (theta < 0.0f) theta += 360.0f;
    const float h = m / 2.0f;
    const float b = (1.0f - m) / 2.0f;
    Colony::MeanderThresholds t;
    if (theta < 90.0f) {
        const float q = (90.0f - theta) / 90.0f;
        t.t1 = h * q;
        t.t2 = t.t1 + b;
        t.t3 = t.t2 + b;
    } else if (theta < 180.0f) {
        const float u = (180.0f - theta) * m / 90.0f;
        t.t1 = b;
        t.t2 = t.t1 + m * (1.0f - u);
        t.t3 = t.t2 + b;
    } else if (theta < 270.0f) {
        const float u = (270.0f - theta) * m / 90.0f;
        t.t1 = b;
        t.t2 = t.t1 + m * u;
        t.t3 = t.t2 + m * (1.0f - u);
    } else {
        const float u = (360.0f - theta) * m / 90.0f;
        t.t1 = m * (1.0f - u);
        t.t2 = t.t1 + b;
        t.t3 = t.t2 + m * u;
    }
    return t;
}

// The number of draws v (0 .. 32767) whose unit value lies below t. Unit
// values never fall as v rises, so those draws are exactly v = 0 .. count - 1.
// A NaN threshold is reached by no draw.
uint16_t DrawsBelow(float t) {
    auto unit = [](int32_t v) { return RandomSource::UnitOf(v); };
    if (!(t > unit(0))) return 0;
    if (t > unit(RandomSource::kMax)) return RandomSource::kMax + 1;
    // t * 32767 lands within a draw or two of the answer.
    int32_t count = static_cast<int32_t>(static_cast<double>(t) * 32767.0);
    if (count < 1) count = 1;
    if (count > RandomSource::kMax) count = RandomSource::kMax;
    while (count > 1 && !(unit(count - 1) < t)) --count;
    while (unit(count) < t) ++count;  // stops by 32767: unit(32767) is not below t
    return static_cast<uint16_t>(count);
}

Colony::MeanderCuts MeanderCutsOf(const Colony::MeanderThresholds& t, int32_t dx, int32_t dy) {
    // The step compares in turn, so a draw reaches a direction only after
    // failing every earlier threshold. With each count raised to at least the
    // one before, the direction is simply how many counts the draw reaches.
    Colony::MeanderCuts c;
    c.cut[0] = DrawsBelow(t.t1);
    c.cut[1] = std::max(c.cut[0], DrawsBelow(t.t2));
    c.cut[2] = std::max(c.cut[1], DrawsBelow(t.t3));
    // The draws for which StepToward, from this offset off the nest, steps
    // along x (on the nest itself the chance is NaN: no draw).
    c.homeward = DrawsBelow(Colony::AlongXChance(static_cast<float>(dx), static_cast<float>(dy)));
    return c;
}

}  // namespace

Colony::MeanderThresholds Colony::MeanderThresholdsAt(int32_t dx, int32_t dy) const {
    return ComputeMeanderThresholds(dx, dy, meanderPull);
}

Colony::MeanderCuts Colony::MeanderCutsAt(int32_t dx, int32_t dy) {
    if (dx < -kOffsetSpan || dx > kOffsetSpan || dy < -kOffsetSpan || dy > kOffsetSpan) {
        return MeanderCutsOf(MeanderThresholdsAt(dx, dy), dx, dy);  // a nest outside the grid
    }
    RefreshMeanderTable();
    return meanderTable[(dx + kOffsetSpan) * kOffsetSide + (dy + kOffsetSpan)];
}

void Colony::RefreshMeanderTable() {
    if (MeanderTableCurrent()) return;
    for (int32_t x = -kOffsetSpan; x <= kOffsetSpan; ++x) {
        for (int32_t y = -kOffsetSpan; y <= kOffsetSpan; ++y) {
            meanderTable[(x + kOffsetSpan) * kOffsetSide + (y + kOffsetSpan)] =
                MeanderCutsOf(MeanderThresholdsAt(x, y), x, y);
        }
    }
    std::memcpy(&meanderTablePullBits, &meanderPull, sizeof meanderTablePullBits);
    meanderTableFilled = true;
    ++meanderTableFills;
}

void Colony::Meander(Ant& ant) { MeanderInline<false>(ant, 0); }

// The walk below makes this move for most ants of every step: compiled into
// it, the move's loads can start while the walk's role checks resolve.
// kCovered: the table is current and holds every in-grid ant's offset, and
// tableOrigin is the nest's TableOrigin.
template <bool kCovered>
__attribute__((always_inline)) inline void Colony::MeanderInline(Ant& ant, int32_t tableOrigin) {
    // An ant already swapped in this step (by another ant's move) neither
    // draws nor moves. In a crowded world that is a coin toss for the branch
    // predictor, but skipping the draw and the move costs less than the
    // guesses it misses (this used to make the same writes, selected, for
    // every ant: about 5 % slower in the crowded world, 3 % in the default).
    if (ant.lastMoved == stepCount) return;

    // Directions in the order of the thresholds: x - 1, x + 1, y + 1, y - 1.
    static constexpr int32_t kStepX[4] = {-1, 1, 0, 0};
    static constexpr int32_t kStepY[4] = {0, 0, 1, -1};
    // Uncovered (a single move, or a nest off the grid): MeanderCutsAt checks
    // the offset and the table itself.
    const MeanderCuts c = kCovered ? meanderTable[ant.pos.x * kOffsetSide + ant.pos.y + tableOrigin]
                                   : MeanderCutsAt(ant.pos.x - home.x, ant.pos.y - home.y);
    const int32_t v = random->Next();
    const int32_t direction = (v >= c.cut[0]) + (v >= c.cut[1]) + (v >= c.cut[2]);
    MoveAnt(ant.pos.x + kStepX[direction], ant.pos.y + kStepY[direction], stepCount, ant);
}

// One pass over every ant, newest first. kHomeInGrid: the nest lies in the
// grid, so the meander table covers every ant's offset and the nest radius
// test needs no range checks.
template <bool kHomeInGrid>
void Colony::Walk() {
    const RadiusSquares nest = nestSquares;
    const int32_t tableOrigin = kHomeInGrid ? TableOrigin(home) : 0;

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

    // Behaviours never add or remove ants, so the walk keeps its own cursor,
    // and a second one kTableAhead ants ahead. Its ant's meander table entry
    // is asked for early: the entry is the first of a meander move's
    // dependent reads, and after the walk's frequent mispredicted branches
    // the whole chain waits for it. The entry of where that ant stands now
    // (a swap may still move it one cell) is only a hint; nothing depends on
    // it. (Measured on a Zen 5 core, fixed 300 crowded steps: 4 ahead 4 to 5 %
    // faster than none, 2, 3, 5, 6 or 8 ahead less; also fetching its grid
    // cells was slower. On the Zen 4 cores of earlier measurements the same
    // fetch for 3 ahead moved the stall without changing the time. The
    // records themselves used to be fetched ahead too, while evaporation
    // still swept every trail cell just before the walk; without that sweep
    // those fetches only cost time.)
    constexpr int32_t kTableAhead = 4;
    int32_t ahead = ants.Newest();
    for (int32_t k = 0; kHomeInGrid && k < kTableAhead && ahead != -1; ++k) ahead = ants.Older(ahead);
    for (int32_t s = ants.Newest(); s != -1; s = ants.Older(s)) {
        if (kHomeInGrid && ahead != -1) {
            const GridPoint next = ants.At(ahead).pos;
            __builtin_prefetch(&meanderTable[next.x * kOffsetSide + next.y + tableOrigin]);
            ahead = ants.Older(ahead);
        }
        Ant* ant = &ants.At(s);
        // One dispatch on the role: roles follow no pattern along the walk,
        // so every test of the role is a guess for the branch predictor. An
        // idle meandering ant may first be given another role, and then acts
        // in that role in this same step.
        switch (ant->role) {
            case Meandering:
                if (meandering.Above(nM)) {
                    if (kHomeInGrid ? nest.AboveWithinGrid(home, ant->pos) : nest.Above(home, ant->pos)) {
                        const bool onTrail = trails.IntensityAt(ant->pos.x, ant->pos.y) != 0;
                        // Both tests use the counts as they stood before
                        // either change; an ant that qualifies for both
                        // becomes a gatherer, then a wanderer.
                        const bool toGather = onTrail && gathering.Below(nG);
                        const bool toWander = wandering.Below(nW);
                        if (toGather) {
                            SetRole(*ant, Gathering);
                            ant->hasFoodTarget = false;
                        }
                        if (toWander) {
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
                        if (toWander) {
                            Wander(*ant);
                            break;
                        }
                        if (toGather) {
                            Gather(*ant);
                            break;
                        }
                    } else if (reproducing.Below(nR)) {
                        SetRole(*ant, Reproducing);
                        nR = reproducers;
                        nM = meanderers;
                    }
                }
                // Meandering and reproducing ants make the same move, from
                // one place in the code so that it is compiled in once.
                [[fallthrough]];
            case Reproducing:
                MeanderInline<kHomeInGrid>(*ant, tableOrigin);
                // A reproducing ant may be one too many (one made
                // reproducing just now, too). The count is tested first: it
                // changes seldom, the role from ant to ant.
                if (reproducing.Above(reproducers) && ant->role == Reproducing) {
                    SetRole(*ant, Meandering);
                }
                break;
            case Wandering: Wander(*ant); break;
            case Gathering: Gather(*ant); break;
            default: ReturnStep<kHomeInGrid>(*ant, tableOrigin); break;
        }
    }
}

void Colony::Step() {
    ++stepCount;
    // The radius as it stands when the step begins, for every meandering
    // ant of the step (later role changes do not move it).
    RefreshNestSquares();
    // The meander table is brought up to date once for the whole walk (the
    // pull cannot change during it). With the nest inside the grid, every
    // offset of an in-grid ant from it is tabulated, and the walk's meander
    // moves read the table without checking the offset, as the nest radius
    // test squares it without checking. The walk is compiled for each case,
    // so that no ant tests which one holds.
    RefreshMeanderTable();
    trails.Evaporate();
    const bool homeInGrid = home.x >= 0 && home.x < kGridSide && home.y >= 0 && home.y < kGridSide;
    if (homeInGrid) {
        Walk<true>();
    } else {
        Walk<false>();
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


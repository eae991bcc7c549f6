#pragma once
// Colony: the whole state of the one ant colony: parameters, target role
// shares and role counters, food reserves, the ants, the occupancy grid and the
// colony's trail layer. The policy that retunes the shares lives above it
// (policy/ExpertSystem); the colony only says when a pass is due.
//
// Invariants (after every Step and every placement):
// - every ant stands inside width x height and occupancy at its pos holds its
//   slot and its lastMoved; every other in-world cell holds slot -1; two ants
//   never share a cell;
// - population equals the number of ants in the list;
// - the five role counters equal the number of ants in their roles (every
//   role change moves one unit; Recount re-establishes them periodically).
// Threading: the simulation thread mutates; any other thread reads or writes
// only while holding the simulation's state lock.
// Large object (about 10 MB): create it on the heap.
#include <cstdint>
#include <cstring>

#include "colony/Ant.h"
#include "colony/RadiusSquares.h"
#include "colony/ShareBounds.h"
#include "foundation/ListTemplate.h"
#include "environment/FoodField.h"
#include "foundation/GeometryUtil.h"
#include "foundation/GridPoint.h"
#include "foundation/RandomSource.h"
#include "environment/TrailMap.h"

// One cell of the occupancy grid. A move asks of the cell it steps onto who
// stands there and whether that ant has already moved in this step; keeping
// the occupant's move stamp beside its slot answers both with one read of the
// grid, instead of a second, dependent read of a record somewhere in the ant
// list (in a crowded world that fetch decided the cost of the whole step).
struct Occupant {
    int32_t slot = -1;    // the ant on the cell, or -1
    int32_t movedAt = 0;  // that ant's lastMoved; meaningless while slot is -1
};

class Colony {
public:
    // random is the simulation's shared generator (outlives the colony).
    explicit Colony(RandomSource& random);
    virtual ~Colony() = default;
    Colony(const Colony&) = delete;
    Colony& operator=(const Colony&) = delete;

    void Reset();
    void SetWorldSize(int32_t w, int32_t h);  // clamped to 1..128
    void CreateAnts(GridPoint nestHome, int32_t n);
    void ResetShares();
    void Step();
    void Recount();

    bool InWorld(int32_t x, int32_t y) const {
        return x >= 0 && x < width && y >= 0 && y < height;
    }
    // The slot of the ant on (x, y), or -1. (x, y) must lie in the grid.
    int32_t OccupantAt(int32_t x, int32_t y) const { return occupancy[GridIndex(x, y)].slot; }
    // Puts the ant on the grid at its pos, with its current lastMoved: call
    // it after setting either field other than by a move.
    void Seat(const Ant& ant) {
        occupancy[GridIndex(ant.pos.x, ant.pos.y)] = Occupant{ant.slot, ant.lastMoved};
    }
    void Vacate(int32_t x, int32_t y) { occupancy[GridIndex(x, y)].slot = -1; }
    // Moves the ant to (x, y) if that cell is in the world and free, or swaps
    // it with the cell's occupant unless that one already moved with this
    // stamp. True when the ant moved (or swapped); stamps both ants.
    bool MoveAnt(int32_t x, int32_t y, int32_t stamp, Ant& ant);
    float NestRadius() const;
    // Returning ants arrive this much farther out than the nest radius.
    static constexpr float kReturnArrivalMargin = 2.0f;
    // DistanceHome(p) < NestRadius(), and < NestRadius() + the arrival
    // margin, for the current role counters (see RadiusSquares).
    bool InsideNest(GridPoint p) {
        RefreshNestSquares();
        return nestSquares.Below(home, p);
    }
    bool ArrivedHome(GridPoint p) {
        RefreshNestSquares();
        return arrivalSquares.Below(home, p);
    }
    float RolePercent(int32_t count) const;
    GridPoint StepToward(GridPoint from, float dx, float dy);
    // StepToward's chance of a step along x, |dx| / (|dx| + |dy|) (NaN for
    // 0, 0), and its step once the draw has chosen the axis (alongX is 0 or
    // 1). The meander table's homeward counts are made from the same chance.
    static float AlongXChance(float dx, float dy) {
        const float ax = GeometryUtil::AbsFloat(dx);
        const float ay = GeometryUtil::AbsFloat(dy);
        return ax / (ax + ay);
    }
    static GridPoint StepAlong(GridPoint from, int32_t alongX, float dx, float dy);
    float DistanceHome(GridPoint p) const;

    // Behaviours, one ant at a time (called by Step).
    void Meander(Ant& ant);
    void Wander(Ant& ant);
    void Gather(Ant& ant);
    void ReturnHome(Ant& ant);
    void BirthsAndDeaths();
    // Seats up to n new Meandering ants in a growing disk around home; returns
    // how many were placed (fewer only when the world has no free cell left).
    int32_t PlaceAnts(int32_t n, float startRadius, int32_t tries);

    // ---- Fields, in declaration order (defaults set by the constructor) ----
    // Set by Step when the policy countdown has fired after its warm-up: the
    // owner then runs the expert-system pass, as the last act of the step.
    bool policyPassDue = false;
    int32_t foodSupply = 1000;
    int32_t foodSearchRadius = 10;
    float meanderPull = 0.6f;
    float potentialFieldStrength = 15.0f;
    int32_t maxWanderDistance = 10;
    int32_t returnToBaseTime = 1000;
    bool showTrails = true;
    int32_t wanderTrailIntensity = 600;
    int32_t gathererTrailIntensity = 70;
    float birthCredit = 0.0f;
    float foodReserves = 300.0f;
    float initialFoodReserves = 300.0f;
    float foodPerBaby = 0.0f;
    float foodPerAnt = 0.001f;
    float reproduceRatio = 0.008f;
    float minFoodToReproduce = 0.0f;
    float dieRatio = 0.0007f;
    float deathCredit = 0.0f;
    int32_t recountCountdown = 10;
    int32_t recountPeriod = 10;
    int32_t policyPeriod = 50;
    int32_t policyCountdown = 50;
    int32_t policyWarmup = 2;
    TrailMap trails;
    FoodField* foodField = nullptr;  // set by the simulation; not owned
    int32_t stepCount = 0;
    GeometryUtil geometry;
    int32_t population = 0;
    GridPoint home;
    int32_t width = 128;
    int32_t height = 128;
    float wanderingShare = 5.0f;
    int32_t wanderers = 0;
    float gatheringShare = 25.0f;
    int32_t gatherers = 0;
    float reproducingShare = 10.0f;
    int32_t reproducers = 0;
    float meanderingShare = 60.0f;
    int32_t meanderers = 0;
    int32_t returners = 0;
    // Written only through MoveAnt, Seat and Vacate, which keep each
    // cell's movedAt equal to its ant's lastMoved.
    Occupant occupancy[kGridCells];
    ListTemplate<Ant> ants;

    // The meander step's cumulative thresholds for an ant at offset (dx, dy)
    // from the nest: a unit draw below t1 steps to x - 1, below t2 to x + 1,
    // below t3 to y + 1, else to y - 1. Computed afresh with the float
    // arithmetic that defines the step.
    struct MeanderThresholds {
        float t1, t2, t3;
    };
    MeanderThresholds MeanderThresholdsAt(int32_t dx, int32_t dy) const;

    // The same thresholds as counts of raw draws: the unit draw of a raw
    // draw v is v / 32767.0 rounded to float (RandomSource::RandomUnit),
    // which never falls as v rises, so "unit draw below t" holds exactly for
    // v below the number of raw draws whose unit value is below t. The step then compares integers, and with the counts made
    // cumulative (each at least the one before) the direction is the number
    // of counts the draw reaches: no float conversion, no division and no
    // unpredictable branch per ant.
    //
    // The fourth count serves the returning ants, whose step also depends
    // only on their offset: StepToward steps along x when the unit draw lies
    // below |dx| / (|dx| + |dy|), that is for the raw draws below homeward.
    // The walk reads it from the table entry it has already asked for,
    // instead of waiting on a division.
    struct MeanderCuts {
        uint16_t cut[3];    // 0 .. 32768
        uint16_t homeward;  // 0 .. 32767
    };
    MeanderCuts MeanderCutsAt(int32_t dx, int32_t dy);

    // Every ant meanders every step, and the cuts depend only on its offset
    // from the nest and on meanderPull; atan2 and the quadrant formulas
    // would dominate the step. So they are tabulated for every offset inside
    // the grid and refilled if meanderPull changes.
    static constexpr int32_t kOffsetSpan = kGridSide - 1;  // |dx|, |dy| at most this
    static constexpr int32_t kOffsetSide = 2 * kOffsetSpan + 1;
    // How many times the table has been filled (once per pull in use).
    int32_t MeanderTableFills() const { return meanderTableFills; }

private:
    // True when the table is filled for the current meanderPull. Pulls are
    // compared by their bits: every float value is a valid pull, and a NaN
    // pull, which equals nothing, still matches the table filled for it.
    bool MeanderTableCurrent() const {
        uint32_t bits = 0;
        std::memcpy(&bits, &meanderPull, sizeof bits);
        return meanderTableFilled && bits == meanderTablePullBits;
    }
    MeanderCuts meanderTable[kOffsetSide * kOffsetSide];
    bool meanderTableFilled = false;
    uint32_t meanderTablePullBits = 0;  // the bits of the pull the table holds
    int32_t meanderTableFills = 0;
    // Meander, for the step's walk (Step.cpp).
    template <bool kCovered>
    void MeanderInline(Ant& ant, int32_t tableOrigin);
    // ReturnHome, for the step's walk; kCovered as for MeanderInline.
    template <bool kCovered>
    void ReturnStep(Ant& ant, int32_t tableOrigin);
    // The step's pass over the ants (Step.cpp).
    template <bool kHomeInGrid>
    void Walk();
    // With the nest at home, the table entry of an ant at (x, y) is
    // meanderTable[x * kOffsetSide + y + TableOrigin(home)]: one addition
    // per ant instead of its offset's two.
    static int32_t TableOrigin(GridPoint home) {
        return (kOffsetSpan - home.x) * kOffsetSide + (kOffsetSpan - home.y);
    }
    void RefreshMeanderTable();                  // fills the table if the pull changed
    void SetRole(Ant& ant, int32_t role);  // moves one unit between counters
    void RemoveMeanderers(int32_t k);      // youngest first
    // The squares are kept for the count the radius was computed from
    // (meanderers + reproducers + 1), so they are never stale.
    // The check is inlined where an ant asks; the rare refill is not, so that
    // the behaviours around it stay compact.
    void RefreshNestSquares() {
        const int32_t members = meanderers + reproducers + 1;
        if (members != nestSquaresMembers) RefillNestSquares(members);
    }
    __attribute__((noinline, cold)) void RefillNestSquares(int32_t members);
    int32_t nestSquaresMembers = -1;
    RadiusSquares nestSquares;
    RadiusSquares arrivalSquares;
    RandomSource* random;                  // not owned
};

namespace colonydetail {
// keep ? kept : taken, as mask arithmetic (keep is 0 or all ones): the
// compiler turns a plain select back into the branch MoveAnt avoids.
inline int32_t Pick(int32_t keep, int32_t kept, int32_t taken) {
    return (kept & keep) | (taken & ~keep);
}
inline uint64_t Pick(uint64_t keep, uint64_t kept, uint64_t taken) {
    return (kept & keep) | (taken & ~keep);
}
// A grid point or an occupant (two 32-bit fields) as one 64-bit value, so
// that a move selects and stores each pair at once: fewer instructions in the
// step's hottest code. PairOf(first, second) lays out two fields as Packed
// lays out a pair's.
template <typename Pair>
inline uint64_t Packed(const Pair& pair) {
    static_assert(sizeof(Pair) == sizeof(uint64_t), "a pair of 32-bit fields");
    uint64_t bits = 0;
    std::memcpy(&bits, static_cast<const void*>(&pair), sizeof bits);
    return bits;
}
template <typename Pair>
inline void Unpack(uint64_t bits, Pair& pair) {
    std::memcpy(static_cast<void*>(&pair), &bits, sizeof bits);
}
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "PairOf puts the first field low");
inline uint64_t PairOf(int32_t first, int32_t second) {
    return uint64_t{static_cast<uint32_t>(first)} |
           (uint64_t{static_cast<uint32_t>(second)} << 32);
}
}  // namespace colonydetail

// Defined here so that the behaviours, which move an ant every step, inline it.
inline bool Colony::MoveAnt(int32_t x, int32_t y, int32_t stamp, Ant& ant) {
    using colonydetail::Packed;
    using colonydetail::PairOf;
    using colonydetail::Pick;
    using colonydetail::Unpack;
    if ((static_cast<uint32_t>(x) >= static_cast<uint32_t>(width)) |
        (static_cast<uint32_t>(y) >= static_cast<uint32_t>(height))) {
        return false;  // outside the world (a negative coordinate is a large unsigned one)
    }
    // A move onto a free cell, a swap with an occupant that has not moved yet
    // in this step, or a refusal (an occupant already moved: it is not pushed
    // around again; this also covers a second move onto the ant's own cell in
    // one step). In a crowded world the outcome is a coin toss, so every case
    // makes the same writes with the values selected; a refused move writes
    // back what was there. The occupant's record is only ever written, never
    // read: the grid knows its place and its stamp.
    //
    // Those writes go to the record of whatever slot the cell holds, and a
    // free cell's -1 addresses the list's spare element. The address then
    // follows from the grid read in a few instructions, and that matters:
    // the walk's later reads wait until it is known. (Choosing between the
    // occupant's record and a scratch record by the outcome took twice the
    // instructions and made the crowded world's step 3 % slower.)
    //
    // Branching costs more here, measured: the outcome is known only from the
    // grid read at the end of the move's chain of loads, so a wrong guess
    // throws away the most work. (Whether an ant was swapped, known from its
    // own record at once, is branched on: see MeanderInline.)
    const GridPoint origin = ant.pos;
    const int32_t from = GridIndex(origin.x, origin.y);
    const int32_t target = GridIndex(x, y);
    const Occupant there = occupancy[target];
    const int32_t vacant = -static_cast<int32_t>(there.slot == -1);  // all ones when free
    const int32_t keep = -static_cast<int32_t>(~vacant & (there.movedAt == stamp));
    // Read before the first write: the displaced ant may be this one, so a
    // read after it would have to wait for that write.
    const int32_t slot = ant.slot;
    const int32_t oldStamp = ant.lastMoved;

    // The occupant first: on a move onto the ant's own cell it is the ant. A
    // refused occupant gets its own place and stamp (refused means the stamp
    // it holds is this one).
    Ant& displaced = ants.AtOrSpare(there.slot);
    const uint64_t keepBoth = static_cast<uint64_t>(static_cast<int64_t>(keep));  // 64 bits of keep
    Unpack(Pick(keepBoth, PairOf(x, y), Packed(origin)), displaced.pos);
    displaced.lastMoved = stamp;
    Unpack(Pick(keepBoth, Packed(origin), PairOf(x, y)), ant.pos);
    ant.lastMoved = Pick(keep, oldStamp, stamp);
    ant.blockedSteps &= keep;
    // The origin first: it is the target when the ant moves onto its own
    // cell. A refused move writes back what both cells held; a move onto a
    // free cell leaves the origin with slot -1 (its stamp then means nothing).
    Unpack(Pick(keepBoth, PairOf(slot, oldStamp), PairOf(there.slot, stamp)), occupancy[from]);
    Unpack(Pick(keepBoth, Packed(there), PairOf(slot, stamp)), occupancy[target]);
    return keep == 0;
}

#pragma once
#include <cstdint>

#include "foundation/GridPoint.h"

enum AntRole : int32_t {
    Wandering = 0,            // explores in straight legs; carries found food home
    Gathering = 1,            // follows trails outward to food, carries it home
    Reproducing = 2,          // meanders; earns births
    Meandering = 3,           // the idle reserve around the nest; the only role that dies
    ReturnToBase = 4,         // a wanderer whose return timer ran out
    ReturnClearingTrail = 5,  // a gatherer that gave up; weakens the trail it walks
};

// One ant, in one 128-byte block of its own. A meandering ant's move reads
// and writes only the fields at the front (role, pos, lastMoved, slot,
// blockedSteps), and a swap writes another ant's pos and lastMoved; with each
// record starting a cache line, those all lie in one line, which the move
// never shares with a neighbouring record. The padding costs 44 bytes a slot
// (2.2 MB for the list's 50,000), and the crowded world's step was 4 to 5 %
// faster than with packed 84-byte records, whose front fields could straddle
// two lines and shared lines with the next record (80-byte records, aligned
// to 16 so that the front never straddled, gained only 1 %).
// Records are built once with the list and reused: a new ant sets only slot,
// pos, role and lastMoved, every other field keeps what the slot's previous
// occupant left (this is observable behaviour, keep it).
struct alignas(64) Ant {
    int32_t role = Meandering;
    GridPoint pos;
    int32_t lastMoved = 0;        // stepCount of the last move or swap
    int32_t slot = 0;             // own slot; also what the occupancy grid holds
    int32_t blockedSteps = 0;     // gatherer: calls since its last successful move
    GridPoint legTarget;          // wanderer: end of the current leg
    GridPoint legOrigin;          // wanderer: start of the current leg
    int32_t legLength = 0;        // wanderer: leg length in steps
    int32_t legLeft = 0;          // wanderer: leg steps still to take
    int32_t wanderTrailTag = 0;
    int32_t returnTimer = 0;      // wanderer: leg steps left before it heads home
    int32_t gatherTrailTag = 0;
    GridPoint foodTarget;
    int32_t weakSteps = 0;        // gatherer: weak trail choices since last progress
    bool wandererCarrying = false;
    bool gathererCarrying = false;
    bool hasFoodTarget = false;
};
static_assert(sizeof(Ant) == 128, "two cache lines");

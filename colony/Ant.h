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

// One ant. 84 bytes. Records are built once with the list and reused: a new
// ant sets only slot, pos, role and lastMoved, every other field keeps what the
// slot's previous occupant left (this is observable behaviour, keep it).
struct Ant {
    int32_t role = Meandering;
    GridPoint pos;
    int32_t lastMoved = 0;        // stepCount of the last move or swap
    GridPoint legTarget;          // wanderer: end of the current leg
    GridPoint legOrigin;          // wanderer: start of the current leg
    int32_t legLength = 0;        // wanderer: leg length in steps
    int32_t legLeft = 0;          // wanderer: leg steps still to take
    bool wandererCarrying = false;
    int32_t wanderTrailTag = 0;
    int32_t returnTimer = 0;      // wanderer: leg steps left before it heads home
    bool gathererCarrying = false;
    int32_t gatherTrailTag = 0;
    bool hasFoodTarget = false;
    GridPoint foodTarget;
    int32_t blockedSteps = 0;     // gatherer: calls since its last successful move
    int32_t weakSteps = 0;        // gatherer: weak trail choices since last progress
    int32_t slot = 0;             // own slot; also what the occupancy grid holds
};

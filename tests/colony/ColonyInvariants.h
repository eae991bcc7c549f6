#pragma once
// The colony's invariants, checked from the outside (colony and simulation tests).
#include <string>

#include "colony/Colony.h"

// Checks every colony invariant; returns the first broken one, or "".
inline std::string BrokenInvariant(const Colony& c) {
    int32_t tally[6] = {};
    int32_t listed = 0;
    for (int32_t s = c.ants.Newest(); s != -1; s = c.ants.Older(s)) {
        const Ant& ant = c.ants.At(s);
        if (!c.InWorld(ant.pos.x, ant.pos.y)) return "ant outside the world";
        const Occupant& cell = c.occupancy[GridIndex(ant.pos.x, ant.pos.y)];
        if (cell.slot != s) return "grid does not name the ant";
        if (cell.movedAt != ant.lastMoved) return "grid holds a stale move stamp";
        ++tally[ant.role];
        ++listed;
    }
    int32_t occupied = 0;
    for (int32_t x = 0; x < c.width; ++x) {
        for (int32_t y = 0; y < c.height; ++y) occupied += c.OccupantAt(x, y) != -1;
    }
    if (occupied != listed) return "grid holds stale slots";
    if (listed != c.population) return "population differs from the list";
    if (tally[Wandering] != c.wanderers || tally[Gathering] != c.gatherers ||
        tally[Reproducing] != c.reproducers || tally[Meandering] != c.meanderers ||
        tally[ReturnToBase] + tally[ReturnClearingTrail] != c.returners) {
        return "role counters differ from the ants";
    }
    return "";
}

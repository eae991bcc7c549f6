#include "environment/TrailMap.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <iterator>

namespace {

// Weight of a wall side or of a trail neighbour that leads no farther out:
// a small chance against real trail. Choosing a neighbour whose weight still
// equals it exactly is reported as a weak step.
constexpr float kSentinelWeight = 0.001f;

// Distance from (cx, cy) to the reference point: integer differences as
// floats, the root taken in double and firstKept as a float.
float DistanceTo(int32_t referenceX, int32_t referenceY, int32_t cx, int32_t cy) {
    const float dx = static_cast<float>(referenceX - cx);
    const float dy = static_cast<float>(referenceY - cy);
    // The float root equals the double root rounded to float: a double holds
    // more than twice a float's precision, so rounding twice cannot differ.
    return std::sqrt(dx * dx + dy * dy);
}

// The cell next to the nest only ever grows: at the dialogs' strongest trails
// it gains some 26 units a step and would pass the int32 range within a long
// run (undefined behaviour, and a wrapped cell would turn negative and
// vanish). Deposits saturate at the type's limits instead; one unit short of
// the lowest, so that evaporation can always subtract its unit. Everything
// within the range adds exactly as before.
constexpr int64_t kLowestIntensity = static_cast<int64_t>(INT32_MIN) + 1;
constexpr int64_t kHighestIntensity = INT32_MAX;
int32_t SaturatedIntensity(int64_t value) {
    return static_cast<int32_t>(std::clamp(value, kLowestIntensity, kHighestIntensity));
}

}  // namespace

TrailMap::TrailMap(RandomSource& randomSource) : random(&randomSource) {
    renderThreshold = 200;
    SetSize(kGridSide, kGridSide);
}

void TrailMap::SetSize(int32_t newWidth, int32_t newHeight) {
    width = ClampWorldSide(newWidth);
    height = ClampWorldSide(newHeight);
    // The whole grid, not only the new region: a later, larger size then
    // finds no stale slots.
    std::fill(std::begin(indexGrid), std::end(indexGrid), -1);
    // Never read for a place without a cell, except by the step choice,
    // which discards it; filled so that no read is of an unset value.
    std::fill(std::begin(expiryGrid), std::end(expiryGrid), 0);
    trailCells.Clear();
    std::fill(std::begin(bucketHead), std::end(bucketHead), -1);
    clock = 0;
    nextSequence = 0;
}

void TrailMap::FileIn(TrailCell& cell, int32_t bucket) {
    const int32_t head = bucketHead[bucket];
    cell.previousInBucket = -1 - bucket;
    cell.nextInBucket = head;
    if (head != -1) trailCells.At(head).previousInBucket = cell.slot;
    bucketHead[bucket] = cell.slot;
}

void TrailMap::File(TrailCell& cell, int64_t expiry) {
    FileIn(cell, static_cast<int32_t>(std::max(expiry, clock + 1) & kBucketMask));
}

void TrailMap::Unfile(const TrailCell& cell) {
    const int32_t previous = cell.previousInBucket;
    const int32_t next = cell.nextInBucket;
    if (previous >= 0) {
        trailCells.At(previous).nextInBucket = next;
    } else {
        bucketHead[-1 - previous] = next;
    }
    if (next != -1) trailCells.At(next).previousInBucket = previous;
}

int32_t TrailMap::Deposit(int32_t x, int32_t y, int32_t amount, int32_t tag) {
    const int32_t place = GridIndex(x, y);
    int32_t& entry = indexGrid[place];
    int64_t& expiry = expiryGrid[place];
    if (entry == -1) {
        int32_t slot = 0;
        TrailCell* cell = trailCells.Add(slot);
        // Cannot happen: the list holds more cells than the largest world.
        if (cell == nullptr) return tag;
        expiry = clock + SaturatedIntensity(amount);
        cell->sequence = nextSequence++;
        cell->tag = tag;
        cell->x = x;
        cell->y = y;
        cell->slot = slot;
        entry = slot;
        File(*cell, expiry);
        return tag;
    }
    TrailCell& cell = trailCells.At(entry);
    const int64_t before = expiry;
    expiry = clock + SaturatedIntensity(before - clock + amount);
    // A later expiry leaves the cell's bucket coming round early enough; an
    // earlier one (a weakening deposit, which is rare) may not.
    if (expiry < before) {
        Unfile(cell);
        File(cell, expiry);
    }
    return cell.tag;
}

int32_t TrailMap::IntensityAt(int32_t x, int32_t y) const {
    const int32_t slot = indexGrid[GridIndex(x, y)];
    return slot == -1 ? 0 : IntensityOf(trailCells.At(slot));
}

void TrailMap::Evaporate() {
    ++clock;
    // Every cell that reaches 0 now is in this bucket. The chain is taken off
    // whole, so that a cell filed back into the same bucket (it expires a
    // whole number of turns later) is not met twice.
    const int32_t bucket = static_cast<int32_t>(clock & kBucketMask);
    int32_t slot = bucketHead[bucket];
    bucketHead[bucket] = -1;
    int32_t expired = 0;
    while (slot != -1) {
        TrailCell& cell = trailCells.At(slot);
        slot = cell.nextInBucket;
        const int32_t place = GridIndex(cell.x, cell.y);
        const int64_t expiry = expiryGrid[place];
        if (expiry <= clock) {
            expiring[expired++] = {cell.sequence, cell.slot, place};
        } else {
            // Raised since it was filed, or more than a turn away: on to the
            // bucket of its expiry, which is at least clock + 1.
            FileIn(cell, static_cast<int32_t>(expiry & kBucketMask));
        }
    }
    if (expired == 0) return;

    // Newest first, as the list walks. A chain holds cells newest first when
    // they were filed in creation order and not moved since: a large batch
    // (cells laid together) usually comes in order and needs no sort, and a
    // batch out of order is usually a handful.
    const auto newerFirst = [](const Expiring& a, const Expiring& b) {
        return a.sequence > b.sequence;
    };
    Expiring* const end = expiring + expired;
    if (!std::is_sorted(expiring, end, newerFirst)) {
        // A crowded colony whose returning ants weaken trail all around
        // lays and loses most of its cells every turn, in no order: then a
        // walk of the list, which is in order, costs less than the sort.
        // Every cell that expires now is in this batch, so the walk removes
        // exactly the batch.
        if (static_cast<int64_t>(expired) * kWalkInsteadOfSort >= trailCells.Count()) {
            RemoveExpiredInListOrder();
            return;
        }
        std::sort(expiring, end, newerFirst);
    }
    for (const Expiring* e = expiring; e != end; ++e) {
        indexGrid[e->place] = -1;
        trailCells.Remove(e->slot);
    }
}

void TrailMap::RemoveExpiredInListOrder() {
    for (int32_t s = trailCells.Newest(); s != -1;) {
        const TrailCell& cell = trailCells.At(s);
        const int32_t slot = s;
        s = trailCells.Older(s);  // read before the cell may be removed
        const int32_t place = GridIndex(cell.x, cell.y);
        if (expiryGrid[place] <= clock) {
            indexGrid[place] = -1;
            trailCells.Remove(slot);
        }
    }
}

bool TrailMap::ChooseStep(int32_t x, int32_t y, int32_t referenceX, int32_t referenceY,
                          GridPoint& next, bool& weak) {
    weak = false;
    bool anyTrail = false;

    // Fixed order, which is also the order of the cumulative draw.
    const GridPoint neighbours[4] = {{x - 1, y}, {x + 1, y}, {x, y - 1}, {x, y + 1}};
    const bool outside[4] = {x - 1 < 0, x + 1 >= width, y - 1 < 0, y + 1 >= height};

    // Which neighbours carry trail, and how far out they lead, is what the
    // ant is looking for: each varies from call to call, so the weights and
    // the draw are computed with selects rather than branches.
    const float d0 = DistanceTo(referenceX, referenceY, x, y);
    float weights[4];
    for (int32_t i = 0; i < 4; ++i) {
        const GridPoint n = neighbours[i];
        const float distance = DistanceTo(referenceX, referenceY, n.x, n.y);
        // An outside neighbour reads the grids at (x, y) instead, never beyond them.
        const int32_t place = outside[i] ? GridIndex(x, y) : GridIndex(n.x, n.y);
        const int32_t slot = indexGrid[place];
        const int32_t wall = outside[i];
        const int32_t trail = (1 - wall) & (slot != -1);
        anyTrail |= trail != 0;
        // A live cell's expiry - clock is its int32 intensity, which an int64
        // converts to the same float. Without trail the value is not used.
        const float intensity = static_cast<float>(expiryGrid[place] - clock);
        // Only trail leading farther out counts; a step changes the distance
        // by at most one cell, so this weighs between 0 and the intensity.
        // The weight is picked by index (a plain select compiles back into
        // branches): 0 no trail, 1 the sentinel (a wall, or trail that leads
        // no farther out), 2 the outward trail's weight.
        const float candidates[3] = {0.0f, kSentinelWeight,
                                     intensity * (distance - d0)};
        const int32_t pick = wall + trail * (1 + (distance > d0));
        weights[i] = candidates[pick];
    }

    const float total = weights[0] + weights[1] + weights[2] + weights[3];
    const float r = random->RandomUnit();

    // The first neighbour whose cumulative share exceeds r. A total of 0 (no
    // trail, no wall) fails every comparison and falls to N4 without raising
    // weak; IEEE division keeps that well defined.
    const float cumulative0 = 0.0f + weights[0];
    const float cumulative1 = cumulative0 + weights[1];
    const float cumulative2 = cumulative1 + weights[2];
    int32_t chosen = 3;
    chosen = cumulative2 / total > r ? 2 : chosen;
    chosen = cumulative1 / total > r ? 1 : chosen;
    chosen = cumulative0 / total > r ? 0 : chosen;
    next = neighbours[chosen];
    weak = (weights[chosen] == kSentinelWeight);
    return anyTrail;
}

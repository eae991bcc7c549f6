// Feeding, starvation, births, natural deaths, and the placement of new ants
// around the nest.
#include <algorithm>
#include <cmath>

#include "colony/Colony.h"

namespace {
constexpr double kPlacementPi = 3.1415927;  // in double, as the food field's placement
constexpr float kPlacementGrowth = 3.0f;   // the disk widens by this after a run of misses
constexpr int32_t kFoundingTries = 30;     // misses per radius when founding a colony
constexpr int32_t kBirthTries = 10;        // misses per radius for newborns
// Far beyond the world's 182-cell diagonal.
constexpr float kMaxPlacementRadius = 1024.0f;
}  // namespace

int32_t Colony::PlaceAnts(int32_t n, float startRadius, int32_t tries) {
    // The disk widens by 3 cells after every run of misses, also beyond the
    // world, for as long as free cells remain, and placement ends once the
    // world is full. But in a nearly full world the chance that a candidate
    // hits one of the few free cells falls as the disk grows (and past some
    // 32767 cells the distance draw skips whole cells), so the widening
    // search would practically never end. A disk that has widened past
    // kMaxPlacementRadius therefore shrinks back to the smallest disk that
    // covers the world and stays there: every free cell keeps a fixed chance,
    // and the last ones are found. Ordinary placements never get that far.
    const int32_t worldCells = width * height;
    const float farX = static_cast<float>(std::max(home.x, width - home.x));
    const float farY = static_cast<float>(std::max(home.y, height - home.y));
    const float coveringRadius = std::sqrt(farX * farX + farY * farY) + kPlacementGrowth;
    bool widening = true;

    int32_t placed = 0;
    float r = startRadius;
    while (placed < n && ants.Count() < worldCells) {
        if (widening && r > kMaxPlacementRadius) {
            widening = false;
            r = coveringRadius;
        }
        int32_t misses = 0;
        while (misses < tries && placed < n) {
            const float d = static_cast<float>(random->Next() * r / 32767.0);
            const float a = static_cast<float>(random->Next() * 360.0 / 32767.0);
            const double radians = static_cast<double>(a) * kPlacementPi / 180.0;
            const int32_t x = GeometryUtil::RoundDouble(std::cos(radians) * d + home.x);
            const int32_t y = GeometryUtil::RoundDouble(std::sin(radians) * d + home.y);
            if (InWorld(x, y) && OccupantAt(x, y) == -1) {
                int32_t slot = 0;
                Ant* ant = ants.Add(slot);
                if (ant == nullptr) return placed;  // cannot happen: the grid holds fewer ants
                // Only these four fields are set; the rest is the slot's
                // previous occupant's.
                ant->slot = slot;
                ant->pos = GridPoint{x, y};
                ant->role = Meandering;
                ant->lastMoved = 0;
                Seat(*ant);
                ++placed;
                if (ants.Count() >= worldCells) break;
            } else {
                ++misses;
            }
        }
        if (widening) r += kPlacementGrowth;
    }
    return placed;
}

void Colony::CreateAnts(GridPoint nestHome, int32_t n) {
    home = nestHome;
    const int32_t placed = PlaceAnts(n < 0 ? 0 : n, 0.0f, kFoundingTries);
    population = placed;
    meanderers = placed;
    gatherers = 0;
    reproducers = 0;
    wanderers = 0;
    returners = 0;
}

void Colony::RemoveMeanderers(int32_t k) {
    for (int32_t s = ants.Newest(); s != -1 && k > 0;) {
        Ant& ant = ants.At(s);
        const int32_t slot = s;
        s = ants.Older(s);  // read before the ant may be removed
        if (ant.role != Meandering) continue;
        Vacate(ant.pos.x, ant.pos.y);
        ants.Remove(slot);
        --k;
        --population;
        --meanderers;
    }
}

void Colony::BirthsAndDeaths() {
    // Feeding and starvation: a random part of the unfed ants starve.
    foodReserves -= static_cast<float>(population) * foodPerAnt;
    if (foodReserves < 0.0f) {
        // foodPerAnt is above 0 here: with 0 the reserves cannot fall.
        const float unfed = -foodReserves / foodPerAnt;
        // Feeding takes at most population * foodPerAnt, so unfed stays near
        // population; the clamp only keeps the conversion defined.
        int64_t k = unfed >= 1.0e9f ? 1000000000 : static_cast<int64_t>(unfed);
        k = (random->Next() * k) / 32767;
        if (k > meanderers) k = meanderers;
        RemoveMeanderers(static_cast<int32_t>(k));
        foodReserves = 0.0f;
    }

    // Births, paid from the reserves while they exceed the minimum.
    birthCredit += static_cast<float>(reproducers) * reproduceRatio;
    if (foodReserves > minFoodToReproduce) {
        if (birthCredit >= 1.0f) {
            const int32_t b = static_cast<int32_t>(birthCredit);
            const float cost = static_cast<float>(b) * foodPerBaby;
            if (cost > foodReserves) {
                birthCredit = 0.0f;
            } else {
                const int32_t born = PlaceAnts(b, NestRadius(), kBirthTries);
                meanderers += born;
                population += born;
                // A full world seats fewer; only the newborns placed are paid for.
                foodReserves -= static_cast<float>(born) * foodPerBaby;
                birthCredit -= static_cast<float>(b);
            }
        }
    } else {
        birthCredit = 0.0f;
    }

    // Natural deaths take the youngest meandering ants.
    deathCredit += static_cast<float>(population) * dieRatio;
    if (deathCredit >= 1.0f) {
        int32_t k = static_cast<int32_t>(deathCredit);
        deathCredit -= static_cast<float>(k);
        if (meanderers >= 1) {
            if (k > meanderers) k = meanderers;
            RemoveMeanderers(k);
        }
    }
}

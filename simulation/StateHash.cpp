#include "simulation/StateHash.h"

#include <cstring>

#include "simulation/Simulation.h"

namespace {
// FNV-1a over the values' bytes; floats are hashed by their bit patterns.
struct Fnv {
    uint64_t value = 1469598103934665603ull;
    void Bytes(const void* data, size_t size) {
        const unsigned char* p = static_cast<const unsigned char*>(data);
        for (size_t i = 0; i < size; ++i) {
            value ^= p[i];
            value *= 1099511628211ull;
        }
    }
    void Int(int32_t v) { Bytes(&v, sizeof v); }
    void Float(float v) { Bytes(&v, sizeof v); }
};
}  // namespace

uint64_t StateHash(const Simulation& simulation) {
    const Colony& c = simulation.colony;
    const ExpertSystem& e = simulation.expertSystem;
    const FoodField& food = simulation.foodField;
    Fnv h;
    const int32_t ints[] = {c.stepCount, c.population, c.home.x, c.home.y, c.width, c.height,
                            c.wanderers, c.gatherers, c.reproducers, c.meanderers, c.returners,
                            c.recountCountdown, c.policyCountdown, c.policyWarmup,
                            e.baselineFoodReserves, e.baselineFoodSupply, c.foodSupply,
                            e.firstPass ? 1 : 0, e.on ? 1 : 0};
    for (int32_t v : ints) h.Int(v);
    const float floats[] = {c.foodReserves, c.birthCredit, c.deathCredit, c.wanderingShare,
                            c.gatheringShare, c.reproducingShare, c.meanderingShare};
    for (float v : floats) h.Float(v);
    h.Bytes(e.populationAction, std::strlen(e.populationAction));
    h.Bytes(e.foodAction, std::strlen(e.foodAction));

    for (int32_t s = c.ants.Newest(); s != -1; s = c.ants.Older(s)) {
        const Ant& a = c.ants.At(s);
        const int32_t fields[] = {a.slot, a.role, a.pos.x, a.pos.y, a.lastMoved,
                                  a.legTarget.x, a.legTarget.y, a.legOrigin.x, a.legOrigin.y,
                                  a.legLength, a.legLeft, a.wandererCarrying ? 1 : 0,
                                  a.wanderTrailTag, a.returnTimer, a.gathererCarrying ? 1 : 0,
                                  a.gatherTrailTag, a.hasFoodTarget ? 1 : 0, a.foodTarget.x,
                                  a.foodTarget.y, a.blockedSteps, a.weakSteps};
        for (int32_t v : fields) h.Int(v);
    }
    for (int32_t s = c.trails.trailCells.Newest(); s != -1; s = c.trails.trailCells.Older(s)) {
        const TrailCell& t = c.trails.trailCells.At(s);
        const int32_t fields[] = {t.slot, t.x, t.y, c.trails.IntensityOf(t), t.tag};
        for (int32_t v : fields) h.Int(v);
    }
    h.Int(food.foodCount);
    h.Int(food.decayCountdown);
    h.Float(food.growthAccumulator);
    for (int32_t s = food.foodCells.Newest(); s != -1; s = food.foodCells.Older(s)) {
        const FoodCell& f = food.foodCells.At(s);
        const int32_t fields[] = {f.slot, f.x, f.y, f.units, f.turnsLeft};
        for (int32_t v : fields) h.Int(v);
    }
    return h.value;
}

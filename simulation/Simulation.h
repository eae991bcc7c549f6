#pragma once
// Simulation: the world's food layer, the colony and its expert system,
// stepped together; sets up new worlds and colonies and keeps the counters the
// statistics show. It is everything a front end shows, and it knows no front
// end: no SDL, no GL, no terminal.
//
// Threading: while the simulation thread runs, it is the only thread that
// calls Step. Everything inside the simulation (colony, food field, counters,
// parameters) is read or written by any other thread only while holding
// stateMutex, which Step also holds; so a frame never sees a half-done step.
// Hold it briefly: a step waits for it.
// Large object (about 8 MB): create it on the heap.
#include <cstdint>
#include <mutex>

#include "colony/Colony.h"
#include "environment/FoodField.h"
#include "foundation/RandomSource.h"
#include "policy/ExpertSystem.h"

class Simulation {
public:
    static constexpr int32_t kFirstColonyX = 40;
    static constexpr int32_t kFirstColonyY = 50;
    static constexpr int32_t kColonyAnts = 400;
    static constexpr int32_t kRuleCount = 9;  // "If Dead Rules" / "If Alive Rules" boxes

    // Where the first colony is founded.
    struct FirstColony {
        int32_t x = kFirstColonyX;
        int32_t y = kFirstColonyY;
        int32_t ants = kColonyAnts;
    };
    // Runs once the members are made and before the first world is built:
    // start-up settings are written there, so the food and the first colony
    // are placed with them (the world's size is worldWidth x worldHeight).
    using PrepareFirstWorld = void (*)(Simulation& simulation, FirstColony& first, void* context);

    // seed: the initial state of the shared random source (1 is the state of
    // a generator nobody seeded, which makes every default run identical).
    // rules: the rule base file (read only) or text; none for the built-in rules.
    explicit Simulation(uint32_t seed = 1, const RuleBaseSource& rules = RuleBaseSource(),
                        PrepareFirstWorld prepare = nullptr, void* context = nullptr);
    virtual ~Simulation() = default;
    Simulation(const Simulation&) = delete;
    Simulation& operator=(const Simulation&) = delete;

    void Step();
    void NewWorld(int32_t w, int32_t h);
    void NewColony(int32_t x, int32_t y, int32_t n);
    // The automatic rebuild: 400 ants in the centre, fresh food, default
    // shares, reserves back to their initial value, one more colony death.
    void RestartColony();
    // Fewer than 50 ants, more than 900, or reserves above 1500.0.
    bool ColonyNeedsRestart() const;
    // Fills seedGrid from worldWidth, worldHeight and startingSeeds.
    void FillSeedGrid();

    // ---- Fields ----
    RandomSource random;  // first: the colony and the food field draw from it
    int32_t colonyDeaths = 0;
    ExpertSystem expertSystem;  // loads the rule base on construction
    Colony colony;
    FoodField foodField;
    int32_t totalSteps = 0;
    float renderSeconds = 0.0f;  // last scene fill, written by the scene builder
    float stepSeconds = 0.0f;    // last Step
    bool deadRules[kRuleCount] = {};
    bool aliveRules[kRuleCount] = {};
    int32_t seedGrid[kGridCells] = {};
    int32_t worldWidth = 128;
    int32_t worldHeight = 128;
    int32_t startingSeeds = 2500;

    mutable std::mutex stateMutex;
};

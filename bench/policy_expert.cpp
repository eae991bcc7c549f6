// One expert-system pass of a colony on the real rule engine with the built-in
// rule base (goal: under 10 microseconds), next to the bare engine work a pass
// cannot avoid (reset, two asserts, run, listing).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "colony/Colony.h"
#include "environment/RandomSource.h"
#include "policy/RuleBaseText.h"
#include "policy/RuleEngine.h"

extern "C" {
#include <clips/clips.h>
}

namespace {

// A private folder for the rule base file the colony writes and loads.
struct RulesFolder {
    RulesFolder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "marrowick-bench-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) path = pattern;
    }
    ~RulesFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    std::string File() const { return (path / "Rules.clp").string(); }
    std::filesystem::path path;
};

// Situation: few ants, full reserves, a rich world; the pass concludes
// raise_population, so the scan and the share update both do work.
void BM_ExpertSystemPass(benchmark::State& state) {
    RulesFolder folder;
    RandomSource random;
    auto colony = std::make_unique<Colony>(random, folder.File().c_str());
    if (!colony->expertSystemOn) {
        state.SkipWithError("rule base did not load");
        return;
    }
    colony->foodReserves = 450.0f;
    colony->population = 250;
    colony->gatherers = 40;
    colony->foodSupply = 900;
    for (auto _ : state) {
        colony->RunExpertSystem();
        benchmark::DoNotOptimize(colony->reproducingShare);
    }
}
BENCHMARK(BM_ExpertSystemPass);

void BM_BareEnginePass(benchmark::State& state) {
    RulesFolder folder;
    {
        std::FILE* file = std::fopen(folder.File().c_str(), "wb");
        if (file == nullptr) {
            state.SkipWithError("cannot write the rule base");
            return;
        }
        std::fwrite(kRuleBaseText, 1, kRuleBaseLength, file);
        std::fclose(file);
    }
    RuleEngine engine;
    void* env = engine.Environment();
    if (EnvLoad(env, folder.File().c_str()) != 1) {
        state.SkipWithError("rule base did not load");
        return;
    }
    void* world = EnvFindDeftemplate(env, "world");
    void* colony = EnvFindDeftemplate(env, "colony");
    const auto put = [env](void* fact, const char* slot, const char* value) {
        DATA_OBJECT data;
        SetType(data, SYMBOL);
        SetValue(data, EnvAddSymbol(env, value));
        EnvPutFactSlot(env, fact, slot, &data);
    };
    for (auto _ : state) {
        engine.ClearListing();
        EnvReset(env);
        void* worldFact = EnvCreateFact(env, world);
        put(worldFact, "food_supply", "high");
        put(worldFact, "change_FS", "stable");
        EnvAssert(env, worldFact);
        void* colonyFact = EnvCreateFact(env, colony);
        put(colonyFact, "food_reserves", "high");
        put(colonyFact, "population", "low");
        put(colonyFact, "change_FR", "stable");
        put(colonyFact, "num_gathering_ants", "low");
        EnvAssert(env, colonyFact);
        EnvRun(env, RuleEngine::kMaxRuleFirings);
        EnvFacts(env, "proir", nullptr, -1, -1, -1);
        benchmark::DoNotOptimize(engine.listingLength);
    }
}
BENCHMARK(BM_BareEnginePass);

}  // namespace

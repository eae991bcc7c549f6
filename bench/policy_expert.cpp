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
#include "policy/ExpertSystem.h"
#include "foundation/RandomSource.h"
#include "policy/RuleBaseText.h"
#include "policy/RuleEngine.h"

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
    auto colony = std::make_unique<Colony>(random);
    auto expert = std::make_unique<ExpertSystem>();
    expert->Init(folder.File().c_str());
    if (!expert->on) {
        state.SkipWithError("rule base did not load");
        return;
    }
    colony->foodReserves = 450.0f;
    colony->population = 250;
    colony->gatherers = 40;
    colony->foodSupply = 900;
    for (auto _ : state) {
        expert->Run(*colony);
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
    if (engine.Load(folder.File().c_str()) != LoadResult::Loaded) {
        state.SkipWithError("rule base did not load");
        return;
    }
    const PassFacts facts{"high", "stable", "high", "low", "stable", "low"};
    for (auto _ : state) {
        engine.Pass(facts);
        benchmark::DoNotOptimize(engine.listingLength);
    }
}
BENCHMARK(BM_BareEnginePass);

}  // namespace

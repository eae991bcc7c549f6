// One expert-system pass of a colony with the built-in rule base, as the
// simulation runs it: classification here, the rules in the engine process,
// one round trip over its socket (goal: under 50 microseconds). Beside it the
// parts: the round trip alone (the engine process's pass), the bare engine
// work a pass cannot avoid (reset, two asserts, run, conclusions, in-process),
// and a round trip whose rules do nothing (the conversation itself).
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "colony/Colony.h"
#include "foundation/RandomSource.h"
#include "policy/EngineProcess.h"
#include "policy/ExpertSystem.h"
#include "policy/RuleBaseText.h"
#include "policy/RuleEngine.h"

namespace {

// A private folder for the rule base files the benchmarks write and load.
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
    RandomSource random;
    auto colony = std::make_unique<Colony>(random);
    auto expert = std::make_unique<ExpertSystem>();
    expert->Init("");  // the built-in rules, from memory
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

bool WriteRules(const RulesFolder& folder, const char* text, size_t length) {
    if (folder.path.empty()) return false;  // no private folder: write nowhere else
    std::FILE* file = std::fopen(folder.File().c_str(), "wb");
    if (file == nullptr) return false;
    const bool written = std::fwrite(text, 1, length, file) == length;
    return std::fclose(file) == 0 && written;
}

const PassFacts kFacts{"high", "stable", "high", "low", "stable", "low"};

// Processor time of the reaped child processes so far, in milliseconds.
double ChildrenCpuMs() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
}

// One engine process loaded with text, then passes timed round trip by round trip.
void EngineRoundTrips(benchmark::State& state, const char* text, size_t length) {
    RulesFolder folder;
    if (!WriteRules(folder, text, length)) {
        state.SkipWithError("cannot write the rule base");
        return;
    }
    EngineProcess engine;
    if (engine.Load(folder.File().c_str()) != LoadResult::Loaded) {
        state.SkipWithError(engine.Problem());
        return;
    }
    for (auto _ : state) {
        if (engine.Pass(kFacts) != PassResult::Listed) state.SkipWithError(engine.Problem());
        benchmark::DoNotOptimize(engine.conclusionCount);
    }
}

// The engine process's pass: request, the rules, the listing back.
void BM_EngineRoundTrip(benchmark::State& state) {
    EngineRoundTrips(state, kRuleBaseText, kRuleBaseLength);
}
BENCHMARK(BM_EngineRoundTrip);

// The same over templates without rules: what the conversation costs.
void BM_EngineRoundTripNoRules(benchmark::State& state) {
    const char text[] =
        "(deftemplate world (slot food_supply) (slot change_FS))\n"
        "(deftemplate colony (slot food_reserves) (slot population) (slot change_FR)"
        " (slot num_gathering_ants))\n";
    EngineRoundTrips(state, text, sizeof text - 1);
}
BENCHMARK(BM_EngineRoundTripNoRules);

void BM_BareEnginePass(benchmark::State& state) {
    RulesFolder folder;
    if (!WriteRules(folder, kRuleBaseText, kRuleBaseLength)) {
        state.SkipWithError("cannot write the rule base");
        return;
    }
    RuleEngine engine;
    if (engine.Load(folder.File().c_str()) != LoadResult::Loaded) {
        state.SkipWithError("rule base did not load");
        return;
    }
    for (auto _ : state) {
        engine.Pass(kFacts);
        benchmark::DoNotOptimize(engine.conclusionCount);
    }
}
BENCHMARK(BM_BareEnginePass);

// A pass whose engine ends itself, and the fresh engine the next pass starts
// and loads with the same rule base (the built-in rules and one more rule):
// what a failed pass costs the simulation thread, restart included.
void BM_EngineFailAndRestart(benchmark::State& state) {
    RulesFolder folder;
    const std::string text = std::string(kRuleBaseText, kRuleBaseLength) +
                             "\n(defrule leave (world) => (exit 1))\n";
    if (!WriteRules(folder, text.data(), text.size())) {
        state.SkipWithError("cannot write the rule base");
        return;
    }
    EngineProcess engine;
    if (engine.Load(folder.File().c_str()) != LoadResult::Loaded) {
        state.SkipWithError(engine.Problem());
        return;
    }
    const double before = ChildrenCpuMs();
    for (auto _ : state) {
        if (engine.Pass(kFacts) != PassResult::EngineFailed) state.SkipWithError("the pass did not fail");
    }
    // The engines' own processor time (each is reaped within the loop):
    // what a restart costs beyond the simulation thread's share.
    state.counters["engine_cpu_ms"] = benchmark::Counter(
        (ChildrenCpuMs() - before) / static_cast<double>(state.iterations()));
}
BENCHMARK(BM_EngineFailAndRestart)->Unit(benchmark::kMillisecond);

// Starting an engine and loading the built-in rules into it.
void BM_EngineStartAndLoad(benchmark::State& state) {
    RulesFolder folder;
    if (!WriteRules(folder, kRuleBaseText, kRuleBaseLength)) {
        state.SkipWithError("cannot write the rule base");
        return;
    }
    for (auto _ : state) {
        EngineProcess engine;
        if (engine.Load(folder.File().c_str()) != LoadResult::Loaded) state.SkipWithError(engine.Problem());
    }
}
BENCHMARK(BM_EngineStartAndLoad)->Unit(benchmark::kMillisecond);

}  // namespace

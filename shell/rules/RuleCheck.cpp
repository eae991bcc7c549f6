#include "shell/rules/RuleCheck.h"

#include <cstring>
#include <memory>

namespace {

// The row's conclusions and fired rules; every firing into the tallies.
void ReadPass(const EngineProcess& engine, CheckRow& row, std::vector<RuleTally>& tallies) {
    row.conclusions.assign(engine.conclusions, engine.conclusions + engine.conclusionCount);
    row.firings = engine.firings;
    row.work = engine.work;
    std::vector<bool> seen(tallies.size(), false);
    for (const uint32_t index : engine.fired) {
        if (row.fired.size() < RuleCheckReport::kMaxFiredKept) row.fired.push_back(engine.RuleName(index));
        if (index >= tallies.size()) continue;
        ++tallies[index].firings;
        if (!seen[index]) {
            seen[index] = true;
            ++tallies[index].passes;
        }
    }
}

void RunPasses(EngineProcess& engine, RuleCheckReport& report, MessageGate& messages) {
    int32_t failuresInARow = 0;
    for (size_t index = 0; index < kCombinationCount; ++index) {
        CheckRow row;
        CombinationValues(index, row.values);
        const char* words[kSymbolCount];
        for (size_t s = 0; s < kSymbolCount; ++s) words[s] = kSymbolWords[s][row.values[s]];
        const PassFacts facts{words[0], words[1], words[2], words[3], words[4], words[5]};
        row.result = engine.Pass(facts);
        if (row.result == PassResult::Abandoned) {
            report.stopped = true;
            report.stopReason = "interrupted";
            return;
        }
        messages.EngineText(engine.engineErrors.text, engine.engineErrors.length);
        messages.Refused(engine.refusedCalls.data(), engine.refusedCalls.size());
        if (row.result == PassResult::EngineFailed) {
            report.stopReason = engine.Problem();
            if (++failuresInARow >= RuleCheckReport::kMaxFailuresInARow) {
                report.rows.push_back(std::move(row));
                report.stopped = true;
                return;
            }
        } else {
            failuresInARow = 0;
            ReadPass(engine, row, report.tallies);
        }
        report.rows.push_back(std::move(row));
    }
}

RuleCheckReport Finish(EngineProcess& engine, LoadResult load, MessageGate& messages) {
    RuleCheckReport report;
    report.source = engine.RulesPath();
    report.load = load;
    report.usable = engine.Ready();
    if (load != LoadResult::Loaded) report.problem = engine.Problem();
    report.diagnostics.assign(engine.diagnostics, engine.diagnostics + engine.diagnosticCount);
    report.diagnosticsDropped = engine.diagnosticsDropped;
    report.world = engine.worldReport;
    report.colony = engine.colonyReport;
    report.rules = engine.rules;
    report.tallies.assign(report.rules.size(), RuleTally{});
    // Its messages say with their lines what the engine wrote while loading.
    if (engine.diagnosticCount == 0) messages.EngineText(engine.engineErrors.text, engine.engineErrors.length);
    messages.Refused(engine.refusedCalls.data(), engine.refusedCalls.size());
    if (report.usable) RunPasses(engine, report, messages);
    return report;
}

std::unique_ptr<EngineProcess> CheckingEngine() {
    auto engine = std::make_unique<EngineProcess>();
    engine->SetTraceRules(true);
    return engine;
}

}  // namespace

bool RuleCheckReport::Passed() const {
    if (load != LoadResult::Loaded || !usable || stopped || rows.size() != kCombinationCount) {
        return false;
    }
    for (const CheckRow& row : rows) {
        if (row.result != PassResult::Listed) return false;
    }
    return true;
}

void CombinationValues(size_t index, uint8_t values[kSymbolCount]) {
    for (size_t s = kSymbolCount; s-- > 0;) {
        values[s] = static_cast<uint8_t>(index % kSymbolWordCount);
        index /= kSymbolWordCount;
    }
}

RuleCheckReport CheckRuleFile(const char* path, MessageGate& messages) {
    auto engine = CheckingEngine();
    const LoadResult load = engine->Load(path);
    return Finish(*engine, load, messages);
}

RuleCheckReport CheckRuleText(const char* name, const char* text, size_t length,
                              MessageGate& messages) {
    auto engine = CheckingEngine();
    const LoadResult load = engine->LoadText(name, text, length);
    return Finish(*engine, load, messages);
}

RuleCheckReport CheckRuleFile(const char* path) {
    MessageGate messages(stderr);
    return CheckRuleFile(path, messages);
}

RuleCheckReport CheckRuleText(const char* name, const char* text, size_t length) {
    MessageGate messages(stderr);
    return CheckRuleText(name, text, length, messages);
}

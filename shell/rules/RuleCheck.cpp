#include "shell/rules/RuleCheck.h"

#include <cstring>
#include <memory>

namespace {

void ReadPass(const EngineProcess& engine, CheckRow& row) {
    const char* cursor = engine.factListing;
    char token[kTokenTextCapacity];
    for (TokenKind kind = NextToken(cursor, token); kind != TokenEnd;
         kind = NextToken(cursor, token)) {
        Conclusion conclusion;
        if (kind == TokenWord && ConclusionFromWord(token, conclusion)) {
            row.conclusions.push_back(conclusion);
        }
    }
    // "name\n" per firing.
    const char* name = engine.firedRules.text;
    while (*name != '\0') {
        const char* end = std::strchr(name, '\n');
        const size_t length = end != nullptr ? static_cast<size_t>(end - name) : std::strlen(name);
        if (row.fired.size() < RuleCheckReport::kMaxFiredKept) row.fired.emplace_back(name, length);
        ++row.firings;
        if (end == nullptr) break;
        name = end + 1;
    }
}

void RunPasses(EngineProcess& engine, RuleCheckReport& report) {
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
        if (row.result == PassResult::EngineFailed) {
            report.stopReason = engine.Problem();
            if (++failuresInARow >= RuleCheckReport::kMaxFailuresInARow) {
                report.rows.push_back(std::move(row));
                report.stopped = true;
                return;
            }
        } else {
            failuresInARow = 0;
            ReadPass(engine, row);
            // The engine stopped it at the limit; its list of names is bounded.
            if (row.result == PassResult::CutOff) row.firings = RuleEngine::kMaxRuleFirings;
        }
        report.rows.push_back(std::move(row));
    }
}

RuleCheckReport Finish(EngineProcess& engine, LoadResult load) {
    RuleCheckReport report;
    report.source = engine.RulesPath();
    report.load = load;
    report.usable = engine.Ready();
    if (load != LoadResult::Loaded) report.problem = engine.Problem();
    report.diagnostics.assign(engine.diagnostics, engine.diagnostics + engine.diagnosticCount);
    report.diagnosticsDropped = engine.diagnosticsDropped;
    report.world = engine.worldReport;
    report.colony = engine.colonyReport;
    const char* name = engine.ruleNames.text;
    while (*name != '\0') {
        const char* end = std::strchr(name, '\n');
        if (end == nullptr) break;
        report.rules.emplace_back(name, static_cast<size_t>(end - name));
        name = end + 1;
    }
    if (report.usable) RunPasses(engine, report);
    return report;
}

std::unique_ptr<EngineProcess> CheckingEngine() {
    auto engine = std::make_unique<EngineProcess>();
    engine->SetShowLoadErrors(false);  // the report shows them with their lines
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

RuleCheckReport CheckRuleFile(const char* path) {
    auto engine = CheckingEngine();
    const LoadResult load = engine->Load(path);
    return Finish(*engine, load);
}

RuleCheckReport CheckRuleText(const char* name, const char* text, size_t length) {
    auto engine = CheckingEngine();
    const LoadResult load = engine->LoadText(name, text, length);
    return Finish(*engine, load);
}

// EngineProcess: loading a rule base held in memory, what a load reports to
// a person, and trading engines with another EngineProcess (a reload).
#include <cstdio>
#include <cstring>
#include <utility>

#include "policy/EngineProcess.h"

void EngineProcess::ClearLoadReport() {
    diagnosticCount = 0;
    diagnosticsDropped = 0;
    loadErrors.Clear();
    worldReport = TemplateReport{};
    colonyReport = TemplateReport{};
    ruleNames.Clear();
}

LoadResult EngineProcess::LoadText(const char* name, const char* text, size_t length) {
    channel.End(true);
    engineLoaded = false;
    ready = false;
    problem[0] = '\0';
    rulesPath = name;
    ClearListing();
    ClearLoadReport();
    if (length > kMaxRuleBaseBytes) {
        std::snprintf(problem, sizeof problem, "the rule base \"%s\" is larger than %zu MiB", name,
                      kMaxRuleBaseBytes >> 20);
        return LoadResult::CannotRead;
    }
    ruleBaseText.assign(text, length);
    return LoadReadText();
}

void EngineProcess::FirstLoadError(char* text, size_t capacity) const {
    if (capacity == 0) return;
    for (size_t i = 0; i < diagnosticCount; ++i) {
        if (diagnostics[i].warning) continue;
        const char* message = diagnostics[i].text;
        const char* end = std::strchr(message, '\n');
        const int length = static_cast<int>(end != nullptr ? end - message : std::strlen(message));
        std::snprintf(text, capacity, "%s:%d: %.*s", rulesPath.c_str(), diagnostics[i].line, length,
                      message);
        return;
    }
    std::snprintf(text, capacity, "%s", problem[0] != '\0' ? problem : "the rule base did not load");
}

void EngineProcess::Swap(EngineProcess& other) noexcept {
    channel.Swap(other.channel);
    rulesPath.swap(other.rulesPath);
    ruleBaseText.swap(other.ruleBaseText);
    std::swap(program, other.program);
    std::swap(engineLoaded, other.engineLoaded);
    std::swap(ready, other.ready);
    std::swap(problem, other.problem);
    std::swap(diagnostics, other.diagnostics);
    std::swap(diagnosticCount, other.diagnosticCount);
    std::swap(diagnosticsDropped, other.diagnosticsDropped);
    std::swap(loadErrors, other.loadErrors);
    std::swap(worldReport, other.worldReport);
    std::swap(colonyReport, other.colonyReport);
    std::swap(ruleNames, other.ruleNames);
    ClearListing();
    other.ClearListing();
}

// EngineProcess: loading a rule base held in memory, what a load reports to
// a person, and trading engines with another EngineProcess (a reload).
#include <cstdio>
#include <cstring>
#include <utility>

#include "policy/EngineProcess.h"
#include "policy/SafeText.h"

void EngineProcess::ClearLoadReport() {
    diagnosticCount = 0;
    diagnosticsDropped = 0;
    worldReport = TemplateReport{};
    colonyReport = TemplateReport{};
    rules.clear();
    loadWork = 0;
    textStart = 0;
}

LoadResult EngineProcess::LoadText(const char* name, const char* text, size_t length) {
    LetEngineGo();
    ready = false;
    backstop = false;
    problem[0] = '\0';
    rulesPath = name;
    ClearPass();
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
        char line[kProblemCapacity];
        std::snprintf(line, sizeof line, "%s:%d: %.*s", rulesPath.c_str(), diagnostics[i].line,
                      length, message);
        EscapeInto(text, capacity, line, std::strlen(line));
        return;
    }
    const char* const reason = problem[0] != '\0' ? problem : "the rule base did not load";
    EscapeInto(text, capacity, reason, std::strlen(reason));
}

void EngineProcess::Swap(EngineProcess& other) noexcept {
    channel.Swap(other.channel);
    rulesPath.swap(other.rulesPath);
    ruleBaseText.swap(other.ruleBaseText);
    std::swap(textStart, other.textStart);
    std::swap(program, other.program);
    std::swap(engineLoaded, other.engineLoaded);
    std::swap(ready, other.ready);
    std::swap(problem, other.problem);
    std::swap(diagnostics, other.diagnostics);
    std::swap(diagnosticCount, other.diagnosticCount);
    std::swap(diagnosticsDropped, other.diagnosticsDropped);
    std::swap(worldReport, other.worldReport);
    std::swap(colonyReport, other.colonyReport);
    rules.swap(other.rules);
    std::swap(loadWork, other.loadWork);
    std::swap(backstop, other.backstop);
    ClearPass();
    other.ClearPass();
}

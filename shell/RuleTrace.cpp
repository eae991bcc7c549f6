#include "shell/RuleTrace.h"

#include <cerrno>
#include <cstring>

#include "simulation/Simulation.h"

namespace {

const char* OutcomeWord(PassOutcome outcome) {
    switch (outcome) {
        case PassOutcome::Listed: return "complete";
        case PassOutcome::CutOff: return "cut-off";
        case PassOutcome::EngineFailed: return "engine-failed";
    }
    return "?";
}

void AppendShare(std::string& line, const char* name, float before, float after) {
    char text[96];
    std::snprintf(text, sizeof text, " %s=%.4f>%.4f", name, static_cast<double>(before),
                  static_cast<double>(after));
    line += text;
}

// A pass's own copy of its fired rules (blank-separated, bounded) as the
// engine's "name\n" list; a copy that was cut ends with "...".
std::string FiredOfRecord(const PassRecord& record) {
    std::string fired(record.fired.text, record.fired.length);
    for (char& c : fired) {
        if (c == ' ') c = '\n';
    }
    if (!fired.empty()) fired += '\n';
    if (record.fired.overflow) fired += "...\n";
    return fired;
}

}  // namespace

std::string FormatTraceLine(const PassRecord& record, const char* fired) {
    std::string line = "step=" + std::to_string(record.step);
    line += " result=";
    line += OutcomeWord(record.outcome);
    for (size_t s = 0; s < kSymbolCount; ++s) {
        line += ' ';
        line += kSymbolSlots[s];
        line += '=';
        line += record.symbols[s] != nullptr ? record.symbols[s] : "?";
    }
    line += " fired=";
    const size_t start = line.size();
    for (const char* name = fired; name != nullptr && *name != '\0';) {
        const char* end = std::strchr(name, '\n');
        const size_t length = end != nullptr ? static_cast<size_t>(end - name) : std::strlen(name);
        if (line.size() > start) line += ',';
        line.append(name, length);
        if (end == nullptr) break;
        name = end + 1;
    }
    if (line.size() == start) line += '-';
    line += " conclusions=";
    for (int32_t i = 0; i < record.KeptConclusions(); ++i) {
        if (i > 0) line += ',';
        line += ConclusionName(record.conclusions[i]);
    }
    if (record.conclusionCount > record.KeptConclusions()) {
        line += ",...(" + std::to_string(record.conclusionCount) + ")";
    }
    if (record.conclusionCount == 0) line += '-';
    AppendShare(line, "gathering", record.before.gathering, record.after.gathering);
    AppendShare(line, "meandering", record.before.meandering, record.after.meandering);
    AppendShare(line, "wandering", record.before.wandering, record.after.wandering);
    AppendShare(line, "reproducing", record.before.reproducing, record.after.reproducing);
    return line;
}

RuleTraceWriter::~RuleTraceWriter() {
    std::string ignored;
    Close(ignored);
}

bool RuleTraceWriter::Open(const char* file, RunObserver* nextObserver, std::string& error) {
    path = file;
    next = nextObserver;
    toStdout = path == "-";
    out = toStdout ? stdout : std::fopen(file, "w");
    if (out == nullptr) {
        error = "cannot open '" + path + "' for the rule trace: " + std::strerror(errno);
        return false;
    }
    return true;
}

void RuleTraceWriter::AfterStep(const Simulation& simulation) {
    if (next != nullptr) next->AfterStep(simulation);
    if (out == nullptr) return;
    const ExpertSystem& expert = simulation.expertSystem;
    const PassJournal& journal = expert.journal;
    if (journal.passes == written) return;
    // At most one pass per step; should more have come, those the ring still
    // holds are written, oldest first.
    int64_t missing = journal.passes - written;
    if (missing > static_cast<int64_t>(journal.Kept())) missing = static_cast<int64_t>(journal.Kept());
    for (int64_t age = missing - 1; age >= 0; --age) {
        const PassRecord& record = journal.Back(static_cast<size_t>(age));
        // The engine's list is whole but names the latest pass's rules only,
        // and none when another rule base was switched in after the pass
        // (the window's switch takes the lock between the step and this
        // call); otherwise the pass's own, bounded copy.
        const char* engineFired = expert.engine.firedRules.text;
        const bool engineHasThem = age == 0 && (*engineFired != '\0' || record.firings == 0);
        const std::string line = FormatTraceLine(
            record, engineHasThem ? engineFired : FiredOfRecord(record).c_str());
        std::fputs(line.c_str(), out);
        std::fputc('\n', out);
    }
    // Out as soon as it is written: the trace is read while the colony runs
    // (tail -f, or a window being watched), and a full stdio buffer holds a
    // dozen passes. One flush a pass, every 52 steps, costs nothing.
    std::fflush(out);
    written = journal.passes;
}

bool RuleTraceWriter::Close(std::string& error) {
    if (out == nullptr) return true;
    const bool flushed = std::fflush(out) == 0 && std::ferror(out) == 0;
    const int writeError = errno;
    const bool closed = toStdout || std::fclose(out) == 0;
    out = nullptr;
    if (!flushed || !closed) {
        error = "error writing the rule trace '" + path + "': " + std::strerror(writeError);
        return false;
    }
    return true;
}

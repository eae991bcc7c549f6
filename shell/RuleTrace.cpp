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
        case PassOutcome::TooManyConclusions: return "too-many-conclusions";
    }
    return "?";
}

void AppendShare(std::string& line, const char* name, float before, float after) {
    char text[96];
    std::snprintf(text, sizeof text, " %s=%.4f>%.4f", name, static_cast<double>(before),
                  static_cast<double>(after));
    line += text;
}

// The names the journal kept of a pass, blank-separated.
std::vector<std::string> KeptNames(const PassRecord& record) {
    std::vector<std::string> names;
    const char* name = record.fired.text;
    while (*name != '\0') {
        const char* end = std::strchr(name, ' ');
        const size_t length = end != nullptr ? static_cast<size_t>(end - name) : std::strlen(name);
        names.emplace_back(name, length);
        if (end == nullptr) break;
        name = end + 1;
    }
    return names;
}

}  // namespace

std::string FormatTraceLine(const PassRecord& record, const std::vector<std::string>& fired) {
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
    for (size_t i = 0; i < fired.size(); ++i) {
        if (i > 0) line += ',';
        line += fired[i];
    }
    if (record.firings > static_cast<int32_t>(fired.size())) {
        line += (fired.empty() ? "" : ",") + std::string("...(") + std::to_string(record.firings) + ")";
    }
    if (fired.empty() && record.firings == 0) line += '-';
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
    line += " work=" + std::to_string(record.work);
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
        std::vector<std::string> names;
        if (age == 0 && (!expert.engine.fired.empty() || record.firings == 0)) {
            for (const uint32_t index : expert.engine.fired) names.push_back(expert.engine.RuleName(index));
        } else {
            names = KeptNames(record);
        }
        const std::string line = FormatTraceLine(record, names);
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

#include "shell/rules/CheckRulesCommand.h"

#include <signal.h>
#include <sys/stat.h>

#include <cstring>
#include <map>

#include "policy/RuleBaseText.h"
#include "policy/RuleGallery.h"
#include "settings/UserGallery.h"
#include "settings/UserFiles.h"
#include "shell/ExitStatus.h"

namespace {

// Combinations listed by name in a summary section; the CSV has them all.
constexpr size_t kListedCombinations = 20;
constexpr const char* kBuiltInName = "built-in Rules.clp";

bool IsFile(const std::string& path) {
    struct stat info {};
    return !path.empty() && stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

const char* ResultWord(PassResult result) {
    switch (result) {
        case PassResult::Listed: return "complete";
        case PassResult::CutOff: return "cut-off";
        case PassResult::Failed: return "no-facts";
        case PassResult::EngineFailed: return "engine-failed";
        case PassResult::Abandoned: return "abandoned";
    }
    return "?";
}

std::string Combination(const CheckRow& row) {
    std::string text;
    for (size_t s = 0; s < kSymbolCount; ++s) {
        if (s > 0) text += ' ';
        text += kSymbolSlots[s];
        text += '=';
        text += kSymbolWords[s][row.values[s]];
    }
    return text;
}

bool Has(const CheckRow& row, Conclusion conclusion) {
    for (Conclusion c : row.conclusions) {
        if (c == conclusion) return true;
    }
    return false;
}

// Two conclusions that pull one action line, and so one share, both ways.
bool Fights(const CheckRow& row) {
    return (Has(row, Conclusion::RaisePopulation) && Has(row, Conclusion::LowerPopulation)) ||
           (Has(row, Conclusion::RaiseFoodIntake) && Has(row, Conclusion::LowerFoodIntake));
}

std::string Conclusions(const CheckRow& row) {
    std::string text;
    for (Conclusion c : row.conclusions) {
        if (!text.empty()) text += ' ';
        text += ConclusionName(c);
    }
    return text;
}

void ListRows(std::FILE* out, const char* title, const std::vector<const CheckRow*>& rows,
              bool withConclusions) {
    std::fprintf(out, "%s: %zu\n", title, rows.size());
    for (size_t i = 0; i < rows.size() && i < kListedCombinations; ++i) {
        std::fprintf(out, "  %s", Combination(*rows[i]).c_str());
        if (withConclusions) std::fprintf(out, "  -> %s", Conclusions(*rows[i]).c_str());
        std::fputc('\n', out);
    }
    if (rows.size() > kListedCombinations) {
        std::fprintf(out, "  ... and %zu more (--format csv lists every combination)\n",
                     rows.size() - kListedCombinations);
    }
}

// A CSV field: quoted when it holds a comma, a quote or a line break.
void CsvField(std::FILE* out, const std::string& field) {
    if (field.find_first_of(",\"\r\n") == std::string::npos) {
        std::fputs(field.c_str(), out);
        return;
    }
    std::fputc('"', out);
    for (char c : field) {
        if (c == '"') std::fputc('"', out);
        std::fputc(c, out);
    }
    std::fputc('"', out);
}

void Indented(std::FILE* out, const char* text) {
    const char* line = text;
    while (*line != '\0') {
        const char* end = std::strchr(line, '\n');
        const size_t length = end != nullptr ? static_cast<size_t>(end - line) : std::strlen(line);
        if (length > 0) std::fprintf(out, "    %.*s\n", static_cast<int>(length), line);
        if (end == nullptr) break;
        line = end + 1;
    }
}

void DescribeTemplate(std::FILE* out, const char* name, const TemplateReport& report,
                      const char* const* slots, size_t count) {
    if (!report.found) {
        std::fprintf(out, "template %s: missing\n", name);
        return;
    }
    std::fprintf(out, "template %s (module %s):", name, report.module);
    for (size_t i = 0; i < count; ++i) {
        const char* state = report.slots[i] == SlotKind::Single  ? ""
                            : report.slots[i] == SlotKind::Multi ? " (multislot: wrong)"
                                                                 : " (missing)";
        std::fprintf(out, " %s%s", slots[i], state);
    }
    std::fputc('\n', out);
}

}  // namespace

std::string DefaultRuleBaseForCheck() {
    // Where a run would read it from, looked up without making anything.
    const UserFiles files = LookUpUserFiles(UserFileInputsFromEnvironment());
    return IsFile(files.rules.path) ? files.rules.path : std::string();
}

void WriteLoadMessages(const RuleCheckReport& report, std::FILE* out) {
    for (const LoadDiagnostic& d : report.diagnostics) {
        const char* end = std::strchr(d.text, '\n');
        const int first = static_cast<int>(end != nullptr ? end - d.text : std::strlen(d.text));
        std::fprintf(out, "%s:%d: %s: %.*s\n", report.source.c_str(), d.line,
                     d.warning ? "warning" : "error", first, d.text);
        if (end != nullptr) Indented(out, end + 1);
    }
    if (report.diagnosticsDropped > 0) {
        std::fprintf(out, "%s: %zu more messages not shown\n", report.source.c_str(),
                     report.diagnosticsDropped);
    }
    // Why it failed when the engine itself said nothing (unreadable file,
    // templates that do not fit, an engine that died).
    if (report.load != LoadResult::Loaded && report.load != LoadResult::HasErrors) {
        std::fprintf(out, "marrowick: %s\n", report.problem.c_str());
    } else if (report.load == LoadResult::HasErrors && !report.usable) {
        std::fprintf(out, "marrowick: the rule base \"%s\" lacks the templates the expert system "
                          "asserts into\n", report.source.c_str());
    }
    if (report.stopped) {
        std::fprintf(out, "marrowick: the check stopped after %zu of %zu passes: %s\n",
                     report.rows.size(), kCombinationCount, report.stopReason.c_str());
    }
}

void WriteCheckSummary(const RuleCheckReport& report, std::FILE* out) {
    const char* state = report.load == LoadResult::Loaded      ? "loaded"
                        : report.load == LoadResult::HasErrors ? "loaded with errors"
                                                               : "did not load";
    std::fprintf(out, "%s: %s, %zu rules\n", report.source.c_str(), state, report.rules.size());
    if (report.world.found || report.colony.found || report.load != LoadResult::CannotRead) {
        DescribeTemplate(out, kWorldTemplate, report.world, kWorldSlots, kWorldSlotCount);
        DescribeTemplate(out, kColonyTemplate, report.colony, kColonySlots, kColonySlotCount);
    }
    if (!report.usable) {
        std::fprintf(out, "no passes run\n");
        return;
    }

    std::vector<const CheckRow*> silent;
    std::vector<const CheckRow*> fighting;
    std::vector<const CheckRow*> cutOff;
    size_t complete = 0;
    size_t failed = 0;
    size_t conclusionPasses[kConclusionCount] = {};
    std::map<std::string, std::pair<size_t, size_t>> ruleCounts;  // passes, firings
    for (const std::string& rule : report.rules) ruleCounts[rule] = {0, 0};
    for (const CheckRow& row : report.rows) {
        if (row.result == PassResult::CutOff) cutOff.push_back(&row);
        if (row.result == PassResult::Listed) {
            ++complete;
            if (row.conclusions.empty()) silent.push_back(&row);
            if (Fights(row)) fighting.push_back(&row);
            for (size_t c = 0; c < kConclusionCount; ++c) {
                if (Has(row, static_cast<Conclusion>(c))) ++conclusionPasses[c];
            }
        } else if (row.result != PassResult::CutOff) {
            ++failed;
        }
        // A cut-off pass fired its rules too (the first kMaxFiredKept are known).
        std::map<std::string, bool> seen;
        for (const std::string& rule : row.fired) {
            auto& counts = ruleCounts[rule];
            ++counts.second;
            if (!seen[rule]) {
                seen[rule] = true;
                ++counts.first;
            }
        }
    }
    std::fprintf(out, "passes: %zu of %zu run, %zu complete, %zu cut off, %zu failed\n",
                 report.rows.size(), kCombinationCount, complete, cutOff.size(), failed);
    ListRows(out, "no conclusion", silent, false);
    ListRows(out, "raise and lower together", fighting, true);
    ListRows(out, "cut off", cutOff, false);
    std::fprintf(out, "conclusions (passes that drew each):\n");
    for (size_t c = 0; c < kConclusionCount; ++c) {
        std::fprintf(out, "  %-22s %4zu\n", kConclusionNames[c], conclusionPasses[c]);
    }
    std::fprintf(out, "rules (passes that fired each, firings; of a cut-off pass the first %zu):\n",
                 RuleCheckReport::kMaxFiredKept);
    // Defined rules in their order, then any fired rule the list lacks.
    std::vector<std::string> order = report.rules;
    for (const auto& entry : ruleCounts) {
        bool listed = false;
        for (const std::string& rule : report.rules) listed = listed || rule == entry.first;
        if (!listed) order.push_back(entry.first);
    }
    for (const std::string& rule : order) {
        const auto& counts = ruleCounts[rule];
        std::fprintf(out, "  %-22s %4zu %5zu%s\n", rule.c_str(), counts.first, counts.second,
                     counts.second == 0 ? "  never fires" : "");
    }
}

void WriteCheckCsv(const RuleCheckReport& report, std::FILE* out) {
    for (size_t s = 0; s < kSymbolCount; ++s) std::fprintf(out, "%s,", kSymbolSlots[s]);
    std::fputs("conclusions,fired_rules,result\n", out);
    for (const CheckRow& row : report.rows) {
        for (size_t s = 0; s < kSymbolCount; ++s) {
            std::fprintf(out, "%s,", kSymbolWords[s][row.values[s]]);
        }
        CsvField(out, Conclusions(row));
        std::fputc(',', out);
        std::string fired;
        for (const std::string& rule : row.fired) {
            if (!fired.empty()) fired += ' ';
            fired += rule;
        }
        if (row.firings > static_cast<int32_t>(row.fired.size())) {
            fired += " ... (" + std::to_string(row.firings) + " firings)";
        }
        CsvField(out, fired);
        std::fprintf(out, ",%s\n", ResultWord(row.result));
    }
}

int RunCheckRules(const CommandLine& line) {
    const char* file = line.Text(OptionId::CheckRules);
    if (!line.positionals.empty()) {
        if (file != nullptr) {
            std::fprintf(stderr, "marrowick: --check-rules checks one file; '%s' is a second\n",
                         Printable(line.positionals[0]).c_str());
            return kExitUsage;
        }
        file = line.positionals[0];
    }
    const CheckFormat format = std::strcmp(line.Text(OptionId::Format, "text"), "csv") == 0
                                   ? CheckFormat::Csv
                                   : CheckFormat::Text;

    // A reader that goes away (| head) makes the writes fail, which is
    // reported, rather than ending the program by the signal.
    signal(SIGPIPE, SIG_IGN);
    RuleCheckReport report;
    const RuleBaseEntry* entry = nullptr;
    RuleGallery gallery;
    if (file != nullptr && !IsFile(file) && std::strchr(file, '/') == nullptr) {
        // No such file: a name of the gallery ("--check-rules thrifty").
        gallery = UserRuleGallery();
        entry = gallery.Find(file);
    }
    if (entry != nullptr && entry->origin == RuleBaseOrigin::Shipped) {
        report = CheckRuleText(entry->name.c_str(), entry->text, entry->length);
    } else if (entry != nullptr) {
        report = CheckRuleFile(entry->path.c_str());
    } else if (file != nullptr) {
        report = CheckRuleFile(file);
    } else {
        const std::string chosen = DefaultRuleBaseForCheck();
        report = chosen.empty() ? CheckRuleText(kBuiltInName, kRuleBaseText, kRuleBaseLength)
                                : CheckRuleFile(chosen.c_str());
    }
    WriteLoadMessages(report, stderr);
    if (format == CheckFormat::Csv) {
        WriteCheckCsv(report, stdout);
    } else {
        WriteCheckSummary(report, stdout);
    }
    const bool written = std::fflush(stdout) == 0 && std::ferror(stdout) == 0;
    if (!written) {
        std::fprintf(stderr, "marrowick: the report could not be written to standard output\n");
        return kExitFailure;
    }
    return report.Passed() ? kExitOk : kExitFailure;
}

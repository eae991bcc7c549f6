#include "shell/rules/CheckRulesCommand.h"

#include <signal.h>
#include <sys/stat.h>

#include <cstring>

#include "policy/LoadMessages.h"
#include "policy/RuleBaseText.h"
#include "policy/RuleGallery.h"
#include "policy/SafeText.h"
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
        case PassResult::TooManyConclusions: return "too-many-conclusions";
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
    const std::string messages =
        FormatLoadMessages(report.source.c_str(), report.diagnostics.data(), report.diagnostics.size(),
                           report.diagnosticsDropped, "");
    std::fputs(messages.c_str(), out);
    const std::string source = Escaped(report.source.c_str(), false);
    // Why it failed when the engine itself said nothing (unreadable file,
    // text that is no UTF-8, templates that do not fit, an engine that died).
    if (report.load != LoadResult::Loaded && report.load != LoadResult::HasErrors) {
        std::fprintf(out, "marrowick: %s\n", Escaped(report.problem.c_str(), false).c_str());
    } else if (report.load == LoadResult::HasErrors && !report.usable) {
        std::fprintf(out, "marrowick: the rule base \"%s\" lacks the templates the expert system "
                          "asserts into\n", source.c_str());
    }
    if (report.stopped) {
        std::fprintf(out, "marrowick: the check stopped after %zu of %zu passes: %s\n",
                     report.rows.size(), kCombinationCount,
                     Escaped(report.stopReason.c_str(), false).c_str());
    }
}

void WriteCheckSummary(const RuleCheckReport& report, std::FILE* out) {
    const char* state = report.load == LoadResult::Loaded      ? "loaded"
                        : report.load == LoadResult::HasErrors ? "loaded with errors"
                                                               : "did not load";
    std::fprintf(out, "%s: %s, %zu rules\n", Escaped(report.source.c_str(), false).c_str(), state,
                 report.rules.size());
    if (report.world.found || report.colony.found ||
        (report.load != LoadResult::CannotRead && report.load != LoadResult::BadText)) {
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
    std::vector<const CheckRow*> tooMany;
    const CheckRow* busiest = nullptr;
    size_t complete = 0;
    size_t failed = 0;
    size_t conclusionPasses[kConclusionCount] = {};
    for (const CheckRow& row : report.rows) {
        if (row.result == PassResult::CutOff) cutOff.push_back(&row);
        if (row.result == PassResult::TooManyConclusions) tooMany.push_back(&row);
        if (row.result == PassResult::Listed) {
            ++complete;
            if (row.conclusions.empty()) silent.push_back(&row);
            if (Fights(row)) fighting.push_back(&row);
            for (size_t c = 0; c < kConclusionCount; ++c) {
                if (Has(row, static_cast<Conclusion>(c))) ++conclusionPasses[c];
            }
            if (busiest == nullptr || row.work > busiest->work) busiest = &row;
        } else if (row.result == PassResult::EngineFailed) {
            ++failed;
        }
    }
    std::fprintf(out, "passes: %zu of %zu run, %zu complete, %zu cut off, %zu failed\n",
                 report.rows.size(), kCombinationCount, complete, cutOff.size() + tooMany.size(),
                 failed);
    if (busiest != nullptr) {
        std::fprintf(out, "work: at most %lld of %lld units in a complete pass (%s)\n",
                     static_cast<long long>(busiest->work), static_cast<long long>(kPassWorkBudget),
                     Combination(*busiest).c_str());
    }
    ListRows(out, "no conclusion", silent, false);
    ListRows(out, "raise and lower together", fighting, true);
    ListRows(out, "cut off", cutOff, false);
    if (!tooMany.empty()) ListRows(out, "too many conclusions", tooMany, false);
    std::fprintf(out, "conclusions (passes that drew each):\n");
    for (size_t c = 0; c < kConclusionCount; ++c) {
        std::fprintf(out, "  %-22s %4zu\n", kConclusionNames[c], conclusionPasses[c]);
    }
    std::fprintf(out, "rules (passes that fired each, firings):\n");
    for (size_t r = 0; r < report.rules.size(); ++r) {
        const RuleTally tally = r < report.tallies.size() ? report.tallies[r] : RuleTally{};
        std::fprintf(out, "  %-22s %4zu %5zu%s\n", report.rules[r].c_str(), tally.passes,
                     tally.firings, tally.firings == 0 ? "  never fires" : "");
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
    // What the engine says on the way, bounded; its load messages follow in
    // full, with their lines.
    MessageGate messages(stderr);
    const RuleBaseEntry* entry = nullptr;
    RuleGallery gallery;
    if (file != nullptr && !IsFile(file) && std::strchr(file, '/') == nullptr) {
        // No such file: a name of the gallery ("--check-rules thrifty").
        gallery = UserRuleGallery();
        entry = gallery.Find(file);
    }
    if (entry != nullptr && entry->origin == RuleBaseOrigin::Shipped) {
        report = CheckRuleText(entry->name.c_str(), entry->text, entry->length, messages);
    } else if (entry != nullptr) {
        report = CheckRuleFile(entry->path.c_str(), messages);
    } else if (file != nullptr) {
        report = CheckRuleFile(file, messages);
    } else {
        const std::string chosen = DefaultRuleBaseForCheck();
        report = chosen.empty() ? CheckRuleText(kBuiltInName, kRuleBaseText, kRuleBaseLength, messages)
                                : CheckRuleFile(chosen.c_str(), messages);
    }
    messages.Summarise();
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

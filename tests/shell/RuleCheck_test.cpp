// --check-rules: the 729-situation table of the shipped rule base against the
// ten rules as written (restated here on their own), and broken and edited
// rule bases: errors with their lines, templates that do not fit, rules that
// never settle, conclusions that pull one share both ways.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "policy/RuleBaseText.h"
#include "shell/rules/CheckRulesCommand.h"
#include "shell/rules/RuleCheck.h"
#include "tests/TempFolder.h"

namespace {

// ---------------------------------------------------------------------------
// The ten rules, restated. Each is a condition on the two template facts and
// the findings so far, whether it needs "no critical_situation", and what it
// asserts. The engine fires them depth first: the rules a new fact makes
// ready go before every rule that was ready already, and rules made ready by
// the same fact go in the order they are written. critical_situation takes
// back every ready rule that needs its absence.

struct Situation {
    std::string supply, supplyTrend, reserves, population, reservesTrend, gatherers;
};

using Facts = std::set<std::string>;

struct RuleStatement {
    const char* name;
    bool needsNoCritical;
    std::function<bool(const Situation&, const Facts&)> holds;
    std::vector<const char*> asserts;
};

bool In(const std::string& word, std::initializer_list<const char*> words) {
    for (const char* w : words) {
        if (word == w) return true;
    }
    return false;
}

const std::vector<RuleStatement>& TenRules() {
    static const std::vector<RuleStatement> rules = {
        {"need_more_food_for_pop", false,
         [](const Situation& s, const Facts&) { return s.reserves == "low"; },
         {"need_more_food_for_pop"}},
        {"can_get_more_food", false,
         [](const Situation& s, const Facts&) {
             return s.supply == "high" && In(s.reserves, {"low", "stable"});
         },
         {"can_get_more_food"}},
        {"use_everyone_for_food", true,
         [](const Situation& s, const Facts& f) {
             return s.gatherers == "high" && s.reservesTrend == "decreasing" &&
                    f.count("need_more_food_for_pop") > 0;
         },
         {"use_everyone_for_food", "critical_situation"}},
        {"stripping_food", false,
         [](const Situation& s, const Facts&) {
             return s.gatherers == "high" && s.supplyTrend == "decreasing";
         },
         {"stripping_food"}},
        {"over_population", false,
         [](const Situation& s, const Facts&) {
             return s.population == "high" && s.supply == "low";
         },
         {"over_population"}},
        {"over_using_food", true,
         [](const Situation&, const Facts& f) {
             return f.count("stripping_food") > 0 || f.count("over_population") > 0;
         },
         {"over_using_food", "critical_situation"}},
        {"lower_food_intake", true,
         [](const Situation& s, const Facts&) {
             return s.reserves == "high" && s.reservesTrend == "increasing";
         },
         {"lower_food_intake"}},
        {"lower_population", true,
         [](const Situation& s, const Facts&) {
             return (s.reserves == "low" && In(s.population, {"stable", "high"})) ||
                    s.population == "high";
         },
         {"lower_population"}},
        {"raise_food_intake", true,
         [](const Situation&, const Facts& f) {
             return f.count("need_more_food_for_pop") > 0 || f.count("can_get_more_food") > 0;
         },
         {"raise_food_intake"}},
        {"raise_population", true,
         [](const Situation& s, const Facts&) {
             return In(s.population, {"low", "stable"}) &&
                    (s.reserves == "high" ||
                     (In(s.reserves, {"stable", "low"}) && s.population == "low"));
         },
         {"raise_population"}},
    };
    return rules;
}

const std::set<std::string> kConclusionWords = {"raise_population", "raise_food_intake",
                                                "lower_population", "lower_food_intake",
                                                "over_using_food",  "use_everyone_for_food"};

// The conclusions the ten rules draw for s, in the order they are asserted.
std::vector<std::string> ExpectedConclusions(const Situation& s) {
    const auto& rules = TenRules();
    Facts facts;
    std::vector<std::string> conclusions;
    std::vector<bool> readied(rules.size(), false);
    std::vector<size_t> agenda;  // back() fires next
    auto ready = [&](size_t r) {
        const bool critical = facts.count("critical_situation") > 0;
        return rules[r].holds(s, facts) && !(rules[r].needsNoCritical && critical);
    };
    // After a fact: the rules it made ready, first written on top.
    auto activate = [&]() {
        std::vector<size_t> fresh;
        for (size_t r = 0; r < rules.size(); ++r) {
            if (!readied[r] && ready(r)) {
                readied[r] = true;
                fresh.push_back(r);
            }
        }
        for (size_t i = fresh.size(); i-- > 0;) agenda.push_back(fresh[i]);
    };
    activate();  // the colony fact, asserted after the world fact
    while (!agenda.empty()) {
        const size_t r = agenda.back();
        agenda.pop_back();
        if (!ready(r)) continue;  // taken back by critical_situation
        for (const char* fact : rules[r].asserts) {
            if (!facts.insert(fact).second) continue;
            if (kConclusionWords.count(fact) > 0) conclusions.push_back(fact);
            activate();
        }
    }
    return conclusions;
}

// Conclusions act in listing order, but only conclusions that act on the same
// share or action line can tell one order from another: those of one group.
// (Between the rest, such as lower_food_intake and lower_population, the
// engine's own order among rules one fact readied is free to differ.)
const std::vector<std::set<std::string>> kActingTogether = {
    {"raise_food_intake", "lower_food_intake", "over_using_food", "use_everyone_for_food"},
    {"raise_population", "lower_population", "over_using_food", "use_everyone_for_food"}};

// The same conclusions, and the same order within each group.
void ExpectSameEffect(const std::vector<std::string>& actual,
                      const std::vector<std::string>& expected, const std::string& row) {
    EXPECT_EQ(std::multiset<std::string>(actual.begin(), actual.end()),
              std::multiset<std::string>(expected.begin(), expected.end()))
        << row;
    for (const auto& group : kActingTogether) {
        std::vector<std::string> a;
        std::vector<std::string> e;
        for (const auto& c : actual) {
            if (group.count(c) > 0) a.push_back(c);
        }
        for (const auto& c : expected) {
            if (group.count(c) > 0) e.push_back(c);
        }
        EXPECT_EQ(a, e) << "order within one share: " << row;
    }
}

// ---------------------------------------------------------------------------

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(text);
    while (std::getline(in, part, separator)) parts.push_back(part);
    if (!text.empty() && text.back() == separator) parts.emplace_back();
    return parts;
}

template <typename Write>
std::string Captured(Write write) {
    char* buffer = nullptr;
    size_t size = 0;
    std::FILE* out = open_memstream(&buffer, &size);
    write(out);
    std::fclose(out);
    std::string text(buffer, size);
    std::free(buffer);
    return text;
}

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

const std::string kShipped(kRuleBaseText, kRuleBaseLength);

// What the engine says while a test checks, kept out of the test's output.
MessageGate& Messages() {
    static std::FILE* const sink = std::tmpfile();
    static MessageGate gate(sink);
    return gate;
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

std::string WithoutCarriageReturns(const std::string& text) {
    std::string plain;
    for (char c : text) {
        if (c != '\r') plain += c;
    }
    return plain;
}

TEST(RuleCheck, ShippedRuleBaseAgreesWithItsTenRulesInAll729Situations) {
    const RuleCheckReport report = CheckRuleText("Rules.clp", kShipped.data(), kShipped.size(), Messages());
    ASSERT_TRUE(report.Passed()) << report.problem;
    EXPECT_EQ(report.rules.size(), 10u);
    std::string csv = Captured([&](std::FILE* out) { WriteCheckCsv(report, out); });
    ASSERT_EQ(csv.back(), '\n');
    csv.pop_back();
    const std::vector<std::string> lines = Split(csv, '\n');
    ASSERT_EQ(lines.size(), kCombinationCount + 1);
    EXPECT_EQ(lines[0],
              "food_supply,change_FS,food_reserves,population,change_FR,num_gathering_ants,"
              "conclusions,fired_rules,result");
    std::set<std::string> seen;
    size_t withConclusions = 0;
    for (size_t i = 1; i < lines.size(); ++i) {
        const std::vector<std::string> f = Split(lines[i], ',');
        ASSERT_EQ(f.size(), 9u) << lines[i];
        seen.insert(f[0] + f[1] + f[2] + f[3] + f[4] + f[5]);
        const Situation s{f[0], f[1], f[2], f[3], f[4], f[5]};
        const std::vector<std::string> actual = f[6].empty() ? std::vector<std::string>{}
                                                             : Split(f[6], ' ');
        ExpectSameEffect(actual, ExpectedConclusions(s), lines[i]);
        EXPECT_EQ(f[8], "complete");
        withConclusions += actual.empty() ? 0 : 1;
    }
    EXPECT_EQ(seen.size(), kCombinationCount) << "every combination once";
    EXPECT_GT(withConclusions, 600u);
}

TEST(RuleCheck, EdgeCasesOfTheRuleBaseComeOutAsDescribed) {
    const struct {
        Situation situation;
        std::vector<std::string> conclusions;
    } cases[] = {
        {{"high", "stable", "high", "low", "stable", "low"}, {"raise_population"}},
        {{"high", "stable", "stable", "stable", "stable", "normal"}, {"raise_food_intake"}},
        {{"high", "stable", "high", "high", "increasing", "low"},
         {"lower_food_intake", "lower_population"}},
        {{"high", "stable", "low", "low", "stable", "low"},
         {"raise_food_intake", "raise_population"}},
    };
    for (const auto& c : cases) {
        ExpectSameEffect(ExpectedConclusions(c.situation), c.conclusions, c.situation.supply);
    }
}

TEST(RuleCheck, SummaryCountsConclusionsRulesAndSilentSituations) {
    const RuleCheckReport report = CheckRuleText("Rules.clp", kShipped.data(), kShipped.size(), Messages());
    const std::string text = Captured([&](std::FILE* out) { WriteCheckSummary(report, out); });
    EXPECT_NE(text.find("Rules.clp: loaded, 10 rules"), std::string::npos) << text;
    EXPECT_NE(text.find("template world (module MAIN): food_supply change_FS\n"), std::string::npos);
    EXPECT_NE(text.find("passes: 729 of 729 run, 729 complete, 0 cut off, 0 failed"),
              std::string::npos);
    EXPECT_NE(text.find("raise and lower together: 0\n"), std::string::npos);
    // Counted from the restated rules.
    size_t silent = 0;
    size_t raisePopulation = 0;
    for (size_t i = 0; i < kCombinationCount; ++i) {
        uint8_t v[kSymbolCount];
        CombinationValues(i, v);
        const Situation s{kSymbolWords[0][v[0]], kSymbolWords[1][v[1]], kSymbolWords[2][v[2]],
                          kSymbolWords[3][v[3]], kSymbolWords[4][v[4]], kSymbolWords[5][v[5]]};
        const auto conclusions = ExpectedConclusions(s);
        silent += conclusions.empty() ? 1 : 0;
        for (const auto& c : conclusions) raisePopulation += c == "raise_population" ? 1 : 0;
    }
    EXPECT_NE(text.find("no conclusion: " + std::to_string(silent) + "\n"), std::string::npos);
    char line[64];
    std::snprintf(line, sizeof line, "  %-22s %4zu\n", "raise_population", raisePopulation);
    EXPECT_NE(text.find(line), std::string::npos) << text;
    EXPECT_EQ(text.find("never fires"), std::string::npos);
    // A rule with an or fires by either alternative, and both count as it.
    EXPECT_NE(text.find("  lower_population        206   250\n"), std::string::npos) << text;
    EXPECT_NE(text.find("work: at most 62 of 100000 units in a complete pass"), std::string::npos);
}

TEST(RuleCheck, BrokenRuleBasesAreReportedWithFileAndLine) {
    TempFolder folder;
    // Two faults: a pattern left open (the engine notices at the declare on
    // the next line) and an unknown function.
    std::string broken = Replaced(kShipped, "(defrule stripping_food\r\n",
                                  "(defrule stripping_food\r\n\t(colony (num_gathering_ants high)\r\n");
    broken = Replaced(broken, "(assert (lower_population))", "(assert (lower_population)) (no-such 3)");
    const struct {
        const char* name;
        std::string text;
    } files[] = {{"crlf.clp", broken}, {"lf.clp", WithoutCarriageReturns(broken)}};
    // Lines as an editor counts them, whatever the line ends.
    auto lineOf = [](const std::string& text, const std::string& marker) {
        const size_t at = text.find(marker);
        EXPECT_NE(at, std::string::npos);
        int line = 1;
        for (size_t i = 0; i < at; ++i) line += text[i] == '\n' ? 1 : 0;
        return line;
    };
    const int declareLine = lineOf(broken, "(num_gathering_ants high)\r\n\t(declare") + 1;
    const int callLine = lineOf(broken, "(no-such 3)");
    ASSERT_EQ(declareLine, 38);
    ASSERT_EQ(callLine, 80);
    for (const auto& file : files) {
        const std::string path = folder.File(file.name);
        WriteFile(path, file.text);
        const RuleCheckReport report = CheckRuleFile(path.c_str(), Messages());
        EXPECT_FALSE(report.Passed());
        EXPECT_EQ(report.load, LoadResult::HasErrors);
        ASSERT_EQ(report.diagnostics.size(), 2u);
        EXPECT_EQ(report.diagnostics[0].line, declareLine) << file.name;
        EXPECT_EQ(report.diagnostics[1].line, callLine) << file.name;
        const std::string messages = Captured([&](std::FILE* out) { WriteLoadMessages(report, out); });
        EXPECT_NE(messages.find(path + ":38: error: [TMPLTDEF1] Invalid slot declare"),
                  std::string::npos)
            << messages;
        EXPECT_NE(messages.find(path + ":80: error: [EXPRNPSR3] Missing function declaration for "
                                       "no-such."),
                  std::string::npos)
            << messages;
        // The rules that did load still ran, and the summary says which never fire.
        EXPECT_EQ(report.rows.size(), kCombinationCount);
        EXPECT_EQ(report.rules.size(), 8u);
    }
}

TEST(RuleCheck, RuleBasesTheExpertSystemCannotUseFail) {
    TempFolder folder;
    const struct {
        const char* name;
        std::string text;
        const char* problem;
    } cases[] = {
        // The rules that use what is gone fail to load too (and a pattern on
        // world without its template makes an implied one, slots missing).
        {"no-world.clp", Replaced(kShipped, "(deftemplate world", "(deftemplate planet"),
         "template \"world\""},
        {"multislot.clp", Replaced(kShipped, "(slot change_FS", "(multislot change_FS"),
         "as a multislot"},
        {"missing-slot.clp", Replaced(kShipped, "(slot population", "(slot people"),
         "lacks slot \"population\""},
    };
    for (const auto& c : cases) {
        const std::string path = folder.File(c.name);
        WriteFile(path, c.text);
        const RuleCheckReport report = CheckRuleFile(path.c_str(), Messages());
        EXPECT_NE(report.load, LoadResult::Loaded) << c.name;
        EXPECT_FALSE(report.usable) << c.name;
        EXPECT_TRUE(report.rows.empty()) << c.name;
        EXPECT_FALSE(report.Passed()) << c.name;
        EXPECT_NE(report.problem.find(c.problem), std::string::npos) << report.problem;
    }
    const RuleCheckReport missing = CheckRuleFile(folder.File("nowhere.clp").c_str(), Messages());
    EXPECT_EQ(missing.load, LoadResult::CannotRead);
    EXPECT_NE(missing.problem.find("cannot be read"), std::string::npos);
}

TEST(RuleCheck, EditedRuleBasesShowFightsCutOffsAndRulesThatNeverFire) {
    TempFolder folder;
    const std::string extra =
        "\r\n(defrule cheer_up (colony (population low)) => (assert (raise_population)) "
        "(assert (lower_population)))\r\n"
        "(defrule never (world (food_supply high)) (world (food_supply low)) => "
        "(assert (raise_food_intake)))\r\n"
        "(defrule spin (world (change_FS increasing)) (colony (num_gathering_ants high)) => "
        "(assert (spin)))\r\n"
        "(defrule spin_more ?f <- (spin) => (retract ?f) (assert (spin)))\r\n";
    const std::string path = folder.File("edited.clp");
    WriteFile(path, kShipped + extra);
    const RuleCheckReport report = CheckRuleFile(path.c_str(), Messages());
    EXPECT_EQ(report.load, LoadResult::Loaded);
    EXPECT_FALSE(report.Passed()) << "cut-off passes fail the check";
    size_t cutOff = 0;
    for (const CheckRow& row : report.rows) cutOff += row.result == PassResult::CutOff ? 1 : 0;
    EXPECT_EQ(cutOff, kCombinationCount / 9) << "change_FS increasing with many gatherers";
    const std::string text = Captured([&](std::FILE* out) { WriteCheckSummary(report, out); });
    // Population low: cheer_up raises and lowers at once (minus the cut-off ones).
    EXPECT_NE(text.find("raise and lower together: 216\n"), std::string::npos) << text;
    EXPECT_NE(text.find("cut off: 81\n"), std::string::npos);
    bool neverListed = false;
    for (const std::string& line : Split(text, '\n')) {
        neverListed = neverListed || (line.rfind("  never ", 0) == 0 &&
                                      line.find("never fires") != std::string::npos);
    }
    EXPECT_TRUE(neverListed) << text;
    const std::string csv = Captured([&](std::FILE* out) { WriteCheckCsv(report, out); });
    EXPECT_NE(csv.find("spin spin_more spin_more"), std::string::npos);
    EXPECT_NE(csv.find(" firings),cut-off\n"), std::string::npos);
}

// A thousand rules more, fired one after another in every pass: every rule
// is counted (the names once filled a fixed buffer at 391 of 1,010) and the
// last one of the chain fires as surely as the first (the names of a pass
// once stopped at the first hundred fired).
TEST(RuleCheck, EveryRuleIsCountedAndEveryFiringTallied) {
    TempFolder folder;
    std::string text = kShipped + "\r\n(defrule chain_0 (world) => (assert (chain 1)))\r\n";
    for (int i = 1; i < 1000; ++i) {
        text += "(defrule chain_" + std::to_string(i) + " (chain " + std::to_string(i) +
                ") => (assert (chain " + std::to_string(i + 1) + ")))\r\n";
    }
    const std::string path = folder.File("long.clp");
    WriteFile(path, text);
    const RuleCheckReport report = CheckRuleFile(path.c_str(), Messages());
    ASSERT_TRUE(report.Passed()) << report.problem;
    ASSERT_EQ(report.rules.size(), 1010u);
    ASSERT_EQ(report.tallies.size(), 1010u);
    EXPECT_EQ(report.rules.back(), "chain_999");
    EXPECT_EQ(report.tallies.back().passes, kCombinationCount);
    EXPECT_EQ(report.tallies.back().firings, kCombinationCount);
    const std::string summary = Captured([&](std::FILE* out) { WriteCheckSummary(report, out); });
    EXPECT_NE(summary.find("long.clp: loaded, 1010 rules\n"), std::string::npos) << summary;
    EXPECT_EQ(summary.find("never fires"), std::string::npos);
    EXPECT_NE(summary.find("  chain_999               729   729\n"), std::string::npos);
}

}  // namespace

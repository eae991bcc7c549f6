// The built-in rule base: its file format, and its conclusions when loaded into
// the real rule engine.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "policy/RuleBaseText.h"
#include "policy/RuleEngine.h"
#include "tests/policy/PolicyTestSupport.h"

extern "C" {
#include <clips/clips.h>
}

namespace {

const std::string kText(kRuleBaseText, kRuleBaseLength);

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", start)) {
        lines.push_back(text.substr(start, at - start));
        start = at + 2;
    }
    lines.push_back(text.substr(start));
    return lines;
}

TEST(RuleBaseFormat, IsAsciiWithCrLfLineEndsAndOneTrailingSpace) {
    EXPECT_EQ(std::strlen(kRuleBaseText), kRuleBaseLength);
    for (size_t i = 0; i < kText.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(kText[i]);
        ASSERT_TRUE(c == '\t' || c == '\r' || c == '\n' || (c >= 0x20 && c < 0x7F))
            << "byte " << i;
        ASSERT_TRUE(c != '\n' || (i > 0 && kText[i - 1] == '\r')) << "bare LF at " << i;
        ASSERT_TRUE(c != '\r' || (i + 1 < kText.size() && kText[i + 1] == '\n'))
            << "bare CR at " << i;
    }
    ASSERT_GE(kText.size(), 3u);
    EXPECT_EQ(kText.substr(kText.size() - 3), "\r\n ");
    EXPECT_NE(kText.substr(kText.size() - 5, 2), "\r\n") << "blank line before the end";
}

TEST(RuleBaseFormat, ConstructsAreSeparatedByOneBlankLineAndIndentedWithTabs) {
    std::vector<std::string> lines = SplitLines(kText);
    ASSERT_EQ(lines.back(), " ");
    lines.pop_back();
    bool constructStart = true;
    int constructs = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (line.empty()) {
            EXPECT_FALSE(constructStart) << "two blank lines before line " << i + 1;
            constructStart = true;
            continue;
        }
        if (constructStart) {
            EXPECT_EQ(line[0], '(') << "line " << i + 1;
            ++constructs;
        } else {
            EXPECT_EQ(line[0], '\t') << "line " << i + 1 << " is not tab-indented";
        }
        EXPECT_NE(line[line.find_first_not_of('\t')], ' ') << "space indent on line " << i + 1;
        EXPECT_NE(line.back(), ' ') << "trailing space on line " << i + 1;
        constructStart = false;
    }
    EXPECT_EQ(constructs, 12);
}

TEST(RuleBaseFormat, HasTwoTemplatesThenTenRulesInOrderEachWithSalienceZero) {
    const char* const expected[] = {
        "(deftemplate colony",          "(deftemplate world",
        "(defrule need_more_food_for_pop", "(defrule can_get_more_food",
        "(defrule use_everyone_for_food", "(defrule stripping_food",
        "(defrule over_population",     "(defrule over_using_food",
        "(defrule lower_food_intake",   "(defrule lower_population",
        "(defrule raise_food_intake",   "(defrule raise_population",
    };
    std::vector<std::string> constructs;
    size_t start = 0;
    for (size_t at = kText.find("\r\n\r\n"); at != std::string::npos;
         at = kText.find("\r\n\r\n", start)) {
        constructs.push_back(kText.substr(start, at - start));
        start = at + 4;
    }
    constructs.push_back(kText.substr(start));
    ASSERT_EQ(constructs.size(), std::size(expected));
    for (size_t i = 0; i < constructs.size(); ++i) {
        const std::string head = constructs[i].substr(0, constructs[i].find("\r\n"));
        EXPECT_EQ(head, expected[i]);
        if (i >= 2) {
            EXPECT_NE(constructs[i].find("\r\n\t(declare (salience 0))\r\n"), std::string::npos)
                << expected[i];
            EXPECT_NE(constructs[i].find("(printout t \""), std::string::npos) << expected[i];
        }
    }
}

// ---------------------------------------------------------------------------
// The rules in the engine.

const char* const kOrderedFacts[] = {
    "need_more_food_for_pop", "can_get_more_food", "stripping_food",   "over_population",
    "critical_situation",     "raise_population",  "raise_food_intake", "lower_population",
    "lower_food_intake",      "over_using_food",   "use_everyone_for_food",
};

struct Situation {
    const char* population;
    const char* foodReserves;
    const char* changeFR;
    const char* gatherers;
    const char* foodSupply;
    const char* changeFS;
};

class RuleBaseInEngine : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(engine.Usable());
        const std::string file = scratch.File("Rules.clp");
        WriteText(file, kText);
        ASSERT_EQ(EnvLoad(engine.Environment(), file.c_str()), 1);
    }

    // The ordered facts left after one run, in fact-list order.
    std::vector<std::string> Run(const Situation& s) {
        void* env = engine.Environment();
        EnvReset(env);
        std::ostringstream world, colony;
        world << "(world (food_supply " << s.foodSupply << ") (change_FS " << s.changeFS << "))";
        colony << "(colony (population " << s.population << ") (food_reserves " << s.foodReserves
               << ") (change_FR " << s.changeFR << ") (num_gathering_ants " << s.gatherers
               << "))";
        EXPECT_NE(EnvAssertString(env, world.str().c_str()), nullptr);
        EXPECT_NE(EnvAssertString(env, colony.str().c_str()), nullptr);
        constexpr long kFirings = 10000;  // far more than ten rules can fire
        EXPECT_LT(EnvRun(env, kFirings), kFirings);
        std::vector<std::string> facts;
        for (const std::string& word : FactRelations(env)) {
            if (std::find(std::begin(kOrderedFacts), std::end(kOrderedFacts), word) !=
                std::end(kOrderedFacts)) {
                facts.push_back(word);
            }
        }
        return facts;
    }

    TempFolder scratch;
    RuleEngine engine;
};

struct RuleCase {
    Situation situation;
    std::set<std::string> facts;
};

TEST_F(RuleBaseInEngine, DrawsTheExpectedFindingsAndConclusions) {
    const RuleCase cases[] = {
        // Plenty of food, few ants: only more births.
        {{"low", "high", "stable", "low", "high", "stable"}, {"raise_population"}},
        // Reserves middling, a rich world: gather more.
        {{"stable", "stable", "stable", "normal", "high", "stable"},
         {"can_get_more_food", "raise_food_intake"}},
        // Many ants on full, growing reserves: both lowered, nothing critical.
        {{"high", "high", "increasing", "low", "high", "stable"},
         {"lower_food_intake", "lower_population"}},
        // Few ants, empty reserves, a rich world: both findings, one
        // raise_food_intake, and raise_population through its second branch.
        {{"low", "low", "stable", "low", "high", "stable"},
         {"need_more_food_for_pop", "can_get_more_food", "raise_food_intake",
          "raise_population"}},
        // Nothing notable: no finding, no conclusion.
        {{"stable", "stable", "stable", "normal", "normal", "stable"}, {}},
        // Empty reserves with a stable population in a poor world: fewer births
        // and more gathering.
        {{"stable", "low", "stable", "low", "low", "stable"},
         {"need_more_food_for_pop", "raise_food_intake", "lower_population"}},
        // Many gatherers while the world's food falls: stripping it, critical.
        {{"stable", "stable", "stable", "high", "normal", "decreasing"},
         {"stripping_food", "over_using_food", "critical_situation"}},
        // Too many ants for a poor world: the critical conclusion comes first
        // and blocks the lower_population that was also due.
        {{"high", "high", "stable", "low", "low", "stable"},
         {"over_population", "over_using_food", "critical_situation"}},
        // Many gatherers, falling reserves and a need for food.
        {{"low", "low", "decreasing", "high", "normal", "stable"},
         {"need_more_food_for_pop", "use_everyone_for_food", "critical_situation"}},
        // Both critical paths open: only the first critical conclusion is drawn.
        {{"high", "low", "decreasing", "high", "low", "decreasing"},
         {"need_more_food_for_pop", "use_everyone_for_food", "critical_situation",
          "stripping_food", "over_population"}},
    };
    for (const RuleCase& c : cases) {
        const Situation& s = c.situation;
        SCOPED_TRACE(std::string("colony ") + s.population + " " + s.foodReserves + " " +
                     s.changeFR + " " + s.gatherers + ", world " + s.foodSupply + " " +
                     s.changeFS);
        const std::vector<std::string> facts = Run(s);
        EXPECT_EQ(std::set<std::string>(facts.begin(), facts.end()), c.facts);
        EXPECT_EQ(std::set<std::string>(facts.begin(), facts.end()).size(), facts.size())
            << "a fact listed twice";
    }
}

bool Has(const std::set<std::string>& facts, const char* name) { return facts.count(name) != 0; }

// Every combination of slot values: the findings follow from the facts alone,
// at most one critical conclusion is drawn and it blocks every ordinary
// adjustment not yet drawn; without one, each adjustment is drawn exactly when
// its conditions hold.
TEST_F(RuleBaseInEngine, EveryCombinationFollowsTheRuleConditions) {
    const char* const level[] = {"low", "stable", "high"};
    const char* const amount[] = {"low", "normal", "high"};
    const char* const change[] = {"increasing", "stable", "decreasing"};
    int critical = 0;
    for (const char* pop : level)
        for (const char* fr : level)
            for (const char* cfr : change)
                for (const char* gath : amount)
                    for (const char* fs : amount)
                        for (const char* cfs : change) {
                            const Situation s{pop, fr, cfr, gath, fs, cfs};
                            const std::vector<std::string> list = Run(s);
                            const std::set<std::string> f(list.begin(), list.end());
                            SCOPED_TRACE(std::string(pop) + " " + fr + " " + cfr + " " + gath +
                                         " " + fs + " " + cfs);
                            const auto is = [](const char* a, const char* b) {
                                return std::strcmp(a, b) == 0;
                            };
                            const bool needMore = is(fr, "low");
                            const bool canGet = is(fs, "high") && !is(fr, "high");
                            const bool stripping = is(gath, "high") && is(cfs, "decreasing");
                            const bool overPop = is(pop, "high") && is(fs, "low");
                            const bool everyone =
                                is(gath, "high") && is(cfr, "decreasing") && needMore;
                            const bool lowerFood = is(fr, "high") && is(cfr, "increasing");
                            const bool lowerPop = (needMore && !is(pop, "low")) || is(pop, "high");
                            const bool raiseFood = needMore || canGet;
                            const bool raisePop =
                                !is(pop, "high") && (is(fr, "high") || is(pop, "low"));

                            ASSERT_EQ(f.size(), list.size()) << "a fact listed twice";
                            EXPECT_EQ(Has(f, "need_more_food_for_pop"), needMore);
                            EXPECT_EQ(Has(f, "can_get_more_food"), canGet);
                            EXPECT_EQ(Has(f, "stripping_food"), stripping);
                            EXPECT_EQ(Has(f, "over_population"), overPop);

                            const bool isCritical = everyone || stripping || overPop;
                            EXPECT_EQ(Has(f, "critical_situation"), isCritical);
                            EXPECT_FALSE(Has(f, "over_using_food") &&
                                         Has(f, "use_everyone_for_food"));
                            EXPECT_EQ(Has(f, "over_using_food") || Has(f, "use_everyone_for_food"),
                                      isCritical);
                            EXPECT_TRUE(!Has(f, "use_everyone_for_food") || everyone);
                            EXPECT_TRUE(!Has(f, "over_using_food") || stripping || overPop);
                            if (isCritical) {
                                ++critical;
                                EXPECT_TRUE(!Has(f, "lower_food_intake") || lowerFood);
                                EXPECT_TRUE(!Has(f, "lower_population") || lowerPop);
                                EXPECT_TRUE(!Has(f, "raise_food_intake") || raiseFood);
                                EXPECT_TRUE(!Has(f, "raise_population") || raisePop);
                            } else {
                                EXPECT_EQ(Has(f, "lower_food_intake"), lowerFood);
                                EXPECT_EQ(Has(f, "lower_population"), lowerPop);
                                EXPECT_EQ(Has(f, "raise_food_intake"), raiseFood);
                                EXPECT_EQ(Has(f, "raise_population"), raisePop);
                            }
                            if (HasFailure()) return;
                        }
    EXPECT_GT(critical, 0);
}

}  // namespace

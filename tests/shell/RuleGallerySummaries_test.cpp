// Every shipped rule base loads cleanly, comes to rest in all 729 situations,
// and draws the conclusions pinned here (passes that drew each, as
// --check-rules counts them). A change to a shipped rule base shows up here
// first; update the pins only with the change that means it.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "policy/RuleGallery.h"
#include "shell/rules/RuleCheck.h"

namespace {

struct Pinned {
    const char* name;
    // In kConclusionNames order: raise_population, raise_food_intake,
    // lower_population, lower_food_intake, over_using_food,
    // use_everyone_for_food.
    size_t conclusions[kConclusionCount];
    size_t silent;  // situations without any conclusion
    size_t rules;
    // At most one conclusion writes each of the two action lines in every
    // situation (the three rule bases of our own are written that way).
    bool oneConclusionPerLine;
};

const Pinned kPinned[] = {
    {"default", {282, 297, 206, 64, 142, 27}, 48, 10, false},
    {"thrifty", {162, 486, 486, 162, 0, 0}, 0, 4, true},
    {"boom", {432, 486, 243, 243, 0, 0}, 0, 4, true},
    {"forager", {243, 432, 243, 297, 0, 36}, 0, 6, true},
};

// The action line a conclusion writes: 0 the population line, 1 the food line.
int LineOf(Conclusion conclusion) {
    return conclusion == Conclusion::RaiseFoodIntake || conclusion == Conclusion::LowerFoodIntake
               ? 1
               : 0;
}

TEST(RuleGallerySummaries, EveryShippedRuleBaseDrawsItsPinnedConclusionsOverThe729Situations) {
    const RuleGallery gallery = RuleGallery::Load("", "");
    ASSERT_EQ(gallery.Entries().size(), sizeof kPinned / sizeof kPinned[0]);
    for (const Pinned& pinned : kPinned) {
        SCOPED_TRACE(pinned.name);
        const RuleBaseEntry* entry = gallery.Find(pinned.name);
        ASSERT_NE(entry, nullptr);
        const RuleCheckReport report = CheckRuleText(pinned.name, entry->text, entry->length);
        ASSERT_TRUE(report.Passed()) << report.problem;
        EXPECT_EQ(report.load, LoadResult::Loaded);
        EXPECT_EQ(report.rules.size(), pinned.rules);
        ASSERT_EQ(report.rows.size(), kCombinationCount);

        size_t drew[kConclusionCount] = {};
        size_t silent = 0;
        size_t crowded = 0;  // situations where two conclusions write one line
        size_t fights = 0;   // a share raised and lowered in one pass
        for (const CheckRow& row : report.rows) {
            ASSERT_EQ(row.result, PassResult::Listed);
            if (row.conclusions.empty()) ++silent;
            bool seen[kConclusionCount] = {};
            int perLine[2] = {};
            for (Conclusion c : row.conclusions) {
                seen[static_cast<size_t>(c)] = true;
                ++perLine[LineOf(c)];
            }
            for (size_t c = 0; c < kConclusionCount; ++c) drew[c] += seen[c] ? 1 : 0;
            if (perLine[0] > 1 || perLine[1] > 1) ++crowded;
            const auto has = [&](Conclusion c) { return seen[static_cast<size_t>(c)]; };
            if ((has(Conclusion::RaisePopulation) && has(Conclusion::LowerPopulation)) ||
                (has(Conclusion::RaiseFoodIntake) && has(Conclusion::LowerFoodIntake))) {
                ++fights;
            }
        }
        for (size_t c = 0; c < kConclusionCount; ++c) {
            EXPECT_EQ(drew[c], pinned.conclusions[c]) << kConclusionNames[c];
        }
        EXPECT_EQ(silent, pinned.silent);
        EXPECT_EQ(fights, 0u) << "no conclusions pull one share both ways";
        if (pinned.oneConclusionPerLine) {
            EXPECT_EQ(crowded, 0u);
        }
    }
}

}  // namespace

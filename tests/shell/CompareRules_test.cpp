// The list of rule bases --compare-rules takes: names of the gallery and
// files, each known by a name of its own.
#include "shell/experiments/CompareRules.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "tests/TempFolder.h"

namespace {

TEST(CompareRulesTest, TheListNamesGalleryEntriesAndFilesEachOnce) {
    TempFolder folder;
    ASSERT_FALSE(folder.path.empty());
    std::ofstream(folder.File("mine.clp")) << ";; name: mine\n(deffacts x)\n";
    std::ofstream(folder.File("also-thrifty.clp")) << ";; name: thrifty\n";
    std::ofstream(folder.File("no name.clp")) << "(deffacts x)\n";
    const RuleGallery gallery = RuleGallery::Load("", "");
    const std::string mine = folder.File("mine.clp");

    struct Case {
        std::string list;
        bool ok;
        std::string names;  // joined by spaces, or a piece of the message
    };
    const Case cases[] = {
        {"default,thrifty,boom,forager", true, "default thrifty boom forager"},
        {"boom," + mine, true, "boom mine"},
        {"forager", true, "forager"},
        {"default,,boom", false, "none empty"},
        {",default", false, "none empty"},
        {"default,", false, "none empty"},
        {"boom,boom", false, "two of the rule bases are named \"boom\""},
        {"thrifty," + folder.File("also-thrifty.clp"), false, "named \"thrifty\""},
        {"default," + folder.File("no name.clp"), false, "has no usable name"},
        {"default,nosuch", false, "no rule base is named \"nosuch\""},
    };
    for (const Case& c : cases) {
        CompareRulesPlan plan;
        std::string error;
        ASSERT_EQ(ParseRuleList(c.list.c_str(), gallery, plan, error), c.ok) << c.list << ": " << error;
        if (!c.ok) {
            EXPECT_NE(error.find(c.names), std::string::npos) << c.list << ": " << error;
            continue;
        }
        std::string names;
        for (const RuleBaseEntry& entry : plan.rules) names += (names.empty() ? "" : " ") + entry.name;
        EXPECT_EQ(names, c.names);
        ASSERT_EQ(plan.values.size(), plan.rules.size());
    }
    CompareRulesPlan plan;
    std::string error;
    ASSERT_TRUE(ParseRuleList(("boom," + mine).c_str(), gallery, plan, error));
    EXPECT_EQ(plan.values[1], mine) << "a run is given the file as it was named";
    EXPECT_EQ(plan.rules[1].origin, RuleBaseOrigin::File);
}

}  // namespace

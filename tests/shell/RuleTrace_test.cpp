// --trace-rules: one line per expert-system pass in a headless run, for the
// shipped rule base and an edited one; the trace changes nothing in the run.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "policy/RuleBaseText.h"
#include "shell/headless/Headless.h"
#include "shell/rules/RuleCheck.h"
#include "tests/TempFolder.h"

namespace {

constexpr int64_t kSteps = 700;
constexpr int64_t kFirstPass = 156;
constexpr int64_t kPassEvery = 52;

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// NAME=VALUE fields of a trace line.
std::map<std::string, std::string> Fields(const std::string& line) {
    std::map<std::string, std::string> fields;
    std::istringstream in(line);
    for (std::string field; in >> field;) {
        const size_t equals = field.find('=');
        if (equals != std::string::npos) fields[field.substr(0, equals)] = field.substr(equals + 1);
    }
    return fields;
}

struct TracedRun {
    int status = -1;
    std::string csv;
    std::string trace;
};

TracedRun RunWith(const std::string& rules, bool trace) {
    TempFolder folder;
    std::ofstream(folder.File("Rules.clp"), std::ios::binary) << rules;
    const std::string csvPath = folder.File("run.csv");
    const std::string tracePath = folder.File("trace.txt");
    HeadlessOptions options;
    options.steps = kSteps;
    options.run.rulesPath = folder.File("Rules.clp");
    options.csvPath = csvPath.c_str();
    options.every = 50;
    if (trace) options.traceRulesPath = tracePath.c_str();
    TracedRun run;
    run.status = RunHeadless(options);
    run.csv = ReadFile(csvPath);
    run.trace = ReadFile(tracePath);
    return run;
}

const std::string kShipped(kRuleBaseText, kRuleBaseLength);

TEST(RuleTrace, OneLinePerPassThatAgreesWithTheCheckTable) {
    const TracedRun traced = RunWith(kShipped, true);
    ASSERT_EQ(traced.status, 0);
    const std::vector<std::string> lines = Lines(traced.trace);
    ASSERT_EQ(lines.size(), static_cast<size_t>((kSteps - kFirstPass) / kPassEvery + 1));

    // The same symbols in the 729-situation table give the same conclusions.
    const RuleCheckReport table = CheckRuleText("Rules.clp", kShipped.data(), kShipped.size());
    std::map<std::string, std::string> expected;
    for (const CheckRow& row : table.rows) {
        std::string key;
        for (size_t s = 0; s < kSymbolCount; ++s) key += std::string(kSymbolWords[s][row.values[s]]) + " ";
        std::string conclusions;
        for (Conclusion c : row.conclusions) {
            conclusions += (conclusions.empty() ? "" : ",") + std::string(ConclusionName(c));
        }
        expected[key] = conclusions.empty() ? "-" : conclusions;
    }

    std::string previousAfter;
    for (size_t i = 0; i < lines.size(); ++i) {
        std::map<std::string, std::string> f = Fields(lines[i]);
        EXPECT_EQ(f["step"], std::to_string(kFirstPass + static_cast<int64_t>(i) * kPassEvery));
        EXPECT_EQ(f["result"], "complete");
        std::string key;
        for (const char* slot : kSymbolSlots) key += f[slot] + " ";
        ASSERT_EQ(expected.count(key), 1u) << lines[i];
        EXPECT_EQ(f["conclusions"], expected[key]) << lines[i];
        if (f["conclusions"] != "-") {
            EXPECT_NE(f["fired"], "-") << "a conclusion needs a rule";
        }
        // The shares before a pass are those after the one before it.
        std::string before;
        std::string after;
        for (const char* share : {"gathering", "meandering", "wandering", "reproducing"}) {
            const std::string value = f[share];
            const size_t arrow = value.find('>');
            ASSERT_NE(arrow, std::string::npos) << lines[i];
            before += value.substr(0, arrow) + " ";
            after += value.substr(arrow + 1) + " ";
        }
        if (i == 0) {
            EXPECT_EQ(before, "25.0000 60.0000 5.0000 10.0000 ");
        } else {
            EXPECT_EQ(before, previousAfter) << lines[i];
        }
        previousAfter = after;
    }

    // Tracing changes nothing in the run itself.
    const TracedRun plain = RunWith(kShipped, false);
    EXPECT_EQ(plain.status, 0);
    EXPECT_EQ(plain.csv, traced.csv);
    EXPECT_TRUE(plain.trace.empty());
}

TEST(RuleTrace, AnEditedRuleShowsInTheTrace) {
    std::string edited = kShipped;
    // raise_population now wants a stable population only.
    const std::string from = "(colony (population low|stable))\r\n\t(or (colony (food_reserves high))";
    const size_t at = edited.find(from);
    ASSERT_NE(at, std::string::npos);
    edited.replace(at, from.size(), "(colony (population stable))\r\n\t(or (colony (food_reserves high))");
    const TracedRun run = RunWith(edited, true);
    ASSERT_EQ(run.status, 0);
    for (const std::string& line : Lines(run.trace)) {
        std::map<std::string, std::string> f = Fields(line);
        const bool raised = f["conclusions"].find("raise_population") != std::string::npos;
        if (f["population"] != "stable") {
            EXPECT_FALSE(raised) << line;
        }
        EXPECT_EQ(raised, f["fired"].find("raise_population") != std::string::npos) << line;
    }
}

TEST(RuleTrace, ATraceThatCannotBeWrittenIsAnError) {
    TempFolder folder;
    std::ofstream(folder.File("Rules.clp"), std::ios::binary) << kShipped;
    const std::string rulesPath = folder.File("Rules.clp");
    const std::string tracePath = folder.File("no/such/folder/trace.txt");
    HeadlessOptions options;
    options.steps = 10;
    options.run.rulesPath = rulesPath;
    options.traceRulesPath = tracePath.c_str();
    EXPECT_EQ(RunHeadless(options), 1);
}

}  // namespace

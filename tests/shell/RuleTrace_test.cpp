// --trace-rules: one line per expert-system pass in a headless run, for the
// shipped rule base and an edited one; the trace changes nothing in the run.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "policy/RuleBaseText.h"
#include "shell/RuleTrace.h"
#include "shell/headless/Headless.h"
#include "shell/rules/RuleCheck.h"
#include "simulation/Simulation.h"
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

// The trace is read while the colony runs (the window's, tail -f): each pass's
// line is in the file, whole, as soon as the pass is done, not when a buffer
// fills or the file closes.
TEST(RuleTrace, EachPassIsInTheFileWhileItIsStillOpen) {
    TempFolder folder;
    const std::string tracePath = folder.File("trace.txt");
    auto owned = std::make_unique<Simulation>();  // the built-in rules; too big for the stack
    Simulation& simulation = *owned;
    simulation.expertSystem.engine.SetTraceRules(true);
    RuleTraceWriter trace;
    std::string error;
    ASSERT_TRUE(trace.Open(tracePath.c_str(), nullptr, error)) << error;
    for (int64_t passes = 1; passes <= 3; ++passes) {
        while (simulation.expertSystem.journal.passes < passes) {
            simulation.Step();
            trace.AfterStep(simulation);
        }
        const std::string text = ReadFile(tracePath);
        ASSERT_EQ(Lines(text).size(), static_cast<size_t>(passes)) << text;
        EXPECT_EQ(text.back(), '\n');
        EXPECT_EQ(Fields(Lines(text).back())["step"],
                  std::to_string(kFirstPass + (passes - 1) * kPassEvery));
    }
    EXPECT_TRUE(trace.Close(error)) << error;
}

// A rule base switched in between a pass and its trace line (the window's
// switch runs beside the steps) holds no fired rules yet: the line names the
// pass's own, as one without the switch does.
TEST(RuleTrace, APassTracedAfterASwitchStillNamesItsRules) {
    TempFolder folder;
    auto owned = std::make_unique<Simulation>();
    Simulation& simulation = *owned;
    simulation.expertSystem.engine.SetTraceRules(true);
    RuleTraceWriter plain;
    RuleTraceWriter switched;
    std::string error;
    ASSERT_TRUE(plain.Open(folder.File("plain.txt").c_str(), nullptr, error)) << error;
    ASSERT_TRUE(switched.Open(folder.File("switched.txt").c_str(), nullptr, error)) << error;
    while (simulation.expertSystem.journal.passes < 1) simulation.Step();
    ASSERT_GT(simulation.expertSystem.journal.Back(0).firings, 0);
    plain.AfterStep(simulation);
    simulation.expertSystem.engine.fired.clear();  // as the engine switched in has them
    switched.AfterStep(simulation);
    ASSERT_TRUE(plain.Close(error)) << error;
    ASSERT_TRUE(switched.Close(error)) << error;
    const std::string line = ReadFile(folder.File("plain.txt"));
    EXPECT_NE(Fields(line)["fired"], "-") << line;
    EXPECT_EQ(ReadFile(folder.File("switched.txt")), line);
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

// The one start-up: what the command line asks reaches the run in every mode
// that takes it; a settings file's records lie between the defaults and the
// options; and no output may name an input or another output, checked
// before anything is opened or written.
#include "shell/StartUp.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "tests/TempFolder.h"

namespace {

// A working folder and a user's config folder of the test's own, with an
// edited rule base in the config folder.
class StartUpTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(scratch.path.empty());
        ASSERT_EQ(mkdir(scratch.File("work").c_str(), 0700), 0);
        ASSERT_EQ(mkdir(scratch.File("config").c_str(), 0700), 0);
        ASSERT_EQ(mkdir(scratch.File("config/marrowick").c_str(), 0700), 0);
        Write("config/marrowick/Rules.clp", kEdited);
        ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
        ASSERT_EQ(chdir(scratch.File("work").c_str()), 0);
        setenv("XDG_CONFIG_HOME", scratch.File("config").c_str(), 1);
    }
    void TearDown() override {
        ASSERT_EQ(chdir(previous), 0);
        unsetenv("XDG_CONFIG_HOME");
    }

    void Write(const std::string& name, const std::string& text) {
        std::ofstream(scratch.File(name), std::ios::binary) << text;
    }
    std::string Read(const std::string& name) {
        std::ifstream in(scratch.File(name), std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    // Parses and prepares as main and the front ends do.
    int Prepare(std::vector<const char*> words, RunDescription& run, std::string& error,
                std::vector<RunOutput> outputs = {}, bool readsSettings = false) {
        words.insert(words.begin(), "marrowick");
        CommandLine line;
        if (!ParseCommandLine(static_cast<int>(words.size()), words.data(), nullptr, line, error)) {
            return kExitUsage;
        }
        StartRequest request;
        request.readsSettingsFile = readsSettings;
        request.outputs = outputs;
        return PrepareRun(line, request, run, error);
    }

    static constexpr const char* kEdited = "; my own rules\n";
    TempFolder scratch;
    char previous[4096] = {};
};

// Every option the start-up reads changes the run in every mode that takes
// it: none is taken and then quietly dropped.
TEST_F(StartUpTest, EveryOptionReachesTheRunInEveryModeThatTakesIt) {
    struct Case {
        std::vector<const char*> option;
        bool (*changed)(const RunDescription&);
    };
    const Case cases[] = {
        {{"--rate", "250"}, [](const RunDescription& r) { return r.Number(ParameterId::SimsPerSecond) == 250; }},
        {{"--render-multi", "9"}, [](const RunDescription& r) { return r.Number(ParameterId::RenderingMulti) == 9; }},
        {{"--no-trails"}, [](const RunDescription& r) { return !r.showTrails; }},
        {{"--no-expert-system"}, [](const RunDescription& r) { return !r.expertSystem; }},
        {{"--texture"}, [](const RunDescription& r) { return r.texture; }},
        {{"--rules-panel"}, [](const RunDescription& r) { return r.rulesPanel; }},
        {{"--rules", "thrifty"}, [](const RunDescription& r) { return r.rulesName == "thrifty" && r.rulesText != nullptr; }},
        {{"--set", "foodPerAnt=0.25"}, [](const RunDescription& r) { return r.Number(ParameterId::FoodPerAnt) == 0.25; }},
        {{"--seed", "77"}, [](const RunDescription& r) { return r.seed == 77u; }},
        {{"--verbose"}, [](const RunDescription& r) { return r.verbose; }},
    };
    const std::pair<Mode, std::vector<const char*>> modes[] = {
        {Mode::ScreenSaver, {}},
        {Mode::Window, {"--window"}},
        {Mode::Terminal, {"--terminal"}},
        {Mode::Headless, {"--headless"}},
        {Mode::SummaryRun, {"--summary-run", "--seed", "1", "--steps", "1"}},
    };
    for (const Case& c : cases) {
        size_t taken = 0;
        for (const auto& mode : modes) {
            CommandLine probe;
            std::string error;
            std::vector<const char*> words = {"marrowick"};
            words.insert(words.end(), mode.second.begin(), mode.second.end());
            words.insert(words.end(), c.option.begin(), c.option.end());
            if (!ParseCommandLine(static_cast<int>(words.size()), words.data(), nullptr, probe,
                                  error)) {
                continue;  // not one of this mode's options: the parser's test covers that
            }
            ++taken;
            SCOPED_TRACE(std::string(c.option[0]) + " in " + ModeInfo(mode.first).name);
            std::vector<const char*> args = mode.second;
            args.insert(args.end(), c.option.begin(), c.option.end());
            RunDescription run;
            ASSERT_EQ(Prepare(args, run, error), kExitOk) << error;
            EXPECT_TRUE(c.changed(run));
        }
        EXPECT_GT(taken, 0u) << c.option[0];
    }
}

TEST_F(StartUpTest, TheSettingsFileLiesBetweenTheDefaultsAndTheCommandLine) {
    Write("config/marrowick/Marrowick.ini",
          "TextureName = \\texture.bmp\r\nfoodPerAnt = 0.5\r\nsimsPerSecond = 90\r\n"
          "generatorType = Minimum_Food\r\nmaxFood = 9999\r\n");
    RunDescription run;
    std::string error;
    ::testing::internal::CaptureStderr();
    ASSERT_EQ(Prepare({"--window", "--rate", "120"}, run, error, {}, true), kExitOk) << error;
    const std::string warnings = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(run.Number(ParameterId::FoodPerAnt), 0.5);       // from the file
    EXPECT_EQ(run.Number(ParameterId::SimsPerSecond), 120);    // the option wins
    EXPECT_EQ(run.Number(ParameterId::GeneratorType), 0);      // its text, as the file stores it
    EXPECT_EQ(run.Number(ParameterId::MaxFood), 1500);         // refused: the default stays
    EXPECT_EQ(warnings,
              "marrowick: Marrowick.ini line 5: maxFood takes a whole number from 200 to 3000, "
              "not \"9999\"; passed over\n");
    // The views read the file; the other modes do not.
    RunDescription headless;
    ASSERT_EQ(Prepare({"--headless"}, headless, error), kExitOk) << error;
    EXPECT_EQ(headless.Number(ParameterId::FoodPerAnt), DefaultValue(ParameterId::FoodPerAnt).number);
}

// No output may be an input (the rule base wherever it is read from, the
// settings file, the texture) or another output; the command is refused with
// one line before anything is opened, and every file stays as it was.
TEST_F(StartUpTest, AnOutputThatNamesAnInputOrAnotherOutputIsRefused) {
    const std::string mine = scratch.File("config/marrowick/Rules.clp");
    Write("work/Marrowick.ini", "TextureName = mine.bmp\r\n");
    Write("work/mine.bmp", "BM");
    struct Case {
        std::vector<const char*> words;
        std::vector<RunOutput> outputs;
        const char* message;  // null: accepted
    };
    const Case cases[] = {
        // The user's rule base where it lives, and where a copy would win.
        {{"--headless"}, {{mine, "--csv"}}, "is the rule base; it would be overwritten"},
        {{"--headless"}, {{"Rules.clp", "--trace-rules"}}, "is where a rule base is read from"},
        {{"--headless"}, {{"./Rules.clp", "--plot"}}, "is where a rule base is read from"},
        {{"--headless"}, {{"Marrowick.ini", "--csv"}}, "is where the settings are read from"},
        {{"--headless"}, {{scratch.File("config/marrowick/Marrowick.ini"), "--csv"}},
         "is where the settings are read from"},
        {{"--window"}, {{"mine.bmp", "--screenshot"}}, "is the texture"},
        // A rule base named with --rules.
        {{"--headless", "--rules", "../config/marrowick/Rules.clp"}, {{mine, "--csv"}},
         "is the rule base"},
        // Two outputs on one file, by two names.
        {{"--headless"}, {{"run.csv", "--csv"}, {"./run.csv", "--plot"}},
         "--plot ./run.csv is --csv; give each output a file of its own"},
        {{"--headless"}, {{"-", "--csv"}, {"trace.txt", "--trace-rules"}}, nullptr},
        {{"--headless"}, {{"/dev/null", "--csv"}, {"/dev/null", "--trace-rules"}}, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.outputs[0].path + " as " + c.outputs[0].role);
        RunDescription run;
        std::string error;
        const int status = Prepare(c.words, run, error, c.outputs, true);
        if (c.message == nullptr) {
            EXPECT_EQ(status, kExitOk) << error;
        } else {
            EXPECT_EQ(status, kExitUsage);
            EXPECT_NE(error.find(c.message), std::string::npos) << error;
        }
    }
    EXPECT_EQ(Read("config/marrowick/Rules.clp"), kEdited);
    EXPECT_EQ(Read("work/Marrowick.ini"), "TextureName = mine.bmp\r\n");
    EXPECT_EQ(Read("work/mine.bmp"), "BM");
    EXPECT_FALSE(std::ifstream(scratch.File("work/Rules.clp")).good());
}

TEST_F(StartUpTest, AnOutputThatCannotBeWrittenIsRefusedBeforeTheRun) {
    RunDescription run;
    std::string error;
    EXPECT_EQ(Prepare({"--headless"}, run, error, {{"no/such/folder/run.csv", "--csv"}}),
              kExitFailure);
    EXPECT_EQ(error, "cannot write --csv no/such/folder/run.csv: its folder no/such/folder does not exist");
    ASSERT_EQ(mkdir(scratch.File("work/a-folder").c_str(), 0700), 0);
    EXPECT_EQ(Prepare({"--headless"}, run, error, {{"a-folder", "--plot"}}), kExitFailure);
    EXPECT_EQ(error, "cannot write --plot a-folder: is a folder");
}

// Preparing writes nothing; providing the files makes the first-use copy in
// the user's folder only, and never touches an edited one.
TEST_F(StartUpTest, OnlyProvidingWritesAndOnlyInTheUsersFolder) {
    const std::string fresh = scratch.File("fresh");
    setenv("XDG_CONFIG_HOME", fresh.c_str(), 1);
    RunDescription run;
    std::string error;
    ASSERT_EQ(Prepare({"--headless"}, run, error), kExitOk) << error;
    EXPECT_FALSE(std::ifstream(fresh + "/marrowick/Rules.clp").good());
    ProvideRunFiles(run, false);
    EXPECT_EQ(run.rulesPath, fresh + "/marrowick/Rules.clp");
    EXPECT_TRUE(std::ifstream(run.rulesPath).good());
    EXPECT_EQ(run.rulesName, "default");

    setenv("XDG_CONFIG_HOME", scratch.File("config").c_str(), 1);
    RunDescription edited;
    ASSERT_EQ(Prepare({"--headless"}, edited, error), kExitOk) << error;
    ProvideRunFiles(edited, false);
    EXPECT_EQ(edited.rulesPath, scratch.File("config/marrowick/Rules.clp"));
    EXPECT_EQ(Read("config/marrowick/Rules.clp"), kEdited);
    EXPECT_FALSE(std::ifstream(scratch.File("work/Rules.clp")).good());
}

}  // namespace

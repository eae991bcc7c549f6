// The one parser: mode letters, the option table's modes, both spellings of
// every option, and one line for everything it refuses.
#include "shell/CommandLine.h"

#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

namespace {

// Runs the parser on "marrowick" followed by the given arguments. The line
// points into the arguments, as into the program's argv: they live as long.
struct Parsed {
    bool ok = false;
    CommandLine line;
    std::string error;
    std::shared_ptr<std::vector<std::string>> words;
};

Parsed Parse(const std::vector<std::string>& args, const char* env = nullptr) {
    Parsed result;
    result.words = std::make_shared<std::vector<std::string>>(args);
    std::vector<const char*> argv{"marrowick"};
    for (const std::string& arg : *result.words) argv.push_back(arg.c_str());
    result.ok = ParseCommandLine(static_cast<int>(argv.size()), argv.data(), env, result.line,
                                 result.error);
    return result;
}

Parsed Parse(std::initializer_list<const char*> args, const char* env = nullptr) {
    return Parse(std::vector<std::string>(args.begin(), args.end()), env);
}

// The word that selects a mode ("" for the screen saver).
std::string ModeOption(Mode mode) {
    for (int32_t i = 0; i < kOptionCount; ++i) {
        if (Option(i).selects == mode) return std::string("--") + Option(i).name;
    }
    return "";
}

// A value each option takes.
std::string SampleValue(const OptionRow& row) {
    switch (row.id) {
        case OptionId::WindowId: return "0x400001";
        case OptionId::Set: return "foodPerAnt=0.5";
        case OptionId::Vary: return "foodPerAnt=0.1,0.2";
        case OptionId::Seeds: return "1-3";
        case OptionId::Format: return "csv";
        default: break;
    }
    switch (row.arg) {
        case ArgKind::Whole: return std::to_string(row.low);
        case ArgKind::Input:
        case ArgKind::Output:
        case ArgKind::Optional: return "some.file";
        default: return "x";
    }
}

TEST(CommandLineTest, ModeLettersFollowTheScreenSaverTable) {
    struct Case {
        const char* argument;
        RunMode mode;
    } cases[] = {
        {"/s", ModeRun},
        {"/c:1234", ModeConfigure},
        {"/c", ModeConfigure},
        {"/p", ModePreview},
        {"/S", ModeRun},  // upper case never selects
        {"/C", ModeRun},
        {"/P", ModeRun},
        {"cs", ModeRun},  // the last letter wins
        {"sc", ModeConfigure},
        {"csp", ModePreview},
        {"pXc", ModeConfigure},
        {"", ModeRun},
        {"xyz", ModeRun},
        {"/sCp", ModePreview},
        // A single dash before letters that name no option: the same letters.
        {"-s", ModeRun},
        {"-c", ModeConfigure},
        {"-c:1234", ModeConfigure},
        {"-p", ModePreview},
        {"-sc", ModeConfigure},
        {"-S", ModeRun},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ModeFromLetters(c.argument), c.mode) << c.argument;
        Parsed parsed = Parse({c.argument});
        EXPECT_TRUE(parsed.ok) << c.argument << ": " << parsed.error;
        EXPECT_EQ(parsed.line.mode, Mode::ScreenSaver) << c.argument;
        EXPECT_EQ(parsed.line.saverMode, c.mode) << c.argument;
    }
}

TEST(CommandLineTest, AWordThatNamesAnOptionIsThatOptionInEverySpelling) {
    // Not mode letters: "-terminal" once started the full-screen saver.
    for (const char* word : {"-terminal", "--terminal"}) {
        Parsed parsed = Parse({word});
        EXPECT_TRUE(parsed.ok) << word;
        EXPECT_EQ(parsed.line.mode, Mode::Terminal) << word;
        EXPECT_EQ(parsed.line.modeWord, nullptr) << word;
    }
    for (const char* word : {"-headless", "--headless", "-window", "-h", "-root"}) {
        Parsed parsed = Parse({word});
        EXPECT_TRUE(parsed.ok) << word;
        EXPECT_EQ(parsed.line.modeWord, nullptr) << word;
    }
    EXPECT_TRUE(Parse({"-h"}).line.help);
    // Two dashes are always an option.
    EXPECT_FALSE(Parse({"--s"}).ok);
}

TEST(CommandLineTest, NoArgumentRunsAndOnlyTheFirstArgumentCarriesLetters) {
    Parsed none = Parse({});
    EXPECT_TRUE(none.ok);
    EXPECT_EQ(none.line.mode, Mode::ScreenSaver);
    EXPECT_EQ(none.line.saverMode, ModeRun);
    EXPECT_FALSE(none.line.hasForeignWindow);

    // A second word with letters changes nothing.
    Parsed second = Parse({"/s", "c"});
    EXPECT_TRUE(second.ok);
    EXPECT_EQ(second.line.saverMode, ModeRun);

    // An option first: the mode stays run.
    Parsed option = Parse({"--rate", "60"});
    EXPECT_TRUE(option.ok);
    EXPECT_EQ(option.line.saverMode, ModeRun);
    EXPECT_EQ(option.line.Number(OptionId::Rate, -1), 60);
}

TEST(CommandLineTest, PreviewTakesAWindowNumberAsSecondArgument) {
    Parsed bare = Parse({"/p"});
    EXPECT_TRUE(bare.ok);
    EXPECT_EQ(bare.line.saverMode, ModePreview);
    EXPECT_FALSE(bare.line.hasForeignWindow);

    Parsed withWindow = Parse({"/p", "0x2a00007"});
    EXPECT_TRUE(withWindow.ok);
    EXPECT_EQ(withWindow.line.saverMode, ModePreview);
    EXPECT_TRUE(withWindow.line.hasForeignWindow);
    EXPECT_EQ(withWindow.line.foreignWindow, 0x2a00007u);

    Parsed dash = Parse({"-p", "0x400001"});
    EXPECT_TRUE(dash.ok);
    EXPECT_EQ(dash.line.foreignWindow, 0x400001u);

    // A run mode never takes a bare number as its window.
    Parsed run = Parse({"/s", "1234"});
    EXPECT_TRUE(run.ok);
    EXPECT_FALSE(run.line.hasForeignWindow);
}

TEST(CommandLineTest, XscreensaverWindowSources) {
    // The daemon: --root and the window in the environment, decimal or hex.
    Parsed daemon = Parse({"--root"}, "12582919");
    EXPECT_TRUE(daemon.ok);
    EXPECT_TRUE(daemon.line.root);
    EXPECT_TRUE(daemon.line.hasForeignWindow);
    EXPECT_EQ(daemon.line.foreignWindow, 12582919u);

    Parsed oldStyle = Parse({"-root"}, "0xC00007");
    EXPECT_TRUE(oldStyle.ok);
    EXPECT_EQ(oldStyle.line.foreignWindow, 0xC00007u);

    // The settings program's preview: an explicit id beats the environment.
    for (auto spelling : {"--window-id", "-window-id"}) {
        Parsed preview = Parse({spelling, "0x400001"}, "77");
        EXPECT_TRUE(preview.ok) << spelling;
        EXPECT_TRUE(preview.line.hasForeignWindow) << spelling;
        EXPECT_EQ(preview.line.foreignWindow, 0x400001u) << spelling;
    }
    Parsed inlineValue = Parse({"--window-id=99"});
    EXPECT_TRUE(inlineValue.ok);
    EXPECT_EQ(inlineValue.line.foreignWindow, 99u);

    // --root without the environment: our own full-screen window.
    Parsed rootAlone = Parse({"--root"});
    EXPECT_TRUE(rootAlone.ok);
    EXPECT_FALSE(rootAlone.line.hasForeignWindow);

    // Configure mode always shows its own About box.
    Parsed configure = Parse({"/c"}, "77");
    EXPECT_TRUE(configure.ok);
    EXPECT_FALSE(configure.line.hasForeignWindow);

    // The window mode ignores the environment and takes no foreign window.
    Parsed window = Parse({"--window"}, "77");
    EXPECT_TRUE(window.ok);
    EXPECT_FALSE(window.line.hasForeignWindow);
    EXPECT_FALSE(Parse({"--window", "--window-id", "77"}).ok);
}

// Every option of the table, in both spellings, in every mode: taken where
// the table says, refused with one line everywhere else.
TEST(CommandLineTest, EveryOptionInBothSpellingsInEveryModeThatTakesItAndNoOther) {
    for (int32_t o = 0; o < kOptionCount; ++o) {
        const OptionRow& row = Option(o);
        if (row.selects != Mode::Count) continue;  // the modes themselves: below
        for (int32_t m = 0; m < kModeCount; ++m) {
            const Mode mode = static_cast<Mode>(m);
            const bool takes = (row.modes & In(mode)) != 0;
            const std::string name = std::string("--") + row.name;
            std::vector<std::vector<std::string>> spellings;
            if (row.arg == ArgKind::None) {
                spellings = {{name}, {std::string("-") + row.name}};
            } else if (row.arg == ArgKind::Optional) {
                spellings = {{name + "=" + SampleValue(row)}};
            } else {
                spellings = {{name, SampleValue(row)}, {name + "=" + SampleValue(row)}};
            }
            for (std::vector<std::string> args : spellings) {
                const std::string mode = ModeOption(static_cast<Mode>(m));
                if (!mode.empty() && args[0] != mode) args.insert(args.begin(), mode);
                std::string shown;
                for (const std::string& arg : args) shown += arg + " ";
                Parsed parsed = Parse(args);
                EXPECT_EQ(parsed.ok, takes) << shown << parsed.error;
                if (takes) {
                    EXPECT_EQ(parsed.line.mode, static_cast<Mode>(m)) << shown;
                    EXPECT_TRUE(parsed.line.Has(row.id)) << shown;
                } else {
                    EXPECT_NE(parsed.error.find(name + " is not an option of"), std::string::npos)
                        << shown << parsed.error;
                }
            }
        }
    }
}

TEST(CommandLineTest, ModesCannotBeMixed) {
    EXPECT_EQ(Parse({"--window", "--terminal"}).error,
              "--window and --terminal cannot be used together");
    EXPECT_EQ(Parse({"--headless", "--sweep"}).error,
              "--headless and --sweep cannot be used together");
    EXPECT_EQ(Parse({"/s", "--headless"}).error,
              "the screen saver's mode letters \"/s\" cannot be used with --headless");
    // The same mode twice is the same mode.
    EXPECT_TRUE(Parse({"--headless", "--headless"}).ok);
}

TEST(CommandLineTest, WordsThatAreNoOptionOnlyWhereTheModeTakesThem) {
    Parsed merge = Parse({"--merge", "a.csv", "-", "b.csv", "--out", "all.csv"});
    ASSERT_TRUE(merge.ok) << merge.error;
    ASSERT_EQ(merge.line.positionals.size(), 3u);
    EXPECT_STREQ(merge.line.positionals[1], "-");

    Parsed check = Parse({"--check-rules", "Mine.clp", "--format", "csv"});
    ASSERT_TRUE(check.ok) << check.error;
    EXPECT_STREQ(check.line.positionals[0], "Mine.clp");
    EXPECT_FALSE(Parse({"--check-rules", "a.clp", "b.clp"}).ok);

    EXPECT_EQ(Parse({"--headless", "stray"}).error,
              "unexpected argument 'stray' (try --headless --help)");
    // After "--" even a word with dashes is a file.
    Parsed dashed = Parse({"--merge", "--", "--odd.csv"});
    ASSERT_TRUE(dashed.ok);
    EXPECT_STREQ(dashed.line.positionals[0], "--odd.csv");
}

TEST(CommandLineTest, OneNumberGrammarAndEveryRangeBothEnds) {
    EXPECT_EQ(Parse({"--rate", "5"}).line.Number(OptionId::Rate, 0), 5);
    EXPECT_EQ(Parse({"--rate=1000"}).line.Number(OptionId::Rate, 0), 1000);
    EXPECT_EQ(Parse({"--headless", "--seed", "4294967295"}).line.Number(OptionId::Seed, 0),
              4294967295);
    for (const char* value : {"+40", " 40", "40 ", "4e1", "0x28", "40.0", "-40", "", "forty"}) {
        for (const char* mode : {"--window", "--headless", "--terminal"}) {
            Parsed parsed = Parse({mode, "--rate", value});
            EXPECT_FALSE(parsed.ok) << mode << " --rate '" << value << "'";
            EXPECT_EQ(parsed.error, std::string("--rate takes a whole number from 5 to 1000, not \"") +
                                        value + "\"");
        }
    }
}

TEST(CommandLineTest, BadInputIsAnErrorWithAMessage) {
    struct Case {
        std::initializer_list<const char*> args;
        const char* env;
        const char* message;
    } cases[] = {
        {{"--rate", "4"}, nullptr, "--rate takes a whole number from 5 to 1000, not \"4\""},
        {{"--rate"}, nullptr, "option --rate needs N"},
        {{"--render-multi", "0"}, nullptr,
         "--render-multi takes a whole number from 1 to 200, not \"0\""},
        {{"--window-id", "-5"}, nullptr,
         "--window-id needs an X window id (decimal or 0x hex), not \"-5\""},
        {{"--window-id", "0"}, nullptr,
         "--window-id needs an X window id (decimal or 0x hex), not \"0\""},
        {{"--window-id", "12abc"}, nullptr,
         "--window-id needs an X window id (decimal or 0x hex), not \"12abc\""},
        {{"--screenshot"}, nullptr, "option --screenshot needs FILE"},
        {{"--screenshot", ""}, nullptr, "--screenshot needs a file name"},
        {{"--screenshot", "-"}, nullptr, "--screenshot needs a file name ('-' is not taken here)"},
        {{"--frobnicate"}, nullptr, "unknown option '--frobnicate' (try --help)"},
        {{"/s", "--bogus"}, nullptr, "unknown option '--bogus' (try --help)"},
        {{"--root"}, "not-a-window", "XSCREENSAVER_WINDOW is not an X window id: \"not-a-window\""},
        {{"--check-rules", "--format", "xml"}, nullptr, "--format takes text/csv, not \"xml\""},
        // Switches take no value.
        {{"--headless=1"}, nullptr, "option --headless takes no value"},
        {{"--terminal=1"}, nullptr, "option --terminal takes no value"},
        {{"--rules-panel=0"}, nullptr, "option --rules-panel takes no value"},
        {{"-root=1"}, nullptr, "option --root takes no value"},
        // Control characters never reach the terminal: one line, always.
        {{"--bogus\n\x1b[2J"}, nullptr, "unknown option '--bogus??[2J' (try --help)"},
        {{"--root"}, "12\n34", "XSCREENSAVER_WINDOW is not an X window id: \"12?34\""},
    };
    for (const Case& c : cases) {
        Parsed parsed = Parse(c.args, c.env);
        EXPECT_FALSE(parsed.ok) << c.message;
        EXPECT_EQ(parsed.error, c.message);
    }
}

// An argument too long for a message is cut, and the cut shows.
TEST(CommandLineTest, AHugeArgumentGivesACutMessage) {
    const std::string huge = "--" + std::string(400, 'x');
    Parsed parsed = Parse({huge.c_str()}, nullptr);
    EXPECT_FALSE(parsed.ok);
    EXPECT_EQ(parsed.error.rfind("unknown option '--xxx", 0), 0u) << parsed.error;
    EXPECT_NE(parsed.error.find("...'"), std::string::npos) << parsed.error;
    EXPECT_LT(parsed.error.size(), 260u);
}

TEST(CommandLineTest, EachModesHelpListsItsOptionsWithinEightyColumns) {
    for (int32_t m = 0; m < kModeCount; ++m) {
        const Mode mode = static_cast<Mode>(m);
        const std::string text = UsageText(mode);
        size_t start = 0;
        while (start < text.size()) {
            const size_t end = text.find('\n', start);
            EXPECT_LE(end - start, 79u) << text.substr(start, end - start);
            start = end + 1;
        }
        for (int32_t o = 0; o < kOptionCount; ++o) {
            const OptionRow& row = Option(o);
            const bool listed = text.find(std::string("  --") + row.name + " ") != std::string::npos ||
                                text.find(std::string("  --") + row.name + "\n") != std::string::npos;
            const bool listable = !row.hidden && ((row.modes & In(mode)) != 0 && row.selects == Mode::Count);
            if (listable) {
                EXPECT_TRUE(listed) << ModeInfo(mode).name << ": --" << row.name;
            }
        }
    }
    const std::string saver = UsageText(Mode::ScreenSaver);
    for (const char* must : {"/c", "/p", "/s", "--window", "--headless", "--root", "--window-id",
                             "--rate", "--screenshot", "--sweep", "--check-rules"}) {
        EXPECT_NE(saver.find(must), std::string::npos) << must;
    }
}

}  // namespace

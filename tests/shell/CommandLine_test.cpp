#include "shell/CommandLine.h"

#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

namespace {

// Runs the parser on "marrowick" followed by the given arguments.
struct Parsed {
    bool ok = false;
    CommandLine line;
};

Parsed Parse(std::initializer_list<const char*> args, const char* env = nullptr) {
    std::vector<const char*> argv{"marrowick"};
    argv.insert(argv.end(), args.begin(), args.end());
    Parsed result;
    result.ok = ParseCommandLine(static_cast<int>(argv.size()), argv.data(), env, result.line);
    return result;
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
        EXPECT_TRUE(parsed.ok) << c.argument;
        EXPECT_EQ(parsed.line.launch, Launch::ScreenSaver) << c.argument;
        EXPECT_EQ(parsed.line.mode, c.mode) << c.argument;
    }
}

TEST(CommandLineTest, NoArgumentRunsAndOnlyTheFirstArgumentCarriesLetters) {
    Parsed none = Parse({});
    EXPECT_TRUE(none.ok);
    EXPECT_EQ(none.line.launch, Launch::ScreenSaver);
    EXPECT_EQ(none.line.mode, ModeRun);
    EXPECT_FALSE(none.line.hasForeignWindow);

    // A second word with letters changes nothing.
    Parsed second = Parse({"/s", "c"});
    EXPECT_TRUE(second.ok);
    EXPECT_EQ(second.line.mode, ModeRun);

    // An option first: the mode stays run.
    Parsed option = Parse({"--rate", "60"});
    EXPECT_TRUE(option.ok);
    EXPECT_EQ(option.line.mode, ModeRun);
    EXPECT_EQ(option.line.rate, 60);
}

TEST(CommandLineTest, PreviewTakesAWindowNumberAsSecondArgument) {
    Parsed bare = Parse({"/p"});
    EXPECT_TRUE(bare.ok);
    EXPECT_EQ(bare.line.mode, ModePreview);
    EXPECT_FALSE(bare.line.hasForeignWindow);

    Parsed withWindow = Parse({"/p", "0x2a00007"});
    EXPECT_TRUE(withWindow.ok);
    EXPECT_EQ(withWindow.line.mode, ModePreview);
    EXPECT_TRUE(withWindow.line.hasForeignWindow);
    EXPECT_EQ(withWindow.line.foreignWindow, 0x2a00007u);

    // A run mode never takes a bare number as its window.
    Parsed run = Parse({"/s", "1234"});
    EXPECT_TRUE(run.ok);
    EXPECT_FALSE(run.line.hasForeignWindow);
}

TEST(CommandLineTest, ASingleDashOptionFirstIsStillAnOption) {
    EXPECT_EQ(Parse({"-h"}).line.launch, Launch::Help);
    Parsed root = Parse({"-root"}, "0x400001");
    EXPECT_TRUE(root.ok);
    EXPECT_TRUE(root.line.root);
    EXPECT_EQ(root.line.mode, ModeRun);
    Parsed preview = Parse({"-p", "0x400001"});
    EXPECT_TRUE(preview.ok);
    EXPECT_EQ(preview.line.mode, ModePreview);
    EXPECT_EQ(preview.line.foreignWindow, 0x400001u);
    // Two dashes are always an option.
    EXPECT_FALSE(Parse({"--s"}).ok);
}

TEST(CommandLineTest, HeadlessSwitchInEverySpelling) {
    struct Case {
        const char* argument;
        bool headless;
    } cases[] = {
        {"--headless", true}, {"-headless", true},  {"--headless=1", true},
        {"-headless=", true}, {"--headlessly", false}, {"headless", false},
        {"/headless", false}, {"--head", false},     {"-", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsHeadlessSwitch(c.argument), c.headless) << c.argument;
    }
}

TEST(CommandLineTest, ImmediateLaunchesStopParsing) {
    EXPECT_EQ(Parse({"--help"}).line.launch, Launch::Help);
    EXPECT_EQ(Parse({"-h"}).line.launch, Launch::Help);
    EXPECT_EQ(Parse({"--version"}).line.launch, Launch::Version);
    // Headless options belong to the terminal runner, unknown ones included.
    Parsed headless = Parse({"--headless", "--steps", "100", "--whatever"});
    EXPECT_TRUE(headless.ok);
    EXPECT_EQ(headless.line.launch, Launch::Headless);
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
}

TEST(CommandLineTest, WindowModeIgnoresTheEnvironmentAndRefusesAForeignWindow) {
    Parsed window = Parse({"--window"}, "77");
    EXPECT_TRUE(window.ok);
    EXPECT_EQ(window.line.launch, Launch::Window);
    EXPECT_FALSE(window.line.hasForeignWindow);

    Parsed both = Parse({"--window", "--window-id", "77"});
    EXPECT_FALSE(both.ok);
    EXPECT_EQ(both.line.launch, Launch::Error);
    EXPECT_NE(std::strlen(both.line.error), 0u);
}

TEST(CommandLineTest, SettingsAndTheirRanges) {
    Parsed all = Parse({"-root", "--rate", "1000", "--render-multi=200", "--no-trails",
                        "--no-expert-system", "--texture", "--screenshot", "shot.png"});
    ASSERT_TRUE(all.ok) << all.line.error;
    EXPECT_EQ(all.line.rate, 1000);
    EXPECT_EQ(all.line.renderMulti, 200);
    EXPECT_TRUE(all.line.noTrails);
    EXPECT_TRUE(all.line.noExpert);
    EXPECT_TRUE(all.line.textureOn);
    EXPECT_STREQ(all.line.screenshotPath, "shot.png");

    Parsed defaults = Parse({"/s"});
    EXPECT_EQ(defaults.line.rate, -1);
    EXPECT_EQ(defaults.line.renderMulti, -1);
    EXPECT_FALSE(defaults.line.noTrails);

    EXPECT_EQ(Parse({"--rate", "5"}).line.rate, 5);
    EXPECT_EQ(Parse({"--render-multi", "1"}).line.renderMulti, 1);
}

TEST(CommandLineTest, BadInputIsAnErrorWithAMessage) {
    struct Case {
        std::initializer_list<const char*> args;
        const char* env;
        const char* mentions;
    } cases[] = {
        {{"--rate", "4"}, nullptr, "5 to 1000"},
        {{"--rate", "1001"}, nullptr, "5 to 1000"},
        {{"--rate", "fast"}, nullptr, "--rate"},
        {{"--rate"}, nullptr, "--rate"},
        {{"--render-multi", "0"}, nullptr, "1 to 200"},
        {{"--window-id", "-5"}, nullptr, "--window-id"},
        {{"--window-id", "0"}, nullptr, "--window-id"},
        {{"--window-id", "0x"}, nullptr, "--window-id"},
        {{"--window-id", "12abc"}, nullptr, "--window-id"},
        {{"--window-id"}, nullptr, "--window-id"},
        {{"--screenshot"}, nullptr, "--screenshot"},
        {{"--frobnicate"}, nullptr, "--frobnicate"},
        {{"/s", "--bogus"}, nullptr, "--bogus"},
        {{"--root"}, "not-a-window", "XSCREENSAVER_WINDOW"},
        // Switches take no value.
        {{"--headless=1"}, nullptr, "option --headless=1 takes no value"},
        {{"--help=yes"}, nullptr, "option --help=yes takes no value"},
        {{"--texture=0"}, nullptr, "option --texture=0 takes no value"},
        {{"-root=1"}, nullptr, "option -root=1 takes no value"},
        // Control characters never reach the terminal: one line, always.
        {{"--bogus\n\x1b[2J"}, nullptr, "unknown option --bogus??[2J"},
        {{"--root"}, "12\n34", "\"12?34\""},
    };
    for (const Case& c : cases) {
        Parsed parsed = Parse(c.args, c.env);
        EXPECT_FALSE(parsed.ok) << c.mentions;
        EXPECT_EQ(parsed.line.launch, Launch::Error) << c.mentions;
        EXPECT_NE(std::strstr(parsed.line.error, c.mentions), nullptr)
            << "'" << parsed.line.error << "' should mention " << c.mentions;
        EXPECT_EQ(std::strchr(parsed.line.error, '\n'), nullptr) << parsed.line.error;
    }
}

// An argument longer than the message can hold is cut, and the cut shows.
TEST(CommandLineTest, AHugeArgumentGivesACutMessage) {
    const std::string huge = "--" + std::string(400, 'x');
    Parsed parsed = Parse({huge.c_str()}, nullptr);
    EXPECT_FALSE(parsed.ok);
    const std::string error = parsed.line.error;
    EXPECT_EQ(error.size(), sizeof parsed.line.error - 1);
    EXPECT_EQ(error.rfind("unknown option --xxx", 0), 0u) << error;
    EXPECT_EQ(error.substr(error.size() - 3), "...") << error;
}

TEST(CommandLineTest, UsageFitsOneScreen) {
    const char* text = UsageText();
    int lines = 0;
    for (const char* c = text; *c != '\0'; ++c) {
        lines += *c == '\n';
    }
    EXPECT_LE(lines, 40);
    for (const char* must : {"/c", "/p", "/s", "--window", "--headless", "--root", "--window-id",
                             "--rate", "--screenshot", "Esc"}) {
        EXPECT_NE(std::strstr(text, must), nullptr) << must;
    }
}

}  // namespace

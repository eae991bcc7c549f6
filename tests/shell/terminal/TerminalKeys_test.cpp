// The keys, the pace ladder, the key line and the composed frame around the
// map; and the command line that selects the terminal view.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "shell/CommandLine.h"
#include "shell/terminal/TerminalFrame.h"
#include "shell/terminal/TerminalKeys.h"
#include "shell/terminal/FrameBuilder.h"
#include "shell/terminal/TerminalView.h"
#include "shell/terminal/WorldMap.h"
#include "simulation/StatisticsText.h"

namespace {

std::string Row(const TermFrame& frame, int32_t y) {
    std::string text;
    for (int32_t x = 0; x < frame.Cols(); ++x) {
        const char32_t g = frame.At(x, y).glyph;
        text += g < 0x80 ? static_cast<char>(g) : '#';
    }
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

TEST(TerminalKeys, EachKeyAndItsAction) {
    struct Case {
        int32_t key;
        KeyAction action;
    };
    const Case cases[] = {
        {'q', KeyAction::Quit},          {'Q', KeyAction::Quit},
        {27, KeyAction::Quit},           {' ', KeyAction::Pause},
        {'t', KeyAction::Trails},        {'T', KeyAction::Trails},
        {'e', KeyAction::ExpertSystem},  {'E', KeyAction::ExpertSystem},
        {'+', KeyAction::Faster},        {'=', KeyAction::Faster},
        {'-', KeyAction::Slower},        {'_', KeyAction::Slower},
        {'n', KeyAction::NewColony},     {'N', KeyAction::NewColony},
        {'r', KeyAction::Rules},         {'R', KeyAction::Rules},
        {12, KeyAction::Redraw},         {'x', KeyAction::None},
        {'\n', KeyAction::None},         {3, KeyAction::None},  // Ctrl+C arrives as a signal
        {0x102, KeyAction::None},        {-1, KeyAction::None},  // function keys, nothing
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ActionForKey(c.key), c.action) << c.key;
    }
}

TEST(TerminalKeys, PaceLadderStaysWithinFiveToAThousand) {
    struct Case {
        int32_t rate;
        int32_t up;
        int32_t down;
    };
    const Case cases[] = {
        {40, 50, 30}, {5, 10, 5},     {1000, 1000, 800}, {7, 10, 5},
        {999, 1000, 800}, {1, 5, 5},  {5000, 1000, 1000},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(StepPace(c.rate, 1), c.up) << c.rate;
        EXPECT_EQ(StepPace(c.rate, -1), c.down) << c.rate;
        EXPECT_EQ(StepPace(c.rate, 0), c.rate);
    }
    int32_t rate = 5;
    int32_t presses = 0;
    while (rate < 1000) {
        rate = StepPace(rate, 1);
        ++presses;
    }
    EXPECT_EQ(presses, 20);
}

TEST(TerminalKeys, KeyLineFitsItsWidth) {
    struct Case {
        int32_t width;
        bool paused;
        int32_t rate;
        const char* text;
    };
    const Case cases[] = {
        {119, false, 40,
         "q quit  Space pause  t trails  e expert  +/- pace 40/s  n new colony  r rules"},
        {79, false, 40,
         "q quit  Space pause  t trails  e expert  +/- pace 40/s  n new colony  r rules"},
        {88, true, 1000,
         "q quit  Space resume  t trails  e expert  +/- pace 1000/s  n new colony  r rules  paused"},
        {79, true, 1000, "q Space t e +/- n r                                               paused 1000/s"},
        {60, false, 40, "q Space t e +/- n r                                     40/s"},
        {39, true, 125, "q Space t e +/- n r        paused 125/s"},
        {12, false, 40, "q Space t e"},
    };
    for (const Case& c : cases) {
        TermFrame frame;
        frame.Resize(c.width + 1, 1);
        DrawKeyLine(frame, 0, c.width, c.paused, c.rate);
        EXPECT_EQ(Row(frame, 0), c.text) << c.width;
        EXPECT_EQ(frame.At(c.width, 0), TermCell{}) << "the last column stays blank";
        EXPECT_EQ(frame.At(0, 0).attributes, kAttributeBold) << "keys in bold";
        const bool words = Row(frame, 0).find("quit") != std::string::npos;
        EXPECT_EQ(frame.At(2, 0).attributes, words ? 0 : kAttributeBold);
    }
}

TEST(TerminalView, FrameHoldsMapStatisticsAndKeys) {
    auto picture = std::make_unique<WorldPicture>();
    picture->width = 0;  // the map's content is tested elsewhere
    picture->height = 0;
    StatisticsLines statistics{};
    for (int32_t i = 0; i < StatisticsLines::kLineCount; ++i) {
        std::snprintf(statistics.line[i], StatisticsLines::kLineCapacity, "line %d  ", i + 1);
    }
    FrameState state;
    for (const auto& size : {std::pair<int32_t, int32_t>{80, 24}, {60, 50}, {40, 12}}) {
        const TerminalLayout layout = ComputeLayout(size.first, size.second, 128, 128, true);
        TermFrame frame;
        frame.Resize(size.first, size.second);
        ComposeFrame(*picture, statistics, layout, state, ColourDepth::Colours256, frame);
        for (int32_t i = 0; i < layout.statsLines; ++i) {
            const std::string row = Row(frame, layout.statsRow + i);
            EXPECT_EQ(row.substr(static_cast<size_t>(layout.statsCol)),
                      "line " + std::to_string(i + 1))
                << size.first << " x " << size.second;
        }
        EXPECT_EQ(Row(frame, size.second - 1).substr(0, 2), "q ")
            << "the key line";
        EXPECT_EQ(Row(frame, size.second - 1).find("quit") != std::string::npos, size.first >= 79);
        EXPECT_EQ(frame.At(0, 0).bg, 21u) << "the map's border at the top left";
        EXPECT_EQ(frame.At(size.first - 1, size.second - 1), TermCell{});
    }
}

// The expert line names the rule base while on. Where the statistics column
// is too narrow for the name, the line shows without it, never cut inside a
// word; a line that is simply too long is cut at the column as before.
TEST(TerminalView, AStatisticsLineLosesANameThatDoesNotFitWhole) {
    auto picture = std::make_unique<WorldPicture>();
    picture->width = picture->height = 0;
    struct Case {
        const char* line;
        int32_t width;
        const char* shown;
    };
    const Case cases[] = {
        {"Expert System Actions is On (default)", 40, "Expert System Actions is On (default)"},
        {"Expert System Actions is On (default)", 37, "Expert System Actions is On (default)"},
        {"Expert System Actions is On (default)", 36, "Expert System Actions is On"},
        {"Expert System Actions is On (default)", 29, "Expert System Actions is On"},
        {"Expert System Actions is Off", 29, "Expert System Actions is Off"},
        {"Colony deaths 1234567890123456789012", 29, "Colony deaths 123456789012345"},
    };
    for (const Case& c : cases) {
        StatisticsLines statistics{};
        std::snprintf(statistics.line[0], StatisticsLines::kLineCapacity, "%s", c.line);
        TerminalLayout layout = ComputeLayout(80, 24, 128, 128, true);
        layout.statsWidth = c.width;
        TermFrame frame;
        frame.Resize(layout.statsCol + c.width + 10, 24);  // the column, not the frame, bounds it
        ComposeFrame(*picture, statistics, layout, FrameState{}, ColourDepth::Colours256, frame);
        const std::string row = Row(frame, layout.statsRow);
        EXPECT_EQ(row.substr(std::min(row.size(), static_cast<size_t>(layout.statsCol))), c.shown)
            << c.line << " in " << c.width;
    }
}

TEST(TerminalView, TooSmallShowsOneLine) {
    auto picture = std::make_unique<WorldPicture>();
    picture->width = picture->height = 0;
    StatisticsLines statistics{};
    for (const auto& size : {std::pair<int32_t, int32_t>{39, 30}, {120, 11}, {20, 1}}) {
        const TerminalLayout layout = ComputeLayout(size.first, size.second, 128, 128, true);
        TermFrame frame;
        frame.Resize(size.first, size.second);
        ComposeFrame(*picture, statistics, layout, FrameState{}, ColourDepth::TrueColour, frame);
        const std::string message(kTooSmallMessage);
        const size_t shown = std::min<size_t>(message.size(),
                                              static_cast<size_t>(size.first - (size.second > 1 ? 0 : 1)));
        EXPECT_EQ(Row(frame, 0), message.substr(0, shown)) << size.first << " x " << size.second;
        for (int32_t y = 1; y < size.second; ++y) EXPECT_EQ(Row(frame, y), "");
    }
}

}  // namespace

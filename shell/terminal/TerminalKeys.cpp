#include "shell/terminal/TerminalKeys.h"

#include <cstdio>
#include <cstring>

#include "shell/terminal/TerminalFrame.h"

namespace {

constexpr int32_t kEscape = 27;
constexpr int32_t kCtrlL = 12;

struct KeyHelp {
    const char* key;
    const char* word;  // null: the pace, formatted
};

constexpr KeyHelp kKeyHelp[] = {
    {"q", "quit"},  {"Space", "pause"}, {"t", "trails"},   {"e", "expert"},
    {"+/-", nullptr}, {"n", "new colony"}, {"r", "rules"},
};

// What a key does, as the key line says it.
const char* Word(const KeyHelp& help, bool paused, const char* pace) {
    if (help.word == nullptr) {
        return pace;
    }
    if (paused && std::strcmp(help.key, "Space") == 0) {
        return "resume";
    }
    return help.word;
}

}  // namespace

KeyAction ActionForKey(int32_t key) {
    switch (key) {
        case 'q':
        case 'Q':
        case kEscape:
            return KeyAction::Quit;
        case ' ':
            return KeyAction::Pause;
        case 't':
        case 'T':
            return KeyAction::Trails;
        case 'e':
        case 'E':
            return KeyAction::ExpertSystem;
        case '+':
        case '=':
            return KeyAction::Faster;
        case '-':
        case '_':
            return KeyAction::Slower;
        case 'n':
        case 'N':
            return KeyAction::NewColony;
        case 'r':
        case 'R':
            return KeyAction::Rules;
        case kCtrlL:
            return KeyAction::Redraw;
        default:
            return KeyAction::None;
    }
}

int32_t StepPace(int32_t rate, int32_t direction) {
    constexpr int32_t count = static_cast<int32_t>(sizeof kPaceLadder / sizeof kPaceLadder[0]);
    if (direction > 0) {
        for (int32_t i = 0; i < count; ++i) {
            if (kPaceLadder[i] > rate) {
                return kPaceLadder[i];
            }
        }
        return kPaceLadder[count - 1];
    }
    if (direction < 0) {
        for (int32_t i = count - 1; i >= 0; --i) {
            if (kPaceLadder[i] < rate) {
                return kPaceLadder[i];
            }
        }
        return kPaceLadder[0];
    }
    return rate;
}

void DrawKeyLine(TermFrame& frame, int32_t row, int32_t width, bool paused, int32_t rate) {
    char pace[32];
    std::snprintf(pace, sizeof pace, "pace %d/s", rate);
    // With words the pace sits with its key; without them it joins the state
    // on the right.
    int32_t wordsWidth = 0;
    for (const KeyHelp& help : kKeyHelp) {
        wordsWidth += (wordsWidth > 0 ? 2 : 0) + static_cast<int32_t>(std::strlen(help.key)) + 1 +
                      static_cast<int32_t>(std::strlen(Word(help, paused, pace)));
    }
    constexpr int32_t kMargin = 2;
    const char* wordsState = paused ? "paused" : "";
    const bool words =
        wordsWidth + kMargin + static_cast<int32_t>(std::strlen(wordsState)) <= width;
    char state[48];
    if (words) {
        std::snprintf(state, sizeof state, "%s", wordsState);
    } else {
        std::snprintf(state, sizeof state, paused ? "paused %d/s" : "%d/s", rate);
    }
    const int32_t stateWidth = static_cast<int32_t>(std::strlen(state));

    int32_t x = 0;
    for (const KeyHelp& help : kKeyHelp) {
        if (x > 0) {
            x += words ? 2 : 1;
        }
        x += frame.Text(x, row, help.key, width - x, kAttributeBold);
        if (words) {
            x += 1;
            x += frame.Text(x, row, Word(help, paused, pace), width - x);
        }
        if (x >= width) {
            return;
        }
    }
    // The state on the right, where there is room after the keys.
    const int32_t stateX = width - stateWidth;
    if (stateWidth > 0 && stateX >= x + 1) {
        frame.Text(stateX, row, state, stateWidth);
    }
}

// The paint cadence and the screen-saver input rules.
#include <gtest/gtest.h>

#include <vector>

#include "presentation/PaintCadence.h"
#include "presentation/ScreenSaverInput.h"

namespace {

std::vector<int> DrawingPaints(int32_t renderingMulti, int paints) {
    PaintCadence cadence;
    cadence.renderingMulti = renderingMulti;
    std::vector<int> drawn;
    for (int i = 1; i <= paints; ++i) {
        if (cadence.OnPaint()) drawn.push_back(i);
    }
    return drawn;
}

}  // namespace

TEST(PaintCadence, DrawsOnEveryRenderingMultiPlusOnePaint) {
    EXPECT_EQ(DrawingPaints(1, 7), (std::vector<int>{2, 4, 6}));
    EXPECT_EQ(DrawingPaints(0, 3), (std::vector<int>{2, 3}));
    EXPECT_EQ(DrawingPaints(3, 10), (std::vector<int>{2, 6, 10}));
    const std::vector<int> slow = DrawingPaints(200, 500);
    EXPECT_EQ(slow, (std::vector<int>{2, 203, 404}));
}

TEST(PaintCadence, NewRenderingMultiTakesEffectAfterTheNextFrame) {
    PaintCadence cadence;
    EXPECT_FALSE(cadence.OnPaint());
    EXPECT_TRUE(cadence.OnPaint());  // countdown reloaded with 1
    cadence.renderingMulti = 4;
    EXPECT_FALSE(cadence.OnPaint());
    EXPECT_TRUE(cadence.OnPaint());
    for (int i = 0; i < 4; ++i) EXPECT_FALSE(cadence.OnPaint());
    EXPECT_TRUE(cadence.OnPaint());
}

TEST(ScreenSaverInput, KeyPressesCloseExceptSystemKeys) {
    struct Case {
        SDL_Keycode key;
        uint16_t modifiers;
        bool close;
    };
    const Case cases[] = {
        {SDLK_a, KMOD_NONE, true},
        {SDLK_SPACE, KMOD_NONE, true},
        {SDLK_ESCAPE, KMOD_NONE, true},
        {SDLK_LSHIFT, KMOD_LSHIFT, true},
        {SDLK_RCTRL, KMOD_RCTRL, true},
        {SDLK_p, KMOD_LCTRL, true},
        {SDLK_F1, KMOD_NONE, true},
        {SDLK_F10, KMOD_NONE, false},
        {SDLK_LALT, KMOD_LALT, false},
        {SDLK_RALT, KMOD_NONE, false},
        {SDLK_s, KMOD_LALT, false},
        {SDLK_F4, KMOD_LALT, true},  // the system's close shortcut
        {SDLK_F4, KMOD_NONE, true},
    };
    for (const Case& c : cases) {
        ScreenSaverInput input;
        const InputResult r = input.OnKeyDown(c.key, c.modifiers);
        EXPECT_EQ(r.close, c.close) << "key " << c.key << " mod " << c.modifiers;
        EXPECT_FALSE(r.repaint);
    }
}

TEST(ScreenSaverInput, FirstMousePositionIsStoredASecondDifferentOneCloses) {
    ScreenSaverInput input;
    EXPECT_FALSE(input.HasMousePoint());

    InputResult r = input.OnMouseMove(100, 200);
    EXPECT_FALSE(r.close);
    EXPECT_TRUE(r.repaint);
    EXPECT_EQ(input.MousePoint(), (GridPoint{100, 200}));

    r = input.OnMouseMove(100, 200);  // same place: a repaint, nothing more
    EXPECT_FALSE(r.close);
    EXPECT_TRUE(r.repaint);

    EXPECT_FALSE(input.OnMouseButton().close);
    EXPECT_FALSE(input.OnKeyUp().close);

    r = input.OnMouseMove(101, 200);  // one pixel away
    EXPECT_TRUE(r.close);
    EXPECT_TRUE(r.repaint);
    EXPECT_EQ(input.MousePoint(), (GridPoint{100, 200}));  // stored once, never updated
}

TEST(ScreenSaverInput, FirstPositionMayBeAnywhereEvenMinusOne) {
    ScreenSaverInput input;
    EXPECT_FALSE(input.OnMouseMove(-1, -1).close);
    EXPECT_FALSE(input.OnMouseMove(-1, -1).close);
    EXPECT_TRUE(input.OnMouseMove(0, -1).close);
}

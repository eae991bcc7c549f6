#pragma once
// The paint cadence: paint requests arrive after every simulation step (and
// on mouse movement); a frame is drawn on every (renderingMulti + 1)-th one.
// With the initial countdown of 1 the first request draws nothing and the
// second draws the first frame. UI thread only.
#include <cstdint>

class PaintCadence {
public:
    static constexpr int32_t kDefaultRenderingMulti = 1;

    // Counts one paint request down; true when this request draws a frame.
    bool OnPaint() {
        if (paintCountdown > 0) {
            --paintCountdown;
            return false;
        }
        paintCountdown = renderingMulti;
        return true;
    }

    int32_t renderingMulti = kDefaultRenderingMulti;  // "Rendering Multi" (1 .. 200)
    int32_t paintCountdown = kDefaultRenderingMulti;
};

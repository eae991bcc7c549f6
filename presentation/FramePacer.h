#pragma once
// When the next frame is due in the smooth cadence: one frame per refresh of
// the display, so that the orbit moves a little in every frame.
//
// Where the buffer swap waits for the display (vsync), the swap itself paces
// the frames and the loop must not wait as well: a wake-up a hair late would
// miss the refresh and show the previous frame twice. Where it does not (a
// virtual display such as Xvfb, a driver that ignores the swap interval), the
// frames would come as fast as they can be drawn, so a timer paces them. Which
// of the two holds is found by watching the frames: the pacer starts by
// trusting the swap, and turns to the timer for good once most frames of a
// block of kWatchFrames came clearly sooner than the display refreshes.
//
// Times are microseconds of a steady clock. UI thread only.
#include <cstdint>

class FramePacer {
public:
    // A display that does not say its refresh rate is a virtual or a remote
    // one (Xvfb, a VNC server): no vsync to keep to, every frame a copy of the
    // whole picture, often over a network. There 30 frames a second keep the
    // slow orbit smooth at half the cost of 60.
    static constexpr double kDefaultRefreshHz = 30.0;
    static constexpr double kMinRefreshHz = 20.0;      // below this the display is taken as unknown
    static constexpr double kMaxRefreshHz = 500.0;
    // Frames watched at a time, and how much sooner than a refresh interval
    // a frame must come for the swap not to be waiting.
    static constexpr int32_t kWatchFrames = 24;
    static constexpr double kShortShare = 0.75;

    enum class Mode : int32_t { SwapPaced, TimerPaced };

    // hz: the display's refresh rate; 0 (unknown) or out of range uses the default.
    void SetRefreshRate(double hz);

    // Microseconds to wait before the next frame is due; 0 when it is due now.
    int64_t WaitMicros(int64_t now) const;
    // A frame starts drawing at now.
    void FrameStarted(int64_t now);

    int64_t IntervalMicros() const { return interval; }
    Mode CurrentMode() const { return mode; }

private:
    int64_t interval = static_cast<int64_t>(1.0e6 / kDefaultRefreshHz);
    Mode mode = Mode::SwapPaced;
    int64_t due = 0;        // when the timer lets the next frame start
    int64_t lastStart = 0;
    bool started = false;
    int32_t watched = 0;    // intervals of the current block
    int32_t shortOnes = 0;  // of them, clearly shorter than a refresh
};

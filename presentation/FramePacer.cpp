#include "presentation/FramePacer.h"

void FramePacer::SetRefreshRate(double hz) {
    if (!(hz >= kMinRefreshHz && hz <= kMaxRefreshHz)) hz = kDefaultRefreshHz;
    interval = static_cast<int64_t>(1.0e6 / hz + 0.5);
}

int64_t FramePacer::WaitMicros(int64_t now) const {
    if (mode != Mode::TimerPaced || now >= due) return 0;
    return due - now;
}

void FramePacer::FrameStarted(int64_t now) {
    if (mode == Mode::SwapPaced) {
        if (started) {
            const double gap = static_cast<double>(now - lastStart);
            if (gap < kShortShare * static_cast<double>(interval)) ++shortOnes;
            if (++watched == kWatchFrames) {
                if (2 * shortOnes > kWatchFrames) {
                    mode = Mode::TimerPaced;
                    due = now + interval;
                }
                watched = 0;
                shortOnes = 0;
            }
        }
        lastStart = now;
        started = true;
        return;
    }
    // Keep to the grid of intervals while the frames keep up with it; a frame
    // later than a whole interval starts the grid afresh, so no burst of
    // frames makes up for a stall.
    due = now - due > interval ? now + interval : due + interval;
}

#pragma once
// The intervals between frames as the user sees them (from one buffer swap to
// the next), kept for a report of their spread: how many frames, the median,
// the 95th percentile and the longest. A fixed ring of the latest intervals:
// recording never allocates. UI thread only.
#include <cstdint>

struct FrameIntervalSummary {
    int32_t frames = 0;  // frames presented since the last Restart
    double p50Ms = 0.0;
    double p95Ms = 0.0;
    double maxMs = 0.0;
};

class FrameIntervals {
public:
    // At 60 frames a second a little over a minute of frames.
    static constexpr int32_t kCapacity = 4096;

    // A frame was presented at now (microseconds of a steady clock).
    void Presented(int64_t now);
    // Forgets what was recorded; the next frame only marks the start. A frame
    // that was slow on purpose (a screenshot read back) is left out this way.
    void Restart() {
        next = 0;
        count = 0;
        frames = 0;
        hasLast = false;
    }
    // Over the latest kCapacity intervals at most.
    FrameIntervalSummary Summary() const;

private:
    int32_t intervals[kCapacity] = {};  // microseconds, a ring
    int32_t next = 0;
    int32_t count = 0;   // intervals held, up to kCapacity
    int32_t frames = 0;  // frames presented since Restart
    int64_t last = 0;
    bool hasLast = false;
    mutable int32_t sorted[kCapacity] = {};  // Summary's scratch
};

#include "presentation/FrameIntervals.h"

#include <algorithm>
#include <cstdint>

void FrameIntervals::Presented(int64_t now) {
    ++frames;
    if (hasLast) {
        const int64_t gap = now - last;
        intervals[next] = static_cast<int32_t>(std::clamp<int64_t>(gap, 0, INT32_MAX));
        next = (next + 1) % kCapacity;
        if (count < kCapacity) ++count;
    }
    last = now;
    hasLast = true;
}

FrameIntervalSummary FrameIntervals::Summary() const {
    FrameIntervalSummary summary;
    summary.frames = frames;
    if (count == 0) return summary;
    std::copy_n(intervals, count, sorted);  // the ring's order does not matter here
    std::sort(sorted, sorted + count);
    // Nearest rank: the smallest interval with at least p of them at or below it.
    const auto rank = [this](double p) {
        const int32_t k = static_cast<int32_t>(p * count + 0.999999);
        return sorted[std::clamp(k, 1, count) - 1] / 1000.0;
    };
    summary.p50Ms = rank(0.50);
    summary.p95Ms = rank(0.95);
    summary.maxMs = sorted[count - 1] / 1000.0;
    return summary;
}

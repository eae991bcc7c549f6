#pragma once
// The history of a headless run for its plot: population, food reserves and
// food supply after every step, kept in a fixed number of samples. When the
// buffer is full every other sample is dropped and the stride doubles, so a
// run of any length keeps an even spread of at most kCapacity samples and
// nothing is allocated while it runs. The last step is always kept.
#include <cstdint>

#include "shell/RunObserver.h"

struct HistorySample {
    int32_t step = 0;
    float population = 0.0f;
    float foodReserves = 0.0f;
    float foodSupply = 0.0f;
    int32_t colonyDeaths = 0;
};

class HistoryRecorder final : public RunObserver {
public:
    static constexpr int32_t kCapacity = 2048;  // even: halving keeps whole pairs

    void AfterStep(const Simulation& simulation) override;
    void Add(const HistorySample& sample);

    // The samples in step order, the last step included (count at most
    // kCapacity + 1).
    int32_t Count() const { return count + (hasLast ? 1 : 0); }
    const HistorySample& At(int32_t index) const { return index < count ? samples[index] : last; }
    int64_t Stride() const { return stride; }

private:
    HistorySample samples[kCapacity];
    int32_t count = 0;
    int64_t stride = 1;  // the kept steps are the multiples of it
    int64_t seen = 0;    // steps seen
    HistorySample last;   // the newest step, when it is not kept anyway
    bool hasLast = false;
};

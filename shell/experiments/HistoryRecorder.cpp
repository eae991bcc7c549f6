#include "shell/experiments/HistoryRecorder.h"

#include "simulation/Simulation.h"

void HistoryRecorder::AfterStep(const Simulation& simulation) {
    HistorySample sample;
    sample.step = simulation.totalSteps;
    sample.population = static_cast<float>(simulation.colony.population);
    sample.foodReserves = simulation.colony.foodReserves;
    sample.foodSupply = static_cast<float>(simulation.foodField.FoodCount());
    sample.colonyDeaths = simulation.colonyDeaths;
    Add(sample);
}

void HistoryRecorder::Add(const HistorySample& sample) {
    // The n-th step is kept when n is a multiple of the stride.
    ++seen;
    if (seen % stride != 0 || count == kCapacity) {
        if (count == kCapacity && seen % stride == 0) {
            // Keep the samples at multiples of twice the stride: 1, 3, 5, ...
            for (int32_t i = 0; i < kCapacity / 2; ++i) samples[i] = samples[2 * i + 1];
            count = kCapacity / 2;
            stride *= 2;
        }
        if (seen % stride != 0) {
            last = sample;
            hasLast = true;
            return;
        }
    }
    samples[count++] = sample;
    hasLast = false;
}

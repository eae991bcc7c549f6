#include "simulation/SceneColours.h"

#include "colony/Ant.h"

QuadColours AntColours(int32_t role, bool wandererCarrying) {
    switch (role) {
        case Wandering:
            return {wandererCarrying ? kAntGreen : kAntPurple, kAntPurple};
        case Gathering:
            return {kAntYellow, kAntYellow};
        case ReturnToBase:
        case ReturnClearingTrail:
            return {kAntYellow, kAntBlack};
        default:
            return {kAntRed, kAntRed};
    }
}

int32_t FadeBrightness(int32_t value, int32_t threshold) {
    const int32_t clamped = value < 0 ? 0 : value;
    // A zero threshold only fades negative values, which count as fully faded.
    const float ratio =
        threshold != 0 ? static_cast<float>(clamped) / static_cast<float>(threshold) : 0.0f;
    const float scaled = (1.0f - ratio) * static_cast<float>(kFadeMaxBrightness);
    if (!(scaled > 0.0f)) {
        return 0;
    }
    if (scaled >= static_cast<float>(kFadeMaxBrightness)) {
        return kFadeMaxBrightness;
    }
    return static_cast<int32_t>(scaled);
}

uint32_t FoodColour(int32_t turnsLeft, int32_t threshold) {
    if (turnsLeft >= threshold) {
        return kFoodFreshColour;
    }
    const uint32_t b = static_cast<uint32_t>(FadeBrightness(turnsLeft, threshold));
    return (b << 16) | 0xFF00u | b;
}

uint32_t TrailColour(int32_t intensity) {
    if (intensity >= kTrailFadeThreshold) {
        return kTrailStrongColour;
    }
    const uint32_t b = static_cast<uint32_t>(FadeBrightness(intensity, kTrailFadeThreshold));
    return (b << 16) | (b << 8) | 0xFFu;
}

#include "settings/RunDescription.h"

#include <cstdio>

namespace {

using P = ParameterId;

std::string Shown(const RunDescription& run, ParameterId id) {
    return FormatParameterValue(id, run.values[static_cast<int32_t>(id)]);
}

bool SameWorldSide(const RunDescription& run, ParameterId newSim, ParameterId newColony,
                   std::string& error) {
    if (run.Given(newSim) && run.Given(newColony) && run.Number(newSim) != run.Number(newColony)) {
        error = std::string(Parameter(newSim).name) + " " + Shown(run, newSim) + " and " +
                Parameter(newColony).name + " " + Shown(run, newColony) +
                " both set the world's size; give one of them";
        return false;
    }
    return true;
}

bool CheckPlacement(const RunDescription& run, ParameterId id, int32_t side, const char* extent,
                    std::string& error) {
    const int32_t position = static_cast<int32_t>(run.Number(id));
    const int32_t low = kPlacementMargin;
    const int32_t high = side - kPlacementMargin;
    if (position >= low && position <= high) return true;
    char text[240];
    if (high < low) {
        std::snprintf(text, sizeof text,
                      "a world %d %s leaves no room for the colony: %s must be %d or more from "
                      "each border",
                      side, extent, Parameter(id).name, kPlacementMargin);
    } else {
        std::snprintf(text, sizeof text, "%s %d is too close to the border of a world %d %s: it "
                                         "takes %d to %d",
                      Parameter(id).name, position, side, extent, low, high);
    }
    error = text;
    return false;
}

}  // namespace

RunDescription::RunDescription() {
    for (int32_t i = 0; i < kParameterCount; ++i) {
        values[i] = DefaultValue(static_cast<ParameterId>(i));
    }
}

void RunDescription::Set(ParameterId id, const ParameterValue& value) {
    values[static_cast<int32_t>(id)] = value;
    given[static_cast<int32_t>(id)] = true;
}

int32_t RunDescription::WorldWidth() const {
    return static_cast<int32_t>(Number(Given(P::ColonyWorldWidth) ? P::ColonyWorldWidth
                                                                   : P::WorldWidth));
}

int32_t RunDescription::WorldHeight() const {
    return static_cast<int32_t>(Number(Given(P::ColonyWorldHeight) ? P::ColonyWorldHeight
                                                                    : P::WorldHeight));
}

bool CheckRun(const RunDescription& run, std::string& error) {
    // Added in the dialog's exchange order, each partial sum rounded to single
    // precision, so that exactly what Ants Options accepts is accepted here.
    float sum = static_cast<float>(run.Number(P::GatheringShare));
    sum = sum + static_cast<float>(run.Number(P::MeanderingShare));
    sum = sum + static_cast<float>(run.Number(P::ReproducingShare));
    sum = sum + static_cast<float>(run.Number(P::WanderingShare));
    if (sum != 100.0f) {
        char total[32];
        std::snprintf(total, sizeof total, "%g", static_cast<double>(sum));
        error = "the four shares must add up to 100: gatheringShare " +
                Shown(run, P::GatheringShare) + " + meanderingShare " +
                Shown(run, P::MeanderingShare) + " + reproducingShare " +
                Shown(run, P::ReproducingShare) + " + wanderingShare " +
                Shown(run, P::WanderingShare) + " make " + total;
        return false;
    }
    if (!SameWorldSide(run, P::WorldWidth, P::ColonyWorldWidth, error) ||
        !SameWorldSide(run, P::WorldHeight, P::ColonyWorldHeight, error)) {
        return false;
    }
    return CheckPlacement(run, P::ColonyX, run.WorldWidth(), "wide", error) &&
           CheckPlacement(run, P::ColonyY, run.WorldHeight(), "high", error);
}

#include "simulation/StatisticsText.h"

#include <cstdio>

#include "simulation/Simulation.h"

void FormatStatistics(Simulation& simulation, StatisticsLines& out) {
    Colony& colony = simulation.colony;
    const size_t n = StatisticsLines::kLineCapacity;
    std::snprintf(out.line[0], n, "Render Time %7.4f  ", static_cast<double>(simulation.renderSeconds));
    std::snprintf(out.line[1], n, "Op Time %9.6f  ", static_cast<double>(simulation.stepSeconds));
    std::snprintf(out.line[2], n, "Total Sims %d ", simulation.totalSteps);
    std::snprintf(out.line[3], n, "Meandoring Ants  %5.2f %d  ",
                  static_cast<double>(colony.meanderingShare), colony.meanderers);
    std::snprintf(out.line[4], n, "Wandering Ants %5.2f %d  ",
                  static_cast<double>(colony.wanderingShare), colony.wanderers);
    std::snprintf(out.line[5], n, "Gathering Ants %5.2f %d  ",
                  static_cast<double>(colony.gatheringShare), colony.gatherers);
    std::snprintf(out.line[6], n, "Reproducing Ants %5.2f %d  ",
                  static_cast<double>(colony.reproducingShare), colony.reproducers);
    std::snprintf(out.line[7], n, "Return to Base Ants %d  ", colony.returners);
    std::snprintf(out.line[8], n, "Total Ants %d  ", colony.population);
    std::snprintf(out.line[9], n, "Colony Food Surplus %7.2f  ", static_cast<double>(colony.foodReserves));
    std::snprintf(out.line[10], n, "Food Left %d  ", simulation.foodField.FoodCount());
    ExpertSystem& expert = simulation.expertSystem;
    if (!expert.on) {
        // Stale conclusions must not be shown while the expert system is off.
        expert.populationAction[0] = '\0';
        expert.foodAction[0] = '\0';
    }
    // While on, the line names the rule base that draws the conclusions.
    if (expert.on && expert.ruleBaseName[0] != '\0') {
        std::snprintf(out.line[11], n, "Expert System Actions is On (%s)", expert.ruleBaseName);
    } else {
        std::snprintf(out.line[11], n, "%s",
                      expert.on ? "Expert System Actions is On" : "Expert System Actions is Off");
    }
    std::snprintf(out.line[12], n, "%.99s", expert.populationAction);
    std::snprintf(out.line[13], n, "%.99s", expert.foodAction);
    std::snprintf(out.line[14], n, "Colony deaths %d  ", simulation.colonyDeaths);
}

#include "shell/headless/CsvRow.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "simulation/Simulation.h"

namespace {

class Appender {
public:
    Appender(char* buffer, size_t capacity) : buffer(buffer), capacity(capacity) {
        if (capacity > 0) {
            buffer[0] = '\0';
        }
    }
    void Format(const char* format, ...) __attribute__((format(printf, 2, 3))) {
        if (length + 1 >= capacity) {
            return;
        }
        va_list args;
        va_start(args, format);
        const int written = std::vsnprintf(buffer + length, capacity - length, format, args);
        va_end(args);
        if (written > 0) {
            length += static_cast<size_t>(written);
            if (length >= capacity) {
                length = capacity - 1;
            }
        }
    }
    void Put(char c) {
        if (length + 1 < capacity) {
            buffer[length++] = c;
            buffer[length] = '\0';
        }
    }
    // RFC 4180: always quoted, inner quotes doubled. Blanks at either end
    // are left out: the overlay pads its action lines to a fixed width, which
    // means nothing in a data file.
    void QuotedTrimmed(const char* text) {
        while (*text == ' ') ++text;
        const char* end = text + std::strlen(text);
        while (end > text && end[-1] == ' ') --end;
        Put('"');
        for (const char* c = text; c != end; ++c) {
            if (*c == '"') {
                Put('"');
            }
            Put(*c);
        }
        Put('"');
    }
    size_t Length() const { return length; }

private:
    char* buffer;
    size_t capacity;
    size_t length = 0;
};

}  // namespace

const char kHeadlessCsvHeader[] =
    "step,population,meandering,wandering,gathering,reproducing,returning,"
    "meandering_share,wandering_share,gathering_share,reproducing_share,"
    "food_reserves,food_supply,colony_deaths,expert_system,population_action,food_action";

size_t FormatCsvRow(const Simulation& simulation, char* buffer, size_t capacity) {
    const Colony& colony = simulation.colony;
    const ExpertSystem& expert = simulation.expertSystem;
    Appender row(buffer, capacity);
    row.Format("%d,%d,%d,%d,%d,%d,%d,%.2f,%.2f,%.2f,%.2f,%.3f,%d,%d,%s,", simulation.totalSteps,
               colony.population, colony.meanderers, colony.wanderers, colony.gatherers,
               colony.reproducers, colony.returners, static_cast<double>(colony.meanderingShare),
               static_cast<double>(colony.wanderingShare),
               static_cast<double>(colony.gatheringShare),
               static_cast<double>(colony.reproducingShare),
               static_cast<double>(colony.foodReserves), simulation.foodField.FoodCount(),
               simulation.colonyDeaths, expert.on ? "on" : "off");
    // While the expert system is off its old conclusions are not current: the
    // overlay shows them empty, and so does the row.
    row.QuotedTrimmed(expert.on ? expert.populationAction : "");
    row.Put(',');
    row.QuotedTrimmed(expert.on ? expert.foodAction : "");
    return row.Length();
}

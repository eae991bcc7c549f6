#include "shell/experiments/RunSeries.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "foundation/RegularFile.h"
#include "policy/PassJournal.h"
#include "shell/experiments/WholeFile.h"
#include "simulation/Simulation.h"

namespace {

constexpr const char* kHeader =
    "step,population,food_reserves,food_per_ant,colony_deaths,passes,silent_passes,"
    "failed_passes";
constexpr int32_t kColumns = 8;
constexpr size_t kMaxFileBytes = 1 << 20;  // 200 rows take about 15 KB

bool ParseWhole(const std::string& field, int64_t& value) {
    if (field.empty()) return false;
    char* end = nullptr;
    errno = 0;
    const long long parsed = std::strtoll(field.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || parsed < 0) return false;
    value = parsed;
    return true;
}

bool ParseReal(const std::string& field, double& value) {
    if (field.empty()) return false;
    char* end = nullptr;
    value = std::strtod(field.c_str(), &end);
    return *end == '\0' && std::isfinite(value);
}

}  // namespace

// Windows of ceil(steps / kSamples) steps: never more than kSamples of them.
SeriesRecorder::SeriesRecorder(int64_t steps)
    : steps(steps), window(steps > kSamples ? (steps + kSamples - 1) / kSamples : 1) {
    samples.reserve(static_cast<size_t>(kSamples + 1));
}

void SeriesRecorder::Record(const Simulation& simulation) {
    Add(simulation.colony.population, simulation.colony.foodReserves, simulation.colonyDeaths,
        simulation.expertSystem.journal);
}

void SeriesRecorder::Add(int32_t antCount, float reserves, int32_t colonyDeaths,
                         const PassJournal& journal) {
    ++step;
    ++windowSteps;
    population += antCount;
    foodReserves += reserves;
    // A colony is rebuilt long before it is empty; a step that emptied it
    // counts its whole store as the one ant's.
    foodPerAnt += static_cast<double>(reserves) / (antCount > 0 ? antCount : 1);
    current.colonyDeaths = colonyDeaths;
    // The passes since the last step (one at most, with the usual schedule),
    // read from the journal's ring before it turns over.
    const int64_t fresh = journal.passes - passesSeen;
    for (int64_t age = 0; age < fresh && age < static_cast<int64_t>(journal.Kept()); ++age) {
        const PassRecord& record = journal.Back(static_cast<size_t>(age));
        ++current.passes;
        if (record.outcome != PassOutcome::Listed) {
            ++current.failedPasses;
        } else if (record.conclusionCount == 0) {
            ++current.silentPasses;
        }
    }
    passesSeen = journal.passes;
    if (windowSteps == window || step == steps) CloseWindow();
}

void SeriesRecorder::CloseWindow() {
    SeriesSample sample = current;
    sample.step = step;
    const double n = static_cast<double>(windowSteps);
    sample.population = population / n;
    sample.foodReserves = foodReserves / n;
    sample.foodPerAnt = foodPerAnt / n;
    // A run that goes on past the steps it announced keeps its last samples.
    if (samples.size() < samples.capacity()) samples.push_back(sample);
    windowSteps = 0;
    population = 0.0;
    foodReserves = 0.0;
    foodPerAnt = 0.0;
}

std::string SeriesFilePath(const std::string& folder, const std::string& rules, uint32_t seed) {
    return folder + "/" + rules + "-seed" + std::to_string(seed) + ".csv";
}

std::string SeriesText(const std::vector<SeriesSample>& samples) {
    std::string text = std::string(kHeader) + "\n";
    char line[256];
    for (const SeriesSample& s : samples) {
        // Enough digits that the windows add up to the run's means.
        std::snprintf(line, sizeof line, "%lld,%.9g,%.9g,%.9g,%d,%d,%d,%d\n",
                      static_cast<long long>(s.step), s.population, s.foodReserves, s.foodPerAnt,
                      s.colonyDeaths, s.passes, s.silentPasses, s.failedPasses);
        text += line;
    }
    return text;
}

bool ParseSeriesText(const std::string& text, std::vector<SeriesSample>& samples,
                     std::string& error) {
    samples.clear();
    size_t at = 0;
    int32_t lineNumber = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(at, end - at);
        at = end + 1;
        ++lineNumber;
        if (lineNumber == 1) {
            if (line != kHeader) {
                error = "not a run series (its first line is no series header)";
                return false;
            }
            continue;
        }
        std::vector<std::string> fields;
        size_t start = 0;
        for (size_t comma = line.find(','); ; comma = line.find(',', start)) {
            fields.push_back(line.substr(start, comma == std::string::npos ? std::string::npos
                                                                            : comma - start));
            if (comma == std::string::npos) break;
            start = comma + 1;
        }
        SeriesSample s;
        int64_t counts[5] = {};
        const bool ok = static_cast<int32_t>(fields.size()) == kColumns &&
                        ParseWhole(fields[0], counts[0]) && ParseReal(fields[1], s.population) &&
                        ParseReal(fields[2], s.foodReserves) &&
                        ParseReal(fields[3], s.foodPerAnt) && ParseWhole(fields[4], counts[1]) &&
                        ParseWhole(fields[5], counts[2]) && ParseWhole(fields[6], counts[3]) &&
                        ParseWhole(fields[7], counts[4]) && counts[1] <= INT32_MAX &&
                        counts[2] <= INT32_MAX && counts[3] <= counts[2] &&
                        counts[4] <= counts[2] &&
                        (samples.empty() || counts[0] > samples.back().step);
        if (!ok) {
            error = "line " + std::to_string(lineNumber) + " is no sample";
            return false;
        }
        s.step = counts[0];
        s.colonyDeaths = static_cast<int32_t>(counts[1]);
        s.passes = static_cast<int32_t>(counts[2]);
        s.silentPasses = static_cast<int32_t>(counts[3]);
        s.failedPasses = static_cast<int32_t>(counts[4]);
        samples.push_back(s);
    }
    if (lineNumber == 0) {
        error = "empty";
        return false;
    }
    return true;
}

bool SaveSeriesFile(const std::string& path, const std::vector<SeriesSample>& samples,
                    std::string& error) {
    return SaveWholeFile(path, SeriesText(samples), error);
}

bool ReadSeriesFile(const std::string& path, std::vector<SeriesSample>& samples,
                    std::string& error) {
    const OpenedFile opened = OpenRegularFile(path.c_str(), O_RDONLY);
    if (!opened.Ok()) {
        error = path + ": " +
                (opened.NotRegular() ? std::string("is ") + opened.kind : std::strerror(opened.error));
        return false;
    }
    std::string text;
    char buffer[8192];
    for (;;) {
        const ssize_t n = read(opened.fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 || text.size() + static_cast<size_t>(n) > kMaxFileBytes) {
            error = path + ": " + (n < 0 ? std::strerror(errno) : "too large for a run series");
            close(opened.fd);
            return false;
        }
        if (n == 0) break;
        text.append(buffer, static_cast<size_t>(n));
    }
    close(opened.fd);
    if (!ParseSeriesText(text, samples, error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}

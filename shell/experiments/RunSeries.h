#pragma once
// The course of one run for a comparison of rule bases: at most kSamples
// evenly spaced samples, each closing a window of steps. Amounts (population,
// food reserves, food per ant) are means over the window's steps, so the
// windows together give the run's means over every step; counts (colony
// deaths, expert-system passes, passes that drew no conclusion, failed
// passes) are totals from the run's start.
//
// The recorder sees every step (after the step, before a colony that left
// its viable range is rebuilt, as the headless run's rows do) and allocates
// nothing while the run goes. A series is saved as a small CSV file of its
// own, written whole or not at all.
#include <cstdint>
#include <string>
#include <vector>

class Simulation;
struct PassJournal;

struct SeriesSample {
    int64_t step = 0;  // the window's last step
    double population = 0.0;
    double foodReserves = 0.0;
    double foodPerAnt = 0.0;  // reserves / population, step by step
    int32_t colonyDeaths = 0;
    int32_t passes = 0;        // passes that ran: drew conclusions, none, or failed
    int32_t silentPasses = 0;  // came to rest without a conclusion
    int32_t failedPasses = 0;  // cut off, or lost to an engine failure
};

class SeriesRecorder {
public:
    static constexpr int64_t kSamples = 200;

    // steps: how long the run will be (the windows are steps / kSamples long,
    // rounded up; the last one ends at the last step whatever its length).
    explicit SeriesRecorder(int64_t steps);

    void Record(const Simulation& simulation);
    // The same from the values themselves; journal gives the passes.
    void Add(int32_t population, float foodReserves, int32_t colonyDeaths,
             const PassJournal& journal);

    const std::vector<SeriesSample>& Samples() const { return samples; }

private:
    void CloseWindow();

    int64_t steps;
    int64_t window;  // steps per sample
    int64_t step = 0;
    int64_t windowSteps = 0;
    double population = 0.0;
    double foodReserves = 0.0;
    double foodPerAnt = 0.0;
    int64_t passesSeen = 0;  // the journal's count at the last step
    SeriesSample current;    // the counts so far
    std::vector<SeriesSample> samples;
};

// Where a run of the rule base named rules with this seed keeps its series
// in folder: "FOLDER/RULES-seedS.csv".
std::string SeriesFilePath(const std::string& folder, const std::string& rules, uint32_t seed);

// The series as CSV: a header, then one row per sample.
std::string SeriesText(const std::vector<SeriesSample>& samples);
// Reads it back; false with a message for anything else.
bool ParseSeriesText(const std::string& text, std::vector<SeriesSample>& samples,
                     std::string& error);
// Saves the text under a temporary name renamed into place (a run that is
// stopped leaves no half file); false with a message.
bool SaveSeriesFile(const std::string& path, const std::vector<SeriesSample>& samples,
                    std::string& error);
bool ReadSeriesFile(const std::string& path, std::vector<SeriesSample>& samples,
                    std::string& error);

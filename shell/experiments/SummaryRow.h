#pragma once
// The summary of one run as one CSV line, and the summary file that collects
// them.
//
// Columns: the parameters set for the run (in the order given), then seed,
// steps, status ("ok"; "expert-off" when failing passes switched the expert
// system off, "rules-not-loaded" when its rule base did not load: the
// measures are there, but the run is not what was asked for; "exit N" or
// "signal N" when the run itself failed), failed_passes (expert-system
// passes that did not come to rest) and expert_off_step (the step failing
// passes switched it off at, empty if they did not), the measures, seconds. The
// parameter columns, seed and steps are the run's key: they say which run a
// row belongs to, so a sweep that finds a key in its file skips that run.
// Every value has one spelling (FormatParameterValue), so keys compare as text.
//
// Rows are appended with one write() each on a file opened O_APPEND: many
// processes may append at once and no row is ever torn or interleaved.
#include <cstdint>
#include <string>
#include <vector>

#include "settings/ParameterValue.h"

// The measures of a finished run, in column order after status.
struct RunSummary {
    int32_t finalPopulation = 0;
    double meanPopulation = 0.0;
    int32_t colonyDeaths = 0;
    double finalFoodReserves = 0.0;
    double meanFoodReserves = 0.0;
    int32_t finalFoodSupply = 0;
    double meanFoodSupply = 0.0;
    double meanMeanderingShare = 0.0;
    double meanWanderingShare = 0.0;
    double meanGatheringShare = 0.0;
    double meanReproducingShare = 0.0;
    int32_t cutOffPasses = 0;
    double seconds = 0.0;
    // The status columns.
    const char* status = "ok";
    int32_t failedPasses = 0;
    int64_t expertOffStep = -1;  // -1: never switched off by failures
};

// The measure columns after status, with a title for plots.
struct MeasureColumn {
    const char* column;
    const char* title;
    bool whole;  // a count: plotted on whole ticks
};
constexpr int32_t kMeasureCount = 13;
extern const MeasureColumn kMeasureColumns[kMeasureCount];
// The columns that follow the parameters.
constexpr int32_t kKeyTailColumns = 2;  // seed, steps
constexpr int32_t kStatusColumns = 3;  // status, failed_passes, expert_off_step
constexpr const char* kStatusOk = "ok";
constexpr const char* kStatusExpertOff = "expert-off";
constexpr const char* kStatusRulesNotLoaded = "rules-not-loaded";

// One run: the parameter values (one per parameter column), seed and steps.
struct RunKey {
    std::vector<ParameterId> parameters;
    std::vector<ParameterValue> values;
    uint32_t seed = 1;
    int64_t steps = 0;

    // The key's columns as they stand in a row: "v1,v2,...,seed,steps".
    std::string Text() const;
};

// The header line (no newline) for these parameter columns.
std::string SummaryHeader(const std::vector<ParameterId>& parameters);

// A whole line, newline included.
std::string SummaryLine(const RunKey& key, const RunSummary& summary);
// A failed run: status says how it ended ("exit 3", "signal 9"); no measures.
std::string FailedLine(const RunKey& key, const char* status);

// A summary file read back.
struct SummaryTable {
    std::string header;
    int32_t parameterCount = 0;  // the columns before seed
    std::vector<std::vector<std::string>> rows;
    int32_t malformed = 0;  // lines that were neither the header nor a whole row

    int32_t ColumnCount() const { return parameterCount + kKeyTailColumns + kStatusColumns + kMeasureCount; }
    std::string KeyOf(const std::vector<std::string>& row) const;
    const std::string& StatusOf(const std::vector<std::string>& row) const {
        return row[parameterCount + kKeyTailColumns];
    }
    // The parameter names of the header.
    std::vector<std::string> ParameterNames() const;
};

// Reads text (a whole file's contents) as a summary table. The first line is
// the header; lines equal to it later on (many runs' outputs collected into
// one stream) are skipped, and so are blank lines. False, with a message,
// when the first line is no summary header.
bool ParseSummaryText(const std::string& text, SummaryTable& table, std::string& error);

// Reads a file ("-": standard input). An empty or missing file gives an
// empty table (no header) when mayBeMissing.
bool ReadSummaryFile(const char* path, bool mayBeMissing, SummaryTable& table, std::string& error);
// Everything a file holds ("-": standard input), read with the system's
// calls (the program's other modes never pay for the C++ streams' start-up).
// False with a message.
bool ReadWholeFile(const char* path, std::string& text, std::string& error);

// Reads the whole file open on fd (from its start, whatever its offset); path
// names it in messages. An empty file gives an empty table.
bool ReadSummaryDescriptor(int fd, const char* path, SummaryTable& table, std::string& error);

// Who appends to a summary file.
enum class SummaryAccess {
    // Runs that append their rows side by side (a sweep's runs, runs started
    // by GNU parallel or a batch system): a last line cut short (a disk that
    // filled up) is mended by starting the next row on a line of its own.
    Shared,
    // A sweep or a merge, which decides what is missing from the file: it
    // holds the file's lock for as long as the descriptor is open, so a
    // second one on the same file is refused instead of running every run
    // again, and a last line cut short is dropped (its run has no row and
    // runs again) rather than left for readers to trip over. Where the file
    // system cannot lock, the file is used without the lock, and mended.
    Exclusive,
};

// Opens path for appending rows with this header: writes the header when the
// file is new or empty, refuses a file with another header (nothing is
// written then), and treats a last line cut short as access says. Returns the
// descriptor or -1 with a message.
int OpenSummaryForAppend(const char* path, const std::string& header, SummaryAccess access,
                         std::string& error);

// One write() of the whole text; false (errno set) on error or a short write.
bool AppendWhole(int fd, const std::string& text);

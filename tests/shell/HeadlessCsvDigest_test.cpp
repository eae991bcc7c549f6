// The CSVs of fixed seeded runs, compared byte for byte through a stored
// digest (64-bit FNV-1a of the whole file) and the file's length. A seeded
// fast run is meant to repeat exactly on every build and after every speed-up;
// a change that alters the simulation or the CSV on purpose updates these
// figures and says why. (They changed once: the two action columns are
// written trimmed; every row was checked equal to the earlier run's with its
// padding taken off.)
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>

#include "shell/headless/Headless.h"
#include "tests/TempFolder.h"

namespace {

struct CsvRun {
    const char* name;
    uint32_t seed;
    int64_t steps;
    int32_t every;
    uint64_t digest;
    size_t length;
};

void PrintTo(const CsvRun& run, std::ostream* out) { *out << run.name; }

uint64_t Fnv1a(const std::string& bytes) {
    uint64_t value = 1469598103934665603ull;
    for (const char c : bytes) {
        value ^= static_cast<unsigned char>(c);
        value *= 1099511628211ull;
    }
    return value;
}

const CsvRun kRuns[] = {
    {"Seed1", 1u, 2000, 1, 22698729550678337ull, 174594},
    {"Seed7", 7u, 2000, 1, 16994736444034969750ull, 149225},
    {"Seed42", 42u, 2000, 1, 14667482184146142349ull, 174957},
    {"Seed4000000000", 4000000000u, 2000, 1, 6897580937736395813ull, 143307},
    {"Seed3Every5", 3u, 12000, 5, 14107992114360335294ull, 207131},
};

class HeadlessCsvDigest : public ::testing::TestWithParam<CsvRun> {};

TEST_P(HeadlessCsvDigest, MatchesTheStoredRun) {
    const CsvRun& run = GetParam();
    TempFolder folder;
    const std::string csv = folder.File("run.csv");
    HeadlessOptions options;
    options.steps = run.steps;
    options.run.seed = run.seed;
    options.every = run.every;
    options.csvPath = csv.c_str();
    ASSERT_EQ(RunHeadless(options), 0);

    std::ifstream in(csv, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    EXPECT_EQ(bytes.size(), run.length);
    EXPECT_EQ(Fnv1a(bytes), run.digest);
}

INSTANTIATE_TEST_SUITE_P(Runs, HeadlessCsvDigest, ::testing::ValuesIn(kRuns),
                         [](const ::testing::TestParamInfo<CsvRun>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace

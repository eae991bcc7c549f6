#pragma once
// The headless CSV: a header row and one row per reported step.
#include <cstddef>

class Simulation;

// The CSV header row and one data row (no newline). Text fields are always
// quoted, with inner quotes doubled and the blanks at either end left out. The caller holds the state lock.
extern const char kHeadlessCsvHeader[];
size_t FormatCsvRow(const Simulation& simulation, char* buffer, size_t capacity);

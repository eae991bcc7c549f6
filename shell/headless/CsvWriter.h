#pragma once
// The headless CSV's output: whole rows only, and every write error seen the
// moment it happens.
//
// Rows are collected in a fixed buffer and handed to the system with write()
// only at row boundaries, so a run stopped at any moment (a signal, even a
// second Ctrl+C that kills the process) leaves the header and whole rows.
// When a write into a regular file fails half-way (a full disk), the file is
// cut back to its last whole row. stdio is not used: its buffer flushes at
// arbitrary byte counts and reports errors only at the end.
#include <cstddef>

class CsvWriter {
public:
    static constexpr size_t kBufferSize = 64 * 1024;

    CsvWriter() = default;
    ~CsvWriter();
    CsvWriter(const CsvWriter&) = delete;
    CsvWriter& operator=(const CsvWriter&) = delete;

    // Creates (or empties) path for writing; "-" is standard output, taken
    // over through a descriptor of its own. False with Error() set.
    bool Open(const char* path);
    // Queues one row (no newline: one is added). When the buffer is full the
    // rows before it are written first. False once any write has failed; the
    // row is then dropped.
    bool WriteRow(const char* row, size_t length);
    // Writes the queued rows now.
    bool Flush();
    // Flushes and closes; the first error of the writer's life decides.
    bool Close();

    bool IsOpen() const { return fd >= 0; }
    bool Failed() const { return error != 0; }
    int Error() const { return error; }  // errno of the first failure
    bool OnStandardOutput() const { return onStandardOutput; }
    // For messages: "'run.csv'" or "standard output".
    void Describe(char* out, size_t capacity) const;

private:
    int fd = -1;
    int error = 0;
    bool onStandardOutput = false;
    bool regularFile = false;
    const char* path = "";
    size_t used = 0;
    char buffer[kBufferSize];
};

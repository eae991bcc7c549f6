#pragma once
// MessageGate: what a rule base and its engine say, on standard error,
// bounded and safe. A rule base that complains at every pass, or prints to
// the error stream in a loop, would otherwise fill the terminal (or a log
// under xscreensaver) without end, and its text could carry terminal
// controls.
//
// - Each distinct line is printed once; its repeats are counted and the
//   counts printed once a minute (when more comes) and at the end.
// - Text from the rule base takes at most kBytesPerMinute bytes a minute;
//   what comes beyond that is held back, said once, and counted at the end.
// - Every line is escaped (policy/SafeText.h) and starts with "marrowick: ".
// - A facility the sandbox refuses is named once.
//
// Remembers kRemembered distinct lines; lines beyond them count as new.
// Threading: one thread at a time (the expert system's, under the state lock).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

class MessageGate {
public:
    static constexpr size_t kBytesPerMinute = 4096;
    static constexpr int64_t kMinuteMs = 60000;
    static constexpr size_t kRemembered = 256;
    static constexpr size_t kLineCapacity = 240;   // a longer line is cut
    static constexpr size_t kSummaryLines = 8;     // repeat counts printed by name
    using Clock = int64_t (*)();                   // milliseconds, steadily rising

    explicit MessageGate(std::FILE* out = stderr, Clock clock = nullptr);
    // Summarise().
    ~MessageGate();
    MessageGate(const MessageGate&) = delete;
    MessageGate& operator=(const MessageGate&) = delete;

    // The engine's error text as it wrote it: each line "marrowick: rule
    // engine: LINE", within the byte budget.
    void EngineText(const char* text, size_t length);
    // One of the program's own lines about the rule base ("the rule engine
    // crashed during a pass; ..."): "marrowick: LINE", outside the budget.
    void Line(const char* text);
    // "name\n" entries: "the rule base called `name`, which the sandbox does
    // not allow", once for each name.
    void Refused(const char* names, size_t length);
    // Prints the repeat counts not printed yet and what was held back.
    void Summarise();

    // Bytes printed so far (tests).
    size_t Written() const { return written; }

private:
    struct Remembered {
        uint64_t hash = 0;
        uint32_t repeats = 0;  // since its last count was printed
        std::string text;      // as printed, without "marrowick: "
    };
    void Show(const std::string& line, bool budgeted);
    void Tick();
    void Print(const std::string& line);
    void SummariseRepeats();

    std::FILE* out;
    Clock clock;
    int64_t windowStart = -1;
    size_t windowBytes = 0;
    bool heldSaid = false;   // the hold-back was said in this window
    size_t heldLines = 0;    // held back since the last summary
    size_t written = 0;
    std::vector<Remembered> remembered;
    std::string refused;     // "\nname\n" of every name said
};

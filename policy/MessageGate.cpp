#include "policy/MessageGate.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "policy/SafeText.h"

namespace {

int64_t SteadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// FNV-1a: the lines are short, and a collision only merges two counts.
uint64_t Hash(const std::string& text) {
    uint64_t hash = 14695981039346656037ull;
    for (const char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ull;
    }
    return hash;
}

constexpr const char kProgram[] = "marrowick: ";

}  // namespace

MessageGate::MessageGate(std::FILE* out, Clock clock)
    : out(out), clock(clock != nullptr ? clock : SteadyMs) {}

MessageGate::~MessageGate() { Summarise(); }

void MessageGate::Print(const std::string& line) {
    std::fputs(kProgram, out);
    std::fputs(line.c_str(), out);
    std::fputc('\n', out);
    std::fflush(out);
    written += sizeof kProgram - 1 + line.size() + 1;
}

// A new minute: the counts of the last one, and a fresh budget.
void MessageGate::Tick() {
    const int64_t now = clock();
    if (windowStart < 0) windowStart = now;
    if (now - windowStart < kMinuteMs) return;
    SummariseRepeats();
    windowStart = now;
    windowBytes = 0;
    heldSaid = false;
}

void MessageGate::Show(const std::string& line, bool budgeted) {
    Tick();
    const uint64_t hash = Hash(line);
    for (Remembered& r : remembered) {
        if (r.hash == hash && r.text == line) {
            ++r.repeats;
            return;
        }
    }
    const size_t size = sizeof kProgram - 1 + line.size() + 1;
    if (budgeted && windowBytes + size > kBytesPerMinute) {
        ++heldLines;
        if (!heldSaid) {
            heldSaid = true;
            Print("the rule engine says more than " + std::to_string(kBytesPerMinute / 1024) +
                  " KB a minute; what it says beyond that is held back and counted");
        }
        return;
    }
    if (budgeted) windowBytes += size;
    Print(line);
    if (remembered.size() < kRemembered) {
        if (remembered.empty()) remembered.reserve(kRemembered);
        remembered.push_back(Remembered{hash, 0, line});
    }
}

void MessageGate::EngineText(const char* text, size_t length) {
    size_t start = 0;
    while (start < length) {
        const char* end = static_cast<const char*>(std::memchr(text + start, '\n', length - start));
        const size_t size = end != nullptr ? static_cast<size_t>(end - (text + start)) : length - start;
        std::string line = Escaped(text + start, size, false);
        start += size + 1;
        // The engine pads its messages with blank lines and trailing blanks.
        const size_t last = line.find_last_not_of(' ');
        if (last == std::string::npos) continue;
        line.resize(last + 1);
        if (line.size() > kLineCapacity) {
            size_t cut = kLineCapacity;  // never inside a character
            while (cut > 0 && (static_cast<unsigned char>(line[cut]) & 0xC0u) == 0x80u) --cut;
            line = line.substr(0, cut) + "...";
        }
        Show("rule engine: " + line, true);
    }
}

void MessageGate::Line(const char* text) { Show(Escaped(text, false), false); }

void MessageGate::Refused(const char* names, size_t length) {
    size_t start = 0;
    while (start < length) {
        const char* end = static_cast<const char*>(std::memchr(names + start, '\n', length - start));
        const size_t size = end != nullptr ? static_cast<size_t>(end - (names + start)) : length - start;
        const std::string name = Escaped(names + start, size, false);
        start += size + 1;
        if (name.empty() || refused.find("\n" + name + "\n") != std::string::npos) continue;
        if (refused.empty()) refused = "\n";
        refused += name + "\n";
        Tick();
        Print("the rule base called `" + name + "`, which the sandbox does not allow");
    }
}

void MessageGate::SummariseRepeats() {
    std::vector<const Remembered*> repeated;
    for (const Remembered& r : remembered) {
        if (r.repeats > 0) repeated.push_back(&r);
    }
    // The most repeated first; the rest in one line.
    std::stable_sort(repeated.begin(), repeated.end(),
                     [](const Remembered* a, const Remembered* b) { return a->repeats > b->repeats; });
    size_t otherLines = 0;
    size_t otherRepeats = 0;
    for (size_t i = 0; i < repeated.size(); ++i) {
        if (i < kSummaryLines) {
            Print(std::to_string(repeated[i]->repeats) + " more time" +
                  (repeated[i]->repeats == 1 ? "" : "s") + ": " + repeated[i]->text);
        } else {
            ++otherLines;
            otherRepeats += repeated[i]->repeats;
        }
    }
    if (otherLines > 0) {
        Print(std::to_string(otherRepeats) + " more repeats of " + std::to_string(otherLines) +
              " other messages");
    }
    for (Remembered& r : remembered) r.repeats = 0;
}

void MessageGate::Summarise() {
    SummariseRepeats();
    if (heldLines > 0) {
        Print(std::to_string(heldLines) + " more line" + (heldLines == 1 ? "" : "s") +
              " from the rule engine held back");
        heldLines = 0;
    }
}

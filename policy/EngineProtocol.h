#pragma once
// The conversation between the expert system and its engine process, over one
// stream socket. Strictly one request, then one answer:
//
//   engine  -> Ready (once, when it has started and is sandboxed)
//              or StartFailed (text) and it ends
//   expert  -> Load (source name, rule base text)   engine -> Loaded
//   expert  -> Pass (flags, six symbols)            engine -> Listed (conclusions)
//   expert  -> Renew                                engine -> Ready (or StartFailed)
//              a new rule engine in the same sandboxed process, as a newly
//              started engine has it; a Load follows
//   expert  -> Quit (or closes the socket)          engine ends
//
// Every message is a frame: kind and payload length (two 32-bit words in the
// machine's byte order: both ends run on the same machine), then the payload,
// a sequence of 32-bit words and length-prefixed byte strings. Neither end
// trusts the other's lengths: a reader checks each against what is left.
#include <csignal>
#include <cstddef>
#include <cstdint>

#include "policy/RuleEngine.h"

enum class EngineMessage : uint32_t {
    Ready = 1,
    StartFailed = 2,
    Load = 3,
    Loaded = 4,
    Pass = 5,
    Listed = 6,
    Quit = 7,
    Renew = 8,
};

constexpr size_t kFrameHeaderSize = 8;
// The largest rule base the expert system hands to the engine. Loading one
// this large takes the engine about an eighth of a second of processor time,
// far below its load limit (policy/EngineProcess.h), so whether it loads
// never depends on how busy the machine is.
constexpr size_t kMaxRuleBaseBytes = 1u << 20;
// The names of the facilities the engine refuses that one load or pass
// called (policy/EngineServer.cpp lists them).
constexpr size_t kMaxRefusedBytes = 1024;
// The largest answer: a load's names of every rule (no more than the rule
// base's own text) with its messages, or a pass's conclusions, printouts,
// errors and the rules it fired.
constexpr size_t kMaxAnswerBytes = kMaxRuleBaseBytes + (256u << 10);
// What ordinary answers need; a reader's buffer grows beyond it only for an
// answer that does not fit.
constexpr size_t kUsualAnswerBytes = 64u << 10;
static_assert(RuleEngine::kMaxConclusions + 2 * RuleEngine::kCaptureCapacity + kMaxRefusedBytes +
                      RuleEngine::kMaxFirings * sizeof(uint32_t) + 256 <= kMaxAnswerBytes,
              "a pass's answer fits its frame");
static_assert(RuleEngine::kCaptureCapacity + kMaxRuleBaseBytes + kMaxRefusedBytes +
                      RuleEngine::kMaxDiagnostics * (LoadDiagnostic::kTextCapacity + 12) + 512 <=
                  kMaxAnswerBytes,
              "a load's answer fits its frame");
// A symbol the expert system sends (the classified words are short).
constexpr size_t kMaxSymbolBytes = 32;

// Pass request flags.
constexpr uint32_t kPassEcho = 1u << 0;   // keep the rules' printouts
constexpr uint32_t kPassTrace = 1u << 1;  // record the names of the rules that fire

// Load answer status.
constexpr uint32_t kLoadedClean = 0;
constexpr uint32_t kLoadedWithErrors = 1;
constexpr uint32_t kLoadedOverBudget = 2;  // halted: its work ran past kLoadWorkBudget

// How the engine ends when its memory limit was reached: a signal it sends
// itself, which no rule base can send (a rule base's (exit N) may give any
// exit status).
constexpr int kEngineOutOfMemorySignal = SIGUSR2;

// Builds one frame in a caller's buffer. A value that does not fit marks the
// writer failed; Finish then returns 0.
class FrameWriter {
public:
    FrameWriter(char* buffer, size_t capacity, EngineMessage kind);
    void Word(uint32_t value);
    void Bytes(const char* data, size_t length);
    void Text(const char* text);  // without its NUL
    // Sets the payload length; the frame's total size, or 0 when it overflowed.
    size_t Finish();

private:
    char* buffer;
    size_t capacity;
    size_t length;
    bool ok;
};

// Reads the payload of one frame. A read past the end marks the reader failed
// and yields zeros and empty strings from then on.
class FrameReader {
public:
    FrameReader(const char* payload, size_t length) : cursor(payload), left(length) {}
    uint32_t Word();
    // A byte string, pointing into the payload (not NUL-terminated).
    bool Bytes(const char*& data, size_t& length);
    // A byte string copied into text (capacity bytes, NUL-terminated); one
    // that does not fit or holds a NUL fails.
    bool Text(char* text, size_t capacity);
    bool Ok() const { return ok; }
    bool AtEnd() const { return ok && left == 0; }

private:
    const char* cursor;
    size_t left;
    bool ok = true;
};

// The header of a frame at data (kFrameHeaderSize bytes).
void ReadFrameHeader(const char* data, uint32_t& kind, uint32_t& length);

// The Loaded answer: status, work, the engine's error text, the two template
// reports, the load messages with their lines, the names of the rules, the
// refused facilities called.
// The Listed answer: result, work, firings, the conclusions (a byte each),
// the printouts, the error text, the refused facilities called, the rules
// fired (their indices, 32-bit words in the machine's order).
// Template reports travel in the Loaded answer.
void WriteTemplateReport(FrameWriter& writer, const TemplateReport& report, size_t slots);
bool ReadTemplateReport(FrameReader& reader, TemplateReport& report, size_t slots);

// Load messages travel in the Loaded answer: the count kept, the count
// dropped, then line, kind and text of each.
void WriteDiagnostics(FrameWriter& writer, const LoadDiagnostic* diagnostics, size_t count,
                      size_t dropped);
bool ReadDiagnostics(FrameReader& reader, LoadDiagnostic* diagnostics, size_t capacity,
                     size_t& count, size_t& dropped);

// The expert system's reading of what its engine process answers: a frame
// header, then the payload read as each answer kind (Ready/StartFailed text,
// the Loaded answer as a first load and as a restart's, the Listed answer)
// by the code the expert system uses. An engine that has been taken over by
// a rule base may send anything; nothing it sends may read outside the frame,
// leave a text unterminated or a conclusion out of range.
#include <cstdint>
#include <cstring>

#include "policy/EngineProcess.h"
#include "policy/EngineProtocol.h"

namespace {

void CheckTerminated(const char* text, size_t capacity) {
    if (std::memchr(text, '\0', capacity) == nullptr) __builtin_trap();
}

void Check(const EngineProcess& engine) {
    CheckTerminated(engine.worldReport.module, sizeof engine.worldReport.module);
    CheckTerminated(engine.colonyReport.module, sizeof engine.colonyReport.module);
    if (engine.diagnosticCount > RuleEngine::kMaxDiagnostics) __builtin_trap();
    for (size_t i = 0; i < engine.diagnosticCount; ++i) {
        CheckTerminated(engine.diagnostics[i].text, sizeof engine.diagnostics[i].text);
    }
    if (engine.conclusionCount > RuleEngine::kMaxConclusions) __builtin_trap();
    for (size_t i = 0; i < engine.conclusionCount; ++i) {
        if (static_cast<size_t>(engine.conclusions[i]) >= kConclusionCount) __builtin_trap();
    }
    for (const uint32_t index : engine.fired) engine.RuleName(index);
    if (std::strlen(engine.engineErrors.text) != engine.engineErrors.length) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < kFrameHeaderSize) return 0;
    const char* frame = reinterpret_cast<const char*>(data);
    uint32_t kind = 0;
    uint32_t length = 0;
    ReadFrameHeader(frame, kind, length);
    // The channel refuses a frame whose length is not what arrived.
    const size_t payloadSize = size - kFrameHeaderSize;
    if (length != payloadSize || length > kMaxAnswerBytes) return 0;
    const char* payload = frame + kFrameHeaderSize;

    {  // StartFailed: one text
        FrameReader reader(payload, payloadSize);
        char text[512];
        if (reader.Text(text, sizeof text) && std::memchr(text, '\0', sizeof text) == nullptr) {
            __builtin_trap();
        }
    }
    static EngineProcess engine;
    for (const bool first : {true, false}) {  // Loaded
        FrameReader reader(payload, payloadSize);
        uint32_t status = 0;
        engine.TakeLoadAnswer(reader, first, status);
        Check(engine);
    }
    {  // Listed
        FrameReader reader(payload, payloadSize);
        PassResult result = PassResult::Listed;
        if (engine.TakePassAnswer(reader, result) && result > PassResult::TooManyConclusions) {
            __builtin_trap();
        }
        Check(engine);
    }
    return 0;
}

// The expert system's reading of what its engine process answers: a frame
// header, then the payload of every answer kind read as the expert system
// reads it (Ready/StartFailed text, the Loaded answer with its template
// reports, the Listed answer with its four byte strings). An engine that has
// been taken over by a rule base may send anything; nothing it sends may read
// outside the frame or leave a report unterminated.
#include <cstdint>
#include <cstring>

#include "policy/EngineProtocol.h"

namespace {

void CheckInside(const char* data, size_t length, const char* begin, const char* end) {
    if (length > 0 && (data < begin || data + length > end)) __builtin_trap();
}

void CheckReport(const TemplateReport& report) {
    if (std::memchr(report.module, '\0', sizeof report.module) == nullptr) __builtin_trap();
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
    const char* end = payload + payloadSize;

    {  // StartFailed: one text
        FrameReader reader(payload, payloadSize);
        char text[512];
        if (reader.Text(text, sizeof text) && std::memchr(text, '\0', sizeof text) == nullptr) {
            __builtin_trap();
        }
    }
    {  // Loaded: status, errors, two template reports
        FrameReader reader(payload, payloadSize);
        reader.Word();
        const char* errors = nullptr;
        size_t errorsLength = 0;
        reader.Bytes(errors, errorsLength);
        CheckInside(errors, errorsLength, payload, end);
        TemplateReport world;
        TemplateReport colony;
        ReadTemplateReport(reader, world, kWorldSlotCount);
        ReadTemplateReport(reader, colony, kColonySlotCount);
        CheckReport(world);
        CheckReport(colony);
        reader.AtEnd();
    }
    {  // Listed: result, overflow flag, listing, console, errors, fired rules
        FrameReader reader(payload, payloadSize);
        reader.Word();
        reader.Word();
        for (int i = 0; i < 4; ++i) {
            const char* bytes = nullptr;
            size_t bytesLength = 0;
            reader.Bytes(bytes, bytesLength);
            CheckInside(bytes, bytesLength, payload, end);
        }
        reader.AtEnd();
    }
    return 0;
}

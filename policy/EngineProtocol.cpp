#include "policy/EngineProtocol.h"

#include <cstdint>
#include <cstring>

FrameWriter::FrameWriter(char* buffer, size_t capacity, EngineMessage kind)
    : buffer(buffer), capacity(capacity), length(kFrameHeaderSize), ok(capacity >= kFrameHeaderSize) {
    if (ok) {
        const uint32_t word = static_cast<uint32_t>(kind);
        std::memcpy(buffer, &word, sizeof word);
    }
}

void FrameWriter::Word(uint32_t value) {
    if (!ok || capacity - length < sizeof value) {
        ok = false;
        return;
    }
    std::memcpy(buffer + length, &value, sizeof value);
    length += sizeof value;
}

void FrameWriter::Bytes(const char* data, size_t size) {
    if (size > UINT32_MAX) {
        ok = false;
        return;
    }
    Word(static_cast<uint32_t>(size));
    if (!ok || capacity - length < size) {
        ok = false;
        return;
    }
    if (size > 0) std::memcpy(buffer + length, data, size);
    length += size;
}

void FrameWriter::Text(const char* text) { Bytes(text, std::strlen(text)); }

size_t FrameWriter::Finish() {
    if (!ok) return 0;
    const uint32_t payload = static_cast<uint32_t>(length - kFrameHeaderSize);
    std::memcpy(buffer + sizeof(uint32_t), &payload, sizeof payload);
    return length;
}

uint32_t FrameReader::Word() {
    uint32_t value = 0;
    if (!ok || left < sizeof value) {
        ok = false;
        return 0;
    }
    std::memcpy(&value, cursor, sizeof value);
    cursor += sizeof value;
    left -= sizeof value;
    return value;
}

bool FrameReader::Bytes(const char*& data, size_t& length) {
    data = "";
    length = 0;
    const uint32_t size = Word();
    if (!ok || left < size) {
        ok = false;
        return false;
    }
    data = cursor;
    length = size;
    cursor += size;
    left -= size;
    return true;
}

bool FrameReader::Text(char* text, size_t capacity) {
    if (capacity > 0) text[0] = '\0';
    const char* data = nullptr;
    size_t length = 0;
    if (!Bytes(data, length)) return false;
    if (length >= capacity || std::memchr(data, '\0', length) != nullptr) {
        ok = false;
        return false;
    }
    std::memcpy(text, data, length);
    text[length] = '\0';
    return true;
}

void ReadFrameHeader(const char* data, uint32_t& kind, uint32_t& length) {
    std::memcpy(&kind, data, sizeof kind);
    std::memcpy(&length, data + sizeof kind, sizeof length);
}

void WriteTemplateReport(FrameWriter& writer, const TemplateReport& report, size_t slots) {
    writer.Word(report.found ? 1u : 0u);
    writer.Text(report.module);
    for (size_t i = 0; i < slots; ++i) writer.Word(static_cast<uint32_t>(report.slots[i]));
}

bool ReadTemplateReport(FrameReader& reader, TemplateReport& report, size_t slots) {
    report = TemplateReport{};
    const uint32_t found = reader.Word();
    if (found > 1) return false;
    report.found = found == 1;
    if (!reader.Text(report.module, sizeof report.module)) return false;
    for (size_t i = 0; i < slots; ++i) {
        const uint32_t kind = reader.Word();
        if (kind > static_cast<uint32_t>(SlotKind::Multi)) return false;
        report.slots[i] = static_cast<SlotKind>(kind);
    }
    return reader.Ok();
}

void WriteDiagnostics(FrameWriter& writer, const LoadDiagnostic* diagnostics, size_t count,
                      size_t dropped) {
    writer.Word(static_cast<uint32_t>(count));
    writer.Word(static_cast<uint32_t>(dropped));
    for (size_t i = 0; i < count; ++i) {
        writer.Word(static_cast<uint32_t>(diagnostics[i].line));
        writer.Word(diagnostics[i].warning ? 1u : 0u);
        writer.Text(diagnostics[i].text);
    }
}

bool ReadDiagnostics(FrameReader& reader, LoadDiagnostic* diagnostics, size_t capacity,
                     size_t& count, size_t& dropped) {
    count = 0;
    const uint32_t kept = reader.Word();
    dropped = reader.Word();
    if (!reader.Ok() || kept > capacity) return false;
    for (uint32_t i = 0; i < kept; ++i) {
        LoadDiagnostic& d = diagnostics[i];
        const uint32_t line = reader.Word();
        const uint32_t warning = reader.Word();
        if (line > INT32_MAX || warning > 1 || !reader.Text(d.text, sizeof d.text)) return false;
        d.line = static_cast<int32_t>(line);
        d.warning = warning == 1;
        count = i + 1;
    }
    return reader.Ok();
}

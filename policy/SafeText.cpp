#include "policy/SafeText.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

size_t Utf8SequenceLength(const unsigned char* text, size_t left, uint32_t& codePoint) {
    const unsigned char lead = text[0];
    size_t length = 0;
    uint32_t value = 0;
    uint32_t least = 0;
    if (lead < 0x80) {
        codePoint = lead;
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        value = lead & 0x1Fu;
        least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        value = lead & 0x0Fu;
        least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        value = lead & 0x07u;
        least = 0x10000;
    } else {
        return 0;
    }
    if (left < length) return 0;
    for (size_t i = 1; i < length; ++i) {
        if ((text[i] & 0xC0u) != 0x80u) return 0;
        value = (value << 6) | (text[i] & 0x3Fu);
    }
    if (value < least || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
    codePoint = value;
    return length;
}

void AppendEscaped(std::string& out, const char* text, size_t length, bool keepLineBreaks) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    size_t i = 0;
    while (i < length) {
        uint32_t codePoint = 0;
        const size_t sequence = Utf8SequenceLength(bytes + i, length - i, codePoint);
        char escape[16];
        if (sequence == 0) {
            std::snprintf(escape, sizeof escape, "\\x%02X", bytes[i]);
            out += escape;
            ++i;
            continue;
        }
        if (codePoint == '\n' || codePoint == '\t') {
            if (keepLineBreaks) {
                out += static_cast<char>(codePoint);
            } else {
                out += codePoint == '\n' ? "^J" : "^I";
            }
        } else if (codePoint == 0x1B) {
            out += "\\e";
        } else if (codePoint < 0x20) {
            out += '^';
            out += static_cast<char>(codePoint + 0x40);
        } else if (codePoint == 0x7F) {
            out += "^?";
        } else if (codePoint >= 0x80 && codePoint <= 0x9F) {
            std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(codePoint));
            out += escape;
        } else {
            out.append(text + i, sequence);
        }
        i += sequence;
    }
}

std::string Escaped(const char* text, size_t length, bool keepLineBreaks) {
    std::string out;
    AppendEscaped(out, text, length, keepLineBreaks);
    return out;
}

std::string Escaped(const char* text, bool keepLineBreaks) {
    return Escaped(text, std::strlen(text), keepLineBreaks);
}

void EscapeInto(char* buffer, size_t capacity, const char* text, size_t length, bool keepLineBreaks) {
    if (capacity == 0) return;
    std::string out;
    out.reserve(length);
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    size_t i = 0;
    // Character by character, so that a cut never splits one.
    while (i < length) {
        uint32_t codePoint = 0;
        size_t sequence = Utf8SequenceLength(bytes + i, length - i, codePoint);
        if (sequence == 0) sequence = 1;
        const size_t before = out.size();
        AppendEscaped(out, text + i, sequence, keepLineBreaks);
        if (out.size() > capacity - 1) {
            out.resize(before);
            break;
        }
        i += sequence;
    }
    std::memcpy(buffer, out.data(), out.size());
    buffer[out.size()] = '\0';
}

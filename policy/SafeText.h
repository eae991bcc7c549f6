#pragma once
// Text that comes from a rule base (the engine's messages about it, its
// printouts, the names it gives its rules and modules) shown to a person, on
// a terminal or in the rules panel: no byte of it may reach a terminal as a
// control. Escaped: ESC as "\e", the other C0 controls as ^@ .. ^_ (CR as
// ^M), DEL as ^?, the C1 controls U+0080 .. U+009F (which some terminals obey
// in UTF-8) as \u0080 .. \u009f, and bytes that are no UTF-8 as \xNN. Line
// feeds and tabs stay unless asked otherwise.
#include <cstddef>
#include <cstdint>
#include <string>

// The length of the UTF-8 sequence at text (left bytes remain), with its code
// point; 0 when it is none (cut short, overlong, a surrogate, past U+10FFFF).
size_t Utf8SequenceLength(const unsigned char* text, size_t left, uint32_t& codePoint);

void AppendEscaped(std::string& out, const char* text, size_t length, bool keepLineBreaks = true);
std::string Escaped(const char* text, size_t length, bool keepLineBreaks = true);
std::string Escaped(const char* text, bool keepLineBreaks = true);
// Into buffer (capacity bytes, NUL-terminated), cut at a whole character or
// escape where it does not fit.
void EscapeInto(char* buffer, size_t capacity, const char* text, size_t length,
                bool keepLineBreaks = true);

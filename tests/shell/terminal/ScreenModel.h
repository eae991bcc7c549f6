#pragma once
// A small model of a terminal screen that understands exactly what a
// terminal does with the sequences the frame encoder may send: cursor
// position (CSI row;col H), cursor forward (CSI n C), erase display (CSI 2J),
// SGR colours and attributes, UTF-8 text, and deferred wrapping at the right
// margin. Anything else fails the parse, so an encoder that starts sending
// something new has to teach the model first.
#include <cstdint>
#include <string>
#include <vector>

#include "shell/terminal/TerminalFrame.h"

class ScreenModel {
public:
    ScreenModel(int32_t cols, int32_t rows) : cols(cols), rows(rows), cells(cols * rows) {}

    // Applies bytes; false (with why) on a sequence the model does not know.
    bool Apply(const std::string& bytes, std::string& why) {
        size_t i = 0;
        while (i < bytes.size()) {
            const unsigned char c = static_cast<unsigned char>(bytes[i]);
            if (c == 0x1B) {
                if (i + 1 >= bytes.size() || bytes[i + 1] != '[') {
                    why = "ESC without [ at " + std::to_string(i);
                    return false;
                }
                size_t j = i + 2;
                std::string params;
                while (j < bytes.size() && ((bytes[j] >= '0' && bytes[j] <= '9') || bytes[j] == ';')) {
                    params += bytes[j++];
                }
                if (j >= bytes.size()) {
                    why = "unfinished sequence";
                    return false;
                }
                if (!Control(bytes[j], params, why)) {
                    return false;
                }
                i = j + 1;
                continue;
            }
            if (c < 0x20 || c == 0x7F) {
                why = "control byte " + std::to_string(c);
                return false;
            }
            char32_t glyph = 0;
            size_t length = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
            glyph = length == 1 ? c : length == 2 ? (c & 0x1F) : length == 3 ? (c & 0x0F) : (c & 0x07);
            for (size_t k = 1; k < length; ++k) {
                glyph = (glyph << 6) | (static_cast<unsigned char>(bytes[i + k]) & 0x3F);
            }
            Print(glyph);
            i += length;
        }
        return true;
    }

    const TermCell& At(int32_t x, int32_t y) const { return cells[y * cols + x]; }

    // Differences from a frame, as the eye sees them: a blank's foreground
    // does not show, and a half block is the same as the other half block
    // with its colours swapped.
    std::string Compare(const TermFrame& frame) const {
        for (int32_t y = 0; y < rows; ++y) {
            for (int32_t x = 0; x < cols; ++x) {
                if (!(Look(At(x, y)) == Look(frame.At(x, y)))) {
                    return "cell " + std::to_string(x) + "," + std::to_string(y) + " differs";
                }
            }
        }
        return "";
    }

private:
    struct Appearance {
        char32_t glyph;  // 0 for a block: then only upper and lower count
        TermColour upper;
        TermColour lower;
        uint8_t attributes;
        bool operator==(const Appearance& o) const {
            return glyph == o.glyph && upper == o.upper && lower == o.lower &&
                   attributes == o.attributes;
        }
    };

    static Appearance Look(const TermCell& c) {
        if (c.attributes == 0 && c.glyph == U' ') return {0, c.bg, c.bg, 0};
        if (c.attributes == 0 && c.glyph == U'\u2580') return {0, c.fg, c.bg, 0};
        if (c.attributes == 0 && c.glyph == U'\u2584') return {0, c.bg, c.fg, 0};
        return {c.glyph, c.fg, c.bg, c.attributes};
    }

    static std::vector<int32_t> Numbers(const std::string& params) {
        std::vector<int32_t> numbers;
        int32_t value = 0;
        bool any = false;
        for (char c : params) {
            if (c == ';') {
                numbers.push_back(any ? value : 0);
                value = 0;
                any = false;
            } else {
                value = value * 10 + (c - '0');
                any = true;
            }
        }
        numbers.push_back(any ? value : 0);
        return numbers;
    }

    bool Control(char final, const std::string& params, std::string& why) {
        const std::vector<int32_t> n = Numbers(params);
        switch (final) {
            case 'H':
                y = (n.size() > 0 && n[0] > 0 ? n[0] : 1) - 1;
                x = (n.size() > 1 && n[1] > 0 ? n[1] : 1) - 1;
                wrapPending = false;
                return true;
            case 'C':
                x += n[0] > 0 ? n[0] : 1;
                if (x >= cols) x = cols - 1;
                wrapPending = false;
                return true;
            case 'J':
                if (n[0] != 2) break;
                for (TermCell& cell : cells) {
                    cell = TermCell{};
                    cell.bg = pen.bg;
                }
                return true;
            case 'm':
                return Sgr(n, why);
            default:
                break;
        }
        why = std::string("unknown sequence ending in ") + final;
        return false;
    }

    bool Sgr(const std::vector<int32_t>& n, std::string& why) {
        for (size_t i = 0; i < n.size(); ++i) {
            const int32_t p = n[i];
            if (p == 0) {
                pen = TermCell{};
            } else if (p == 1) {
                pen.attributes |= kAttributeBold;
            } else if (p == 7) {
                pen.attributes |= kAttributeReverse;
            } else if (p == 22) {
                pen.attributes &= static_cast<uint8_t>(~kAttributeBold);
            } else if (p == 27) {
                pen.attributes &= static_cast<uint8_t>(~kAttributeReverse);
            } else if (p >= 30 && p <= 37) {
                pen.fg = static_cast<TermColour>(p - 30);
            } else if (p >= 40 && p <= 47) {
                pen.bg = static_cast<TermColour>(p - 40);
            } else if (p == 39) {
                pen.fg = kDefaultColour;
            } else if (p == 49) {
                pen.bg = kDefaultColour;
            } else if ((p == 38 || p == 48) && i + 1 < n.size()) {
                TermColour colour = 0;
                if (n[i + 1] == 5 && i + 2 < n.size()) {
                    colour = static_cast<TermColour>(n[i + 2]);
                    i += 2;
                } else if (n[i + 1] == 2 && i + 4 < n.size()) {
                    colour = static_cast<TermColour>((n[i + 2] << 16) | (n[i + 3] << 8) | n[i + 4]);
                    i += 4;
                } else {
                    why = "bad extended colour";
                    return false;
                }
                (p == 38 ? pen.fg : pen.bg) = colour;
            } else {
                why = "unknown SGR " + std::to_string(p);
                return false;
            }
        }
        return true;
    }

    void Print(char32_t glyph) {
        if (wrapPending) {
            x = 0;
            y = y + 1 < rows ? y + 1 : y;  // a real terminal would scroll here
            wrapPending = false;
            ++wraps;
        }
        TermCell& cell = cells[y * cols + x];
        cell = pen;
        cell.glyph = glyph;
        if (x + 1 >= cols) {
            wrapPending = true;
        } else {
            ++x;
        }
    }

public:
    int32_t wraps = 0;  // glyphs that wrapped to the next line

private:
    int32_t cols;
    int32_t rows;
    std::vector<TermCell> cells;
    TermCell pen;
    int32_t x = 0;
    int32_t y = 0;
    bool wrapPending = false;
};

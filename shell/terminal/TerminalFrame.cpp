#include "shell/terminal/TerminalFrame.h"

#include <cstring>

namespace {

// A blank without attributes shows only its background.
bool ShowsForeground(const TermCell& cell) { return cell.glyph != U' ' || cell.attributes != 0; }

int32_t Digits(int32_t value) {
    int32_t digits = 1;
    while (value >= 10) {
        value /= 10;
        ++digits;
    }
    return digits;
}

constexpr char32_t kUpperHalf = U'\u2580';
constexpr char32_t kLowerHalf = U'\u2584';

int32_t Utf8Length(char32_t glyph) {
    return glyph < 0x80 ? 1 : glyph < 0x800 ? 2 : glyph < 0x10000 ? 3 : 4;
}

// One SGR colour parameter list: foreground base 30 / 38 / 39, background
// 40 / 48 / 49.
void AppendColour(ByteSink& out, TermColour colour, ColourDepth depth, bool background) {
    if (colour == kDefaultColour) {
        out.Append(background ? "49" : "39");
        return;
    }
    switch (depth) {
        case ColourDepth::TrueColour:
            out.Append(background ? "48;2;" : "38;2;");
            out.AppendNumber(static_cast<int32_t>((colour >> 16) & 0xFFu));
            out.Append(";");
            out.AppendNumber(static_cast<int32_t>((colour >> 8) & 0xFFu));
            out.Append(";");
            out.AppendNumber(static_cast<int32_t>(colour & 0xFFu));
            return;
        case ColourDepth::Colours256:
            out.Append(background ? "48;5;" : "38;5;");
            out.AppendNumber(static_cast<int32_t>(colour & 0xFFu));
            return;
        case ColourDepth::Colours8:
        default:
            out.AppendNumber((background ? 40 : 30) + static_cast<int32_t>(colour & 7u));
            return;
    }
}

}  // namespace

// ---------------------------------------------------------------------------
// TermFrame
// ---------------------------------------------------------------------------

void TermFrame::Resize(int32_t newCols, int32_t newRows) {
    cols = newCols > 0 ? newCols : 0;
    rows = newRows > 0 ? newRows : 0;
    cells.assign(static_cast<size_t>(cols) * static_cast<size_t>(rows), TermCell{});
}

void TermFrame::Clear() {
    for (TermCell& cell : cells) {
        cell = TermCell{};
    }
}

void TermFrame::Put(int32_t x, int32_t y, const TermCell& cell) {
    if (x < 0 || y < 0 || x >= cols || y >= rows) {
        return;
    }
    TermCell& target = cells[Index(x, y)];
    target = cell;
    if (!ShowsForeground(cell)) {
        target.fg = kDefaultColour;
    }
}

int32_t TermFrame::Text(int32_t x, int32_t y, const char* text, int32_t maxWidth,
                        uint8_t attributes) {
    if (text == nullptr || y < 0 || y >= rows) {
        return 0;
    }
    int32_t written = 0;
    for (const char* c = text; *c != '\0' && written < maxWidth && x + written < cols; ++c) {
        const unsigned char byte = static_cast<unsigned char>(*c);
        TermCell cell;
        cell.glyph = byte >= 0x20 && byte < 0x7F ? static_cast<char32_t>(byte) : U'?';
        cell.attributes = attributes;
        Put(x + written, y, cell);
        ++written;
    }
    return written;
}

// ---------------------------------------------------------------------------
// ByteSink
// ---------------------------------------------------------------------------

void ByteSink::Append(const char* data, size_t count) {
    if (length + count > bytes.size()) {
        overflowed = true;
        return;
    }
    std::memcpy(bytes.data() + length, data, count);
    length += count;
}

void ByteSink::Append(const char* text) { Append(text, std::strlen(text)); }

void ByteSink::AppendNumber(int32_t value) {
    char digits[12];
    int32_t n = 0;
    uint32_t rest = value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
    do {
        digits[n++] = static_cast<char>('0' + rest % 10);
        rest /= 10;
    } while (rest != 0);
    if (value < 0) {
        digits[n++] = '-';
    }
    char text[12];
    for (int32_t i = 0; i < n; ++i) {
        text[i] = digits[n - 1 - i];
    }
    Append(text, static_cast<size_t>(n));
}

void ByteSink::AppendUtf8(char32_t glyph) {
    char text[4];
    size_t n = 0;
    if (glyph < 0x80) {
        text[n++] = static_cast<char>(glyph);
    } else if (glyph < 0x800) {
        text[n++] = static_cast<char>(0xC0 | (glyph >> 6));
        text[n++] = static_cast<char>(0x80 | (glyph & 0x3F));
    } else if (glyph < 0x10000) {
        text[n++] = static_cast<char>(0xE0 | (glyph >> 12));
        text[n++] = static_cast<char>(0x80 | ((glyph >> 6) & 0x3F));
        text[n++] = static_cast<char>(0x80 | (glyph & 0x3F));
    } else {
        text[n++] = static_cast<char>(0xF0 | ((glyph >> 18) & 0x07));
        text[n++] = static_cast<char>(0x80 | ((glyph >> 12) & 0x3F));
        text[n++] = static_cast<char>(0x80 | ((glyph >> 6) & 0x3F));
        text[n++] = static_cast<char>(0x80 | (glyph & 0x3F));
    }
    Append(text, n);
}

// ---------------------------------------------------------------------------
// FrameEncoder
// ---------------------------------------------------------------------------

bool FrameEncoder::FitsPen(const TermCell& cell) const {
    return penKnown && cell.bg == bg && cell.attributes == attributes &&
           (!ShowsForeground(cell) || cell.fg == fg);
}

void FrameEncoder::MoveTo(const TermFrame& next, int32_t x, int32_t y, ByteSink& out) {
    if (cursorKnown && cursorY == y && cursorX <= x) {
        if (cursorX == x) {
            return;
        }
        // Forward on the same row: a cursor-forward sequence, or the cells in
        // between written again when that is shorter and needs no colour
        // change (typical inside the map, where unchanged ground separates
        // changed cells).
        const int32_t gap = x - cursorX;
        const int32_t forwardCost = 3 + (gap > 1 ? Digits(gap) : 0);
        int32_t fillCost = 0;
        for (int32_t i = cursorX; i < x && fillCost < forwardCost; ++i) {
            const TermCell& cell = next.At(i, y);
            if (!FitsPen(cell)) {
                fillCost = forwardCost;
                break;
            }
            fillCost += Utf8Length(cell.glyph);
        }
        if (fillCost < forwardCost) {
            for (int32_t i = cursorX; i < x; ++i) {
                out.AppendUtf8(next.At(i, y).glyph);
            }
        } else {
            out.Append("\033[");
            if (gap > 1) {
                out.AppendNumber(gap);
            }
            out.Append("C");
        }
        cursorX = x;
        return;
    }
    out.Append("\033[");
    if (x != 0 || y != 0) {
        out.AppendNumber(y + 1);
        if (x != 0) {
            out.Append(";");
            out.AppendNumber(x + 1);
        }
    }
    out.Append("H");
    cursorKnown = true;
    cursorX = x;
    cursorY = y;
}

void FrameEncoder::SetPen(const TermCell& cell, ColourDepth depth, ByteSink& out) {
    if (FitsPen(cell)) {
        return;
    }
    const bool wantsForeground = ShowsForeground(cell);
    // Switching an attribute off, or an unknown pen, starts from a reset.
    const bool reset = !penKnown || (attributes & ~cell.attributes) != 0;
    TermColour baseFg = reset ? kDefaultColour : fg;
    TermColour baseBg = reset ? kDefaultColour : bg;
    uint8_t baseAttributes = reset ? 0 : attributes;

    out.Append("\033[");
    bool first = true;
    auto separator = [&]() {
        if (!first) {
            out.Append(";");
        }
        first = false;
    };
    if (reset) {
        out.Append("0");
        first = false;
    }
    const uint8_t added = static_cast<uint8_t>(cell.attributes & ~baseAttributes);
    if ((added & kAttributeBold) != 0) {
        separator();
        out.Append("1");
    }
    if ((added & kAttributeReverse) != 0) {
        separator();
        out.Append("7");
    }
    if (wantsForeground && cell.fg != baseFg) {
        separator();
        AppendColour(out, cell.fg, depth, false);
        baseFg = cell.fg;
    }
    if (cell.bg != baseBg) {
        separator();
        AppendColour(out, cell.bg, depth, true);
        baseBg = cell.bg;
    }
    out.Append("m");
    penKnown = true;
    fg = baseFg;
    bg = baseBg;
    attributes = cell.attributes;
}

int32_t FrameEncoder::PenChangeCost(const TermCell& cell, ColourDepth depth) const {
    if (FitsPen(cell)) {
        return 0;
    }
    if (!penKnown || cell.attributes != attributes) {
        return 64;  // a reset or attributes: rare, never worth avoiding
    }
    // "\033[" and "m", and per colour about what its parameters take.
    const int32_t perColour = depth == ColourDepth::TrueColour   ? 16
                              : depth == ColourDepth::Colours256 ? 9
                                                                 : 3;
    int32_t cost = 3;
    if (ShowsForeground(cell) && cell.fg != fg) {
        cost += perColour;
    }
    if (cell.bg != bg) {
        cost += perColour;
    }
    return cost;
}

void FrameEncoder::PutCell(const TermFrame& next, int32_t x, int32_t y, ColourDepth depth,
                           ByteSink& out) {
    TermCell cell = next.At(x, y);
    MoveTo(next, x, y, out);
    // A half block looks the same as the other half block with its colours
    // swapped; whichever needs fewer colour changes from the current pen is
    // sent (the frames themselves keep one form, so diffs stay exact).
    if (cell.attributes == 0 && (cell.glyph == kUpperHalf || cell.glyph == kLowerHalf)) {
        TermCell swapped = cell;
        swapped.glyph = cell.glyph == kUpperHalf ? kLowerHalf : kUpperHalf;
        swapped.fg = cell.bg;
        swapped.bg = cell.fg;
        if (cell.bg != kDefaultColour && PenChangeCost(swapped, depth) < PenChangeCost(cell, depth)) {
            cell = swapped;
        }
    }
    SetPen(cell, depth, out);
    out.AppendUtf8(cell.glyph);
    ++cursorX;
    if (cursorX >= next.Cols()) {
        // At the right margin the cursor waits for the next glyph to wrap;
        // where it stands then differs between terminals.
        cursorKnown = false;
    }
}

int32_t FrameEncoder::Encode(const TermFrame& shown, const TermFrame& next, ColourDepth depth,
                             ByteSink& out) {
    if (shown.Cols() != next.Cols() || shown.Rows() != next.Rows()) {
        return 0;
    }
    int32_t changed = 0;
    for (int32_t y = 0; y < next.Rows(); ++y) {
        for (int32_t x = 0; x < next.Cols(); ++x) {
            if (shown.At(x, y) != next.At(x, y)) {
                PutCell(next, x, y, depth, out);
                ++changed;
            }
        }
    }
    return changed;
}

void FrameEncoder::ClearScreen(ByteSink& out) {
    out.Append("\033[0m\033[H\033[2J");
    penKnown = true;
    fg = kDefaultColour;
    bg = kDefaultColour;
    attributes = 0;
    cursorKnown = true;
    cursorX = 0;
    cursorY = 0;
}

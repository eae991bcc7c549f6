#pragma once
// One screenful of character cells, and the bytes that turn what a terminal
// shows into a new screenful. Only the cells that differ are sent; cursor
// moves and colour changes are chosen to keep the byte count low, because the
// view runs over SSH as often as on a local console.
//
// Everything is sized when the terminal's size changes (Resize, Reserve);
// composing and encoding a frame allocate nothing.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "shell/terminal/TerminalColour.h"

enum CellAttribute : uint8_t {
    kAttributeBold = 1,
    kAttributeReverse = 2,
};

struct TermCell {
    char32_t glyph = U' ';
    TermColour fg = kDefaultColour;  // ignored for a blank without attributes
    TermColour bg = kDefaultColour;
    uint8_t attributes = 0;

    bool operator==(const TermCell& other) const {
        return glyph == other.glyph && fg == other.fg && bg == other.bg &&
               attributes == other.attributes;
    }
    bool operator!=(const TermCell& other) const { return !(*this == other); }
};

class TermFrame {
public:
    // Allocates for cols x rows and blanks every cell.
    void Resize(int32_t cols, int32_t rows);
    // Blanks every cell (what a cleared terminal shows).
    void Clear();

    int32_t Cols() const { return cols; }
    int32_t Rows() const { return rows; }
    const TermCell& At(int32_t x, int32_t y) const { return cells[Index(x, y)]; }
    // Cells outside the frame are ignored. A blank's foreground is stored as
    // the default, so that blanks compare by their background alone.
    void Put(int32_t x, int32_t y, const TermCell& cell);
    // Writes text from (x, y), at most maxWidth cells and never past the
    // frame's edge; bytes outside printable ASCII show as '?'. Returns the
    // cells written.
    int32_t Text(int32_t x, int32_t y, const char* text, int32_t maxWidth, uint8_t attributes = 0);

private:
    size_t Index(int32_t x, int32_t y) const {
        return static_cast<size_t>(y) * static_cast<size_t>(cols) + static_cast<size_t>(x);
    }

    int32_t cols = 0;
    int32_t rows = 0;
    std::vector<TermCell> cells;
};

// A byte buffer of fixed capacity; what does not fit is dropped and noted.
class ByteSink {
public:
    void Reserve(size_t capacity) { bytes.resize(capacity); }
    void Reset() {
        length = 0;
        overflowed = false;
    }
    void Append(const char* data, size_t count);
    void Append(const char* text);
    void AppendNumber(int32_t value);
    void AppendUtf8(char32_t glyph);

    const char* Data() const { return bytes.data(); }
    size_t Length() const { return length; }
    bool Overflowed() const { return overflowed; }

private:
    std::vector<char> bytes;
    size_t length = 0;
    bool overflowed = false;
};

// The most bytes one cell can cost: a cursor move, a full colour change and a
// glyph. A sink of Cols x Rows x this never overflows.
constexpr size_t kMaxBytesPerCell = 64;

// Writes the differences between two frames as terminal escape sequences
// (ECMA-48 cursor positioning and SGR colours as xterm understands them). It
// remembers the terminal's cursor and colours between frames; after anything
// else wrote to the terminal, Forget() makes the next frame set them afresh.
class FrameEncoder {
public:
    // The bytes that make a terminal showing `shown` show `next` (same size).
    // Nothing at all when they are equal. Returns the cells that differ.
    int32_t Encode(const TermFrame& shown, const TermFrame& next, ColourDepth depth, ByteSink& out);
    // Clears the terminal to the default colours and homes the cursor; the
    // frame that matches it is a Clear()ed one.
    void ClearScreen(ByteSink& out);
    // The terminal's cursor and colours are unknown.
    void Forget() {
        penKnown = false;
        cursorKnown = false;
    }

private:
    void MoveTo(const TermFrame& next, int32_t x, int32_t y, ByteSink& out);
    void SetPen(const TermCell& cell, ColourDepth depth, ByteSink& out);
    void PutCell(const TermFrame& next, int32_t x, int32_t y, ColourDepth depth, ByteSink& out);
    // The cell shows the same with the current pen (no change of colour needed).
    bool FitsPen(const TermCell& cell) const;
    // About how many bytes setting the pen for the cell takes.
    int32_t PenChangeCost(const TermCell& cell, ColourDepth depth) const;

    bool penKnown = false;
    TermColour fg = kDefaultColour;
    TermColour bg = kDefaultColour;
    uint8_t attributes = 0;
    bool cursorKnown = false;
    int32_t cursorX = 0;
    int32_t cursorY = 0;
};

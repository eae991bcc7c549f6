// Frames and their encoding: whatever the encoder sends must turn the screen
// a terminal shows into the next frame exactly (checked on a model terminal),
// send nothing for an unchanged frame, and stay small for small changes.
#include <gtest/gtest.h>

#include <string>

#include "foundation/RandomSource.h"
#include "shell/terminal/TerminalFrame.h"
#include "tests/shell/terminal/ScreenModel.h"

namespace {

std::string Bytes(const ByteSink& sink) { return std::string(sink.Data(), sink.Length()); }

struct Encoding {
    Encoding(int32_t cols, int32_t rows) : model(cols, rows) {
        shown.Resize(cols, rows);
        next.Resize(cols, rows);
        sink.Reserve(static_cast<size_t>(cols * rows) * kMaxBytesPerCell + 64);
        sink.Reset();
        encoder.ClearScreen(sink);
        std::string why;
        EXPECT_TRUE(model.Apply(Bytes(sink), why)) << why;
    }
    // Encodes next against shown, applies it to the model, then next becomes
    // shown. Returns the bytes sent.
    std::string Send(ColourDepth depth) {
        sink.Reset();
        encoder.Encode(shown, next, depth, sink);
        EXPECT_FALSE(sink.Overflowed());
        const std::string bytes = Bytes(sink);
        std::string why;
        EXPECT_TRUE(model.Apply(bytes, why)) << why;
        shown = next;
        return bytes;
    }

    TermFrame shown;
    TermFrame next;
    FrameEncoder encoder;
    ByteSink sink;
    ScreenModel model;
};

TermColour RandomColour(RandomSource& random, ColourDepth depth) {
    const int32_t pick = random.Next() % 6;
    if (pick == 0) return kDefaultColour;
    switch (depth) {
        case ColourDepth::TrueColour:
            return static_cast<TermColour>(random.Next() % 4) * 0x3F7F00u + (random.Next() & 0xFF);
        case ColourDepth::Colours256:
            return static_cast<TermColour>(random.Next() % 256);
        default:
            return static_cast<TermColour>(random.Next() % 8);
    }
}

TermCell RandomCell(RandomSource& random, ColourDepth depth) {
    static const char32_t kGlyphs[] = {U' ', U'\u2580', U'\u2584', U'a', U'7', U' '};
    TermCell cell;
    cell.glyph = kGlyphs[random.Next() % 6];
    cell.fg = RandomColour(random, depth);
    cell.bg = RandomColour(random, depth);
    cell.attributes = static_cast<uint8_t>(random.Next() % 8 == 0 ? random.Next() % 4 : 0);
    return cell;
}

TEST(FrameEncoder, EveryFrameArrivesExactlyAtEveryDepth) {
    for (ColourDepth depth :
         {ColourDepth::Colours8, ColourDepth::Colours256, ColourDepth::TrueColour}) {
        RandomSource random(7);
        Encoding e(23, 9);
        // A whole new frame, then a run of frames with a few changes each
        // (the steady state), then another whole new frame.
        for (int32_t round = 0; round < 40; ++round) {
            const bool whole = round == 0 || round == 39;
            const int32_t changes = whole ? 23 * 9 : 1 + random.Next() % 12;
            for (int32_t i = 0; i < changes; ++i) {
                const int32_t x = whole ? i % 23 : random.Next() % 23;
                const int32_t y = whole ? i / 23 : random.Next() % 9;
                e.next.Put(x, y, RandomCell(random, depth));
            }
            e.Send(depth);
            ASSERT_EQ(e.model.Compare(e.next), "") << "round " << round;
        }
    }
}

TEST(FrameEncoder, UnchangedFrameSendsNothing) {
    Encoding e(10, 4);
    e.next.Text(0, 0, "hello", 10, kAttributeBold);
    EXPECT_FALSE(e.Send(ColourDepth::TrueColour).empty());
    EXPECT_EQ(e.Send(ColourDepth::TrueColour), "");
}

TEST(FrameEncoder, OneChangedCellCostsAMoveAColourAndAGlyph) {
    Encoding e(40, 10);
    TermCell cell;
    cell.glyph = U'\u2580';
    cell.fg = 0x0000FF;
    cell.bg = 0xFFFFFF;
    e.next.Put(5, 3, cell);
    EXPECT_EQ(e.Send(ColourDepth::TrueColour),
              "\033[4;6H\033[38;2;0;0;255;48;2;255;255;255m\xE2\x96\x80");
    // The same colours further on: no colour change.
    e.next.Put(20, 3, cell);
    EXPECT_EQ(e.Send(ColourDepth::TrueColour), "\033[14C\xE2\x96\x80");
}

TEST(FrameEncoder, GapsAreSkippedOrWrittenWhicheverIsShorter) {
    Encoding e(40, 10);
    TermCell ground;
    ground.bg = 0xFFFFFF;
    for (int32_t x = 0; x < 40; ++x) e.next.Put(x, 3, ground);
    e.Send(ColourDepth::TrueColour);
    TermCell ant = ground;
    ant.glyph = U'\u2584';
    ant.fg = 0xFF0000;
    // Two ground cells between changes: written again (2 bytes) rather than
    // skipped (4); one: written (1 byte, not 3); five: skipped (4, not 5).
    e.next.Put(5, 3, ant);
    e.next.Put(8, 3, ant);
    e.next.Put(10, 3, ant);
    e.next.Put(16, 3, ant);
    EXPECT_EQ(e.Send(ColourDepth::TrueColour),
              "\033[4;6H\033[38;2;255;0;0m\xE2\x96\x84  \xE2\x96\x84 \xE2\x96\x84"
              "\033[5C\xE2\x96\x84");
    EXPECT_EQ(e.model.Compare(e.next), "");
}

TEST(FrameEncoder, PaletteDepthsUseTheirOwnSequences) {
    struct Case {
        ColourDepth depth;
        TermColour fg;
        TermColour bg;
        const char* sgr;
    };
    const Case cases[] = {
        {ColourDepth::Colours8, 4, 7, "\033[34;47m"},
        {ColourDepth::Colours256, 21, 231, "\033[38;5;21;48;5;231m"},
        {ColourDepth::TrueColour, 0x102030, kDefaultColour, "\033[38;2;16;32;48m"},
    };
    for (const Case& c : cases) {
        Encoding e(4, 2);
        TermCell cell;
        cell.glyph = U'x';
        cell.fg = c.fg;
        cell.bg = c.bg;
        e.next.Put(0, 0, cell);
        EXPECT_EQ(e.Send(c.depth), std::string(c.sgr) + "x");
    }
}

TEST(FrameEncoder, AttributesSwitchOffThroughAReset) {
    Encoding e(10, 2);
    e.next.Text(0, 0, "ab", 10, kAttributeBold);
    e.next.Text(2, 0, "cd", 10);
    EXPECT_EQ(e.Send(ColourDepth::Colours256), "\033[1mab\033[0mcd");
    EXPECT_EQ(e.model.Compare(e.next), "");
}

TEST(FrameEncoder, CursorIsPlacedAgainAfterTheRightMargin) {
    // After a glyph in the last column terminals disagree about the cursor,
    // so the next change is placed explicitly and nothing wraps.
    Encoding e(5, 3);
    e.next.Text(3, 0, "xy", 5);
    e.next.Text(0, 1, "z", 5);
    EXPECT_EQ(e.Send(ColourDepth::Colours8), "   xy\033[2Hz");
    EXPECT_EQ(e.model.wraps, 0);
    EXPECT_EQ(e.model.Compare(e.next), "");
    // And after something else wrote to the terminal, the pen is set afresh.
    e.encoder.Forget();
    e.next.Text(1, 1, "w", 5);
    EXPECT_EQ(e.Send(ColourDepth::Colours8), "\033[2;2H\033[0mw");
}

TEST(TermFrame, TextIsClippedAndPrintable) {
    TermFrame frame;
    frame.Resize(8, 2);
    EXPECT_EQ(frame.Text(2, 0, "ab\tc\xC3\xA9xyz", 10), 6);  // stops at the edge
    std::string row;
    for (int32_t x = 0; x < 8; ++x) row += static_cast<char>(frame.At(x, 0).glyph);
    EXPECT_EQ(row, "  ab?c??");
    EXPECT_EQ(frame.Text(0, 1, "abcdef", 3), 3);
    EXPECT_EQ(frame.At(3, 1).glyph, U' ');
    EXPECT_EQ(frame.Text(0, 2, "off", 3), 0);
    // Blanks compare by their background alone.
    TermCell a;
    a.fg = 3;
    a.bg = 5;
    TermCell b = a;
    b.fg = 6;
    frame.Put(0, 0, a);
    const TermCell stored = frame.At(0, 0);
    frame.Put(0, 0, b);
    EXPECT_EQ(stored, frame.At(0, 0));
}

TEST(ByteSink, DropsWhatDoesNotFit) {
    ByteSink sink;
    sink.Reserve(8);
    sink.Append("\033[");
    sink.AppendNumber(-120);
    sink.AppendUtf8(U'\u2580');
    EXPECT_EQ(Bytes(sink), "\033[-120");
    EXPECT_TRUE(sink.Overflowed());
    sink.Reset();
    sink.AppendUtf8(U'\u00E9');
    sink.AppendUtf8(U'\U0001F41C');
    EXPECT_EQ(Bytes(sink), "\xC3\xA9\xF0\x9F\x90\x9C");
    EXPECT_FALSE(sink.Overflowed());
}

}  // namespace

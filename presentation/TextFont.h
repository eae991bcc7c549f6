#pragma once
// Bold text at a pixel position: the glyphs of printable ASCII rasterised
// once at start-up with FreeType into one 8-bit coverage atlas shared by all
// sizes (one texture, so all text of a frame draws together). CPU only: the
// device uploads the atlas.
#include <cstdint>
#include <string>
#include <vector>

// Bold Liberation Sans has Arial's metrics.
constexpr const char* kDefaultFontFile = "/usr/share/fonts/truetype/liberation/LiberationSans-Bold.ttf";
// 8 and 24 points at 96 pixels per inch.
constexpr int32_t kSmallFontPixels = 11;
constexpr int32_t kLargeFontPixels = 32;

struct GlyphMetrics {
    int16_t left = 0;     // bitmap's left edge from the pen position
    int16_t top = 0;      // bitmap's top edge below the text's top
    int16_t width = 0;    // bitmap size in pixels (0 for blanks)
    int16_t height = 0;
    int16_t advance = 0;  // pen movement in pixels
    float u0 = 0, v0 = 0, u1 = 0, v1 = 0;  // atlas coordinates
};

class TextFont {
public:
    static constexpr int32_t kFirstChar = 32;
    static constexpr int32_t kLastChar = 126;
    static constexpr int32_t kGlyphCount = kLastChar - kFirstChar + 1;

    // Glyph of a character; characters outside printable ASCII draw as '?'.
    const GlyphMetrics& Glyph(char c) const;
    int32_t TextWidth(const char* text) const;

    int32_t pixelSize = 0;
    int32_t ascender = 0;    // baseline below the text's top
    int32_t lineHeight = 0;
    GlyphMetrics glyphs[kGlyphCount];
};

class FontAtlas {
public:
    static constexpr int32_t kMaxFonts = 4;
    static constexpr int32_t kWidth = 1024;  // room for 8K's caption glyphs

    // Rasterises the font file at each pixel size. False with the failing
    // call and its message in error.
    bool Build(const char* fontFile, const int32_t* pixelSizes, int32_t count, std::string& error);

    const TextFont& Font(int32_t index) const { return fonts[index]; }
    int32_t FontCount() const { return fontCount; }

    std::vector<uint8_t> pixels;  // width x height coverage, row 0 at the top
    int32_t width = 0;
    int32_t height = 0;

private:
    TextFont fonts[kMaxFonts];
    int32_t fontCount = 0;
};

#include "presentation/TextFont.h"

#include <cstring>

#include <ft2build.h>
#include FT_FREETYPE_H

namespace {

// One pixel of empty space around every glyph keeps linear sampling of a
// neighbour out of its quad.
constexpr int32_t kPadding = 1;
constexpr int32_t kMaxHeight = 2048;

std::string FreeTypeError(const char* call, FT_Error code) {
    const char* text = FT_Error_String(code);
    return std::string(call) + " failed: " + (text != nullptr ? text : "FreeType error " + std::to_string(code));
}

// Owns the library and the face for the time of one build.
struct FreeTypeSession {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    ~FreeTypeSession() {
        if (face != nullptr) FT_Done_Face(face);
        if (library != nullptr) FT_Done_FreeType(library);
    }
};

}  // namespace

const GlyphMetrics& TextFont::Glyph(char c) const {
    const int32_t code = static_cast<unsigned char>(c);
    if (code < kFirstChar || code > kLastChar) {
        return glyphs['?' - kFirstChar];
    }
    return glyphs[code - kFirstChar];
}

int32_t TextFont::TextWidth(const char* text) const {
    int32_t width = 0;
    for (const char* c = text; *c != '\0'; ++c) width += Glyph(*c).advance;
    return width;
}

bool FontAtlas::Build(const char* fontFile, const int32_t* pixelSizes, int32_t count,
                      std::string& error) {
    if (count < 1 || count > kMaxFonts) {
        error = "FontAtlas::Build: between 1 and " + std::to_string(kMaxFonts) + " sizes";
        return false;
    }
    FreeTypeSession ft;
    FT_Error code = FT_Init_FreeType(&ft.library);
    if (code != 0) {
        error = FreeTypeError("FT_Init_FreeType", code);
        return false;
    }
    code = FT_New_Face(ft.library, fontFile, 0, &ft.face);
    if (code != 0) {
        error = FreeTypeError("FT_New_Face", code) + " (" + fontFile +
                "; the font comes with the package fonts-liberation)";
        return false;
    }

    width = kWidth;
    height = 0;
    pixels.assign(static_cast<size_t>(kWidth) * kMaxHeight, 0);
    int32_t penX = kPadding;
    int32_t penY = kPadding;
    int32_t shelfHeight = 0;

    for (int32_t f = 0; f < count; ++f) {
        TextFont& font = fonts[f];
        font = TextFont();
        font.pixelSize = pixelSizes[f];
        code = FT_Set_Pixel_Sizes(ft.face, 0, static_cast<FT_UInt>(pixelSizes[f]));
        if (code != 0) {
            error = FreeTypeError("FT_Set_Pixel_Sizes", code);
            return false;
        }
        const FT_Size_Metrics& metrics = ft.face->size->metrics;
        font.ascender = static_cast<int32_t>((metrics.ascender + 63) >> 6);
        font.lineHeight = static_cast<int32_t>((metrics.height + 63) >> 6);

        for (int32_t c = TextFont::kFirstChar; c <= TextFont::kLastChar; ++c) {
            code = FT_Load_Char(ft.face, static_cast<FT_ULong>(c), FT_LOAD_RENDER);
            if (code != 0) {
                error = FreeTypeError("FT_Load_Char", code);
                return false;
            }
            const FT_GlyphSlot slot = ft.face->glyph;
            const FT_Bitmap& bitmap = slot->bitmap;
            GlyphMetrics& g = font.glyphs[c - TextFont::kFirstChar];
            g.advance = static_cast<int16_t>((slot->advance.x + 32) >> 6);
            g.left = static_cast<int16_t>(slot->bitmap_left);
            g.top = static_cast<int16_t>(font.ascender - slot->bitmap_top);
            const int32_t w = static_cast<int32_t>(bitmap.width);
            const int32_t h = static_cast<int32_t>(bitmap.rows);
            if (w == 0 || h == 0 || bitmap.pixel_mode != FT_PIXEL_MODE_GRAY) {
                continue;  // a blank: advance only
            }
            if (penX + w + kPadding > kWidth) {
                penX = kPadding;
                penY += shelfHeight + kPadding;
                shelfHeight = 0;
            }
            if (penY + h + kPadding > kMaxHeight || w + 2 * kPadding > kWidth) {
                error = "FontAtlas::Build: glyphs of " + std::to_string(pixelSizes[f]) +
                        " pixels do not fit the atlas";
                return false;
            }
            for (int32_t row = 0; row < h; ++row) {
                const unsigned char* source = bitmap.buffer + row * bitmap.pitch;
                std::memcpy(&pixels[static_cast<size_t>(penY + row) * kWidth + penX], source,
                            static_cast<size_t>(w));
            }
            g.width = static_cast<int16_t>(w);
            g.height = static_cast<int16_t>(h);
            g.u0 = static_cast<float>(penX);
            g.v0 = static_cast<float>(penY);
            g.u1 = static_cast<float>(penX + w);
            g.v1 = static_cast<float>(penY + h);
            penX += w + kPadding;
            if (h > shelfHeight) shelfHeight = h;
        }
    }
    height = penY + shelfHeight + kPadding;
    pixels.resize(static_cast<size_t>(kWidth) * height);

    // Texel corners to texture coordinates now that the height is known.
    for (int32_t f = 0; f < count; ++f) {
        for (GlyphMetrics& g : fonts[f].glyphs) {
            g.u0 /= static_cast<float>(width);
            g.u1 /= static_cast<float>(width);
            g.v0 /= static_cast<float>(height);
            g.v1 /= static_cast<float>(height);
        }
    }
    fontCount = count;
    return true;
}

// Glyph atlas, overlay batching, media lookup and image loading.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

#include <unistd.h>

#include "presentation/MediaFile.h"
#include "presentation/OverlayBatch.h"
#include "presentation/TextFont.h"
#include "presentation/SettingsFile.h"

TEST(FontAtlas, BuildsBothSizesWithUsableMetrics) {
    FontAtlas atlas;
    std::string error;
    const int32_t sizes[] = {kSmallFontPixels, kLargeFontPixels};
    ASSERT_TRUE(atlas.Build(kDefaultFontFile, sizes, 2, error)) << error;
    ASSERT_EQ(atlas.FontCount(), 2);
    EXPECT_EQ(atlas.width, FontAtlas::kWidth);
    EXPECT_EQ(atlas.pixels.size(), static_cast<size_t>(atlas.width) * atlas.height);

    const TextFont& small = atlas.Font(0);
    const TextFont& large = atlas.Font(1);
    EXPECT_EQ(small.pixelSize, 11);
    // The statistics lines are 15 pixels apart: small text must fit.
    EXPECT_LE(small.lineHeight, 15);
    EXPECT_GT(small.ascender, 6);
    EXPECT_GT(large.ascender, small.ascender);
    for (const char* text : {"Total Render Time 0.0000", "Marrowick ScreenSaver"}) {
        EXPECT_GT(large.TextWidth(text), 2 * small.TextWidth(text));
    }
    // Bold Arial metrics: the caption at 32 pixels is about 340 wide.
    EXPECT_GT(large.TextWidth("Marrowick ScreenSaver"), 280);
    EXPECT_LT(large.TextWidth("Marrowick ScreenSaver"), 400);

    const GlyphMetrics& a = large.Glyph('A');
    EXPECT_GT(a.width, 0);
    EXPECT_GT(a.height, 0);
    EXPECT_GE(a.top, 0);
    EXPECT_GE(a.u0, 0.0f);
    EXPECT_LE(a.u1, 1.0f);
    EXPECT_LE(a.v1, 1.0f);
    EXPECT_EQ(large.Glyph(' ').width, 0);
    EXPECT_GT(large.Glyph(' ').advance, 0);
    // Characters outside printable ASCII draw as '?'.
    EXPECT_EQ(&small.Glyph('\x01'), &small.Glyph('?'));
    EXPECT_EQ(&small.Glyph('\xe9'), &small.Glyph('?'));
}

TEST(FontAtlas, MissingFontFileNamesTheCall) {
    FontAtlas atlas;
    std::string error;
    const int32_t sizes[] = {11};
    EXPECT_FALSE(atlas.Build("/no/such/font.ttf", sizes, 1, error));
    EXPECT_NE(error.find("FT_New_Face"), std::string::npos) << error;
    EXPECT_NE(error.find("/no/such/font.ttf"), std::string::npos) << error;
}

TEST(OverlayBatch, KeepsDrawingOrderInRunsAndDropsWhatDoesNotFit) {
    FontAtlas atlas;
    std::string error;
    const int32_t sizes[] = {kSmallFontPixels};
    ASSERT_TRUE(atlas.Build(kDefaultFontFile, sizes, 1, error)) << error;
    const TextFont& font = atlas.Font(0);

    auto batch = std::make_unique<OverlayBatch>();
    batch->AddText(font, 0, 0, 0xFFFF0000, "Hi");
    batch->AddText(font, 0, 10, 0xFF707070, "   ");  // blanks: nothing to draw
    batch->AddLine(1, 2, 3, 4, 0xFF000000);
    batch->AddText(font, 10.0f, 20.0f, 0xFF707070, "A");
    ASSERT_EQ(batch->RunCount(), 3);
    EXPECT_EQ(batch->Runs()[0].count, 12);
    EXPECT_EQ(batch->Runs()[1].count, 2);
    EXPECT_EQ(batch->Runs()[2].count, 6);

    const OverlayVertex* v = batch->Vertices();
    EXPECT_EQ(v[0].colour, 0xFFFF0000u);
    EXPECT_LT(v[12].u, 0.0f);  // lines are untextured
    const GlyphMetrics& a = font.Glyph('A');
    const OverlayVertex& corner = v[14];
    EXPECT_EQ(corner.x, 10.0f + a.left);
    EXPECT_EQ(corner.y, 20.0f + a.top);
    EXPECT_EQ(corner.u, a.u0);

    batch->Clear();
    int added = 0;
    while (batch->AddLine(0, 0, 1, 1, 0xFF000000)) ++added;
    EXPECT_EQ(added, OverlayBatch::kVertexCapacity / 2);
    batch->AddText(font, 0, 0, 0xFF000000, "full");
    EXPECT_EQ(batch->VertexCount(), OverlayBatch::kVertexCapacity);
}

// A GL limit that never refuses the images these tests load.
constexpr int32_t kAnyTextureSide = 16384;

TEST(MediaFile, LookupTriesTheNameThenItsFileNameInEachFolder) {
    char pattern[] = "media_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string folder = pattern;
    const std::string file = folder + "/texture.bmp";
    { std::ofstream(file) << "x"; }

    EXPECT_EQ(FindMediaFile(file, {}), file);  // opens as given
    EXPECT_EQ(FindMediaFile("\\Kestrin\\Vantrel\\texture\\texture.bmp", {"/nonexistent", folder}),
              file);
    EXPECT_EQ(FindMediaFile("/elsewhere/deep/texture.bmp", {folder}), file);
    EXPECT_EQ(FindMediaFile("texture.bmp", {folder}), file);
    EXPECT_EQ(FindMediaFile("missing.bmp", {folder}), "missing.bmp");
    EXPECT_EQ(FindMediaFile("dir\\", {folder}), "dir\\");
    EXPECT_EQ(FindMediaFile("", {folder}), "");

    std::remove(file.c_str());
    rmdir(folder.c_str());
}

TEST(MediaFile, DefaultTextureSettingFindsTheShippedImage) {
    const std::string path =
        FindMediaFile(SettingsFile::kDefaultTexture, {MARROWICK_SOURCE_DIR "/resources"});
    ASSERT_NE(path, SettingsFile::kDefaultTexture) << "texture.bmp not in the media folders";
    TextureImage image;
    std::string error;
    ASSERT_TRUE(LoadImageFile(path, kAnyTextureSide, image, error)) << error;
    EXPECT_EQ(image.width, 64);
    EXPECT_EQ(image.height, 64);
    ASSERT_NE(image.pixels, nullptr);
    ASSERT_EQ(image.channels, 3);
    // Lit from the upper left: that side is brighter than the lower right.
    const auto brightness = [&](int x, int y) {
        const uint8_t* p = image.pixels.get() + (static_cast<size_t>(y) * 64 + x) * 3;
        return p[0] + p[1] + p[2];
    };
    EXPECT_GT(brightness(20, 20), brightness(44, 44));
}

TEST(MediaFile, UnreadableImagesFailWithAReason) {
    TextureImage image;
    std::string error;
    EXPECT_FALSE(LoadImageFile("/no/such/image.bmp", kAnyTextureSide, image, error));
    EXPECT_NE(error.find("No such file"), std::string::npos) << error;

    char name[] = "broken_XXXXXX";
    const int fd = mkstemp(name);
    ASSERT_GE(fd, 0);
    close(fd);
    { std::ofstream(name, std::ios::binary) << "BM not really a bitmap"; }
    error.clear();
    EXPECT_FALSE(LoadImageFile(name, kAnyTextureSide, image, error));
    EXPECT_FALSE(error.empty());
    std::remove(name);
}

TEST(MediaFile, TextureSettingOfAHundredCharactersOrMoreGivesNoTexture) {
    char pattern[] = "texset_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string folder = pattern;
    const std::string ini = folder + "/Marrowick.ini";
    struct Case {
        size_t length;
        bool used;
    };
    for (const Case& c : {Case{99, true}, Case{100, false}, Case{250, false}}) {
        const std::string name = std::string(c.length - 4, 'a') + ".bmp";
        { std::ofstream(ini, std::ios::binary) << "TextureName = " << name << "\r\n"; }
        SettingsFile settings(ini.c_str());
        std::string path;
        EXPECT_EQ(SceneTexturePath(settings, {}, path), c.used) << c.length;
        if (c.used) {
            EXPECT_EQ(path, name);
        }
    }
    // No usable settings file: no texture either.
    const std::string missing = folder + "/none/Marrowick.ini";
    SettingsFile unusable(missing.c_str(), {[](void*, const char*) {}, nullptr});
    std::string path;
    EXPECT_FALSE(SceneTexturePath(unusable, {}, path));
    std::remove(ini.c_str());
    rmdir(folder.c_str());
}

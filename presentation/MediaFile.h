#pragma once
// Media files (the scene texture): where they are found and how they load.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class SettingsFile;

// Texture paths of this length or more are not used (the size of the path
// buffer the setting was always read into).
constexpr size_t kTexturePathCapacity = 100;

// The scene texture's file: the TextureName setting resolved by the media
// lookup. False (no texture) when the setting is missing, unreadable or too
// long.
bool SceneTexturePath(SettingsFile& settings, const std::vector<std::string>& folders,
                      std::string& path);

// The name as given when that file opens for reading; else its file name
// (after the last '/' or '\') inside the first folder that has it; else the
// name unchanged.
std::string FindMediaFile(const std::string& name, const std::vector<std::string>& folders);

// The program's media folders: the installed data folder, then resources/
// beside the executable (the build tree's copy).
std::vector<std::string> MediaFolders();

// A decoded texture image: the decoder's own buffer, the one copy of the
// pixels, in as few channels as the scene needs: grey images (with or
// without alpha) as one channel, colour images as RGB (the scene texture
// has no alpha), so a large grey image costs a quarter of its RGBA size.
struct TextureImage {
    struct FreePixels {
        void operator()(uint8_t* pixels) const;
    };
    std::unique_ptr<uint8_t, FreePixels> pixels;  // width x height x channels, row 0 at the top
    int32_t width = 0;
    int32_t height = 0;
    int32_t channels = 0;  // 1 (grey) or 3 (RGB)
};

// BMP, PNG, JPEG or PNM (P5, P6), as 8-bit grey or RGB. The file is opened without
// blocking and must be a regular file; its header is read first, and an
// image with a side above maxSide (the GL maximum texture size) or more
// pixels than the file could hold is refused before anything is decoded
// (see ImageCheck.h). False with a reason that completes a sentence starting
// with the file's name ("is a FIFO, not an image file").
bool LoadImageFile(const std::string& path, int32_t maxSide, TextureImage& image,
                   std::string& error);
// The same from bytes in memory.
bool LoadImageMemory(const uint8_t* data, size_t size, int32_t maxSide, TextureImage& image,
                     std::string& error);

// Writes 8-bit RGBA pixels (row 0 at the top) as PNG.
bool SavePng(const std::string& path, const uint8_t* rgba, int32_t width, int32_t height);

#pragma once
// Media files (the scene texture): where they are found and how they load.
#include <cstdint>
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

// The program's media folders: the installed data folder, then the build
// tree's copy of resources/.
std::vector<std::string> MediaFolders();

struct RgbaImage {
    std::vector<uint8_t> pixels;  // width x height x 4, row 0 at the top
    int32_t width = 0;
    int32_t height = 0;
};

// BMP, PNG and the other formats stb_image reads. False with a reason.
bool LoadImageFile(const std::string& path, RgbaImage& image, std::string& error);

// Writes 8-bit RGBA pixels (row 0 at the top) as PNG.
bool SavePng(const std::string& path, const uint8_t* rgba, int32_t width, int32_t height);

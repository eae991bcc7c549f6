#include "presentation/MediaFile.h"

#include <cstdio>

#include <stb_image.h>
#include <stb_image_write.h>

#include "presentation/SettingsFile.h"

namespace {

bool Readable(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return false;
    std::fclose(f);
    return true;
}

}  // namespace

std::string FindMediaFile(const std::string& name, const std::vector<std::string>& folders) {
    if (name.empty() || Readable(name)) {
        return name;
    }
    const size_t cut = name.find_last_of("/\\");
    const std::string fileName = cut == std::string::npos ? name : name.substr(cut + 1);
    if (fileName.empty()) {
        return name;
    }
    for (const std::string& folder : folders) {
        if (folder.empty()) continue;
        const std::string candidate = folder + "/" + fileName;
        if (Readable(candidate)) {
            return candidate;
        }
    }
    return name;
}

std::vector<std::string> MediaFolders() {
    std::vector<std::string> folders;
#ifdef MARROWICK_DATA_DIR
    folders.push_back(MARROWICK_DATA_DIR);
#endif
#ifdef MARROWICK_BUILD_MEDIA_DIR
    folders.push_back(MARROWICK_BUILD_MEDIA_DIR);
#endif
    return folders;
}

bool SceneTexturePath(SettingsFile& settings, const std::vector<std::string>& folders,
                      std::string& path) {
    std::string name;
    if (!settings.GetValue(SettingsFile::kTextureKey, name) || name.size() >= kTexturePathCapacity) {
        return false;
    }
    path = FindMediaFile(name, folders);
    return true;
}

bool LoadImageFile(const std::string& path, RgbaImage& image, std::string& error) {
    int width = 0;
    int height = 0;
    int channels = 0;
    stbi_uc* data = stbi_load(path.c_str(), &width, &height, &channels, 4);
    if (data == nullptr) {
        const char* reason = stbi_failure_reason();
        error = "stbi_load(" + path + ") failed: " + (reason != nullptr ? reason : "unknown");
        return false;
    }
    image.width = width;
    image.height = height;
    image.pixels.assign(data, data + static_cast<size_t>(width) * height * 4);
    stbi_image_free(data);
    return true;
}

bool SavePng(const std::string& path, const uint8_t* rgba, int32_t width, int32_t height) {
    return stbi_write_png(path.c_str(), width, height, 4, rgba, width * 4) != 0;
}

#include "presentation/MediaFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <stb_image.h>
#include <stb_image_write.h>

#include "foundation/RegularFile.h"
#include "presentation/ImageCheck.h"
#include "presentation/SettingsFile.h"

namespace {

// A regular file that opens for reading; opened without blocking, so a FIFO
// under the name is passed over instead of waited on.
bool Readable(const std::string& path) {
    const OpenedFile opened = OpenRegularFile(path.c_str(), O_RDONLY);
    if (!opened.Ok()) return false;
    close(opened.fd);
    return true;
}

std::string StbReason() {
    const char* reason = stbi_failure_reason();
    return reason != nullptr ? reason : "unknown";
}

// The channels to decode to, from those the file has.
int TextureChannels(int fileChannels) { return fileChannels <= 2 ? 1 : 3; }

// Keeps stb_image's buffer as it is (no copy) and the checked size.
bool Adopt(stbi_uc* data, int width, int height, int channels, TextureImage& image,
           std::string& error) {
    if (data == nullptr) {
        error = "cannot be decoded: " + StbReason();
        return false;
    }
    image.pixels.reset(data);
    image.width = width;
    image.height = height;
    image.channels = channels;
    return true;
}

}  // namespace

void TextureImage::FreePixels::operator()(uint8_t* pixels) const { stbi_image_free(pixels); }

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
    // A build tree keeps its copy of resources/ beside the program. Found
    // from the executable, as the installed data folder is, so that no
    // path of the build tree is compiled into a program that gets installed.
    char executable[4096];
    const ssize_t length = readlink("/proc/self/exe", executable, sizeof executable - 1);
    if (length > 0 && static_cast<size_t>(length) < sizeof executable - 1) {
        const std::string path(executable, static_cast<size_t>(length));
        folders.push_back(path.substr(0, path.rfind('/')) + "/resources");
    }
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

// The checks, then the decoder, on an open stream of size bytes: the
// signature, the JPEG tables and the PNM header's numbers (before the
// decoder reads any header: it builds the tables while it looks for the
// size), the size the header claims, and only then the pixels. memory, when
// not null, holds the same bytes: the decoder then reads them there, as its
// memory reader skips exactly as the checks' stream over memory does (a
// stream over memory cannot seek past its end, a file can).
static bool LoadImageStream(std::FILE* stream, const uint8_t* memory, uint64_t size,
                            int32_t maxSide, TextureImage& image, std::string& error) {
    uint8_t head[kImageHeadBytes] = {};
    const size_t headLength = std::fread(head, 1, sizeof head, stream);
    if (std::fseek(stream, 0, SEEK_SET) != 0) {
        error = std::string("cannot be read: ") + std::strerror(errno);
        return false;
    }
    const ImageFormat format = SniffImageFormat(head, headLength);
    if (format == ImageFormat::Jpeg && !JpegTablesSound(stream, error)) return false;
    if (format == ImageFormat::Pnm && !PnmHeaderSound(stream, error)) return false;
    int width = 0;
    int height = 0;
    int channels = 0;
    const int length = static_cast<int>(size);  // memory is never above INT32_MAX
    const bool known = format != ImageFormat::Refused &&
                       (memory != nullptr
                            ? stbi_info_from_memory(memory, length, &width, &height, &channels)
                            : stbi_info_from_file(stream, &width, &height, &channels));
    if (format != ImageFormat::Refused && !known) {
        error = "is no image that can be read: " + StbReason();
        return false;
    }
    if (!ImageSizeAcceptable(format, width, height, size, maxSide, error)) return false;
    const int wanted = TextureChannels(channels);
    stbi_uc* pixels = memory != nullptr
                          ? stbi_load_from_memory(memory, length, &width, &height, &channels, wanted)
                          : stbi_load_from_file(stream, &width, &height, &channels, wanted);
    return Adopt(pixels, width, height, wanted, image, error);
}

bool LoadImageFile(const std::string& path, int32_t maxSide, TextureImage& image,
                   std::string& error) {
    image = TextureImage{};
    OpenedFile opened;
    std::FILE* file = OpenRegularStream(path.c_str(), O_RDONLY, "rb", opened);
    if (file == nullptr) {
        error = opened.NotRegular() ? std::string("is ") + opened.kind + ", not an image file"
                                    : std::string("cannot be opened: ") + std::strerror(opened.error);
        return false;
    }
    const bool ok =
        LoadImageStream(file, nullptr, static_cast<uint64_t>(opened.size), maxSide, image, error);
    std::fclose(file);
    return ok;
}

bool LoadImageMemory(const uint8_t* data, size_t size, int32_t maxSide, TextureImage& image,
                     std::string& error) {
    image = TextureImage{};
    if (size == 0) {
        error = "is empty";
        return false;
    }
    if (size > static_cast<size_t>(INT32_MAX)) {  // the decoder takes an int
        error = "is too large to be an image";
        return false;
    }
    std::FILE* stream = fmemopen(const_cast<uint8_t*>(data), size, "rb");
    if (stream == nullptr) {
        error = std::string("cannot be read: ") + std::strerror(errno);
        return false;
    }
    const bool ok = LoadImageStream(stream, data, size, maxSide, image, error);
    std::fclose(stream);
    return ok;
}

bool SavePng(const std::string& path, const uint8_t* rgba, int32_t width, int32_t height) {
    return stbi_write_png(path.c_str(), width, height, 4, rgba, width * 4) != 0;
}

// The texture loader on any bytes: the format check, the size checks against
// the file's length and a GL limit, and the decoder when they pass.
#include <cstdint>
#include <string>

#include "presentation/ImageCheck.h"
#include "presentation/MediaFile.h"

namespace {

// A typical driver's limit, and small enough that an accepted image decodes
// quickly.
constexpr int32_t kMaxSide = 4096;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TextureImage image;
    std::string error;
    if (LoadImageMemory(data, size, kMaxSide, image, error)) {
        // What was accepted is what the scene will upload.
        if (image.pixels == nullptr || image.width <= 0 || image.height <= 0 ||
            image.width > kMaxSide || image.height > kMaxSide ||
            (image.channels != 1 && image.channels != 3)) {
            __builtin_trap();
        }
        // Touch the last pixel: the buffer must hold them all.
        const size_t last = static_cast<size_t>(image.width) * static_cast<size_t>(image.height) *
                                static_cast<size_t>(image.channels) - 1;
        volatile uint8_t sink = image.pixels.get()[last];
        (void)sink;
    } else if (error.empty()) {
        __builtin_trap();  // every refusal says why
    }
    return 0;
}

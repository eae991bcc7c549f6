#include "presentation/ImageCheck.h"

#include <cstring>

namespace {

bool StartsWith(const uint8_t* head, size_t length, const char* magic, size_t magicLength) {
    return length >= magicLength && std::memcmp(head, magic, magicLength) == 0;
}

uint64_t CeilDiv(uint64_t a, uint64_t b) { return (a + b - 1) / b; }

// Densest encodings (pixels that one file byte can stand for, at best):
// deflate expands at most 1032 times, and PNG's rows hold at least one bit
// per pixel and a filter byte; a baseline or progressive JPEG spends at least
// one bit on every 8 x 8 block; a TGA run packet covers at most 128 pixels
// with at least two bytes.
constexpr uint64_t kDeflateMaxRatio = 1032;
constexpr uint64_t kJpegBlockSide = 8;

const char* FormatName(ImageFormat format) {
    switch (format) {
        case ImageFormat::Bmp: return "BMP";
        case ImageFormat::Png: return "PNG";
        case ImageFormat::Jpeg: return "JPEG";
        case ImageFormat::Pnm: return "PNM";
        case ImageFormat::Refused: break;
    }
    return "image";
}

}  // namespace

ImageFormat SniffImageFormat(const uint8_t* head, size_t length) {
    if (StartsWith(head, length, "BM", 2)) return ImageFormat::Bmp;
    if (StartsWith(head, length, "\x89PNG\r\n\x1a\n", 8)) return ImageFormat::Png;
    if (StartsWith(head, length, "\xff\xd8\xff", 3)) return ImageFormat::Jpeg;
    if (StartsWith(head, length, "P5", 2) || StartsWith(head, length, "P6", 2)) {
        return ImageFormat::Pnm;
    }
    return ImageFormat::Refused;
}

uint64_t MinimumImageBytes(ImageFormat format, int64_t width, int64_t height) {
    if (width <= 0 || height <= 0) return 0;
    const uint64_t w = static_cast<uint64_t>(width);
    const uint64_t h = static_cast<uint64_t>(height);
    switch (format) {
        case ImageFormat::Bmp:
            // Uncompressed (the decoder reads no RLE): one bit per pixel at
            // the least, every row padded to four bytes.
            return h * (CeilDiv(w, 32) * 4);
        case ImageFormat::Png:
            return CeilDiv(h * (1 + CeilDiv(w, 8)), kDeflateMaxRatio);
        case ImageFormat::Jpeg:
            return CeilDiv(CeilDiv(w, kJpegBlockSide) * CeilDiv(h, kJpegBlockSide), 8);
        case ImageFormat::Pnm:
            return w * h;  // binary PGM: one byte per pixel
        case ImageFormat::Refused:
            break;
    }
    return UINT64_MAX;
}

bool ImageSizeAcceptable(ImageFormat format, int64_t width, int64_t height, uint64_t fileBytes,
                         int32_t maxSide, std::string& error) {
    if (format == ImageFormat::Refused) {
        error = "is not a BMP, PNG, JPEG or PNM (P5, P6) image";
        return false;
    }
    if (width <= 0 || height <= 0) {
        error = "has no pixels";
        return false;
    }
    if (width > maxSide || height > maxSide) {
        error = "is " + std::to_string(width) + " x " + std::to_string(height) +
                " pixels, more than the graphics driver's limit of " + std::to_string(maxSide) +
                " per side";
        return false;
    }
    const uint64_t needed = MinimumImageBytes(format, width, height);
    if (fileBytes < needed) {
        error = "claims " + std::to_string(width) + " x " + std::to_string(height) +
                " pixels, which a " + FormatName(format) + " file holds in no fewer than " +
                std::to_string(needed) + " bytes; it has " + std::to_string(fileBytes);
        return false;
    }
    return true;
}

namespace {

constexpr int kPnmMaxDigits = 9;  // below 2^31: the decoder's int cannot overflow

bool IsPnmBlank(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// Skips blanks and comments (from '#' to the end of the line), as the
// decoder does; returns the first other character.
int SkipPnmBlanks(std::FILE* file, int c) {
    for (;;) {
        while (c != EOF && IsPnmBlank(c)) c = std::getc(file);
        if (c != '#') return c;
        while (c != EOF && c != '\n' && c != '\r') c = std::getc(file);
    }
}

bool WalkPnmHeader(std::FILE* file, std::string& error) {
    if (std::getc(file) != 'P') return true;
    std::getc(file);
    int c = std::getc(file);
    for (int number = 0; number < 3; ++number) {
        c = SkipPnmBlanks(file, c);
        int digits = 0;
        while (c >= '0' && c <= '9') {
            if (++digits > kPnmMaxDigits) {
                error = "is a PNM image whose header holds a number of more than nine digits";
                return false;
            }
            c = std::getc(file);
        }
    }
    return true;
}

}  // namespace

bool PnmHeaderSound(std::FILE* file, std::string& error) {
    const long start = std::ftell(file);
    const bool sound = WalkPnmHeader(file, error);
    if (start >= 0) std::fseek(file, start, SEEK_SET);
    return sound;
}

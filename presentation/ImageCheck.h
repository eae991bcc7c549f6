#pragma once
// What an image file may claim before it is decoded.
//
// An image header is a promise about the pixels that follow, and decoding
// trusts it: a 54-byte BMP that claims 23000 x 23000 pixels makes the decoder
// allocate and fill 2 GB. So an image is decoded only when its format is one
// we take, its sides fit the GL maximum texture size, and its file is large
// enough to hold that many pixels even in the format's densest encoding.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "presentation/JpegCheck.h"

enum class ImageFormat { Bmp, Png, Jpeg, Pnm, Refused };

// The format by the file's signature (the first kImageHeadBytes bytes, fewer
// when the file is shorter). Only formats with a signature are taken, so the
// decoder can never read a file as another format than the one checked here:
// TGA (none) is refused with GIF, PSD, HDR and PIC (decoders with a long
// history of faults, and no texture formats).
constexpr size_t kImageHeadBytes = 16;
ImageFormat SniffImageFormat(const uint8_t* head, size_t length);

// The decoder reads a PNM header's numbers into an int without a bound.
// Checks that the width, height and maximum value each have at most nine
// digits (no valid image has more), reading the header as the decoder does
// (blanks and '#' comments between the numbers). The position is restored.
bool PnmHeaderSound(std::FILE* file, std::string& error);

// The fewest bytes a file of this format needs for width x height pixels.
uint64_t MinimumImageBytes(ImageFormat format, int64_t width, int64_t height);

// True when an image of this format and size may be decoded from a file of
// fileBytes; otherwise false with the reason in error, worded to follow the
// file's name ("is 23000 x 23000 pixels, more than ...").
bool ImageSizeAcceptable(ImageFormat format, int64_t width, int64_t height, uint64_t fileBytes,
                         int32_t maxSide, std::string& error);

// Files the user names that are not what they claim: a FIFO or a directory
// under the texture's or the settings file's name, image headers that promise
// far more pixels than their files hold, decoder faults, and a settings file
// too large to read. Each ends quickly, with a reason, and nothing is written
// over.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "presentation/ImageCheck.h"
#include "presentation/MediaFile.h"
#include "presentation/SettingsFile.h"
#include "tests/TempFolder.h"
#include "tests/presentation/JpegSamples.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

constexpr int32_t kGlLimit = 16384;  // Mesa's llvmpipe, and most drivers

void WriteBytes(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Put32(Bytes& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void Put16(Bytes& b, uint16_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}

// A 54-byte BMP header (24 bits, uncompressed), optionally with its pixels.
Bytes Bmp(int32_t width, int32_t height, bool withPixels) {
    const uint32_t row = (static_cast<uint32_t>(width) * 3 + 3) / 4 * 4;
    const uint32_t pixels = withPixels ? row * static_cast<uint32_t>(height) : 0;
    Bytes b{'B', 'M'};
    Put32(b, 54 + pixels);
    Put32(b, 0);
    Put32(b, 54);
    Put32(b, 40);
    Put32(b, static_cast<uint32_t>(width));
    Put32(b, static_cast<uint32_t>(height));
    Put16(b, 1);
    Put16(b, 24);
    for (int i = 0; i < 6; ++i) Put32(b, 0);
    b.resize(b.size() + pixels, 0x80);
    return b;
}

// A binary PGM (grey) of w x h.
Bytes Pgm(int32_t width, int32_t height) {
    const std::string header = "P5\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
    Bytes b(header.begin(), header.end());
    b.resize(b.size() + static_cast<size_t>(width) * height, 0x40);
    return b;
}

struct Loaded {
    bool ok;
    std::string error;
    TextureImage image;
};

Loaded LoadBoth(const TempFolder& folder, const Bytes& bytes, int32_t maxSide = kGlLimit) {
    const std::string path = folder.File("image");
    WriteBytes(path, bytes);
    Loaded file;
    file.ok = LoadImageFile(path, maxSide, file.image, file.error);
    // The memory path (the fuzz target's) decides the same.
    TextureImage image;
    std::string error;
    EXPECT_EQ(LoadImageMemory(bytes.data(), bytes.size(), maxSide, image, error), file.ok);
    EXPECT_EQ(error, file.error);
    return file;
}

TEST(ImageCheck, FormatsAreKnownByTheirSignatureOnly) {
    struct Case {
        std::string head;
        ImageFormat format;
    };
    const Case cases[] = {
        {"BM\x36\x00", ImageFormat::Bmp},
        {"\x89PNG\r\n\x1a\n....", ImageFormat::Png},
        {"\xff\xd8\xff\xe0", ImageFormat::Jpeg},
        {"P5\n1 1\n255\n", ImageFormat::Pnm},
        {"P6 1 1 255 ", ImageFormat::Pnm},
        {"P3\n1 1\n255\n", ImageFormat::Refused},  // text PNM: not read
        {"GIF89a", ImageFormat::Refused},
        {"8BPS", ImageFormat::Refused},
        {"#?RADIANCE\n", ImageFormat::Refused},
        {std::string("\x53\x80\xf6\x34", 4), ImageFormat::Refused},
        {std::string("\x00\x00\x02\x00\x00\x00\x00\x00\x00\x00\x00\x00\x01\x00\x01\x00", 16),
         ImageFormat::Refused},  // a TGA: no signature, so never trusted
        {"\xff\xff\xd8\xff", ImageFormat::Refused},
        {"", ImageFormat::Refused},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SniffImageFormat(reinterpret_cast<const uint8_t*>(c.head.data()), c.head.size()),
                  c.format)
            << c.head;
    }
}

TEST(ImageCheck, SizesAgainstTheDriverLimitAndWhatTheFileCanHold) {
    struct Case {
        ImageFormat format;
        int64_t width;
        int64_t height;
        uint64_t fileBytes;
        bool accepted;
        const char* mentions;
    };
    const Case cases[] = {
        {ImageFormat::Bmp, 64, 64, 12342, true, ""},
        {ImageFormat::Bmp, 8000, 8000, 54, false, "claims 8000 x 8000 pixels"},
        {ImageFormat::Bmp, 1, 16384, 54, false, "no fewer than 65536 bytes; it has 54"},
        // A 1-bit BMP: 32 pixels a row in 4 bytes.
        {ImageFormat::Bmp, 32, 10, 40, true, ""},
        {ImageFormat::Bmp, 32, 10, 39, false, "it has 39"},
        // PNG: deflate packs at most 1032 bytes into one.
        {ImageFormat::Png, 16384, 16384, 32530, true, ""},
        {ImageFormat::Png, 16384, 16384, 32529, false, "PNG file holds"},
        {ImageFormat::Jpeg, 4096, 4096, 32768, true, ""},
        {ImageFormat::Jpeg, 4096, 4096, 32767, false, "JPEG"},
        {ImageFormat::Pnm, 100, 100, 10000, true, ""},
        {ImageFormat::Pnm, 100, 100, 9999, false, "PNM"},
        {ImageFormat::Png, 16385, 1, 1 << 20, false, "more than the graphics driver's limit of 16384"},
        {ImageFormat::Png, 1, 16385, 1 << 20, false, "limit of 16384 per side"},
        {ImageFormat::Png, 0, 5, 1 << 20, false, "has no pixels"},
        {ImageFormat::Refused, 8, 8, 1 << 20, false, "is not a BMP, PNG, JPEG or PNM"},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_EQ(ImageSizeAcceptable(c.format, c.width, c.height, c.fileBytes, kGlLimit, error),
                  c.accepted)
            << c.width << "x" << c.height << " in " << c.fileBytes;
        EXPECT_NE(error.find(c.mentions), std::string::npos) << error;
    }
}

// The headers that used to cost 23 s and 4.2 GB, and 47 s at the exit, are
// refused before anything is decoded.
TEST(TextureLoader, OversizedHeadersAreRefusedAtOnce) {
    TempFolder folder;
    struct Case {
        Bytes bytes;
        int32_t maxSide;
        const char* mentions;
    };
    const Case cases[] = {
        {Bmp(23000, 23000, false), kGlLimit, "is 23000 x 23000 pixels, more than the graphics driver's limit"},
        {Bmp(1, 16777216, false), kGlLimit, "is 1 x 16777216 pixels"},
        {Bmp(8000, 8000, false), kGlLimit, "claims 8000 x 8000 pixels, which a BMP file holds in no fewer than"},
        {Bmp(300, 20, true), 256, "limit of 256 per side"},
    };
    for (const Case& c : cases) {
        const auto start = Clock::now();
        const Loaded loaded = LoadBoth(folder, c.bytes, c.maxSide);
        EXPECT_FALSE(loaded.ok);
        EXPECT_NE(loaded.error.find(c.mentions), std::string::npos) << loaded.error;
        EXPECT_EQ(loaded.image.pixels, nullptr);
        EXPECT_LT(Clock::now() - start, std::chrono::seconds(1)) << loaded.error;
    }
}

TEST(TextureLoader, GreyStaysOneChannelAndColourBecomesRgb) {
    TempFolder folder;
    const Loaded grey = LoadBoth(folder, Pgm(5, 3));
    ASSERT_TRUE(grey.ok) << grey.error;
    EXPECT_EQ(grey.image.channels, 1);
    EXPECT_EQ(grey.image.width, 5);
    EXPECT_EQ(grey.image.height, 3);
    EXPECT_EQ(grey.image.pixels.get()[14], 0x40);

    const Loaded colour = LoadBoth(folder, Bmp(7, 2, true));
    ASSERT_TRUE(colour.ok) << colour.error;
    EXPECT_EQ(colour.image.channels, 3);
    EXPECT_EQ(colour.image.width, 7);
}

// Inputs the fuzzer found to overrun the decoder's tables (stb_image 2.27)
// or overflow its header reader; each is refused before the decoder's faulty
// part runs.
TEST(TextureLoader, DecoderFaultsFoundByTheFuzzerAreRefused) {
    TempFolder folder;
    struct Case {
        Bytes bytes;
        const char* mentions;
    };
    Bytes comment{0xff, 0xd8};
    comment.insert(comment.end(), 10, 0xff);
    comment.insert(comment.end(), {0xfe, 0xff, 0xff});  // a comment running past the end
    comment.insert(comment.end(), 113, 0xff);
    comment.insert(comment.end(), {0xff, 0xc4, 0x67, 0xd1, 0x01, 0x00, 0x00, 0x00, 0x3e, 0x00,
                                   0x00, 0x01, 0x00, 0x2f, 0x03, 0xa2});
    const Case cases[] = {
        // Sixteen code counts that add up to more than 256.
        {{0xff, 0xd8, 0xff, 0xc4, 0x00, 0x20, 0x00, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff,
          0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff},
         "Huffman table of 4080 codes"},
        // The same, cut short: the decoder reads zeros past the end.
        {{0xff, 0xd8, 0xff, 0xff, 0xff, 0xff, 0xff, 0xc4, 0x67, 0xff, 0x01, 0x28, 0x00, 0xc4,
          0x67, 0xff, 0x01, 0x28, 0x00},
         "Huffman table of 635 codes"},
        // A comment that runs past the end hides nothing: the decoder finds
        // no image (read from memory the fuzzer once saw the table behind it).
        {comment, "is no image that can be read"},
        {{'P', '6', '6', '\n', '6', '6', '3', '6', '2', '6', '3', '6', '6', '3', '6', '6', '\n'},
         "more than nine digits"},
        // A frame and a scan, and no table at all: the decoder would decode
        // with the garbage of its uninitialised tables.
        {{0xff, 0xd8, 0xff, 0xc0, 0x00, 0x0b, 0x08, 0x00, 0x10, 0x00, 0x10, 0x01, 0x01, 0x11,
          0x00, 0xff, 0xda, 0x00, 0x08, 0x01, 0x01, 0x00, 0x00, 0x3f, 0x00, 0x12, 0x34, 0xff,
          0xd9},
         "scan decodes with a Huffman table it never defines"},
    };
    for (const Case& c : cases) {
        const Loaded loaded = LoadBoth(folder, c.bytes);
        EXPECT_FALSE(loaded.ok);
        EXPECT_NE(loaded.error.find(c.mentions), std::string::npos) << loaded.error;
    }
}

// The checks take real JPEGs, progressive ones included (their first scans
// name AC tables they do not use yet).
TEST(TextureLoader, RealJpegsPassTheTableChecks) {
    TempFolder folder;
    for (const Bytes& jpeg : {Bytes(std::begin(kBaselineJpeg), std::end(kBaselineJpeg)),
                              Bytes(std::begin(kProgressiveJpeg), std::end(kProgressiveJpeg))}) {
        const Loaded loaded = LoadBoth(folder, jpeg);
        ASSERT_TRUE(loaded.ok) << loaded.error;
        EXPECT_EQ(loaded.image.width, 16);
        EXPECT_EQ(loaded.image.channels, 3);
    }
}

TEST(TextureLoader, OnlyRegularFilesAreOpenedAndNeverWaitedOn) {
    TempFolder folder;
    const std::string fifo = folder.File("texture.bmp");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0666), 0);
    struct Case {
        std::string path;
        const char* mentions;
    };
    const Case cases[] = {
        {fifo, "is a FIFO, not an image file"},
        {folder.path, "is a directory, not an image file"},
        {"/dev/zero", "is a character device, not an image file"},
        {folder.File("missing.bmp"), "cannot be opened: No such file or directory"},
    };
    for (const Case& c : cases) {
        const auto start = Clock::now();
        TextureImage image;
        std::string error;
        EXPECT_FALSE(LoadImageFile(c.path, kGlLimit, image, error));
        EXPECT_EQ(error, c.mentions);
        EXPECT_LT(Clock::now() - start, std::chrono::seconds(1)) << c.path;
    }
    // The media lookup passes over a FIFO instead of opening it.
    EXPECT_EQ(FindMediaFile(fifo, {}), fifo);
    const std::string real = folder.File("real/texture.bmp");
    std::filesystem::create_directories(folder.File("real"));
    WriteBytes(real, Bmp(2, 2, true));
    EXPECT_EQ(FindMediaFile(fifo, {folder.File("real")}), real);
}

struct WarningLog {
    int count = 0;
    std::string text;
    static void Record(void* context, const char* text) {
        auto* log = static_cast<WarningLog*>(context);
        ++log->count;
        log->text = text;
    }
};

TEST(SettingsFileNames, ASpecialFileIsLeftAloneWithOneWarning) {
    TempFolder folder;
    const std::string fifo = folder.File("fifo.ini");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0666), 0);
    const std::string directory = folder.File("dir.ini");
    ASSERT_TRUE(std::filesystem::create_directory(directory));
    for (const std::string& path : {fifo, directory}) {
        const auto start = Clock::now();
        WarningLog log;
        {
            SettingsFile settings(path.c_str(), {&WarningLog::Record, &log});
            EXPECT_FALSE(settings.Usable()) << path;
            std::string value;
            EXPECT_FALSE(settings.GetValue(SettingsFile::kTextureKey, value));
            EXPECT_FALSE(settings.AddValue("Key", "value"));
        }
        EXPECT_EQ(log.count, 1) << path;
        EXPECT_EQ(log.text, SettingsFile::kNotAFileWarning);
        EXPECT_LT(Clock::now() - start, std::chrono::seconds(1)) << path;
    }
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));
    EXPECT_TRUE(std::filesystem::is_directory(directory));
}

// A file larger than the reader's window used to gain a default record on
// every start, past the window where it was never found.
TEST(SettingsFileNames, AFileTooLargeToReadIsLeftUntouched) {
    TempFolder folder;
    const std::string path = folder.File("Marrowick.ini");
    const std::string large = std::string(SettingsFile::kMaxFileBytes, '#') + "\r\n";
    {
        std::ofstream out(path, std::ios::binary);
        out << large;
    }
    for (int start = 0; start < 2; ++start) {
        WarningLog log;
        {
            SettingsFile settings(path.c_str(), {&WarningLog::Record, &log});
            EXPECT_FALSE(settings.Usable());
            std::string value;
            EXPECT_FALSE(settings.GetValue(SettingsFile::kTextureKey, value));
        }
        EXPECT_EQ(log.count, 1);
        EXPECT_EQ(log.text, SettingsFile::kTooLargeWarning);
    }
    EXPECT_EQ(ReadText(path), large);

    // Up to the limit it is read as before: the default record is appended.
    const std::string fits = std::string(SettingsFile::kMaxFileBytes - 60, '#') + "\r\n";
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << fits;
    }
    WarningLog log;
    {
        SettingsFile settings(path.c_str(), {&WarningLog::Record, &log});
        EXPECT_TRUE(settings.Usable());
        std::string value;
        EXPECT_TRUE(settings.GetValue(SettingsFile::kTextureKey, value));
    }
    EXPECT_EQ(log.count, 0);
    EXPECT_EQ(ReadText(path).size(), fits.size() + 52);
}

}  // namespace

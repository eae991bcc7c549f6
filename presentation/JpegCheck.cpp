#include "presentation/JpegCheck.h"

namespace {

constexpr int kMarkerPrefix = 0xFF;
constexpr int kStartOfImage = 0xD8;
constexpr int kEndOfImage = 0xD9;
constexpr int kStartOfScan = 0xDA;
constexpr int kHuffmanTables = 0xC4;
constexpr int kBaselineFrame = 0xC0;
constexpr int kExtendedFrame = 0xC1;
constexpr int kProgressiveFrame = 0xC2;
constexpr int kMaxHuffmanCodes = 256;
constexpr int kTableSlots = 4;
constexpr int kMaxScanComponents = 4;

bool IsStandalone(int marker) {
    return marker == kStartOfImage || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7);
}

// The marker after fill bytes, the prefix already read; EOF at the end.
int ReadMarker(std::FILE* file) {
    int c = std::getc(file);
    while (c == kMarkerPrefix) c = std::getc(file);
    return c;
}

// The next marker, skipping whatever is not one (the decoder skips such
// bytes between header segments; checking more than it reads is safe).
int NextMarker(std::FILE* file) {
    for (;;) {
        const int c = std::getc(file);
        if (c == EOF) return EOF;
        if (c == kMarkerPrefix) return ReadMarker(file);
    }
}

// Skips entropy-coded data up to the next marker that is no restart marker,
// as the decoder's bit reader stops there; returns that marker, or EOF.
int SkipScan(std::FILE* file) {
    for (;;) {
        int c = std::getc(file);
        if (c == EOF) return EOF;
        if (c != kMarkerPrefix) continue;
        c = ReadMarker(file);
        if (c == EOF) return EOF;
        if (c != 0 && !(c >= 0xD0 && c <= 0xD7)) return c;
    }
}

// Which tables the file has defined so far, and what kind of frame it is.
struct JpegState {
    bool defined[2][kTableSlots] = {};  // [DC, AC][slot]
    bool frameSeen = false;
    bool progressive = false;
};

// A DHT segment: each table's sizes, and the tables it defines. Past the end
// the decoder reads zeros and goes on: so do we, and a table cut short still
// counts the sizes it has.
bool CheckHuffmanSegment(std::FILE* file, long length, JpegState& state, std::string& error) {
    while (length > 0) {
        const int kind = std::getc(file);
        if (kind == EOF && std::feof(file)) return true;  // all zeros from here: nothing to overrun
        const int tableClass = kind >> 4;
        const int slot = kind & 15;
        int codes = 0;
        for (int i = 0; i < 16; ++i) {
            const int count = std::getc(file);
            codes += count == EOF ? 0 : count;
        }
        if (codes > kMaxHuffmanCodes) {
            error = "is a JPEG with a Huffman table of " + std::to_string(codes) +
                    " codes (at most 256 exist)";
            return false;
        }
        if (tableClass > 1 || slot >= kTableSlots) return true;  // the decoder refuses it
        state.defined[tableClass][slot] = true;
        if (std::feof(file) || std::fseek(file, codes, SEEK_CUR) != 0) return true;
        length -= 17 + codes;
    }
    return true;
}

// An SOS header: the tables the scan decodes with must exist.
bool CheckScanHeader(std::FILE* file, const JpegState& state, std::string& error) {
    if (!state.frameSeen) return true;  // the decoder refuses a scan before the frame
    const int count = std::getc(file);
    if (count < 1 || count > kMaxScanComponents) return true;
    int tables[kMaxScanComponents] = {};
    for (int i = 0; i < count; ++i) {
        std::getc(file);  // the component
        tables[i] = std::getc(file);
        if (tables[i] == EOF) return true;
    }
    const int start = std::getc(file);
    std::getc(file);  // end of the spectral band
    const int approximation = std::getc(file);
    if (approximation == EOF) return true;
    const bool usesDc = !state.progressive || (start == 0 && (approximation >> 4) == 0);
    const bool usesAc = !state.progressive || start > 0;
    for (int i = 0; i < count; ++i) {
        const int dc = tables[i] >> 4;
        const int ac = tables[i] & 15;
        if (dc >= kTableSlots || ac >= kTableSlots) return true;  // the decoder refuses it
        if ((usesDc && !state.defined[0][dc]) || (usesAc && !state.defined[1][ac])) {
            error = "is a JPEG whose scan decodes with a Huffman table it never defines";
            return false;
        }
    }
    return true;
}

bool WalkJpeg(std::FILE* file, std::string& error) {
    if (std::getc(file) != kMarkerPrefix || ReadMarker(file) != kStartOfImage) return true;
    JpegState state;
    int marker = NextMarker(file);
    while (marker != EOF && marker != kEndOfImage) {
        if (IsStandalone(marker)) {
            marker = NextMarker(file);
            continue;
        }
        const int high = std::getc(file);
        const int low = std::getc(file);
        if (high == EOF || low == EOF) return true;
        const long length = (static_cast<long>(high) << 8 | low) - 2;
        if (length < 0) return true;  // the decoder refuses it
        const long start = std::ftell(file);
        if (marker == kHuffmanTables && !CheckHuffmanSegment(file, length, state, error)) return false;
        if (marker == kStartOfScan && !CheckScanHeader(file, state, error)) return false;
        if (marker == kBaselineFrame || marker == kExtendedFrame || marker == kProgressiveFrame) {
            state.frameSeen = true;
            state.progressive = marker == kProgressiveFrame;
        }
        if (start < 0 || std::fseek(file, start + length, SEEK_SET) != 0) return true;
        marker = marker == kStartOfScan ? SkipScan(file) : NextMarker(file);
    }
    return true;
}

}  // namespace

bool JpegTablesSound(std::FILE* file, std::string& error) {
    const long start = std::ftell(file);
    const bool sound = WalkJpeg(file, error);
    if (start >= 0) std::fseek(file, start, SEEK_SET);
    return sound;
}

// The bridge's reading of what the engine prints: the listing buffer fed in
// pieces (split at 0x01 bytes of the input, as the engine prints a listing in
// many small pieces), then the scanner over the buffer, and the scanner over
// the whole input as one text.
#include <cstdint>
#include <cstring>
#include <string>

#include "policy/RuleEngine.h"

namespace {

void Scan(const char* text) {
    const char* cursor = text;
    char token[kTokenTextCapacity];
    const char* end = text + std::strlen(text);
    for (;;) {
        const char* before = cursor;
        const TokenKind kind = NextToken(cursor, token);
        if (std::strlen(token) >= kTokenTextCapacity || cursor < before || cursor > end) {
            __builtin_trap();
        }
        if (kind == TokenEnd) break;
        if (cursor == before) __builtin_trap();  // every token moves on
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static RuleEngine engine;
    std::string text(reinterpret_cast<const char*>(data), size);
    text = text.substr(0, text.find('\0'));

    engine.ClearListing();
    size_t start = 0;
    for (;;) {
        const size_t cut = text.find('\x01', start);
        engine.AppendListing(text.substr(start, cut == std::string::npos ? cut : cut - start).c_str());
        if (cut == std::string::npos) break;
        start = cut + 1;
    }
    if (engine.listingLength >= RuleEngine::kListingCapacity ||
        std::strlen(engine.factListing) != engine.listingLength) {
        __builtin_trap();
    }
    Scan(engine.factListing);
    Scan(text.c_str());
    return 0;
}

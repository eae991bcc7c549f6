#include "policy/RuleEngine.h"

#include <cstdio>
#include <cstring>
#include <iterator>

extern "C" {
#include <clips/clips.h>
}

namespace {

// Logical names. The listing name is the one EnvFacts is pointed at; the
// console names are where the engine writes what a person at its prompt would
// see (the rules' printouts arrive as "stdout").
constexpr const char* kListingName = "proir";
constexpr const char* kConsoleNames[] = {"stdout", "wdisplay", "wdialog", "wprompt", "wtrace"};
constexpr const char* kErrorNames[] = {"werror", "wwarning"};

// The engine asks its routers in priority order for every piece it prints.
// The listing router comes first (a pass prints the listing in many small
// pieces); the console router sits below it and above the engine's own
// standard-stream router, so it still answers before that one.
constexpr int kListingRouterPriority = 10;
constexpr int kConsoleRouterPriority = 5;

bool IsOneOf(const char* name, const char* const* names, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        if (std::strcmp(name, names[i]) == 0) return true;
    }
    return false;
}

RuleEngine* EngineOf(void* environment) {
    return static_cast<RuleEngine*>(GetEnvironmentRouterContext(environment));
}

// Callbacks run inside engine calls: C linkage expectations, nothing throws.
int ListingRouterQuery(void*, const char* logicalName) noexcept {
    return logicalName != nullptr && std::strcmp(logicalName, kListingName) == 0;
}

int ListingRouterPrint(void* environment, const char*, const char* text) noexcept {
    RuleEngine* engine = EngineOf(environment);
    if (engine != nullptr && text != nullptr) engine->AppendListing(text);
    return 1;
}

int ConsoleRouterQuery(void*, const char* logicalName) noexcept {
    if (logicalName == nullptr) return 0;
    return IsOneOf(logicalName, kConsoleNames, std::size(kConsoleNames)) ||
           IsOneOf(logicalName, kErrorNames, std::size(kErrorNames));
}

int ConsoleRouterPrint(void* environment, const char* logicalName, const char* text) noexcept {
    if (text == nullptr) return 1;
    if (IsOneOf(logicalName, kErrorNames, std::size(kErrorNames))) {
        std::fputs(text, stderr);
        return 1;
    }
    RuleEngine* engine = EngineOf(environment);
    if (engine != nullptr && engine->Echo()) std::fputs(text, stdout);
    return 1;
}

}  // namespace

RuleEngine::RuleEngine() {
    environment = CreateEnvironment();
    if (environment == nullptr) return;
    // Routers go in before anything is loaded, so load errors already take the
    // error route instead of the engine's default (standard output).
    const bool routed =
        EnvAddRouterWithContext(environment, kListingName, kListingRouterPriority, ListingRouterQuery,
                                ListingRouterPrint, nullptr, nullptr, nullptr, this) &&
        EnvAddRouterWithContext(environment, "marrowick-console", kConsoleRouterPriority,
                                ConsoleRouterQuery, ConsoleRouterPrint, nullptr, nullptr,
                                nullptr, this);
    if (!routed) {
        DestroyEnvironment(environment);
        environment = nullptr;
    }
}

RuleEngine::~RuleEngine() {
    if (environment != nullptr) DestroyEnvironment(environment);
}

void RuleEngine::ClearListing() {
    factListing[0] = '\0';
    listingLength = 0;
    listingOverflow = false;
}

void RuleEngine::AppendListing(const char* text) {
    // Whole pieces or nothing: a piece cut in half could turn a longer word
    // into a conclusion name. Once one piece is dropped, everything after it
    // is dropped too, so the buffer always holds a clean prefix of the output.
    if (listingOverflow) return;
    const size_t length = std::strlen(text);
    if (length > kListingCapacity - 1 - listingLength) {
        listingOverflow = true;
        return;
    }
    std::memcpy(factListing + listingLength, text, length);
    listingLength += length;
    factListing[listingLength] = '\0';
}

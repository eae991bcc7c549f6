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

constexpr const char* kWorldTemplate = "world";
constexpr const char* kColonyTemplate = "colony";
constexpr const char* kWorldSlots[] = {"food_supply", "change_FS"};
constexpr const char* kColonySlots[] = {"food_reserves", "population", "change_FR",
                                        "num_gathering_ants"};

bool HasSlots(void* environment, void* deftemplate, const char* const* slots, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        if (!EnvDeftemplateSlotExistP(environment, deftemplate, slots[i])) return false;
    }
    return true;
}

// The rule base is usable only when both templates exist with every slot the
// pass fills in.
bool HasTemplates(void* environment) {
    void* world = EnvFindDeftemplate(environment, kWorldTemplate);
    void* colony = EnvFindDeftemplate(environment, kColonyTemplate);
    return world != nullptr && colony != nullptr &&
           HasSlots(environment, world, kWorldSlots, std::size(kWorldSlots)) &&
           HasSlots(environment, colony, kColonySlots, std::size(kColonySlots));
}

void PutSymbol(void* environment, void* fact, const char* slot, const char* value) {
    DATA_OBJECT data;
    SetType(data, SYMBOL);
    SetValue(data, EnvAddSymbol(environment, value));
    EnvPutFactSlot(environment, fact, slot, &data);
}

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

LoadResult RuleEngine::Load(const char* path) {
    if (environment == nullptr) return LoadResult::CannotRead;
    // The engine's own error text has gone to standard error by the time
    // EnvLoad returns (the error router is installed with the environment).
    const int loaded = EnvLoad(environment, path);
    if (loaded == 0) return LoadResult::CannotRead;
    if (loaded != 1) return LoadResult::HasErrors;
    if (!HasTemplates(environment)) return LoadResult::LacksTemplates;
    return LoadResult::Loaded;
}

bool RuleEngine::Ready() const { return environment != nullptr && HasTemplates(environment); }

PassResult RuleEngine::Pass(const PassFacts& facts) {
    ClearListing();
    EnvReset(environment);

    void* world = EnvCreateFact(environment, EnvFindDeftemplate(environment, kWorldTemplate));
    if (world == nullptr) return PassResult::Failed;
    PutSymbol(environment, world, "food_supply", facts.foodSupply);
    PutSymbol(environment, world, "change_FS", facts.foodSupplyChange);
    EnvAssert(environment, world);

    void* colony = EnvCreateFact(environment, EnvFindDeftemplate(environment, kColonyTemplate));
    if (colony == nullptr) return PassResult::Failed;
    PutSymbol(environment, colony, "food_reserves", facts.foodReserves);
    PutSymbol(environment, colony, "population", facts.population);
    PutSymbol(environment, colony, "change_FR", facts.foodReservesChange);
    PutSymbol(environment, colony, "num_gathering_ants", facts.gatherers);
    EnvAssert(environment, colony);

    if (EnvRun(environment, kMaxRuleFirings) >= kMaxRuleFirings) return PassResult::CutOff;
    EnvFacts(environment, kListingName, nullptr, -1, -1, -1);
    return PassResult::Listed;
}

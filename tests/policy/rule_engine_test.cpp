// The rule engine wrapper: its routers (listing capture, console, errors) and
// the bounded listing buffer.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "policy/RuleEngine.h"
#include "tests/policy/PolicyTestSupport.h"

extern "C" {
#include <clips/clips.h>
}

namespace {

using ::testing::internal::CaptureStderr;
using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStderr;
using ::testing::internal::GetCapturedStdout;

TEST(RuleEngine, CapturesExactlyTheListingName) {
    RuleEngine engine;
    ASSERT_TRUE(engine.Usable());
    void* env = engine.Environment();
    CaptureStderr();
    CaptureStdout();
    EnvPrintRouter(env, "proir", "kept ");
    EnvPrintRouter(env, "PROIR", "other case ");
    EnvPrintRouter(env, "proir2", "longer name ");
    EnvPrintRouter(env, "proi", "shorter name ");
    EnvPrintRouter(env, "proir", "too");
    std::fflush(nullptr);
    const std::string out = GetCapturedStdout();
    GetCapturedStderr();
    EXPECT_STREQ(engine.factListing, "kept too");
    EXPECT_EQ(engine.listingLength, std::strlen("kept too"));
    EXPECT_EQ(out, "");
}

TEST(RuleEngine, EachEngineCapturesIntoItsOwnBuffer) {
    RuleEngine first;
    RuleEngine second;
    EnvPrintRouter(second.Environment(), "proir", "second");
    EnvPrintRouter(first.Environment(), "proir", "first");
    EXPECT_STREQ(first.factListing, "first");
    EXPECT_STREQ(second.factListing, "second");
}

TEST(RuleEngine, ConsoleOutputIsDroppedUnlessEchoedAndErrorsGoToStandardError) {
    RuleEngine engine;
    void* env = engine.Environment();
    DATA_OBJECT result;

    CaptureStdout();
    CaptureStderr();
    EnvEval(env, "(printout t \"quiet line\" crlf)", &result);
    EnvPrintRouter(env, "werror", "an error\n");
    EnvPrintRouter(env, "wwarning", "a warning\n");
    std::fflush(nullptr);
    EXPECT_EQ(GetCapturedStdout(), "");
    const std::string err = GetCapturedStderr();
    EXPECT_NE(err.find("an error"), std::string::npos);
    EXPECT_NE(err.find("a warning"), std::string::npos);
    EXPECT_EQ(err.find("quiet line"), std::string::npos);

    engine.SetEcho(true);
    CaptureStdout();
    CaptureStderr();
    EnvEval(env, "(printout t \"echoed line\" crlf)", &result);
    std::fflush(nullptr);
    EXPECT_EQ(GetCapturedStdout(), "echoed line\n");
    EXPECT_EQ(GetCapturedStderr(), "");
    EXPECT_STREQ(engine.factListing, "") << "console output never reaches the listing";
}

// The engine process runs with capture on: nothing reaches its standard
// streams, and a flood of output is cut at the buffers' capacity.
TEST(RuleEngine, CaptureKeepsPrintoutsAndErrorsInBoundedBuffers) {
    RuleEngine engine;
    engine.SetCapture(true);
    const std::string text =
        "(deftemplate world (slot food_supply) (slot change_FS))\n"
        "(deftemplate colony (slot food_reserves) (slot population) (slot change_FR)"
        " (slot num_gathering_ants))\n"
        "(defrule talk (world) => (loop-for-count (?i 1 1000) do (printout t \"0123456789\" crlf))"
        " (printout nowhere x))\n";
    CaptureStdout();
    CaptureStderr();
    ASSERT_EQ(engine.LoadText("talk.clp", text.data(), text.size()), LoadResult::Loaded);
    const PassFacts facts{"high", "stable", "high", "low", "stable", "low"};
    EXPECT_EQ(engine.Pass(facts), PassResult::Listed);
    EXPECT_EQ(engine.consoleText.length, 0u) << "printouts are dropped without echo";
    engine.SetEcho(true);
    EXPECT_EQ(engine.Pass(facts), PassResult::Listed);
    std::fflush(nullptr);
    EXPECT_EQ(GetCapturedStdout(), "");
    EXPECT_EQ(GetCapturedStderr(), "");
    EXPECT_TRUE(engine.consoleText.overflow);
    EXPECT_EQ(engine.consoleText.length, RuleEngine::kCaptureCapacity - 1);
    EXPECT_EQ(std::string(engine.consoleText.text).substr(0, 11), "0123456789\n");
    EXPECT_NE(std::string(engine.errorText.text).find("nowhere"), std::string::npos);
    EXPECT_FALSE(engine.errorText.overflow);
}

TEST(RuleEngine, LoadErrorsGoToStandardErrorNotStandardOutput) {
    TempFolder scratch;
    const std::string file = scratch.File("Broken.clp");
    WriteText(file, "(defrule broken\r\n\t(a)\r\n\t=>\r\n\t(undefined-function))\r\n");
    RuleEngine engine;
    CaptureStdout();
    CaptureStderr();
    EXPECT_NE(EnvLoad(engine.Environment(), file.c_str()), 1);
    std::fflush(nullptr);
    EXPECT_EQ(GetCapturedStdout(), "");
    EXPECT_NE(GetCapturedStderr().find("undefined-function"), std::string::npos);
}

TEST(RuleEngine, ListingKeepsWholePiecesUpToItsCapacity) {
    RuleEngine engine;
    const char piece[] = "f-12345 (lower_population)\n";  // 27 characters
    const size_t pieceLength = std::strlen(piece);
    for (int i = 0; i < 1000; ++i) EnvPrintRouter(engine.Environment(), "proir", piece);

    const size_t fits = (RuleEngine::kListingCapacity - 1) / pieceLength;
    EXPECT_TRUE(engine.listingOverflow);
    EXPECT_EQ(engine.listingLength, fits * pieceLength);
    EXPECT_EQ(std::strlen(engine.factListing), engine.listingLength);
    EXPECT_EQ(std::string(engine.factListing).substr(engine.listingLength - pieceLength), piece);

    // A short piece after the first dropped one is dropped too: no gaps.
    EnvPrintRouter(engine.Environment(), "proir", "x");
    EXPECT_EQ(engine.listingLength, fits * pieceLength);

    engine.ClearListing();
    EXPECT_FALSE(engine.listingOverflow);
    EXPECT_EQ(engine.listingLength, 0u);
    EnvPrintRouter(engine.Environment(), "proir", piece);
    EXPECT_STREQ(engine.factListing, piece);
}

TEST(RuleEngine, ListingTakesAPieceThatExactlyFillsItAndDropsOneTooLong) {
    RuleEngine engine;
    const std::string full(RuleEngine::kListingCapacity - 1, 'a');
    engine.AppendListing(full.c_str());
    EXPECT_FALSE(engine.listingOverflow);
    EXPECT_EQ(engine.listingLength, full.size());
    engine.AppendListing("b");
    EXPECT_TRUE(engine.listingOverflow);
    EXPECT_EQ(std::string(engine.factListing), full);

    engine.ClearListing();
    const std::string tooLong(RuleEngine::kListingCapacity, 'c');
    engine.AppendListing(tooLong.c_str());
    EXPECT_TRUE(engine.listingOverflow);
    EXPECT_STREQ(engine.factListing, "");
}

}  // namespace

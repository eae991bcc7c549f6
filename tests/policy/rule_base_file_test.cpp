// The rule base file before the engine sees it: whatever stands under its
// name, the start never blocks and the message says what is wrong.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "policy/ExpertSystem.h"
#include "policy/RuleBaseFile.h"
#include "tests/policy/PolicyTestSupport.h"

namespace {

using ::testing::internal::CaptureStderr;
using ::testing::internal::GetCapturedStderr;

std::string Prepare(const std::string& path, bool& usable) {
    char problem[160] = "";
    usable = CheckRuleBase(path.c_str(), problem, sizeof problem);
    return problem;
}

TEST(RuleBaseFile, EveryKindOfUnusableNameHasItsOwnReason) {
    TempFolder folder;
    const std::string directory = folder.File("dir/Rules.clp");
    ASSERT_TRUE(std::filesystem::create_directories(directory));
    const std::string fifo = folder.File("Rules.fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0666), 0);
    struct Case {
        std::string path;
        const char* problem;
    };
    const Case cases[] = {
        {directory, "is a directory, not a rule base file"},
        // Opened for reading a FIFO would wait for a writer for ever.
        {fifo, "is a FIFO, not a rule base file"},
        {"/dev/zero", "is a character device, not a rule base file"},
        {folder.File("no-such-folder/Rules.clp"), "is missing"},
    };
    for (const Case& c : cases) {
        bool usable = true;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(Prepare(c.path, usable), c.problem) << c.path;
        EXPECT_FALSE(usable) << c.path;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2)) << c.path;
    }
    // Nothing was written over or beside them.
    EXPECT_TRUE(std::filesystem::is_directory(directory));
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));
}

// Loading only reads: a missing rule base is refused, never written; the
// first-use copy is written by whoever looks after the user's files.
TEST(RuleBaseFile, CheckingWritesNothingAndProvidingNeverWritesOver) {
    TempFolder folder;
    const std::string path = folder.File("Rules.clp");
    bool usable = true;
    EXPECT_EQ(Prepare(path, usable), "is missing");
    EXPECT_FALSE(usable);
    EXPECT_FALSE(std::filesystem::exists(path));

    int error = -1;
    EXPECT_TRUE(ProvideRuleBaseAt(path.c_str(), error));
    EXPECT_EQ(error, 0);
    EXPECT_FALSE(ReadText(path).empty());
    EXPECT_EQ(Prepare(path, usable), "");
    EXPECT_TRUE(usable);

    WriteText(path, "; edited\r\n");
    EXPECT_TRUE(ProvideRuleBaseAt(path.c_str(), error));
    EXPECT_EQ(ReadText(path), "; edited\r\n");
    EXPECT_FALSE(ProvideRuleBaseAt(folder.File("no-such-folder/Rules.clp").c_str(), error));
    EXPECT_EQ(error, ENOENT);
}

TEST(RuleBaseFile, TheExpertSystemSaysWhyItIsOff) {
    TempFolder folder;
    const std::string directory = folder.File("Rules.clp");
    ASSERT_TRUE(std::filesystem::create_directory(directory));
    ExpertSystem expert;
    CaptureStderr();
    expert.Init(directory.c_str());
    const std::string err = GetCapturedStderr();
    EXPECT_FALSE(expert.on);
    EXPECT_EQ(err, "marrowick: the rule base \"" + directory +
                       "\" is a directory, not a rule base file; the expert system is off\n");
}

}  // namespace

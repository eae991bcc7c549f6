// Which rule base and settings file a run uses: the working directory's copy
// when it exists, then the user's folder (made on first use), then the
// installed defaults when nothing can be written. Each test builds a small
// world of its own: a working folder, a home and a data folder.
#include "settings/UserFiles.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "policy/RuleBaseText.h"
#include "tests/TempFolder.h"

namespace {

class UserFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(scratch.path.empty());
        for (const char* folder : {"work", "home", "data"}) {
            ASSERT_EQ(mkdir(scratch.File(folder).c_str(), 0755), 0);
        }
        Touch("data/Rules.clp");
        inputs.workingFolder = scratch.File("work");
        inputs.home = scratch.File("home");
        inputs.dataFolder = scratch.File("data");
    }

    void Touch(const std::string& name) { std::ofstream(scratch.File(name)) << "stored\n"; }
    bool Exists(const std::string& name) const { return access(scratch.File(name).c_str(), F_OK) == 0; }
    std::string UserFolder() const { return scratch.File("home/.config/marrowick"); }

    TempFolder scratch;
    UserFileInputs inputs;
};

// The first place that has the file wins; what is missing is made in the
// user's folder.
TEST_F(UserFilesTest, WorkingDirectoryThenUserFolderThenMadeInTheUserFolder) {
    struct Case {
        const char* what;
        const char* stored[2];  // files that exist beforehand (or null)
        FileOrigin rules;
        FileOrigin settings;
    } cases[] = {
        {"nothing stored: both made in the user's folder", {nullptr, nullptr},
         FileOrigin::UserFolder, FileOrigin::UserFolder},
        {"both in the working directory", {"work/Rules.clp", "work/Marrowick.ini"},
         FileOrigin::WorkingDirectory, FileOrigin::WorkingDirectory},
        {"an edited rule base in the working directory", {"work/Rules.clp", nullptr},
         FileOrigin::WorkingDirectory, FileOrigin::UserFolder},
        {"the user's copies", {"home/.config/marrowick/Rules.clp", "home/.config/marrowick/Marrowick.ini"},
         FileOrigin::UserFolder, FileOrigin::UserFolder},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder fresh;
        for (const char* folder : {"/work", "/home", "/home/.config", "/home/.config/marrowick"}) {
            ASSERT_EQ(mkdir((fresh.path + folder).c_str(), 0755), 0);
        }
        UserFileInputs here = inputs;
        here.workingFolder = fresh.path + "/work";
        here.home = fresh.path + "/home";
        for (const char* name : c.stored) {
            if (name != nullptr) std::ofstream(fresh.path + "/" + name) << "stored\n";
        }
        const UserFiles files = PlanUserFiles(here);
        EXPECT_EQ(files.rules.origin, c.rules);
        EXPECT_EQ(files.settings.origin, c.settings);
        // A copy in the working directory is read, never written.
        EXPECT_EQ(files.rules.writable, c.rules != FileOrigin::WorkingDirectory);
        EXPECT_EQ(files.settings.writable, c.settings != FileOrigin::WorkingDirectory);
        EXPECT_TRUE(files.problem.empty()) << files.problem;
        const std::string mine = fresh.path + "/home/.config/marrowick/";
        EXPECT_EQ(files.rules.path, c.rules == FileOrigin::WorkingDirectory
                                        ? here.workingFolder + "/Rules.clp"
                                        : mine + "Rules.clp");
        EXPECT_EQ(files.settings.path, c.settings == FileOrigin::WorkingDirectory
                                           ? here.workingFolder + "/Marrowick.ini"
                                           : mine + "Marrowick.ini");
    }
}

TEST_F(UserFilesTest, TheUserFolderIsMadePrivateAndOnlyWhenAFileIsToBeMadeThere) {
    Touch("work/Rules.clp");
    Touch("work/Marrowick.ini");
    PlanUserFiles(inputs);
    EXPECT_FALSE(Exists("home/.config")) << "both files were in the working directory";

    const UserFiles files = PlanUserFiles([&] {
        UserFileInputs other = inputs;
        other.workingFolder = scratch.File("home");  // nothing stored here
        return other;
    }());
    EXPECT_TRUE(files.userFolderReady);
    EXPECT_EQ(files.userFolder, UserFolder());
    for (const std::string& folder : {scratch.File("home/.config"), UserFolder()}) {
        struct stat info;
        ASSERT_EQ(stat(folder.c_str(), &info), 0) << folder;
        EXPECT_EQ(info.st_mode & 0777, 0700u) << folder;
    }
    // Only the folder: the files are made by those who use them.
    EXPECT_FALSE(Exists("home/.config/marrowick/Rules.clp"));
    EXPECT_FALSE(Exists("home/.config/marrowick/Marrowick.ini"));
}

TEST_F(UserFilesTest, XdgConfigHomeWhenAbsoluteOtherwiseHomeDotConfig) {
    struct Case {
        std::string xdg;
        std::string home;
        std::string expected;
    } cases[] = {
        {"/x/config", "/h", "/x/config/marrowick"},
        {"", "/h", "/h/.config/marrowick"},
        {"relative/config", "/h", "/h/.config/marrowick"},  // XDG ignores relative paths
        {"", "relative-home", ""},
        {"", "", ""},
    };
    for (const Case& c : cases) {
        UserFileInputs here;
        here.xdgConfigHome = c.xdg;
        here.home = c.home;
        EXPECT_EQ(UserFolderPath(here), c.expected) << "XDG_CONFIG_HOME=" << c.xdg << " HOME=" << c.home;
    }

    inputs.xdgConfigHome = scratch.File("xdg");  // missing: made, below an existing parent
    const UserFiles files = PlanUserFiles(inputs);
    EXPECT_EQ(files.rules.path, scratch.File("xdg/marrowick/Rules.clp"));
    EXPECT_TRUE(Exists("xdg/marrowick"));
    EXPECT_FALSE(Exists("home/.config"));
}

// Nowhere to write: a home that is missing, a file, or read-only. The rule
// base then comes from the data folder (or, without one, the built-in rules
// from memory), the settings are the built-in ones, and one line says why.
TEST_F(UserFilesTest, ReadOnlyOrMissingHomeFallsBackToTheInstalledDefaults) {
    Touch("plain-file");
    struct Case {
        const char* what;
        std::string home;
        const char* problem;
    } cases[] = {
        {"no home at all", "", "no home folder"},
        {"a home that does not exist", scratch.File("gone/home"), "does not exist"},
        {"a home that is a file", scratch.File("plain-file"), "cannot make"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        inputs.home = c.home;
        UserFiles files = PlanUserFiles(inputs);
        EXPECT_FALSE(files.userFolderReady);
        EXPECT_NE(files.problem.find(c.problem), std::string::npos) << files.problem;
        EXPECT_EQ(files.rules.origin, FileOrigin::DataFolder);
        EXPECT_EQ(files.rules.path, scratch.File("data/Rules.clp"));
        EXPECT_FALSE(files.rules.writable);
        EXPECT_EQ(files.settings.origin, FileOrigin::BuiltIn);
        EXPECT_TRUE(files.settings.path.empty());
        const std::string line = DescribeFallback(files);
        EXPECT_NE(line.find(files.problem), std::string::npos);
        EXPECT_NE(line.find("rule base is read from " + scratch.File("data/Rules.clp")),
                  std::string::npos)
            << line;
        EXPECT_NE(line.find("settings are the built-in ones"), std::string::npos) << line;

        // Without a data folder (a build tree): the built-in rules; the
        // working directory is never written.
        UserFileInputs bare = inputs;
        bare.dataFolder.clear();
        files = PlanUserFiles(bare);
        EXPECT_EQ(files.rules.origin, FileOrigin::BuiltIn);
        EXPECT_TRUE(files.rules.path.empty());
        EXPECT_NE(DescribeFallback(files).find("the built-in rules are used"), std::string::npos);
        EXPECT_FALSE(Exists("work/Rules.clp"));
    }
    EXPECT_FALSE(Exists("gone")) << "a missing home must not be made";
}

TEST_F(UserFilesTest, ReadOnlyHomeByPermissions) {
    if (geteuid() == 0) {
        GTEST_SKIP() << "root writes anywhere; the package test runs the program as nobody";
    }
    ASSERT_EQ(chmod(scratch.File("home").c_str(), 0555), 0);
    const UserFiles files = PlanUserFiles(inputs);
    chmod(scratch.File("home").c_str(), 0755);
    EXPECT_FALSE(files.userFolderReady);
    EXPECT_NE(files.problem.find("Permission denied"), std::string::npos) << files.problem;
    EXPECT_EQ(files.rules.origin, FileOrigin::DataFolder);
    EXPECT_EQ(files.settings.origin, FileOrigin::BuiltIn);

    // The user's existing copy that may not be written is still read.
    ASSERT_EQ(mkdir(scratch.File("home/.config").c_str(), 0755), 0);
    ASSERT_EQ(mkdir(UserFolder().c_str(), 0755), 0);
    Touch("home/.config/marrowick/Marrowick.ini");
    Touch("home/.config/marrowick/Rules.clp");
    ASSERT_EQ(chmod((UserFolder() + "/Marrowick.ini").c_str(), 0444), 0);
    const UserFiles stored = PlanUserFiles(inputs);
    EXPECT_EQ(stored.settings.origin, FileOrigin::UserFolder);
    EXPECT_FALSE(stored.settings.writable);
    EXPECT_TRUE(stored.rules.writable);
}

TEST_F(UserFilesTest, AUserFolderThatIsAFileIsNamed) {
    ASSERT_EQ(mkdir(scratch.File("home/.config").c_str(), 0755), 0);
    Touch("home/.config/marrowick");
    const UserFiles files = PlanUserFiles(inputs);
    EXPECT_FALSE(files.userFolderReady);
    EXPECT_EQ(files.problem, UserFolder() + " is not a folder");
    EXPECT_EQ(files.rules.origin, FileOrigin::DataFolder);
}

TEST_F(UserFilesTest, WithoutSettingsOnlyTheRuleBaseDecides) {
    inputs.wantSettings = false;
    Touch("work/Rules.clp");
    UserFiles files = PlanUserFiles(inputs);
    EXPECT_EQ(files.rules.origin, FileOrigin::WorkingDirectory);
    EXPECT_EQ(files.settings.origin, FileOrigin::Unused);
    EXPECT_FALSE(Exists("home/.config")) << "no folder for a settings file nobody reads";

    // Read-only home: the fallback line does not mention the settings.
    inputs.home.clear();
    ASSERT_EQ(unlink(scratch.File("work/Rules.clp").c_str()), 0);
    files = PlanUserFiles(inputs);
    EXPECT_EQ(files.rules.origin, FileOrigin::DataFolder);
    EXPECT_EQ(DescribeFallback(files).find("settings"), std::string::npos);
}

TEST_F(UserFilesTest, TheInstalledDataFolderIsBesideTheProgramsBinFolder) {
    // The test program lives in a build tree, which has no share/marrowick.
    EXPECT_EQ(InstalledDataFolder(), "");
}

}  // namespace

// The first-use copy: written once in the user's folder with its stamp, then
// brought up to date with newer built-in rules for as long as nobody edits it.
TEST_F(UserFilesTest, AnUneditedFirstUseCopyFollowsTheBuiltInRulesAndAnEditedOneIsKept) {
    const std::string builtIn(kRuleBaseText, kRuleBaseLength);
    const std::string copy = UserFolder() + "/Rules.clp";
    const std::string stamp = UserFolder() + "/" + UserFiles::kStampName;
    auto read = [](const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    };
    auto provide = [&] {
        UserFiles files = PlanUserFiles(inputs);
        ProvideUserRuleBase(files);
        EXPECT_TRUE(files.problem.empty()) << files.problem;
        EXPECT_EQ(files.rules.path, copy);
    };
    provide();
    ASSERT_EQ(read(copy), builtIn);
    const std::string stampText = read(stamp);
    EXPECT_EQ(stampText.rfind("fnv1a64 ", 0), 0u) << stampText;
    EXPECT_TRUE(read(scratch.File("work/Rules.clp")).empty()) << "the working directory is never written";

    // An older program wrote the copy: it is unedited, so a newer one replaces it.
    const std::string older = "; the rules of an older version\n";
    std::ofstream(copy, std::ios::binary | std::ios::trunc) << older;
    {
        std::ofstream out(stamp, std::ios::binary | std::ios::trunc);
        char line[64];
        uint64_t hash = 14695981039346656037ull;
        for (char c : older) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
        std::snprintf(line, sizeof line, "fnv1a64 %016llx %zu\n",
                      static_cast<unsigned long long>(hash), older.size());
        out << line;
    }
    provide();
    EXPECT_EQ(read(copy), builtIn);
    EXPECT_EQ(read(stamp), stampText);

    // Edited since: kept, whatever the built-in rules are now.
    const std::string edited = builtIn + "; my own rule\n";
    std::ofstream(copy, std::ios::binary | std::ios::trunc) << edited;
    provide();
    EXPECT_EQ(read(copy), edited);

    // No stamp (an earlier version without them): kept unless it is the
    // built-in text, which then gets its stamp.
    std::remove(stamp.c_str());
    provide();
    EXPECT_EQ(read(copy), edited);
    EXPECT_FALSE(Exists("home/.config/marrowick/" + std::string(UserFiles::kStampName)));
    std::ofstream(copy, std::ios::binary | std::ios::trunc) << builtIn;
    provide();
    EXPECT_EQ(read(stamp), stampText);
}

// Looking up writes nothing: no folder, no file.
TEST_F(UserFilesTest, LookingUpMakesNothing) {
    const UserFiles files = LookUpUserFiles(inputs);
    EXPECT_EQ(files.rules.origin, FileOrigin::DataFolder);
    EXPECT_EQ(files.settings.origin, FileOrigin::BuiltIn);
    EXPECT_FALSE(Exists("home/.config"));
    Touch("work/Rules.clp");
    EXPECT_EQ(LookUpUserFiles(inputs).rules.origin, FileOrigin::WorkingDirectory);
}

// Where the program finds its engine: relative to its own executable (an
// install's libexec folder, then beside it), or the program MARROWICK_ENGINE
// names; never anything a third user could have put in the way.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "policy/EngineLocation.h"
#include "tests/TempFolder.h"

namespace {

// A scratch install: PREFIX/bin/marrowick and whatever a case adds.
class EngineLocation : public ::testing::Test {
public:
    void SetUp() override {
        ASSERT_FALSE(scratch.path.empty());
        prefix = scratch.File("prefix");
        Folder(prefix);
        Folder(prefix + "/bin");
        executable = prefix + "/bin/marrowick";
        Program(executable);
        installed = prefix + "/libexec/marrowick/marrowick-engine";
        beside = prefix + "/bin/marrowick-engine";
    }

    static void Folder(const std::string& path, mode_t mode = 0755) {
        mkdir(path.c_str(), mode);
        chmod(path.c_str(), mode);  // whatever the umask
    }
    static void Program(const std::string& path, mode_t mode = 0755) {
        std::ofstream(path) << "#!/bin/sh\n";
        chmod(path.c_str(), mode);
    }
    void Install(mode_t mode = 0755) {
        Folder(prefix + "/libexec");
        Folder(prefix + "/libexec/marrowick");
        Program(installed, mode);
    }

    // LocateEngine for our executable, owned by whoever runs the test.
    bool Locate(const char* named = nullptr) {
        return LocateEngine(executable, named, geteuid(), path, error);
    }

    TempFolder scratch;
    std::string prefix;
    std::string executable;
    std::string installed;
    std::string beside;
    std::string path;
    std::string error;
};

TEST_F(EngineLocation, AnInstallFindsItsLibexecFolderBeforeTheFolderBesideIt) {
    Install();
    Program(beside);
    ASSERT_TRUE(Locate()) << error;
    EXPECT_EQ(path, installed);
    // After an upgrade replaced the running program the kernel adds a note to
    // its path; only the folder counts.
    ASSERT_TRUE(LocateEngine(executable + " (deleted)", nullptr, geteuid(), path, error)) << error;
    EXPECT_EQ(path, installed);
}

TEST_F(EngineLocation, ABuildTreeFindsTheEngineBesideTheProgram) {
    Program(beside);
    ASSERT_TRUE(Locate()) << error;
    EXPECT_EQ(path, beside);
}

TEST_F(EngineLocation, NothingThereNamesBothPlaces) {
    EXPECT_FALSE(Locate());
    EXPECT_EQ(error, "marrowick-engine is not installed: there is neither " + installed + " nor " +
                         beside);
    EXPECT_EQ(path, "");
}

// Something there that cannot be run is named for what it is, and the next
// place is still tried.
TEST_F(EngineLocation, NotExecutableIsToldApartFromNotFound) {
    struct Case {
        const char* what;
        void (*make)(EngineLocation&);
        const char* expected;
    };
    const Case cases[] = {
        {"a file without execute permission", [](EngineLocation& t) { t.Install(0644); },
         " is not executable"},
        {"a folder", [](EngineLocation& t) {
             Folder(t.prefix + "/libexec");
             Folder(t.prefix + "/libexec/marrowick");
             Folder(t.installed);
         },
         " is not a regular file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(prefix + "/libexec");
        std::filesystem::remove(beside);
        c.make(*this);
        EXPECT_FALSE(Locate());
        EXPECT_EQ(error, installed + c.expected);
        Program(beside);
        ASSERT_TRUE(Locate()) << error;
        EXPECT_EQ(path, beside);
    }
    // Beside the program too.
    std::filesystem::remove_all(prefix + "/libexec");
    chmod(beside.c_str(), 0644);
    EXPECT_FALSE(Locate());
    EXPECT_EQ(error, beside + " is not executable");
}

// A program in a place that someone other than root and the program's owner
// could have written is never started: the planted-engine hole of a build
// in a folder everybody can write.
TEST_F(EngineLocation, APlaceOthersCanWriteIsNotUsed) {
    Install();
    Folder(prefix + "/libexec/marrowick", 0777);
    EXPECT_FALSE(Locate());
    EXPECT_EQ(error, installed + " is not used: " + prefix +
                         "/libexec/marrowick can be written by everyone");
    Folder(prefix + "/libexec/marrowick", 0755);
    chmod(installed.c_str(), 0757);
    EXPECT_FALSE(Locate());
    EXPECT_EQ(error, installed + " is not used: " + installed + " can be written by everyone");
    chmod(installed.c_str(), 0755);

    // The prefix (the program's folder's parent) may be writable by all only
    // when it is sticky, as /tmp is.
    chmod(prefix.c_str(), 0777);
    EXPECT_FALSE(Locate());
    EXPECT_EQ(error, installed + " is not used: " + prefix + " can be written by everyone");
    Program(beside);
    ASSERT_TRUE(Locate()) << error;
    EXPECT_EQ(path, beside);
    std::filesystem::remove(beside);
    chmod(prefix.c_str(), 01777);
    ASSERT_TRUE(Locate()) << error;
    EXPECT_EQ(path, installed);
}

TEST_F(EngineLocation, APlaceOfAThirdUserIsNotUsed) {
    Install();
    // Root's files and the owner's are trusted; here the files belong to
    // whoever runs the test, so a program of another owner sees a stranger's.
    const uid_t stranger = geteuid() == 0 ? 65534 : geteuid() + 1;
    uid_t owner = stranger;
    if (geteuid() == 0) {
        ASSERT_EQ(chown((prefix + "/libexec").c_str(), stranger, stranger), 0);
        owner = 0;
    }
    ASSERT_FALSE(LocateEngine(executable, nullptr, owner, path, error));
    EXPECT_EQ(error.rfind(installed + " is not used: " + prefix + "/libexec belongs to user ", 0), 0u)
        << error;
    if (geteuid() == 0) {
        // The file beside the program is ours, and used instead.
        Program(beside);
        ASSERT_TRUE(LocateEngine(executable, nullptr, owner, path, error)) << error;
        EXPECT_EQ(path, beside);
    }
    // A link of ours into a stranger's folder does not launder it either.
    if (geteuid() == 0) {
        std::filesystem::remove_all(prefix + "/libexec");
        const std::string theirs = scratch.File("theirs");
        Folder(theirs);
        Folder(theirs + "/marrowick");
        Program(theirs + "/marrowick/marrowick-engine");
        ASSERT_EQ(chown(theirs.c_str(), stranger, stranger), 0);
        std::filesystem::create_symlink(theirs, prefix + "/libexec");
        std::filesystem::remove(beside);
        EXPECT_FALSE(LocateEngine(executable, nullptr, 0, path, error));
        EXPECT_NE(error.find(" belongs to user 65534"), std::string::npos) << error;
    }
}

TEST_F(EngineLocation, TheVariableNamesTheOneProgramToUse) {
    Install();
    const std::string mine = scratch.File("my-engine");
    Program(mine);
    ASSERT_TRUE(Locate(mine.c_str())) << error;
    EXPECT_EQ(path, mine);
    // Empty is unset.
    ASSERT_TRUE(Locate("")) << error;
    EXPECT_EQ(path, installed);

    // Named but unusable: said so, and nothing else is tried.
    const struct {
        std::string value;
        std::string expected;
    } cases[] = {
        {"my-engine", "MARROWICK_ENGINE must give the absolute path of marrowick-engine, not \"my-engine\""},
        {scratch.File("missing"), "MARROWICK_ENGINE names " + scratch.File("missing") +
                                      ", which does not exist"},
        {scratch.path, "MARROWICK_ENGINE: " + scratch.path + " is not a regular file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_FALSE(Locate(c.value.c_str()));
        EXPECT_EQ(error, c.expected);
        EXPECT_EQ(path, "");
    }
    chmod(mine.c_str(), 0644);
    EXPECT_FALSE(Locate(mine.c_str()));
    EXPECT_EQ(error, "MARROWICK_ENGINE: " + mine + " is not executable");
}

}  // namespace

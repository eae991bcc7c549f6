// marrowick in the user's ~/.xscreensaver: the edit of the text (every other
// line kept byte for byte, idempotent, undone by the removal) and of the file
// (backup, permissions, links, files that are no settings file).
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "shell/xscreensaver/HackListCommand.h"
#include "shell/xscreensaver/UserHackList.h"
#include "tests/TempFolder.h"

namespace {

// What xscreensaver-settings 6.06 wrote for a user who changed one setting.
const std::string kWrittenBySettings =
    MARROWICK_SOURCE_DIR "/tests/shell/xscreensaver/written-by-xscreensaver-settings-6.06";
const std::string kOurLine = "  GL: \t\t\t\tmarrowick --root\t\t\t    \\n";

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::vector<std::string> LinesOf(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

std::string Edit(const std::string& text, HackListAction action, bool& changed) {
    std::string result;
    std::string error;
    EXPECT_TRUE(EditHackListText(text, action, result, changed, error)) << error;
    return result;
}

std::string Added(const std::string& text) {
    bool changed = false;
    std::string result = Edit(text, HackListAction::Add, changed);
    EXPECT_TRUE(changed);
    return result;
}

std::string Removed(const std::string& text) {
    bool changed = false;
    std::string result = Edit(text, HackListAction::Remove, changed);
    EXPECT_TRUE(changed);
    return result;
}

TEST(UserHackList, AFileOfXscreensaverSettingsGetsOneLineAfterItsLastEntry) {
    const std::string original = ReadFile(kWrittenBySettings);
    ASSERT_NE(original.find("squirtorus --root"), std::string::npos) << "fixture missing";
    const std::string added = Added(original);

    // Exactly one line more: ours, right after the last entry and before the
    // empty line that ends the list; every other line as it was.
    std::vector<std::string> before = LinesOf(original);
    const std::vector<std::string> after = LinesOf(added);
    ASSERT_EQ(after.size(), before.size() + 1);
    size_t at = 0;
    while (at < before.size() && before[at] == after[at]) ++at;
    EXPECT_EQ(after[at], kOurLine + "\\");
    EXPECT_NE(after[at - 1].find("squirtorus --root"), std::string::npos);
    EXPECT_EQ(after[at + 1], "");
    before.insert(before.begin() + static_cast<long>(at), after[at]);
    EXPECT_EQ(before, after);
    EXPECT_EQ(added.back(), '\n');

    // Again: nothing to do. Removed: the file as it was, byte for byte.
    bool changed = true;
    EXPECT_EQ(Edit(added, HackListAction::Add, changed), added);
    EXPECT_FALSE(changed);
    EXPECT_EQ(Removed(added), original);
    EXPECT_EQ(Edit(original, HackListAction::Remove, changed), original);
    EXPECT_FALSE(changed);
}

// Lists written by hand, in other layouts: the list still ends with ours and
// nothing else of the file changes but the one line that has to go on.
TEST(UserHackList, AddingKeepsEveryOtherLine) {
    const struct {
        const char* what;
        std::string text;
        std::string expected;
    } cases[] = {
        {"the last entry has no continuation",
         "timeout: 0:10:00\nprograms: \\\n  maze --root \\n\\\n  xanalogtv --root \\n\nlock: False\n",
         "timeout: 0:10:00\nprograms: \\\n  maze --root \\n\\\n  xanalogtv --root \\n\\\n" + kOurLine +
             "\nlock: False\n"},
        {"one line, no separator after the last entry",
         "programs: maze --root\n", "programs: maze --root\\n\\\n" + kOurLine + "\n"},
        {"an empty line ends a list whose last entry lacks its separator",
         "programs: \\\n  maze --root \\\n\nmode: one\n",
         "programs: \\\n  maze --root \\\n\\n" + kOurLine + "\\\n\nmode: one\n"},
        {"the file ends inside the list", "programs: \\\n  maze --root \\n\\",
         "programs: \\\n  maze --root \\n\\\n" + kOurLine},
        {"an empty list", "mode: one\nprograms:\nselected: 0\n",
         "mode: one\nprograms:\\\n" + kOurLine + "\nselected: 0\n"},
        {"with a class before the name; a comment is no list",
         "! programs: not this one\n*programs: \\\n\tmaze --root \\n\\\n\n",
         "! programs: not this one\n*programs: \\\n\tmaze --root \\n\\\n" + kOurLine + "\\\n\n"},
        {"the last of two lists holds",
         "programs: maze --root \\n\nprograms: \\\n  qix --root \\n\\\n\n",
         "programs: maze --root \\n\nprograms: \\\n  qix --root \\n\\\n" + kOurLine + "\\\n\n"},
        {"another setting's continued value is not a list",
         "textLiteral: a \\\nprograms: not a name here\nprograms: \\\n  qix --root \\n\\\n\n",
         "textLiteral: a \\\nprograms: not a name here\nprograms: \\\n  qix --root \\n\\\n" + kOurLine +
             "\\\n\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string added = Added(c.text);
        EXPECT_EQ(added, c.expected);
        bool changed = true;
        EXPECT_EQ(Edit(added, HackListAction::Add, changed), added);
        EXPECT_FALSE(changed);
    }
}

TEST(UserHackList, AFileWithoutAListGetsOneOfOursAtItsEnd) {
    EXPECT_EQ(Added("mode: random\ntimeout: 0:05:00"),
              "mode: random\ntimeout: 0:05:00\n\nprograms:\t\t\t\t\t\t\t\t      \\\n" + kOurLine +
                  "\\\n\n");
    // A value left open at the end does not swallow it.
    EXPECT_EQ(Added("textLiteral: a \\\n"),
              "textLiteral: a \\\n\nprograms:\t\t\t\t\t\t\t\t      \\\n" + kOurLine + "\\\n\n");
    // No file at all: the list alone, under a word on what it is.
    const std::string made = Added("");
    EXPECT_EQ(made.rfind("# XScreenSaver Preferences File\n", 0), 0u);
    EXPECT_NE(made.find("\nprograms:\t\t\t\t\t\t\t\t      \\\n" + kOurLine + "\\\n\n"),
              std::string::npos);
}

TEST(UserHackList, AnyEntryOfTheProgramCountsAsListedAndASwitchedOffOneIsSwitchedOn) {
    for (const char* entry : {"GL: marrowick --root", "marrowick --root --rate 80",
                              "  /usr/bin/marrowick -root", "default-n: \"Ants\" marrowick --root",
                              "GL:marrowick --root"}) {
        SCOPED_TRACE(entry);
        const std::string text = std::string("programs: \\\n  maze --root \\n\\\n") + entry +
                                 " \\n\\\n  qix --root \\n\\\n\n";
        bool changed = true;
        EXPECT_EQ(Edit(text, HackListAction::Add, changed), text);
        EXPECT_FALSE(changed);
    }
    // Not ours.
    EXPECT_NE(Added("programs: \\\n  marrowickish --root \\n\\\n  \"marrowick\" maze --root \\n\\\n\n"),
              "");
    const std::string off = "programs: \\\n-  GL: \t\tmarrowick --root \\n\\\n  qix --root \\n\\\n\n";
    EXPECT_EQ(Added(off), "programs: \\\n  GL: \t\tmarrowick --root \\n\\\n  qix --root \\n\\\n\n");
}

TEST(UserHackList, RemovingTakesOutEveryEntryOfTheProgramAndLeavesTheRest) {
    const struct {
        const char* what;
        std::string text;
        std::string expected;
    } cases[] = {
        {"a line of its own in the middle, switched off or not",
         "programs: \\\n  maze --root \\n\\\n- GL: marrowick --root \\n\\\n  qix --root \\n\\\n\n",
         "programs: \\\n  maze --root \\n\\\n  qix --root \\n\\\n\n"},
        {"the last line: an empty line ends the list instead",
         "programs: \\\n  maze --root \\n\\\n  GL: marrowick --root \\n\nlock: False\n",
         "programs: \\\n  maze --root \\n\\\n\nlock: False\n"},
        {"on the line with the name", "programs: GL: marrowick --root \\n\\\n  qix --root \\n\\\n\n",
         "programs:\\\n  qix --root \\n\\\n\n"},
        {"sharing a line with others",
         "programs: maze --root \\n marrowick --root \\n qix --root \\n\nx: 1\n",
         "programs: maze --root \\n qix --root \\n\nx: 1\n"},
        {"twice", "programs: \\\n  marrowick --root \\n\\\n  qix --root \\n\\\n  marrowick -root \\n\\\n\n",
         "programs: \\\n  qix --root \\n\\\n\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Removed(c.text), c.expected);
    }
    // An entry that runs on into the next line is left for the user.
    std::string result;
    bool changed = false;
    std::string error;
    EXPECT_FALSE(EditHackListText("programs: \\\n  marrowick \\\n    --root \\n\\\n\n",
                                  HackListAction::Remove, result, changed, error));
    EXPECT_EQ(error, "its entry for marrowick runs over several lines; take it out by hand");
}

// ---- The user's file ----

class HackListFile : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(scratch.path.empty());
        path = scratch.File(".xscreensaver");
        backup = path + kHackListBackupSuffix;
    }
    TempFolder scratch;
    std::string path;
    std::string backup;
};

TEST_F(HackListFile, AnEditKeepsTheFileAsItWasAndItsPermissions) {
    const std::string original = ReadFile(kWrittenBySettings);
    WriteFile(path, original);
    chmod(path.c_str(), 0600);
    HackListEdit edit = EditHackListFile(path, HackListAction::Add);
    ASSERT_EQ(edit.result, HackListResult::Changed) << edit.message;
    EXPECT_EQ(edit.message, "added \"GL: marrowick --root\" to the screen savers in " + path +
                                " (the file as it was is " + backup + ")");
    EXPECT_EQ(ReadFile(path), Added(original));
    EXPECT_EQ(ReadFile(backup), original);
    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u);
    ASSERT_EQ(stat(backup.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u);

    // Nothing to do: nothing written, the backup stays the file before the edit.
    edit = EditHackListFile(path, HackListAction::Add);
    EXPECT_EQ(edit.result, HackListResult::Unchanged);
    EXPECT_EQ(edit.message, path + " lists marrowick already; nothing changed");
    EXPECT_EQ(ReadFile(backup), original);

    edit = EditHackListFile(path, HackListAction::Remove);
    ASSERT_EQ(edit.result, HackListResult::Changed) << edit.message;
    EXPECT_EQ(ReadFile(path), original);
    EXPECT_EQ(ReadFile(backup), Added(original));
    // Only the file and its backup: no temporary left behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(scratch.path),
                            std::filesystem::directory_iterator()),
              2);
}

TEST_F(HackListFile, NoFileYet) {
    HackListEdit edit = EditHackListFile(path, HackListAction::Remove);
    EXPECT_EQ(edit.result, HackListResult::Unchanged);
    EXPECT_FALSE(std::filesystem::exists(path));
    edit = EditHackListFile(path, HackListAction::Add);
    ASSERT_EQ(edit.result, HackListResult::Changed) << edit.message;
    EXPECT_EQ(ReadFile(path), Added(""));
    EXPECT_FALSE(std::filesystem::exists(backup));
}

TEST_F(HackListFile, ALinkStaysALinkAndItsFileIsEdited) {
    const std::string kept = scratch.File("dotfiles-xscreensaver");
    WriteFile(kept, "programs: \\\n  qix --root \\n\\\n\n");
    std::filesystem::create_symlink(kept, path);
    ASSERT_EQ(EditHackListFile(path, HackListAction::Add).result, HackListResult::Changed);
    EXPECT_TRUE(std::filesystem::is_symlink(path));
    EXPECT_EQ(ReadFile(kept), Added("programs: \\\n  qix --root \\n\\\n\n"));
    EXPECT_EQ(ReadFile(backup), "programs: \\\n  qix --root \\n\\\n\n");
}

TEST_F(HackListFile, WhatIsNoSettingsFileIsLeftAlone) {
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    HackListEdit edit = EditHackListFile(path, HackListAction::Add);
    EXPECT_EQ(edit.result, HackListResult::Failed);
    EXPECT_EQ(edit.message, "cannot read " + path + ": it is a FIFO");
    unlink(path.c_str());

    WriteFile(path, std::string((1 << 20) + 1, 'x'));
    edit = EditHackListFile(path, HackListAction::Add);
    EXPECT_EQ(edit.result, HackListResult::Failed);
    EXPECT_EQ(edit.message, path + " is larger than 1 MiB: not a settings file of xscreensaver's");
    EXPECT_FALSE(std::filesystem::exists(backup));

    std::filesystem::remove(path);
    std::filesystem::create_symlink(scratch.File("gone"), path);
    edit = EditHackListFile(path, HackListAction::Add);
    EXPECT_EQ(edit.result, HackListResult::Failed);
    EXPECT_EQ(edit.message, path + " is a link that leads nowhere: No such file or directory");
    EXPECT_FALSE(std::filesystem::exists(scratch.File("gone")));
}

TEST_F(HackListFile, AFolderThatCannotBeWrittenChangesNothing) {
    if (geteuid() == 0) GTEST_SKIP() << "root writes anywhere";
    WriteFile(path, "programs: \\\n  qix --root \\n\\\n\n");
    chmod(scratch.path.c_str(), 0500);
    const HackListEdit edit = EditHackListFile(path, HackListAction::Add);
    chmod(scratch.path.c_str(), 0700);
    EXPECT_EQ(edit.result, HackListResult::Failed);
    EXPECT_EQ(edit.message.rfind("nothing changed, as the backup could not be made: ", 0), 0u)
        << edit.message;
    EXPECT_EQ(ReadFile(path), "programs: \\\n  qix --root \\n\\\n\n");
}

TEST(HackListPath, TheHomeComesFromHomeOrThePasswordDatabase) {
    const char* saved = std::getenv("HOME");
    const std::string home = saved != nullptr ? saved : "";
    setenv("HOME", "/home/ant/", 1);
    EXPECT_EQ(UserHackListPath(), "/home/ant/.xscreensaver");
    // Relative or unset: not a home; the password database knows it.
    setenv("HOME", "relative", 1);
    const struct passwd* entry = getpwuid(getuid());
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(UserHackListPath(), std::string(entry->pw_dir) + "/.xscreensaver");
    if (saved != nullptr) setenv("HOME", home.c_str(), 1);
    else unsetenv("HOME");
}

}  // namespace

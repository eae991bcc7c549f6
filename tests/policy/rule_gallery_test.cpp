// The rule-base gallery: headers, the shipped rule bases, the user's own
// joining them, and what --rules NAME|FILE picks.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "policy/RuleBaseText.h"
#include "policy/RuleGallery.h"
#include "tests/TempFolder.h"

namespace {

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

std::vector<std::string> Names(const RuleGallery& gallery) {
    std::vector<std::string> names;
    for (const RuleBaseEntry& entry : gallery.Entries()) names.push_back(entry.name);
    return names;
}

TEST(RuleBaseHeaderTest, ReadsNameAndAboutFromTheLeadingDoubleSemicolonLines) {
    struct Case {
        const char* text;
        const char* name;
        const char* about;
    };
    const Case cases[] = {
        {";; name: thrifty\n;; about: keeps the store\n(defrule a =>)", "thrifty", "keeps the store"},
        {";; about: first\r\n;; name: crlf\r\n\r\n", "crlf", "first"},
        {"\xEF\xBB\xBF;; name: bom\n", "bom", ""},
        {";;name:tight\n;;about:x\n", "tight", "x"},
        {";; name:   spaced   \t\n", "spaced", ""},
        // The header is the opening run of ";;" lines only.
        {"(deftemplate x)\n;; name: late\n", "", ""},
        {";; comment\n\n;; name: after-blank\n", "", ""},
        {"; name: single\n", "", ""},
        // A name must be one word; the first of each key wins.
        {";; name: two words\n;; name: second\n", "second", ""},
        {";; name: a/b\n", "", ""},
        {";; name: one\n;; name: two\n;; about: a\n;; about: b\n", "one", "a"},
        {";; about: bell\x07 and \x1b[2J escape\n", "", "bell? and ?[2J escape"},
        {"", "", ""},
        {";; name: no-newline", "no-newline", ""},
    };
    for (const Case& c : cases) {
        const RuleBaseHeader header = ReadRuleBaseHeader(c.text, std::strlen(c.text));
        EXPECT_EQ(header.name, c.name) << c.text;
        EXPECT_EQ(header.about, c.about) << c.text;
    }
    const std::string longName = ";; name: " + std::string(RuleGallery::kMaxNameLength + 1, 'x');
    EXPECT_EQ(ReadRuleBaseHeader(longName.data(), longName.size()).name, "");
}

TEST(RuleGalleryTest, ShipsTheDefaultAndThreeOthersEachWithANameAndAnAboutLine) {
    const RuleGallery gallery = RuleGallery::Load("", "");
    EXPECT_EQ(Names(gallery), (std::vector<std::string>{"default", "thrifty", "boom", "forager"}));
    for (const RuleBaseEntry& entry : gallery.Entries()) {
        EXPECT_EQ(entry.origin, RuleBaseOrigin::Shipped);
        EXPECT_FALSE(entry.about.empty()) << entry.name;
        EXPECT_FALSE(entry.hidden);
        EXPECT_TRUE(entry.installedCopy.empty()) << "no data folder given";
        const std::string text(entry.text, entry.length);
        EXPECT_EQ(text.compare(0, 9 + entry.name.size(), ";; name: " + entry.name), 0);
    }
}

TEST(RuleGalleryTest, TheDefaultIsTheBuiltInRuleBaseByteForByteBehindItsHeader) {
    const RuleGallery gallery = RuleGallery::Load("", "");
    const RuleBaseEntry* entry = gallery.Find("default");
    ASSERT_NE(entry, nullptr);
    const std::string text(entry->text, entry->length);
    // Two header lines, CR LF like the rest of that file.
    const size_t first = text.find("\r\n");
    ASSERT_NE(first, std::string::npos);
    const size_t second = text.find("\r\n", first + 2);
    ASSERT_NE(second, std::string::npos);
    EXPECT_EQ(text.substr(second + 2), std::string(kRuleBaseText, kRuleBaseLength));
}

TEST(RuleGalleryTest, TheUsersFilesJoinSortedAndHideAShippedOneOfTheSameName) {
    TempFolder folder;
    ASSERT_FALSE(folder.path.empty());
    WriteText(folder.File("zeta.clp"), ";; name: mine\n;; about: my own\n(deffacts x)\n");
    WriteText(folder.File("alpha.clp"), "(deffacts no-header)\n");
    WriteText(folder.File("thrifty.clp"), ";; name: thrifty\n;; about: edited copy\n");
    WriteText(folder.File("notes.txt"), ";; name: not-a-rule-base\n");
    WriteText(folder.File(".hidden.clp"), ";; name: hidden\n");
    WriteText(folder.File("bad name.clp"), "(deffacts x)\n");
    WriteText(folder.File("zz-twice.clp"), ";; name: mine\n");
    ASSERT_EQ(mkdir(folder.File("folder.clp").c_str(), 0700), 0);
    ASSERT_EQ(mkfifo(folder.File("pipe.clp").c_str(), 0600), 0);

    const RuleGallery gallery = RuleGallery::Load(folder.path, "");
    EXPECT_EQ(Names(gallery), (std::vector<std::string>{"default", "thrifty", "boom", "forager",
                                                        "alpha", "thrifty", "mine"}));
    EXPECT_TRUE(gallery.Entries()[1].hidden);
    const RuleBaseEntry* thrifty = gallery.Find("thrifty");
    ASSERT_NE(thrifty, nullptr);
    EXPECT_EQ(thrifty->origin, RuleBaseOrigin::UserFolder);
    EXPECT_EQ(thrifty->path, folder.File("thrifty.clp"));
    EXPECT_EQ(thrifty->about, "edited copy");
    ASSERT_NE(gallery.Find("alpha"), nullptr);
    EXPECT_EQ(gallery.Find("alpha")->about, "");
    EXPECT_EQ(gallery.Find("mine")->path, folder.File("zeta.clp")) << "the first file keeps it";
    EXPECT_EQ(gallery.Find("not-a-rule-base"), nullptr);
    EXPECT_EQ(gallery.Find("hidden"), nullptr);
    EXPECT_EQ(gallery.Selectable().size(), 6u);

    // Every file that could not join is named with its reason.
    const std::string listing = FormatRuleGallery(gallery);
    for (const char* expected :
         {"bad name.clp: no usable name", "folder.clp: is a directory", "pipe.clp: is a FIFO",
          "zz-twice.clp: the name \"mine\" is taken by", "yours of the same name is used instead",
          "(no about line)"}) {
        EXPECT_NE(listing.find(expected), std::string::npos) << expected << "\n" << listing;
    }
    EXPECT_EQ(gallery.Problems().size(), 4u) << listing;
}

TEST(RuleGalleryTest, AMissingUserFolderLeavesTheShippedOnesAndTheInstalledCopiesAreNamed) {
    TempFolder data;
    ASSERT_EQ(mkdir(data.File("rules").c_str(), 0700), 0);
    WriteText(data.File("rules/boom.clp"), "copy");
    const RuleGallery gallery = RuleGallery::Load(data.File("no-such-folder"), data.path);
    EXPECT_EQ(gallery.Entries().size(), kShippedRuleBaseCount);
    EXPECT_TRUE(gallery.Problems().empty());
    EXPECT_EQ(gallery.Find("boom")->installedCopy, data.File("rules/boom.clp"));
    EXPECT_EQ(gallery.Find("thrifty")->installedCopy, "");
    EXPECT_NE(FormatRuleGallery(gallery).find("built in, a copy in " + data.File("rules/boom.clp")),
              std::string::npos);
}

TEST(RuleGalleryTest, ChoosesByNameOrByFile) {
    TempFolder folder;
    WriteText(folder.File("own.clp"), ";; name: own-name\n;; about: in a file\n");
    WriteText(folder.File("plain"), "(deffacts x)\n");
    WriteText(folder.File("Rules.clp"), std::string(kRuleBaseText, kRuleBaseLength));
    const RuleGallery gallery = RuleGallery::Load("", "");

    struct Case {
        std::string argument;
        bool ok;
        RuleBaseOrigin origin;
        std::string name;
    };
    const Case cases[] = {
        {"boom", true, RuleBaseOrigin::Shipped, "boom"},
        {folder.File("own.clp"), true, RuleBaseOrigin::File, "own-name"},
        {folder.File("plain"), true, RuleBaseOrigin::File, "plain"},
        {folder.File("Rules.clp"), true, RuleBaseOrigin::File, "default"},
        // A file that is not there is still a file: its load says so.
        {"missing.clp", true, RuleBaseOrigin::File, "missing"},
        {"./boom", true, RuleBaseOrigin::File, "boom"},
        {"nosuch", false, RuleBaseOrigin::Shipped, ""},
        {"", false, RuleBaseOrigin::Shipped, ""},
    };
    for (const Case& c : cases) {
        RuleBaseEntry choice;
        std::string error;
        ASSERT_EQ(ChooseRuleBase(gallery, c.argument, choice, error), c.ok) << c.argument;
        if (!c.ok) {
            EXPECT_FALSE(error.empty());
            continue;
        }
        EXPECT_EQ(choice.origin, c.origin) << c.argument;
        EXPECT_EQ(choice.name, c.name) << c.argument;
        if (c.origin == RuleBaseOrigin::File) {
            EXPECT_EQ(choice.path, c.argument);
        }
    }
    RuleBaseEntry choice;
    std::string error;
    ASSERT_TRUE(ChooseRuleBase(gallery, folder.File("own.clp"), choice, error));
    EXPECT_EQ(choice.about, "in a file");
    ASSERT_FALSE(ChooseRuleBase(gallery, "nosuch", choice, error));
    EXPECT_NE(error.find("--list-rules"), std::string::npos) << error;
}

TEST(RuleGalleryTest, NamesAreWordsThatFitACommandLineACsvCellAndAFileName) {
    for (const char* good : {"a", "thrifty", "Boom-2", "my_rules"}) {
        EXPECT_TRUE(IsRuleBaseName(good)) << good;
    }
    for (const char* bad : {"", "two words", "a,b", "a/b", "x.clp", "\"q\"", "caf\xC3\xA9"}) {
        EXPECT_FALSE(IsRuleBaseName(bad)) << bad;
    }
}

}  // namespace

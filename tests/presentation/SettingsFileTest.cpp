// The settings file: byte-exact records, the default record, look-ups and the
// tolerant reading of files written by hand. Each test works in a temporary
// folder of its own.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include <unistd.h>

#include "presentation/SettingsFile.h"

namespace {

const std::string kDefaultRecord = "TextureName = \\Kestrin\\Vantrel\\texture\\texture.bmp\r\n";

class SettingsFileTest : public testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "settings_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder = pattern;
        path = folder + "/Marrowick.ini";
    }
    void TearDown() override {
        std::remove(path.c_str());
        rmdir(folder.c_str());
    }

    void Write(const std::string& bytes) {
        std::ofstream out(path, std::ios::binary);
        out << bytes;
    }
    std::string Read() const {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    std::string folder;
    std::string path;
};

struct WarningLog {
    int count = 0;
    std::string text;
    static void Record(void* context, const char* text) {
        auto* log = static_cast<WarningLog*>(context);
        ++log->count;
        log->text = text;
    }
};

}  // namespace

TEST_F(SettingsFileTest, MissingFileGetsExactlyTheDefaultRecord) {
    WarningLog log;
    {
        SettingsFile settings(path.c_str(), {&WarningLog::Record, &log});
        EXPECT_TRUE(settings.Usable());
        std::string value;
        ASSERT_TRUE(settings.GetValue("TextureName", value));
        EXPECT_EQ(value, "\\Kestrin\\Vantrel\\texture\\texture.bmp");
    }
    EXPECT_EQ(log.count, 0);
    EXPECT_EQ(kDefaultRecord.size(), 52u);
    EXPECT_EQ(Read(), kDefaultRecord);

    // Opening it again finds the key and changes nothing.
    { SettingsFile again(path.c_str()); }
    EXPECT_EQ(Read(), kDefaultRecord);
}

TEST_F(SettingsFileTest, FileWithoutTheKeyKeepsItsRecordsAndGainsTheDefault) {
    Write("Colour = blue\r\nSize = 3\r\n");
    {
        SettingsFile settings(path.c_str());
        std::string value;
        EXPECT_TRUE(settings.GetValue("Colour", value));
        EXPECT_EQ(value, "blue");
        EXPECT_TRUE(settings.GetValue("TextureName", value));
    }
    EXPECT_EQ(Read(), "Colour = blue\r\nSize = 3\r\n" + kDefaultRecord);
}

TEST_F(SettingsFileTest, LastLineWithoutBreakIsNotMergedWithTheAppendedRecord) {
    Write("Colour = blue");
    { SettingsFile settings(path.c_str()); }
    EXPECT_EQ(Read(), "Colour = blue\r\n" + kDefaultRecord);
    SettingsFile settings(path.c_str());
    std::string value;
    EXPECT_TRUE(settings.GetValue("Colour", value));
    EXPECT_EQ(value, "blue");
}

TEST_F(SettingsFileTest, UnderscoresReadBackAsSpaces) {
    Write("TextureName = C:\\My_Pictures\\ant_skin.bmp\r\n");
    SettingsFile settings(path.c_str());
    std::string value;
    ASSERT_TRUE(settings.GetValue("TextureName", value));
    EXPECT_EQ(value, "C:\\My Pictures\\ant skin.bmp");
}

TEST_F(SettingsFileTest, AddValueAppendsNewKeysOnly) {
    SettingsFile settings(path.c_str());
    EXPECT_FALSE(settings.AddValue("TextureName", "other.bmp"));
    EXPECT_EQ(Read(), kDefaultRecord);

    EXPECT_TRUE(settings.AddValue("Speed", "fast_and_loud"));
    EXPECT_EQ(Read(), kDefaultRecord + "Speed = fast_and_loud\r\n");
    std::string value;
    ASSERT_TRUE(settings.GetValue("Speed", value));
    EXPECT_EQ(value, "fast and loud");
    EXPECT_FALSE(settings.GetValue("speed", value));  // keys are case-sensitive

    // Records that could not be read back are refused.
    EXPECT_FALSE(settings.AddValue("Two words", "x"));
    EXPECT_FALSE(settings.AddValue("Key", "a b"));
    EXPECT_FALSE(settings.AddValue("Key", "line\r\nbreak"));
    EXPECT_FALSE(settings.AddValue("", "x"));
    EXPECT_FALSE(settings.AddValue("Key", ""));
    EXPECT_EQ(Read(), kDefaultRecord + "Speed = fast_and_loud\r\n");
}

TEST_F(SettingsFileTest, UncreatableFileWarnsOnceAndAnswersNothing) {
    const std::string missing = folder + "/no_such_folder/Marrowick.ini";
    WarningLog log;
    SettingsFile settings(missing.c_str(), {&WarningLog::Record, &log});
    EXPECT_FALSE(settings.Usable());
    EXPECT_EQ(log.count, 1);
    EXPECT_EQ(log.text,
              "Warning, INI file Creation Error\nMarrowick probably located in a read only "
              "area\nUser settings will not be saved\n");
    std::string value = "unchanged";
    EXPECT_FALSE(settings.GetValue("TextureName", value));
    EXPECT_EQ(value, "unchanged");
    EXPECT_FALSE(settings.AddValue("Key", "value"));
    EXPECT_EQ(log.count, 1);
}

// Hand-written files: each is read without harm; the TextureName look-up
// finds the expected value, or nothing (and then the default is appended).
TEST_F(SettingsFileTest, HandWrittenFilesAreReadSafely) {
    const std::string longKey(100, 'k');
    const std::string longValue(150, 'v');
    const std::string overlong(SettingsFile::kLineCapacity + 10, 'x');
    struct Case {
        const char* what;
        std::string bytes;
        std::string expected;  // empty: not found, the default is appended
    };
    const Case cases[] = {
        {"line feeds only", "A = 1\nTextureName = lf.bmp\n", "lf.bmp"},
        {"blank lines", "\r\n\r\n\n  \r\nTextureName = blank.bmp\r\n\r\n", "blank.bmp"},
        {"other spacing", "  TextureName \t=   spaced.bmp   trailing words\r\n", "spaced.bmp"},
        {"no spaces around =", "TextureName=tight.bmp\r\n", ""},
        {"no value", "TextureName = \r\n", ""},
        {"no equals sign", "TextureName tex.bmp\r\n", ""},
        {"different case", "texturename = case.bmp\r\n", ""},
        {"record after 1000 bytes",
         std::string(1200, '#') + "\r\nTextureName = far.bmp\r\n", "far.bmp"},
        {"long key and value",
         longKey + " = " + longValue + "\r\nTextureName = " + longValue + "\r\n",
         longValue},
        {"overlong line skipped whole",
         "TextureName = " + overlong + "\r\nTextureName = after.bmp\r\n", "after.bmp"},
        {"binary bytes", std::string("\0\x01\xff = \x7f\r\n", 9) + "TextureName = bin.bmp",
         "bin.bmp"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Write(c.bytes);
        SettingsFile settings(path.c_str());
        std::string value;
        ASSERT_TRUE(settings.GetValue("TextureName", value));
        if (!c.expected.empty()) {
            EXPECT_EQ(value, c.expected);
            EXPECT_EQ(Read(), c.bytes);  // a file that has the key is left alone
        } else {
            EXPECT_EQ(value, "\\Kestrin\\Vantrel\\texture\\texture.bmp");
            const std::string bytes = Read();
            ASSERT_GE(bytes.size(), kDefaultRecord.size());
            EXPECT_EQ(bytes.substr(bytes.size() - kDefaultRecord.size()), kDefaultRecord);
            EXPECT_EQ(bytes.substr(0, c.bytes.size()), c.bytes);
        }
        std::remove(path.c_str());
    }

    Write(longKey + " = " + longValue + "\r\n");
    SettingsFile settings(path.c_str());
    std::string value;
    ASSERT_TRUE(settings.GetValue(longKey.c_str(), value));
    EXPECT_EQ(value, longValue);
}

// The user's copy that may not be written, and no file at all (a read-only
// home): the values are read, the default texture is answered when missing,
// and nothing is ever written or made.
TEST_F(SettingsFileTest, ReadOnlyAccessReadsAndNeverWrites) {
    const std::string stored = "Colour = blue\r\n";
    Write(stored);
    WarningLog log;
    SettingsFile settings(path.c_str(), {&WarningLog::Record, &log}, SettingsAccess::ReadOnly);
    EXPECT_TRUE(settings.Usable());
    EXPECT_EQ(settings.Access(), SettingsAccess::ReadOnly);
    std::string value;
    ASSERT_TRUE(settings.GetValue("Colour", value));
    EXPECT_EQ(value, "blue");
    ASSERT_TRUE(settings.GetValue("TextureName", value));  // not stored: the default
    EXPECT_EQ(value, SettingsFile::kDefaultTexture);
    EXPECT_FALSE(settings.AddValue("Speed", "fast"));
    settings.CreateDefault();
    EXPECT_EQ(Read(), stored);
    EXPECT_EQ(log.count, 0);

    // A stored texture wins over the default.
    Write("TextureName = /home/me/skin.png\r\n");
    SettingsFile mine(path.c_str(), {}, SettingsAccess::ReadOnly);
    ASSERT_TRUE(mine.GetValue("TextureName", value));
    EXPECT_EQ(value, "/home/me/skin.png");
}

TEST_F(SettingsFileTest, DefaultsOnlyWarnsOnceAndAnswersTheDefaultRecord) {
    for (SettingsAccess mode : {SettingsAccess::DefaultsOnly, SettingsAccess::ReadOnly}) {
        // ReadOnly on a file that is gone falls back to the defaults.
        WarningLog log;
        SettingsFile settings(path.c_str(), {&WarningLog::Record, &log}, mode);
        EXPECT_TRUE(settings.Usable());
        EXPECT_EQ(settings.Access(), SettingsAccess::DefaultsOnly);
        EXPECT_EQ(log.count, 1);
        EXPECT_EQ(log.text, SettingsFile::kCreationWarning);
        std::string value;
        ASSERT_TRUE(settings.GetValue("TextureName", value));
        EXPECT_EQ(value, SettingsFile::kDefaultTexture);
        EXPECT_FALSE(settings.GetValue("Colour", value));
        EXPECT_FALSE(settings.AddValue("Colour", "blue"));
        settings.CreateDefault();
        EXPECT_NE(::access(path.c_str(), F_OK), 0) << "a file was made";
        EXPECT_EQ(log.count, 1);
    }
}

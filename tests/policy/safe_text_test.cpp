// What a rule base's text may do once it leaves the engine: its encoding
// checked before it loads, its control characters escaped before a person
// sees them, and the engine's messages bounded on standard error.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "policy/MessageGate.h"
#include "policy/RuleBaseCheck.h"
#include "policy/SafeText.h"

namespace {

TEST(SafeText, ControlsAreEscapedAndTextStays) {
    const struct {
        std::string in;
        std::string kept;     // line breaks kept
        std::string oneLine;  // line breaks escaped too
    } cases[] = {
        {"plain text", "plain text", "plain text"},
        {"\x1b]0;title\a", "\\e]0;title^G", "\\e]0;title^G"},
        {"clear\x1b[2J", "clear\\e[2J", "clear\\e[2J"},
        {"a\nb\tc\r", "a\nb\tc^M", "a^Jb^Ic^M"},
        {std::string("nul\0", 4) + "del\x7f", "nul^@del^?", "nul^@del^?"},
        {"\xc2\x9b" "31m", "\\u009b31m", "\\u009b31m"},                     // the C1 CSI
        {"caf\xc3\xa9 \xf0\x9f\x90\x9c", "caf\xc3\xa9 \xf0\x9f\x90\x9c",   // UTF-8 stays
         "caf\xc3\xa9 \xf0\x9f\x90\x9c"},
        {"caf\xe9", "caf\\xE9", "caf\\xE9"},                                 // Latin-1
        {"\xc0\x80", "\\xC0\\x80", "\\xC0\\x80"},                            // overlong NUL
        {"\xed\xa0\x80", "\\xED\\xA0\\x80", "\\xED\\xA0\\x80"},              // a surrogate
        {"cut \xe2\x82", "cut \\xE2\\x82", "cut \\xE2\\x82"},                // cut short
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kept);
        EXPECT_EQ(Escaped(c.in.data(), c.in.size()), c.kept);
        EXPECT_EQ(Escaped(c.in.data(), c.in.size(), false), c.oneLine);
    }
    // Into a buffer: cut before a character or an escape that does not fit.
    char buffer[8];
    EscapeInto(buffer, sizeof buffer, "ab\x1b[cd", 6);
    EXPECT_STREQ(buffer, "ab\\e[cd");
    EscapeInto(buffer, sizeof buffer, "abcdef\x1b", 7);
    EXPECT_STREQ(buffer, "abcdef");
    EscapeInto(buffer, sizeof buffer, "abcde\xc3\xa9\xc3\xa9", 9);
    EXPECT_STREQ(buffer, "abcde\xc3\xa9");
}

TEST(RuleBaseText, OnlyUtf8TextLoadsAndAFaultHasItsLine) {
    const struct {
        std::string text;
        bool ok;
        size_t skip;
        int32_t line;
        const char* message;
    } cases[] = {
        {"(defrule r (a) => (b))\r\n", true, 0, 0, ""},
        {"; caf\xc3\xa9 \xe2\x86\x92 \xf0\x9f\x90\x9c\n(deffacts f (a))\n", true, 0, 0, ""},
        {"\xef\xbb\xbf(deffacts f (a))\n", true, 3, 0, ""},
        {std::string("\xff\xfe(\0d\0", 6), false, 0, 1, "the file is UTF-16 text; save it as UTF-8"},
        {std::string("\xfe\xff\0(\0d", 6), false, 0, 1, "the file is UTF-16 text; save it as UTF-8"},
        {std::string("(\0d\0e\0", 6), false, 0, 1, "the file is UTF-16 text; save it as UTF-8"},
        {std::string("\xff\xfe\0\0(\0\0\0", 8), false, 0, 1, "the file is UTF-32 text; save it as UTF-8"},
        {std::string("(a)\r\n(b)\r\n\t(c\0)\n", 16), false, 0, 3, "a NUL byte"},
        {std::string("(a)\r(b)\r\0", 9), false, 0, 3, "a NUL byte"},
        {"(a)\n; caf\xe9\n", false, 0, 2, "byte 0xE9 is not UTF-8; save the rule base as UTF-8"},
        {"(a \xc0\x80)\n", false, 0, 1, "byte 0xC0 is not UTF-8"},
        {"(a)\n\n\n(b \xe2\x82", false, 0, 4, "byte 0xE2 is not UTF-8"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Escaped(c.text.data(), c.text.size(), false));
        const RuleBaseTextCheck check = CheckRuleBaseText(c.text.data(), c.text.size());
        EXPECT_EQ(check.ok, c.ok);
        EXPECT_EQ(check.skip, c.skip);
        EXPECT_EQ(check.line, c.line);
        EXPECT_EQ(std::string(check.message).rfind(c.message, 0), 0u) << check.message;
    }
}

// The gate with a clock of the test's own and a file to read back.
class MessageGateTest : public ::testing::Test {
protected:
    static int64_t Now() { return now; }
    // What the gate wrote since the last look (the file stays at its end,
    // where the gate goes on writing).
    std::string Said() {
        std::fflush(out);
        std::fseek(out, seen, SEEK_SET);
        std::string text;
        char buffer[4096];
        size_t n = 0;
        while ((n = std::fread(buffer, 1, sizeof buffer, out)) > 0) text.append(buffer, n);
        seen = std::ftell(out);
        return text;
    }
    void SetUp() override { now = 1000; }
    void TearDown() override { std::fclose(out); }

    static int64_t now;
    std::FILE* out = std::tmpfile();
    long seen = 0;
};
int64_t MessageGateTest::now = 0;

TEST_F(MessageGateTest, EachLineOnceWithItsRepeatsCountedAtTheEndOrEveryMinute) {
    MessageGate gate(out, Now);
    const std::string pass = "\n[ARGACCES5] Function + expected argument #1\n   \n[PRCCODE4] halted \x1b[2J\n";
    for (int i = 0; i < 4; ++i) gate.EngineText(pass.data(), pass.size());
    gate.Line("the rule engine crashed during a pass; the role shares are left unchanged");
    gate.Line("the rule engine crashed during a pass; the role shares are left unchanged");
    gate.Refused("system\nopen\nsystem\n", 19);
    gate.Refused("open\n", 5);
    EXPECT_EQ(Said(),
              "marrowick: rule engine: [ARGACCES5] Function + expected argument #1\n"
              "marrowick: rule engine: [PRCCODE4] halted \\e[2J\n"
              "marrowick: the rule engine crashed during a pass; the role shares are left unchanged\n"
              "marrowick: the rule base called `system`, which the sandbox does not allow\n"
              "marrowick: the rule base called `open`, which the sandbox does not allow\n");
    // A minute on, the next message brings the counts of the last one.
    now += MessageGate::kMinuteMs;
    gate.EngineText("new\n", 4);
    EXPECT_EQ(Said(),
              "marrowick: 3 more times: rule engine: [ARGACCES5] Function + expected argument #1\n"
              "marrowick: 3 more times: rule engine: [PRCCODE4] halted \\e[2J\n"
              "marrowick: 1 more time: the rule engine crashed during a pass; the role shares are "
              "left unchanged\n"
              "marrowick: rule engine: new\n");
    gate.EngineText("new\n", 4);
    gate.Summarise();
    EXPECT_EQ(Said(), "marrowick: 1 more time: rule engine: new\n");
    gate.Summarise();
    EXPECT_EQ(Said(), "");
}

TEST_F(MessageGateTest, AFloodIsHeldBackAtTheBudgetAndCounted) {
    MessageGate gate(out, Now);
    std::string flood;
    for (int i = 0; i < 2000; ++i) flood += "complaint number " + std::to_string(i) + "\n";
    gate.EngineText(flood.data(), flood.size());
    gate.EngineText(flood.data(), flood.size());  // all repeats of what was said, or held back
    std::string said = Said();
    EXPECT_LE(said.size(), MessageGate::kBytesPerMinute + 200);
    EXPECT_NE(said.find("held back and counted\n"), std::string::npos) << said;
    // A long line is cut, never split inside a character.
    now += MessageGate::kMinuteMs;
    std::string longLine(MessageGate::kLineCapacity - 1, 'x');
    longLine += "\xc3\xa9\xc3\xa9\n";
    gate.EngineText(longLine.data(), longLine.size());
    gate.Summarise();
    said = Said();
    EXPECT_NE(said.find(std::string(MessageGate::kLineCapacity - 1, 'x') + "...\n"), std::string::npos)
        << said;
    EXPECT_NE(said.find(" more lines from the rule engine held back\n"), std::string::npos) << said;
    EXPECT_NE(said.find("more repeats of"), std::string::npos) << "the repeats beyond the named few";
}

}  // namespace

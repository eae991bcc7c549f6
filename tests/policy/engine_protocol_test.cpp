// The frames between the expert system and its engine process: what a writer
// cannot fit and what a reader must refuse, since neither end trusts the other.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "policy/EngineProtocol.h"

namespace {

TEST(EngineProtocol, AFrameReadsBackAsWritten) {
    char buffer[128];
    FrameWriter writer(buffer, sizeof buffer, EngineMessage::Pass);
    writer.Word(7);
    writer.Text("high");
    writer.Bytes("a\0b", 3);
    writer.Text("");
    const size_t length = writer.Finish();
    ASSERT_EQ(length, kFrameHeaderSize + 4 + (4 + 4) + (4 + 3) + 4);

    uint32_t kind = 0;
    uint32_t payload = 0;
    ReadFrameHeader(buffer, kind, payload);
    EXPECT_EQ(kind, static_cast<uint32_t>(EngineMessage::Pass));
    EXPECT_EQ(payload, length - kFrameHeaderSize);
    FrameReader reader(buffer + kFrameHeaderSize, payload);
    EXPECT_EQ(reader.Word(), 7u);
    char text[8];
    EXPECT_TRUE(reader.Text(text, sizeof text));
    EXPECT_STREQ(text, "high");
    const char* bytes = nullptr;
    size_t size = 0;
    EXPECT_TRUE(reader.Bytes(bytes, size));
    EXPECT_EQ(std::string(bytes, size), std::string("a\0b", 3));
    EXPECT_TRUE(reader.Text(text, sizeof text));
    EXPECT_STREQ(text, "");
    EXPECT_TRUE(reader.AtEnd());
}

TEST(EngineProtocol, AWriterThatRunsOutOfRoomFinishesNothing) {
    char buffer[16];
    FrameWriter words(buffer, sizeof buffer, EngineMessage::Ready);
    words.Word(1);
    words.Word(2);
    EXPECT_EQ(words.Finish(), 16u) << "exactly full";
    FrameWriter text(buffer, sizeof buffer, EngineMessage::Ready);
    text.Text("12345");  // 4 + 5 bytes after the 8-byte header
    EXPECT_EQ(text.Finish(), 0u);
    FrameWriter tiny(buffer, 4, EngineMessage::Ready);
    EXPECT_EQ(tiny.Finish(), 0u);
}

// Lengths are checked against what is there; text is refused rather than cut.
TEST(EngineProtocol, AReaderRefusesWhatDoesNotAddUp) {
    const struct {
        const char* name;
        std::string payload;
        size_t textCapacity;
    } cases[] = {
        {"length beyond the payload", std::string("\x09\0\0\0abc", 7), 16},
        {"a word cut short", std::string("\x02\0", 2), 16},
        {"text with a NUL inside", std::string("\x03\0\0\0a\0b", 7), 16},
        {"text longer than its buffer", std::string("\x05\0\0\0abcde", 9), 5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FrameReader reader(c.payload.data(), c.payload.size());
        char text[16];
        EXPECT_FALSE(reader.Text(text, c.textCapacity));
        EXPECT_STREQ(text, "");
        EXPECT_FALSE(reader.Ok());
        EXPECT_EQ(reader.Word(), 0u) << "a failed reader yields nothing more";
        EXPECT_FALSE(reader.AtEnd());
    }
}

TEST(EngineProtocol, TemplateReportsTravelWholeAndUnknownSlotKindsAreRefused) {
    TemplateReport sent;
    sent.found = true;
    std::strcpy(sent.module, "POLICY");
    sent.slots[0] = SlotKind::Single;
    sent.slots[1] = SlotKind::Multi;
    sent.slots[2] = SlotKind::Missing;
    sent.slots[3] = SlotKind::Single;
    char buffer[256];
    FrameWriter writer(buffer, sizeof buffer, EngineMessage::Loaded);
    WriteTemplateReport(writer, sent, kColonySlotCount);
    const size_t length = writer.Finish();
    ASSERT_GT(length, 0u);

    FrameReader reader(buffer + kFrameHeaderSize, length - kFrameHeaderSize);
    TemplateReport received;
    ASSERT_TRUE(ReadTemplateReport(reader, received, kColonySlotCount));
    EXPECT_TRUE(reader.AtEnd());
    EXPECT_TRUE(received.found);
    EXPECT_STREQ(received.module, "POLICY");
    for (size_t i = 0; i < kColonySlotCount; ++i) EXPECT_EQ(received.slots[i], sent.slots[i]);

    // A slot kind past Multi.
    std::memset(buffer + length - 4, 9, 1);
    FrameReader bad(buffer + kFrameHeaderSize, length - kFrameHeaderSize);
    EXPECT_FALSE(ReadTemplateReport(bad, received, kColonySlotCount));
}

TEST(EngineProtocol, LoadMessagesTravelWithTheirLinesAndBadCountsAreRefused) {
    LoadDiagnostic sent[2];
    sent[0].line = 38;
    std::strcpy(sent[0].text, "[TMPLTDEF1] Invalid slot\nERROR:\n(defrule ...");
    sent[1].line = 80;
    sent[1].warning = true;
    std::strcpy(sent[1].text, "[CSTRCPSR4] a warning");
    char buffer[1024];
    FrameWriter writer(buffer, sizeof buffer, EngineMessage::Loaded);
    WriteDiagnostics(writer, sent, 2, 5);
    const size_t length = writer.Finish();
    ASSERT_GT(length, 0u);

    LoadDiagnostic received[RuleEngine::kMaxDiagnostics];
    size_t count = 0;
    size_t dropped = 0;
    FrameReader reader(buffer + kFrameHeaderSize, length - kFrameHeaderSize);
    ASSERT_TRUE(ReadDiagnostics(reader, received, RuleEngine::kMaxDiagnostics, count, dropped));
    EXPECT_TRUE(reader.AtEnd());
    ASSERT_EQ(count, 2u);
    EXPECT_EQ(dropped, 5u);
    EXPECT_EQ(received[0].line, 38);
    EXPECT_FALSE(received[0].warning);
    EXPECT_STREQ(received[0].text, sent[0].text);
    EXPECT_EQ(received[1].line, 80);
    EXPECT_TRUE(received[1].warning);

    // More than the reader has room for, a kind past warning, a cut frame.
    struct Case {
        const char* what;
        size_t capacity;
        size_t patchAt;
        uint32_t value;
        size_t cut;
    };
    const size_t firstKind = kFrameHeaderSize + 8 + 4;
    const Case cases[] = {{"room for one", 1, 0, 0, 0},
                          {"warning 7", RuleEngine::kMaxDiagnostics, firstKind, 7, 0},
                          {"cut short", RuleEngine::kMaxDiagnostics, 0, 0, 6}};
    for (const Case& c : cases) {
        char copy[1024];
        std::memcpy(copy, buffer, length);
        if (c.patchAt != 0) std::memcpy(copy + c.patchAt, &c.value, sizeof c.value);
        FrameReader bad(copy + kFrameHeaderSize, length - kFrameHeaderSize - c.cut);
        EXPECT_FALSE(ReadDiagnostics(bad, received, c.capacity, count, dropped)) << c.what;
    }
}

}  // namespace

#include "files/DataFormats.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

using namespace pontvex;

namespace {

std::span<const uint8_t> bytesOf(const std::string& text)
{
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

// A record with its checksum, as a test writes it by hand.
std::string record(const std::string& body)
{
    unsigned sum = 0;
    for (size_t i = 0; i + 1 < body.size(); i += 2)
        sum += static_cast<unsigned>(std::stoul(body.substr(i, 2), nullptr, 16));
    char cs[3];
    std::snprintf(cs, sizeof cs, "%02X", (0x100 - (sum & 0xFF)) & 0xFF);
    return ":" + body + cs;
}

class HexFormat : public ::testing::Test {
protected:
    void SetUp() override { buffer.reset(); }
    DeviceBuffer buffer;
    std::span<uint8_t> image = imageOf(buffer);
};

TEST_F(HexFormat, WriterMakesOneRecordAndTheEndRecordWithoutLineEnd)
{
    for (int i = 0; i < 16; ++i)
        buffer[i] = static_cast<uint8_t>(i);
    std::string out;
    WriteHexRecords(out, image, 0x0F);
    EXPECT_EQ(out, ":10000000000102030405060708090A0B0C0D0E0F78\r\n:00000001FF");

    out.clear();
    WriteHexRecords(out, image, -1);
    EXPECT_EQ(out, ":00000001FF");
}

TEST_F(HexFormat, WriterSplitsInto32ByteRecords)
{
    std::string out;
    WriteHexRecords(out, image, 0x2F);
    const std::string ff32(64, 'F');
    EXPECT_EQ(out, ":20000000" + ff32 + "00\r\n:10002000" + std::string(32, 'F') + "E0\r\n:00000001FF");
}

TEST_F(HexFormat, WriterPutsAnAddressRecordAtEvery64KiBAboveTheFirst)
{
    buffer[0x10000] = 0x12;
    std::string out;
    WriteHexRecords(out, image, 0x1FFFF);
    EXPECT_EQ(out.find(":02000004"), out.find(":020000040001F9\r\n:2000000012FFFF"))
        << "one address record, right before the record of 0x10000";
    EXPECT_EQ(out.find(":020000040001F9"), 2048u * 77);
    EXPECT_EQ(out.size(), 4096u * 77 + 17 + 11);
    EXPECT_TRUE(out.ends_with("\r\n:00000001FF"));
}

TEST_F(HexFormat, RandomImagesReadBackUnchanged)
{
    std::mt19937 random(7);
    std::vector<uint8_t> original(0x100000);
    for (auto& b : original)
        b = static_cast<uint8_t>(random());
    for (const int64_t end : {0x0, 0x1F, 0x20, 0xFFFF, 0x10000, 0x2ABCD, 0xFFFFF}) {
        SCOPED_TRACE(end);
        std::string text;
        WriteHexRecords(text, original, end);
        buffer.reset();
        const HexReadReport report = ReadHexRecords(bytesOf(text), image);
        EXPECT_EQ(report.fault, HexFault::None);
        EXPECT_EQ(report.stop, HexStop::EndRecord);
        EXPECT_EQ(report.last, end);
        EXPECT_TRUE(std::equal(original.begin(), original.begin() + end + 1, buffer.data()));
        if (end < 0xFFFFF) {
            EXPECT_EQ(buffer[static_cast<uint32_t>(end + 1)], 0xFF);
        }
    }
}

TEST_F(HexFormat, RecordCrossingOneMebibyteStopsAfterItsFirstByteAbove)
{
    std::string body = "20FFF000";
    for (int k = 0; k < 32; ++k)
        body += "A5";
    const std::string text =
        record("02000004000F") + "\r\n" + record(body) + "\r\n" + record("0100000077") + "\r\n:00000001FF";
    const HexReadReport report = ReadHexRecords(bytesOf(text), image);
    EXPECT_EQ(report.stop, HexStop::MemoryLimit);
    EXPECT_EQ(report.last, 0x100000);
    EXPECT_EQ(report.stored, 17u);
    EXPECT_EQ(buffer[0x0FFFF0], 0xA5);
    EXPECT_EQ(buffer[0x100000], 0xA5);
    EXPECT_EQ(buffer[0x100001], 0x00);
    EXPECT_TRUE(report.dataLeft);
    EXPECT_EQ(report.firstLeft, 0x100001);
}

TEST_F(HexFormat, ReaderTakesWhatRealToolsWrite)
{
    // Lower-case digits, a segment address, start address records, LF only.
    const std::string text = "\n" + record("02000002F000") + "\n" + record("04000003000000ff") + "\n" +
                             record("0400000500000100") + "\n:03001000aabbccbc\n" + record("0100000077") +
                             "\n:00000001ff\n";
    const HexReadReport report = ReadHexRecords(bytesOf(text), image);
    EXPECT_EQ(report.fault, HexFault::None);
    EXPECT_EQ(report.stop, HexStop::EndRecord);
    EXPECT_EQ(buffer[0xF0010], 0xAA);
    EXPECT_EQ(buffer[0xF0012], 0xCC);
    EXPECT_EQ(buffer[0xF0000], 0x77);
    EXPECT_EQ(report.last, 0xF0012);
}

TEST_F(HexFormat, TextBetweenRecordsIsPassedOver)
{
    // A ":" inside a line does not start a record; a record after a line break does.
    const std::string text = "comment :0100000011EE\r\n" + record("0100050042") + "\r\n:00000001FF";
    const HexReadReport report = ReadHexRecords(bytesOf(text), image);
    EXPECT_EQ(report.fault, HexFault::None);
    EXPECT_EQ(buffer[0], 0xFF);
    EXPECT_EQ(buffer[5], 0x42);
}

struct BadCase {
    const char* name;
    std::string text;
    HexFault fault;
    int line;
};

TEST_F(HexFormat, FaultyRecordEndsReadingAndNamesItsLine)
{
    const std::string good = record("0200000011AA") + "\r\n";
    const BadCase cases[] = {
        {"bad checksum", good + ":0200020022BB00\r\n", HexFault::BadChecksum, 2},
        {"no hex digit", good + good + ":02000200G2BB00\r\n", HexFault::BadDigit, 3},
        {"unknown type", good + record("010000060A") + "\r\n", HexFault::UnknownType, 2},
        {"truncated at end", good + ":02000200", HexFault::Truncated, 2},
        {"count past line end", good + ":10000200AABB\r\n" + good, HexFault::Truncated, 2},
        {"record longer than line says", good + record("0100020033") + "44\r\n", HexFault::ExtraText, 2},
        {"short address record", good + record("010000040F"), HexFault::BadLength, 2},
        {"only text", "hello\r\nworld\r\n", HexFault::NoRecords, 1},
    };
    for (const BadCase& c : cases) {
        SCOPED_TRACE(c.name);
        buffer.reset();
        const HexReadReport report = ReadHexRecords(bytesOf(c.text), image);
        EXPECT_EQ(report.fault, c.fault);
        EXPECT_EQ(report.stop, HexStop::BadRecord);
        EXPECT_EQ(report.line, c.line);
        if (c.fault != HexFault::NoRecords) {
            // The records before the fault stay, the faulty one stores nothing.
            EXPECT_EQ(buffer[0], 0x11);
            EXPECT_EQ(report.last, 1);
            EXPECT_EQ(buffer[2], 0xFF);
        }
    }
}

TEST_F(HexFormat, EndsWithoutEndRecordOrAtCountZero)
{
    const std::string body = record("0100000042");
    HexReadReport report = ReadHexRecords(bytesOf(body), image);
    EXPECT_EQ(report.stop, HexStop::EndOfText);
    EXPECT_EQ(report.fault, HexFault::None);
    EXPECT_EQ(buffer[0], 0x42);

    report = ReadHexRecords(bytesOf(":0000000000\r\n" + record("0100010043")), image);
    EXPECT_EQ(report.stop, HexStop::EndRecord);
    EXPECT_EQ(buffer[1], 0xFF);

    report = ReadHexRecords({}, image);
    EXPECT_EQ(report.fault, HexFault::None);
    EXPECT_EQ(report.last, 0);
}

TEST_F(HexFormat, DataAboveTheBufferIsNeverStored)
{
    // Base 0x08000000, as firmware for a flash at that address has it.
    const std::string text = record("020000040800") + "\r\n" + record("0100000042") + "\r\n:00000001FF";
    const HexReadReport report = ReadHexRecords(bytesOf(text), image);
    EXPECT_EQ(report.stop, HexStop::AddressLimit);
    EXPECT_EQ(report.stored, 0u);
    EXPECT_TRUE(report.dataLeft);

    // A small image stops at its own end.
    uint8_t small[4] = {};
    const HexReadReport part = ReadHexRecords(bytesOf(record("06000200010203040506")), small);
    EXPECT_EQ(part.stop, HexStop::AddressLimit);
    EXPECT_EQ(part.last, 3);
    EXPECT_EQ(small[3], 2);
}

TEST_F(HexFormat, RandomBytesNeverCrashAndSayWhereTheyStopped)
{
    std::mt19937 random(11);
    for (int round = 0; round < 200; ++round) {
        std::string text(1 + random() % 3000, '\0');
        for (auto& c : text)
            c = static_cast<char>(random() % 4 == 0 ? ":\r\n0"[random() % 4] : random());
        const HexReadReport report = ReadHexRecords(bytesOf(text), image);
        EXPECT_LE(report.last, int64_t{DeviceBuffer::kLastAddress});
        if (report.fault != HexFault::None) {
            EXPECT_GE(report.line, 1);
        }
    }
}

} // namespace

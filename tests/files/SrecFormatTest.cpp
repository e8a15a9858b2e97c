#include "files/DataFormats.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

using namespace pontvex;

namespace {

std::span<const uint8_t> bytesOf(const std::string& text)
{
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

// An S-record of type t with its count and checksum, as a test writes it by hand.
std::string srec(char t, const std::string& body)
{
    unsigned count = static_cast<unsigned>(body.size() / 2 + 1);
    unsigned sum = count;
    for (size_t i = 0; i + 1 < body.size(); i += 2)
        sum += static_cast<unsigned>(std::stoul(body.substr(i, 2), nullptr, 16));
    char head[3], cs[3];
    std::snprintf(head, sizeof head, "%02X", count);
    std::snprintf(cs, sizeof cs, "%02X", ~sum & 0xFF);
    return std::string("S") + t + head + body + cs;
}

const std::string kHeader = srec('0', "0000"
                                      "706F6E74766578"); // "pontvex"

class SrecFormat : public ::testing::Test {
protected:
    void SetUp() override { buffer.reset(); }
    DeviceBuffer buffer;
    std::span<uint8_t> image = imageOf(buffer);
};

TEST_F(SrecFormat, WriterGivesHeaderDataCountAndEnd)
{
    for (int i = 0; i < 4; ++i)
        buffer[i] = static_cast<uint8_t>(i + 1);
    std::string out;
    WriteSRecords(out, image, 3);
    EXPECT_EQ(out, kHeader + "\r\n" +
                       srec('1', "0000"
                                 "01020304") +
                       "\r\n" + srec('5', "0001") + "\r\n" + srec('9', "0000"));
    EXPECT_EQ(kHeader, "S00A0000706F6E74766578E1");

    out.clear();
    WriteSRecords(out, image, -1);
    EXPECT_EQ(out, kHeader + "\r\n" + srec('5', "0000") + "\r\n" + srec('9', "0000"));
}

TEST_F(SrecFormat, WriterUsesS2AndS8From64KiBOn)
{
    buffer[0xFFFF] = 0x11;
    buffer[0x10000] = 0x22;
    std::string out;
    WriteSRecords(out, image, 0x1001F);
    // 2048 S1 records below 64 KiB, then one S2.
    EXPECT_NE(out.find("\r\n" + srec('1', "FFE0" + std::string(62, 'F') + "11") + "\r\n"), std::string::npos);
    EXPECT_NE(out.find("\r\n" +
                       srec('2', "010000"
                                 "22" +
                                     std::string(62, 'F')) +
                       "\r\n"),
              std::string::npos);
    EXPECT_NE(out.find("\r\n" + srec('5', "0801") + "\r\n" + srec('8', "000000")), std::string::npos);
    EXPECT_EQ(out.find("S9"), std::string::npos);
    EXPECT_EQ(out.find_first_of("abcdef"), std::string::npos);
}

TEST_F(SrecFormat, RoundTripOfARandomImageAcross64KiB)
{
    std::mt19937 random(42);
    for (uint32_t a = 0; a < 0x18000; ++a)
        buffer[a] = static_cast<uint8_t>(random());
    std::vector<uint8_t> original(buffer.data(), buffer.data() + 0x18000);
    std::string out;
    WriteSRecords(out, image, 0x17FFF);
    std::fill_n(buffer.data(), 0x18000, 0);
    const HexReadReport r = ReadSRecords(bytesOf(out), image);
    EXPECT_EQ(r.fault, HexFault::None);
    EXPECT_EQ(r.stop, HexStop::EndRecord);
    EXPECT_EQ(r.last, 0x17FFF);
    EXPECT_EQ(r.stored, 0x18000u);
    EXPECT_TRUE(std::equal(original.begin(), original.end(), buffer.data()));
}

TEST_F(SrecFormat, ReaderTakesS1S2S3SkipsS0AndStopsAtTheEnd)
{
    const std::string text = kHeader + "\n" +
                             srec('1', "0010"
                                       "AABB") +
                             "\n" +
                             srec('2', "020000"
                                       "CC") +
                             "\n" +
                             srec('3', "00030000"
                                       "DD") +
                             "\n" + srec('5', "0003") + "\n" + srec('7', "00000000") + "\n" +
                             srec('1', "0000"
                                       "EE") +
                             "\n";
    const HexReadReport r = ReadSRecords(bytesOf(text), image);
    EXPECT_EQ(r.fault, HexFault::None);
    EXPECT_EQ(r.stop, HexStop::EndRecord);
    EXPECT_EQ(r.line, 6);
    EXPECT_EQ(buffer[0x10], 0xAA);
    EXPECT_EQ(buffer[0x11], 0xBB);
    EXPECT_EQ(buffer[0x20000], 0xCC);
    EXPECT_EQ(buffer[0x30000], 0xDD);
    EXPECT_EQ(buffer[0], 0xFF) << "nothing after S7 is read";
    EXPECT_EQ(r.last, 0x30000);
    EXPECT_EQ(r.stored, 4u);

    // Lower-case digits, CR LF, no end record.
    buffer.reset();
    const HexReadReport lower = ReadSRecords(bytesOf("s1050000abcd82\r\n"), image);
    EXPECT_EQ(lower.fault, HexFault::None);
    EXPECT_EQ(lower.stop, HexStop::EndOfText);
    EXPECT_EQ(buffer[0], 0xAB);
}

TEST_F(SrecFormat, FaultyRecordsEndReadingOnTheirLine)
{
    const std::string good = srec('1', "0000"
                                       "0102") +
                             "\r\n";
    std::string badSum = srec('1', "0002"
                                   "0304");
    badSum.back() = badSum.back() == '0' ? '1' : '0';
    struct Case {
        const char* what;
        std::string text;
        HexFault fault;
        int line;
    } cases[] = {
        {"bad checksum", good + badSum + "\r\n", HexFault::BadChecksum, 2},
        {"reserved S4", good + good + srec('4', "0000") + "\r\n", HexFault::UnknownType, 3},
        {"no digit after S", good + "SX0300FC\r\n", HexFault::BadDigit, 2},
        {"cut short", good + "S1050000AB\r\n", HexFault::Truncated, 2},
        {"longer than its count",
         good +
             srec('1', "0002"
                       "03") +
             "00\r\n",
         HexFault::ExtraText, 2},
        {"count too small for the address", good + "S1020000FD\r\n", HexFault::BadLength, 2},
        {"S5 count differs", good + good + srec('5', "0003") + "\r\n", HexFault::BadCount, 3},
        {"S6 count differs", good + srec('6', "000002") + "\r\n", HexFault::BadCount, 2},
        {"no record at all", "\r\nhello\r\n", HexFault::NoRecords, 2},
    };
    for (const auto& c : cases) {
        buffer.reset();
        const HexReadReport r = ReadSRecords(bytesOf(c.text), image);
        EXPECT_EQ(r.fault, c.fault) << c.what;
        EXPECT_EQ(r.stop, HexStop::BadRecord) << c.what;
        EXPECT_EQ(r.line, c.line) << c.what;
        if (c.fault != HexFault::NoRecords) {
            EXPECT_EQ(buffer[0], 0x01) << c.what << ": bytes before the faulty record stay";
        }
    }
    // A matching S5 passes.
    EXPECT_EQ(ReadSRecords(bytesOf(good + good + srec('5', "0002")), image).fault, HexFault::None);
}

TEST_F(SrecFormat, StopsAbove1MiBAndAtTheImageEnd)
{
    const std::string text = srec('2', "0FFFFF"
                                       "1122") +
                             "\n" +
                             srec('2', "100010"
                                       "33") +
                             "\n";
    HexReadReport r = ReadSRecords(bytesOf(text), image);
    EXPECT_EQ(r.stop, HexStop::MemoryLimit);
    EXPECT_EQ(r.last, 0x100000);
    EXPECT_TRUE(r.dataLeft);
    EXPECT_EQ(r.firstLeft, 0x100010);

    uint8_t small[16] = {};
    r = ReadSRecords(bytesOf(srec('1', "000E"
                                       "010203")),
                     small);
    EXPECT_EQ(r.stop, HexStop::AddressLimit);
    EXPECT_EQ(r.firstLeft, 0x10);
    EXPECT_EQ(small[15], 0x02);
}

TEST(ContentFormat, FirstNonBlankLineDecides)
{
    const std::string hexLine = ":0400000010111213B6";
    const std::string srecLine = srec('1', "0000"
                                           "0102");
    EXPECT_EQ(DetectContentFormat(bytesOf(hexLine + "\r\n:00000001FF")), ContentFormat::IntelHex);
    EXPECT_EQ(DetectContentFormat(bytesOf("\r\n  \n" + hexLine + "  \n")), ContentFormat::IntelHex);
    EXPECT_EQ(DetectContentFormat(bytesOf(":00000001FF")), ContentFormat::IntelHex);
    EXPECT_EQ(DetectContentFormat(bytesOf(":0400FF0010111213B7")), ContentFormat::IntelHex)
        << "an address above any small image is valid all the same";
    EXPECT_EQ(DetectContentFormat(bytesOf(kHeader + "\n" + srecLine)), ContentFormat::SRecords);
    EXPECT_EQ(DetectContentFormat(bytesOf(srec('9', "0000"))), ContentFormat::SRecords);

    EXPECT_EQ(DetectContentFormat(bytesOf(":0400000010111213B7")), ContentFormat::Binary) << "bad checksum";
    EXPECT_EQ(DetectContentFormat(bytesOf(":04000000101112")), ContentFormat::Binary) << "cut short";
    EXPECT_EQ(DetectContentFormat(bytesOf("Some text\n" + hexLine)), ContentFormat::Binary);
    EXPECT_EQ(DetectContentFormat(bytesOf("S1 is a word\n")), ContentFormat::Binary);
    EXPECT_EQ(DetectContentFormat(bytesOf(std::string("\x02\x00:", 3) + hexLine)), ContentFormat::Binary);
    EXPECT_EQ(DetectContentFormat({}), ContentFormat::Binary);
    EXPECT_EQ(DetectContentFormat(bytesOf(" \r\n\t")), ContentFormat::Binary);
}

} // namespace

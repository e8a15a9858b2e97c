// The JEDEC reader and writer on hand-made fuse files: fields, framing, the
// checks the user is told about, and our own files reading back unchanged.
#include "files/Jedec.h"

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

struct Loaded {
    JedecReadReport report;
    std::vector<uint8_t> map;
    std::string fuses(size_t from, size_t count) const
    {
        return {map.begin() + static_cast<ptrdiff_t>(from),
                map.begin() + static_cast<ptrdiff_t>(from + count)};
    }
};

Loaded load(const std::string& text, size_t mapSize = 8000, int64_t minFuses = kJedecDefaultFuses)
{
    Loaded loaded;
    loaded.map.assign(mapSize, 'x');
    loaded.report = ReadJedecFuses(bytesOf(text), loaded.map, minFuses);
    return loaded;
}

std::vector<uint8_t> randomMap(size_t fuses, unsigned seed)
{
    std::mt19937 random(seed);
    std::vector<uint8_t> map(fuses);
    for (auto& f : map)
        f = (random() & 1) ? '1' : '0';
    return map;
}

} // namespace

TEST(JedecRead, FieldsSetFusesAndDigitsElsewhereNeverTouchTheMap)
{
    // The digit 1 of QF, the 0/1 of a note, of vectors and of the security
    // field must not become fuses; only L fields place them.
    const Loaded l = load("design 101*\nQP24*QF16*\nN note 1111 L0000 1*G1*\nV0001 1010101*\n"
                          "L0004 11 01*\nL0010 1*\nX1*J1 2*\n");
    EXPECT_FALSE(l.report.badField);
    EXPECT_FALSE(l.report.unterminated);
    EXPECT_EQ(l.report.fuseCount, 16);
    EXPECT_EQ(l.report.MapSize, 16);
    EXPECT_EQ(l.report.fuses, 5);
    EXPECT_EQ(l.fuses(0, 16), "0000110100100000");
    // Unnamed fuses take '0' over the default 6000; beyond that the map is untouched.
    EXPECT_EQ(l.map[5999], '0');
    EXPECT_EQ(l.map[6000], 'x');
}

TEST(JedecRead, DefaultStateFillsOnlyUnnamedFusesWhereverFStands)
{
    const Loaded after = load("*QF8*L0002 00*F1*");
    EXPECT_EQ(after.report.defaultFuse, 1);
    EXPECT_EQ(after.fuses(0, 8), "11001111");
    const Loaded before = load("*QF8*F1*L0002 00*");
    EXPECT_EQ(before.fuses(0, 8), "11001111");
    EXPECT_EQ(before.map[5999], '1');
}

TEST(JedecRead, KFieldsGiveFourFusesPerHexDigitLowestFuseFirst)
{
    const Loaded l = load("*QF12*K0000 8 3a*");
    EXPECT_FALSE(l.report.badField);
    EXPECT_EQ(l.fuses(0, 12), "100000111010");
}

TEST(JedecRead, StxEtxFramingAndCrLf)
{
    const std::string text = "junk * L0000 111 *\x02header\r\n*\r\nQF4*\r\nL0000 0101*\r\nC000A*\r\n\x03"
                             "1234 L0000 1111*";
    const Loaded l = load(text);
    EXPECT_EQ(l.fuses(0, 4), "0101");
    EXPECT_TRUE(l.report.hasChecksum);
    EXPECT_EQ(l.report.checksum, 0x000A);
    EXPECT_EQ(l.report.computed, 0x000A);
    EXPECT_FALSE(l.report.checksumWrong());
}

TEST(JedecRead, ChecksumIsTheSumOfEightFuseBytes)
{
    // 10 fuses: byte 0 = fuses 0..7 (bit 0 = fuse 0), byte 1 = fuses 8, 9.
    const Loaded l = load("*QF10*L0 1000000110*C0082*");
    EXPECT_EQ(l.report.computed, 0x81 + 0x01);
    EXPECT_FALSE(l.report.checksumWrong());
    // Only bit 0 of a map byte counts.
    const std::vector<uint8_t> odd{'1', 'a', 0x03, 'b'};
    EXPECT_EQ(JedecFuseChecksum(odd, 4), 0x07);
}

TEST(JedecRead, FaultsAreReportedAndTheMapStaysLoaded)
{
    const Loaded wrongSum = load("*QF4*L0 1111*C0001*");
    EXPECT_TRUE(wrongSum.report.checksumWrong());
    EXPECT_EQ(wrongSum.report.computed, 0x000F);
    EXPECT_EQ(wrongSum.fuses(0, 4), "1111");

    const Loaded cut = load("*QF8*L0 1111\n11");
    EXPECT_TRUE(cut.report.unterminated);
    EXPECT_EQ(cut.fuses(0, 8), "11111100");

    const Loaded none = load("no star at all 1111", 8000, 100);
    EXPECT_TRUE(none.report.noHeader);
    EXPECT_EQ(none.report.MapSize, 0);
    EXPECT_EQ(none.fuses(0, 100), std::string(100, '0'));
    EXPECT_EQ(none.map[100], 'x');

    EXPECT_TRUE(load("*L 11*").report.badField);
    EXPECT_TRUE(load("*L0 1201*").report.badField);
    EXPECT_TRUE(load("*QFabc*").report.badField);
    EXPECT_TRUE(load("*C12345*").report.badField);
    EXPECT_TRUE(load("*F2*").report.badField);
    EXPECT_TRUE(load("*Kz*").report.badField);
}

TEST(JedecRead, AddressesStayInsideTheMap)
{
    const Loaded far = load("*L0000007990 1111111111111111*L99999999999999999999999 1*", 8000);
    EXPECT_TRUE(far.report.outside);
    EXPECT_EQ(far.fuses(7990, 10), std::string(10, '1'));
    EXPECT_EQ(far.report.MapSize, 8000);

    const Loaded count = load("*QF900000*L0 1*", 8000);
    EXPECT_TRUE(count.report.outside);
    EXPECT_EQ(count.report.MapSize, 8000);
}

TEST(JedecWrite, OwnFilesReadBackUnchangedForEveryGeometry)
{
    struct Case {
        const char* device;
        int rowLength;
        int64_t mapSize;
        int64_t fuses;
        const char* line;
    };
    const Case cases[] = {{"GAL16V8", 32, 2240, 2194, "GAL16V8\n"},
                          {"GAL20V8B", 40, 2800, 2706, "GAL20V8\n"},
                          {"22V10", 44, 6072, 5892, ""},
                          {"", 32, 2240, 2240, ""},
                          {"", 7, 50, 50, ""}};
    unsigned seed = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.device);
        const std::vector<uint8_t> map = randomMap(static_cast<size_t>(c.mapSize), seed++);
        const JedecWriteLayout layout = JedecLayoutFor(c.device, c.rowLength, c.mapSize);
        EXPECT_EQ(layout.fuses, c.fuses);
        std::string text;
        WriteJedecFuses(text, map, layout);
        EXPECT_EQ(text.substr(0, 1 + std::string(c.line).size() + 7),
                  std::string("\x02") + c.line + "Zelvo*\n");

        const Loaded back = load(text);
        EXPECT_FALSE(back.report.badField || back.report.unterminated || back.report.noHeader);
        EXPECT_EQ(back.report.MapSize, c.fuses);
        EXPECT_EQ(back.report.fuseCount, c.fuses);
        EXPECT_TRUE(back.report.hasChecksum);
        EXPECT_FALSE(back.report.checksumWrong());
        EXPECT_EQ(back.fuses(0, static_cast<size_t>(c.fuses)),
                  std::string(map.begin(), map.begin() + static_cast<ptrdiff_t>(c.fuses)));
    }
}

TEST(JedecWrite, FramingChecksumsAndLines)
{
    std::vector<uint8_t> map{'1', '0', 'b', '1', '0', '1'}; // 'b' is even: a 0 fuse
    std::string text;
    WriteJedecFuses(text, map, {"", 6, 4});
    const std::string body = "\x02Zelvo*\nQF6*\nF0*\nL0000 \n1001\n01\n*\nC0029*\n\x03";
    ASSERT_EQ(text.substr(0, body.size()), body);
    unsigned sum = 0;
    for (char c : body)
        sum += static_cast<uint8_t>(c);
    char tail[8];
    std::snprintf(tail, sizeof tail, "%04X\n", sum & 0xFFFF);
    EXPECT_EQ(text.substr(body.size()), tail);
    // Fuses past the map are written as 0; every fuse asked for is written.
    std::string longer;
    WriteJedecFuses(longer, std::span<const uint8_t>(map).first(2), {"", 3, 3});
    EXPECT_NE(longer.find("L0000 \n100\n*"), std::string::npos);
}

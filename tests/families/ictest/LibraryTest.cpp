// The library reader's bounds and conversion, and the generator's records.
#include "iclib/LogicLibrary.h"
#include "iclib/LogicTypes.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

using namespace pontvex::iclib;

namespace {

using Vector = std::array<uint8_t, 9>;

void record(std::vector<uint8_t>& lib, int number, const std::vector<Vector>& vectors)
{
    const std::string digits = std::to_string(number);
    for (size_t i = 0; i < 5; ++i)
        lib.push_back(i < digits.size() ? static_cast<uint8_t>(digits[i]) : 0);
    lib.push_back(static_cast<uint8_t>(vectors.size()));
    lib.push_back(0);
    for (const Vector& v : vectors)
        lib.insert(lib.end(), v.begin(), v.end());
}

void close(std::vector<uint8_t>& lib)
{
    lib.push_back('E');
    lib.insert(lib.end(), 6, 0);
}

const Vector kPlain14 = {0x00, 0x00, 0x40, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
const Vector kPlain = {0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
const Vector kRepeat = {0x40, 0x00, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00};

} // namespace

TEST(LibraryReader, ReadsRecordsAndConvertsVectorsToThePortLayout)
{
    std::vector<uint8_t> lib;
    record(lib, 138, {{0x00, 0x00, 0x80, 0x01, 0xF8, 0x55, 0x03, 0x0F, 0xAA}, kPlain, kRepeat});
    record(lib, 7, {});
    record(lib, 4011, {kPlain14});
    close(lib);
    const LibraryResult r = readLogicLibrary(lib);
    ASSERT_TRUE(r.ok) << r.reason;
    ASSERT_EQ(r.library.entries.size(), 3u);
    const LibraryEntry& a = r.library.entries[0];
    EXPECT_EQ(a.number, 138);
    EXPECT_EQ(a.count, 3u);
    EXPECT_EQ(a.position, 7u);
    EXPECT_EQ(a.vccPin, 28);
    // Pins 17..24 lose the pin-20 bit and take pin 25 from the next byte.
    const uint8_t* v = r.library.image.data() + a.position;
    EXPECT_EQ(v[4], (0xF8 & 7) | ((0xF8 >> 1) & 0x78) | 0x80);
    EXPECT_EQ(v[3], 0x00);
    EXPECT_EQ(v[5], 0x55);
    EXPECT_EQ(v[7], (0x0F & 7) | ((0x0F >> 1) & 0x78) | 0x80);
    EXPECT_EQ(v[6], 0x01);
    EXPECT_EQ(v[8], 0xAA);
    // The repeat keeps its count.
    EXPECT_EQ(v[18 + 4], 0x00);
    EXPECT_EQ(v[18 + 5], 0x03);
    // An empty record stands for the next type.
    const LibraryEntry& empty = r.library.entries[1];
    EXPECT_EQ(empty.count, 0u);
    EXPECT_EQ(empty.number, 7);
    EXPECT_EQ(empty.position, r.library.entries[2].position);
    EXPECT_EQ(empty.vccPin, 27);
    EXPECT_EQ(r.library.entries[2].number, 4011);
}

TEST(LibraryReader, PackageBitsLastOneWins)
{
    EXPECT_EQ(packageVccPin(0x00, 0x40), 27);
    EXPECT_EQ(packageVccPin(0x00, 0xC0), 28);
    EXPECT_EQ(packageVccPin(0x01, 0x80), 29);
    EXPECT_EQ(packageVccPin(0x03, 0x00), 30);
    EXPECT_EQ(packageVccPin(0x06, 0x00), 32);
    EXPECT_EQ(packageVccPin(0x0F, 0xC0), 34);
    EXPECT_EQ(packageVccPin(0x00, 0x00), 0);
    const uint8_t header[] = {'1', '2', 'x', '4', 0};
    EXPECT_EQ(headerNumber(header), 12);
}

TEST(LibraryReader, AnEmptyLastRecordHasNoVccPin)
{
    std::vector<uint8_t> lib;
    record(lib, 1, {kPlain14});
    record(lib, 2, {});
    close(lib);
    const LibraryResult r = readLogicLibrary(lib);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.library.entries[1].vccPin, 0);
    EXPECT_EQ(r.library.entries[1].count, 0u);
}

TEST(LibraryReader, RefusesWhatWouldReadOutsideTheImage)
{
    const auto refused = [](const std::vector<uint8_t>& lib, int record) {
        const LibraryResult r = readLogicLibrary(lib);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.record, record) << r.reason;
        EXPECT_FALSE(r.reason.empty());
    };
    {
        std::vector<uint8_t> lib;
        record(lib, 1, {kPlain14});
        refused(lib, 1); // no closing "E"
    }
    {
        std::vector<uint8_t> lib;
        record(lib, 1, {kPlain14});
        record(lib, 2, {kPlain, kPlain});
        lib.resize(lib.size() - 4);
        refused(lib, 1); // truncated vectors
        lib.resize(16 + 3);
        refused(lib, 1); // truncated header
    }
    {
        std::vector<uint8_t> lib;
        record(lib, 1, {kPlain14, kRepeat, kPlain});
        close(lib);
        refused(lib, 0); // a repeat at the second vector
    }
    {
        std::vector<uint8_t> lib;
        record(lib, 1, {kPlain14});
        record(lib, 2, {kPlain, kPlain, kRepeat, kRepeat});
        close(lib);
        refused(lib, 1); // a repeat replaying a repeat
    }
    {
        std::vector<uint8_t> lib;
        for (int i = 0; i < 1001; ++i)
            record(lib, i, {});
        close(lib);
        refused(lib, 1000);
    }
    {
        std::vector<uint8_t> lib;
        record(lib, 1, {kPlain14});
        close(lib);
        lib.resize(30001, 0);
        refused(lib, 0);
    }
    {
        std::vector<uint8_t> lib;
        for (int i = 0; i < 1000; ++i)
            record(lib, i, {});
        close(lib);
        EXPECT_TRUE(readLogicLibrary(lib).ok) << "1000 records are allowed";
    }
}

TEST(LibraryGenerator, The7400RecordHoldsItsFunctionTable)
{
    const std::vector<uint8_t> r = typeRecord(*findLogicType("7400"));
    ASSERT_EQ(r.size(), 7u + 4 * 9);
    const std::vector<uint8_t> header = {'0', 0, 0, 0, 0, 4, 0};
    EXPECT_EQ(std::vector<uint8_t>(r.begin(), r.begin() + 7), header);
    // All inputs low: every output high, and pulled low to show it drives.
    // Socket pins 14..27; inputs on 14, 15, 17, 18, 22, 23, 25, 26, outputs
    // on 16, 19, 21, 24, Vcc on 27.
    const std::vector<uint8_t> first = {0x00, 0x00, 0x40, 0xFC, 0x08, 0x1F, 0xFC, 0x9C, 0x9F};
    EXPECT_EQ(std::vector<uint8_t>(r.begin() + 7, r.begin() + 16), first);
    // All inputs high: every output low, and released.
    const std::vector<uint8_t> last = {0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0x6B, 0x7F};
    EXPECT_EQ(std::vector<uint8_t>(r.end() - 9, r.end()), last);
}

TEST(LibraryGenerator, ThreeStateOutputsThatAreOffArePulledBothWays)
{
    // 74125 gate 1: /OE pin 1 (socket 14), A pin 2 (15), Y pin 3 (16).
    // Steps (A, /OE): 00, 10, 01 (off), 11 (off); each off step twice,
    // pulled low and released.
    const std::vector<ChipVector> v = chipVectors(*findLogicType("74125"));
    ASSERT_EQ(v.size(), 6u);
    EXPECT_EQ(v[1].drive[3], 0) << "driven high, pulled low";
    EXPECT_EQ(v[1].expect[3], 1);
    EXPECT_EQ(v[2].drive[3], 0);
    EXPECT_EQ(v[2].expect[3], 0);
    EXPECT_EQ(v[3].drive[3], 1);
    EXPECT_EQ(v[3].expect[3], 1);
    EXPECT_EQ(v[5].drive[1], 1) << "/OE high";
}

TEST(LibraryGenerator, LibrariesReadBackWithEveryTypeInOrder)
{
    for (Series s : {Series::Ttl74, Series::Cmos40, Series::Cmos45}) {
        const auto bytes = buildLibrary(s);
        const LibraryResult r = readLogicLibrary(bytes);
        ASSERT_TRUE(r.ok) << seriesLibraryName(s) << ": " << r.reason;
        std::vector<int> numbers;
        for (const LogicType& t : logicTypes())
            if (t.series == s)
                numbers.push_back(t.number);
        ASSERT_EQ(r.library.entries.size(), numbers.size() + 3);
        for (size_t i = 0; i < numbers.size(); ++i)
            EXPECT_EQ(r.library.entries[i + 1].number, numbers[i]);
        EXPECT_EQ(r.library.entries.front().vccPin, 27);
    }
}

TEST(LibraryGenerator, SequentialVectorsDoNotDependOnThePowerUpState)
{
    // chipVectors simulates every power-up state and throws when they differ;
    // a table without its reset step must be caught.
    LogicType t = *findLogicType("7474");
    EXPECT_NO_THROW(chipVectors(t));
    t.steps.erase(t.steps.begin());
    t.steps.erase(t.steps.begin());
    EXPECT_THROW(chipVectors(t), std::logic_error);
    // A synchronous clear is known only after its clock: that first step is
    // applied without checking.
    const std::vector<ChipVector> sync = chipVectors(*findLogicType("74163"));
    EXPECT_FALSE(sync[0].check);
    EXPECT_TRUE(sync[1].check);
    const std::vector<uint8_t> record = typeRecord(*findLogicType("74163"));
    EXPECT_EQ(record[7], 0x80);
    EXPECT_EQ(record[7 + 9], 0x00);
    // And data and clock never change in the same step.
    for (const LogicType& type : logicTypes()) {
        const Op op = type.elements.front().op;
        if (op != Op::DffLow && op != Op::DffHigh && op != Op::Counter10 && op != Op::Counter16 &&
            op != Op::DReg && op != Op::DRegOe && op != Op::DLatchOe && op != Op::Shift164 &&
            op != Op::Counter161 && op != Op::Counter163 && op != Op::Decade4017)
            continue;
        for (size_t i = 1; i < type.steps.size(); ++i) {
            int changes = 0;
            for (size_t j = 0; j < type.steps[i].size(); ++j)
                changes += type.steps[i][j] != type.steps[i - 1][j];
            EXPECT_LE(changes, 1) << type.name << " step " << i;
        }
    }
}

TEST(LibraryGenerator, LongCountsUseRepeatVectorsAfterTwoPlainOnes)
{
    const std::vector<uint8_t> record = typeRecord(*findLogicType("4020"));
    const size_t vectors = record[5];
    ASSERT_EQ(record.size(), 7 + vectors * 9);
    long counts = 0;
    int repeats = 0;
    for (size_t i = 3; i < vectors; ++i) {
        const uint8_t* v = record.data() + 7 + i * 9;
        if (v[0] == 0x40) {
            ++repeats;
            counts += v[4] * 256 + v[5];
            // The pair it replays is applied only: a checked one would be
            // read back on every replay.
            EXPECT_EQ(v[-9], 0x80);
            EXPECT_EQ(v[-18], 0x80);
        } else if (!(v[4] & 0x20)) {
            ++counts; // the clock, chip pin 10 at socket pin 22, driven low
        }
    }
    EXPECT_EQ(counts, 1 << 14);
    EXPECT_EQ(repeats, 12);
    EXPECT_TRUE(readLogicLibrary(buildLibrary(Series::Cmos40)).ok);
    // The tester replays the two vectors before a repeat unchecked: one at
    // the start, or one after a step of two vectors (an output that is off),
    // is a fault of the table.
    LogicType early = *findLogicType("4024");
    early.steps.insert(early.steps.begin() + 1, {-5});
    EXPECT_THROW(chipVectors(early), std::logic_error);
    LogicType split = *findLogicType("4094");
    split.steps.insert(split.steps.begin() + split.uncheckedSteps + 1, {-2});
    EXPECT_THROW(chipVectors(split), std::logic_error);
}

TEST(LibraryGenerator, SegmentDecodersDrawTheirDigitsAsTheDatasheetsDo)
{
    // Steps 0..15 show the codes 0..15 with the latch following. Segments
    // a..g: the 4511 draws 6 and 9 without tails, the 4543 with them.
    const auto segments = [](const char* name, int code) {
        const LogicType& t = *findLogicType(name);
        const ChipVector v = chipVectors(t)[static_cast<size_t>(code)];
        std::string s;
        for (int pin : t.elements[0].outs)
            s += v.expect[static_cast<size_t>(pin)] ? '1' : '0';
        return s;
    };
    EXPECT_EQ(segments("4511", 0), "1111110");
    EXPECT_EQ(segments("4511", 4), "0110011");
    EXPECT_EQ(segments("4511", 6), "0011111");
    EXPECT_EQ(segments("4511", 9), "1110011");
    EXPECT_EQ(segments("4511", 12), "0000000");
    EXPECT_EQ(segments("4543", 6), "1011111");
    EXPECT_EQ(segments("4543", 9), "1111011");
    EXPECT_EQ(segments("4543", 7), "1110000");
    EXPECT_EQ(segments("4543", 10), "0000000");
    // The lamp test lights all on the 4511; the phase inverts the 4543's blank.
    EXPECT_EQ(segments("4511", 16), "1111111");
    EXPECT_EQ(segments("4543", 16), "1111111");
}

#include "support/FamilyBench.h"

#include "boxsim/chips/Sram.h"
#include "families/ramtest/TDsRAM.h"

#include <functional>

namespace pontvex::ram_test {
namespace {

std::string mismatch(uint32_t address, uint8_t file, uint8_t chip)
{
    char text[96];
    std::snprintf(text, sizeof text, "%06x:Ошиб! (Файл=%02x,Устр=%02x)", address, file, chip);
    return text;
}

std::string shortText(uint32_t expected, uint32_t chip)
{
    char text[128];
    std::snprintf(text, sizeof text, "地址或数据短路，坏器件!!! %08x!=%08x", expected, chip);
    return text;
}

// What a chip of `size` bytes holds after the pattern test's writes when its
// decoder maps address a to cell(a), and the sum the test then reads.
uint32_t faultySum(uint32_t size, const std::function<uint32_t(uint32_t)>& cell)
{
    std::vector<uint8_t> memory(size, 0);
    int p = 0x5A;
    for (uint32_t a = 0; a < size; ++a) {
        if (++p > 100)
            p = 1;
        memory[cell(a)] = static_cast<uint8_t>(p);
    }
    uint32_t sum = 0;
    for (uint32_t a = 0; a < size; ++a)
        sum += memory[cell(a)];
    return sum;
}

struct Package {
    const char* key;
    int variant;
    const char* name;
};

// One NV-RAM of each package: 24, 28 and 32 pins.
const Package kPackages[] = {{"DSRAM", 1, "DS1220AB"}, {"DSRAM", 4, "DS1230Y"}, {"DSRAM", 6, "DS1245Y"}};

TEST(DsRamRoundTrip, WriteVerifyReadGiveTheImageInEveryPackage)
{
    for (const Package& p : kPackages) {
        SCOPED_TRACE(p.name);
        FamilyBench bench(p.key, p.variant, p.name);
        const auto image = randomBytes(bench.size(), static_cast<uint32_t>(p.variant));
        std::copy(image.begin(), image.end(), bench.buffer().data());
        bench.press("write");
        EXPECT_EQ(bench.w().message(), "OK");
        EXPECT_EQ(bench.w().ErrorFlag(), 0);
        EXPECT_EQ(bench.chipImage(), image);
        bench.press("verify");
        EXPECT_EQ(bench.w().message(), "Срав.ОК!");
        std::fill(bench.buffer().data(), bench.buffer().data() + bench.size(), 0);
        bench.press("read");
        EXPECT_EQ(bench.w().message(), "Счт.ОК!");
        EXPECT_TRUE(std::equal(image.begin(), image.end(), bench.buffer().data()));
        EXPECT_EQ(bench.box->errorReport(), "");
    }
}

TEST(DsRamRoundTrip, NvRamKeepsItsContentsAcrossPowerOffAPlainSramDoesNot)
{
    FamilyBench nv("DSRAM", 2, "DS1225AB");
    const auto image = randomBytes(nv.size(), 9);
    std::copy(image.begin(), image.end(), nv.buffer().data());
    nv.press("write");
    nv.press("verify"); // Vcc went off between the two
    EXPECT_EQ(nv.w().message(), "Срав.ОК!");

    FamilyBench plain("TESTRAM", 2, "HM6264");
    std::copy(image.begin(), image.end(), plain.buffer().data());
    plain.press("write");
    EXPECT_EQ(plain.w().message(), "OK");
    EXPECT_EQ(plain.model<boxsim::Sram>().powerCycles(), 1);
    EXPECT_NE(plain.chipImage(), image);
    plain.press("verify");
    EXPECT_EQ(plain.w().ErrorFlag(), 1);
}

TEST(DsRamRoundTrip, ChipStartAndLengthBoundWriteAndVerify)
{
    FamilyBench bench("DSRAM", 1, "DS1220AB");
    ASSERT_TRUE(bench.chip()->loadImage(std::vector<uint8_t>(bench.size(), 0x00)));
    bench.buffer()[0x10] = 0xA5;
    bench.fields(0x10, 0x100, 0);
    bench.press("write");
    EXPECT_EQ(bench.w().message(), "OK");
    auto expected = std::vector<uint8_t>(bench.size(), 0x00);
    expected[0x100] = 0xA5;
    EXPECT_EQ(bench.chipImage(), expected);

    // Longer than the chip: both stop at its last address.
    std::fill(bench.buffer().data(), bench.buffer().data() + 0x10000, 0x3C);
    bench.fields(0, 0x700, 0xFFFF);
    bench.press("write");
    EXPECT_EQ(bench.w().message(), "OK");
    bench.press("verify");
    EXPECT_EQ(bench.w().message(), "Срав.ОК!");
    expected = bench.chipImage();
    EXPECT_EQ(expected[0x6FF], 0x00);
    EXPECT_EQ(expected[0x700], 0x3C);
    EXPECT_EQ(expected[0x7FF], 0x3C);
    EXPECT_EQ(bench.box->errorReport(), "");
}

TEST(DsRamChecks, VerifyNamesAddressFileByteAndChipByte)
{
    FamilyBench bench("DSRAM", 4, "DS1230Y");
    const auto image = randomBytes(bench.size(), 5);
    ASSERT_TRUE(bench.chip()->loadImage(image));
    std::copy(image.begin(), image.end(), bench.buffer().data());
    bench.buffer()[0x1234] ^= 0x40;
    bench.press("verify");
    EXPECT_EQ(bench.w().message(), mismatch(0x1234, bench.buffer()[0x1234], image[0x1234]));
    EXPECT_EQ(bench.w().ErrorFlag(), 1);
    EXPECT_EQ(bench.w().addressText(), "001234");
}

TEST(DsRamChecks, CheckSumAddsTheWholeChip)
{
    FamilyBench bench("DSRAM", 2, "DS1225AB");
    const auto image = randomBytes(bench.size(), 11);
    ASSERT_TRUE(bench.chip()->loadImage(image));
    uint32_t sum = 0;
    for (uint8_t b : image)
        sum += b;
    bench.press("checksum");
    char text[64];
    std::snprintf(text, sizeof text, "Контрол.сумма  = %08x", sum);
    EXPECT_EQ(bench.w().message(), text);
    EXPECT_EQ(bench.w().ErrorFlag(), 0);
}

// A byte that does not stay written fails the write with where and what.
TEST(DsRamChecks, AFailedReadBackInsideWriteFailsWriteAndAuto)
{
    FamilyBench bench("DSRAM", 4, "DS1230Y");
    bench.model<boxsim::Sram>().addStuckCell({0x300, 0x01, 0x00});
    std::fill(bench.buffer().data(), bench.buffer().data() + bench.size(), 0xFF);
    bench.press("write");
    EXPECT_EQ(bench.w().message(), mismatch(0x300, 0xFF, 0xFE));
    EXPECT_EQ(bench.w().ErrorFlag(), 1);

    bench.w().findAutoStep(Role::Verify)->checked = false;
    bench.press("auto");
    EXPECT_EQ(bench.w().ErrorFlag(), 1);
    EXPECT_NE(bench.w().message(), "Авто ОК!");
    EXPECT_EQ(bench.host.successCount, 0);
}

TEST(DsRamChecks, AutoWritesAndVerifies)
{
    FamilyBench bench("DSRAM", 1, "DS1220AB");
    const auto image = randomBytes(bench.size(), 2);
    std::copy(image.begin(), image.end(), bench.buffer().data());
    bench.press("auto");
    EXPECT_EQ(bench.w().message(), "Авто ОК!");
    EXPECT_EQ(bench.chipImage(), image);
    EXPECT_EQ(bench.host.successCount, 1);
}

TEST(DsRamPattern, ExpectedSumIsThePatternCutAtTheChipSize)
{
    // 91..100, then 1..100 twenty times, then 1..38.
    EXPECT_EQ(TDsRAM::PatternSum(2048), 955u + 20u * 5050u + 741u);
}

TEST(DsRamPattern, AGoodChipPassesPlainOrNonVolatile)
{
    for (const Package& p : {Package{"TESTRAM", 4, "HM62256"}, Package{"DSRAM", 1, "DS1220AB"},
                             Package{"TESTRAM", 5, "62512"}}) {
        SCOPED_TRACE(p.name);
        FamilyBench bench(p.key, p.variant, p.name);
        bench.press("test");
        EXPECT_EQ(bench.w().message(), "测试结果正确！");
        EXPECT_EQ(bench.w().ErrorFlag(), 0);
        EXPECT_EQ(bench.box->errorReport(), "");
    }
}

TEST(DsRamPattern, StuckOrShortedAddressLinesGiveBothSums)
{
    const uint32_t size = 0x8000;
    const uint32_t expected = TDsRAM::PatternSum(size);
    {
        FamilyBench bench("TESTRAM", 4, "HM62256");
        bench.model<boxsim::Sram>().stickAddressLine(3, 0);
        bench.press("test");
        const uint32_t chip = faultySum(size, [](uint32_t a) { return a & ~8u; });
        ASSERT_NE(chip, expected);
        EXPECT_EQ(bench.w().message(), shortText(expected, chip));
        EXPECT_EQ(bench.w().ErrorFlag(), 1);
    }
    {
        FamilyBench bench("TESTRAM", 4, "HM62256");
        bench.model<boxsim::Sram>().stickAddressLine(14, 1);
        bench.press("test");
        const uint32_t chip = faultySum(size, [](uint32_t a) { return a | 0x4000u; });
        EXPECT_EQ(bench.w().message(), shortText(expected, chip));
    }
    {
        FamilyBench bench("TESTRAM", 4, "HM62256");
        bench.model<boxsim::Sram>().shortAddressLines(9, 10);
        bench.press("test");
        const uint32_t chip = faultySum(size, [](uint32_t a) {
            const uint32_t both = (a >> 9) & (a >> 10) & 1u;
            return (a & ~0x600u) | both << 9 | both << 10;
        });
        EXPECT_EQ(bench.w().message(), shortText(expected, chip));
        EXPECT_EQ(bench.w().ErrorFlag(), 1);
    }
}

TEST(DsRamPattern, AStuckDataBitFailsTheReadBack)
{
    FamilyBench bench("DSRAM", 8, "DS1250Y");
    bench.model<boxsim::Sram>().stickDataBit(0, 0);
    bench.press("test");
    EXPECT_EQ(bench.w().message(), "Ош.зап!");
    EXPECT_EQ(bench.w().ErrorFlag(), 1);
}

TEST(DsRamTrace, AddressesGoOutThroughFourLatchesWithTheHighLinesAtOne)
{
    // 2 KB row: A11..A18 at 1, so port 0 and 4 are all ones and port 3 holds A11 and A13.
    EXPECT_EQ(TDsRAM::AddressLatches(0, 0u - 0x800), (std::array<uint8_t, 5>{0xFF, 0x00, 0, 0xC9, 0xFF}));
    // A0 is bit 7 of port 1; A12 and A14 go to ports 0 and 4 both.
    EXPECT_EQ(TDsRAM::AddressLatches(0x5001, 0u - 0x8000),
              (std::array<uint8_t, 5>{0x8F | 0x40 | 0x30, 0x80, 0, 0x81, 0xCC | 0x30 | 0x03}));

    FamilyBench bench("DSRAM", 1, "DS1220AB");
    bench.take();
    bench.fields(0, 0, 1);
    bench.take();
    bench.press("read");
    const std::vector<uint8_t> sent = bench.take();
    const std::vector<uint8_t> loop = {17, 0x00, 19, 0xC9, 16, 0xFF, 20, 0xFF, 105, 107, 3, 147, 3, 147};
    EXPECT_NE(std::search(sent.begin(), sent.end(), loop.begin(), loop.end()), sent.end());
}

TEST(DsRamWindow, SelectionShowsTheRowAndOfflineCommandsAreRefused)
{
    FamilyBench bench("TESTRAM", 8, "HM628512");
    EXPECT_EQ(bench.w().message(), "OK ");
    EXPECT_EQ(bench.w().caption(), "0 to 7ffff");
    EXPECT_EQ(bench.host.endAddress(), 0x7FFFF);
    EXPECT_EQ(bench.w().rowName(3), "W24129 (16Kx8)");
    EXPECT_EQ(bench.w().packageVccPin(), 36);
    ASSERT_NE(bench.w().findButton("test"), nullptr);
    EXPECT_EQ(bench.w().findButton("test")->caption, "Тест");
}

} // namespace
} // namespace pontvex::ram_test

namespace pontvex::ram_test {
namespace {

// Every listed part: the NV-RAMs keep an image written over their low 16 KiB
// and their last block (the top address lines); the plain SRAMs, which lose
// it when Vcc goes off between commands, pass the pattern test.
TEST(DsRamRows, EveryListedPartRoundTripsOrPassesTheTest)
{
    const Package nv[] = {{"DSRAM", 1, "DS1220AB"}, {"DSRAM", 2, "DS1225AB"}, {"DSRAM", 4, "DS1230Y"},
                          {"DSRAM", 6, "DS1245Y"},  {"DSRAM", 7, "DS1249Y"},  {"DSRAM", 8, "DS1250Y"}};
    for (const Package& p : nv) {
        SCOPED_TRACE(p.name);
        FamilyBench bench(p.key, p.variant, p.name);
        const uint32_t size = bench.size();
        ASSERT_EQ(bench.host.endAddress(), size - 1);
        const auto image = randomBytes(size, size);
        std::copy(image.begin(), image.end(), bench.buffer().data());
        for (const uint32_t start : {0u, size - 0x100}) {
            const uint32_t last = std::min<uint32_t>(size - start, 0x4000) - 1;
            bench.fields(start, start, last);
            bench.press("write");
            EXPECT_EQ(bench.w().message(), "OK");
            bench.press("verify");
            EXPECT_EQ(bench.w().message(), "Срав.ОК!");
        }
        const auto chip = bench.chipImage();
        EXPECT_TRUE(
            std::equal(image.begin(), image.begin() + std::min<uint32_t>(size, 0x4000), chip.begin()));
        EXPECT_TRUE(std::equal(image.end() - 0x100, image.end(), chip.end() - 0x100));
        std::fill(bench.buffer().data(), bench.buffer().data() + size, 0);
        bench.fields(0, 0, std::min<uint32_t>(size, 0x4000) - 1);
        bench.press("read");
        EXPECT_TRUE(std::equal(image.begin(), image.begin() + std::min<uint32_t>(size, 0x4000),
                               bench.buffer().data()));
        EXPECT_EQ(bench.box->errorReport(), "");
    }
    const Package plain[] = {{"TESTRAM", 1, "HM6116"},
                             {"TESTRAM", 2, "HM6264"},
                             {"TESTRAM", 3, "W24129A"},
                             {"TESTRAM", 6, "HM628128"},
                             {"TESTRAM", 8, "HM628512"}};
    for (const Package& p : plain) {
        SCOPED_TRACE(p.name);
        FamilyBench bench(p.key, p.variant, p.name);
        bench.press("test");
        EXPECT_EQ(bench.w().message(), "测试结果正确！");
        EXPECT_EQ(bench.box->errorReport(), "");
    }
}

} // namespace
} // namespace pontvex::ram_test

namespace pontvex::ram_test {
namespace {

// One byte at 0x100 of the 2 KB row: the full address with A11..A18 at 1,
// /OE released and /CE pulled low, the data on port 2, one /WE pulse on pin
// 29, and since 0x100 starts a block, a read-back of the data bus.
TEST(DsRamTrace, OneByteAtABlockStartIsWrittenAndReadBack)
{
    FamilyBench bench("DSRAM", 1, "DS1220AB");
    bench.buffer()[0] = 0xA5;
    bench.fields(0, 0x100, 0);
    bench.take();
    bench.press("write");
    EXPECT_EQ(bench.w().message(), "OK");
    const std::vector<uint8_t> sent = bench.take();
    const std::vector<uint8_t> write = {17, 0x00, 19, 0xE9, 16, 0xFF, 20, 0xFF, 59, 105, 18, 0xA5, 108, 60};
    const auto at = std::search(sent.begin(), sent.end(), write.begin(), write.end());
    ASSERT_NE(at, sent.end());
    // Then the read-back (bus mode, /OE low, port 2) and the address step; the
    // data bus is read once and nothing else is written.
    const std::vector<uint8_t> rest(at + static_cast<long>(write.size()), sent.end());
    const auto oe = std::find(rest.begin(), rest.end(), uint8_t{107});
    ASSERT_NE(oe, rest.end());
    ASSERT_NE(oe + 1, rest.end());
    EXPECT_EQ(*(oe + 1), 3);
    EXPECT_EQ(std::count(sent.begin(), sent.end(), uint8_t{18}), 1);
    EXPECT_EQ(std::count(rest.begin(), rest.end(), uint8_t{147}), 1);
    EXPECT_EQ(bench.chipImage()[0x100], 0xA5);
}

} // namespace
} // namespace pontvex::ram_test

// The serial EEPROM windows against their simulated chips: two-wire 24Cxx and
// three-wire 93Cxx in both buffer layouts.

#include "boxsim/LineModel.h"
#include "boxsim/chips/I2cEeprom.h"
#include "boxsim/chips/MicrowireEeprom.h"
#include "support/FamilyBench.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace pontvex {
namespace {

using boxsim::I2cEeprom;
using boxsim::MicrowireEeprom;
using boxsim::millisecondsToUnits;

void fill(FamilyBench& bench, const std::vector<uint8_t>& image)
{
    std::copy(image.begin(), image.end(), bench.buffer().data());
}

void setSpeed(FamilyBench& bench, int item)
{
    OptionGroup* speed = bench.w().findOption("speed");
    ASSERT_NE(speed, nullptr);
    speed->selected = item;
}

bool contains(const std::vector<uint8_t>& bytes, const std::vector<uint8_t>& run)
{
    return std::search(bytes.begin(), bytes.end(), run.begin(), run.end()) != bytes.end();
}

// --- two-wire -----------------------------------------------------------------

TEST(TwoWireEeprom, WriteVerifyReadRoundTripOnEveryAddressingScheme)
{
    struct Case {
        int variant;
        const char* name;
        size_t size;
    };
    for (const Case& c : {Case{1, "AT24C01A", 128}, Case{2, "AT24C02", 256}, Case{5, "AT24C16", 2048},
                          Case{7, "AT24C64", 8192}, Case{11, "X24C01", 128}}) {
        const SCOPED_TRACE(c.name);
        FamilyBench bench("P24", c.variant, c.name);
        EXPECT_EQ(bench.w().caption(), "24c01-24c512");
        const std::vector<uint8_t> image = randomBytes(c.size, static_cast<uint32_t>(c.variant));
        fill(bench, image);
        bench.press("write");
        EXPECT_EQ(bench.w().ErrorFlag(), 0) << bench.w().message();
        EXPECT_EQ(bench.w().message(), "Сравн.ОК!");
        EXPECT_EQ(bench.chipImage(), image);
        std::fill(bench.buffer().data(), bench.buffer().data() + c.size, 0);
        bench.press("read");
        EXPECT_EQ(bench.w().message(), "Счит.ОК!        ");
        EXPECT_TRUE(std::equal(image.begin(), image.end(), bench.buffer().data()));
        bench.press("verify");
        EXPECT_EQ(bench.w().message(), "Сравн.ОК!");
        EXPECT_EQ(bench.w().ErrorFlag(), 0);
    }
}

TEST(TwoWireEeprom, DeviceAndAddressBytesOnTheLine)
{
    // 24C16: address bits 8..10 in the device byte; 24C64: two address bytes
    // under device byte 0xA0; X24C01: the address shifted left, R/W in bit 0.
    // Each is 176 b followed by the acknowledge clock (SDA H, SCL H, SCL L).
    const uint8_t ack[] = {52, 53, 101};
    auto sendByte = [&](uint8_t b) {
        std::vector<uint8_t> out = {176, b};
        out.insert(out.end(), std::begin(ack), std::end(ack));
        return out;
    };
    auto join = [](std::initializer_list<std::vector<uint8_t>> parts) {
        std::vector<uint8_t> out;
        for (const auto& p : parts)
            out.insert(out.end(), p.begin(), p.end());
        return out;
    };
    const std::vector<uint8_t> start = {100, 52, 53, 100, 101};
    {
        FamilyBench bench("P24", 5, "AT24C16");
        std::vector<uint8_t> image(2048, 0);
        image[0x345] = 0x5C;
        fill(bench, image);
        bench.take();
        bench.press("write");
        const std::vector<uint8_t> sent = bench.take();
        EXPECT_TRUE(
            contains(sent, join({start, sendByte(0xA6), sendByte(0x45), sendByte(0x5C), {100, 53, 52}})));
        EXPECT_TRUE(contains(sent, join({start, sendByte(0xA6), sendByte(0x45), start, sendByte(0xA7)})))
            << "random read: dummy write, repeated START, device byte with R/W set";
    }
    {
        FamilyBench bench("P24", 7, "AT24C64");
        std::vector<uint8_t> image(8192, 0);
        image[0x1234] = 0x77;
        fill(bench, image);
        bench.take();
        bench.press("write");
        const std::vector<uint8_t> sent = bench.take();
        EXPECT_TRUE(
            contains(sent, join({start, sendByte(0xA0), sendByte(0x12), sendByte(0x34), sendByte(0x77)})));
    }
    {
        FamilyBench bench("P24", 11, "X24C01");
        std::vector<uint8_t> image(128, 0);
        image[0x41] = 0x99;
        fill(bench, image);
        bench.take();
        bench.press("write");
        const std::vector<uint8_t> sent = bench.take();
        EXPECT_TRUE(contains(sent, join({start, sendByte(0x82), sendByte(0x99), {100, 53, 52}})));
        EXPECT_TRUE(contains(sent, join({start, sendByte(0x83)})));
    }
}

TEST(TwoWireEeprom, TheFastestSpeedLosesBytesOfASlowChipAndTheVerifySaysSo)
{
    FamilyBench bench("P24", 2, "AT24C02");
    bench.model<I2cEeprom>().setWriteCycle(millisecondsToUnits(10.0));
    setSpeed(bench, 0);
    fill(bench, randomBytes(256, 7));
    bench.press("write");
    EXPECT_EQ(bench.w().message(), "校对错误！");
    EXPECT_EQ(bench.w().ErrorFlag(), 1);
    bench.press("verify");
    EXPECT_EQ(bench.w().addressText(), "0001") << "the first byte lands, the second is lost";
    // 10 ms a byte still meets the chip busy at the next START (it comes four
    // commands after the wait); 20 ms programs it.
    setSpeed(bench, 3);
    bench.press("write");
    EXPECT_EQ(bench.w().message(), "校对错误！");
    setSpeed(bench, 4);
    bench.press("write");
    EXPECT_EQ(bench.w().message(), "Сравн.ОК!");
}

TEST(TwoWireEeprom, VerifyFindsTheFirstDifferenceAndRefusesWithoutAFile)
{
    FamilyBench bench("P24", 9, "AT24C256");
    std::vector<uint8_t> image(32768, 0xFF);
    image[0x4321] = 0x00;
    ASSERT_TRUE(bench.model<I2cEeprom>().writeMemory("array", image));
    std::fill(bench.buffer().data(), bench.buffer().data() + 32768, 0xFF);
    bench.press("verify");
    EXPECT_EQ(bench.w().message(), "校对错误！");
    EXPECT_EQ(bench.w().addressText(), "4321");
    EXPECT_EQ(bench.w().ErrorFlag(), 1);

    bench.host.hexView = false;
    bench.press("verify");
    EXPECT_EQ(bench.w().ErrorFlag(), 1);
    bench.press("write");
    ASSERT_EQ(bench.host.script().messages.size(), 2u);
    EXPECT_EQ(bench.host.script().messages[0], "必须打开文件才能执行操作！");
    EXPECT_EQ(bench.host.script().messages[1], "必须打开文件才能执行写操作！");
}

TEST(TwoWireEeprom, AFailedVerifyLeavesTheBusUsableForTheNextWrite)
{
    // The reads queued past the difference end with SDA's latch at 1; the
    // next write must still make its START.
    FamilyBench bench("P24", 2, "AT24C02");
    const std::vector<uint8_t> image = randomBytes(256, 9);
    fill(bench, image);
    bench.press("verify");
    EXPECT_EQ(bench.w().message(), "校对错误！");
    bench.press("write");
    EXPECT_EQ(bench.w().message(), "Сравн.ОК!");
    EXPECT_EQ(bench.chipImage(), image);
}

TEST(TwoWireEeprom, AStuckBitFailsProgramAndVerifyAtItsAddress)
{
    FamilyBench bench("P24", 5, "AT24C16");
    bench.model<I2cEeprom>().addStuckCell({0x123, 0x01, 0x01});
    std::vector<uint8_t> image(2048, 0x00);
    fill(bench, image);
    bench.press("write");
    EXPECT_EQ(bench.w().message(), "校对错误！");
    EXPECT_EQ(bench.w().ErrorFlag(), 1);
    bench.press("verify");
    EXPECT_EQ(bench.w().message(), "校对错误！");
    EXPECT_EQ(bench.w().addressText(), "0123");
}

TEST(TwoWireEeprom, AnEmptySocketFailsTheVerify)
{
    BenchSetup setup;
    setup.seated = false;
    FamilyBench bench("P24", 2, "AT24C02", setup);
    std::fill(bench.buffer().data(), bench.buffer().data() + 256, 0x00);
    bench.press("verify");
    EXPECT_EQ(bench.w().message(), "校对错误！");
    EXPECT_EQ(bench.w().addressText(), "0000");
}

// --- three-wire ---------------------------------------------------------------

TEST(MicrowireEeprom, RoundTripInBothLayouts)
{
    struct Case {
        const char* key;
        int variant;
        const char* name;
        size_t bytes;
    };
    for (const Case& c : {Case{"P93", 1, "93C46", 128}, Case{"P93X16", 4, "CAT93C46", 128},
                          Case{"P93", 7, "CAT93C57", 256}, Case{"P93X16", 6, "CAT93C66", 512}}) {
        const SCOPED_TRACE(c.name);
        FamilyBench bench(c.key, c.variant, c.name);
        EXPECT_EQ(bench.w().caption(), "93c x 8 & x16");
        const std::vector<uint8_t> image = randomBytes(c.bytes, 3);
        fill(bench, image);
        bench.press("write");
        EXPECT_EQ(bench.w().message(), "ОК! ");
        EXPECT_EQ(bench.w().ErrorFlag(), 0);
        EXPECT_EQ(bench.chipImage(), image) << "x16: word n is bytes 2n (low) and 2n + 1";
        bench.press("verify");
        EXPECT_EQ(bench.w().message(), "Сравн.ОК!");
        std::fill(bench.buffer().data(), bench.buffer().data() + c.bytes, 0);
        bench.press("read");
        EXPECT_EQ(bench.w().message(), "Счит.ОК!        ");
        EXPECT_TRUE(std::equal(image.begin(), image.end(), bench.buffer().data()));
    }
}

TEST(MicrowireEeprom, InstructionBitCountsAndOrg)
{
    // EWEN is 5 bits and address bits - 2 zeros: 10 clocks on a 93C46 x8,
    // 14 on a 93C86 x8; every clock is a port-2 write (18, latch), SK H, SK L.
    for (auto [variant, name, clocks] : {std::tuple{1, "93C46", 10}, std::tuple{8, "93C86", 14}}) {
        FamilyBench bench("P93", variant, name);
        bench.model<MicrowireEeprom>().writeMemory("array",
                                                   std::vector<uint8_t>(variant == 1 ? 128 : 2048, 0));
        bench.take();
        bench.press("erase");
        EXPECT_EQ(bench.w().message(), "OK");
        const std::vector<uint8_t> sent = bench.take();
        // EWEN: CS driven low, then 1 0 0 1 1 and zeros.
        std::vector<uint8_t> ewen = {96};
        for (int i = clocks - 1; i >= 0; --i) {
            const bool bit = i >= clocks - 5 ? ((0x13 >> (i - (clocks - 5))) & 1) : false;
            ewen.insert(ewen.end(), {16 + 2, static_cast<uint8_t>(bit ? 0xE5 : 0xE1), 49, 97});
        }
        ewen.push_back(48);
        EXPECT_TRUE(contains(sent, ewen)) << name;
        EXPECT_EQ(bench.chipImage(), std::vector<uint8_t>(variant == 1 ? 128 : 2048, 0xFF));
    }
    // x16 rows hold ORG (bit 4 of the latch) high in every instruction.
    FamilyBench bench("P93X16", 4, "CAT93C46");
    bench.take();
    bench.press("blank");
    const std::vector<uint8_t> sent = bench.take();
    EXPECT_TRUE(contains(sent, {96, 18, 0xF5, 49, 97, 18, 0xF5, 49, 97, 18, 0xF1, 49, 97}));
}

TEST(MicrowireEeprom, BlankAndVerifyFailuresFailTheCommandAndStopAuto)
{
    FamilyBench bench("P93", 1, "93C46");
    std::vector<uint8_t> chip(128, 0xFF);
    chip[5] = 0x12;
    ASSERT_TRUE(bench.model<MicrowireEeprom>().writeMemory("array", chip));
    bench.press("blank");
    EXPECT_EQ(bench.w().message(), "Ошибка!  ");
    EXPECT_EQ(bench.w().ErrorFlag(), 1);
    EXPECT_EQ(bench.w().addressText(), "0005");

    std::fill(bench.buffer().data(), bench.buffer().data() + 128, 0xFF);
    bench.buffer().data()[9] = 0x00;
    chip[5] = 0xFF;
    ASSERT_TRUE(bench.model<MicrowireEeprom>().writeMemory("array", chip));
    bench.press("verify");
    EXPECT_EQ(bench.w().message(), "Ошибка при сравнении!           ");
    EXPECT_EQ(bench.w().addressText(), "0009");
    EXPECT_EQ(bench.w().ErrorFlag(), 1);

    // Auto with only Blank ticked over a written chip: no "Авто ОК!", no count.
    chip[5] = 0x12;
    ASSERT_TRUE(bench.model<MicrowireEeprom>().writeMemory("array", chip));
    for (const char* step : {"AutoErase", "AutoWrite", "AutoVerify"})
        bench.w().findAutoStep(step)->checked = false;
    bench.press("auto");
    EXPECT_EQ(bench.w().message(), "Ошибка!  ");
    EXPECT_EQ(bench.w().ErrorFlag(), 1);
    EXPECT_EQ(bench.host.successCount, 0);
}

TEST(MicrowireEeprom, AStuckHighByteBitStopsAutoAtTheFirstCheckThatSeesIt)
{
    // x16: word 5 is buffer bytes 10 and 11, and its high byte counts. A bit
    // stuck at 0 is caught by the blank check after the erase...
    FamilyBench bench("P93X16", 4, "CAT93C46");
    bench.model<MicrowireEeprom>().addStuckCell({11, 0x80, 0x00});
    fill(bench, std::vector<uint8_t>(128, 0xFF));
    bench.press("auto");
    EXPECT_EQ(bench.w().message(), "Ошибка!  ");
    EXPECT_EQ(bench.w().addressText(), "000a");
    EXPECT_EQ(bench.w().ErrorFlag(), 1);
    // ... and by the verify when the blank check is not ticked.
    bench.w().findAutoStep("AutoBlank")->checked = false;
    bench.press("auto");
    EXPECT_EQ(bench.w().message(), "Ошибка при сравнении!           ");
    EXPECT_EQ(bench.w().addressText(), "000a");
    EXPECT_EQ(bench.host.successCount, 0);
}

TEST(MicrowireEeprom, AutoProgramsAWrittenChipAndCountsIt)
{
    FamilyBench bench("P93", 2, "93C56");
    ASSERT_TRUE(bench.model<MicrowireEeprom>().writeMemory("array", std::vector<uint8_t>(256, 0x00)));
    const std::vector<uint8_t> image = randomBytes(256, 11);
    fill(bench, image);
    bench.press("auto");
    EXPECT_EQ(bench.w().message(), "Авто ОК!");
    EXPECT_EQ(bench.w().ErrorFlag(), 0);
    EXPECT_EQ(bench.host.successCount, 1);
    EXPECT_EQ(bench.chipImage(), image);
}

TEST(MicrowireEeprom, AFailedReadBackAfterProgramIsAFailure)
{
    // An empty socket reads all ones: the read-back of address 0 differs.
    BenchSetup setup;
    setup.seated = false;
    FamilyBench bench("P93", 1, "93C46", setup);
    std::fill(bench.buffer().data(), bench.buffer().data() + 128, 0x5A);
    bench.press("write");
    EXPECT_EQ(bench.w().message(), "Ошибка при сравнении!           ");
    EXPECT_EQ(bench.w().ErrorFlag(), 1);
    bench.press("auto");
    EXPECT_NE(bench.w().message(), "Авто ОК!");
    EXPECT_EQ(bench.host.successCount, 0);
}

TEST(MicrowireEeprom, ASlowChipAtTheFastestSpeedFailsVerify)
{
    FamilyBench bench("P93X16", 4, "CAT93C46");
    bench.model<MicrowireEeprom>().setWriteCycle(millisecondsToUnits(20.0));
    setSpeed(bench, 0);
    fill(bench, randomBytes(128, 5));
    bench.press("write");
    EXPECT_EQ(bench.w().ErrorFlag(), 0) << "address 0 programs";
    bench.press("verify");
    EXPECT_EQ(bench.w().message(), "Ошибка при сравнении!           ");
    EXPECT_EQ(bench.w().addressText(), "0002");
}

TEST(SerialEepromWindows, OfflineCommandsShowTheWindowsOwnText)
{
    for (auto [key, variant, name, text] :
         {std::tuple{"P24", 2, "AT24C02", "Нет устр!"}, std::tuple{"P93", 1, "93C46", "Ош.соедн!"}}) {
        FamilyBench bench(key, variant, name);
        bench.link.goOffline();
        bench.press("read");
        EXPECT_EQ(bench.w().message(), text);
        EXPECT_EQ(bench.w().ErrorFlag(), 1);
    }
}

} // namespace
} // namespace pontvex

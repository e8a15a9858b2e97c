#include "support/FamilyBench.h"

#include "boxsim/chips/PicSerialCore.h"
#include "families/pic/TP16c8x.h"

#include <algorithm>

namespace pontvex::pic_test {

namespace {

using boxsim::PicSerialCore;

// One unit of LinkDelay on the line.
constexpr uint8_t kWait = 30;

std::vector<uint8_t> words(std::initializer_list<uint16_t> list)
{
    std::vector<uint8_t> out;
    for (uint16_t w : list) {
        out.push_back(static_cast<uint8_t>(w));
        out.push_back(static_cast<uint8_t>(w >> 8));
    }
    return out;
}

uint16_t wordAt(const std::vector<uint8_t>& bytes, size_t n)
{
    return static_cast<uint16_t>(bytes[2 * n] | bytes[2 * n + 1] << 8);
}

// An erased image of n words with some words changed.
std::vector<uint8_t> erasedWith(size_t n, std::initializer_list<std::pair<size_t, uint16_t>> changed)
{
    std::vector<uint8_t> image;
    for (size_t i = 0; i < n; ++i) {
        image.push_back(0xFF);
        image.push_back(0x3F);
    }
    for (const auto& [at, w] : changed) {
        image[2 * at] = static_cast<uint8_t>(w);
        image[2 * at + 1] = static_cast<uint8_t>(w >> 8);
    }
    return image;
}

bool contains(const std::vector<uint8_t>& haystack, const std::vector<uint8_t>& needle)
{
    return std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end()) != haystack.end();
}

// --- failures ------------------------------------------------------------------

TEST(PicFailures, BlankStopsAtTheFirstWrittenWordWithItsAddress)
{
    FamilyBench bench("P16C84", 5, "PIC16F84A");
    ASSERT_TRUE(bench.chip()->loadImage(erasedWith(1024, {{0x123, 0x3FFE}, {0x200, 0}})));
    bench.press("blank");
    EXPECT_EQ(bench.w().message(), "Ошибка!  ");
    EXPECT_EQ(bench.w().ErrorFlag(), 1);
    EXPECT_EQ(bench.w().addressText(), "0246");
    EXPECT_EQ(bench.w().progressValue(), 0x246);
}

TEST(PicFailures, BlankChecksTheConfigurationWordFirst)
{
    FamilyBench bench("P16C84", 5, "PIC16F84A");
    const auto config = words({0x3FFB});
    ASSERT_TRUE(bench.chip()->writeMemory("config", config));
    bench.take();
    bench.press("blank");
    EXPECT_EQ(bench.w().message(), "控制字（CONFIG） 不空!");
    EXPECT_EQ(bench.w().ErrorFlag(), 1);
    // Eight configuration-space reads, no program-memory loop after them.
    const auto sent = bench.take();
    EXPECT_EQ(std::count(sent.begin(), sent.end(), uint8_t{169}), 8);
}

TEST(PicFailures, VerifyNamesTheFirstDifferenceAndComparesOnlyFourteenBits)
{
    FamilyBench bench("P16C84", 4, "PIC16F83");
    auto image = erasedWith(512, {{0, 0x2805}, {0x80, 0x1234}});
    ASSERT_TRUE(bench.chip()->loadImage(image));
    // Bits 15..14 of the buffer's high byte are no part of the word.
    image[1] |= 0xC0;
    std::copy(image.begin(), image.end(), bench.buffer().data());
    bench.press("verify");
    EXPECT_EQ(bench.w().message(), "OK");
    EXPECT_EQ(bench.w().ErrorFlag(), 0);

    bench.buffer().data()[0x101] = 0x13;
    bench.press("verify");
    EXPECT_EQ(bench.w().message(), "Ошибка!  ");
    EXPECT_EQ(bench.w().ErrorFlag(), 1);
    EXPECT_EQ(bench.w().addressText(), "0100");
}

// Write has no read-back of its own: a word that will not program and a
// cycle slower than the chosen speed are found by Verify, and the slower
// speeds give the slow chip its time.
TEST(PicFailures, StuckWordAndSlowCycleAreFoundByVerify)
{
    const auto image = erasedWith(1024, {{0x10, 0x0ABC}, {0x3FF, 0x0001}});
    {
        FamilyBench bench("P16C84", 5, "PIC16F84A");
        bench.model<PicSerialCore>().stickWord(0x10);
        std::copy(image.begin(), image.end(), bench.buffer().data());
        bench.press("write");
        EXPECT_EQ(bench.w().message(), "ОК! ");
        bench.press("verify");
        EXPECT_EQ(bench.w().message(), "Ошибка!  ");
        EXPECT_EQ(bench.w().addressText(), "0020");
    }
    FamilyBench bench("P16C84", 5, "PIC16F84A");
    bench.model<PicSerialCore>().setProgramMicros(8000);
    std::copy(image.begin(), image.end(), bench.buffer().data());
    bench.press("write");
    EXPECT_GT(bench.model<PicSerialCore>().refused(), 0);
    bench.press("verify");
    EXPECT_EQ(bench.w().ErrorFlag(), 1);
    // "4 мсек/байт" waits 150 units, some 14 ms a word.
    bench.w().findOption("speed")->selected = 2;
    bench.model<PicSerialCore>().setProgramMicros(8000);
    ASSERT_TRUE(bench.chip()->loadImage(erasedWith(1024, {})));
    bench.press("write");
    bench.press("verify");
    EXPECT_EQ(bench.w().message(), "OK");
}

TEST(PicFailures, WriteWithoutHexViewAsksForAFileAndSendsNothing)
{
    FamilyBench bench("P16C84", 5, "PIC16F84A");
    bench.host.hexView = false;
    bench.take();
    bench.press("write");
    ASSERT_EQ(bench.host.script().messages.size(), 1u);
    EXPECT_EQ(bench.host.script().messages[0], "必须打开文件才能执行写操作！");
    EXPECT_EQ(bench.w().outcome(), Outcome::Refused);
    EXPECT_EQ(bench.model<PicSerialCore>().cycles(), 0);
    const auto sent = bench.take();
    EXPECT_EQ(std::count(sent.begin(), sent.end(), uint8_t{170}), 0);
}

TEST(PicFailures, ProtectedChipReadsZeroUntilEraseAllClearsIt)
{
    FamilyBench bench("P16C84", 10, "PIC16F877");
    ASSERT_TRUE(bench.chip()->loadImage(erasedWith(8192, {{5, 0x1555}})));
    ASSERT_TRUE(bench.chip()->writeMemory("config", words({0x0005})));
    ASSERT_TRUE(bench.model<PicSerialCore>().codeProtected());
    bench.press("read");
    EXPECT_TRUE(
        std::all_of(bench.buffer().data(), bench.buffer().data() + 16384, [](uint8_t b) { return b == 0; }));
    bench.press("blank");
    EXPECT_EQ(bench.w().message(), "控制字（CONFIG） 不空!");
    // The default erase mode is "Все": the clearing sequence, then program memory.
    EXPECT_EQ(bench.w().option("erase-mode"), 3);
    bench.press("erase");
    EXPECT_EQ(bench.w().message(), "ОК! ");
    EXPECT_FALSE(bench.model<PicSerialCore>().codeProtected());
    bench.press("blank");
    EXPECT_EQ(bench.w().message(), "ОК!  ");
}

// --- erase modes -------------------------------------------------------------------

TEST(PicErase, CodeAndDataModesEraseTheirOwnMemory)
{
    FamilyBench bench("P16C84", 5, "PIC16F84A");
    const auto full = [&] {
        ASSERT_TRUE(bench.chip()->loadImage(erasedWith(1024, {{1, 0x0123}})));
        ASSERT_TRUE(bench.chip()->writeMemory("data", std::vector<uint8_t>(64, 0x42)));
    };
    const auto dataErased = [&] {
        const auto data = bench.chip()->readMemory("data");
        return std::all_of(data.begin(), data.end(), [](uint8_t b) { return b == 0xFF; });
    };
    const auto codeErased = [&] { return wordAt(bench.chipImage(), 1) == 0x3FFF; };
    auto& mode = bench.w().findOption("erase-mode")->selected;

    full();
    mode = 0; // "Код"
    bench.press("erase");
    EXPECT_TRUE(codeErased());
    EXPECT_FALSE(dataErased());
    full();
    mode = 1; // "Данные"
    bench.press("erase");
    EXPECT_FALSE(codeErased());
    EXPECT_TRUE(dataErased());
    full();
    mode = 2; // "Код+данные"
    bench.press("erase");
    EXPECT_TRUE(codeErased());
    EXPECT_TRUE(dataErased());
    EXPECT_EQ(bench.w().message(), "ОК! ");
}

// --- configuration -------------------------------------------------------------------

TEST(PicConfig, WriteProgramsIdDigitsAndTheWordOfTheControls)
{
    FamilyBench bench("P16C84", 5, "PIC16F84A");
    auto& w = bench.as<TP16c8x>();
    ASSERT_TRUE(w.editValue("id", "1234"));
    ASSERT_TRUE(w.setFlag("sec", true));
    EXPECT_EQ(w.message(), "Конфг. = 0005");
    ASSERT_TRUE(w.setFlag("sec", false));
    EXPECT_EQ(w.message(), "Конфг. = 0015");
    bench.press("write-config");
    EXPECT_EQ(w.message(), "OK");
    EXPECT_EQ(w.ErrorFlag(), 0);
    const auto id = bench.chip()->readMemory("id");
    EXPECT_EQ(wordAt(id, 0), 0x01);
    EXPECT_EQ(wordAt(id, 1), 0x12);
    EXPECT_EQ(wordAt(id, 2), 0x23);
    EXPECT_EQ(wordAt(id, 3), 0x34);
    // Bits 13..5 are written 0: on the 16F84A they are code protection too.
    EXPECT_EQ(wordAt(bench.chip()->readMemory("config"), 0), 0x0015);
    EXPECT_TRUE(bench.model<PicSerialCore>().codeProtected());

    // Another setting on screen; reading the chip brings its own back.
    ASSERT_TRUE(w.editValue("id", "ffff"));
    ASSERT_TRUE(w.setFlag("wdt", false));
    w.findOption("osc")->selected = 3;
    bench.press("read-config");
    EXPECT_EQ(w.message(), "Конфг. = 0015");
    EXPECT_EQ(w.ConfigWord, 0x0015);
    EXPECT_EQ(w.IdWord, 0x1234);
    EXPECT_EQ(w.findValue("id")->text, "1234");
    EXPECT_TRUE(w.findFlag("wdt")->checked);
    EXPECT_FALSE(w.findFlag("sec")->checked);
    EXPECT_FALSE(w.findFlag("pwrt")->checked);
    EXPECT_EQ(w.option("osc"), 1);
    EXPECT_TRUE(w.findButton(Role::ReadConfig)->enabled);
}

// The oscillator is part of the word too: choosing it, as the radio buttons
// and --set do, shows the new word at once, and Write programs that word.
TEST(PicConfig, ChoosingTheOscillatorShowsTheNewWord)
{
    FamilyBench bench("P16C84", 5, "PIC16F84A");
    auto& w = bench.as<TP16c8x>();
    ASSERT_TRUE(w.setFlag("sec", true));
    ASSERT_TRUE(w.setFlag("sec", false));
    ASSERT_EQ(w.message(), "Конфг. = 0015"); // XT: FOSC1:FOSC0 = 01
    ASSERT_TRUE(w.selectOption("osc", 3));
    EXPECT_EQ(w.message(), "Конфг. = 0017"); // RC: 11
    EXPECT_EQ(w.ConfigWord, 0x0017);
    ASSERT_TRUE(w.selectOption("Режим Osc", 2)); // HS, the group found by its caption
    EXPECT_EQ(w.message(), "Конфг. = 0016");
    ASSERT_TRUE(w.selectOption("RadioGroup1", 0));
    EXPECT_EQ(w.message(), "Конфг. = 0014"); // LP: 00
    // No such item: nothing changes.
    EXPECT_FALSE(w.selectOption("osc", 4));
    EXPECT_FALSE(w.selectOption("osc", -1));
    EXPECT_EQ(w.option("osc"), 0);
    EXPECT_EQ(w.message(), "Конфг. = 0014");

    bench.press("write-config");
    EXPECT_EQ(w.ErrorFlag(), 0) << w.message();
    EXPECT_EQ(wordAt(bench.chip()->readMemory("config"), 0), 0x0014);
    bench.expectIdle();
}

TEST(PicConfig, TheEepromPartKeepsOnlyItsFiveBits)
{
    FamilyBench bench("P16C84", 2, "PIC16C84");
    auto& w = bench.as<TP16c8x>();
    ASSERT_TRUE(w.setFlag("pwrt", true));
    bench.press("write-config");
    // Bits 13..5 are not there and read 1; PWRTE is active high.
    EXPECT_EQ(wordAt(bench.chip()->readMemory("config"), 0), 0x3FFD);
    EXPECT_FALSE(bench.model<PicSerialCore>().codeProtected());
    bench.press("read-config");
    EXPECT_EQ(w.message(), "Конфг. = 3ffd");
    EXPECT_TRUE(w.findFlag("pwrt")->checked);
}

// --- Auto ---------------------------------------------------------------------------

TEST(PicAuto, WriteAndVerifyCountTheChipAndAFailedVerifyStops)
{
    FamilyBench bench("P16C84", 5, "PIC16F84A");
    const auto image = erasedWith(1024, {{0, 0x2805}, {0x3FF, 0x0777}});
    std::copy(image.begin(), image.end(), bench.buffer().data());
    bench.press("auto");
    EXPECT_EQ(bench.w().message(), "Авто ОК!");
    EXPECT_EQ(bench.host.successCount, 1);
    EXPECT_EQ(bench.chipImage(), image);

    bench.model<PicSerialCore>().stickWord(0x3FF);
    bench.buffer().data()[0x7FE] = 0x55;
    bench.w().findAutoStep(Role::Config)->checked = true;
    bench.press("auto");
    EXPECT_EQ(bench.w().message(), "Ошибка!  ");
    EXPECT_EQ(bench.w().ErrorFlag(), 1);
    EXPECT_EQ(bench.host.successCount, 1);
    // The configuration step after the failed verify did not run.
    EXPECT_EQ(wordAt(bench.chip()->readMemory("config"), 0), 0x3FFF);
}

TEST(PicAuto, AllFiveStepsOnAFullChip)
{
    FamilyBench bench("P16C84", 7, "PIC16F873");
    ASSERT_TRUE(bench.chip()->loadImage(erasedWith(4096, {{9, 0}})));
    ASSERT_TRUE(bench.chip()->writeMemory("config", words({0x0000})));
    for (AutoStep& step : bench.w().autoSteps())
        step.checked = true;
    const auto image = erasedWith(4096, {{1, 0x1111}, {4095, 0x2222}});
    std::copy(image.begin(), image.end(), bench.buffer().data());
    bench.press("auto");
    EXPECT_EQ(bench.w().message(), "Авто ОК!");
    EXPECT_EQ(bench.host.successCount, 1);
    EXPECT_EQ(bench.chipImage(), image);
    // XT, WDT on, protection off; the other bits 0 as the window writes them.
    EXPECT_EQ(wordAt(bench.chip()->readMemory("config"), 0), 0x0015 | 0x0400);
}

// --- byte trace ---------------------------------------------------------------------

// The three box commands carry the chip's command and the frame of a word
// shifted left by one (start bit 0): Write sends Load Data, Begin
// Programming, the wait of the speed and Increment for every word.
TEST(PicTrace, WriteSendsTheWordFramesAndTheSpeedWait)
{
    FamilyBench bench("P16C84", 4, "PIC16F83");
    const auto image = erasedWith(512, {{0, 0x2ABC}, {1, 0x0001}});
    std::copy(image.begin(), image.end(), bench.buffer().data());
    bench.w().findOption("speed")->selected = 1;
    bench.take();
    bench.press("write");
    const auto sent = bench.take();
    std::vector<uint8_t> word0 = {170, 2, 0x78, 0x55, 168, 8};
    word0.insert(word0.end(), 100, kWait);
    word0.insert(word0.end(), {168, 6, 170, 2, 0x02, 0x00, 168, 8});
    EXPECT_TRUE(contains(sent, word0));
    EXPECT_EQ(std::count(sent.begin(), sent.end(), uint8_t{170}), 512);
}

TEST(PicTrace, ReadConfigurationReadsEightWordsFromTheConfigSpace)
{
    FamilyBench bench("P16C84", 5, "PIC16F84A");
    bench.take();
    bench.press("read-config");
    const auto sent = bench.take();
    std::vector<uint8_t> reads = {170, 0, 0xFE, 0x01};
    for (int i = 0; i < 8; ++i)
        reads.insert(reads.end(), {169, 4, 168, 6});
    EXPECT_TRUE(contains(sent, reads));
    EXPECT_EQ(std::count(sent.begin(), sent.end(), uint8_t{169}), 8);
}

TEST(PicTrace, WriteConfigurationProgramsFourIdsAndTheWord)
{
    FamilyBench bench("P16C84", 5, "PIC16F84A");
    ASSERT_TRUE(bench.w().editValue("id", "00a5"));
    bench.take();
    bench.press("write-config");
    const auto sent = bench.take();
    EXPECT_TRUE(contains(sent, {170, 0, 0xFE, 0x1F, 170, 0}));
    // Location 3 gets 0xa5: digit 5 and the digit above it.
    std::vector<uint8_t> ids = {170, 0, 0x4A, 0x01, 168, 6, 168, 6, 168, 6, 168, 8};
    ids.insert(ids.end(), 300, kWait);
    // Location 7: XT, WDT, protection off.
    ids.insert(ids.end(), {170, 0, 0x2A, 0x00, 168, 6});
    EXPECT_TRUE(contains(sent, ids));
}

TEST(PicRows, AVariantPastTheTableSelectsNothing)
{
    FamilyBench bench("P16C84", 5, "PIC16F84A");
    ChipSelection chip;
    chip.AlgorithmKey = "P16C84";
    chip.VariantIndex = 11;
    bench.w().SelectChip(chip);
    EXPECT_EQ(bench.w().ErrorFlag(), 1);
    bench.take();
    bench.press("blank");
    EXPECT_EQ(bench.w().ErrorFlag(), 1);
    const auto sent = bench.take();
    EXPECT_EQ(std::count(sent.begin(), sent.end(), uint8_t{169}), 0);
}

} // namespace
} // namespace pontvex::pic_test

#include "support/FamilyBench.h"

#include "boxsim/chips/Eprom27.h"
#include "families/memory/EpromWindow.h"

namespace pontvex::eprom_test {
namespace {

std::string mismatch(uint32_t address, uint8_t file, uint8_t chip)
{
    char text[96];
    std::snprintf(text, sizeof text, "%06x:Ошиб! (Файл=%02x,Устр=%02x)", address, file, chip);
    return text;
}

std::vector<uint8_t> erasedWith(uint32_t size, uint32_t address, uint8_t value)
{
    std::vector<uint8_t> image(size, 0xFF);
    image[address] = value;
    return image;
}

TEST(EpromFailures, BlankNamesTheFirstAddressOfTheBlockThatIsNotBlank)
{
    FamilyBench bench("P27", 13, "27C256");
    ASSERT_TRUE(bench.chip()->loadImage(erasedWith(bench.size(), 0x1234, 0x7F)));
    bench.press("blank");
    EXPECT_EQ(bench.w().message(), "001200: Ошибка!  ");
    EXPECT_EQ(bench.w().ErrorFlag(), 1);
    bench.expectIdle();
    EXPECT_EQ(bench.box->errorReport(), "");

    ASSERT_TRUE(bench.chip()->loadImage(erasedWith(bench.size(), 0x7FFF, 0xFE)));
    bench.press("blank");
    EXPECT_EQ(bench.w().message(), "007f00: Ошибка!  ");
    bench.expectIdle();
}

TEST(EpromFailures, VerifyNamesChipAddressFileByteAndChipByte)
{
    FamilyBench bench("P27", 13, "27C256");
    const auto image = randomBytes(bench.size(), 3);
    ASSERT_TRUE(bench.chip()->loadImage(image));
    std::copy(image.begin() + 0x40, image.begin() + 0x240, bench.buffer().data() + 0x100);
    bench.fields(0x100, 0x40, 0x1FF);
    bench.press("verify");
    EXPECT_EQ(bench.w().message(), "Срав.ОК!");

    bench.buffer()[0x100 + 0x177] ^= 0x10;
    bench.press("verify");
    EXPECT_EQ(bench.w().message(), mismatch(0x40 + 0x177, bench.buffer()[0x277], image[0x1B7]));
    EXPECT_EQ(bench.w().ErrorFlag(), 1);
    bench.expectIdle();
}

// A cell whose bit 0 stays 1: with "Каждый байт" the write stops at it with the
// failure text of Verify, not the success-looking "ОК!    ".
TEST(EpromFailures, StuckCellStopsWriteWithAddressAndBytes)
{
    FamilyBench bench("P27", 13, "27C256");
    bench.chip()->addStuckCell({0x105, 0x01, 0x01});
    auto image = randomBytes(0x200, 5);
    image[0x105] &= 0xFE;
    std::copy(image.begin(), image.end(), bench.buffer().data());
    bench.fields(0, 0, 0x1FF);
    bench.press("write");
    EXPECT_EQ(bench.w().message(), mismatch(0x105, image[0x105], image[0x105] | 1));
    EXPECT_EQ(bench.w().ErrorFlag(), 1);
    bench.expectIdle();
    EXPECT_EQ(bench.box->errorReport(), "");
    EXPECT_EQ(bench.model<boxsim::Eprom27>().cell(0x104), image[0x104]);
    EXPECT_EQ(bench.model<boxsim::Eprom27>().cell(0x106), 0xFF) << "write went on after the failed byte";
}

TEST(EpromFailures, AllAtOnceLeavesTheStuckCellToVerify)
{
    FamilyBench bench("P27", 13, "27C256");
    bench.chip()->addStuckCell({0x105, 0x01, 0x01});
    auto image = randomBytes(0x200, 5);
    image[0x105] &= 0xFE;
    std::copy(image.begin(), image.end(), bench.buffer().data());
    bench.fields(0, 0, 0x1FF);
    bench.w().findOption("Алгоритм проверки")->selected = 1; // "Все сразу"
    bench.press("write");
    EXPECT_EQ(bench.w().message(), "OK!");
    EXPECT_EQ(bench.w().ErrorFlag(), 0);
    EXPECT_EQ(bench.model<boxsim::Eprom27>().cell(0x1FF), image[0x1FF]);
    bench.press("verify");
    EXPECT_EQ(bench.w().message(), mismatch(0x105, image[0x105], image[0x105] | 1));
}

// Row 18 never compares the read-back byte: only Verify finds the stuck cell.
// The write from an odd ChipStart also checks that A18 (pin 35, released by
// the write set-up) is taken back before the first byte.
TEST(EpromFailures, Row27040NeverReadsBack)
{
    FamilyBench bench("P27", 18, "27C040");
    bench.chip()->addStuckCell({0x40123, 0x80, 0x80});
    auto image = randomBytes(0x200, 9);
    image[0x113] &= 0x7F;
    std::copy(image.begin(), image.end(), bench.buffer().data());
    bench.fields(0, 0x40010, 0x1FF);
    bench.press("write");
    EXPECT_EQ(bench.w().message(), "OK!");
    EXPECT_EQ(bench.w().ErrorFlag(), 0);
    bench.expectIdle();
    EXPECT_EQ(bench.model<boxsim::Eprom27>().cell(0x40010), image[0]);
    EXPECT_EQ(bench.model<boxsim::Eprom27>().cell(0x00010), 0xFF);
    bench.press("verify");
    EXPECT_EQ(bench.w().message(), mismatch(0x40123, image[0x113], image[0x113] | 0x80));

    // The same from ChipStart 0x10: nothing lands in the upper half.
    FamilyBench low("P27", 18, "27C040");
    std::copy(image.begin(), image.end(), low.buffer().data());
    low.fields(0, 0x10, 0x1FF);
    low.press("write");
    EXPECT_EQ(low.model<boxsim::Eprom27>().cell(0x10), image[0]);
    EXPECT_EQ(low.model<boxsim::Eprom27>().cell(0x40010), 0xFF);
}

TEST(EpromFailures, WriteStopsAtTheChipsLastAddress)
{
    FamilyBench bench("P27", 3, "2716");
    const auto image = randomBytes(0x101, 11);
    std::copy(image.begin(), image.end(), bench.buffer().data());
    bench.fields(0, 0x7F0, 0x100);
    bench.press("write");
    EXPECT_EQ(bench.w().message(), "OK!");
    EXPECT_EQ(bench.w().addressText(), "0007ff");
    EXPECT_EQ(bench.model<boxsim::Eprom27>().programPulses(), 16);
    std::vector<uint8_t> expected(0x800, 0xFF);
    std::copy_n(image.begin(), 16, expected.begin() + 0x7F0);
    EXPECT_EQ(bench.chip()->image(), expected);
    bench.expectIdle();
}

TEST(EpromFailures, PulseParameterIsFactorTimesSpeedLimitedTo255)
{
    struct {
        int variant;
        const char* chip;
        int speed;
        int pulse;
    } cases[] = {{20, "M27256", 4, 255}, {20, "M27256", 0, 244}, {13, "27C256", 2, 3}, {3, "2716", 4, 50}};
    for (const auto& c : cases) {
        FamilyBench bench("P27", c.variant, c.chip);
        bench.fields(0, 0, 0);
        bench.w().findOption("speed")->selected = c.speed;
        bench.press("write");
        EXPECT_EQ(bench.box->pulseParameter(), c.pulse) << c.chip << " speed " << c.speed;
        EXPECT_EQ(bench.w().message(), "OK!");
    }
    FamilyBench w27("PW27", 5, "W27E257");
    w27.fields(0, 0, 0);
    w27.press("write");
    EXPECT_EQ(w27.box->pulseParameter(), 1);
}

TEST(EpromFailures, BufferRangePastTheBufferIsRefusedBeforeTheSocket)
{
    FamilyBench bench("P27", 13, "27C256");
    bench.fields(0x7FFF00, 0, 0x1FF);
    bench.take();
    for (const char* command : {"write", "verify"}) {
        bench.press(command);
        EXPECT_EQ(bench.w().message(), "800000: Вне буфера!") << command;
        EXPECT_EQ(bench.w().ErrorFlag(), 1);
        EXPECT_TRUE(bench.take().empty()) << command;
    }
    EXPECT_EQ(bench.model<boxsim::Eprom27>().programPulses(), 0);
    // Up to the last buffer byte is fine.
    bench.fields(0x7FFF00, 0, 0xFF);
    bench.press("verify");
    EXPECT_NE(bench.w().message(), "800000: Вне буфера!");
}

TEST(EpromFailures, RowOutsideTheTableSelectsNothingAndCommandsRefuse)
{
    FamilyBench bench("P27", 22, "27C256", {.model = "27C256"});
    EXPECT_EQ(bench.w().message(), "Нет типа 22 в таблице!");
    EXPECT_EQ(bench.w().ErrorFlag(), 1);
    bench.take();
    for (const char* command : {"read", "write", "verify", "blank", "checksum"}) {
        bench.w().resetOutcome();
        bench.press(command);
        EXPECT_EQ(bench.w().message(), "Нет типа 22 в таблице!") << command;
        EXPECT_EQ(bench.w().ErrorFlag(), 1) << command;
    }
    EXPECT_TRUE(bench.take().empty());
}

TEST(EpromFailures, OfflineCommandsOnlyTellTheConnectionError)
{
    FamilyBench bench("P27", 13, "27C256");
    bench.link.Disconnect();
    for (const char* command : {"read", "write", "verify", "blank", "checksum", "auto"}) {
        bench.w().resetOutcome();
        bench.press(command);
        EXPECT_EQ(bench.w().message(), "Ошб.соед!") << command;
        EXPECT_EQ(bench.w().ErrorFlag(), 1) << command;
    }
    EXPECT_EQ(bench.host.successCount, 0);
}

TEST(EpromFailures, ExitLeavesTheSocketAtRestWithLatchesLow)
{
    FamilyBench bench("P27", 13, "27C256");
    bench.w().show();
    bench.take();
    bench.press("exit");
    EXPECT_FALSE(bench.w().visible());
    const auto sent = bench.take();
    ASSERT_GE(sent.size(), 10u);
    EXPECT_EQ(std::vector<uint8_t>(sent.end() - 10, sent.end()),
              (std::vector<uint8_t>{16, 0, 17, 0, 18, 0, 19, 0, 20, 0}));
    for (int k = 0; k < 5; ++k)
        EXPECT_EQ(bench.box->portLatch(k), 0) << k;
    bench.expectIdle();
}

// --- Auto ---------------------------------------------------------------------

TEST(EpromAuto, BlankWriteVerifyCountsTheChip)
{
    FamilyBench bench("P27", 3, "2716");
    const auto image = randomBytes(0x800, 13);
    std::copy(image.begin(), image.end(), bench.buffer().data());
    bench.fields(0, 0, 0x7FF);
    bench.w().findAutoStep("verify")->checked = true;
    bench.press("auto");
    EXPECT_EQ(bench.w().message(), "Авто ОК!");
    EXPECT_EQ(bench.w().ErrorFlag(), 0);
    EXPECT_EQ(bench.host.successCount, 1);
    EXPECT_EQ(bench.chip()->image(), image);
    bench.expectIdle();
    EXPECT_EQ(bench.box->errorReport(), "");
}

TEST(EpromAuto, ProgrammedChipStopsAtBlankAndIsNotCounted)
{
    FamilyBench bench("P27", 13, "27C256");
    ASSERT_TRUE(bench.chip()->loadImage(erasedWith(bench.size(), 0x2001, 0x00)));
    bench.fields(0, 0, 0x7FFF);
    bench.w().findAutoStep("verify")->checked = true;
    bench.press("auto");
    EXPECT_EQ(bench.w().message(), "002000: Ошибка!  ");
    EXPECT_EQ(bench.w().ErrorFlag(), 1);
    EXPECT_EQ(bench.host.successCount, 0);
    EXPECT_EQ(bench.model<boxsim::Eprom27>().programPulses(), 0);
    bench.expectIdle();
}

TEST(EpromAuto, ElectricallyErasableChipIsErasedFirst)
{
    for (const auto& [key, variant, name] :
         {std::tuple{"PW27", 1, "W27E512"}, std::tuple{"SST27SF", 2, "SST27SF512"}}) {
        FamilyBench bench(key, variant, name);
        ASSERT_TRUE(bench.chip()->loadImage(randomBytes(bench.size(), 17)));
        const auto image = randomBytes(0x300, 19);
        std::copy(image.begin(), image.end(), bench.buffer().data());
        bench.fields(0, 0, 0x2FF);
        ASSERT_EQ(bench.w().autoSteps().front().caption, "Стереть");
        bench.press("auto");
        EXPECT_EQ(bench.w().message(), "Авто ОК!") << name;
        EXPECT_EQ(bench.model<boxsim::Eprom27>().erases(), 1) << name;
        std::vector<uint8_t> expected(bench.size(), 0xFF);
        std::copy(image.begin(), image.end(), expected.begin());
        EXPECT_EQ(bench.chip()->image(), expected) << name;
        EXPECT_EQ(bench.host.successCount, 1);
        bench.expectIdle();
        EXPECT_EQ(bench.box->errorReport(), "") << name;
    }
}

} // namespace
} // namespace pontvex::eprom_test

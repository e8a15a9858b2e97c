#include "support/FamilyBench.h"

#include "boxsim/chips/Mcu51Chip.h"

namespace pontvex::mcu51_test {

namespace {
const std::string kProbeQuestion = "Программатор отсутствует!\n\nПродолжать ?    ";
const std::string kAskIdMismatch = "Не соотв.Код ИД!\nПродлж?";
const std::string kAskNoChip = "Нет микр! Продлж?";

// An AT89C52 bench whose buffer holds a random 8 K image.
struct WriteBench : FamilyBench {
    explicit WriteBench(std::array<uint8_t, 3> expected, const std::string& chip = "AT89C52")
        : FamilyBench("P89C51", 3, "AT89C52", {.expectedSignature = expected, .model = chip})
    {
        image = randomBytes(8192, 21);
        std::copy(image.begin(), image.end(), buffer().data());
    }
    bool chipBlank() const
    {
        auto bytes = box->chip()->image();
        return std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == 0xFF; });
    }
    std::vector<uint8_t> image;
};
} // namespace

TEST(Mcu51Signature, MatchingBytesProgramWithoutAQuestion)
{
    WriteBench bench({0x1E, 0x52, 0xFF});
    bench.host.setEndAddress(0xFF);
    bench.press("write");
    EXPECT_TRUE(bench.host.script().questions.empty());
    EXPECT_EQ(bench.w().ErrorFlag(), 0);
    EXPECT_EQ(bench.w().message(), "Нет пустой микросхемы в прогр! ");
    EXPECT_TRUE(std::equal(bench.image.begin(), bench.image.begin() + 0x100, bench.chipImage().begin()));
}

TEST(Mcu51Signature, NoSignatureInTheListProgramsWithoutAQuestion)
{
    // First expected byte 0, and a chip of another kind: still no question.
    WriteBench bench({0x00, 0x99, 0x99}, "AT89C52");
    bench.host.setEndAddress(0xFF);
    bench.press("write");
    EXPECT_TRUE(bench.host.script().questions.empty());
    EXPECT_EQ(bench.w().ErrorFlag(), 0);
    EXPECT_FALSE(bench.chipBlank());
}

TEST(Mcu51Signature, BothBytesFFAskAndNoStops)
{
    WriteBench bench({0x1E, 0x52, 0xFF});
    for (int p = 32; p <= 39; ++p)
        bench.box->stickPin(p, 1); // the data port reads 0xFF whatever the chip says
    bench.host.script().answer(false);
    bench.press("write");
    ASSERT_EQ(bench.host.script().questions.size(), 1u);
    EXPECT_EQ(bench.host.script().questions[0], kAskIdMismatch);
    EXPECT_EQ(bench.w().ErrorFlag(), 1);
    EXPECT_EQ(bench.w().message(), "R=(ff,ff)  S=(1e,52)");
    EXPECT_TRUE(bench.chipBlank());
}

TEST(Mcu51Signature, BothBytesFFAskAndYesPrograms)
{
    WriteBench bench({0x1E, 0x52, 0xFF});
    bench.host.setEndAddress(0xFF);
    for (int p = 32; p <= 39; ++p)
        bench.box->stickPin(p, 1);
    bench.host.script().answer(true);
    bench.press("write");
    EXPECT_EQ(bench.host.script().questions.size(), 1u);
    EXPECT_EQ(bench.w().ErrorFlag(), 0);
}

TEST(Mcu51Signature, WrongChipAsksAndNoStops)
{
    WriteBench bench({0x1E, 0x52, 0xFF}, "AT89C51");
    bench.host.script().answer(false);
    bench.press("write");
    ASSERT_EQ(bench.host.script().questions.size(), 1u);
    EXPECT_EQ(bench.host.script().questions[0], kAskNoChip);
    EXPECT_EQ(bench.w().message(), "R=(1e,51)  S=(1e,52)");
    EXPECT_EQ(bench.w().ErrorFlag(), 1);
    EXPECT_TRUE(bench.chipBlank());
}

TEST(Mcu51Signature, ThreeByteCheckOfTheS5xWindowSeesTheThirdByte)
{
    FamilyBench bench("AT89S5X", 2, "AT89S52", {.expectedSignature = {0x1E, 0x52, 0xFF}});
    bench.host.setEndAddress(0x0F);
    bench.host.script().answer(false);
    bench.press("write");
    ASSERT_EQ(bench.host.script().questions.size(), 1u);
    EXPECT_EQ(bench.host.script().questions[0], kAskNoChip);
    EXPECT_EQ(bench.w().message(), "R=(1e,52,06)  S=(1e,52,ff)");
    EXPECT_EQ(bench.w().ErrorFlag(), 1);
}

TEST(Mcu51Signature, BlankCheckAsksWhenTheSignatureReadsFF)
{
    FamilyBench bench("P89C51", 1, "AT89C51");
    for (int p = 32; p <= 39; ++p)
        bench.box->stickPin(p, 1);
    bench.host.script().answer(false);
    bench.press("blank");
    ASSERT_EQ(bench.host.script().questions.size(), 1u);
    EXPECT_EQ(bench.host.script().questions[0], "Код ИД не соответств. заводскому!!\nПродлж?");
    EXPECT_EQ(bench.w().ErrorFlag(), 1);
}

// --- probe ---------------------------------------------------------------------

TEST(Mcu51Probe, EmptySocketAsksAndCancelStops)
{
    for (const char* key : {"P89C51", "P2051", "AT89S5X", "P89C5WD", "AT89X8252", "SST895x", "P97C2051"}) {
        SCOPED_TRACE(key);
        FamilyBench bench(key, 1, "", {.seated = false});
        std::fill_n(bench.buffer().data(), 16, 0x33);
        bench.press("read");
        ASSERT_EQ(bench.host.script().questions.size(), 1u);
        EXPECT_EQ(bench.host.script().questions[0], kProbeQuestion);
        EXPECT_EQ(bench.w().ErrorFlag(), 1);
        EXPECT_EQ(bench.buffer()[0], 0x33); // nothing was read
        EXPECT_EQ(bench.box->errorReport(), "");
    }
}

TEST(Mcu51Probe, AutoOnAnEmptySocketCountsNothing)
{
    FamilyBench bench("P89C51", 1, "", {.seated = false});
    bench.press("auto");
    EXPECT_EQ(bench.host.successCount, 0);
    EXPECT_EQ(bench.w().ErrorFlag(), 1);
    EXPECT_NE(bench.w().message(), "Авто ОК!");
    // The first step asked once and stopped the sequence.
    EXPECT_EQ(bench.host.script().questions.size(), 1u);
}

TEST(Mcu51Probe, YesOnAnEmptySocketGoesOn)
{
    FamilyBench bench("P89C51", 1, "", {.seated = false});
    bench.host.setEndAddress(0x0F);
    bench.host.script().answer(true);
    bench.press("read");
    EXPECT_EQ(bench.w().message(), "OK");
    EXPECT_EQ(bench.buffer()[0], 0xFF);
}

// --- Auto ------------------------------------------------------------------------

TEST(Mcu51Auto, FullSequenceCountsOneChip)
{
    FamilyBench bench("P89C51", 1, "AT89C51", {.expectedSignature = {0x1E, 0x51, 0xFF}});
    ASSERT_TRUE(bench.box->chip()->loadImage(randomBytes(4096, 8)));
    const auto image = randomBytes(4096, 9);
    std::copy(image.begin(), image.end(), bench.buffer().data());
    bench.press("auto");
    EXPECT_EQ(bench.w().message(), "Авто ОК!");
    EXPECT_EQ(bench.host.successCount, 1);
    EXPECT_EQ(bench.chipImage(), image);
    EXPECT_EQ(bench.model<boxsim::Mcu51Chip>().lockBits(), 0x03);
    EXPECT_TRUE(bench.host.script().questions.empty());
}

TEST(Mcu51Auto, FailedBlankCheckStopsBeforeWriting)
{
    FamilyBench bench("P89C51", 1, "AT89C51");
    ASSERT_TRUE(bench.box->chip()->loadImage({0x00}));
    for (auto& step : bench.w().autoSteps())
        step.checked = step.shortName != "erase";
    bench.press("auto");
    EXPECT_EQ(bench.w().message(), "Ошибка!  ");
    EXPECT_EQ(bench.host.successCount, 0);
    EXPECT_EQ(bench.model<boxsim::Mcu51Chip>().programmed(), 0);
}

TEST(Mcu51Auto, OnlyVerifyTickedRunsVerifyAlone)
{
    FamilyBench bench("P2051", 1, "AT89C1051");
    const auto image = randomBytes(1024, 2);
    ASSERT_TRUE(bench.box->chip()->loadImage(image));
    std::copy(image.begin(), image.end(), bench.buffer().data());
    for (auto& step : bench.w().autoSteps())
        step.checked = step.shortName == "verify";
    bench.press("auto");
    EXPECT_EQ(bench.w().message(), "Авто ОК!");
    EXPECT_EQ(bench.host.successCount, 1);
    EXPECT_EQ(bench.model<boxsim::Mcu2051Chip>().erases(), 0);
}

// --- rows, loops, messages ---------------------------------------------------------

TEST(Mcu51Rows, OtpRowsLeaveEraseDisabled)
{
    FamilyBench bench("P89C51", 8, "AT87F51");
    EXPECT_FALSE(bench.w().findButton("erase")->enabled);
    EXPECT_FALSE(bench.w().findAutoStep("erase")->enabled);
    ASSERT_TRUE(bench.box->chip()->loadImage({0x12}));
    bench.press("erase"); // a disabled button does nothing
    EXPECT_EQ(bench.model<boxsim::Mcu51Chip>().erases(), 0);
    // Re-selecting a flash row enables it again; the 97C window has no erase at all.
    ChipSelection flash;
    flash.VariantIndex = 1;
    bench.w().SelectChip(flash);
    EXPECT_TRUE(bench.w().findButton("erase")->enabled);
    EXPECT_TRUE(bench.w().findAutoStep("erase")->enabled);
    FamilyBench otp("P97C2051", 2, "97C2051");
    EXPECT_EQ(otp.w().findButton("erase"), nullptr);
    EXPECT_EQ(otp.w().findAutoStep("erase"), nullptr);
}

TEST(Mcu51Rows, VariantOutsideTheTableSelectsNothing)
{
    FamilyBench bench("P89C51", 12, "AT89C51", {.model = "AT89C51"});
    EXPECT_EQ(bench.w().ErrorFlag(), 1);
    bench.press("read");
    EXPECT_EQ(bench.w().ErrorFlag(), 1);
    EXPECT_EQ(bench.box->errorReport(), "");
}

TEST(Mcu51Loops, AllFFBufferProgramsNothingButWalksEveryAddress)
{
    for (const char* key : {"P89C51", "P2051"}) {
        SCOPED_TRACE(key);
        FamilyBench bench(key, 1, std::string(key) == "P89C51" ? "AT89C51" : "AT89C1051");
        const int64_t last = bench.host.endAddress();
        std::fill_n(bench.buffer().data(), last + 1, 0xFF);
        int64_t furthest = -1;
        bench.host.onChanged = [&](FamilyWindow& w) { furthest = std::max(furthest, w.progressValue()); };
        const uint64_t before = bench.box->stats().bytesIn;
        bench.press("write");
        EXPECT_EQ(furthest, last);
        EXPECT_EQ(bench.w().message(), "Нет пустой микросхемы в прогр! ");
        const auto chip = bench.chipImage();
        EXPECT_TRUE(std::all_of(chip.begin(), chip.end(), [](uint8_t b) { return b == 0xFF; }));
        // One address step per byte at least: the loop ran to the end.
        EXPECT_GT(bench.box->stats().bytesIn - before, static_cast<uint64_t>(last));
    }
}

TEST(Mcu51Loops, StopAtTheHexViewsEndAddress)
{
    FamilyBench bench("P89C51", 3, "AT89C52");
    const auto image = randomBytes(8192, 4);
    ASSERT_TRUE(bench.box->chip()->loadImage(image));
    bench.host.setEndAddress(0x2FF);
    std::fill_n(bench.buffer().data(), 8192, 0x77);
    bench.press("read");
    EXPECT_TRUE(std::equal(image.begin(), image.begin() + 0x300, bench.buffer().data()));
    EXPECT_EQ(bench.buffer()[0x300], 0x77);
    EXPECT_EQ(bench.w().progressValue(), 0x2FF);

    bench.press("erase");
    const auto other = randomBytes(8192, 5);
    std::copy(other.begin(), other.end(), bench.buffer().data());
    bench.press("write");
    const auto chip = bench.chipImage();
    EXPECT_TRUE(std::equal(other.begin(), other.begin() + 0x300, chip.begin()));
    EXPECT_TRUE(std::all_of(chip.begin() + 0x300, chip.end(), [](uint8_t b) { return b == 0xFF; }));
    bench.press("verify");
    EXPECT_EQ(bench.w().message(), "ОК!  ");
}

TEST(Mcu51Messages, VerifyAndBlankFailuresNameTheAddress)
{
    FamilyBench bench("P89C51", 1, "AT89C51");
    bench.host.setEndAddress(0x1FF);
    std::vector<uint8_t> image(0x200, 0xFF);
    image[0x123] = 0x42;
    ASSERT_TRUE(bench.box->chip()->loadImage(image));
    std::fill_n(bench.buffer().data(), 0x200, 0xFF);
    bench.press("verify");
    EXPECT_EQ(bench.w().message(), "0123:Ошиб! (Файл=ff,Устр=42)");
    EXPECT_EQ(bench.w().ErrorFlag(), 1);
    EXPECT_EQ(bench.w().addressText(), "0123");
    bench.press("blank");
    EXPECT_EQ(bench.w().message(), "Ошибка!  ");
    EXPECT_EQ(bench.w().progressValue(), 0x123);

    FamilyBench small("P2051", 2, "AT89C2051");
    ASSERT_TRUE(small.box->chip()->loadImage(image));
    small.press("verify");
    EXPECT_EQ(small.w().message(), "0123:Ошиб! (Файл=ff,Устр=42)");
}

// --- lock bits ------------------------------------------------------------------------

TEST(Mcu51Lock, BitOneEndsWithoutAReadBack)
{
    FamilyBench bench("P89C51", 1, "AT89C51");
    bench.w().findOption("lock")->selected = 0;
    bench.press("lock");
    EXPECT_EQ(bench.w().message(), "Защита         ");
    EXPECT_EQ(bench.model<boxsim::Mcu51Chip>().lockBits(), 0x01);
    bench.w().findOption("lock")->selected = 2;
    bench.press("lock");
    EXPECT_EQ(bench.model<boxsim::Mcu51Chip>().lockBits(), 0x07);
    EXPECT_EQ(bench.w().message(), "Защт.ОК! ");
}

TEST(Mcu51Lock, ALockThatDoesNotTakeFails)
{
    // PROG stuck high: no pulse reaches the chip, the read-back finds code
    // (in the cell the check reads, where PowerUp leaves the address: the top).
    FamilyBench bench("P89C51", 1, "AT89C51");
    ASSERT_TRUE(bench.box->chip()->loadImage(std::vector<uint8_t>(4096, 0x5A)));
    bench.box->stickPin(30, 1);
    bench.press("lock");
    EXPECT_EQ(bench.w().message(), "加密失败！");
    EXPECT_EQ(bench.w().ErrorFlag(), 1);
}

TEST(Mcu51Lock, TwentyPinLockFailureSetsTheFlag)
{
    FamilyBench bench("P2051", 2, "AT89C2051");
    ASSERT_TRUE(bench.box->chip()->loadImage({0x5A}));
    bench.box->stickPin(16, 1); // PROG never pulses
    bench.press("lock");
    EXPECT_EQ(bench.w().message(), "加密失败！");
    EXPECT_EQ(bench.w().ErrorFlag(), 1);
    EXPECT_EQ(bench.model<boxsim::Mcu2051Chip>().lockBits(), 0);
}

TEST(Mcu51Lock, WdLockByteIsReadBack)
{
    FamilyBench bench("P89C5WD", 5, "AT89C55WD");
    bench.w().findOption("lock")->selected = 2;
    bench.press("lock");
    EXPECT_EQ(bench.w().message(), "OK");
    bench.press("lockread");
    EXPECT_EQ(bench.w().message(), "Lock= 1c");
    bench.press("erase");
    EXPECT_EQ(bench.w().message(), "OK");
    bench.press("lockread");
    EXPECT_EQ(bench.w().message(), "Lock= 00");
}

TEST(Mcu51Erase, TwentyPinEraseCheckReportsALeftOverByte)
{
    FamilyBench bench("P2051", 2, "AT89C2051");
    ASSERT_TRUE(bench.box->chip()->loadImage({0x00}));
    bench.box->stickPin(16, 1); // PROG never pulses: nothing is erased
    bench.press("erase");
    EXPECT_EQ(bench.w().message(), "没有完全擦除，可重复多次");
    EXPECT_EQ(bench.w().ErrorFlag(), 2);
}

TEST(Mcu51Erase, TwentyPinEraseNeverLeavesVppOnAnUnpoweredChip)
{
    FamilyBench bench("P2051", 2, "AT89C2051");
    bench.press("erase");
    EXPECT_EQ(bench.w().message(), "Стиран.ОК! ");
    EXPECT_EQ(bench.box->errorReport(), "");
    EXPECT_EQ(bench.box->warningReport().find("Vpp"), std::string::npos) << bench.box->warningReport();
}

} // namespace pontvex::mcu51_test

namespace pontvex::mcu51_test {

TEST(Mcu51S5x, BoxWithoutTheReadyStatusClosesTheWindow)
{
    FamilyBench bench("AT89S5X", 2, "AT89S52");
    ASSERT_TRUE(bench.w().visible());
    bench.box->stickPin(40, 1); // the status byte no longer reads 37
    bench.press("read");
    EXPECT_EQ(bench.w().ErrorFlag(), 1);
    EXPECT_FALSE(bench.w().visible());
    ASSERT_EQ(bench.host.script().messages.size(), 1u);
    EXPECT_EQ(bench.host.script().messages[0],
              "编程器的硬件不适合,\n必需V5.0以上的版本，\n(2003年4月后出厂的)");
    EXPECT_TRUE(bench.host.script().questions.empty());
}

} // namespace pontvex::mcu51_test

namespace pontvex::mcu51_test {

TEST(Mcu51Otp97, UnreadableSignatureAsksTheLongQuestion)
{
    FamilyBench bench("P97C2051", 2, "97C2051", {.expectedSignature = {0x1E, 0x21, 0x00}});
    bench.host.script().answer(false);
    bench.press("write");
    ASSERT_EQ(bench.host.script().questions.size(), 1u);
    EXPECT_EQ(bench.host.script().questions[0], "Нет микр! Продолжать");
    EXPECT_EQ(bench.w().message(), "R=(ff,ff)  S=(1e,21)");
    EXPECT_EQ(bench.w().ErrorFlag(), 1);
    const auto chip = bench.chipImage();
    EXPECT_TRUE(std::all_of(chip.begin(), chip.end(), [](uint8_t b) { return b == 0xFF; }));
}

TEST(Mcu51X8252, LockBitsChosenByTheDataPort)
{
    FamilyBench bench("AT89X8252", 1, "AT89S8252");
    bench.w().findOption("lock")->selected = 0;
    bench.press("lock");
    EXPECT_EQ(bench.w().message(), "Защита         ");
    EXPECT_EQ(bench.model<boxsim::Mcu51Chip>().lockBits(), 0x01);
    bench.w().findOption("lock")->selected = 2;
    bench.press("lock");
    EXPECT_EQ(bench.w().message(), "Защт.ОК! ");
    EXPECT_EQ(bench.model<boxsim::Mcu51Chip>().lockBits(), 0x07);
}

} // namespace pontvex::mcu51_test

namespace pontvex::mcu51_test {

TEST(Mcu51Rows, AutoOnAnOtpRowSkipsTheEraseStep)
{
    FamilyBench bench("P89C51", 9, "AT87F52");
    bench.host.setEndAddress(0xFF);
    const auto image = randomBytes(0x100, 6);
    std::copy(image.begin(), image.end(), bench.buffer().data());
    for (auto& step : bench.w().autoSteps())
        step.checked = step.shortName != "lock";
    bench.press("auto");
    EXPECT_EQ(bench.w().message(), "Авто ОК!");
    EXPECT_EQ(bench.model<boxsim::Mcu51Chip>().erases(), 0);
    EXPECT_EQ(bench.host.successCount, 1);
    EXPECT_TRUE(std::equal(image.begin(), image.end(), bench.chipImage().begin()));
}

} // namespace pontvex::mcu51_test

#include "support/FamilyBench.h"

#include "boxsim/chips/Flash29F.h"
#include "families/flash/Flash29Windows.h"

#include <algorithm>

namespace pontvex::flash_test {
namespace {

using boxsim::Flash29F;

std::string mismatch(uint32_t address, unsigned file, unsigned chip)
{
    char text[96];
    std::snprintf(text, sizeof text, "%06x:Ошиб! (Файл=%02x,Устр=%02x)", address, file, chip);
    return text;
}

void toBuffer(FamilyBench& bench, const std::vector<uint8_t>& image)
{
    std::copy(image.begin(), image.end(), bench.buffer().data());
}

// The windows and one part of each, small enough to run every path.
struct Case {
    const char* key;
    int variant;
    const char* chip;
};
const Case kCases[] = {{"P29F", 1, "29F256"}, {"MX29F", 1, "MX29F010"}, {"AT49F", 1, "AT49F010"}};

class EveryWindow : public testing::TestWithParam<Case> {};

TEST_P(EveryWindow, EraseWriteVerifyReadGiveBackTheImage)
{
    const Case c = GetParam();
    FamilyBench bench(c.key, c.variant, c.chip);
    ASSERT_TRUE(bench.chip()->loadImage(randomBytes(bench.size(), 5)));
    const auto image = randomBytes(bench.size(), 9);

    bench.press("erase");
    EXPECT_EQ(bench.w().ErrorFlag(), 0) << bench.w().message();
    EXPECT_EQ(bench.chipImage(), std::vector<uint8_t>(bench.size(), 0xFF));
    EXPECT_EQ(bench.model<Flash29F>().eraseCommands(), 1); // done at the first attempt
    bench.press("blank");
    EXPECT_EQ(bench.w().message(), "Прв.ОК");

    toBuffer(bench, image);
    bench.press("write");
    EXPECT_EQ(bench.w().message(), "OK!");
    EXPECT_EQ(bench.chipImage(), image);
    bench.press("verify");
    EXPECT_EQ(bench.w().message(), "Срав.ОК!");
    EXPECT_EQ(bench.w().ErrorFlag(), 0);

    std::fill_n(bench.buffer().data(), bench.size(), 0);
    bench.press("read");
    EXPECT_EQ(bench.w().message(), "Счт.ОК!");
    EXPECT_TRUE(std::equal(image.begin(), image.end(), bench.buffer().data()));
    EXPECT_EQ(bench.box->errorReport(), "");
}

TEST_P(EveryWindow, AutoErasesChecksWritesAndVerifies)
{
    const Case c = GetParam();
    FamilyBench bench(c.key, c.variant, c.chip);
    ASSERT_TRUE(bench.chip()->loadImage(randomBytes(bench.size(), 2)));
    const auto image = randomBytes(bench.size(), 4);
    toBuffer(bench, image);
    bench.press("auto");
    EXPECT_EQ(bench.w().ErrorFlag(), 0) << bench.w().message();
    EXPECT_EQ(bench.chipImage(), image);
}

TEST_P(EveryWindow, ProtectedSectorSurvivesEraseUntilUnprotected)
{
    const Case c = GetParam();
    FamilyBench bench(c.key, c.variant, c.chip);
    auto& chip = bench.model<Flash29F>();
    ASSERT_TRUE(chip.loadImage(std::vector<uint8_t>(bench.size(), 0x00)));
    chip.protectSector(1);
    const uint32_t sector = bench.size() / 8;

    bench.press("erase");
    bench.press("blank");
    EXPECT_EQ(bench.w().message(), FamilyBench::hex(sector, "%06x") + ": Ошибка!  ");
    EXPECT_EQ(bench.w().ErrorFlag(), 1);

    bench.press("unprotect");
    EXPECT_EQ(bench.w().message(), std::string(c.key) == "P29F" ? "ОК! " : "OK");
    EXPECT_FALSE(chip.sectorProtected(1));
    bench.press("erase");
    bench.press("blank");
    EXPECT_EQ(bench.w().message(), "Прв.ОК");
    EXPECT_EQ(bench.box->errorReport(), "");
}

TEST_P(EveryWindow, StuckBitFailsVerifyWithItsAddress)
{
    const Case c = GetParam();
    FamilyBench bench(c.key, c.variant, c.chip);
    bench.chip()->addStuckCell({0x123, 0x01, 0x01});
    const auto image = std::vector<uint8_t>(bench.size(), 0x00);
    toBuffer(bench, image);
    bench.press("write");
    bench.press("verify");
    EXPECT_EQ(bench.w().message(),
              std::string(c.key) == "P29F" ? std::string("000123: Ошиб!") : mismatch(0x123, 0x00, 0x01));
    EXPECT_EQ(bench.w().ErrorFlag(), 1);
}

INSTANTIATE_TEST_SUITE_P(Flash29, EveryWindow, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<Case>& info) {
                             return std::string(info.param.key);
                         });

TEST(Flash29Erase, LateEraseIsWaitedForWithoutASecondErase)
{
    FamilyBench bench("P29F", 3, "AM29F010");
    auto& chip = bench.model<Flash29F>();
    ASSERT_TRUE(chip.loadImage(randomBytes(bench.size(), 1)));
    // Longer than one attempt's wait: the next sequences meet a busy chip.
    chip.setChipEraseUnits(15000);
    bench.press("erase");
    EXPECT_EQ(bench.w().message(), "Прв.ОК");
    EXPECT_EQ(chip.eraseCommands(), 1);
    EXPECT_EQ(chip.chipErases(), 1);
}

TEST(Flash29Erase, AtOnceIsOneSequence)
{
    FamilyBench bench("AT49F", 1, "AT49F010");
    auto& chip = bench.model<Flash29F>();
    chip.setChipEraseUnits(0);
    bench.press("erase");
    EXPECT_EQ(bench.w().message(), "OK!");
    EXPECT_EQ(chip.eraseCommands(), 1);
}

// The 29F window leaves the verdict to the Blank that follows; the others
// said "OK!" after all their attempts failed and now report the failure.
TEST(Flash29Erase, EraseThatNeverEndsIsAFailure)
{
    {
        FamilyBench bench("P29F", 1, "29F256");
        auto& chip = bench.model<Flash29F>();
        ASSERT_TRUE(chip.loadImage(std::vector<uint8_t>(bench.size(), 0x5A)));
        chip.setChipEraseUnits(Flash29F::kNever);
        bench.press("erase");
        EXPECT_EQ(bench.w().message(), "000000: Ошибка!  ");
        EXPECT_EQ(bench.w().ErrorFlag(), 1);
    }
    for (const char* key : {"MX29F", "AT49F"}) {
        FamilyBench bench(key, 1, std::string(key) == "MX29F" ? "MX29F010" : "AT49F010");
        auto& chip = bench.model<Flash29F>();
        chip.setChipEraseUnits(Flash29F::kNever);
        bench.press("erase");
        EXPECT_EQ(bench.w().ErrorFlag(), 1) << key;
        EXPECT_EQ(bench.w().message().rfind("000000:Ошиб! (Файл=ff,Устр=", 0), 0u) << bench.w().message();
        EXPECT_NE(bench.w().message(), "OK!");
    }
}

// Erase routes the row's own Vpp level onto the boot part's RESET# pin: at
// 12 V the protection is lifted while the erase runs, whatever level an
// earlier command selected.
TEST(Flash29Erase, BootRowErasesItsProtectedSectorAtTwelveVolts)
{
    FamilyBench bench("P29F", 8, "AM29F002T");
    auto& chip = bench.model<Flash29F>();
    ASSERT_TRUE(chip.loadImage(std::vector<uint8_t>(bench.size(), 0x00)));
    chip.protectSector(0);
    bench.press("erase");
    EXPECT_EQ(bench.w().message(), "Прв.ОК");
    EXPECT_TRUE(chip.sectorProtected(0)); // lifted only while held
    EXPECT_EQ(bench.box->errorReport(), "");
}

TEST(Flash29Write, StopsAtTheChipsLastAddress)
{
    FamilyBench bench("AT49F", 1, "AT49F010");
    const auto image = randomBytes(0x100, 7);
    toBuffer(bench, image);
    bench.fields(0, 0x1FFF0, 0xFF);
    bench.press("write");
    EXPECT_EQ(bench.w().ErrorFlag(), 0);
    const auto cells = bench.chipImage();
    EXPECT_TRUE(std::equal(image.begin(), image.begin() + 16, cells.begin() + 0x1FFF0));
    EXPECT_TRUE(std::all_of(cells.begin(), cells.begin() + 0x1FFF0, [](uint8_t b) { return b == 0xFF; }));
}

TEST(Flash29Write, NoLevelRowsWriteWithVppCodeZero)
{
    FamilyBench bench("P29F", 1, "29F256");
    bench.take();
    bench.press("write");
    const auto sent = bench.take();
    // SetVppVoltage: 14 with the level's inverted code in the low nibble.
    bool seen = false;
    for (size_t i = 0; i + 1 < sent.size() && !seen; ++i)
        if (sent[i] == 14) {
            EXPECT_EQ(sent[i + 1] & 0x0F, 0x0F);
            seen = true;
        }
    EXPECT_TRUE(seen);
}

TEST(Flash29Rows, MxTableEndsWithTheBootBlockRows)
{
    FamilyBench bench("MX29F", 3, "MX29F040");
    EXPECT_EQ(bench.w().rowName(3), "Mx29f040/004");
    EXPECT_EQ(bench.w().rowName(4), "29f001 BX-T ");
    EXPECT_EQ(bench.w().rowCount(), 11);
}

} // namespace
} // namespace pontvex::flash_test

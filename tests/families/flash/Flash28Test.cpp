#include "support/FamilyBench.h"

#include "boxsim/chips/Flash28F.h"
#include "families/flash/Flash28Windows.h"

#include <algorithm>

namespace pontvex::flash_test {
namespace {

using boxsim::Flash28F;

void toBuffer(FamilyBench& bench, const std::vector<uint8_t>& image)
{
    std::copy(image.begin(), image.end(), bench.buffer().data());
}

struct Part {
    const char* key;
    int variant;
    const char* chip;
    const char* eraseText;
};
const Part kParts[] = {{"PI28F001", 1, "28F001BX-T", "ОК! "},
                       {"PI28F001", 2, "28F001BX-B", "ОК! "},
                       {"PI28F001", 4, "28F002BC-B", "ОК! "},
                       {"PI28F", 1, "28F256A", "Прв.ОК"}};

class Every28F : public testing::TestWithParam<Part> {};

TEST_P(Every28F, EraseWriteVerifyReadGiveBackTheImage)
{
    const Part p = GetParam();
    FamilyBench bench(p.key, p.variant, p.chip);
    ASSERT_TRUE(bench.chip()->loadImage(randomBytes(bench.size(), 3)));
    bench.press("erase");
    EXPECT_EQ(bench.w().message(), p.eraseText);
    EXPECT_EQ(bench.w().ErrorFlag(), 0);
    EXPECT_EQ(bench.chipImage(), std::vector<uint8_t>(bench.size(), 0xFF));

    const auto image = randomBytes(bench.size(), 8);
    toBuffer(bench, image);
    bench.press("write");
    EXPECT_EQ(bench.w().ErrorFlag(), 0) << bench.w().message();
    EXPECT_EQ(bench.chipImage(), image);
    bench.press("verify");
    EXPECT_EQ(bench.w().message(), "Срав.ОК!");
    std::fill_n(bench.buffer().data(), bench.size(), 0);
    bench.press("read");
    EXPECT_TRUE(std::equal(image.begin(), image.end(), bench.buffer().data()));
    EXPECT_EQ(bench.box->errorReport(), "");
}

TEST_P(Every28F, StuckBitFailsVerifyWithAddressAndBytes)
{
    const Part p = GetParam();
    FamilyBench bench(p.key, p.variant, p.chip);
    bench.chip()->addStuckCell({0x2345, 0x80, 0x80});
    toBuffer(bench, std::vector<uint8_t>(bench.size(), 0x11));
    bench.press("write");
    bench.press("verify");
    EXPECT_EQ(bench.w().message(), "002345:Ошиб! (Файл=11,Устр=91)");
    EXPECT_EQ(bench.w().ErrorFlag(), 1);
}

INSTANTIATE_TEST_SUITE_P(Flash28, Every28F, testing::ValuesIn(kParts),
                         [](const testing::TestParamInfo<Part>& info) {
                             std::string name = info.param.chip;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

TEST(Flash28Erase, TopBootPartErasesFourBlocksWithOe12VOnlyForTheBootBlock)
{
    FamilyBench bench("PI28F001", 1, "28F001BX-T");
    auto& chip = bench.model<Flash28F>();
    bench.press("erase");
    EXPECT_EQ(chip.erasedBlocks(), (std::vector<uint32_t>{0x00000, 0x1C000, 0x1D000, 0x1E000}));
    EXPECT_EQ(chip.bootUnlockedErases(), (std::vector<uint32_t>{0x1E000}));
}

// The status errors and the time-out were shown as success; now the block and
// its status are the failure.
TEST(Flash28Erase, BlockEraseThatNeverEndsIsReported)
{
    FamilyBench bench("PI28F001", 3, "28F002BC-T");
    bench.model<Flash28F>().setBlockEraseUnits(Flash28F::kNever);
    bench.press("erase");
    EXPECT_EQ(bench.w().ErrorFlag(), 1);
    EXPECT_EQ(bench.w().message(), "000000:Ошиб! (Файл=ff,Устр=00)");
}

TEST(Flash28Erase, BulkEraseThatNeverVerifiesLeavesBlankToReport)
{
    FamilyBench bench("PI28F", 1, "28F256A");
    auto& chip = bench.model<Flash28F>();
    ASSERT_TRUE(chip.loadImage(std::vector<uint8_t>(bench.size(), 0x00)));
    chip.setBlockEraseUnits(Flash28F::kNever);
    bench.press("erase");
    EXPECT_EQ(bench.w().message(), "000000: Ошибка!  ");
    EXPECT_EQ(bench.w().ErrorFlag(), 1);
}

// A write from the boot block into the main array routes 12 V onto OE for
// the boot block only.
TEST(Flash28Write, CrossingOutOfTheBootBlockSwitchesItsVppOff)
{
    FamilyBench bench("PI28F001", 2, "28F001BX-B");
    auto& chip = bench.model<Flash28F>();
    const auto image = randomBytes(0x200, 6);
    toBuffer(bench, image);
    bench.fields(0, 0x1F00, 0x1FF);
    bench.press("write");
    EXPECT_EQ(bench.w().message(), "OK!");
    const auto cells = bench.chipImage();
    EXPECT_TRUE(std::equal(image.begin(), image.end(), cells.begin() + 0x1F00));
    EXPECT_EQ(chip.bootUnlockedPrograms(), 0x100);
    EXPECT_EQ(chip.mainProgramsAt12VOe(), 0);
}

// A byte that never gets ready ended with "ОК!    " and 12 V left on Vpp;
// now the address, the byte and the status are the failure, supplies off.
TEST(Flash28Write, ByteThatNeverGetsReadyIsReported)
{
    FamilyBench bench("PI28F001", 3, "28F002BC-T");
    bench.model<Flash28F>().setProgramUnits(boxsim::Flash28F::kNever);
    toBuffer(bench, std::vector<uint8_t>(bench.size(), 0x42));
    bench.fields(0, 0x100, 0xFF);
    bench.press("write");
    EXPECT_EQ(bench.w().ErrorFlag(), 1);
    EXPECT_EQ(bench.w().message(), "000100:Ошиб! (Файл=42,Устр=00)");
}

} // namespace
} // namespace pontvex::flash_test

// The parts on a 40-pin footprint: A18 on socket pin 3 and A19 of the 1 MiB
// 29F rows on socket pin 4. Their upper halves must not alias the lower ones.

#include "support/FamilyBench.h"

#include "boxsim/chips/Flash29F.h"
#include "families/flash/FlashWindow.h"

#include <algorithm>

namespace pontvex::flash_test {
namespace {

struct Wide {
    const char* key;
    int variant;
    const char* chip;
    uint32_t half;
};

class WideParts : public testing::TestWithParam<Wide> {};

TEST_P(WideParts, BothHalvesKeepTheirOwnBytes)
{
    const Wide p = GetParam();
    FamilyBench bench(p.key, p.variant, p.chip);
    ASSERT_EQ(bench.size(), 2 * p.half);
    const auto low = randomBytes(0x100, 21);
    const auto high = randomBytes(0x100, 22);
    std::copy(low.begin(), low.end(), bench.buffer().data());
    std::copy(high.begin(), high.end(), bench.buffer().data() + p.half);

    bench.fields(0, 0, 0xFF);
    bench.press("write");
    EXPECT_EQ(bench.w().ErrorFlag(), 0) << bench.w().message();
    bench.fields(p.half, p.half, 0xFF);
    bench.press("write");
    EXPECT_EQ(bench.w().ErrorFlag(), 0) << bench.w().message();

    const auto cells = bench.chipImage();
    EXPECT_TRUE(std::equal(low.begin(), low.end(), cells.begin()));
    EXPECT_TRUE(std::equal(high.begin(), high.end(), cells.begin() + p.half));

    // Verify reads the upper half back through the same lines.
    bench.press("verify");
    EXPECT_EQ(bench.w().ErrorFlag(), 0) << bench.w().message();
    bench.buffer()[p.half + 0x80] ^= 0x01;
    bench.press("verify");
    EXPECT_EQ(bench.w().ErrorFlag(), 1);
    EXPECT_NE(bench.w().message().find(p.half == 0x80000 ? "080080" : "040080"), std::string::npos)
        << bench.w().message();
    bench.expectIdle();
    EXPECT_EQ(bench.box->errorReport(), "");
}

INSTANTIATE_TEST_SUITE_P(Flash, WideParts,
                         testing::Values(Wide{"P29F", 12, "29F008T", 0x80000},
                                         Wide{"P29F", 13, "29F008B", 0x80000},
                                         Wide{"MX29F", 10, "29F008T", 0x80000},
                                         Wide{"PI28F", 6, "28F040", 0x40000}),
                         [](const testing::TestParamInfo<Wide>& info) {
                             return std::string(info.param.key) + "_" + info.param.chip;
                         });

TEST(FlashWide, TheRowsVppOnPin5LiftsTheProtectionOfThe1MiBPartDuringErase)
{
    FamilyBench bench("MX29F", 10, "29F008T");
    auto& chip = bench.model<boxsim::Flash29F>();
    chip.setChipEraseUnits(0);
    chip.protectSector(15);
    ASSERT_TRUE(chip.loadImage(std::vector<uint8_t>(bench.size(), 0x00)));
    bench.press("erase");
    EXPECT_EQ(bench.w().message(), "OK!");
    EXPECT_EQ(bench.chipImage(), std::vector<uint8_t>(bench.size(), 0xFF));
    EXPECT_EQ(bench.box->errorReport(), ""); // 12 V only where the part takes it
}

TEST(FlashAddress, HighLinesAboveA17SitOnPins3To5AndRestHighOnSmallerParts)
{
    // 1 MiB: A19 on port 0 bit 3 (pin 4), A18 on bits 4 and 2 (pins 5, 3).
    EXPECT_EQ(FlashPortLatchValues(0x80000, 0xFFF00000)[0], 0x0B);
    EXPECT_EQ(FlashPortLatchValues(0x40000, 0xFFF00000)[0], 0x17);
    EXPECT_EQ(FlashPortLatchValues(0x00000, 0xFFF00000)[0], 0x03);
    // Every part up to 256 K keeps pins 1..5 high as before.
    for (uint32_t size : {0x8000u, 0x20000u, 0x40000u})
        EXPECT_EQ(FlashPortLatchValues(0, 0u - size)[0] & 0x1F, 0x1F) << size;
}

} // namespace
} // namespace pontvex::flash_test

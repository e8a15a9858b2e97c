#include "support/FamilyBench.h"

#include "boxsim/chips/Flash29F.h"

#include <algorithm>

namespace pontvex::flash_test {
namespace {

// Occurrences of pattern in bytes.
size_t count(const std::vector<uint8_t>& bytes, const std::vector<uint8_t>& pattern)
{
    size_t n = 0;
    for (auto it = bytes.begin();
         (it = std::search(it, bytes.end(), pattern.begin(), pattern.end())) != bytes.end(); ++it)
        ++n;
    return n;
}

// One bus write of data at the address already on the ports: OE released,
// data on port 2, CE and WE low, WE and then CE released.
std::vector<uint8_t> cycle(uint8_t data)
{
    return {59, 18, data, 105, 114, 66, 57};
}

TEST(Flash29Trace, FirstUnlockCycleOfTheEraseOnA32KPart)
{
    FamilyBench bench("P29F", 1, "29F256");
    bench.model<boxsim::Flash29F>().setChipEraseUnits(0);
    bench.take();
    bench.press("erase");
    const auto sent = bench.take();
    // 0x5555 with every line above A14 high: ports 1, 3, 0, 4, then the cycle.
    const std::vector<uint8_t> first = {17, 0xAA, 19,   0xA3, 16,  0xFF, 20, 0x33,
                                        59, 18,   0xAA, 105,  114, 66,   57};
    EXPECT_EQ(count(sent, first), 2u); // the unlock of the command and of the erase
    // 0x2AAA: A0..A7 = 0xAA reversed, A9, A11, A13 high.
    const std::vector<uint8_t> second = {17, 0x55, 19,   0x59, 16,  0x7F, 20, 0x13,
                                         59, 18,   0x55, 105,  114, 66,   57};
    EXPECT_EQ(count(sent, second), 2u);
}

TEST(Flash29Trace, AnEraseDoneAtOnceSendsOneSixCycleSequence)
{
    for (const char* key : {"P29F", "MX29F", "AT49F"}) {
        FamilyBench bench(key, 1,
                          std::string(key) == "P29F"    ? "29F256"
                          : std::string(key) == "MX29F" ? "MX29F010"
                                                        : "AT49F010");
        bench.model<boxsim::Flash29F>().setChipEraseUnits(0);
        bench.take();
        bench.press("erase");
        const auto sent = bench.take();
        EXPECT_EQ(count(sent, cycle(0x80)), 1u) << key;
        EXPECT_EQ(count(sent, cycle(0x10)), 1u) << key;
        EXPECT_EQ(count(sent, cycle(0xAA)), 2u) << key;
    }
}

TEST(Flash29Trace, WriteSendsOne145PerByteAndTheAddressEvery256)
{
    FamilyBench bench("P29F", 1, "29F256");
    for (uint32_t a = 0; a < 0x8000; ++a)
        bench.buffer()[a] = static_cast<uint8_t>(a);
    bench.fields(0, 0x7E00, 0x1FF);
    bench.take();
    bench.press("write");
    const auto sent = bench.take();
    EXPECT_EQ(count(sent, {145, 0x00}), 2u);
    EXPECT_EQ(count(sent, {145, 0x7F}), 2u);
    // The two blocks start at 0x7E00 and 0x7F00: A8 on port 3 bit 5, A9..A14 high.
    EXPECT_EQ(count(sent, {17, 0x00, 19, 0xDB, 16, 0xFF, 20, 0x33, 145}), 1u);
    EXPECT_EQ(count(sent, {17, 0x00, 19, 0xFB, 16, 0xFF, 20, 0x33, 145}), 1u);
    EXPECT_EQ(bench.w().message(), "OK!");
}

} // namespace
} // namespace pontvex::flash_test

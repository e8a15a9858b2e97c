#include "support/FamilyBench.h"

#include "boxsim/chips/Flash28F.h"

#include <algorithm>

namespace pontvex::flash_test {
namespace {

constexpr uint8_t kNop = 30;

size_t count(const std::vector<uint8_t>& bytes, const std::vector<uint8_t>& pattern)
{
    size_t n = 0;
    for (auto it = bytes.begin();
         (it = std::search(it, bytes.end(), pattern.begin(), pattern.end())) != bytes.end(); ++it)
        ++n;
    return n;
}

std::vector<uint8_t> join(std::initializer_list<std::vector<uint8_t>> parts)
{
    std::vector<uint8_t> all;
    for (const auto& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

// The four port writes of an address: ports 1, 3, 0, 4.
std::vector<uint8_t> address(uint8_t p1, uint8_t p3, uint8_t p0, uint8_t p4)
{
    return {17, p1, 19, p3, 16, p0, 20, p4};
}

// One command byte written by the window: data on port 2, OE released, CE
// and WE low for one byte time, WE released, OE low again.
std::vector<uint8_t> command(uint8_t value)
{
    return {18, value, 59, 105, 114, kNop, 66, 107};
}

// Both Vpp route registers, each followed by three byte times.
std::vector<uint8_t> routes(uint8_t a, uint8_t b)
{
    return {24, a, kNop, kNop, kNop, 25, b, kNop, kNop, kNop};
}

TEST(Flash28Trace, BlockEraseOfTheTopBootPartWritesSetupAndConfirmAtEachBlock)
{
    FamilyBench bench("PI28F001", 1, "28F001BX-T");
    bench.model<boxsim::Flash28F>().setBlockEraseUnits(0);
    bench.take();
    bench.press("erase");
    const auto sent = bench.take();
    EXPECT_EQ(bench.w().message(), "ОК! ");
    // Block starts 0x00000, 0x1C000, 0x1D000, 0x1E000 with A17..A19 held high.
    const std::vector<std::vector<uint8_t>> starts = {
        address(0x00, 0x01, 0x1F, 0x03), address(0x00, 0x81, 0x7F, 0x13), address(0x00, 0x81, 0xFF, 0x33),
        address(0x00, 0xC1, 0x7F, 0x13)};
    for (const auto& at : starts) {
        EXPECT_EQ(count(sent, join({at, command(0x20)})), 1u);
        EXPECT_EQ(count(sent, join({at, command(0xD0)})), 1u);
    }
    EXPECT_EQ(count(sent, command(0x20)), 4u);
    EXPECT_EQ(count(sent, command(0xD0)), 4u);
    // 12 V on OE (pin 28, route B bit 1) only around the boot block's two
    // cycles: on before them, off right after the confirm.
    EXPECT_EQ(count(sent, routes(0x02, 0x82)), 1u);
    EXPECT_EQ(count(sent, join({command(0xD0), routes(0x02, 0x80)})), 1u);
    // Each block's status: data bus high, OE low, read port 2, OE released.
    EXPECT_EQ(count(sent, {11, 0xFF, 107, 3, 59}), 4u);
}

TEST(Flash28Trace, WriteAcrossTheBottomBootBlockSwitchesOe12VAtItsEnd)
{
    FamilyBench bench("PI28F001", 2, "28F001BX-B");
    const std::vector<uint8_t> image = {0x11, 0x22, 0x33, 0x44};
    std::copy(image.begin(), image.end(), bench.buffer().data() + 0x1FFE);
    bench.fields(0x1FFE, 0x1FFE, 3);
    bench.take();
    bench.press("write");
    const auto sent = bench.take();
    EXPECT_EQ(bench.w().message(), "OK!");
    std::vector<uint8_t> inBoot = join({address(0x7F, 0x3B, 0x9F, 0x23), routes(0x02, 0x82)});
    inBoot.insert(inBoot.end(), 100, kNop);
    EXPECT_EQ(count(sent, join({inBoot, {137, 0x11}})), 1u);
    // 0x2000: the new address first, then Vpp off everywhere and back on pin 5 alone.
    EXPECT_EQ(
        count(sent,
              join({address(0x00, 0x41, 0x1F, 0x03), routes(0x00, 0x80), routes(0x02, 0x80), {137, 0x33}})),
        1u);
    for (uint8_t b : image)
        EXPECT_EQ(count(sent, {137, b}), 1u);
    const auto cells = bench.chipImage();
    EXPECT_TRUE(std::equal(image.begin(), image.end(), cells.begin() + 0x1FFE));
}

TEST(Flash28Trace, BulkEraseIsOne133ThenAnEraseVerifyReadAtAddressZero)
{
    FamilyBench bench("PI28F", 1, "28F256A");
    bench.take();
    bench.press("erase");
    const auto sent = bench.take();
    EXPECT_EQ(bench.w().message(), "Прв.ОК");
    // Address 0 of a 32 K part: A15..A19 high.
    EXPECT_EQ(count(sent, address(0x00, 0x01, 0x7F, 0x13)), 1u + 1u); // erase, then Blank
    std::vector<uint8_t> erase = {133, 0x20, 0x20};
    erase.insert(erase.end(), 2000, kNop);
    // A0 as one bus cycle, OE low, data bus high, CE low, read port 2, CE released.
    const std::vector<uint8_t> verify = {18, 0xA0, 59, 105, 114, 66, 57, 107, 11, 0xFF, 105, 3, 57};
    EXPECT_EQ(count(sent, join({erase, verify})), 1u);
    EXPECT_EQ(count(sent, {133, 0x20, 0x20}), 1u);
}

TEST(Flash28Trace, BulkEraseThatNeverVerifiesTriesTenTimes)
{
    FamilyBench bench("PI28F", 1, "28F256A");
    bench.model<boxsim::Flash28F>().setBlockEraseUnits(boxsim::Flash28F::kNever);
    ASSERT_TRUE(bench.chip()->loadImage(std::vector<uint8_t>(bench.size(), 0x00)));
    bench.take();
    bench.press("erase");
    const auto sent = bench.take();
    EXPECT_EQ(count(sent, {133, 0x20, 0x20}), 10u);
    EXPECT_EQ(bench.w().ErrorFlag(), 1);
    EXPECT_EQ(bench.w().message(), "000000: Ошибка!  ");
}

} // namespace
} // namespace pontvex::flash_test

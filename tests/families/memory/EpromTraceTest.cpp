#include "support/FamilyBench.h"

#include "boxsim/chips/Eprom27.h"
#include "families/memory/EpromWindow.h"

#include "catalogue/TypeSelection.h"

namespace pontvex::eprom_test {
namespace {

using Bytes = std::vector<uint8_t>;

void add(Bytes& out, std::initializer_list<int> values)
{
    for (int v : values)
        out.push_back(static_cast<uint8_t>(v));
}

void delay(Bytes& out, int n)
{
    out.insert(out.end(), static_cast<size_t>(n), uint8_t{30});
}

// Read of the first 256 bytes of a 27C256, byte for byte as the read
// sequence gives it after the window's set-up.
TEST(EpromTrace, ReadOfTheFirst256BytesOf27C256)
{
    FamilyBench bench("P27", 13, "27C256");
    bench.fields(0, 0, 0xFF);
    bench.take();
    bench.press("read");
    ASSERT_EQ(bench.w().message(), "Счт.ОК!");

    Bytes expected;
    add(expected, {79 + 26, 79 + 28}); // DrivePin 26, 28
    delay(expected, 100);
    add(expected, {31 + 34, 26, 0x7F}); // RouteVcc 34: driver off, Vcc switch of pin 34
    delay(expected, 10);
    add(expected, {27, 0x07});
    delay(expected, 10);
    delay(expected, 1000);
    add(expected, {11, 0xFF}); // SetBusMode 12
    // SetEpromAddress 0 before the loop and again at a = 0: A15 (mask) on pin 7
    // and in port 4 bit 4, CE high, OE low.
    for (int twice = 0; twice < 2; ++twice)
        add(expected, {16, 0x5F, 17, 0x00, 18, 0xFF, 19, 0x01, 20, 0x12});
    expected.insert(expected.end(), 256, uint8_t{128});
    add(expected, {16, 0xFF, 17, 0xFF, 18, 0xFF, 19, 0xFF, 20, 0xFF}); // WriteAllLatches 255
    add(expected, {26, 0xFF});                                         // RouteVcc 0
    delay(expected, 10);
    add(expected, {27, 0x07});
    delay(expected, 10);

    EXPECT_EQ(bench.take(), expected);
}

TEST(EpromTrace, AddressLayoutsByPackage)
{
    // 2764 at 0: A13..A15 from the mask are 1 (PGM on pin 33 stays high).
    auto p = EpromPortLatchValues(0, 0u - 8 * 1024, 34);
    EXPECT_EQ(p[3] & 0xC0, 0xC0);
    EXPECT_EQ(p[0] & 0x40, 0x40);
    EXPECT_EQ(p, (std::array<uint8_t, 5>{0x5F, 0x00, 0xFF, 0xC1, 0x12}));
    // 27C010 at 0x12345: A0..A7 reversed in port 1; A16..A19 (mask) on 6, 5, 34, 35.
    p = EpromPortLatchValues(0x12345, 0u - 128 * 1024, 36);
    EXPECT_EQ(p, (std::array<uint8_t, 5>{0x3F, 0xA2, 0xFF, 0x71, 0x03}));
    // 2716: every bit above A10 is 1, so pin 29 (Vpp) and 32 (Vcc) read high.
    p = EpromPortLatchValues(0x7FF, 0u - 2048, 32);
    EXPECT_EQ(p, (std::array<uint8_t, 5>{0xFF, 0xFF, 0xFF, 0xFB, 0x33}));
}

// The chip's electronic signature through the window's ID button and a type
// dialog that never dispatched the chip: knowing no package, it powers pin 36
// only, so the 28-pin part is not powered and reads ff,ff.
TEST(EpromTrace, IdButtonShowsTheSignatureAndLeavesTheSocketAtRest)
{
    for (const auto& [variant, name, id] :
         {std::tuple{16, "AT27C010", "1e,05"}, std::tuple{17, "M27C2001", "20,61"},
          std::tuple{13, "AT27C256", "ff,ff"}}) {
        FamilyBench bench("P27", variant, name);
        TypeSelection selection(bench.link, bench.host, bench.families);
        bench.host.idReader = [&] {
            selection.ReadIdCode();
            return selection.idField;
        };
        bench.press("id");
        EXPECT_EQ(bench.w().idText(), id) << name;
        bench.expectIdle();
        EXPECT_EQ(bench.box->errorReport(), "") << name;
    }
}

} // namespace
} // namespace pontvex::eprom_test

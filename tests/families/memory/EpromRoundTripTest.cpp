#include "EpromBench.h"

#include <cstdio>
#include <numeric>

namespace pontvex::eprom_test {
namespace {

std::string hex8(uint32_t v)
{
    char text[16];
    std::snprintf(text, sizeof text, "%08x", v);
    return text;
}

struct Case {
    const char* key;
    int variant;
    const char* chip;
    int pins;
};

void PrintTo(const Case& c, std::ostream* os)
{
    *os << c.chip;
}

class EpromRoundTrip : public ::testing::TestWithParam<Case> {};

// Blank, Write from offsets, Verify, Read back, CheckSum: one chip of each
// package in each window, the socket idle and the monitor clean after each.
TEST_P(EpromRoundTrip, BlankWriteVerifyReadCheckSum)
{
    const Case& c = GetParam();
    Bench bench(c.key, c.variant, c.chip);
    ASSERT_NE(bench.chip, nullptr);
    ASSERT_EQ(bench.chip->pinCount(), c.pins);
    ASSERT_EQ(bench.w().message(), "OK ");
    EXPECT_EQ(
        bench.w().caption(), "0 to " + [&] {
            char t[16];
            std::snprintf(t, sizeof t, "%x", bench.size() - 1);
            return std::string(t);
        }());
    EXPECT_EQ(bench.host.endAddress(), bench.size() - 1);

    bench.press("blank");
    EXPECT_EQ(bench.w().message(), "Прв.ОК");
    EXPECT_EQ(bench.w().ErrorFlag(), 0);
    EXPECT_EQ(bench.box->errorReport(), "");
    bench.expectIdle();

    // An image that starts and ends inside 256-byte blocks and crosses two boundaries.
    const uint32_t length = 0x2A5, chipStart = 0x0F3 + (bench.size() > 0x800 ? 0x400 : 0),
                   bufferStart = 0x12345;
    const auto image = randomBytes(length, static_cast<uint32_t>(bench.size()));
    std::copy(image.begin(), image.end(), bench.buffer().data() + bufferStart);
    bench.w().editField("buffer-start", "12345");
    bench.w().editField("chip-start", [&] {
        char t[16];
        std::snprintf(t, sizeof t, "%x", chipStart);
        return std::string(t);
    }());
    bench.w().editField("length", [&] {
        char t[16];
        std::snprintf(t, sizeof t, "%x", length - 1);
        return std::string(t);
    }());

    std::vector<uint8_t> expected(bench.size(), 0xFF);
    std::copy(image.begin(), image.end(), expected.begin() + chipStart);
    const uint32_t chipSum = std::accumulate(expected.begin(), expected.end(), 0u);

    bench.press("write");
    EXPECT_EQ(bench.w().ErrorFlag(), 0);
    if (std::string(c.key) == "P27")
        EXPECT_EQ(bench.w().message(), "OK!");
    else // the electrically erasable windows sum the chip after a good write
        EXPECT_EQ(bench.w().message(), "Контрол.сумма  = " + hex8(chipSum));
    EXPECT_EQ(bench.w().addressText(), [&] {
        char t[16];
        std::snprintf(t, sizeof t, "%06x",
                      c.key == std::string("P27") ? chipStart + length - 1 : bench.size() - 1);
        return std::string(t);
    }());
    EXPECT_EQ(bench.box->errorReport(), "");
    bench.expectIdle();
    EXPECT_EQ(bench.chip->image(), expected);

    bench.press("verify");
    EXPECT_EQ(bench.w().message(), "Срав.ОК!");
    EXPECT_EQ(bench.w().ErrorFlag(), 0);
    bench.expectIdle();

    // Read always starts at chip address 0 and buffer offset 0.
    const uint32_t readEnd = chipStart + length + 0x20;
    std::fill_n(bench.buffer().data(), readEnd + 0x100, 0x00);
    bench.w().editField("length", [&] {
        char t[16];
        std::snprintf(t, sizeof t, "%x", readEnd);
        return std::string(t);
    }());
    const int pagesBefore = bench.host.pagesShown;
    bench.press("read");
    EXPECT_EQ(bench.w().message(), "Счт.ОК!");
    EXPECT_EQ(bench.host.pagesShown, pagesBefore + 1);
    EXPECT_TRUE(std::equal(expected.begin(), expected.begin() + readEnd + 1, bench.buffer().data()));
    EXPECT_EQ(bench.buffer()[readEnd + 1], 0x00) << "read past LastAddress";
    bench.expectIdle();

    bench.press("checksum");
    EXPECT_EQ(bench.w().message(), "Контрол.сумма  = " + hex8(chipSum));
    bench.expectIdle();
    EXPECT_EQ(bench.box->errorReport(), "");
}

INSTANTIATE_TEST_SUITE_P(Packages, EpromRoundTrip,
                         ::testing::Values(Case{"P27", 3, "2716", 24}, Case{"P27", 13, "27C256", 28},
                                           Case{"P27", 16, "AT27C010", 32}, Case{"PW27", 5, "W27E257", 28},
                                           Case{"PW27", 2, "W27E010", 32},
                                           Case{"SST27SF", 1, "SST27SF256", 28},
                                           Case{"SST27SF", 3, "SST27SF010", 32}),
                         [](const auto& info) { return std::string(info.param.chip); });

} // namespace
} // namespace pontvex::eprom_test

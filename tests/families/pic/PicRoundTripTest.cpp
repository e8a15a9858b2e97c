#include "support/FamilyBench.h"

#include "boxsim/chips/PicSerialCore.h"
#include "families/pic/TP16c8x.h"

namespace pontvex::pic_test {

namespace {

struct Row {
    int variant;
    const char* chip;
    uint32_t words;
};

void PrintTo(const Row& r, std::ostream* os)
{
    *os << r.chip;
}

// A random image as the chip can hold it: 14-bit words, little-endian.
std::vector<uint8_t> wordImage(uint32_t words, uint32_t seed)
{
    auto bytes = randomBytes(2 * words, seed);
    for (size_t a = 1; a < bytes.size(); a += 2)
        bytes[a] &= 0x3F;
    return bytes;
}

class PicRoundTrip : public testing::TestWithParam<Row> {};

// One part of every package and memory kind: erase a chip full of data,
// blank check, write, verify, read back with the checksum.
TEST_P(PicRoundTrip, EraseBlankWriteVerifyRead)
{
    const Row& r = GetParam();
    FamilyBench bench("P16C84", r.variant, r.chip);
    ASSERT_TRUE(bench.chip()->loadImage(wordImage(r.words, 7)));
    bench.press("erase");
    EXPECT_EQ(bench.w().message(), "ОК! ");
    EXPECT_EQ(bench.w().ErrorFlag(), 0);
    bench.press("blank");
    EXPECT_EQ(bench.w().message(), "ОК!  ");
    EXPECT_EQ(bench.w().ErrorFlag(), 0);

    auto image = randomBytes(2 * r.words, 11);
    std::copy(image.begin(), image.end(), bench.buffer().data());
    bench.press("write");
    EXPECT_EQ(bench.w().message(), "ОК! ");
    EXPECT_EQ(bench.w().ErrorFlag(), 0);
    // The write reduced the high bytes to the word's six bits in place.
    for (size_t a = 1; a < image.size(); a += 2)
        image[a] &= 0x3F;
    EXPECT_TRUE(std::equal(image.begin(), image.end(), bench.buffer().data()));
    EXPECT_EQ(bench.chipImage(), image);

    bench.press("verify");
    EXPECT_EQ(bench.w().message(), "OK");
    EXPECT_EQ(bench.w().ErrorFlag(), 0);
    EXPECT_EQ(bench.w().progressValue(), 2 * r.words - 1);

    std::fill_n(bench.buffer().data(), image.size(), 0xA5);
    bench.press("read");
    EXPECT_EQ(bench.w().ErrorFlag(), 0);
    EXPECT_TRUE(std::equal(image.begin(), image.end(), bench.buffer().data()));
    unsigned sum = 0;
    for (uint8_t b : image)
        sum += b;
    char expected[64];
    std::snprintf(expected, sizeof expected, "Считывание ОК, КСумма=  %04x", sum & 0xFFFF);
    EXPECT_EQ(bench.w().message(), expected);
    EXPECT_EQ(bench.as<TP16c8x>().ChecksumWord, sum & 0xFFFF);
}

INSTANTIATE_TEST_SUITE_P(Rows, PicRoundTrip,
                         testing::Values(Row{1, "PIC16C83", 512}, Row{2, "PIC16C84", 1024},
                                         Row{5, "PIC16F84A", 1024}, Row{4, "PIC16F83", 512},
                                         Row{7, "PIC16F873", 4096}, Row{8, "PIC16F874", 4096},
                                         Row{10, "PIC16F877", 8192}));

// The 40-pin rows' data line is RB7 on pin 40: the chip enters programming
// mode and takes the image (a data pin of 38 left RB7 floating high).
TEST(PicRows, FortyPinRowsReachRb7)
{
    FamilyBench bench("P16C84", 10, "PIC16F877");
    const auto image = wordImage(8192, 3);
    std::copy(image.begin(), image.end(), bench.buffer().data());
    bench.press("write");
    EXPECT_EQ(bench.model<boxsim::PicSerialCore>().cycles(), 8192);
    EXPECT_EQ(bench.chipImage(), image);
    for (const auto& p : bench.box->problems())
        EXPECT_NE(p.severity, boxsim::Severity::Error) << p.text;
}

TEST(PicRows, TableAndPackages)
{
    FamilyBench bench("P16C84", 7, "PIC16F873");
    auto& w = bench.as<TP16c8x>();
    ASSERT_EQ(w.rowCount(), 10);
    EXPECT_EQ(w.rowName(6), "6: PIC1FC86 (2k)");
    EXPECT_EQ(w.rowName(7), "7:PIC16F873 (4K)");
    EXPECT_EQ(w.idText(), "Тип - DIP28");
    EXPECT_EQ(bench.host.endAddress(), 8191);
    EXPECT_EQ(w.message(), "OK ");
    EXPECT_STREQ(PicSerialWindow::packageText(32), "Тип - DIP40");
    EXPECT_STREQ(PicSerialWindow::packageText(25), "Тип - DIP18");
}

} // namespace
} // namespace pontvex::pic_test

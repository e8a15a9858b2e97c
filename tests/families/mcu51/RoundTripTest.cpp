#include "Mcu51Bench.h"

namespace pontvex::mcu51_test {

namespace {

struct Case {
    const char* key;
    int variant;
    const char* chip;
    uint32_t size;
    const char* idText;
    const char* eraseOk;
    const char* blankOk;
    const char* writeEnd;
    const char* verifyOk;
    const char* readOk;
    const char* lockOk;
    int64_t endAddress; // -1: the chip's own
};

void PrintTo(const Case& c, std::ostream* os)
{
    *os << c.chip;
}

class RoundTrip : public testing::TestWithParam<Case> {};

// Erase, blank check, write a random image, verify, read it back, then lock
// with "Бит 1,2": reads give 0xFF and the window's lock check passes.
TEST_P(RoundTrip, EraseBlankWriteVerifyReadLock)
{
    const Case& c = GetParam();
    Bench bench(c.key, c.variant, c.chip);
    const uint32_t last = c.endAddress < 0 ? c.size - 1 : static_cast<uint32_t>(c.endAddress);
    if (c.endAddress >= 0)
        bench.host.setEndAddress(c.endAddress);
    const bool erasable = c.eraseOk != nullptr;
    if (erasable) {
        ASSERT_TRUE(bench.box->chip()->loadImage(randomBytes(c.size, 99)));
        bench.press("erase");
        EXPECT_EQ(bench.w().message(), c.eraseOk);
        EXPECT_EQ(bench.w().ErrorFlag(), 0);
    }
    bench.press("blank");
    EXPECT_EQ(bench.w().message(), c.blankOk);
    EXPECT_EQ(bench.w().ErrorFlag(), 0);

    const auto image = randomBytes(last + 1, 5);
    std::copy(image.begin(), image.end(), bench.buffer().data());
    bench.press("write");
    EXPECT_EQ(bench.w().message(), c.writeEnd);
    EXPECT_EQ(bench.w().ErrorFlag(), 0);
    bench.press("verify");
    EXPECT_EQ(bench.w().message(), c.verifyOk);
    EXPECT_EQ(bench.w().ErrorFlag(), 0);

    std::fill_n(bench.buffer().data(), c.size, 0x5A);
    bench.press("read");
    EXPECT_EQ(bench.w().message(), c.readOk);
    EXPECT_TRUE(std::equal(image.begin(), image.end(), bench.buffer().data()));
    const auto chip = bench.chipImage();
    EXPECT_TRUE(std::equal(image.begin(), image.end(), chip.begin()));
    EXPECT_TRUE(std::all_of(chip.begin() + last + 1, chip.end(), [](uint8_t b) { return b == 0xFF; }));

    bench.w().findOption("lock")->selected = 1; // "Бит 1,2"
    bench.press("lock");
    EXPECT_EQ(bench.w().message(), c.lockOk);
    EXPECT_EQ(bench.w().ErrorFlag(), 0);
    bench.press("read");
    EXPECT_TRUE(std::all_of(bench.buffer().data(), bench.buffer().data() + last + 1,
                            [](uint8_t b) { return b == 0xFF; }));

    bench.press("id");
    EXPECT_EQ(bench.w().message(), c.idText);
    EXPECT_EQ(bench.host.script().questions.size(), 0u);
    EXPECT_EQ(bench.box->errorReport(), "");
}

const Case kMustShow[] = {
    {"P89C51", 1, "AT89C51", 4096, "Код ИД =               1e,51,ff", "ОК! ", "ОК!  ",
     "Нет пустой микросхемы в прогр! ", "ОК!  ", "OK", "Защт.ОК! ", -1},
    {"P89C51", 3, "AT89C52", 8192, "Код ИД =               1e,52,ff", "ОК! ", "ОК!  ",
     "Нет пустой микросхемы в прогр! ", "ОК!  ", "OK", "Защт.ОК! ", -1},
    {"AT89S5X", 2, "AT89S52", 8192, "Код ИД =               1e,52,06", "ОК! ", "ОК!  ",
     "Нет пустой микросхемы в прогр! ", "ОК!  ", "OK", "end", -1},
    {"P2051", 2, "AT89C2051", 2048, "1e,21,ff", "Стиран.ОК! ", "ОК!  ", "Нет пустой микросхемы в прогр! ",
     "Сравн.ОК!", "Счит.ОК!        ", "Защт.ОК! ", -1},
};
INSTANTIATE_TEST_SUITE_P(MustShow, RoundTrip, testing::ValuesIn(kMustShow));

// The other windows, over the first 1 K only (the end address of the hex view
// limits every loop).
const Case kOtherWindows[] = {
    {"P89C51", 5, "AT89C55", 20480, "Код ИД =               1e,55,ff", "ОК! ", "ОК!  ",
     "Нет пустой микросхемы в прогр! ", "ОК!  ", "OK", "Защт.ОК! ", 0x3FF},
    {"AT89X8252", 1, "AT89S8252", 8192, "Код ИД =               1e,72,06", "ОК! ", "ОК!  ",
     "Нет пустой микросхемы в прогр! ", "ОК!  ", "OK", "Защт.ОК! ", 0x3FF},
    {"P89C5WD", 5, "AT89C55WD", 20480, "Код ИД =               1e,55,ff", "OK", "ОК!  ",
     "Нет пустой микросхемы в прогр! ", "ОК!  ", "OK", "OK", 0x3FF},
    {"AT89S5X", 3, "AT89S53", 12288, "Код ИД =               1e,53,ff", "ОК! ", "ОК!  ",
     "Нет пустой микросхемы в прогр! ", "ОК!  ", "OK", "end", 0x3FF},
    {"P2051", 3, "AT89C4051", 4096, "1e,41,ff", "Стиран.ОК! ", "ОК!  ", "Нет пустой микросхемы в прогр! ",
     "Сравн.ОК!", "Счит.ОК!        ", "Защт.ОК! ", 0x3FF},
    {"P97C2051", 2, "97C2051", 2048, "ff,ff", nullptr, "ОК!  ", "Выполнено!               ", "Сравн.ОК!",
     "Счит.ОК!        ", "Защт.ОК! ", 0x3FF},
};
INSTANTIATE_TEST_SUITE_P(OtherWindows, RoundTrip, testing::ValuesIn(kOtherWindows));

} // namespace

// The SST window programs at 5 V and writes the ticked security bits.
TEST(Sst89, WriteVerifyAndSecurityBits)
{
    Bench bench("SST895x", 2, "SST89C58");
    bench.host.setEndAddress(0x3FF);
    ASSERT_TRUE(bench.box->chip()->loadImage(randomBytes(0x8000, 3)));
    bench.press("erase");
    EXPECT_EQ(bench.w().message(), "OK!");
    auto image = randomBytes(0x400, 4);
    std::copy(image.begin(), image.end(), bench.buffer().data());
    bench.press("write");
    EXPECT_EQ(bench.w().message(), "Выполнено!                 ");
    bench.press("verify");
    EXPECT_EQ(bench.w().message(), "ОК!  ");
    bench.press("id");
    EXPECT_EQ(bench.w().message(), "Код ИД =               bf,e1");
    bench.w().findOption("SB2")->selected = 1;
    bench.press("lock");
    EXPECT_EQ(bench.w().message(), "Защита         ");
    EXPECT_EQ(bench.chip40()->lockBits(), 0x03);
    EXPECT_EQ(bench.box->errorReport(), "");
}

} // namespace pontvex::mcu51_test

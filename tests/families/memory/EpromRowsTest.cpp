// Every row of the three windows against the chip it names: the top of the
// chip written and verified (all high address bits 1), and the electrically
// erasable rows erased and blank-checked.
#include "support/FamilyBench.h"

#include "boxsim/chips/Eprom27.h"
#include "families/memory/EpromWindow.h"

namespace pontvex::eprom_test {
namespace {

struct RowCase {
    const char* key;
    int variant;
    const char* chip;
};

void PrintTo(const RowCase& c, std::ostream* os)
{
    *os << c.key << " " << c.variant << " " << c.chip;
}

class EveryRow : public ::testing::TestWithParam<RowCase> {};

TEST_P(EveryRow, WritesVerifiesAndErasesTheTopOfItsChip)
{
    const RowCase& c = GetParam();
    FamilyBench bench(c.key, c.variant, c.chip);
    ASSERT_EQ(bench.w().message(), "OK ");
    const uint32_t top = bench.size() - 0x30;
    const auto image = randomBytes(0x30, static_cast<uint32_t>(c.variant));
    std::copy(image.begin(), image.end(), bench.buffer().data() + 0x200);
    bench.fields(0x200, top, 0x2F);

    bench.press("write");
    EXPECT_EQ(bench.w().ErrorFlag(), 0) << bench.w().message();
    bench.expectIdle();
    EXPECT_EQ(bench.box->errorReport(), "");
    for (uint32_t i = 0; i < 0x30; ++i)
        ASSERT_EQ(bench.model<boxsim::Eprom27>().cell(top + i), image[i]) << std::hex << top + i;
    EXPECT_EQ(bench.model<boxsim::Eprom27>().programPulses(), 0x30);

    bench.press("verify");
    EXPECT_EQ(bench.w().message(), "Срав.ОК!");
    bench.expectIdle();

    if (bench.w().findButton("erase")) {
        bench.press("erase");
        EXPECT_EQ(bench.w().message(), "OK!");
        EXPECT_EQ(bench.w().ErrorFlag(), 0);
        EXPECT_EQ(bench.model<boxsim::Eprom27>().erases(), 1);
        bench.expectIdle();
        EXPECT_EQ(bench.box->errorReport(), "");
        bench.press("blank");
        EXPECT_EQ(bench.w().message(), "Прв.ОК");
    } else {
        bench.press("blank");
        EXPECT_EQ(bench.w().message(), FamilyBench::hex(top & ~0xFFu, "%06x") + ": Ошибка!  ");
    }
    bench.expectIdle();
}

INSTANTIATE_TEST_SUITE_P(
    Rows, EveryRow,
    ::testing::Values(
        RowCase{"P27", 1, "27C16"}, RowCase{"P27", 2, "2716-21V"}, RowCase{"P27", 3, "2716"},
        RowCase{"P27", 4, "27C32"}, RowCase{"P27", 5, "2732A"}, RowCase{"P27", 6, "2732"},
        RowCase{"P27", 7, "2764A"}, RowCase{"P27", 8, "2764"}, RowCase{"P27", 9, "2764-25V"},
        RowCase{"P27", 10, "27128A"}, RowCase{"P27", 11, "27128"}, RowCase{"P27", 12, "27128-25V"},
        RowCase{"P27", 13, "27C256"}, RowCase{"P27", 14, "27C512"}, RowCase{"P27", 15, "27C513"},
        RowCase{"P27", 16, "27C010"}, RowCase{"P27", 17, "27C020"}, RowCase{"P27", 18, "27C040"},
        RowCase{"P27", 19, "27C080"}, RowCase{"P27", 20, "M27256"}, RowCase{"P27", 21, "M27512"},
        RowCase{"PW27", 1, "W27E512"}, RowCase{"PW27", 2, "W27E010"}, RowCase{"PW27", 3, "W27E020"},
        RowCase{"PW27", 4, "W27E040"}, RowCase{"PW27", 5, "W27E257"}, RowCase{"SST27SF", 1, "SST27SF256"},
        RowCase{"SST27SF", 2, "SST27SF512"}, RowCase{"SST27SF", 3, "SST27SF010"},
        RowCase{"SST27SF", 4, "SST27SF020"}, RowCase{"SST27SF", 5, "SST27SF040"}),
    [](const auto& info) {
        std::string name = std::string(info.param.key) + "_" + std::to_string(info.param.variant);
        return name;
    });

// A chip on the row of another voltage keeps its cells: 12.5 V does not
// program a 25 V 2716, and 25 V on a 12.5 V part trips the monitor.
TEST(EveryRowVoltage, ARowOfTheWrongVoltageProgramsNothing)
{
    FamilyBench low("P27", 1, "2716", {.model = "2716"});
    low.fields(0, 0, 0x0F);
    std::fill_n(low.buffer().data(), 0x10, 0x00);
    low.press("write");
    EXPECT_EQ(low.w().message(), "000000:Ошиб! (Файл=00,Устр=ff)");
    EXPECT_EQ(low.model<boxsim::Eprom27>().refusedPulses(), 1);
    EXPECT_EQ(low.model<boxsim::Eprom27>().cell(0), 0xFF);
    low.expectIdle();

    FamilyBench high("P27", 3, "27C16", {.model = "27C16"});
    high.fields(0, 0, 0x0F);
    high.press("write");
    EXPECT_EQ(high.model<boxsim::Eprom27>().cell(0), 0xFF);
    EXPECT_NE(high.box->errorReport().find("above the 14000 mV"), std::string::npos)
        << high.box->errorReport();
    high.expectIdle();
}

} // namespace
} // namespace pontvex::eprom_test

// The GAL16V8/20V8 window against the simulated chips: every row's round
// trip through the fuse map, erase and blank, the failure texts, the
// security cell, the 22V10 row refused, Auto, and the bytes of a row.
#include "boxsim/chips/Gal.h"
#include "families/gal/TGALx.h"
#include "support/FamilyBench.h"

#include <algorithm>

namespace pontvex {
namespace {

using boxsim::GalChip;

struct Row {
    int variant;
    const char* name;
};

// A map as a design gives it: random array, XOR/AC0/AC1/SYN and signature;
// everything else '1'.
std::vector<uint8_t> designMap(int base, uint32_t seed)
{
    std::vector<uint8_t> map(6000, '1');
    auto random = randomBytes(static_cast<size_t>(base + 146), seed);
    for (int f = 0; f < base + 146; ++f)
        if (f < base || (f - base) < 80 || f - base >= 144)
            map[static_cast<size_t>(f)] = (random[static_cast<size_t>(f)] & 1) ? '1' : '0';
    return map;
}

void loadMap(FamilyBench& bench, const std::vector<uint8_t>& map)
{
    std::copy(map.begin(), map.end(), bench.buffer().data());
}

class GalRows : public testing::TestWithParam<Row> {};

TEST_P(GalRows, EraseBlankWriteVerifyReadGiveTheMapBack)
{
    FamilyBench bench("GAL3M", GetParam().variant, GetParam().name);
    auto& w = bench.as<TGALx>();
    EXPECT_EQ(bench.host.pldRowLength, w.row().RowLength);
    EXPECT_EQ(bench.host.pldRowCount, 64);
    EXPECT_FALSE(bench.host.hexView);
    const int base = w.base();
    auto& chip = bench.model<GalChip>();
    chip.writeMemory("fuses", std::vector<uint8_t>(static_cast<size_t>(chip.fuseCount()), 0));
    bench.press("erase");
    EXPECT_EQ(w.message(), "Стир.ОК!");
    bench.press("blank");
    EXPECT_EQ(w.message(), "Пр.ОК!");
    EXPECT_EQ(w.ErrorFlag(), 0);

    const auto map = designMap(base, static_cast<uint32_t>(GetParam().variant));
    loadMap(bench, map);
    bench.press("write");
    EXPECT_EQ(w.message(), "ОК! ");
    EXPECT_EQ(bench.box->errorReport(), "");
    const auto fuses = chip.readMemory("fuses");
    for (int f = 0; f < base + 146; ++f) {
        // The product-term disables are always written unprogrammed.
        const uint8_t expected = (f >= base + 80 && f < base + 144) ? 1 : (map[static_cast<size_t>(f)] & 1);
        ASSERT_EQ(fuses[static_cast<size_t>(f)], expected) << "fuse " << f;
    }
    bench.press("verify");
    EXPECT_EQ(w.message(), "Сравн.ОК!");
    EXPECT_EQ(w.ErrorFlag(), 0);

    std::fill_n(bench.buffer().data(), 6000, uint8_t{'0'});
    bench.press("read");
    EXPECT_EQ(w.message(), "Счит.ОК!        ");
    EXPECT_EQ(w.ErrorFlag(), 0);
    EXPECT_TRUE(std::equal(map.begin(), map.end(), bench.buffer().data()));
}

INSTANTIATE_TEST_SUITE_P(EveryRow, GalRows,
                         testing::Values(Row{1, "GAL16V8"}, Row{2, "GAL16V8A"}, Row{3, "GAL16V8B"},
                                         Row{4, "GAL20V8"}, Row{5, "GAL20V8A"}, Row{6, "GAL20V8B"},
                                         Row{8, "ATF16V8B"}, Row{9, "ATF20V8B"}, Row{10, "GAL16V8D"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Gal, FusesSitOnTheirRowBits)
{
    FamilyBench bench("GAL3M", 1, "GAL16V8");
    std::vector<uint8_t> map(6000, '1');
    map[33] = '0';         // bit 1 of row 1
    map[2048] = '0';       // XOR 0: architecture bit 0
    map[2048 + 145] = '0'; // AC0
    map[2048 + 144] = '0'; // SYN
    loadMap(bench, map);
    bench.press("write");
    const auto fuses = bench.model<GalChip>().readMemory("fuses");
    for (int f = 0; f < 2194; ++f)
        EXPECT_EQ(fuses[static_cast<size_t>(f)], (f == 33 || f == 2048 || f == 2192 || f == 2193) ? 0 : 1)
            << f;
}

TEST(Gal, ReadLeavesProductTermDisablesAndTheRestOne)
{
    FamilyBench bench("GAL3M", 4, "GAL20V8");
    auto& chip = bench.model<GalChip>();
    chip.writeMemory("fuses", std::vector<uint8_t>(static_cast<size_t>(chip.fuseCount()), 0));
    bench.press("read");
    const uint8_t* map = bench.buffer().data();
    const int base = 2560;
    EXPECT_TRUE(std::all_of(map, map + base + 80, [](uint8_t b) { return b == '0'; }));
    EXPECT_TRUE(std::all_of(map + base + 80, map + base + 144, [](uint8_t b) { return b == '1'; }));
    EXPECT_EQ(map[base + 144], '0');
    EXPECT_EQ(map[base + 145], '0');
    EXPECT_TRUE(std::all_of(map + base + 146, map + 6000, [](uint8_t b) { return b == '1'; }));
}

TEST(Gal, BlankStopsAtTheFirstProgrammedFuse)
{
    FamilyBench bench("GAL3M", 2, "GAL16V8A");
    auto& chip = bench.model<GalChip>();
    std::vector<uint8_t> fuses(static_cast<size_t>(chip.fuseCount()), 1);
    fuses[3 * 32 + 5] = 0; // bit 3 of row 5
    chip.writeMemory("fuses", fuses);
    bench.press("blank");
    EXPECT_EQ(bench.w().message(), "Ошибка!  !!");
    EXPECT_EQ(bench.w().ErrorFlag(), 1);
    EXPECT_EQ(bench.w().progressValue(), 64 * 3 + 5);
}

TEST(Gal, VerifyNamesTheCodesOfBothFuses)
{
    FamilyBench bench("GAL3M", 2, "GAL16V8A");
    auto& chip = bench.model<GalChip>();
    std::vector<uint8_t> fuses(static_cast<size_t>(chip.fuseCount()), 1);
    fuses[7 * 32 + 2] = 0;
    chip.writeMemory("fuses", fuses);
    loadMap(bench, std::vector<uint8_t>(6000, '1'));
    bench.press("verify");
    EXPECT_EQ(bench.w().message(), "出错:31,30");
    EXPECT_EQ(bench.w().ErrorFlag(), 1);
    EXPECT_EQ(bench.w().progressValue(), 64 * 2 + 7);
}

TEST(Gal, VerifyIgnoresSignatureAndProductTermDisablesButNotTheArchitecture)
{
    FamilyBench bench("GAL3M", 3, "GAL16V8B");
    auto& chip = bench.model<GalChip>();
    std::vector<uint8_t> fuses(static_cast<size_t>(chip.fuseCount()), 1);
    fuses[2048 + 8] = 0;  // signature bit 0
    fuses[2048 + 90] = 0; // a product-term disable
    chip.writeMemory("fuses", fuses);
    loadMap(bench, std::vector<uint8_t>(6000, '1'));
    bench.press("verify");
    EXPECT_EQ(bench.w().message(), "Сравн.ОК!");
    EXPECT_EQ(bench.w().ErrorFlag(), 0);
    bench.buffer().data()[2048 + 144] = '0'; // SYN
    bench.press("verify");
    EXPECT_EQ(bench.w().message(), "结构控制位出错!");
    EXPECT_EQ(bench.w().ErrorFlag(), 1);
}

TEST(Gal, OnlyBitZeroOfAMapByteCounts)
{
    FamilyBench bench("GAL3M", 5, "GAL20V8A");
    std::vector<uint8_t> map(6000, 0xFF);
    map[0] = 0x02; // even: a 0
    map[41] = 'A'; // odd: a 1
    map[1] = 0x00;
    loadMap(bench, map);
    bench.press("write");
    const auto fuses = bench.model<GalChip>().readMemory("fuses");
    EXPECT_EQ(fuses[0], 0);
    EXPECT_EQ(fuses[1], 0);
    EXPECT_EQ(fuses[41], 1);
    bench.press("verify");
    EXPECT_EQ(bench.w().message(), "Сравн.ОК!");
}

TEST(Gal, AFuseThatWillNotProgramFailsVerify)
{
    FamilyBench bench("GAL3M", 1, "GAL16V8");
    bench.model<GalChip>().addStuckFuse(100);
    loadMap(bench, std::vector<uint8_t>(6000, '0'));
    bench.press("write");
    bench.press("verify");
    EXPECT_EQ(bench.w().message(), "出错:30,31");
    // Fuse 100 is bit 3 of row 4.
    EXPECT_EQ(bench.w().progressValue(), 64 * 4 + 3);
}

TEST(Gal, SecurityHidesTheArrayAndEraseClearsIt)
{
    FamilyBench bench("GAL3M", 2, "GAL16V8A");
    auto& chip = bench.model<GalChip>();
    loadMap(bench, designMap(2048, 7));
    bench.press("write");
    bench.press("lock");
    EXPECT_EQ(bench.w().message(), "ОК! ");
    EXPECT_TRUE(chip.secured());
    const auto signature = std::vector<uint8_t>(bench.buffer().data() + 2056, bench.buffer().data() + 2120);
    bench.press("read");
    EXPECT_TRUE(
        std::all_of(bench.buffer().data(), bench.buffer().data() + 2048, [](uint8_t b) { return b == '1'; }));
    EXPECT_TRUE(std::equal(signature.begin(), signature.end(), bench.buffer().data() + 2056))
        << "the signature reads whatever the security cell";
    bench.press("erase");
    EXPECT_FALSE(chip.secured());
    bench.press("blank");
    EXPECT_EQ(bench.w().message(), "Пр.ОК!");
}

TEST(Gal, The22V10RowRefusesEveryCommand)
{
    FamilyBench bench("GAL3M", 7, "GAL22V10", {.seated = false});
    for (const char* command : {"read", "write", "blank", "erase", "verify", "lock"}) {
        bench.take();
        bench.press(command);
        EXPECT_EQ(bench.w().message(), "22V10: окно PLD  22v10") << command;
        EXPECT_EQ(bench.w().ErrorFlag(), 1) << command;
        EXPECT_EQ(bench.w().outcome(), Outcome::Refused) << command;
        const auto sent = bench.take();
        EXPECT_EQ(std::count(sent.begin(), sent.end(), uint8_t{18}), 0) << command << " sent row commands";
    }
}

TEST(Gal, WriteAndAutoWantThePldView)
{
    FamilyBench bench("GAL3M", 1, "GAL16V8");
    bench.host.pldView = false;
    bench.press("write");
    ASSERT_EQ(bench.host.script().boxes.size(), 1u);
    EXPECT_EQ(bench.host.script().boxes[0], "必须打开*.JED文件才能执行写操作！");
    EXPECT_EQ(bench.w().ErrorFlag(), 1);
    bench.press("auto");
    ASSERT_EQ(bench.host.script().messages.size(), 1u);
    EXPECT_EQ(bench.host.script().messages[0], "必须打开文件才能执行写操作！");
    EXPECT_EQ(bench.model<GalChip>().programmedRows(), 0);
}

TEST(Gal, AutoWithEveryStepSecuresLastAndCountsTheChip)
{
    FamilyBench bench("GAL3M", 6, "GAL20V8B");
    auto& w = bench.w();
    for (const char* step : {"AutoErase", "AutoBlank", "AutoWrite", "AutoVerify", "AutoLock"})
        w.findAutoStep(step)->checked = true;
    auto& chip = bench.model<GalChip>();
    chip.setSecured(true);
    loadMap(bench, designMap(2560, 3));
    bench.press("auto");
    EXPECT_EQ(w.message(), "Авто ОК!");
    EXPECT_EQ(bench.host.successCount, 1);
    EXPECT_TRUE(chip.secured());
    // Erase, 40 array rows, architecture, signature, security.
    EXPECT_EQ(chip.programmedRows(), 1 + 40 + 1 + 1 + 1);
}

TEST(Gal, AutoStopsAtAFailedBlankCheck)
{
    FamilyBench bench("GAL3M", 2, "GAL16V8A");
    auto& chip = bench.model<GalChip>();
    chip.writeMemory("fuses", std::vector<uint8_t>(static_cast<size_t>(chip.fuseCount()), 0));
    bench.press("auto");
    EXPECT_EQ(bench.w().message(), "Ошибка!  !!");
    EXPECT_EQ(bench.host.successCount, 0);
    EXPECT_EQ(chip.programmedRows(), 0);
}

TEST(Gal, TheOriginalLevelOnA12VoltPartIsAnError)
{
    FamilyBench bench("GAL3M", 1, "GAL16V8", {.model = "GAL16V8B"});
    bench.press("read");
    EXPECT_NE(bench.box->errorReport(), "");
}

TEST(Gal, RowBytesOfBothSignalSets)
{
    {
        FamilyBench bench("GAL3M", 1, "GAL16V8");
        auto& w = bench.as<TGALx>();
        bench.take();
        w.WriteRow(0x21, "10");
        auto sent = bench.take();
        ASSERT_GE(sent.size(), 2u);
        sent.erase(sent.begin(), sent.begin() + 2); // SetPin(22, 1)
        std::vector<uint8_t> expected{18, 29, 17, 0, 19, 12, 50, 49, 97, 98, 49, 97, 100};
        expected.insert(expected.end(), 100, 30);
        expected.push_back(52);
        EXPECT_EQ(sent, expected);
    }
    {
        FamilyBench bench("GAL3M", 4, "GAL20V8");
        auto& w = bench.as<TGALx>();
        bench.take();
        w.WriteRow(0x1E, "1");
        std::vector<uint8_t> expected{17, 4 + 8 + 16 + 128, 18, 40, 19, 16, 18, 44, 18, 46, 18, 44, 18, 36};
        expected.insert(expected.end(), 100, 30);
        expected.insert(expected.end(), {18, 44});
        EXPECT_EQ(bench.take(), expected);
    }
}

TEST(Gal, SelectionSetsTheRowsLevelAndLeavesTheSocketIdle)
{
    FamilyBench bench("GAL3M", 10, "GAL16V8D");
    EXPECT_EQ(bench.w().caption(), "10: GAL16V8D 10.0V");
    EXPECT_EQ(bench.w().message(), "OK ");
    EXPECT_EQ(bench.w().chipNameText(), "GAL16V8D");
    EXPECT_EQ(bench.w().progressMax(), 2048);
    EXPECT_EQ(bench.host.endAddress(), 2193) << "the last fuse of a GAL16V8";
}

TEST(Gal, ReadSetsEachRowAndClocksItsBitsOut)
{
    FamilyBench bench("GAL3M", 1, "GAL16V8");
    bench.take();
    bench.press("read");
    const auto sent = bench.take();
    // Row 31 of a 16V8: RA1..4 on latch 1, RA0 with P,/V low on latch 3, a
    // /STR pulse on latch 2, SDOUT high, then per bit a port read and a clock.
    std::vector<uint8_t> row31{17, 240, 19, 4, 18, 24, 18, 16, 18, 24};
    auto at = std::search(sent.begin(), sent.end(), row31.begin(), row31.end());
    ASSERT_NE(at, sent.end());
    at += static_cast<std::ptrdiff_t>(row31.size()) + 2; // SetPin(22, 1)
    for (int i = 0; i < 64; ++i, at += 3)
        ASSERT_EQ(std::vector<uint8_t>(at, at + 3), (std::vector<uint8_t>{3, 49, 97})) << "bit " << i;
    // The signature row, 32: RA5 on latch 2 bit 0.
    const std::vector<uint8_t> row32{17, 0, 19, 0, 18, 25, 18, 17, 18, 25};
    EXPECT_NE(std::search(sent.begin(), sent.end(), row32.begin(), row32.end()), sent.end());
}

TEST(Gal, OfflineCommandsOnlySayTheLinkIsDown)
{
    FamilyBench bench("GAL3M", 1, "GAL16V8");
    bench.link.goOffline();
    for (const char* command : {"read", "blank", "erase", "verify", "lock"}) {
        bench.press(command);
        EXPECT_EQ(bench.w().message(), "Ош.соедн!") << command;
        EXPECT_EQ(bench.w().ErrorFlag(), 1) << command;
    }
    bench.press("auto");
    EXPECT_EQ(bench.host.successCount, 0);
}

} // namespace
} // namespace pontvex

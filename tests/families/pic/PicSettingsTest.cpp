#include "support/FamilyBench.h"

#include "families/pic/PicSettings.h"
#include "families/pic/TP16c8x.h"

#include <filesystem>
#include <fstream>

namespace pontvex::pic_test {

namespace {

namespace fs = std::filesystem;

TEST(PicConfigWord, ControlsGiveTheWord)
{
    pic::ConfigOptions o;
    o.protect = true;
    o.watchdog = true;
    o.powerUpTimer = false;
    o.oscillator = 1;
    EXPECT_EQ(pic::configWord(o), 0x0005);
    o.protect = false;
    EXPECT_EQ(pic::configWord(o), 0x0015);
    o.powerUpTimer = true;
    o.oscillator = 3;
    EXPECT_EQ(pic::configWord(o), 0x001F);
    // An oscillator outside the group is never a bit pattern of its own.
    o.oscillator = 7;
    EXPECT_EQ(pic::configWord(o) & 3, 1);
    for (uint16_t w = 0; w < 0x20; ++w)
        EXPECT_EQ(pic::configWord(pic::optionsOf(w)), w);
}

TEST(PicConfigWord, IdLocationsCarryOneDigitEach)
{
    EXPECT_EQ(pic::idLocation(0x1234, 0), 0x01);
    EXPECT_EQ(pic::idLocation(0x1234, 1), 0x12);
    EXPECT_EQ(pic::idLocation(0x1234, 2), 0x23);
    EXPECT_EQ(pic::idLocation(0x1234, 3), 0x34);
    EXPECT_EQ(pic::idFromLocations(0x01, 0x12, 0x23, 0x34), 0x1234);
    EXPECT_EQ(pic::idFromLocations(0x3FF1, 0x3FF2, 0x3FF3, 0x3FF4), 0x1234);
}

TEST(PicSettingsRecord, WriteAndReadBack)
{
    pic::ConfigOptions o;
    o.protect = true;
    o.watchdog = false;
    o.powerUpTimer = true;
    o.oscillator = 2;
    EXPECT_EQ(pic::settingsRecord(o, "12ab"), "101212ab");
    // A short ID text is padded: the record keeps its eight characters.
    EXPECT_EQ(pic::settingsRecord(o, "f"), "1012000f");
    EXPECT_EQ(pic::settingsRecord(o, ""), "10120000");
    EXPECT_EQ(pic::settingsRecord(o, "123456"), "10121234");

    const pic::ConfigOptions back = pic::readSettingsRecord("101212ab");
    EXPECT_TRUE(back.protect);
    EXPECT_FALSE(back.watchdog);
    EXPECT_TRUE(back.powerUpTimer);
    EXPECT_EQ(back.oscillator, 2);
}

TEST(PicSettingsRecord, BadAndShortRecordsKeepTheRest)
{
    // Any character but "0" ticks a box; an oscillator digit outside 0..3
    // gives the default, never an index past the group.
    pic::ConfigOptions o = pic::readSettingsRecord("x0 9");
    EXPECT_TRUE(o.protect);
    EXPECT_FALSE(o.watchdog);
    EXPECT_TRUE(o.powerUpTimer);
    EXPECT_EQ(o.oscillator, pic::kDefaultOscillator);
    EXPECT_EQ(pic::readSettingsRecord("000\xff").oscillator, pic::kDefaultOscillator);
    EXPECT_EQ(pic::readSettingsRecord("000/").oscillator, pic::kDefaultOscillator);

    pic::ConfigOptions before;
    before.oscillator = 3;
    before.watchdog = true;
    o = pic::readSettingsRecord("1", before);
    EXPECT_TRUE(o.protect);
    EXPECT_TRUE(o.watchdog);
    EXPECT_EQ(o.oscillator, 3);
    o = pic::readSettingsRecord("", before);
    EXPECT_EQ(o.oscillator, 3);
}

class PicSideFile : public testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() /
              ("pontvex-pic-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
               testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    static std::string slurp(const fs::path& p)
    {
        std::ifstream in(p, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    fs::path dir;
};

// Read when the window takes the data file, written when it closes.
TEST_F(PicSideFile, ReadOnOpenWrittenOnClose)
{
    const fs::path data = dir / "prog.hex";
    std::ofstream(dir / "prog.CON", std::ios::binary) << "01029999";
    FamilyBench bench("P16C84", 5, "PIC16F84A");
    auto& w = bench.as<TP16c8x>();
    bench.host.dataFile = data.string();
    w.loadSideDocuments();
    EXPECT_FALSE(w.findFlag("sec")->checked);
    EXPECT_TRUE(w.findFlag("wdt")->checked);
    EXPECT_FALSE(w.findFlag("pwrt")->checked);
    EXPECT_EQ(w.option("osc"), 2);
    // The ID characters of the file are not read back.
    EXPECT_EQ(w.findValue("id")->text, "ffff");

    ASSERT_TRUE(w.editValue("id", "2a"));
    ASSERT_TRUE(w.setFlag("sec", true));
    w.close();
    EXPECT_EQ(slurp(dir / "prog.CON"), "1102002a");
}

// A data file that is itself a ".CON" file is never overwritten by settings.
TEST_F(PicSideFile, DataFileNamedLikeTheSettingsIsLeftAlone)
{
    const fs::path data = dir / "image.con";
    std::ofstream(data, std::ios::binary) << "\x01\x02\x03";
    FamilyBench bench("P16C84", 5, "PIC16F84A");
    bench.host.dataFile = data.string();
    bench.w().loadSideDocuments();
    EXPECT_EQ(bench.w().option("osc"), 1);
    bench.w().close();
    EXPECT_EQ(slurp(data), "\x01\x02\x03");
    EXPECT_FALSE(fs::exists(dir / "image.CON"));
}

} // namespace
} // namespace pontvex::pic_test

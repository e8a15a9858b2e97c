#include "core/Config.h"
#include "core/AppInfo.h"
#include "support/RecordingPrompt.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <unistd.h>

using namespace pontvex;
using namespace std::string_literals;
namespace fs = std::filesystem;

namespace {

class ConfigFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("pontvex-config-" + std::to_string(::getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
        path = (dir / kConfigFileName).string();
    }
    void TearDown() override { fs::remove_all(dir); }
    void write(const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }
    std::string read()
    {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    static SavedChoice sample()
    {
        SavedChoice c;
        c.categoryIndex = 2;
        c.AlgorithmKey = "P51";
        c.TypeTitle = "ATMEL: AT89C51";
        c.FileName = "/home/user/прошивка.hex";
        c.VariantIndex = 7;
        c.GroupName = "ATMEL";
        c.SectionPrefix = "#MPU";
        c.GroupIndex = 3;
        c.ChipIndex = 11;
        c.ChipName = "AT89C51";
        return c;
    }
    std::string goodFile()
    {
        return mainCaption() +
               "\r\n2\r\nP51\r\nATMEL: AT89C51\r\nx.bin\r\n7\r\nATMEL\r\n#MPU\r\n3\r\n11\r\nAT89C51\r\n";
    }

    fs::path dir;
    std::string path;
    RecordingPrompt prompt;
};

TEST(AppInfo, CaptionVersionMarkIsEighteenCharacters)
{
    EXPECT_EQ(utf8Prefix(mainCaption(), kVersionMarkLength), "Pontvex55 версия 1");
    EXPECT_EQ(utf8Prefix("ab", 18), "ab");
    // A broken sequence is cut byte by byte, never past the end.
    EXPECT_EQ(utf8Prefix("\xD0", 1), "\xD0");
    EXPECT_EQ(utf8Prefix("\xFF\xFE\x41", 2), "\xFF\xFE");
}

TEST_F(ConfigFile, RoundTripKeepsEveryFieldAndWritesElevenCrLfLines)
{
    ASSERT_TRUE(SaveConfig(path, mainCaption(), sample(), prompt));
    const std::string bytes = read();
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), 11);
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\r'), 11);
    EXPECT_EQ(bytes.substr(0, mainCaption().size() + 5), mainCaption() + "\r\n2\r\n");

    SavedChoice loaded;
    EXPECT_EQ(LoadConfig(path, mainCaption(), loaded, prompt), ConfigLoad::Loaded);
    EXPECT_EQ(loaded, sample());
    EXPECT_TRUE(prompt.shown.empty());
    EXPECT_FALSE(fs::exists(path + ".tmp"));
    // Nothing but the file itself: no temporary of any name is left.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}

TEST_F(ConfigFile, EmptyTextsAreEmptyLinesAndReadBack)
{
    SavedChoice empty;
    ASSERT_TRUE(SaveConfig(path, mainCaption(), empty, prompt));
    EXPECT_EQ(read(), mainCaption() + "\r\n0\r\n\r\n\r\n\r\n0\r\n\r\n\r\n0\r\n0\r\n\r\n");
    SavedChoice loaded = sample();
    EXPECT_EQ(LoadConfig(path, mainCaption(), loaded, prompt), ConfigLoad::Loaded);
    EXPECT_EQ(loaded, empty);
}

TEST_F(ConfigFile, MissingFileChangesNothingSilently)
{
    SavedChoice choice = sample();
    EXPECT_EQ(LoadConfig(path, mainCaption(), choice, prompt), ConfigLoad::NoFile);
    EXPECT_EQ(choice, sample());
    EXPECT_TRUE(prompt.shown.empty());
}

TEST_F(ConfigFile, OtherVersionShowsMessageAndKeepsDefaults)
{
    write("Pontvex55 версия 2.0 (other)\r\n2\r\nP51\r\n");
    SavedChoice choice;
    EXPECT_EQ(LoadConfig(path, mainCaption(), choice, prompt), ConfigLoad::OtherVersion);
    EXPECT_EQ(choice, SavedChoice{});
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0], "第一次运行新版本");
    // Only the first 18 characters matter.
    write(utf8Prefix(mainCaption(), 18) + " anything else\r\n" +
          goodFile().substr(goodFile().find('\n') + 1));
    EXPECT_EQ(LoadConfig(path, mainCaption(), choice, prompt), ConfigLoad::Loaded);
    EXPECT_EQ(choice.ChipName, "AT89C51");
}

TEST_F(ConfigFile, LfLineEndsNumbersWithTextAndLongLines)
{
    std::string file = goodFile();
    // Unix line ends read the same; "abc" as a number gives 0 as it always did.
    for (size_t p; (p = file.find("\r\n")) != std::string::npos;)
        file.replace(p, 2, "\n");
    file.replace(file.find("\n7\n"), 3, "\nabc\n");
    file.replace(file.find("x.bin"), 5, std::string(150, 'n'));
    file += "line twelve is ignored\n";
    write(file);
    SavedChoice choice;
    ASSERT_EQ(LoadConfig(path, mainCaption(), choice, prompt), ConfigLoad::Loaded);
    EXPECT_EQ(choice.VariantIndex, 0);
    EXPECT_EQ(choice.FileName, std::string(99, 'n'));
    EXPECT_EQ(choice.GroupName, "ATMEL");
}

TEST_F(ConfigFile, SectionPrefixKeepsTwentyCharacters)
{
    SavedChoice choice = sample();
    choice.SectionPrefix = std::string(30, 'S');
    ASSERT_TRUE(SaveConfig(path, mainCaption(), choice, prompt));
    SavedChoice loaded;
    LoadConfig(path, mainCaption(), loaded, prompt);
    EXPECT_EQ(loaded.SectionPrefix, std::string(20, 'S'));
}

TEST_F(ConfigFile, DamagedFilesKeepDefaultsAndNameTheLine)
{
    const std::string good = goodFile();
    struct Case {
        std::string bytes;
        int line;
    };
    const std::string head = mainCaption() + "\r\n";
    const Case cases[] = {
        {head + "2\r\nP51\r\n", 4},                                           // truncated
        {head + "9\r\nP51\r\nT\r\nf\r\n0\r\nG\r\n#E\r\n0\r\n0\r\nC\r\n", 2},  // category out of range
        {head + "-1\r\nP51\r\nT\r\nf\r\n0\r\nG\r\n#E\r\n0\r\n0\r\nC\r\n", 2}, // negative
        {head + "1\r\nP51\r\nT\r\nf\r\n99999999999999999999\r\nG\r\n#E\r\n0\r\n0\r\nC\r\n", 6},
        {head + "1\r\nP51\r\nT\r\nf\r\n0\r\nG\r\n#E\r\n0\r\n-5\r\nC\r\n", 10},
        {head + "1\r\nP\0\x01\x02\r\nT\r\nf\r\n0\r\nG\r\n#E\r\n0\r\n0\r\nC\r\n"s, 3}, // binary
        {head + "1\r\nP51\r\n\xFF\xFE\r\nf\r\n0\r\nG\r\n#E\r\n0\r\n0\r\nC\r\n", 4},   // not UTF-8
    };
    for (const auto& c : cases) {
        write(c.bytes);
        SavedChoice choice;
        prompt.shown.clear();
        EXPECT_EQ(LoadConfig(path, mainCaption(), choice, prompt), ConfigLoad::Damaged) << c.line;
        EXPECT_EQ(choice, SavedChoice{}) << c.line;
        ASSERT_EQ(prompt.shown.size(), 1u);
        EXPECT_EQ(prompt.shown[0], damagedConfigMessage(path, c.line));
    }
}

TEST_F(ConfigFile, PureBinaryAndEmptyFilesAreAnotherVersion)
{
    std::string noise;
    for (int i = 0; i < 4096; ++i)
        noise += static_cast<char>((i * 37) & 0xFF);
    for (const std::string& bytes : {noise, std::string()}) {
        write(bytes);
        SavedChoice choice;
        prompt.shown.clear();
        EXPECT_EQ(LoadConfig(path, mainCaption(), choice, prompt), ConfigLoad::OtherVersion);
        EXPECT_EQ(choice, SavedChoice{});
    }
}

// Random tails behind a good caption line: never a crash, and whatever is
// taken stays inside the limits the rest of the program relies on.
TEST_F(ConfigFile, RandomTailsAreReadSafely)
{
    std::mt19937 random(99);
    int loaded = 0;
    for (int round = 0; round < 400; ++round) {
        std::string bytes = mainCaption() + "\r\n";
        const int length = static_cast<int>(random() % 120);
        for (int i = 0; i < length; ++i) {
            const int pick = static_cast<int>(random() % 10);
            const char any =
                round % 2 ? static_cast<char>(random()) : static_cast<char>(0x20 + random() % 95);
            if (pick < 2)
                bytes += '\n';
            else if (pick < 6)
                bytes += static_cast<char>('0' + random() % 10);
            else
                bytes += any;
        }
        write(bytes);
        SavedChoice choice;
        prompt.shown.clear();
        const ConfigLoad result = LoadConfig(path, mainCaption(), choice, prompt);
        if (result == ConfigLoad::Loaded) {
            ++loaded;
            EXPECT_TRUE(prompt.shown.empty());
            EXPECT_GE(choice.categoryIndex, 0);
            EXPECT_LT(choice.categoryIndex, kCategoryCount);
            EXPECT_LE(choice.SectionPrefix.size(), 4 * kSectionPrefixLimit);
            EXPECT_LE(choice.FileName.size(), 4 * kConfigLineLimit);
        } else {
            EXPECT_EQ(result, ConfigLoad::Damaged);
            EXPECT_EQ(choice, SavedChoice{});
            EXPECT_EQ(prompt.shown.size(), 1u);
        }
    }
    EXPECT_GT(loaded, 0);
}

TEST_F(ConfigFile, UnwritableDirectoryTellsTheUserAndKeepsTheOldFile)
{
    // A folder that cannot take the file (it does not exist; for root, whom
    // permissions do not stop, this is the only reliable way).
    const std::string nowhere = (dir / "missing" / kConfigFileName).string();
    EXPECT_FALSE(SaveConfig(nowhere, mainCaption(), sample(), prompt));
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_NE(prompt.shown[0].find(nowhere), std::string::npos);

    // A target that cannot be replaced keeps what it was.
    fs::create_directories(path);
    prompt.shown.clear();
    EXPECT_FALSE(SaveConfig(path, mainCaption(), sample(), prompt));
    EXPECT_EQ(prompt.shown.size(), 1u);
    EXPECT_TRUE(fs::is_directory(path));
    EXPECT_FALSE(fs::exists(path + ".tmp"));
    // Nothing but the file itself: no temporary of any name is left.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}

} // namespace

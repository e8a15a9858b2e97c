// The simulated socket's files: option values, regions, images in and dumps out.

#include "boxsim/SocketFiles.h"
#include "boxsim/chips/Registry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

namespace pontvex::boxsim {
namespace {

namespace fs = std::filesystem;
using Kind = SocketFileError::Kind;

// A chip with 14-bit words in two memories, as a serial microcontroller has
// them: the shapes the 8-bit models cannot show (two bytes a word, bits above
// the word).
class WideWordChip : public ChipModel {
public:
    std::string name() const override { return "WIDE14"; }
    int pinCount() const override { return 18; }
    int vccPin() const override { return 14; }
    int gndPin() const override { return 5; }
    void onPins(ChipIo&) override {}
    std::vector<MemoryInfo> memories() const override
    {
        return {{"code", 14, 16, "program memory"}, {"config", 14, 1, "configuration word"}};
    }
    std::vector<uint8_t> readMemory(const std::string& name) const override
    {
        const auto m = findMemory(name);
        return m ? contents.at(m->name) : std::vector<uint8_t>{};
    }
    bool writeMemory(const std::string& name, std::span<const uint8_t> bytes) override
    {
        const auto m = findMemory(name);
        if (!m || !fitsMemory(*m, bytes))
            return false;
        std::copy(bytes.begin(), bytes.end(), contents[m->name].begin());
        return true;
    }
    std::map<std::string, std::vector<uint8_t>> contents{{"code", std::vector<uint8_t>(32, 0xFF)},
                                                         {"config", {0xFF, 0x3F}}};
};

class SocketFilesTest : public testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "pontvex-socket-files-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir = pattern;
    }
    void TearDown() override
    {
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }
    std::string path(const std::string& name) const { return (dir / name).string(); }
    std::string write(const std::string& name, const std::vector<uint8_t>& bytes) const
    {
        std::ofstream(path(name), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return path(name);
    }
    std::vector<uint8_t> read(const std::string& name) const
    {
        std::ifstream in(path(name), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    static SocketFiles files(const std::vector<std::string>& images,
                             const std::vector<std::string>& dumps = {})
    {
        SocketFiles f;
        for (const auto& i : images)
            EXPECT_FALSE(f.addImage(i)) << i;
        for (const auto& d : dumps)
            EXPECT_FALSE(f.addDump(d)) << d;
        return f;
    }

    fs::path dir;
};

TEST(SocketFileValue, RegionBeforeTheFirstEqualsSignWhenItIsAName)
{
    const auto region = [](const std::string& value) { return parseSocketFile(value)->region; };
    const auto file = [](const std::string& value) { return parseSocketFile(value)->path; };
    EXPECT_EQ(region("lock=lock.bin"), "lock");
    EXPECT_EQ(file("lock=lock.bin"), "lock.bin");
    EXPECT_EQ(region("data-eeprom_2=x"), "data-eeprom_2");
    EXPECT_EQ(file("code=a=b.bin"), "a=b.bin"); // only the first '=' separates
    // Without a region: the main memory, the whole value a file name.
    EXPECT_EQ(region("image.bin"), "");
    EXPECT_EQ(file("image.bin"), "image.bin");
    for (const char* path : {"./a=b.bin", "dir/lock=x.bin", "/tmp/x y=z", "a.b=c"}) {
        EXPECT_EQ(region(path), "") << path;
        EXPECT_EQ(file(path), path);
    }
    for (const char* bad : {"", "lock=", "=image.bin"})
        EXPECT_FALSE(parseSocketFile(bad)) << bad;
}

TEST(SocketFileValue, ARegionGivenTwiceToOneOptionIsAUsageError)
{
    SocketFiles f;
    EXPECT_FALSE(f.addImage("code.bin"));
    EXPECT_FALSE(f.addImage("lock=l.bin"));
    EXPECT_FALSE(f.addDump("lock=l.out")); // the other option may name it again
    EXPECT_FALSE(f.addDump("code.out"));

    auto twice = f.addImage("LOCK=other.bin"); // names are case-blind
    ASSERT_TRUE(twice);
    EXPECT_EQ(twice->kind, Kind::Usage);
    EXPECT_NE(twice->message.find("--socket-image"), std::string::npos) << twice->message;
    EXPECT_NE(twice->message.find("given twice"), std::string::npos) << twice->message;
    twice = f.addDump("again.out");
    ASSERT_TRUE(twice);
    EXPECT_EQ(twice->kind, Kind::Usage);
    EXPECT_NE(twice->message.find("--socket-dump"), std::string::npos) << twice->message;
    const auto bad = f.addImage("lock=");
    ASSERT_TRUE(bad);
    EXPECT_EQ(bad->kind, Kind::Usage);
    EXPECT_EQ(f.images().size(), 2u);
    EXPECT_EQ(f.dumps().size(), 2u);
}

TEST(SocketFileValue, ShapeTextCountsWordsBitsAndBytes)
{
    EXPECT_EQ(memoryShapeText({"config", 14, 1, ""}), "config holds 1 word of 14 bits (2 bytes)");
    EXPECT_EQ(memoryShapeText({"code", 8, 4096, ""}), "code holds 4096 words of 8 bits (4096 bytes)");
    EXPECT_EQ(memoryShapeText({"fuses", 1, 1, ""}), "fuses holds 1 word of 1 bit (1 byte)");
}

TEST_F(SocketFilesTest, AnEightyFiftyOnesCodeAndLockRoundTrip)
{
    std::vector<uint8_t> code(0x800);
    for (size_t i = 0; i < code.size(); ++i)
        code[i] = static_cast<uint8_t>(i * 7 + (i >> 8));
    write("code.bin", code);
    write("lock.bin", {0x05});
    auto chip = makeChipModel("AT89C51");
    ASSERT_TRUE(chip);
    // Without REGION= the image is the main memory, here "code".
    const SocketFiles f =
        files({path("code.bin"), "lock=" + path("lock.bin")}, {"Lock=" + path("lock.out"), path("code.out")});
    ASSERT_FALSE(f.checkRegions(*chip));
    ASSERT_FALSE(f.loadImages(*chip));
    const auto inChip = chip->readMemory("code");
    ASSERT_EQ(inChip.size(), 0x1000u);
    EXPECT_TRUE(std::equal(code.begin(), code.end(), inChip.begin()));
    EXPECT_TRUE(std::all_of(inChip.begin() + 0x800, inChip.end(), [](uint8_t b) { return b == 0xFF; }))
        << "a shorter image leaves the rest erased";
    EXPECT_EQ(chip->readMemory("lock"), std::vector<uint8_t>{0x05});

    ASSERT_TRUE(chip->writeMemory("lock", std::vector<uint8_t>{0x07}));
    EXPECT_TRUE(f.saveDumps(chip.get()).empty());
    EXPECT_EQ(read("code.out"), inChip);
    EXPECT_EQ(read("lock.out"), std::vector<uint8_t>{0x07});
}

TEST_F(SocketFilesTest, WordsWiderThanAByteAreLittleEndian)
{
    WideWordChip chip;
    write("code.bin", {0x34, 0x12, 0xFF, 0x3F, 0x00, 0x00});
    write("config.bin", {0xF1, 0x3F});
    const SocketFiles f =
        files({path("code.bin"), "config=" + path("config.bin")}, {"config=" + path("c.out")});
    ASSERT_FALSE(f.loadImages(chip));
    EXPECT_EQ(chip.contents["code"][0], 0x34);
    EXPECT_EQ(chip.contents["code"][1], 0x12);
    EXPECT_EQ(chip.contents["code"][5], 0x00);
    EXPECT_EQ(chip.contents["code"][6], 0xFF);
    EXPECT_TRUE(f.saveDumps(&chip).empty());
    EXPECT_EQ(read("c.out"), (std::vector<uint8_t>{0xF1, 0x3F}));
}

TEST_F(SocketFilesTest, RegionsTheModelLacksAreUsageErrorsNamingItsMemories)
{
    auto chip = makeChipModel("AT89C51");
    write("x.bin", {0});
    auto error = files({"fuses=" + path("x.bin")}).checkRegions(*chip);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind, Kind::Usage);
    EXPECT_NE(error->message.find("AT89C51 has no memory \"fuses\" (its memories: code, lock)"),
              std::string::npos)
        << error->message;
    EXPECT_EQ(error->path, path("x.bin")); // the GUI names the file
    // The same for a dump, found before the run.
    error = files({}, {"id=" + path("id.out")}).checkRegions(*chip);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind, Kind::Usage);
    EXPECT_NE(error->message.find("--socket-dump"), std::string::npos) << error->message;
    // The main memory by name and without REGION= is one region given twice.
    error = files({path("x.bin"), "CODE=" + path("x.bin")}).checkRegions(*chip);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind, Kind::Usage);
    EXPECT_NE(error->message.find("given twice"), std::string::npos) << error->message;
    // A chip without memories has no main memory either.
    auto bare = makeChipModel("TEST40");
    error = files({path("x.bin")}).loadImages(*bare);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind, Kind::Usage);
    EXPECT_NE(error->message.find("TEST40 has no memory"), std::string::npos) << error->message;
    EXPECT_FALSE(fs::exists(path("id.out")));
}

TEST_F(SocketFilesTest, ImagesThatDoNotFitAreFileErrorsNamingTheShape)
{
    WideWordChip chip;
    const auto misfit = [&](const std::vector<uint8_t>& bytes) {
        write("config.bin", bytes);
        auto error = files({"config=" + path("config.bin")}).loadImages(chip);
        EXPECT_TRUE(error);
        if (!error)
            return std::string();
        EXPECT_EQ(error->kind, Kind::File);
        EXPECT_EQ(error->path, path("config.bin"));
        EXPECT_NE(error->message.find("config holds 1 word of 14 bits (2 bytes)"), std::string::npos)
            << error->message;
        return error->message;
    };
    EXPECT_NE(misfit({0xFF, 0x3F, 0xFF, 0x3F}).find("the file has 4 bytes"), std::string::npos);
    EXPECT_NE(misfit({0xFF}).find("not whole words of 2 bytes"), std::string::npos);
    EXPECT_NE(misfit({0xFF, 0x40}).find("word 0 (byte 0 of the file) has bits above its 14"),
              std::string::npos);
    EXPECT_EQ(chip.contents["config"], (std::vector<uint8_t>{0xFF, 0x3F})) << "nothing loaded";

    auto lockChip = makeChipModel("AT89C2051");
    write("lock.bin", {0x08}); // three lock bits
    const auto error = files({"lock=" + path("lock.bin")}).loadImages(*lockChip);
    ASSERT_TRUE(error);
    EXPECT_NE(error->message.find("lock holds 1 word of 3 bits (1 byte)"), std::string::npos)
        << error->message;
}

TEST_F(SocketFilesTest, WhenOneImageFailsNoneIsLoaded)
{
    auto chip = makeChipModel("AT89C51");
    write("code.bin", std::vector<uint8_t>(16, 0x00));
    write("lock.bin", {0x01, 0x01});
    EXPECT_TRUE(files({path("code.bin"), "lock=" + path("lock.bin")}).loadImages(*chip));
    EXPECT_EQ(chip->readMemory("code"), std::vector<uint8_t>(0x1000, 0xFF));
    EXPECT_EQ(chip->readMemory("lock"), std::vector<uint8_t>{0});
}

TEST_F(SocketFilesTest, UnreadableFilesAreFileErrorsWithTheSystemsReason)
{
    auto chip = makeChipModel("AT89C51");
    auto error = files({path("missing.bin")}).loadImages(*chip);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind, Kind::File);
    EXPECT_EQ(error->path, path("missing.bin"));
    EXPECT_NE(error->message.find(path("missing.bin") + ": " + std::strerror(ENOENT)), std::string::npos)
        << error->message;
    error = files({"lock=" + dir.string()}).loadImages(*chip);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind, Kind::File);
    EXPECT_NE(error->message.find("it is a directory"), std::string::npos) << error->message;
}

TEST_F(SocketFilesTest, ADumpThatFailsLeavesTheOthersWritten)
{
    auto chip = makeChipModel("AT89C51");
    const SocketFiles f = files({}, {path("no/such/dir/code.out"), "lock=" + path("lock.out")});
    const auto errors = f.saveDumps(chip.get());
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].kind, Kind::File);
    EXPECT_EQ(errors[0].path, path("no/such/dir/code.out"));
    EXPECT_NE(errors[0].message.find("cannot write " + path("no/such/dir/code.out")), std::string::npos)
        << errors[0].message;
    EXPECT_EQ(read("lock.out"), std::vector<uint8_t>{0});

    // An empty socket saves nothing, and says so for every dump.
    const auto empty = f.saveDumps(nullptr);
    ASSERT_EQ(empty.size(), 2u);
    EXPECT_EQ(empty[1].kind, Kind::Usage);
    EXPECT_NE(empty[1].message.find("holds no chip"), std::string::npos) << empty[1].message;
    EXPECT_TRUE(files({}).saveDumps(nullptr).empty());
}

} // namespace
} // namespace pontvex::boxsim

// JEDEC files written by other tools: jedutil turns the fuse maps made here
// into JEDEC files and reads ours back; a compiler's GAL20V8 file with notes
// and test vectors is kept in the shared corpus. Each must load to the map
// jedutil reads, and our file of that map must be one jedutil accepts.
#include "files/Jedec.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <unistd.h>
#include <vector>

using namespace pontvex;
namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void writeFile(const fs::path& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

// jedutil's binary form: the fuse count as four bytes, most significant
// first, then the fuses eight to a byte, the lowest fuse in bit 0.
std::string toJedutilBin(const std::vector<uint8_t>& fuses)
{
    const auto n = static_cast<uint32_t>(fuses.size());
    std::string bin{static_cast<char>(n >> 24), static_cast<char>(n >> 16), static_cast<char>(n >> 8),
                    static_cast<char>(n)};
    bin.append((fuses.size() + 7) / 8, '\0');
    for (size_t i = 0; i < fuses.size(); ++i)
        if (fuses[i] & 1)
            bin[4 + i / 8] = static_cast<char>(bin[4 + i / 8] | (1 << (i % 8)));
    return bin;
}

std::vector<uint8_t> fromJedutilBin(const std::vector<uint8_t>& bin)
{
    if (bin.size() < 4)
        return {};
    const uint32_t n = (uint32_t{bin[0]} << 24) | (uint32_t{bin[1]} << 16) | (uint32_t{bin[2]} << 8) | bin[3];
    std::vector<uint8_t> fuses(n);
    for (uint32_t i = 0; i < n && 4 + i / 8 < bin.size(); ++i)
        fuses[i] = ((bin[4 + i / 8] >> (i % 8)) & 1) ? '1' : '0';
    return fuses;
}

class JedecTools : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("pontvex-jedec-" + std::to_string(::getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    static bool haveJedutil() { return std::system("command -v jedutil >/dev/null 2>&1") == 0; }

    void run(const std::string& command)
    {
        const std::string line = "cd " + dir.string() + " && " + command + " >tool.log 2>&1";
        const int status = std::system(line.c_str());
        const std::vector<uint8_t> log = readFile(dir / "tool.log");
        ASSERT_EQ(status, 0) << command << "\n" << std::string(log.begin(), log.end());
    }

    // The fuse map jedutil reads from a JEDEC file.
    std::vector<uint8_t> jedutilReads(const std::string& jed)
    {
        run("jedutil -convert " + jed + " expected.bin");
        return fromJedutilBin(readFile(dir / "expected.bin"));
    }

    // Loads jed, which jedutil reads to expected; then saves the map as the
    // chosen device and has jedutil read that back.
    void loadsLikeJedutil(const std::string& jed, const std::vector<uint8_t>& expected, const char* device)
    {
        const std::vector<uint8_t> text = readFile(dir / jed);
        std::vector<uint8_t> map(8000, 'x');
        const JedecReadReport report = ReadJedecFuses(text, map);
        EXPECT_FALSE(report.badField || report.unterminated || report.noHeader || report.outside);
        EXPECT_FALSE(report.checksumWrong()) << std::hex << report.checksum << " " << report.computed;
        ASSERT_EQ(report.MapSize, static_cast<int64_t>(expected.size()));
        EXPECT_EQ(std::string(map.begin(), map.begin() + report.MapSize),
                  std::string(expected.begin(), expected.end()));

        std::string ours;
        WriteJedecFuses(ours, map, JedecLayoutFor(device, 32, report.MapSize));
        writeFile(dir / "ours.jed", ours);
        const std::vector<uint8_t> back = jedutilReads("ours.jed");
        EXPECT_EQ(std::string(back.begin(), back.end()), std::string(expected.begin(), expected.end()));
    }

    // Has jedutil write a JEDEC file of fuses, then checks the round trip.
    void throughJedutil(const std::vector<uint8_t>& fuses, const char* device)
    {
        writeFile(dir / "made.bin", toJedutilBin(fuses));
        run("jedutil -convert made.bin made.jed");
        loadsLikeJedutil("made.jed", fuses, device);
    }

    fs::path dir;
};

#define NEED_JEDUTIL()                                                                                       \
    if (!haveJedutil())                                                                                      \
    GTEST_SKIP() << "jedutil is not installed"

std::vector<uint8_t> filled(size_t n, char c)
{
    return std::vector<uint8_t>(n, static_cast<uint8_t>(c));
}

} // namespace

TEST_F(JedecTools, RandomAllZeroAndAllOneMaps)
{
    NEED_JEDUTIL();
    std::mt19937 random(20);
    for (const auto& [n, device] : {std::pair<size_t, const char*>{2194, "GAL16V8"}, {2706, "GAL20V8"}}) {
        SCOPED_TRACE(device);
        std::vector<uint8_t> map(n);
        for (auto& f : map)
            f = (random() & 1) ? '1' : '0';
        throughJedutil(map, device);
        throughJedutil(filled(n, '0'), device);
        throughJedutil(filled(n, '1'), device);
    }
}

TEST_F(JedecTools, DesignLikeMapsWithUnusedRowsAndGroupsAcrossRows)
{
    NEED_JEDUTIL();
    // A 20V8 design: product terms in a few rows, unused rows all 0 (which
    // jedutil leaves out of its L fields), runs of 1 that cross row and
    // 8-fuse group boundaries, and the architecture fuses at the end.
    std::vector<uint8_t> map = filled(2706, '0');
    std::mt19937 random(7);
    for (int row : {0, 1, 2, 9, 10, 31, 63})
        for (int c = 0; c < 40; ++c)
            map[static_cast<size_t>(row * 40 + c)] = (random() % 3) ? '1' : '0';
    for (size_t i = 1275; i < 1301; ++i)
        map[i] = '1';
    for (size_t i = 2560; i < 2706; i += 3)
        map[i] = '1';
    throughJedutil(map, "GAL20V8");
}

TEST_F(JedecTools, DefaultStatesF0AndF1)
{
    NEED_JEDUTIL();
    // L fields name a few fuses; the rest take the F state.
    const std::string body = "made here*\nQF2194*\n%s*\nL0000 10101*\nL0030 0110011*\nL2190 0101*\n";
    for (const char* state : {"F0", "F1"}) {
        SCOPED_TRACE(state);
        char text[256];
        std::snprintf(text, sizeof text, body.c_str(), state);
        writeFile(dir / "defaults.jed", std::string("\x02") + text + "\x03" + "0000");
        const std::vector<uint8_t> expected = jedutilReads("defaults.jed");
        ASSERT_EQ(expected.size(), 2194u);
        EXPECT_EQ(expected[100], state[1]);
        loadsLikeJedutil("defaults.jed", expected, "GAL16V8");
    }
}

TEST_F(JedecTools, CompilerFileWithNotesAndVectors)
{
    NEED_JEDUTIL();
    const fs::path corpus =
        fs::path(PONTVEX_SOURCE_DIR) / "tests/files/data/gal20v8_cupl_vectors_ue14500_clklow.jed";
    std::vector<uint8_t> lf = readFile(corpus);
    ASSERT_FALSE(lf.empty()) << corpus;
    // The compiler wrote CR LF line ends, over which its transmission
    // checksum is taken; jedutil checks that sum, so it reads the CR LF form.
    std::string crlf;
    for (uint8_t c : lf) {
        if (c == '\n')
            crlf += '\r';
        crlf += static_cast<char>(c);
    }
    writeFile(dir / "crlf.jed", crlf);
    writeFile(dir / "lf.jed", std::string(lf.begin(), lf.end()));
    const std::vector<uint8_t> expected = jedutilReads("crlf.jed");
    ASSERT_EQ(expected.size(), 2706u);
    loadsLikeJedutil("crlf.jed", expected, "GAL20V8");
    loadsLikeJedutil("lf.jed", expected, "GAL20V8");
}

// JEDEC files through the command line: converted both ways, checked against
// jedutil where it is installed, and faults told without losing the map.
#include "CliRunner.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::vector<uint8_t> bytes(const std::string& text)
{
    return {text.begin(), text.end()};
}

std::string text(const std::vector<uint8_t>& data)
{
    return {data.begin(), data.end()};
}

TEST(CliJedec, ConvertsToFuseBytesAndBackToAFileJedutilReads)
{
    CliSandbox box;
    box.writeFile("in.jed",
                  bytes("\x02 design*\r\nQF12*\r\nN note 1111*\r\nL0002 1011*\r\nF1*\r\nC0106*\r\n\x03"
                        "0000"));
    CliResult r = box.run({"--simulator", "--end", "b", "convert", "in.jed", "fuses.bin"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(r.err.empty()) << r.err;
    EXPECT_EQ(text(box.readFile("fuses.bin")), "111011111111");

    r = box.run({"--simulator", "convert", "in.jed", "out.jed"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string out = text(box.readFile("out.jed"));
    EXPECT_NE(out.find("QF12*\nF0*\nL0000 \n111011111111\n*\nC0106*\n\x03"), std::string::npos) << out;

    if (!haveProgram("jedutil"))
        GTEST_SKIP() << "jedutil is not installed";
    ASSERT_EQ(shell("cd " + box.dir() + " && jedutil -convert out.jed back.bin >/dev/null 2>&1"), 0);
    // jedutil's binary form: the count, then the fuses lowest first in bit 0.
    EXPECT_EQ(box.readFile("back.bin"), (std::vector<uint8_t>{0, 0, 0, 12, 0xF7, 0x0F}));
}

TEST(CliJedec, AGalChoiceSetsTheDeviceLineAndFuseCount)
{
    CliSandbox box;
    box.writeFile("small.jed", bytes("*QF16*L0 1*"));
    CliResult r = box.run({"--simulator", "--chip", "GAL16V8", "convert", "small.jed", "gal.jed"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("warning: small.jed: 16 fuses in the file, 2194 in GAL16V8"), std::string::npos)
        << r.err;
    const std::string out = text(box.readFile("gal.jed"));
    EXPECT_EQ(out.substr(0, 23), "\x02GAL16V8\nZelvo*\nQF2194*");
}

TEST(CliJedec, WrongChecksumAndMissingStarAreToldAndTheMapStays)
{
    CliSandbox box;
    box.writeFile("bad.jed", bytes("*QF4*L0 1101*C0000*"));
    CliResult r = box.run({"--simulator", "--end", "3", "convert", "bad.jed", "bad.bin"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("warning: bad.jed: fuse checksum 0000 in the file, 000B of the fuses read"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(text(box.readFile("bad.bin")), "1101");

    box.writeFile("cut.jed", bytes("*QF4*L0 11"));
    r = box.run({"--simulator", "--end", "3", "convert", "cut.jed", "cut.bin"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("warning: cut.jed: the last field has no closing \"*\""), std::string::npos)
        << r.err;
    EXPECT_EQ(text(box.readFile("cut.bin")), "1100");

    r = box.run({"--simulator", "--out-format", "ti-txt", "convert", "cut.jed", "x"});
    EXPECT_NE(r.exitCode, 0);
    EXPECT_NE(r.err.find("(bin, hex, srec, jed)"), std::string::npos) << r.err;
}

} // namespace

namespace {

TEST(CliJedec, WriteAndReadAChipThroughJedecFiles)
{
    // Fuse characters are bytes like any other to a memory chip, so a 27C256
    // carries a 16V8 map there and back: write x.jed, then read -o y.jed.
    CliSandbox box;
    std::string map(2194, '0');
    for (size_t i = 0; i < map.size(); i += 3)
        map[i] = '1';
    std::string jed = "\x02 made here*\nQF2194*\nL0000 " + map + "*\n\x03" + "0000";
    box.writeFile("map.jed", bytes(jed));
    CliResult r =
        box.run({"--simulator", "--chip", "27C256", "--socket-dump", "chip.bin", "write", "map.jed"});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    const std::vector<uint8_t> chip = box.readFile("chip.bin");
    ASSERT_GE(chip.size(), map.size());
    EXPECT_EQ(std::string(chip.begin(), chip.begin() + static_cast<ptrdiff_t>(map.size())), map);

    r = box.run({"--simulator", "--chip", "27C256", "--socket-image", "chip.bin", "--end", "891", "read",
                 "-o", "back.jed"});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    const std::string back = text(box.readFile("back.jed"));
    EXPECT_NE(back.find("QF2194*"), std::string::npos) << back;
    std::string fuses;
    for (size_t at = back.find("L0000 \n") + 7; at < back.size() && back[at] != '*'; ++at)
        if (back[at] == '0' || back[at] == '1')
            fuses += back[at];
    EXPECT_EQ(fuses, map);
}

} // namespace

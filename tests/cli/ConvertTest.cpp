#include "CliRunner.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

TEST(CliConvert, HexToBinMatchesSrecCat)
{
    if (!haveProgram("srec_cat"))
        GTEST_SKIP() << "srec_cat is not installed";
    CliSandbox box;
    // 100000 bytes cross the 64 KiB boundary, so the HEX file needs an extended address record.
    box.writeFile("image.bin", randomBytes(100000, 7));
    ASSERT_EQ(shell("cd " + box.dir() + " && srec_cat image.bin -binary -o image.hex -intel"), 0);
    ASSERT_EQ(shell("cd " + box.dir() + " && srec_cat image.hex -intel -o reference.bin -binary"), 0);

    CliResult r = box.run({"convert", "image.hex", "ours.bin"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(r.out.empty());
    EXPECT_EQ(box.readFile("ours.bin"), box.readFile("reference.bin"));
}

TEST(CliConvert, BinToHexReadsBackThroughSrecCat)
{
    if (!haveProgram("srec_cat"))
        GTEST_SKIP() << "srec_cat is not installed";
    CliSandbox box;
    const auto image = randomBytes(0x12345, 11);
    box.writeFile("image.bin", image);
    CliResult r = box.run({"convert", "image.bin", "image.hex"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    ASSERT_EQ(shell("cd " + box.dir() + " && srec_cat image.hex -intel -o back.bin -binary"), 0);
    EXPECT_EQ(box.readFile("back.bin"), image);
}

TEST(CliConvert, LaneStartAndEndPickBytesLikeTheFormatDialog)
{
    CliSandbox box;
    box.writeFile("six.bin", {0x10, 0x11, 0x12, 0x13, 0x14, 0x15});
    CliResult r = box.run({"--lane", "word16-2", "convert", "six.bin", "odd.bin"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(box.readFile("odd.bin"), (std::vector<uint8_t>{0x11, 0x13, 0x15}));

    // A load from 8000 and a save of 8001..8002 keep the middle of the image.
    r = box.run({"--start", "8000", "convert", "six.bin", "mid.bin"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(box.readFile("mid.bin").size(), 6u);
    // A HEX file starts at 0 whatever --start placed: 0..2 are the buffer's 0xFF.
    r = box.run({"--start", "3", "--out-format", "hex", "--end", "5", "convert", "six.bin", "-"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, ":06000000FFFFFF101112CA\r\n:00000001FF");
    r = box.run({"--in-format", "bin", "--out-format", "hex", "--end", "3", "convert", "six.bin", "-"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, ":0400000010111213B6\r\n:00000001FF");
}

TEST(CliConvert, StandardInputAndOutput)
{
    CliSandbox box;
    const auto image = randomBytes(3000, 5);
    box.writeFile("in.bin", image);
    CliResult r = box.run({"--out-format", "bin", "convert", "-", "-"}, box.path("in.bin"));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(std::vector<uint8_t>(r.out.begin(), r.out.end()), image);
}

TEST(CliConvert, CdsLoadDropsTheHeaderAndCannotBeSaved)
{
    CliSandbox box;
    box.writeFile("x.cds", {0xAA, 0xBB, 1, 2, 3});
    CliResult r = box.run({"convert", "x.cds", "x.bin"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(box.readFile("x.bin"), (std::vector<uint8_t>{1, 2, 3}));

    r = box.run({"convert", "x.bin", "y.cds"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_FALSE(box.exists("y.cds"));
}

TEST(CliConvert, BrokenInputLeavesTheOldOutputAndNoTemporaryFile)
{
    CliSandbox box;
    box.writeFile("old.bin", {1, 2, 3});
    // Second record has a wrong checksum.
    const std::string text = ":0400000010111213B6\r\n:0400040010111213B3\r\n:00000001FF";
    box.writeFile("bad.hex", std::vector<uint8_t>(text.begin(), text.end()));
    CliResult r = box.run({"convert", "bad.hex", "old.bin"});
    EXPECT_EQ(r.exitCode, 4);
    EXPECT_NE(r.err.find("bad.hex: line 2"), std::string::npos) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1);
    EXPECT_EQ(box.readFile("old.bin"), (std::vector<uint8_t>{1, 2, 3}));

    r = box.run({"convert", "missing.bin", "out.bin"});
    EXPECT_EQ(r.exitCode, 4);
    EXPECT_NE(r.err.find("missing.bin"), std::string::npos);

    r = box.run({"convert", "old.bin", "no-such-folder/out.bin"});
    EXPECT_EQ(r.exitCode, 4);
    EXPECT_NE(r.err.find("no-such-folder/out.bin"), std::string::npos);

    r = box.run({"--out-format", "ti-txt", "convert", "old.bin", "out.s"});
    EXPECT_EQ(r.exitCode, 2);

    auto files = box.listFiles();
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string>{"bad.hex", "old.bin"}));
}

TEST(CliConvert, ADirectoryAsOutputIsAFileError)
{
    CliSandbox box;
    box.writeFile("a.bin", {1});
    CliResult r = box.run({"convert", "a.bin", "."});
    EXPECT_EQ(r.exitCode, 4);
}

} // namespace

#include "CliRunner.h"

#include <gtest/gtest.h>

namespace {

TEST(CliRamTest, EveryCommandOfTheRamWindowOnASimulatedNvRam)
{
    CliSandbox box;
    const auto image = randomBytes(0x8000, 1230);
    box.writeFile("image.bin", image);
    CliResult r =
        box.run({"--simulator", "--chip", "DS1230Y", "--socket-dump", "chip.bin", "write", "image.bin"});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    // The command line verifies what it wrote.
    EXPECT_EQ(r.out, "OK\nСрав.ОК!\n");
    EXPECT_EQ(box.readFile("chip.bin"), image);

    r = box.run({"--simulator", "--chip", "DS1230Y", "--socket-image", "image.bin", "verify", "image.bin"});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(r.out, "Срав.ОК!\n");

    r = box.run(
        {"--simulator", "--chip", "DS1230Y", "--socket-image", "image.bin", "read", "-o", "back.bin"});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(r.out, "Счт.ОК!\n");
    auto back = box.readFile("back.bin");
    back.resize(image.size());
    EXPECT_EQ(back, image);

    unsigned sum = 0;
    for (uint8_t b : image)
        sum += b;
    char text[64];
    std::snprintf(text, sizeof text, "Контрол.сумма  = %08x\n", sum);
    r = box.run({"--simulator", "--chip", "DS1230Y", "--socket-image", "image.bin", "checksum"});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(r.out, text);

    r = box.run({"--simulator", "--chip", "DS1230Y", "auto", "image.bin"});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(r.out, "Авто ОК!\n");
}

TEST(CliRamTest, APatternTestThatFailsExitsWithOne)
{
    CliSandbox box;
    CliResult r = box.run({"--simulator", "--chip", "HM62256", "press", "test"});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(r.out, "测试结果正确！\n");

    // Bit 0 of the first byte stays 0: the read-back at address 0 fails.
    r = box.run({"--simulator", "--chip", "HM62256", "--fault", "stuck-cell=0:1:0", "press", "test"});
    EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
    EXPECT_EQ(r.out, "Ош.зап!\n");
}

} // namespace

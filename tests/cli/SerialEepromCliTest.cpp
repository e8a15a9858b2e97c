// Every command of the serial EEPROM windows through pontvex-cli on the
// simulator (the CLI prints a message without its trailing blanks).

#include "CliRunner.h"

#include <gtest/gtest.h>

namespace {

TEST(CliSerialEeprom, TwoWireWriteVerifyRead)
{
    CliSandbox box;
    const auto image = randomBytes(256, 2402);
    box.writeFile("image.bin", image);
    CliResult r =
        box.run({"--simulator", "--chip", "AT24C02", "--socket-dump", "chip.bin", "write", "image.bin"});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(box.readFile("chip.bin"), image);
    r = box.run({"--simulator", "--chip", "AT24C02", "--socket-image", "image.bin", "verify", "image.bin"});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(r.out, "Сравн.ОК!\n");
    r = box.run(
        {"--simulator", "--chip", "AT24C02", "--socket-image", "image.bin", "read", "-o", "back.bin"});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(r.out, "Счит.ОК!\n");
    EXPECT_EQ(box.readFile("back.bin"), image);

    // The fastest speed on a chip image that differs: the verify reports it.
    auto other = image;
    other[3] ^= 0x10;
    box.writeFile("other.bin", other);
    r = box.run({"--simulator", "--chip", "AT24C02", "--socket-image", "image.bin", "--set",
                 "speed=1 мсек/байт", "verify", "other.bin"});
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_EQ(r.out, "校对错误！\n");
}

TEST(CliSerialEeprom, ThreeWireEveryCommandInBothLayouts)
{
    for (const char* chip : {"93C46", "CAT93C46"}) {
        const SCOPED_TRACE(chip);
        CliSandbox box;
        const auto image = randomBytes(128, 9346);
        box.writeFile("image.bin", image);
        box.writeFile("zeros.bin", std::vector<uint8_t>(128, 0));
        CliResult r = box.run({"--simulator", "--chip", chip, "--socket-image", "zeros.bin", "erase"});
        EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
        EXPECT_EQ(r.out, "OK\n");
        r = box.run({"--simulator", "--chip", chip, "--socket-image", "zeros.bin", "blank"});
        EXPECT_EQ(r.exitCode, 1) << r.err;
        EXPECT_EQ(r.out, "Ошибка!\n");
        r = box.run({"--simulator", "--chip", chip, "--socket-image", "zeros.bin", "--socket-dump",
                     "chip.bin", "auto", "image.bin"});
        ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
        EXPECT_EQ(r.out, "Авто ОК!\n");
        EXPECT_EQ(box.readFile("chip.bin"), image);
        r = box.run({"--simulator", "--chip", chip, "--socket-image", "image.bin", "read", "-o", "back.bin"});
        ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
        EXPECT_EQ(box.readFile("back.bin"), image);
        r = box.run({"--simulator", "--chip", chip, "--socket-image", "zeros.bin", "verify", "image.bin"});
        EXPECT_EQ(r.exitCode, 1) << r.err;
        EXPECT_EQ(r.out, "Ошибка при сравнении!\n");
    }
}

} // namespace

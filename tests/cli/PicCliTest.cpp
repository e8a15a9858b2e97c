#include "CliRunner.h"

#include <gtest/gtest.h>

namespace {

// Every command of the PIC16C8x window from the command line, on a simulated
// PIC16F84A: erase, blank, write with its verify, read, the configuration
// word and IDs set through the controls, written and read back. The command
// line prints the messages without their trailing blanks.
TEST(CliPic, EveryCommandOfTheSerialPicWindow)
{
    CliSandbox box;
    auto image = randomBytes(2048, 1684);
    for (size_t a = 1; a < image.size(); a += 2)
        image[a] &= 0x3F;
    box.writeFile("code.bin", image);
    const std::vector<std::string> chip = {"--simulator", "--chip", "PIC16F84A"};
    auto run = [&](std::vector<std::string> args) {
        args.insert(args.begin(), chip.begin(), chip.end());
        return box.run(args);
    };

    CliResult r = run({"--socket-image", "code.bin", "--set", "erase-mode=Код", "erase"});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(r.out, "ОК!\n");
    r = run({"--socket-image", "code.bin", "blank"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "Ошибка!\n");

    r = run({"--socket-dump", "chip.bin", "write", "code.bin"});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(box.readFile("chip.bin"), image);
    r = run({"--socket-image", "code.bin", "verify", "code.bin"});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(r.out, "OK\n");
    r = run({"--socket-image", "code.bin", "read", "-o", "back.bin"});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(r.out.rfind("Считывание ОК, КСумма=  ", 0), 0u) << r.out;
    const auto back = box.readFile("back.bin");
    ASSERT_GE(back.size(), image.size());
    EXPECT_TRUE(std::equal(image.begin(), image.end(), back.begin()));

    r = run({"--set", "id=1234", "--set", "wdt=0", "--set", "osc= HS", "--socket-dump", "config=config.bin",
             "--socket-dump", "id=id.bin", "press", "write-config"});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(r.out, "OK\n");
    EXPECT_EQ(box.readFile("config.bin"), (std::vector<uint8_t>{0x12, 0x00}));
    EXPECT_EQ(box.readFile("id.bin"), (std::vector<uint8_t>{0x01, 0, 0x12, 0, 0x23, 0, 0x34, 0}));
    r = run({"--socket-image", "config=config.bin", "--socket-image", "id=id.bin", "press", "read-config"});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(r.out, "Конфг. = 0012\n");

    r = run({"--steps", "write,verify", "auto", "code.bin"});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(r.out, "Авто ОК!\n");
}

} // namespace

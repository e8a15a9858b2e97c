#include "CliRunner.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

struct Window {
    const char* chip;
    size_t size;
    const char* erased;      // the 29F window ends its erase with a blank check
    const char* unprotected; // null: the window has no unprotect
};

class CliFlash : public testing::TestWithParam<Window> {};

// Every command of each flash window through the command line on a simulated chip.
TEST_P(CliFlash, EveryCommandOfTheWindow)
{
    const Window w = GetParam();
    CliSandbox box;
    const auto old = randomBytes(w.size, 1);
    const auto image = randomBytes(w.size, 49010);
    box.writeFile("old.bin", old);
    box.writeFile("image.bin", image);
    const std::vector<std::string> chip = {"--simulator", "--chip", w.chip};
    auto run = [&](std::vector<std::string> args) {
        args.insert(args.begin(), chip.begin(), chip.end());
        return box.run(args);
    };

    CliResult r = run({"--socket-image", "old.bin", "--socket-dump", "erased.bin", "erase"});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(r.out, std::string(w.erased) + "\n");
    EXPECT_EQ(box.readFile("erased.bin"), std::vector<uint8_t>(w.size, 0xFF));

    r = run({"--socket-image", "old.bin", "blank"});
    EXPECT_NE(r.exitCode, 0);
    EXPECT_EQ(r.out, "000000: Ошибка!\n"); // trailing blanks trimmed

    r = run({"--socket-dump", "chip.bin", "write", "image.bin"});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(box.readFile("chip.bin"), image);

    r = run({"--socket-image", "chip.bin", "verify", "image.bin"});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(r.out, "Срав.ОК!\n");

    r = run({"--socket-image", "chip.bin", "read", "-o", "back.bin"});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(box.readFile("back.bin"), image);

    r = run({"--socket-image", "chip.bin", "checksum"});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    uint32_t sum = 0;
    for (uint8_t b : image)
        sum += b;
    char text[64];
    std::snprintf(text, sizeof text, "Контрол.сумма  = %08x\n", sum);
    EXPECT_EQ(r.out, text);

    if (w.unprotected) {
        r = run({"press", "unprotect"});
        EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
        EXPECT_EQ(r.out, std::string(w.unprotected) + "\n");
    }

    r = run({"--socket-image", "old.bin", "--socket-dump", "auto.bin", "auto", "image.bin"});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(box.readFile("auto.bin"), image);
}

INSTANTIATE_TEST_SUITE_P(Windows, CliFlash,
                         testing::Values(Window{"29F256", 0x8000, "Прв.ОК", "ОК!"},
                                         Window{"MX29F010", 0x20000, "OK!", "OK"},
                                         Window{"AT49F010", 0x20000, "OK!", "OK"},
                                         Window{"28F256A", 0x8000, "Прв.ОК", nullptr},
                                         Window{"28F001BX-T", 0x20000, "ОК!", nullptr}),
                         [](const testing::TestParamInfo<Window>& info) {
                             std::string name = info.param.chip;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

} // namespace

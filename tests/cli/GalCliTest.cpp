#include "CliRunner.h"

#include <gtest/gtest.h>

namespace {

std::vector<uint8_t> bytes(const std::string& text)
{
    return {text.begin(), text.end()};
}

std::string text(const std::vector<uint8_t>& data)
{
    return {data.begin(), data.end()};
}

// Every command of the GAL window from the command line on a simulated
// GAL16V8: a JEDEC file written into the chip and read back into another,
// erase, blank, verify, security and Auto.
TEST(CliGal, EveryCommandOfTheGalWindow)
{
    CliSandbox box;
    std::string map(2194, '1');
    for (size_t i = 0; i < 2048; i += 3)
        map[i] = '0';
    map[2048] = '0';         // XOR 0
    map[2048 + 144] = '0';   // SYN
    map[2048 + 8 + 5] = '0'; // a signature bit
    box.writeFile("x.jed", bytes("\x02 design*\nQF2194*\nL0000 " + map + "*\n\x03" + "0000"));
    const std::vector<std::string> chip = {"--simulator", "--chip", "GAL16V8"};
    auto run = [&](std::vector<std::string> args) {
        args.insert(args.begin(), chip.begin(), chip.end());
        return box.run(args);
    };

    CliResult r = run({"--socket-dump", "fuses=chip.bin", "write", "x.jed"});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    const std::vector<uint8_t> fuses = box.readFile("chip.bin");
    ASSERT_EQ(fuses.size(), map.size());
    for (size_t f = 0; f < map.size(); ++f)
        ASSERT_EQ(fuses[f], map[f] - '0') << "fuse " << f;

    r = run({"--socket-image", "fuses=chip.bin", "verify", "x.jed"});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(r.out, "Сравн.ОК!\n");
    r = run({"--socket-image", "fuses=chip.bin", "blank"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "Ошибка!  !!\n");

    r = run({"--socket-image", "fuses=chip.bin", "read", "-o", "y.jed"});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    const std::string back = text(box.readFile("y.jed"));
    std::string read;
    for (size_t at = back.find("L0000 \n") + 7; at < back.size() && back[at] != '*'; ++at)
        if (back[at] == '0' || back[at] == '1')
            read += back[at];
    ASSERT_GE(read.size(), map.size()) << back;
    EXPECT_EQ(read.substr(0, map.size()), map);

    r = run({"--socket-image", "fuses=chip.bin", "--socket-dump", "fuses=erased.bin", "erase"});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(r.out, "Стир.ОК!\n");
    EXPECT_EQ(box.readFile("erased.bin"), std::vector<uint8_t>(2194, 1));
    r = run({"blank"});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(r.out, "Пр.ОК!\n");
    r = run({"--socket-dump", "security=secured.bin", "press", "lock"});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(box.readFile("secured.bin"), std::vector<uint8_t>{1});

    r = run({"--steps", "erase,blank,write,verify", "auto", "x.jed"});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(r.out, "Авто ОК!\n");
}

} // namespace

#include "CliRunner.h"

#include <csignal>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <sstream>
#include <thread>

namespace {

int lines(const std::string& text)
{
    return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

// An independent Intel HEX decoder (data, end and extended linear address records).
std::vector<uint8_t> decodeHex(const std::string& text, size_t size)
{
    std::vector<uint8_t> image(size, 0xFF);
    std::istringstream in(text);
    std::string line;
    uint32_t base = 0;
    auto byteAt = [](const std::string& l, size_t i) {
        return static_cast<uint8_t>(std::stoul(l.substr(1 + 2 * i, 2), nullptr, 16));
    };
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] != ':')
            continue;
        const size_t count = byteAt(line, 0);
        const uint32_t address = (byteAt(line, 1) << 8) | byteAt(line, 2);
        const int type = byteAt(line, 3);
        uint8_t sum = 0;
        for (size_t i = 0; i < count + 5; ++i)
            sum = static_cast<uint8_t>(sum + byteAt(line, i));
        EXPECT_EQ(sum, 0) << line;
        if (type == 1)
            break;
        if (type == 4)
            base = static_cast<uint32_t>((byteAt(line, 4) << 8) | byteAt(line, 5)) << 16;
        if (type == 0)
            for (size_t i = 0; i < count; ++i)
                if (base + address + i < size)
                    image[base + address + i] = byteAt(line, 4 + i);
    }
    return image;
}

const std::vector<std::string> k27C256 = {"--simulator", "--chip", "27C256"};

std::vector<std::string> with(std::vector<std::string> a, const std::vector<std::string>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(CliList, ShowsTheChipsOfTheDeviceListAndNarrowsByCategory)
{
    CliSandbox box;
    CliResult r = box.run({"list"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("EPROM\tATMEL\tAT27C256\tP27 13\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("---"), std::string::npos); // separators are no choices

    r = box.run({"list", "--category", "mpu"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out.find("AT27C256"), std::string::npos);
    EXPECT_EQ(r.out.rfind("MPU\t", 0), 0u) << r.out;

    r = box.run({"list", "--category", "nonsense"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(lines(r.err), 1) << r.err;
    r = box.run({"list", "--group", "NO SUCH MAKER"});
    EXPECT_EQ(r.exitCode, 2);
}

TEST(CliChip, AutoProgramsARandomImageIntoASimulated27C256)
{
    CliSandbox box;
    const auto image = randomBytes(0x8000, 27256);
    box.writeFile("image.bin", image);
    CliResult r = box.run(with(k27C256, {"--socket-dump", "chip.bin", "auto", "image.bin"}));
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    // Piped: only the result, the family's own text.
    EXPECT_EQ(r.out, "Авто ОК!\n");
    EXPECT_EQ(box.readFile("chip.bin"), image);
}

TEST(CliChip, AutoOfAMicrocontrollerFamilyWithChosenSteps)
{
    CliSandbox box;
    const auto image = randomBytes(0x1000, 8051);
    box.writeFile("code.bin", image);
    // The 8051 windows declare no Auto button; the frame's Auto runs all the same.
    CliResult r = box.run({"--simulator", "--chip", "AT89C51", "--steps", "erase,blank,write,verify",
                           "--socket-dump", "chip.bin", "auto", "code.bin"});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(r.out, "Авто ОК!\n");
    EXPECT_EQ(box.readFile("chip.bin"), image);
}

TEST(CliChip, ReadsASimulatedChipBackIntoAHexFile)
{
    CliSandbox box;
    const auto image = randomBytes(0x8000, 99);
    box.writeFile("image.bin", image);
    CliResult r = box.run(with(k27C256, {"--socket-image", "image.bin", "read", "-o", "back.hex"}));
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(r.out, "Счт.ОК!\n");
    const auto bytes = box.readFile("back.hex");
    const std::string text(bytes.begin(), bytes.end());
    EXPECT_EQ(decodeHex(text, 0x8000), image);
    // Exactly the chip: 1024 records of 32 bytes and the end record.
    EXPECT_EQ(std::count(text.begin(), text.end(), ':'), 1025);
}

TEST(CliChip, BlankOnAProgrammedChipFailsWithTheFamilysMessage)
{
    CliSandbox box;
    std::vector<uint8_t> image(0x8000, 0xFF);
    image[0x1234] = 0x5A;
    box.writeFile("image.bin", image);
    CliResult r = box.run(with(k27C256, {"--socket-image", "image.bin", "blank"}));
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_EQ(r.out, "001200: Ошибка!\n");
}

TEST(CliChip, OfflineReadIsRefusedAndWritesNothing)
{
    CliSandbox box;
    CliResult r = box.run(with({"--chip", "27C256"}, {"--offline", "read", "-o", "out.bin"}));
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_EQ(r.out, "Ошб.соед!\n");
    EXPECT_EQ(lines(r.err), 1) << r.err;
    EXPECT_FALSE(box.exists("out.bin"));
}

TEST(CliChip, SettingsReachTheFamilyAndVerifyReportsTheFirstDifference)
{
    CliSandbox box;
    auto image = randomBytes(0x8000, 3);
    box.writeFile("image.bin", image);
    // A length field of ff reads 256 bytes.
    CliResult r = box.run(with(k27C256, {"--socket-image", "image.bin", "--set", "length=ff", "--set",
                                         "Алгоритм проверки=Все сразу", "read", "-o", "head.bin"}));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(box.readFile("head.bin"), std::vector<uint8_t>(image.begin(), image.begin() + 0x100));

    auto other = image;
    other[0x42] ^= 0xFF;
    box.writeFile("other.bin", other);
    r = box.run(with(k27C256, {"--socket-image", "image.bin", "--set", "length=ff", "verify", "other.bin"}));
    EXPECT_EQ(r.exitCode, 1) << r.err;
    char expected[80];
    std::snprintf(expected, sizeof expected, "000042:Ошиб! (Файл=%02x,Устр=%02x)\n", other[0x42],
                  image[0x42]);
    EXPECT_EQ(r.out, expected);
}

TEST(CliChip, ReadToStandardOutputCarriesOnlyTheData)
{
    CliSandbox box;
    const auto image = randomBytes(0x8000, 12);
    box.writeFile("image.bin", image);
    CliResult r =
        box.run(with(k27C256, {"--socket-image", "image.bin", "--set", "length=3f", "read", "-o", "-"}));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(std::vector<uint8_t>(r.out.begin(), r.out.end()),
              std::vector<uint8_t>(image.begin(), image.begin() + 0x40));
    EXPECT_EQ(r.err, "Счт.ОК!\n");
}

TEST(CliChip, OnATerminalEveryMessageAndAProgressBarAreShown)
{
    if (!haveProgram("script"))
        GTEST_SKIP() << "script (util-linux) is not installed";
    CliSandbox box;
    // script gives the program a terminal and copies what it wrote into typescript.
    const std::string command = cliBinary() + " --simulator --chip 27C256 --set length=fff read -o x.bin";
    ASSERT_EQ(shell("cd " + box.dir() + " && script -q -e -c '" + command + "' typescript >/dev/null 2>&1"),
              0);
    const auto bytes = box.readFile("typescript");
    const std::string text(bytes.begin(), bytes.end());
    EXPECT_NE(text.find("Счит..."), std::string::npos); // the busy text, not only the result
    EXPECT_NE(text.find("Счт.ОК!"), std::string::npos);
    EXPECT_NE(text.find("%  000"), std::string::npos) << text; // percent and address
    EXPECT_NE(text.find("\r\033[K"), std::string::npos);       // the bar is redrawn in place
    EXPECT_EQ(box.readFile("x.bin").size(), 0x1000u);
}

TEST(CliChip, ReadsThroughASerialPortServedByTheBoxSimulator)
{
    const std::string boxsim = PONTVEX_BINARY_DIR "/src/pontvex-boxsim";
    if (shell("test -x " + boxsim) != 0)
        GTEST_SKIP() << "pontvex-boxsim is not built";
    CliSandbox box;
    const auto image = randomBytes(0x8000, 4242);
    box.writeFile("image.bin", image);
    ASSERT_EQ(shell("cd " + box.dir() + " && (" + boxsim +
                    " --chip 27C256 --image image.bin >sim.out 2>sim.err & echo $! >sim.pid)"),
              0);
    std::string port;
    for (int i = 0; i < 100 && port.empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        const auto out = box.readFile("sim.out");
        const std::string text(out.begin(), out.end());
        if (size_t at = text.find("/dev/");
            at != std::string::npos && text.find('\n', at) != std::string::npos)
            port = text.substr(at, text.find('\n', at) - at);
    }
    ASSERT_FALSE(port.empty()) << "the simulator printed no device path";

    CliResult r = box.run({"--port", port, "--chip", "27C256", "--set", "length=fff", "--trace", "port.txt",
                           "read", "-o", "head.bin"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "Счт.ОК!\n");
    EXPECT_EQ(r.simulatorNotices, 0) << "a box on a port is a real box to the program";
    EXPECT_EQ(box.readFile("head.bin"), std::vector<uint8_t>(image.begin(), image.begin() + 0x1000));
    // The trace of a real port: what was sent, command by command with its meaning, and what came back.
    const auto traceBytes = box.readFile("port.txt");
    const std::string trace(traceBytes.begin(), traceBytes.end());
    EXPECT_EQ(trace.rfind("t=00000000 ! port " + port + " opened", 0), 0u) << trace.substr(0, 200);
    EXPECT_NE(trace.find(" > 0F"), std::string::npos);
    EXPECT_NE(trace.find("identity\n"), std::string::npos);
    EXPECT_NE(trace.find(" < 6B 65 6C 75"), std::string::npos) << "the identity answer";
    EXPECT_NE(trace.find("no-op\n"), std::string::npos);
    EXPECT_NE(trace.find(" > 00 "), std::string::npos) << "the power-down at the end";
    EXPECT_FALSE(box.exists("port.txt.partial"));
    shell("kill $(cat " + box.path("sim.pid") + ") 2>/dev/null; sleep 0.2");
}

namespace {
std::string textOf(const std::vector<uint8_t>& bytes)
{
    return std::string(bytes.begin(), bytes.end());
}
} // namespace

TEST(CliChip, InterruptStopsTheCommandWithTheSuppliesOff)
{
    CliSandbox box;
    box.writeFile("image.bin", randomBytes(0x100000, 80));
    auto cli = box.start({"--simulator", "--chip", "27C080", "--trace", "trace.txt", "--socket-dump",
                          "chip.bin", "auto", "image.bin"});
    // Ctrl-C once the box has programmed a byte: the trace (written as it
    // goes) shows it. Programming 1 MiB outlasts any wait here.
    bool programming = false;
    while (!programming && cli->running()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        programming =
            textOf(box.readFile("trace.txt.partial")).find("program EPROM byte") != std::string::npos;
    }
    ASSERT_TRUE(programming) << "the command ended before it programmed a byte";
    cli->signal(SIGINT);
    const CliResult r = cli->wait();
    EXPECT_EQ(r.exitCode, 130);
    EXPECT_NE(r.err.find("interrupted; the socket supplies are off"), std::string::npos) << r.err;
    EXPECT_TRUE(box.exists("chip.bin"));
    // The last commands the box saw take Vpp off the pins and its level to 0 V.
    const std::string trace = textOf(box.readFile("trace.txt"));
    const std::string tail = trace.substr(trace.size() > 2000 ? trace.size() - 2000 : 0);
    EXPECT_NE(tail.find("Vpp route A := 00"), std::string::npos) << tail;
    EXPECT_NE(tail.find("pin latch 6 := 0F"), std::string::npos) << tail;
}

TEST(CliChip, AnInterruptBeforeTheCommandEndsTheRunCleanly)
{
    CliSandbox box;
    box.writeFile("image.bin", randomBytes(0x8000, 81));
    auto cli = box.start({"--simulator", "--chip", "27C256", "--trace", "trace.txt", "--socket-dump",
                          "chip.bin", "write", "image.bin"},
                         true);
    const CliResult r = cli->wait();
    EXPECT_EQ(r.exitCode, 130);
    EXPECT_EQ(r.err, "pontvex-cli: interrupted before the command started\n");
    EXPECT_EQ(r.out, "");
    EXPECT_FALSE(box.exists("chip.bin"));

    // The same for a conversion: nothing is written.
    cli = box.start({"convert", "image.bin", "copy.bin"}, true);
    EXPECT_EQ(cli->wait().exitCode, 130);
    EXPECT_FALSE(box.exists("copy.bin"));
}

TEST(CliChip, WriteVerifiesByDefault)
{
    CliSandbox box;
    const auto image = randomBytes(0x100, 8);
    box.writeFile("image.bin", image);
    CliResult r =
        box.run(with(k27C256, {"--set", "length=ff", "--socket-dump", "chip.bin", "write", "image.bin"}));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "OK!\nСрав.ОК!\n");
    auto chip = box.readFile("chip.bin");
    ASSERT_EQ(chip.size(), 0x8000u);
    EXPECT_TRUE(std::equal(image.begin(), image.end(), chip.begin()));
    EXPECT_TRUE(std::all_of(chip.begin() + 0x100, chip.end(), [](uint8_t b) { return b == 0xFF; }));

    r = box.run(with(k27C256, {"--set", "length=ff", "--no-verify", "write", "image.bin"}));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "OK!\n");
}

TEST(CliChip, QuestionsAreAnsweredByFlagsAndRefusedWithoutATerminal)
{
    CliSandbox box;
    // An empty socket makes a microcontroller family ask whether to go on.
    const std::vector<std::string> base = {"--simulator", "--chip", "AT89C51", "--socket-empty", "blank"};
    CliResult r = box.run(base);
    EXPECT_EQ(r.exitCode, 2) << r.err;
    EXPECT_EQ(lines(r.err), 1) << r.err;
    EXPECT_NE(r.err.find("--yes or --no"), std::string::npos) << r.err;

    r = box.run(with({"--no"}, base));
    EXPECT_EQ(r.exitCode, 1) << r.err;
    r = box.run(with({"--yes"}, base));
    EXPECT_EQ(r.exitCode, 0) << r.err;
}

TEST(CliChip, ALostLinkExitsThreeAndSavesNothing)
{
    CliSandbox box;
    box.writeFile("image.bin", randomBytes(0x8000, 1));
    CliResult r = box.run(with(
        k27C256, {"--socket-image", "image.bin", "--fault", "vanish-after=3000", "read", "-o", "out.hex"}));
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_NE(r.err.find("Потеряна связь"), std::string::npos) << r.err;
    EXPECT_FALSE(box.exists("out.hex"));

    r = box.run(with(k27C256, {"--fault", "mute", "blank"}));
    EXPECT_EQ(r.exitCode, 3);
    r = box.run(with(k27C256, {"--fault", "no-such-fault", "blank"}));
    EXPECT_EQ(r.exitCode, 2);
}

TEST(CliChip, UnknownNamesAreUsageErrorsOnOneLine)
{
    CliSandbox box;
    const std::vector<std::vector<std::string>> bad = {
        {"--simulator", "--chip", "NO-SUCH-CHIP", "blank"},
        {"--simulator", "--chip", "AT27C", "blank"}, // several chips
        {"--simulator", "--chip", "27C256", "--set", "nonsense=1", "blank"},
        {"--simulator", "--chip", "27C256", "--set", "speed=9 мсек/байт", "blank"},
        {"--simulator", "--chip", "27C256", "--set", "length=xyz", "blank"},
        {"--simulator", "--chip", "27C256", "--steps", "blank,polish", "auto"},
        {"--simulator", "--chip", "27C256", "press", "NoSuchButton"},
        {"--simulator", "--chip", "27C256", "lock"}, // an EPROM has no lock command
        {"--simulator", "--chip", "27C256", "--socket-chip", "NOPE", "blank"},
        {"--simulator", "--chip", "27C256", "auto"}, // writes, but no image
        {"--simulator", "--key", "P27", "--variant", "99", "blank"},
        {"--simulator", "--key", "NOKEY", "--variant", "1", "blank"},
        {"--simulator", "blank"}, // no chip
    };
    for (const auto& args : bad) {
        CliResult r = box.run(args);
        std::string shown;
        for (const auto& a : args)
            shown += a + " ";
        EXPECT_EQ(r.exitCode, 2) << shown << r.err;
        EXPECT_EQ(lines(r.err), 1) << shown << r.err;
    }
    CliResult r = box.run({"--simulator", "--chip", "AT27C", "blank"});
    EXPECT_NE(r.err.find("AT27C256"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("AT27C512"), std::string::npos) << r.err;
}

TEST(CliChip, FileProblemsExitFourAndLeaveNothingBehind)
{
    CliSandbox box;
    box.writeFile("huge.bin", std::vector<uint8_t>(0x10000, 0));
    CliResult r = box.run(with(k27C256, {"--socket-image", "huge.bin", "blank"}));
    EXPECT_EQ(r.exitCode, 4) << r.err;
    r = box.run(with(k27C256, {"verify", "missing.bin"}));
    EXPECT_EQ(r.exitCode, 4) << r.err;
    EXPECT_NE(r.err.find("missing.bin"), std::string::npos);
    r = box.run(with(k27C256, {"--set", "length=f", "read", "-o", "no/such/dir/out.hex"}));
    EXPECT_EQ(r.exitCode, 4) << r.err;
    r = box.run(with({"--chip", "27C256"}, {"--port", "/dev/no-such-port", "blank"}));
    EXPECT_EQ(r.exitCode, 3) << r.err;
    auto files = box.listFiles();
    EXPECT_EQ(files, std::vector<std::string>{"huge.bin"});
}

TEST(CliChip, TraceAndControls)
{
    CliSandbox box;
    CliResult r = box.run(with(k27C256, {"--trace", "t.txt", "--set", "length=f", "read", "-o", "x.bin"}));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_FALSE(box.readFile("t.txt").empty());
    EXPECT_EQ(box.readFile("x.bin").size(), 16u);

    r = box.run(with(k27C256, {"controls"}));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("family\tTP27x\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("button\tblank\tПроверить\tBlank\tBlankClick\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("field\tlength\tДлина\t= 7fff\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("step\tverify\tСравнить\t[ ]\n"), std::string::npos) << r.out;
}

} // namespace

// The simulated socket's memories by name on the command lines of
// pontvex-cli and pontvex-boxsim: [REGION=]FILE in and out, the model listing.

#include "CliRunner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

namespace {

int lines(const std::string& text)
{
    return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

std::string textOf(const std::vector<uint8_t>& bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

const std::string kBoxsim = PONTVEX_BINARY_DIR "/src/pontvex-boxsim";

// pontvex-boxsim run to its end in the sandbox, output in boxsim.out and boxsim.err.
int runBoxsim(const CliSandbox& box, const std::string& args)
{
    return shell("cd " + box.dir() + " && " + kBoxsim + " " + args + " >boxsim.out 2>boxsim.err");
}

TEST(CliSocketRegions, AnEightyFiftyOnesLockBitsGoInAndComeOut)
{
    CliSandbox box;
    const auto code = randomBytes(0x1000, 51);
    box.writeFile("code.bin", code);
    box.writeFile("lock2.bin", {0x02});

    // Lock bit 2 in the socket stops the code from being read out: the chip answers FF.
    CliResult r = box.run({"--simulator", "--chip", "AT89C51", "--socket-image", "code.bin", "--socket-image",
                           "lock=lock2.bin", "read", "-o", "locked.bin"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(box.readFile("locked.bin"), std::vector<uint8_t>(0x1000, 0xFF));
    r = box.run({"--simulator", "--chip", "AT89C51", "--socket-image", "code.bin", "read", "-o", "open.bin"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(box.readFile("open.bin"), code);

    // The lock command's bits, and the code beside them, saved by region.
    r = box.run({"--simulator", "--chip", "AT89C51", "--yes", "--set", "lock=2", "--socket-image", "code.bin",
                 "--socket-dump", "lock=lock.out", "--socket-dump=code=code.out", "lock"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(box.readFile("lock.out"), std::vector<uint8_t>{0x07});
    EXPECT_EQ(box.readFile("code.out"), code);
    r = box.run({"--simulator", "--chip", "AT89C51", "--yes", "--set", "lock=0", "--socket-dump",
                 "LOCK=lock.out", "lock"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(box.readFile("lock.out"), std::vector<uint8_t>{0x01});
}

TEST(CliSocketRegions, WrongRegionsAreUsageErrorsAndMisfitsFileErrors)
{
    CliSandbox box;
    box.writeFile("x.bin", {0x00});
    box.writeFile("two.bin", {0x01, 0x01});

    CliResult r = box.run({"--simulator", "--chip", "AT89C51", "--socket-image", "fuses=x.bin", "blank"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(lines(r.err), 1) << r.err;
    EXPECT_NE(r.err.find("no memory \"fuses\" (its memories: code, lock)"), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty()) << r.out; // the chip was never touched

    // A dump's region is checked before the command runs, and nothing is written.
    r = box.run({"--simulator", "--chip", "AT27C256", "--socket-dump", "lock=lock.out", "blank"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("AT27C256 has no memory \"lock\" (its memories: array)"), std::string::npos)
        << r.err;
    EXPECT_TRUE(r.out.empty()) << r.out;
    EXPECT_FALSE(box.exists("lock.out"));

    // Once per region, whichever way it is named.
    for (const std::vector<std::string>& twice :
         {std::vector<std::string>{"--socket-image", "lock=x.bin", "--socket-image", "lock=x.bin"},
          std::vector<std::string>{"--socket-dump", "a.out", "--socket-dump", "b.out"},
          std::vector<std::string>{"--socket-image", "x.bin", "--socket-image", "code=x.bin"}}) {
        std::vector<std::string> args = {"--simulator", "--chip", "AT89C51"};
        args.insert(args.end(), twice.begin(), twice.end());
        args.push_back("blank");
        r = box.run(args);
        EXPECT_EQ(r.exitCode, 2) << twice[1] << " " << twice[3];
        EXPECT_NE(r.err.find("given twice"), std::string::npos) << r.err;
    }

    r = box.run({"--simulator", "--chip", "AT89C51", "--socket-image", "lock=two.bin", "blank"});
    EXPECT_EQ(r.exitCode, 4);
    EXPECT_EQ(lines(r.err), 1) << r.err;
    EXPECT_NE(r.err.find(
                  "two.bin does not fit lock of the simulated AT89C51: lock holds 1 word of 3 bits (1 byte)"),
              std::string::npos)
        << r.err;
    r = box.run({"--simulator", "--chip", "AT89C51", "--socket-image", "lock=missing.bin", "blank"});
    EXPECT_EQ(r.exitCode, 4);
    EXPECT_NE(r.err.find("missing.bin: No such file or directory"), std::string::npos) << r.err;
    EXPECT_FALSE(box.exists("a.out"));
}

TEST(BoxsimProgram, ListsItsChipModelsWithRowsAndMemories)
{
    CliSandbox box;
    ASSERT_EQ(runBoxsim(box, "--list-chips"), 0);
    const std::string listing = textOf(box.readFile("boxsim.out"));
    EXPECT_NE(listing.find("\nAT89C51\tP89C51 1\tcode=4096x8 lock=1x3\t"), std::string::npos) << listing;
    EXPECT_NE(listing.find("\n27C256\tP27 13\tarray=32768x8\t"), std::string::npos) << listing;
    EXPECT_EQ(listing.rfind("TEST28\t", 0), 0u) << listing;
    EXPECT_GT(lines(listing), 50);

    ASSERT_EQ(runBoxsim(box, "--help"), 0);
    const std::string help = textOf(box.readFile("boxsim.out"));
    for (const char* option :
         {"--socket-image [REGION=]FILE", "--socket-dump [REGION=]FILE", "--row KEY VARIANT", "--list-chips"})
        EXPECT_NE(help.find(option), std::string::npos) << option;
}

TEST(BoxsimProgram, SocketProblemsStopItBeforeItOpensAPort)
{
    CliSandbox box;
    box.writeFile("x.bin", {0x00});
    const std::pair<const char*, const char*> bad[] = {
        {"--chip AT89C51 --socket-image fuses=x.bin", "no memory \"fuses\" (its memories: code, lock)"},
        {"--chip AT89C51 --socket-image lock=missing.bin", "missing.bin"},
        {"--row NOKEY 1", "no chip model serves the row NOKEY 1"},
        {"--row P27 x", "bad variant"},
        {"--chip 27C256 --row P27 13", "not both"},
        {"--socket-dump a.out", "need a chip in the socket"},
        {"--chip AT89C51 --dump a.out --socket-dump b.out", "given twice"},
    };
    for (const auto& [args, message] : bad) {
        EXPECT_EQ(runBoxsim(box, args), 2) << args;
        const std::string err = textOf(box.readFile("boxsim.err"));
        EXPECT_NE(err.find(message), std::string::npos) << args << ": " << err;
        EXPECT_EQ(textOf(box.readFile("boxsim.out")), "") << args; // no device path
    }
    EXPECT_FALSE(box.exists("a.out"));
    EXPECT_FALSE(box.exists("b.out"));
}

// The box chosen by row on a pseudo-terminal, its lock bits filled and saved by
// region around a session of pontvex-cli on that port.
TEST(BoxsimProgram, ARowsModelWithRegionsServesAPort)
{
    if (shell("test -x " + kBoxsim) != 0)
        GTEST_SKIP() << "pontvex-boxsim is not built";
    CliSandbox box;
    const auto code = randomBytes(0x1000, 5151);
    box.writeFile("code.bin", code);
    box.writeFile("lock.bin", {0x04});
    ASSERT_EQ(shell("cd " + box.dir() + " && ((" + kBoxsim +
                    " --row P89C51 1 --socket-image code.bin --socket-image lock=lock.bin"
                    " --socket-dump lock=lock.out --socket-dump code.out >sim.out 2>sim.err; echo $? "
                    ">sim.rc.partial; mv sim.rc.partial sim.rc) &)"),
              0);
    std::string port;
    for (int i = 0; i < 200 && port.empty(); ++i) {
        const std::string text = textOf(box.readFile("sim.out"));
        if (const size_t end = text.find('\n'); end != std::string::npos)
            port = text.substr(0, end);
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    ASSERT_EQ(port.rfind("/dev/", 0), 0u) << "the simulator printed no device path: " << port;

    CliResult r = box.run({"--port", port, "--chip", "AT89C51", "--yes", "--set", "lock=0", "lock"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    // The simulator ends when the program has closed the port; its dumps are then written.
    for (int i = 0; i < 400 && !box.exists("sim.rc"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    ASSERT_TRUE(box.exists("sim.rc")) << "the simulator did not end";
    EXPECT_EQ(textOf(box.readFile("sim.rc")), "0\n") << textOf(box.readFile("sim.err"));
    EXPECT_EQ(box.readFile("lock.out"), std::vector<uint8_t>{0x05});
    EXPECT_EQ(box.readFile("code.out"), code);
}

} // namespace

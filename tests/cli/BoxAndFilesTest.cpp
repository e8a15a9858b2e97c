// What a user of other programmer tools expects of the command line: no
// simulated box unless asked for, formats known by their content, the ID
// question apart, and output files written where they point.
#include "CliRunner.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

namespace {

int lines(const std::string& text)
{
    return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

std::vector<uint8_t> bytesOf(const std::string& text)
{
    return {text.begin(), text.end()};
}

std::string textOf(const std::vector<uint8_t>& bytes)
{
    return {bytes.begin(), bytes.end()};
}

TEST(CliBox, WithoutAConnectionOptionNoBoxMeansExitThree)
{
    CliSandbox box;
    box.writeFile("image.bin", randomBytes(0x8000, 1));
    // No --port: the box is looked for on the serial ports; there is none here.
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--chip", "27C256", "write", "image.bin"}}) {
        const CliResult r = box.run(args);
        EXPECT_EQ(r.exitCode, 3) << r.err;
        EXPECT_EQ(lines(r.err), 1) << r.err;
        EXPECT_NE(r.err.find("--simulator"), std::string::npos) << r.err;
        EXPECT_EQ(r.simulatorNotices, 0);
        EXPECT_EQ(r.out, "");
    }

    // Listing needs no box and looks for none.
    const CliResult list = box.run({"list", "--category", "mpu"});
    EXPECT_EQ(list.exitCode, 0) << list.err;
    EXPECT_EQ(list.simulatorNotices, 0);
}

TEST(CliBox, TheSimulatedBoxIsNamedOnceOnStandardError)
{
    CliSandbox box;
    CliResult r = box.run({"--simulator", "--chip", "27C256", "--set", "length=ff", "read", "-o", "x.bin"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.simulatorNotices, 1);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "Счт.ОК!\n");

    r = box.run({"--offline", "--chip", "27C256", "blank"});
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_EQ(r.simulatorNotices, 0);

    // The simulator's own options say where they belong.
    r = box.run({"--chip", "27C256", "--socket-empty", "blank"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("--simulator"), std::string::npos) << r.err;
}

TEST(CliBox, APortThatCannotBeOpenedIsToldWithTheSystemsReason)
{
    CliSandbox box;
    CliResult r = box.run({"--port", "/dev/no-such-port", "--chip", "27C256", "blank"});
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_NE(r.err.find("cannot open /dev/no-such-port: No such file or directory"), std::string::npos)
        << r.err;

    box.writeFile("plain", {1});
    r = box.run({"--port", box.path("plain"), "--chip", "27C256", "blank"});
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_NE(r.err.find("not a serial port"), std::string::npos) << r.err;

    // A terminal somebody else holds is busy, not missing.
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    const std::string slave = ptsname(master);
    const int held = open(slave.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(held, 0);
    ASSERT_EQ(flock(held, LOCK_EX | LOCK_NB), 0);
    r = box.run({"--port", slave, "--chip", "27C256", "blank"});
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_NE(r.err.find("busy"), std::string::npos) << r.err;
    EXPECT_EQ(lines(r.err), 1) << r.err;
    close(held);
    close(master);
}

TEST(CliBox, AWrongChipIDHasItsOwnFlagAndExitCode)
{
    CliSandbox box;
    box.writeFile("code.bin", randomBytes(0x1000, 51));
    // An AT89C52 answers in the socket of a chosen AT89C51.
    const std::vector<std::string> base = {"--simulator", "--chip",      "AT89C51", "--socket-chip",
                                           "AT89C52",     "--no-verify", "write",   "code.bin"};
    CliResult r = box.run(base);
    EXPECT_EQ(r.exitCode, 5) << r.err;
    EXPECT_NE(r.err.find("not AT89C51"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("--ignore-id"), std::string::npos) << r.err;

    std::vector<std::string> no = base;
    no.insert(no.begin(), "--no");
    EXPECT_EQ(box.run(no).exitCode, 5);

    std::vector<std::string> ignore = base;
    ignore.insert(ignore.begin(), "--ignore-id");
    r = box.run(ignore);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("(--ignore-id)"), std::string::npos) << r.err;

    // --ignore-id answers the ID question only: an empty socket still asks for --yes or --no.
    r = box.run({"--simulator", "--ignore-id", "--chip", "AT89C51", "--socket-empty", "blank"});
    EXPECT_EQ(r.exitCode, 2) << r.err;
}

TEST(CliBox, AnIdIsPrintedOnce)
{
    CliSandbox box;
    const CliResult r = box.run({"--simulator", "--chip", "AT89C51", "id"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "Код ИД =               1e,51,ff\n");
}

TEST(CliFiles, HexTextIsRecognisedWhateverTheName)
{
    CliSandbox box;
    // What sdcc calls .ihx, and a HEX file named as binary.
    const std::string hex = ":0400000012345678E8\r\n:00000001FF\r\n";
    box.writeFile("fw.ihx", bytesOf(hex));
    box.writeFile("fw.bin", bytesOf(hex));
    for (const char* name : {"fw.ihx", "fw.bin"}) {
        const CliResult r = box.run(
            {"--simulator", "--chip", "AT89C52", "--socket-dump", "chip.bin", "--no-verify", "write", name});
        EXPECT_EQ(r.exitCode, 0) << name << r.err;
        const auto chip = box.readFile("chip.bin");
        ASSERT_EQ(chip.size(), 0x2000u);
        EXPECT_EQ(std::vector<uint8_t>(chip.begin(), chip.begin() + 5),
                  (std::vector<uint8_t>{0x12, 0x34, 0x56, 0x78, 0xFF}))
            << name << ": the records, not their text, are programmed";
    }

    // Standard input too.
    CliResult r = box.run({"convert", "-", "out.bin"}, box.path("fw.ihx"));
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(box.readFile("out.bin"), (std::vector<uint8_t>{0x12, 0x34, 0x56, 0x78}));

    // Named as binary, loaded as binary, with a note saying what it looks like.
    r = box.run({"--in-format", "bin", "convert", "fw.ihx", "raw.bin"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(box.readFile("raw.bin"), bytesOf(hex));
    EXPECT_NE(r.err.find("looks like Intel HEX"), std::string::npos) << r.err;

    // A damaged .hex is reported, not loaded as bytes.
    box.writeFile("bad.hex", bytesOf(":0400000012345678E9\r\n"));
    r = box.run({"convert", "bad.hex", "x.bin"});
    EXPECT_EQ(r.exitCode, 4);
    EXPECT_NE(r.err.find("bad.hex: line 1: bad checksum"), std::string::npos) << r.err;
}

TEST(CliFiles, SdccAndSrecCatFilesConvertToTheImageSrecCatGives)
{
    if (!haveProgram("srec_cat") || !haveProgram("objcopy") || !haveProgram("sdcc"))
        GTEST_SKIP() << "srec_cat, objcopy or sdcc is not installed";
    CliSandbox box;
    box.writeFile("r.bin", randomBytes(70000, 16));
    box.writeFile("p.c", bytesOf("__code unsigned char t[] = {9, 8, 7};\n"
                                 "volatile unsigned char o;\n"
                                 "void main(void) { unsigned char i; for (i = 0; i < 3; ++i) o = t[i]; }\n"));
    const std::string in = "cd " + box.dir() + " && ";
    ASSERT_EQ(shell(in + "sdcc -mmcs51 p.c >/dev/null 2>&1"), 0);
    ASSERT_EQ(shell(in + "srec_cat r.bin -binary -o s1 -motorola -enable=data-count"), 0);
    ASSERT_EQ(shell(in + "srec_cat r.bin -binary -o s2.s28 -motorola -address-length=3 -disable=header"), 0);
    ASSERT_EQ(shell(in + "srec_cat r.bin -binary -offset 0x20000 -o s3.mot -motorola -address-length=4"), 0);
    ASSERT_EQ(shell(in + "objcopy -I binary -O srec r.bin obj.srec"), 0);
    const std::pair<const char*, const char*> files[] = {
        {"p.ihx", "-intel"},     {"s1", "-motorola"},       {"s2.s28", "-motorola"},
        {"s3.mot", "-motorola"}, {"obj.srec", "-motorola"},
    };
    for (const auto& [name, kind] : files) {
        // srec_cat's binary starts at address 0 as ours does; filled as our buffer starts (0xFF).
        ASSERT_EQ(shell(in + "srec_cat " + name + " " + kind +
                        " -o plain.bin -binary 2>/dev/null && srec_cat " + name + " " + kind +
                        " -fill 0xFF 0 0x40000 -o expected.bin -binary 2>/dev/null"),
                  0)
            << name;
        const CliResult r = box.run({"convert", name, "ours.bin"});
        ASSERT_EQ(r.exitCode, 0) << name << r.err;
        const auto expected = box.readFile("expected.bin");
        const auto ours = box.readFile("ours.bin");
        ASSERT_EQ(ours.size(), box.readFile("plain.bin").size()) << name;
        EXPECT_TRUE(std::equal(ours.begin(), ours.end(), expected.begin())) << name;
    }

    // Our S-records, read by srec_cat, give the image back.
    CliResult r = box.run({"convert", "r.bin", "back.s19"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    ASSERT_EQ(shell(in + "srec_cat back.s19 -motorola -o back.bin -binary"), 0);
    EXPECT_EQ(box.readFile("back.bin"), box.readFile("r.bin"));
    const std::string ours = textOf(box.readFile("back.s19"));
    EXPECT_EQ(ours.rfind("S00A0000706F6E74766578E1\r\n", 0), 0u) << ours.substr(0, 40);
    EXPECT_NE(ours.find("\r\nS5"), std::string::npos);
    EXPECT_NE(ours.find("\r\nS804000000FB"), std::string::npos);
    r = box.run({"--out-format", "srec", "convert", "r.bin", "-"});
    EXPECT_EQ(r.out, ours);
}

TEST(CliFiles, MissingEndRecordIsANoteAndHexAbove1MiBIsTold)
{
    CliSandbox box;
    box.writeFile("open.hex", bytesOf(":0400000012345678E8\r\n"));
    CliResult r = box.run({"convert", "open.hex", "x.bin"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("no end record"), std::string::npos) << r.err;
    EXPECT_EQ(box.readFile("x.bin").size(), 4u);

    box.writeFile("big.bin", randomBytes(0x100010, 7));
    r = box.run({"convert", "big.bin", "big.hex"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("only up to 1 MiB"), std::string::npos) << r.err;
    const std::string hex = textOf(box.readFile("big.hex"));
    EXPECT_NE(hex.find(":020000040010EA\r\n:10000000"), std::string::npos) << "the last 16 bytes are written";
}

TEST(CliFiles, AFileLargerThanTheChipIsAnErrorUnlessAllowed)
{
    CliSandbox box;
    box.writeFile("big.bin", randomBytes(0x8001, 3));
    CliResult r = box.run({"--simulator", "--chip", "27C256", "write", "big.bin"});
    EXPECT_EQ(r.exitCode, 4) << r.err;
    EXPECT_NE(r.err.find(" takes 32768 bytes (0..7fff)"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("--allow-size-mismatch"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "") << "nothing was programmed";

    r = box.run({"--simulator", "--chip", "27C256", "--allow-size-mismatch", "--socket-dump", "chip.bin",
                 "write", "big.bin"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("note:"), std::string::npos) << r.err;
    const auto big = box.readFile("big.bin");
    EXPECT_EQ(box.readFile("chip.bin"), std::vector<uint8_t>(big.begin(), big.begin() + 0x8000));
}

TEST(CliFiles, OutputGoesThroughSymlinksPipesAndStandardOutput)
{
    CliSandbox box;
    const auto image = randomBytes(300, 9);
    box.writeFile("in.bin", image);

    // A symlink stays a symlink; the file it names gets the data and keeps its mode.
    box.writeFile("real.bin", {1});
    ASSERT_EQ(chmod(box.path("real.bin").c_str(), 0640), 0);
    ASSERT_EQ(symlink("real.bin", box.path("link.bin").c_str()), 0);
    CliResult r = box.run({"convert", "in.bin", "link.bin"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(std::filesystem::is_symlink(box.path("link.bin")));
    EXPECT_EQ(box.readFile("real.bin"), image);
    struct stat info {};
    ASSERT_EQ(stat(box.path("real.bin").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);

    // /dev/stdout is standard output, never a file put in its place.
    r = box.run({"convert", "in.bin", "/dev/stdout"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(bytesOf(r.out), image);

    // A pipe is written as it is.
    ASSERT_EQ(mkfifo(box.path("pipe").c_str(), 0600), 0);
    // cat reads until the program closes the pipe; then the program's status is taken.
    ASSERT_EQ(shell("cd " + box.dir() + "; " + cliBinary() +
                    " convert in.bin pipe & timeout 60 cat pipe > got.bin; wait $!"),
              0);
    EXPECT_EQ(box.readFile("got.bin"), image);
    struct stat fifo {};
    ASSERT_EQ(lstat(box.path("pipe").c_str(), &fifo), 0);
    EXPECT_TRUE(S_ISFIFO(fifo.st_mode));
}

TEST(CliBox, CheckIdRefusesAMemoryWithAnotherId)
{
    CliSandbox box;
    box.writeFile("image.bin", randomBytes(0x100, 27));
    // A simulated AM27C256 (ID 01,10) where an AT27C256 (1e,8c) was chosen: nothing is programmed.
    CliResult r = box.run({"--simulator", "--chip", "AT27C256", "--socket-chip", "AM27C256", "--check-id",
                           "--set", "length=ff", "--socket-dump", "chip.bin", "write", "image.bin"});
    EXPECT_EQ(r.exitCode, 5) << r.err;
    EXPECT_NE(r.err.find("ID 01,10, the device list's 1e,8c"), std::string::npos) << r.err;
    const auto chip = box.readFile("chip.bin");
    EXPECT_TRUE(std::all_of(chip.begin(), chip.end(), [](uint8_t b) { return b == 0xFF; }));

    // The right chip passes and is programmed; without --check-id the ID is not read at all.
    r = box.run({"--simulator", "--chip", "AT27C256", "--check-id", "--set", "length=ff", "--socket-dump",
                 "chip.bin", "--trace", "with.txt", "write", "image.bin"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    const auto image = box.readFile("image.bin");
    const auto written = box.readFile("chip.bin");
    EXPECT_TRUE(std::equal(image.begin(), image.end(), written.begin()));

    r = box.run({"--simulator", "--chip", "AT89C51", "--check-id", "--no-verify", "write", "image.bin"});
    EXPECT_EQ(r.exitCode, 2) << "the 8051 families check the ID themselves";
    r = box.run({"--simulator", "--chip", "AT27C256", "--check-id", "blank"});
    EXPECT_EQ(r.exitCode, 2);
}

TEST(CliBox, QuietSaysOnlyErrorsAndVerboseNamesBoxAndSteps)
{
    CliSandbox box;
    box.writeFile("image.bin", randomBytes(0x100, 2));
    CliResult r =
        box.run({"--simulator", "--quiet", "--chip", "27C256", "--set", "length=ff", "write", "image.bin"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.simulatorNotices, 1) << "the simulated box is said even then";

    // A failure still says why, on standard error.
    r = box.run({"--simulator", "-q", "--chip", "27C256", "--socket-image", "image.bin", "blank"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(lines(r.err), 1) << r.err;

    r = box.run({"--simulator", "--verbose", "--chip", "27C256", "--set", "length=ff", "write", "image.bin"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("box on simulator, identity \""), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("; chip 27C256 (TP27x)"), std::string::npos) << r.err;
    // The write and the verify after it, each with its time.
    EXPECT_EQ(lines(r.err), 3) << r.err;
    EXPECT_NE(r.err.find(" s\n"), std::string::npos) << r.err;

    EXPECT_EQ(box.run({"--quiet", "--verbose", "list"}).exitCode, 2);
}

} // namespace

// HEX files as real tools write them, made here with the tools themselves:
// each must load to the image that srec_cat converts it to, and our own HEX
// of that image must read back unchanged.
#include "files/DataFormats.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <unistd.h>
#include <vector>

using namespace pontvex;
namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void writeFile(const fs::path& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

class RealTools : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("pontvex-tools-" + std::to_string(::getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    static bool have(const std::string& tool)
    {
        return std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0;
    }
    // Skips the test unless every tool is installed.
    bool need(std::initializer_list<const char*> tools)
    {
        for (const char* tool : tools)
            if (!have(tool)) {
                missing = tool;
                return false;
            }
        return true;
    }
    // Runs a shell command in the test's folder.
    void run(const std::string& command)
    {
        const std::string line = "cd " + dir.string() + " && " + command + " >tool.log 2>&1";
        const int status = std::system(line.c_str());
        const std::vector<uint8_t> log = readFile(dir / "tool.log");
        ASSERT_EQ(status, 0) << command << "\n" << std::string(log.begin(), log.end());
    }

    // Loads hex, compares with srec_cat's binary image of it as far as the
    // 1 MiB stop allows, then writes and reads our own HEX of it.
    void loadsLikeSrecCat(const std::string& hex)
    {
        run("srec_cat " + hex + " -intel -o expected.bin -binary");
        const std::vector<uint8_t> expected = readFile(dir / "expected.bin");
        ASSERT_FALSE(expected.empty());
        const std::vector<uint8_t> text = readFile(dir / hex);

        DeviceBuffer buffer;
        std::fill_n(buffer.data(), DeviceBuffer::kSize, 0); // srec_cat fills gaps with 0
        const HexReadReport report = ReadHexRecords(text, imageOf(buffer));
        EXPECT_EQ(report.fault, HexFault::None) << "line " << report.line;
        const size_t compared = std::min<size_t>(expected.size(), kHexLastAddress + 2);
        EXPECT_EQ(report.last, static_cast<int64_t>(compared) - 1);
        EXPECT_TRUE(
            std::equal(expected.begin(), expected.begin() + static_cast<ptrdiff_t>(compared), buffer.data()));

        std::string ours;
        WriteHexRecords(ours, imageOf(buffer), report.last);
        std::vector<uint8_t> image(buffer.data(), buffer.data() + compared);
        std::fill_n(buffer.data(), compared, 0xA5);
        const HexReadReport back =
            ReadHexRecords({reinterpret_cast<const uint8_t*>(ours.data()), ours.size()}, imageOf(buffer));
        EXPECT_EQ(back.fault, HexFault::None);
        EXPECT_EQ(back.last, report.last);
        EXPECT_TRUE(std::equal(image.begin(), image.end(), buffer.data()));
    }

    // The same for S-records: srec_cat's binary of the file, then our own
    // S-records of that image read back by srec_cat to the same bytes.
    void srecLoadsLikeSrecCat(const std::string& srec)
    {
        run("srec_cat " + srec + " -motorola -o expected.bin -binary");
        const std::vector<uint8_t> expected = readFile(dir / "expected.bin");
        ASSERT_FALSE(expected.empty());
        const std::vector<uint8_t> text = readFile(dir / srec);
        EXPECT_EQ(DetectContentFormat(text), ContentFormat::SRecords);

        DeviceBuffer buffer;
        std::fill_n(buffer.data(), DeviceBuffer::kSize, 0);
        const HexReadReport report = ReadSRecords(text, imageOf(buffer));
        EXPECT_EQ(report.fault, HexFault::None) << "line " << report.line;
        EXPECT_EQ(report.last, static_cast<int64_t>(expected.size()) - 1);
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), buffer.data()));

        std::string ours;
        WriteSRecords(ours, imageOf(buffer), report.last);
        writeFile(dir / "ours.s19", ours);
        run("srec_cat ours.s19 -motorola -o back.bin -binary");
        EXPECT_EQ(readFile(dir / "back.bin"), expected);
    }

    void randomFile(const std::string& name, size_t size, unsigned seed)
    {
        std::mt19937 random(seed);
        std::string bytes(size, '\0');
        for (auto& b : bytes)
            b = static_cast<char>(random());
        writeFile(dir / name, bytes);
    }

    fs::path dir;
    std::string missing;
};

#define NEED(...)                                                                                            \
    if (!need({__VA_ARGS__}))                                                                                \
    GTEST_SKIP() << missing << " is not installed"

TEST_F(RealTools, Sdcc8051Program)
{
    NEED("sdcc", "srec_cat");
    writeFile(dir / "blink.c", "__code unsigned char table[] = {1, 2, 3, 0x55, 0xAA};\n"
                               "volatile unsigned char out;\n"
                               "void main(void) { unsigned char i; for (;;) for (i = 0; i < 5; ++i) out = "
                               "table[i]; }\n");
    run("sdcc -mmcs51 blink.c");
    loadsLikeSrecCat("blink.ihx");
}

TEST_F(RealTools, AvrProgramAbove64KiB)
{
    NEED("avr-gcc", "avr-objcopy", "srec_cat");
    writeFile(dir / "big.c",
              "#include <avr/pgmspace.h>\n"
              "#define FILL(v) [0 ... 29999] = v\n"
              "const unsigned char a[30000] PROGMEM = {FILL(0x11), [7] = 0x77};\n"
              "const unsigned char b[30000] PROGMEM = {FILL(0x22)};\n"
              "const unsigned char c[30000] PROGMEM = {FILL(0x33), [29999] = 0x99};\n"
              "volatile unsigned char sink;\n"
              "int main(void) { for (;;) sink = pgm_read_byte(&a[sink]) + pgm_read_byte(&b[sink])"
              " + pgm_read_byte_far(0x10000UL + sink); }\n");
    run("avr-gcc -mmcu=atmega2560 -Os -o big.elf big.c");
    run("avr-objcopy -O ihex -R .eeprom --set-start 0x1234 big.elf big.hex");
    const std::vector<uint8_t> raw = readFile(dir / "big.hex");
    const std::string text(raw.begin(), raw.end());
    ASSERT_NE(text.find(":020000021000EC"), std::string::npos) << "segment records above 64 KiB";
    ASSERT_NE(text.find(":0400000300001234B3"), std::string::npos) << "start segment address";
    loadsLikeSrecCat("big.hex");
}

TEST_F(RealTools, GpasmPicProgram)
{
    NEED("gpasm", "srec_cat");
    writeFile(dir / "pic.asm", "        list p=16f84a\n"
                               "        include \"p16f84a.inc\"\n"
                               "        __config _XT_OSC & _WDT_OFF\n"
                               "        org 0\n"
                               "start   movlw 0x55\n"
                               "        movwf PORTB\n"
                               "        goto start\n"
                               "        org 0x2100\n"
                               "        de 1, 2, 3\n"
                               "        end\n");
    run("gpasm pic.asm");
    loadsLikeSrecCat("pic.hex");
}

TEST_F(RealTools, SrecCatRandomImages)
{
    NEED("srec_cat");
    randomFile("r.bin", 70000, 3);
    run("srec_cat r.bin -binary -offset 0x10 -o lf16.hex -intel -obs=16");
    loadsLikeSrecCat("lf16.hex");
    run("srec_cat r.bin -binary -offset 0x1FF00 -o crlf32.hex -intel -obs=32 -crlf");
    loadsLikeSrecCat("crlf32.hex");
    // Across 1 MiB: read up to and including 0x100000, then stop.
    run("srec_cat r.bin -binary -offset 0xFFF00 -o across.hex -intel -obs=32 -crlf");
    loadsLikeSrecCat("across.hex");
}

TEST_F(RealTools, ObjcopyRandomImages)
{
    NEED("objcopy", "srec_cat");
    randomFile("r.bin", 100000, 5);
    run("objcopy -I binary -O ihex r.bin low.hex");
    loadsLikeSrecCat("low.hex");
    // Segment and start segment address records.
    run("objcopy -I binary -O ihex --change-addresses 0x20000 r.bin seg.hex");
    loadsLikeSrecCat("seg.hex");
}

TEST_F(RealTools, SrecCatSRecordsOfEveryAddressWidth)
{
    NEED("srec_cat");
    randomFile("r.bin", 70000, 7);
    // S1 below 64 KiB and S2 above, with the S0 header and the S5 count.
    run("srec_cat r.bin -binary -o s1.s19 -motorola -enable=data-count");
    srecLoadsLikeSrecCat("s1.s19");
    // S2 only, without S0 and S5.
    run("srec_cat r.bin -binary -o s2.s28 -motorola -address-length=3 -disable=header -disable=data-count");
    srecLoadsLikeSrecCat("s2.s28");
    // S3 above 128 KiB with a start address (S7) and CR LF line ends.
    run("srec_cat r.bin -binary -offset 0x20000 -execution-start-address=0x20000 -o s3.s37 -motorola "
        "-address-length=4 -crlf");
    srecLoadsLikeSrecCat("s3.s37");
}

TEST_F(RealTools, ObjcopySRecords)
{
    NEED("objcopy", "srec_cat");
    randomFile("r.bin", 100000, 9);
    run("objcopy -I binary -O srec r.bin plain.srec");
    srecLoadsLikeSrecCat("plain.srec");
    run("objcopy -I binary -O srec --srec-forceS3 --change-addresses 0x30000 r.bin s3.mot");
    srecLoadsLikeSrecCat("s3.mot");
}

} // namespace

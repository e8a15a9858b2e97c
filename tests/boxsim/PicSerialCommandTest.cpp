// The PIC serial commands 168/169/170 as the box clocks them onto RB6/RB7,
// driven with the byte sequences of the PIC16C8x window through the program's
// own link.

#include "BoxTestSupport.h"

#include "boxsim/chips/PicSerialCore.h"

#include <sstream>
#include <vector>

namespace pontvex::boxsim {
namespace {

// A device-list row's pins.
struct PicRow {
    int vpp, vcc, gnd, clock, data;
};
constexpr PicRow kDip18{15, 25, 16, 23, 24};
constexpr PicRow kDip28{7, 26, 25, 33, 34};
constexpr PicRow kDip40AsListed{1, 32, 31, 39, 38};

struct PicBench : simtest::SimBench {
    PicBench(std::unique_ptr<ChipModel> c, PicRow r) : SimBench(std::move(c)), row(r) { link.ResetSocket(); }

    void powerUp()
    {
        for (int p = 1; p <= 40; ++p) {
            if (p != 20) {
                link.SetPin(p, 1);
            }
        }
        link.FloatPin(40);
        link.SetVppVoltage(12700);
        link.LinkDelay(100);
        link.RouteGnd(row.gnd);
        link.RouteVcc(row.vcc);
        link.SetPin(row.clock, 0);
        link.SetPin(row.data, 0);
        link.DrivePin(row.data);
        link.DrivePin(row.clock);
        link.SetPin(row.vpp, 0);
        link.DrivePin(row.vpp);
    }
    void enter()
    {
        powerUp();
        link.RouteVpp(row.vpp);
        link.WriteLatch(1, 0);
    }
    void off()
    {
        link.RouteVpp(0);
        link.RouteVcc(0);
    }
    void send(int c)
    {
        link.SendByte(168);
        link.SendByte(static_cast<uint8_t>(c));
    }
    uint16_t readWord(int c)
    {
        link.SendByte(169);
        link.SendByte(static_cast<uint8_t>(c));
        const int lo = link.ReceiveByte();
        const int hi = link.ReceiveByte();
        return static_cast<uint16_t>(((hi * 256 + lo) >> 1) & 0x3FFF);
    }
    void loadWord(int c, unsigned v)
    {
        link.SendByte(170);
        link.SendByte(static_cast<uint8_t>(c));
        link.SendByte(static_cast<uint8_t>((2 * v) & 0xFF));
        link.SendByte(static_cast<uint8_t>(((2 * v) >> 8) & 0xFF));
    }
    // The window's Write: load, begin programming, wait, increment per word.
    void write(const std::vector<uint16_t>& words)
    {
        link.RouteVpp(0);
        powerUp();
        link.LinkDelay(200);
        link.RouteVpp(row.vpp);
        link.WriteLatch(1, 0);
        link.LinkDelay(200);
        for (uint16_t w : words) {
            loadWord(2, w);
            send(8);
            link.LinkDelay(50);
            send(6);
        }
        link.RouteVpp(0);
    }
    std::vector<uint16_t> read(size_t n)
    {
        enter();
        std::vector<uint16_t> words;
        for (size_t i = 0; i < n; ++i) {
            words.push_back(readWord(4));
            send(6);
        }
        off();
        return words;
    }
    void programConfigLocation(int k, unsigned v)
    {
        loadWord(0, v);
        for (int i = 0; i < k; ++i) {
            send(6);
        }
        send(8);
        link.LinkDelay(300);
    }
    uint16_t codeWord(size_t i)
    {
        const auto bytes = now().chip()->readMemory("code");
        return static_cast<uint16_t>(bytes.at(2 * i) | bytes.at(2 * i + 1) << 8);
    }
    // Errors, and warnings other than the window's own Vpp onto its sunk
    // MCLR pin, which the pin rule lets the supply win.
    std::string problems()
    {
        std::string out = now().errorReport();
        std::istringstream warnings(now().warningReport());
        for (std::string line; std::getline(warnings, line);) {
            if (line.find("supply against a sinking driver") == std::string::npos) {
                out += line + "\n";
            }
        }
        return out;
    }

    PicRow row;
};

const std::vector<uint16_t> kWords{0x3FFE, 0x0000, 0x1234, 0x2AAA, 0x1555, 0x0001, 0x2000, 0x3FFF};

PicDevice dip28Device()
{
    // A 16F87x-style DIP28: MCLR 1, Vss 19, Vdd 20, RB6 27, RB7 28.
    return {"PIC-DIP28", 28, {1, 20, 19, 27, 28}, 4096, 128,  0x3FFF,
            0x3030,      0,  pic16F8xCommands(),  4000, 10000};
}

PicDevice dip40Device()
{
    // The same part as a DIP40: MCLR 1, Vdd 32, Vss 31, RB6 39, RB7 40.
    return {"PIC-DIP40", 40, {1, 32, 31, 39, 40}, 4096, 128,  0x3FFF,
            0x3030,      0,  pic16F8xCommands(),  4000, 10000};
}

TEST(PicSerialCommands, WindowSequencesProgramAndReadAPic16F84A)
{
    PicBench b(makeChipForRow("P16C84", 5), kDip18);
    b.write(kWords);
    for (size_t i = 0; i < kWords.size(); ++i) {
        EXPECT_EQ(b.codeWord(i), kWords[i]) << "word " << i;
    }
    EXPECT_EQ(b.read(kWords.size() + 1), [] {
        auto w = kWords;
        w.push_back(0x3FFF);
        return w;
    }());

    // ID locations and configuration word as the window writes them, then
    // read back with the device ID.
    b.enter();
    b.loadWord(0, 0xFFF);
    b.programConfigLocation(0, 0x01);
    b.programConfigLocation(1, 0x12);
    b.programConfigLocation(2, 0x23);
    b.programConfigLocation(3, 0x34);
    b.programConfigLocation(7, 0x3FF5);
    b.off();
    b.enter();
    b.loadWord(0, 0xFF);
    std::vector<uint16_t> config;
    for (int i = 0; i < 8; ++i) {
        config.push_back(b.readWord(4));
        b.send(6);
    }
    b.off();
    EXPECT_EQ(config, (std::vector<uint16_t>{0x01, 0x12, 0x23, 0x34, 0x3FFF, 0x3FFF, 0x0560, 0x3FF5}));
    EXPECT_EQ(b.problems(), "");
}

TEST(PicSerialCommands, WindowErasesAndClearsProtection)
{
    PicBench b(makeChipForRow("P16C84", 5), kDip18);
    b.write(kWords);
    // Protect it: configuration word with the CP field at 0.
    b.enter();
    b.programConfigLocation(7, 0x000D);
    b.off();
    EXPECT_EQ(b.read(3), (std::vector<uint16_t>{0, 0, 0})) << "a protected part reads 0";

    // Erase program memory: the part stays protected.
    b.powerUp();
    b.link.RouteVcc(b.row.vcc);
    b.link.RouteVpp(b.row.vpp);
    b.link.WriteLatch(1, 0);
    b.send(9);
    b.loadWord(2, 0xFFFF);
    b.send(8);
    b.link.LinkDelay(5000);
    b.link.RouteVpp(0);
    EXPECT_EQ(b.codeWord(0), 0x3FFF);
    EXPECT_EQ(b.read(1), (std::vector<uint16_t>{0}));

    // ClearProtection: every memory and the configuration word erased.
    ASSERT_TRUE(b.now().chip()->writeMemory("data", std::vector<uint8_t>{0x42}));
    b.powerUp();
    b.link.RouteVpp(b.row.vpp);
    b.link.WriteLatch(1, 0);
    b.loadWord(0, 0xFFFF);
    for (int i = 0; i < 7; ++i) {
        b.send(6);
    }
    b.send(1);
    b.send(7);
    b.send(8);
    b.link.LinkDelay(500);
    b.send(1);
    b.send(7);
    b.link.RouteVpp(0);
    EXPECT_EQ(b.now().chip()->readMemory("config"), (std::vector<uint8_t>{0xFF, 0x3F}));
    EXPECT_EQ(b.now().chip()->readMemory("data").at(0), 0xFF);
    EXPECT_EQ(b.read(2), (std::vector<uint16_t>{0x3FFF, 0x3FFF}));
    EXPECT_EQ(b.problems(), "");
}

TEST(PicSerialCommands, Dip28RowsClockPins33And34)
{
    PicBench b(std::make_unique<PicSerialCore>(dip28Device()), kDip28);
    b.write(kWords);
    EXPECT_EQ(b.read(kWords.size()), kWords);
    EXPECT_EQ(b.problems(), "");
}

TEST(PicSerialCommands, Dip40RowsAsListedLeaveRb7FloatingAndProgramNothing)
{
    // The 40-pin rows put the data line on 38; the box clocks the chip's RB7
    // on 40, which PowerUpChip floats: it is high when MCLR rises.
    {
        PicBench b(std::make_unique<PicSerialCore>(dip40Device()), kDip40AsListed);
        b.write(kWords);
        EXPECT_EQ(b.codeWord(0), 0x3FFF);
        EXPECT_EQ(b.read(1), (std::vector<uint16_t>{0x3FFF}));
    }
    {
        PicRow fixed = kDip40AsListed;
        fixed.data = 40;
        PicBench b(std::make_unique<PicSerialCore>(dip40Device()), fixed);
        b.write(kWords);
        EXPECT_EQ(b.read(kWords.size()), kWords);
        EXPECT_EQ(b.problems(), "");
    }
}

// Records what the chip sees on RB6 and RB7 at every notification where one
// of them changed: clock "C" high, "c" low; data "s" sunk by the box, "p"
// released (pull-up), "0"/"1" driven by the chip.
class WatchedPic : public PicSerialCore {
public:
    WatchedPic() : PicSerialCore(pic16F84ADevice()) {}
    static PicDevice pic16F84ADevice()
    {
        return {"PIC-WATCH", 18,     {4, 14, 5, 12, 13}, 1024, 64,   0x3FFF,
                0x3FF0,      0x0560, pic16F8xCommands(), 4000, 10000};
    }
    void onPins(ChipIo& io) override
    {
        const PinLevel data = io.pin(13);
        const char d = data.source == PinSource::Sink     ? 's'
                       : data.source == PinSource::Pullup ? 'p'
                       : data.source == PinSource::Chip   ? static_cast<char>('0' + data.level)
                                                          : '?';
        std::string token{io.pin(12).level ? 'C' : 'c', d};
        if (token != last) {
            log += token + " ";
            last = token;
        }
        PicSerialCore::onPins(io);
    }
    std::string log, last;
};

TEST(PicSerialCommands, ReadCommandClocksRb6AndHandsRb7ToTheChip)
{
    auto chip = std::make_unique<WatchedPic>();
    WatchedPic* pic = chip.get();
    ASSERT_TRUE(pic->writeMemory("code", std::vector<uint8_t>{0x01, 0x20})); // 0x2001
    PicBench b(std::move(chip), kDip18);
    b.enter();
    b.now();
    pic->log.clear();
    const SimTime before = b.box->readyAt();
    b.link.SendByte(169);
    b.link.SendByte(4);
    const int lo = b.link.ReceiveByte();
    const int hi = b.link.ReceiveByte();
    // Raw frame: start and stop clocks released (1), data 0x2001 in bits 1..14.
    EXPECT_EQ(hi * 256 + lo, 0x8001 | 0x2001 << 1);
    // Command 4, LSB first (0 0 1 0 0 0): each bit put on RB7 while RB6 is
    // high, a 1 as the released line.
    const std::string command = "Cs cs Cs cs Cs Cp cp Cp Cs cs Cs cs Cs cs ";
    // The box releases RB7 before the first clock. Clocks 1 (start) and 16
    // (stop) leave it released; on the rising edges of clocks 2..15 the chip
    // drives bits 0..13 of the word and holds each over the falling edge.
    std::string frame = "cp Cp cp Cp C1 c1 C1 C0 c0 ";
    for (int clock = 4; clock <= 14; ++clock) {
        frame += "C0 c0 ";
    }
    frame += "C0 C1 c1 C1 Cp cp cs ";
    EXPECT_EQ(pic->log, command + frame);
    // The transfer fits in the time of its own two bytes: a family streams
    // these commands, and a slower box would overflow its input buffer.
    EXPECT_EQ(b.box->readyAt() - before, 2);
    EXPECT_EQ(b.problems(), "");
}

TEST(PicSerialCommands, WrongRowsProgramNothing)
{
    struct Case {
        const char* what;
        PicRow row;
        bool vpp;
    };
    const Case cases[] = {
        {"clock on 22 instead of RB6 (23)", {15, 25, 16, 22, 24}, true},
        {"data on 22 instead of RB7 (24)", {15, 25, 16, 23, 22}, true},
        {"no Vpp on MCLR", kDip18, false},
        {"Vcc on the 28-pin pin", {15, 26, 16, 23, 24}, true},
    };
    for (const Case& c : cases) {
        PicBench b(makeChipForRow("P16C84", 5), c.row);
        b.powerUp();
        if (c.vpp) {
            b.link.RouteVpp(c.row.vpp);
        }
        b.link.WriteLatch(1, 0);
        b.loadWord(2, 0x0000);
        b.send(8);
        b.link.LinkDelay(50);
        b.off();
        EXPECT_EQ(b.codeWord(0), 0x3FFF) << c.what;
        EXPECT_EQ(b.now().errorReport(), "") << c.what;
    }
}

TEST(PicSerialCommands, AWaitShorterThanTheWriteCycleLosesTheNextWord)
{
    PicBench b(makeChipForRow("P16C84", 5), kDip18);
    b.enter();
    for (uint16_t w : {0x0111, 0x0222}) {
        b.loadWord(2, w);
        b.send(8);
        b.link.LinkDelay(20); // 1.9 ms of the 4 ms write
        b.send(6);
    }
    b.off();
    EXPECT_EQ(b.codeWord(0), 0x0111);
    EXPECT_EQ(b.codeWord(1), 0x3FFF) << "its load and begin came during the first word's write";
    EXPECT_EQ(b.problems(), "");
}

TEST(PicSerialCommands, TheBoxMovesOnlyLinesThatAreOnTheirDrivers)
{
    // A good entry, then the clock line floated or given to its port: the
    // firmware's clock goes nowhere.
    for (int handOver : {0, 1}) {
        PicBench b(makeChipForRow("P16C84", 5), kDip18);
        b.enter();
        if (handOver == 0) {
            b.link.FloatPin(23);
        } else {
            b.link.WriteLatch(2, 0x00); // port 2 holds pins 17..25
        }
        b.loadWord(2, 0x0000);
        b.send(8);
        b.link.LinkDelay(50);
        b.off();
        EXPECT_EQ(b.codeWord(0), 0x3FFF) << (handOver ? "port" : "floated");
        EXPECT_EQ(b.now().errorReport(), "");
    }
}

TEST(PicSerialCommands, WithoutARoutedPicVccTheBoxClocksNothing)
{
    PicBench b(makeChipForRow("P16C84", 5), kDip18);
    b.link.SetPin(23, 0);
    b.link.DrivePin(23);
    b.link.SetPin(24, 0);
    b.link.DrivePin(24);
    const auto latches = b.now().pinLatch(3);
    EXPECT_EQ(b.readWord(4), 0x3FFF);
    b.loadWord(2, 0);
    EXPECT_EQ(b.now().pinLatch(3), latches) << "the lines were not touched";
    EXPECT_NE(b.now().warningReport().find("family command 169"), std::string::npos);
    EXPECT_NE(b.now().warningReport().find("family command 170"), std::string::npos);
    EXPECT_EQ(b.now().errorReport(), "");
}

} // namespace
} // namespace pontvex::boxsim

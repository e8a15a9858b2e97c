// Commands 177 and 178 on socket pins 31 (clock) and 32 (data), the chip-side
// serial port and the 87LPC762 model, driven with the program's own sequences.

#include "BoxTestSupport.h"

#include "boxsim/chips/Lpc76xChip.h"
#include "boxsim/chips/LpcSerialSlave.h"

#include <sstream>

namespace pontvex::boxsim {
namespace {

using simtest::SimBench;

// Pin changes of sockets 31 and 32 as "pin:level@time", time from the first.
std::string serialEdges(const TestChip& chip, size_t from)
{
    std::ostringstream out;
    SimTime t0 = -1;
    for (size_t i = from; i < chip.edges().size(); ++i) {
        const auto& e = chip.edges()[i];
        if (e.chipPin != 31 && e.chipPin != 32)
            continue;
        if (t0 < 0)
            t0 = e.at;
        out << e.chipPin << ":" << e.level.level << "@" << (e.at - t0) << " ";
    }
    return out.str();
}

// The lines as the program prepares them: latches 0, drivers off (both high).
void prepareLines(ProgrammerLink& link)
{
    link.SetPin(31, 0);
    link.SetPin(32, 0);
    link.FloatPin(31);
    link.FloatPin(32);
}

TEST(LpcSerial, ByteInIsEightClocksLeastSignificantBitFirstDataChangingWhileClockLow)
{
    SimBench b(makeChipModel("TEST40"));
    b.link.ResetSocket();
    prepareLines(b.link);
    auto& chip = b.chipAs<TestChip>();
    b.now();
    const size_t from = chip.edges().size();
    b.link.SendByte(177);
    b.link.SendByte(0xA5); // 1,0,1,0,0,1,0,1 from bit 0
    b.now();
    EXPECT_EQ(serialEdges(chip, from), "31:0@0 31:1@0 "
                                       "31:0@0 32:0@0 31:1@0 "
                                       "31:0@0 32:1@0 31:1@0 "
                                       "31:0@0 32:0@0 31:1@0 "
                                       "31:0@0 31:1@0 "
                                       "31:0@0 32:1@0 31:1@0 "
                                       "31:0@0 32:0@0 31:1@0 "
                                       "31:0@0 32:1@0 31:1@0 ");
    EXPECT_EQ(b.box->pinMode(31), PinMode::Float) << "drivers left as the program had them";
    EXPECT_EQ(b.box->pinMode(32), PinMode::Float);
    EXPECT_EQ(b.box->errorReport(), "");
}

TEST(LpcSerial, ByteOutIsEightClocksAndLeavesDataToTheChip)
{
    SimBench b(makeChipModel("TEST40"));
    b.link.ResetSocket();
    prepareLines(b.link);
    b.link.SetPin(32, 1);
    auto& chip = b.chipAs<TestChip>();
    b.now();
    const size_t from = chip.edges().size();
    b.link.SendByte(178);
    EXPECT_EQ(b.link.ReceiveByte(), 0xFF) << "nobody drives data: the pull-up";
    EXPECT_EQ(serialEdges(chip, from), "31:0@0 31:1@0 31:0@0 31:1@0 31:0@0 31:1@0 31:0@0 31:1@0 "
                                       "31:0@0 31:1@0 31:0@0 31:1@0 31:0@0 31:1@0 31:0@0 31:1@0 ");
    EXPECT_EQ(b.box->stats().busy, 0) << "shifted inside the byte's own unit";
}

// A 40-pin part (chip pin = socket pin) with only the serial port on 31/32.
class SlaveChip : public ChipModel {
public:
    std::string name() const override { return "SLAVE"; }
    int pinCount() const override { return 40; }
    int vccPin() const override { return 40; }
    int gndPin() const override { return 20; }
    void onPins(ChipIo& io) override
    {
        if (serveNext) {
            slave.serve(*serveNext);
            serveNext.reset();
        }
        if (auto v = slave.onPins(io))
            got.push_back(*v);
    }
    LpcSerialSlave slave{31, 32};
    std::optional<uint8_t> serveNext;
    std::vector<uint8_t> got;
};

TEST(LpcSerial, BytesGoInAndOutThroughTheSlave)
{
    SimBench b(std::make_unique<SlaveChip>());
    b.link.ResetSocket();
    prepareLines(b.link);
    auto& chip = b.chipAs<SlaveChip>();
    b.now();
    chip.slave.reset(b.box->chipIo()); // releasing the clock above was a rising edge
    const std::vector<uint8_t> values{0x00, 0xFF, 0xA5, 0x01, 0x80, 0x5A};
    for (uint8_t v : values) {
        b.link.SetPin(32, 0);
        b.link.SendByte(177);
        b.link.SendByte(v);
    }
    b.now();
    EXPECT_EQ(chip.got, values);
    EXPECT_EQ(chip.slave.bitsPending(), 0);

    for (uint8_t v : values) {
        chip.serveNext = v;
        b.box->refreshChip();
        b.link.SetPin(32, 1);
        b.link.SendByte(178);
        EXPECT_EQ(b.link.ReceiveByte(), v);
        EXPECT_FALSE(chip.slave.serving());
        EXPECT_EQ(b.box->pin(32).source, PinSource::Pullup) << "data released after the eighth clock";
    }
    EXPECT_EQ(b.box->errorReport(), "");
}

TEST(LpcSerial, LinesThatTheProgramDidNotPrepareCarryNothing)
{
    // Clock latch left at 1: the box cannot pull the clock low, no bit moves.
    SimBench b(std::make_unique<SlaveChip>());
    b.link.ResetSocket();
    prepareLines(b.link);
    b.link.SetPin(31, 1);
    auto& chip = b.chipAs<SlaveChip>();
    b.now();
    chip.slave.reset(b.box->chipIo());
    b.link.SendByte(177);
    b.link.SendByte(0x12);
    b.now();
    EXPECT_TRUE(chip.got.empty());
    EXPECT_EQ(chip.slave.bitsPending(), 0);

    // Data left sinking before 178: the chip's ones do not reach the box.
    b.link.SetPin(31, 0);
    b.link.DrivePin(32);
    chip.serveNext = 0xFF;
    b.box->refreshChip();
    b.link.SendByte(178);
    EXPECT_EQ(b.link.ReceiveByte(), 0x00);
}

// The program's 87LPC76x sequences, as the family window will send them.
struct Lpc : SimBench {
    explicit Lpc(const std::string& chipName = "87LPC762") : SimBench(makeChipModel(chipName))
    {
        link.ResetSocket();
    }
    Lpc76xChip& chip() { return chipAs<Lpc76xChip>(); }

    void powerUp(int vppMillivolts = 10800)
    {
        for (int p = 1; p <= 40; ++p)
            link.SetPin(p, 1);
        link.SetVppVoltage(vppMillivolts);
        link.LinkDelay(100);
        link.SetPin(9, 0);
        link.SetPin(31, 0);
        link.SetPin(32, 0);
        link.SetPin(11, 0);
        link.SetPin(12, 1);
        link.FloatPin(31);
        link.FloatPin(32);
        link.DrivePin(11);
        link.RouteGnd(10);
        link.RouteVcc(30);
        link.DrivePin(9);
        link.RouteVpp(9);
        link.FloatPin(9);
    }
    void powerDown()
    {
        link.RouteVpp(0);
        link.RouteVcc(0);
    }
    void command(uint8_t c)
    {
        link.SetPin(32, 0);
        link.SendByte(177);
        link.SendByte(c);
    }
    void setAddress(uint16_t a)
    {
        command(8);
        command(static_cast<uint8_t>(a & 0xFF));
        command(10);
        command(static_cast<uint8_t>(a >> 8));
    }
    uint8_t readByte()
    {
        link.SetPin(32, 0);
        command(4);
        link.SetPin(32, 1);
        link.SendByte(178);
        return link.ReceiveByte();
    }
    void programByte(uint8_t v)
    {
        command(2);
        command(v);
        command(12);
        link.LinkDelay(3);
        command(14);
    }
    void nextAddress() { command(6); }
};

TEST(LpcChip, IdentificationReadsTheTwoIdBytes)
{
    Lpc b;
    b.powerUp();
    b.setAddress(0xFC30);
    const uint8_t first = b.readByte();
    b.setAddress(0xFC31);
    const uint8_t second = b.readByte();
    b.powerDown();
    b.now();
    EXPECT_EQ(first, 0x15);
    EXPECT_EQ(second, 0x62);
    EXPECT_FALSE(b.chip().inSerialMode());
    EXPECT_EQ(b.box->errorReport(), "");
    EXPECT_EQ(b.box->warningReport().find("87LPC762"), std::string::npos) << b.box->warningReport();
}

TEST(LpcChip, ProgrammingClearsBitsOnlyAndReadsBackInOrder)
{
    Lpc b;
    b.powerUp();
    b.setAddress(0x123);
    b.programByte(0x5A);
    b.setAddress(0x123);
    EXPECT_EQ(b.readByte(), 0x5A);
    b.setAddress(0x123);
    b.programByte(0xF0); // an OTP cell keeps its zeros
    b.setAddress(0x123);
    EXPECT_EQ(b.readByte(), 0x50);

    b.setAddress(0xFD00); // configuration low byte first, as the window writes it
    b.programByte(0x07);
    b.setAddress(0xFD01);
    b.programByte(0x3F);
    b.powerDown();
    b.now();
    const auto code = b.chip().readMemory("code");
    for (size_t a = 0; a < code.size(); ++a)
        ASSERT_EQ(code[a], a == 0x123 ? 0x50 : 0xFF) << a;
    EXPECT_EQ(b.chip().readMemory("config"), (std::vector<uint8_t>{0x07, 0x3F}));
    EXPECT_EQ(b.chip().programmed(), 4);
    EXPECT_EQ(b.box->errorReport(), "");
}

TEST(LpcChip, ReadingStepsThroughTheCodeWithNextAddress)
{
    Lpc b;
    std::vector<uint8_t> image(2048);
    for (size_t a = 0; a < image.size(); ++a)
        image[a] = static_cast<uint8_t>(a * 7 + (a >> 8));
    ASSERT_TRUE(b.chip().writeMemory("code", image));
    b.powerUp();
    b.setAddress(0x7F0);
    for (uint32_t a = 0x7F0; a < 0x800; ++a) {
        EXPECT_EQ(b.readByte(), image[a]) << a;
        b.nextAddress();
    }
    EXPECT_EQ(b.readByte(), 0xFF) << "nothing above the code";
    b.powerDown();
    EXPECT_EQ(b.box->errorReport(), "");
}

TEST(LpcChip, WithoutVppOnRstOrAnotherModeConditionNothingIsProgrammed)
{
    // Each set-up misses one condition of the serial mode; the chip never
    // enters it, reads float high and no cell changes.
    enum Miss { RstAt5V, VddOnlyPulledUp, X1High };
    for (Miss miss : {RstAt5V, VddOnlyPulledUp, X1High}) {
        SCOPED_TRACE(miss);
        Lpc b;
        b.powerUp(miss == RstAt5V ? 0 : 10800); // level code 0: about 5 V
        if (miss == VddOnlyPulledUp)
            b.link.RouteVcc(0);
        if (miss == X1High)
            b.link.FloatPin(11);
        b.setAddress(0x10);
        b.programByte(0x00);
        b.setAddress(0xFD00);
        b.programByte(0x00);
        b.setAddress(0xFC30);
        EXPECT_EQ(b.readByte(), 0xFF);
        b.powerDown();
        b.now();
        EXPECT_FALSE(b.chip().inSerialMode());
        EXPECT_EQ(b.chip().programmed(), 0);
        EXPECT_EQ(b.chip().readMemory("code"), std::vector<uint8_t>(2048, 0xFF));
        EXPECT_EQ(b.chip().readMemory("config"), (std::vector<uint8_t>{0xFF, 0xFF}));
    }
}

TEST(LpcChip, RstAboveItsRatingIsDamage)
{
    Lpc b;
    b.powerUp(14000);
    b.now();
    EXPECT_NE(b.box->errorReport().find("(socket 9)"), std::string::npos) << b.box->errorReport();
    b.box->clearProblems();
    b.powerDown();
}

TEST(LpcChip, LeavingTheModeDuringThePulseProgramsNothing)
{
    Lpc b;
    b.powerUp();
    b.setAddress(0x20);
    b.command(2);
    b.command(0x00);
    b.command(12);
    b.link.RouteVpp(0); // Vpp off in the middle of the pulse
    b.link.DrivePin(9);
    b.link.LinkDelay(3);
    b.link.FloatPin(9);
    b.link.RouteVpp(9);
    b.command(14);
    b.powerDown();
    b.now();
    EXPECT_EQ(b.chip().programmed(), 0);
    EXPECT_EQ(b.chip().readMemory("code")[0x20], 0xFF);
}

TEST(LpcChip, OfferedForTheFamilyRowsWithItsMemories)
{
    auto c = makeChipForRow("PHI87LP", 1);
    ASSERT_TRUE(c);
    EXPECT_EQ(c->name(), "87LPC762");
    ASSERT_EQ(c->memories().size(), 3u);
    EXPECT_EQ(c->memories()[0].name, "code");
    EXPECT_EQ(c->memories()[0].words, 2048u);
    EXPECT_EQ(c->findMemory("CONFIG")->words, 2u);
    EXPECT_EQ(c->socketPin(Lpc76xChip::kRst), 9);
    EXPECT_EQ(c->socketPin(Lpc76xChip::kVss), 10);
    EXPECT_EQ(c->socketPin(Lpc76xChip::kX1), 11);
    EXPECT_EQ(c->socketPin(Lpc76xChip::kVdd), 30);
    EXPECT_EQ(c->socketPin(Lpc76xChip::kClock), 31);
    EXPECT_EQ(c->socketPin(Lpc76xChip::kData), 32);
    auto big = makeChipForRow("PHI87LP", 2);
    ASSERT_TRUE(big);
    EXPECT_EQ(big->image().size(), 4096u);
    EXPECT_FALSE(c->writeMemory("config", std::vector<uint8_t>(3, 0)));
}

} // namespace
} // namespace pontvex::boxsim

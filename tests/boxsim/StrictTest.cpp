// The box and its EPROM models refuse what a real socket refuses: each case
// runs a memory family's write sequence that misses one condition and checks
// that nothing is programmed, or that the run is reported.

#include "BoxTestSupport.h"

#include "boxsim/chips/Eprom27.h"

#include <array>

namespace pontvex::boxsim {
namespace {

// Port values that put address 0 on a package, as the memory windows lay it
// out: every address bit above the chip is 1, CE (26) high, OE (28) low.
constexpr std::array<uint8_t, 5> kAddress0Of32K28Pin{0x5F, 0x00, 0xFF, 0x01, 0x12};
constexpr std::array<uint8_t, 5> kAddress0Of2K24Pin{0xFF, 0x00, 0xFF, 0xC9, 0x33};
constexpr std::array<uint8_t, 5> kAddress0Of128K32Pin{0x1F, 0x00, 0xFF, 0x01, 0x03};

// What one row of the UV EPROM window sends for Write.
struct WriteRow {
    int vccPin;
    int vppPin;
    int vppMillivolts;
    int pulse;
    uint8_t command;
    std::array<uint8_t, 5> address0;
};
const WriteRow k27C256{34, 7, 12700, 1, 143, kAddress0Of32K28Pin};
const WriteRow k27C16{32, 29, 12500, 10, 144, kAddress0Of2K24Pin};
const WriteRow k27C010{36, 5, 12700, 1, 140, kAddress0Of128K32Pin};

// A socket set up as a memory window's chip selection leaves it.
struct Socket : simtest::SimBench {
    explicit Socket(const std::string& chipName = "")
        : SimBench(chipName.empty() ? nullptr : simtest::chip(chipName))
    {
        link.ResetSocket();
        link.SetVppVoltage(0);
        link.RouteGnd(20);
        link.InitSocket();
    }
    Eprom27& eprom() { return chipAs<Eprom27>(); }
    void address(const std::array<uint8_t, 5>& ports)
    {
        for (int k = 0; k < 5; ++k)
            link.WriteLatch(k, ports[static_cast<size_t>(k)]);
    }
    // The window's write set-up up to the first program command.
    void writeSetUp(const WriteRow& row)
    {
        link.SetPulseLength(row.pulse);
        link.SetVppVoltage(row.vppMillivolts);
        link.RouteVcc(row.vccPin);
        link.LinkDelay(1000);
        link.SetBusMode(15);
        address(row.address0);
        link.FloatPin(35);
        link.DrivePin(28);
        link.FloatPin(26);
        if (row.vppPin == 29)
            link.DrivePin(26);
        link.RouteVpp(row.vppPin);
        link.RouteClock(0);
    }
    uint8_t program(uint8_t command, uint8_t data)
    {
        link.SendByte(command);
        link.SendByte(data);
        return link.ReceiveByte();
    }
    std::string errors() { return now().errorReport(); }
    std::string warnings() { return now().warningReport(); }
};

// The read-back of the program commands sees the socket, not the box's latch.
TEST(StrictBox, ProgramReadBackSeesTheChipNotTheData)
{
    {
        Socket s; // empty socket: every bit reads 1
        s.writeSetUp(k27C256);
        EXPECT_EQ(s.program(143, 0x00), 0xFF);
        EXPECT_EQ(s.program(143, 0x5A), 0xFF);
        EXPECT_EQ(s.now().portLatch(2), 0xFF) << "the data port is left released";
        s.link.PowerDown();
        EXPECT_EQ(s.errors(), "");
    }
    {
        Socket s("AT27C256"); // a cell whose bit 3 will not program
        s.eprom().addStuckCell({0, 0x08, 0x08});
        s.writeSetUp(k27C256);
        EXPECT_EQ(s.program(143, 0x00), 0x08);
        EXPECT_EQ(s.program(143, 0x3C), 0x3C);
        s.link.PowerDown();
        EXPECT_EQ(s.errors(), "");
    }
    {
        Socket s("AT27C256"); // Vpp switched on the wrong pin: the read-back shows the blank cell
        auto row = k27C256;
        row.vppPin = 5; // pin 5 is outside the 28-pin package
        s.writeSetUp(row);
        EXPECT_EQ(s.program(143, 0x00), 0xFF);
        s.link.PowerDown();
        EXPECT_EQ(s.eprom().cell(0), 0xFF);
    }
}

// Programming needs Vcc switched onto the Vcc pin, the GND pin low and the
// programming level on the Vpp pin; a level of code 0 is a plain 5 V.
TEST(StrictBox, EpromProgramsOnlyWithItsSupplies)
{
    {
        Socket s("AT27C256"); // Vcc on the 32-pin package's pin: pin 34 stays at its port bit 0
        auto row = k27C256;
        row.vccPin = 36;
        s.writeSetUp(row);
        EXPECT_FALSE(s.now().chipPowered());
        EXPECT_EQ(s.program(143, 0x00), 0xFF);
        EXPECT_EQ(s.eprom().cell(0), 0xFF);
        EXPECT_EQ(s.eprom().programPulses(), 0);
        s.link.PowerDown();
    }
    {
        Socket s("AT27C256"); // pin 34 only released: a logic high is no supply
        auto row = k27C256;
        row.vccPin = 36;
        s.writeSetUp(row);
        s.link.FloatPin(34);
        EXPECT_TRUE(s.now().chipPowered());
        EXPECT_EQ(s.program(143, 0x00), 0xFF);
        EXPECT_EQ(s.eprom().cell(0), 0xFF);
        s.link.PowerDown();
    }
    {
        Socket s("AT27C256"); // GND pin 20 released instead of sunk
        s.writeSetUp(k27C256);
        s.link.SetPin(20, 1);
        EXPECT_EQ(s.program(143, 0x00), 0xFF);
        EXPECT_EQ(s.eprom().cell(0), 0xFF);
        s.link.PowerDown();
    }
    {
        Socket s("AT27C010"); // a 32-pin row sent with a voltage the box has no code for
        auto row = k27C010;
        row.vppMillivolts = 50000;
        s.writeSetUp(row);
        EXPECT_EQ(s.level(5), 1) << "Vpp routed at code 0 reads as a logic 1";
        EXPECT_EQ(s.now().pin(5).millivolts(), 5000);
        EXPECT_EQ(s.program(140, 0x00), 0xFF);
        EXPECT_EQ(s.eprom().cell(0), 0xFF);
        s.link.PowerDown();
        EXPECT_EQ(s.errors(), "");
    }
    {
        Socket s("AT27C010"); // the same row at its own level programs
        s.writeSetUp(k27C010);
        EXPECT_EQ(s.program(140, 0x12), 0x12);
        s.link.PowerDown();
        EXPECT_EQ(s.errors(), "");
    }
}

// Pulses are held against the lengths the rows send: far too short leaves
// the cell, far too long over-stresses it (an error).
TEST(StrictBox, ProgramPulseLengthIsChecked)
{
    struct Case {
        const char* chip;
        WriteRow row;
        int pulse;
        bool programs;
        bool damage;
    };
    const Case cases[] = {
        {"27C16", k27C16, 10, true, false},    // the 2716 rows' shortest
        {"27C16", k27C16, 50, true, false},    // and longest
        {"27C16", k27C16, 1, false, false},    // a CMOS part's pulse on a 2716
        {"27C16", k27C16, 4, false, false},    // below half the shortest
        {"AT27C256", k27C256, 5, true, false}, // the slowest speed
        {"AT27C256", k27C256, 10, true, false},
        {"AT27C256", k27C256, 11, true, true},  // beyond twice the longest
        {"AT27C256", k27C256, 244, true, true}, // an ST NMOS row's pulse
        {"M27256", k27C256, 244, true, false},
        {"M27256", k27C256, 1, false, false},
    };
    for (const Case& c : cases) {
        Socket s(c.chip);
        auto row = c.row;
        row.pulse = c.pulse;
        s.writeSetUp(row);
        const uint8_t back = s.program(c.row.command, 0x00);
        s.link.PowerDown();
        EXPECT_EQ(s.eprom().cell(0), c.programs ? 0x00 : 0xFF) << c.chip << " " << c.pulse;
        EXPECT_EQ(back, s.eprom().cell(0)) << c.chip << " " << c.pulse;
        EXPECT_EQ(s.errors().find("over-stresses") != std::string::npos, c.damage)
            << c.chip << " " << c.pulse << ": " << s.errors();
        EXPECT_EQ(s.warnings().find("too short") != std::string::npos, !c.programs)
            << c.chip << " " << c.pulse << ": " << s.warnings();
    }
}

// The electrical erase: three quarters of the window's strobe still erase,
// four times it is damage.
TEST(StrictBox, EraseStrobeLengthIsChecked)
{
    for (int strobe : {1500, 7900, 8100}) {
        Socket s("W27E010");
        ASSERT_TRUE(s.eprom().loadImage(std::vector<uint8_t>(16, 0x00)));
        s.link.SetBusMode(15);
        s.address(kAddress0Of128K32Pin);
        s.link.RouteVcc(36);
        s.link.LinkDelay(1000);
        s.link.DrivePin(26);
        for (int pin : {28, 30, 5})
            s.link.FloatPin(pin);
        s.link.SetVppVoltage(14000);
        s.link.RouteVpp(5);
        s.link.RouteVpp(30);
        s.link.DrivePin(35);
        s.link.LinkDelay(strobe);
        s.link.FloatPin(35);
        s.link.UnrouteVpp(30);
        s.link.PowerDown();
        EXPECT_EQ(s.eprom().erases(), 1) << strobe;
        EXPECT_EQ(s.eprom().cell(0), 0xFF) << strobe;
        EXPECT_EQ(s.errors().find("over-stresses") != std::string::npos, strobe > 8000) << s.errors();
    }
}

// Ground against a pin the box drives high, or a supply onto a grounded pin,
// is an error; pins without a switch and released drivers are not.
TEST(StrictBox, GroundAgainstADrivenPinIsAnError)
{
    {
        Socket s; // D7 (pin 25) grounded, then written 1 through latch 0
        s.link.SetBusMode(15);
        s.link.RouteGnd(25);
        s.link.WriteLatch(2, 0x80);
        EXPECT_NE(
            s.errors().find("pin 25: ground switched onto a pin the box drives high (its port bit is 1)"),
            std::string::npos)
            << s.errors();
    }
    {
        Socket s; // A0 of a memory (pin 16, port 1 bit 7) grounded, then stepped to 1
        s.link.RouteGnd(16);
        s.link.WriteLatch(1, 0x80);
        EXPECT_NE(s.errors().find("pin 16: ground"), std::string::npos) << s.errors();
    }
    {
        Socket s; // the same with bit 0: the ground only holds what is low already
        s.link.RouteGnd(16);
        s.link.WriteLatch(1, 0x00);
        EXPECT_EQ(s.errors(), "");
    }
    {
        Socket s; // latch 1 releases the port bit: nothing drives the pin
        s.link.SetPin(25, 1);
        s.link.RouteGnd(25);
        s.link.WriteLatch(2, 0xFF);
        EXPECT_EQ(s.errors(), "");
    }
    {
        Socket s; // a firmware command holding a grounded pin high
        s.link.RouteGnd(16);
        s.now().forcePin(16, 1);
        s.box->settle();
        EXPECT_NE(
            s.errors().find("pin 16: ground switched onto a pin the box drives high (a firmware command"),
            std::string::npos)
            << s.errors();
        s.box->releaseAllForced();
    }
    {
        Socket s; // the hardware probe: pin 31 released, then grounded
        s.link.SetPin(31, 1);
        s.link.RouteGnd(31);
        EXPECT_EQ(s.link.ReadPin(31), 0);
        s.link.RouteGnd(0);
        EXPECT_EQ(s.errors(), "");
    }
    {
        Socket s; // pin 21 has no ground switch: RouteGnd only drives it
        s.link.SetBusMode(15);
        s.link.RouteGnd(21);
        s.link.WriteLatch(2, 0xFF);
        EXPECT_EQ(s.errors(), "");
    }
    {
        Socket s; // Vcc and Vpp onto the grounded pin 25
        s.link.RouteGnd(25);
        s.link.RouteVcc(25);
        EXPECT_NE(s.errors().find("pin 25: ground and Vcc switched together"), std::string::npos)
            << s.errors();
        s.box->clearProblems();
        s.link.RouteVcc(0);
        s.link.RouteGnd(20);
        s.link.SetVppVoltage(12000);
        s.link.RouteVpp(20);
        EXPECT_NE(s.errors().find("pin 20: ground and Vpp switched together"), std::string::npos)
            << s.errors();
    }
    {
        Socket s; // pin 24 has neither switch: "Vcc" and "ground" there switch nothing
        s.link.RouteGnd(24);
        s.link.RouteVcc(24);
        EXPECT_EQ(s.errors(), "");
    }
}

// "Driver off" for pin 0 is no command of the box: reported, nothing changes.
TEST(StrictBox, CommandThirtyOneIsReportedAndDoesNothing)
{
    Socket s("AT27C256");
    s.link.RouteVcc(34);
    s.link.SetBusMode(12);
    std::array<PinLevel, 41> before{};
    for (int p = 1; p <= 40; ++p)
        before[static_cast<size_t>(p)] = s.now().pin(p);
    s.box->clearProblems();
    s.link.FloatPin(0);
    s.link.SendByte(31); // as a row without the pin sends it
    for (int p = 1; p <= 40; ++p)
        EXPECT_EQ(s.now().pin(p), before[static_cast<size_t>(p)]) << p;
    EXPECT_EQ(s.errors(), "");
    EXPECT_NE(s.warnings().find("command 31"), std::string::npos) << s.warnings();
    s.link.RouteVcc(0);
}

} // namespace
} // namespace pontvex::boxsim

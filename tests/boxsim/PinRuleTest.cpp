// The pin rule, held to the command sequences of the families that constrain
// it. Each case starts after connection and ResetSocket with an empty socket
// unless a chip is named.

#include "BoxTestSupport.h"

namespace pontvex::boxsim {
namespace {

using simtest::SimBench;

// A 40-pin part (Vcc 40, GND 1) that drives one pin with a level the test sets.
class DrivingChip : public ChipModel {
public:
    std::string name() const override { return "DRIVER"; }
    int pinCount() const override { return 40; }
    int vccPin() const override { return 40; }
    int gndPin() const override { return 1; }
    void onPins(ChipIo& io) override
    {
        if (out >= 0 && io.powered()) {
            io.drive(pin, out);
        } else {
            io.release(pin);
        }
    }
    int pin = 20;
    int out = -1;
};

struct Bench : SimBench {
    explicit Bench(std::unique_ptr<ChipModel> c = nullptr) : SimBench(std::move(c)) { link.ResetSocket(); }
};

TEST(PinRule, LastCommandThatNamesAPinOwnsIt)
{
    Bench b;
    EXPECT_TRUE(b.link.PinLoopTest());

    b.link.SetPin(17, 0);
    b.link.DrivePin(17);
    EXPECT_EQ(b.level(17), 0);
    b.link.WriteLatch(2, 0x01);
    EXPECT_EQ(b.level(17), 1) << "a port write takes back a driven pin";
    b.link.WriteLatch(2, 0x00);
    EXPECT_EQ(b.level(17), 0);

    b.link.WriteLatch(3, 0x01);
    EXPECT_EQ(b.level(28), 0);
    EXPECT_EQ(b.level(26), 1);
    b.link.FloatPin(28);
    b.link.DrivePin(26);
    EXPECT_EQ(b.level(28), 1) << "a floated pin ignores its port bit";
    EXPECT_EQ(b.level(26), 0);
    b.link.WriteLatch(3, 0x01);
    EXPECT_EQ(b.level(28), 0);
    EXPECT_EQ(b.level(26), 1);

    b.link.DrivePin(19);
    b.link.WriteLatch(2, 0x1C);
    EXPECT_EQ(b.level(19), 1);
    EXPECT_EQ(b.box->errorReport(), "");
}

TEST(PinRule, PinLatchIsAReleaseBit)
{
    Bench b;
    b.link.WriteLatch(1, 0);
    b.link.WriteLatch(2, 0);
    b.link.WriteLatch(3, 0);
    b.link.WritePinLatch(3, 0x0F);
    for (int p : {17, 18, 19, 21}) {
        EXPECT_EQ(b.level(p), 1) << p;
    }
    for (int p : {22, 23, 24, 25}) {
        EXPECT_EQ(b.level(p), 0) << p;
    }
    b.link.WritePinLatch(3, 0x00);
    for (int p : {17, 18, 19, 21, 22, 23, 24, 25}) {
        EXPECT_EQ(b.level(p), 0) << p;
    }
    b.link.SetPin(12, 1);
    EXPECT_EQ(b.level(12), 1);
    b.link.SetPin(12, 0);
    EXPECT_EQ(b.level(12), 0);
}

TEST(PinRule, SinkBeatsTheChipAndReleaseLetsItThrough)
{
    auto chip = std::make_unique<DrivingChip>();
    DrivingChip* c = chip.get();
    Bench b(std::move(chip));
    b.link.RouteGnd(0);
    b.link.SetPin(1, 0);
    b.link.DrivePin(1); // chip ground
    b.link.RouteVcc(40);
    b.link.SetPin(20, 1);
    b.link.DrivePin(20);
    c->out = 0;
    b.box->refreshChip();
    EXPECT_EQ(b.level(20), 0) << "chip drives 0 through a released pin";
    c->out = -1;
    b.box->refreshChip();
    EXPECT_EQ(b.level(20), 1);
    EXPECT_EQ(b.link.ReadPin(20), 1) << "status bit 7";
    c->out = 1;
    b.link.SetPin(20, 0);
    EXPECT_EQ(b.level(20), 0) << "a sinking driver beats a chip output";
    EXPECT_NE(b.box->warningReport().find("contention on pin 20"), std::string::npos);
    EXPECT_EQ(b.box->errorReport(), "");
}

TEST(PinRule, Pins7And8FollowTheirPortBitInPageModes)
{
    Bench b;
    b.link.WriteLatch(0, 0x00);
    b.link.SetPageWriteMode(64);
    EXPECT_EQ(b.level(7), 0);
    EXPECT_EQ(b.level(8), 0);
    b.link.WriteLatch(0, 0xC0);
    EXPECT_EQ(b.level(7), 1);
    EXPECT_EQ(b.level(8), 1);
    b.link.SetPin(6, 1);
    b.link.WriteLatch(0, 0x00);
    EXPECT_EQ(b.level(6), 1) << "pins 1..6 keep the release rule";
    EXPECT_EQ(b.level(7), 0);
}

TEST(PinRule, SuppliesBeatDriversAndReadAsHigh)
{
    {
        Bench b;
        b.link.SetPin(7, 0);
        b.link.DrivePin(7);
        b.link.SetVppVoltage(12700);
        b.link.RouteVpp(7);
        PinLevel l = b.now().pin(7);
        EXPECT_EQ(l.source, PinSource::Vpp);
        EXPECT_EQ(l.vppCode, 5);
        EXPECT_EQ((b.link.ReadPort(0) >> 6) & 1, 1);
        EXPECT_EQ(b.box->errorReport(), "");
        EXPECT_NE(b.box->warningReport().find("supply against a sinking driver"), std::string::npos);
    }
    {
        Bench b;
        b.link.WriteLatch(4, 0x02);
        b.link.RouteVcc(34);
        EXPECT_EQ(b.now().pin(34).source, PinSource::Vcc);
        EXPECT_FALSE(b.box->pin(34).vccRaised);
        b.link.SetVccVoltage(6);
        EXPECT_TRUE(b.now().pin(34).vccRaised);
    }
    {
        Bench b;
        b.link.SetVppVoltage(50000);
        b.link.RouteVpp(5);
        PinLevel l = b.now().pin(5);
        EXPECT_EQ(l.source, PinSource::Vpp);
        EXPECT_EQ(l.vppCode, 0);
        EXPECT_EQ(l.millivolts(), 5000) << "code 0 routed is a logic high";
        EXPECT_EQ(b.link.ReadPin(5), 1);
    }
    {
        Bench b;
        b.link.RouteGnd(21);
        EXPECT_EQ(b.level(21), 0) << "no switch on 21: its driver sinks it";
        EXPECT_TRUE(b.box->gndRoutedPins().empty());
        b.link.RouteGnd(20);
        b.link.RouteVpp(20);
        EXPECT_NE(b.now().errorReport().find("pin 20: ground and Vpp"), std::string::npos);
    }
}

TEST(PinRule, ProbeHardwareModelSeesTheGroundSwitchOfPin31)
{
    Bench b;
    EXPECT_EQ(b.link.ProbeHardwareModel(), 98);
    b.box->setFirmwareId("kelm3v52");
    Bench other;
    other.box->setFirmwareId("kelm3v52");
    other.link.AttachTransport(std::make_unique<SimTransport>(other.box), "SIM");
    EXPECT_EQ(other.link.ProbeHardwareModel(), 99);
    Bench old;
    old.box->breakSwitches(31); // a box without the ground switch of pin 31
    EXPECT_EQ(old.link.ProbeHardwareModel(), 97);
}

TEST(PinRule, ChipPoweredFromASinkingGroundDriver)
{
    Bench b(simtest::chip("TEST28"));
    b.link.InitSocket(); // RouteGnd 0: pin 20 only sinks through its driver
    EXPECT_TRUE(b.box->gndRoutedPins().empty());
    b.link.RouteVcc(34);
    EXPECT_TRUE(b.now().chipPowered());
    EXPECT_EQ(b.box->pin(20).source, PinSource::Sink);
    b.link.RouteVcc(0);
    EXPECT_TRUE(b.now().chipPowered()) << "a floated Vcc pin stays high";
    b.link.SetPin(34, 0);
    b.link.DrivePin(34);
    EXPECT_FALSE(b.now().chipPowered());
}

TEST(PinRule, ChipOutputsBeatWeakPortBits)
{
    Bench b(simtest::chip("TEST28"));
    b.link.RouteVcc(34);
    b.link.RouteGnd(20);
    b.link.WriteLatch(3, 0x80); // WE (33) high
    b.now();
    // Filled now: raising WE over CE low above was a write cycle of the RAM.
    b.chipAs<TestChip>().memory().assign(0x8000, 0xC0);
    b.link.WriteLatch(2, 0x10);
    b.link.SetBusMode(12);
    b.link.DrivePin(26);
    b.link.DrivePin(28);
    EXPECT_EQ(b.link.ReadPort(2), 0xC0);
    b.link.SetBusMode(15);
    EXPECT_EQ(b.link.ReadPort(2), 0xC0) << "latch 0: port bits under the chip";
    b.link.FloatPin(28);
    EXPECT_EQ(b.link.ReadPort(2), 0x10) << "chip quiet: the port bits show";
    EXPECT_EQ(b.box->errorReport(), "");
}

TEST(PinRule, ClockAndItsSink)
{
    Bench b;
    b.link.SetPin(19, 1);
    b.link.RouteClock(19);
    b.link.WriteLatch(2, 0x00);
    EXPECT_EQ(b.now().pin(19).source, PinSource::Clock);
    b.link.SetPin(19, 0);
    b.link.DrivePin(19);
    EXPECT_EQ(b.now().pin(19).source, PinSource::Sink);
    EXPECT_EQ(b.level(19), 0);
    b.link.RouteClock(15);
    EXPECT_EQ(b.now().clockPin(), 15);
    b.link.RouteClock(0);
    EXPECT_EQ(b.now().clockPin(), 0);
}

TEST(PinRule, OscillatorPresenceNeedsAPoweredChip)
{
    {
        Bench b(simtest::chip("TEST40"));
        b.link.RouteVcc(40);
        b.link.RouteGnd(20);
        EXPECT_TRUE(b.link.OscillatorPresenceTest(19, 18));
        EXPECT_TRUE(b.prompt.asked.empty());
    }
    {
        Bench b(simtest::chip("TEST40"));
        b.link.DrivePin(40); // Vcc pin sunk (a floated one would power it)
        b.prompt.yes = false;
        EXPECT_FALSE(b.link.OscillatorPresenceTest(19, 18)) << "unpowered";
        EXPECT_EQ(b.prompt.asked.size(), 1u);
    }
    {
        Bench b;
        b.prompt.yes = false;
        EXPECT_FALSE(b.link.OscillatorPresenceTest(19, 18)) << "empty socket";
    }
}

// Address of the TEST28 static RAM in the 28-pin memory layout: A0..A7 on
// port 1 reversed, A8..A13 on port 3, A14 on pin 7 (as in page mode 64, the
// RAM's WE sits on 33, kept high), A12 on pin 8.
void setAddress(ProgrammerLink& link, uint32_t a)
{
    const auto& rev = ProgrammerLink::BitReverseTable();
    uint8_t p3 = 0x81;
    p3 |= ((a >> 10) & 1) << 1 | ((a >> 11) & 1) << 3 | ((a >> 9) & 1) << 4 | ((a >> 8) & 1) << 5 |
          ((a >> 13) & 1) << 6;
    link.WriteLatch(0, static_cast<uint8_t>(0x1F | ((a >> 12) & 1) << 7 | ((a >> 14) & 1) << 6));
    link.WriteLatch(1, rev[a & 0xFF]);
    link.WriteLatch(2, 0xFF);
    link.WriteLatch(3, p3);
}

TEST(PinRule, FirmwareReadsPullChipEnableAndOutputEnableThemselves)
{
    auto chip = simtest::chip("TEST28");
    auto& mem = static_cast<TestChip*>(chip.get())->memory();
    for (size_t i = 0; i < mem.size(); ++i) {
        mem[i] = static_cast<uint8_t>(i * 7 + (i >> 8));
    }
    Bench b(std::move(chip));
    b.link.RouteVcc(34);
    b.link.SetBusMode(12);
    b.link.DrivePin(26);
    b.link.DrivePin(28);
    setAddress(b.link, 0x1234);
    EXPECT_EQ(b.level(26), 1) << "the address write raised CE";
    EXPECT_EQ(b.link.ReadDataByte(), mem[0x1234]);
    EXPECT_EQ(b.link.ReadDataByte(), mem[0x1235]);
    EXPECT_EQ(b.box->lowAddress(), 0x36);

    // Checksum without any chip-select command.
    setAddress(b.link, 0x4100);
    b.link.SendByte(130);
    unsigned lo = b.link.ReceiveByte(), hi = b.link.ReceiveByte();
    unsigned sum = 0;
    for (int i = 0; i < 256; ++i) {
        sum += mem[0x4100 + static_cast<size_t>(i)];
    }
    EXPECT_EQ(lo + 256 * hi, sum & 0xFFFF);
    EXPECT_EQ(b.box->lowAddress(), 0x00) << "back at the start of the block";

    // Blank check: the second reply byte says whether all 256 are 0xFF.
    setAddress(b.link, 0x0200);
    b.link.SendByte(129);
    b.link.ReceiveByte();
    EXPECT_EQ(b.link.ReceiveByte(), 0);
    std::fill(mem.begin() + 0x300, mem.begin() + 0x400, 0xFF);
    setAddress(b.link, 0x0300);
    b.link.SendByte(129);
    b.link.ReceiveByte();
    EXPECT_NE(b.link.ReceiveByte(), 0);
    EXPECT_EQ(b.box->errorReport(), "");
}

TEST(PinRule, WriteCyclesOfTheFirmwareReachTheChip)
{
    Bench b(simtest::chip("TEST28"));
    auto& c = b.chipAs<TestChip>();
    b.link.RouteVcc(34);
    b.link.RouteGnd(20);
    b.link.SetPageWriteMode(64); // 28-pin package: WE on 33, A14 on 7
    b.link.SetBusMode(15);
    setAddress(b.link, 0x0040);
    b.link.SetPageLength(4);
    const int writesBefore = b.now().chip() ? c.writes() : 0;
    b.link.SendByte(136);
    for (uint8_t d : {0x11, 0x22, 0x33, 0x44}) {
        b.link.SendByte(d);
    }
    b.link.SendByte(139);
    b.link.SendByte(0xAA);
    b.link.SendByte(138);
    b.link.SendByte(0x55);
    b.link.Flush();
    EXPECT_EQ(c.memory()[0x40], 0x11);
    EXPECT_EQ(c.memory()[0x43], 0x44);
    EXPECT_EQ(c.memory()[0x5555], 0xAA);
    EXPECT_EQ(c.memory()[0x2AAA], 0x55);
    EXPECT_EQ(c.writes() - writesBefore, 6);
    EXPECT_EQ(b.box->lowAddress(), 0x44);
    EXPECT_EQ(b.box->errorReport(), "");
}

TEST(PinRule, PulsesLastTheirNoOpBytes)
{
    Bench b(simtest::chip("TEST28"));
    auto& c = b.chipAs<TestChip>();
    b.link.DrivePin(26);
    b.link.LinkDelay(100);
    b.link.FloatPin(26);
    b.link.Flush();
    SimTime fell = c.lastChange(20, 0), rose = c.lastChange(20, 1);
    ASSERT_GE(fell, 0);
    EXPECT_EQ(rose - fell, 101) << "100 no-ops and the byte that ends the pulse";
}

} // namespace
} // namespace pontvex::boxsim

namespace pontvex::boxsim {
namespace {

TEST(PinRuleSequences, EpromProgramCommandWithVppOnTheOutputEnablePin)
{
    auto chip = simtest::chip("27C32"); // the 12.5 V 2732
    ASSERT_TRUE(chip);
    Bench b(std::move(chip));
    b.link.SetPulseLength(10);
    b.link.SetVppVoltage(12500);
    b.link.RouteVcc(32);
    b.link.LinkDelay(1000);
    b.link.SetBusMode(15);
    auto address0 = [&] {
        // Address 0 of a 4 K part, every bit above A11 set.
        b.link.WriteLatch(0, 0xFF);
        b.link.WriteLatch(1, 0x00);
        b.link.WriteLatch(2, 0xFF);
        b.link.WriteLatch(3, 0xC1);
        b.link.WriteLatch(4, 0x33);
    };
    address0();
    b.link.FloatPin(35);
    b.link.DrivePin(28);
    b.link.FloatPin(26);
    b.link.RouteVpp(28);
    b.link.RouteClock(0);
    b.link.SendByte(141);
    b.link.SendByte(0x5A);
    EXPECT_EQ(b.link.ReceiveByte(), 0x5A);
    address0();
    b.link.SendByte(141);
    b.link.SendByte(0x0F);
    EXPECT_EQ(b.link.ReceiveByte(), 0x0A) << "bits only go from 1 to 0";
    EXPECT_EQ(b.now().chip()->image()[0], 0x0A);
    EXPECT_EQ(b.box->vppRoutedPins(), std::vector<int>{28}) << "the verify read gives the route back";
    EXPECT_EQ(b.box->pin(28).source, PinSource::Vpp);
    b.link.PowerDown();
    EXPECT_EQ(b.now().errorReport(), "");
}

TEST(PinRuleSequences, ReadsWithoutFirmwareSeeTheChipSelectTheAddressWriteRaised)
{
    auto chip = simtest::chip("TEST28");
    static_cast<TestChip*>(chip.get())->memory().assign(0x8000, 0x42);
    Bench b(std::move(chip));
    b.link.WriteLatch(3, 0x80); // the RAM's WE high
    b.link.RouteVcc(34);
    b.link.SetBusMode(12);
    b.link.DrivePin(28);
    b.link.DrivePin(26);
    b.now();
    b.chipAs<TestChip>().memory().assign(0x8000, 0x42);
    setAddress(b.link, 0x100);
    EXPECT_EQ(b.link.ReadPort(2), 0xFF) << "as written: CE back high, nothing read";
    b.link.DrivePin(26);
    b.link.DrivePin(28);
    EXPECT_EQ(b.link.ReadPort(2), 0x42) << "chip selects driven again after the address";
    b.link.SendByte(147);
    EXPECT_EQ(b.link.ReadPort(2), 0x42);
}

TEST(PinRuleSequences, PortWritesRetakeDrivenAndFloatedPins)
{
    Bench b;
    // A read leaves 17 and 18 driven low; the lock pulse's port writes set them.
    b.link.DrivePin(17);
    b.link.DrivePin(18);
    b.link.SetBusMode(15);
    b.link.WriteLatch(3, 0xFF);
    b.link.WriteLatch(2, 0xF3);
    b.link.WriteLatch(1, 0xFF);
    EXPECT_EQ(b.level(17), 1);
    EXPECT_EQ(b.level(18), 1);
    EXPECT_EQ(b.level(19), 0);
    EXPECT_EQ(b.level(21), 0);
    // A strobe ended by a float, then three port writes: 1, 0, 1 on pin 21.
    b.link.FloatPin(21);
    std::vector<int> strobe;
    for (uint8_t v : {24, 16, 24}) {
        b.link.WriteLatch(2, v);
        strobe.push_back(b.level(21));
    }
    EXPECT_EQ(strobe, (std::vector<int>{1, 0, 1}));
}

} // namespace
} // namespace pontvex::boxsim

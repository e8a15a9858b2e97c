#include "support/FamilyBench.h"

#include "boxsim/chips/Mcu51Chip.h"

namespace pontvex::mcu51_test {

namespace {

// The 40-pin parts' programming state as the parallel sequence makes it:
// supplies, RST high, PSEN low, ALE and EA released; clock on XTAL1 when asked.
void powerUp40(ProgrammerLink& link, bool clock, bool vcc = true)
{
    link.WriteAllLatches(0);
    link.LinkDelay(200);
    link.SetBusMode(15);
    link.SetPin(14, 1);
    link.RouteGnd(20);
    link.RouteVcc(vcc ? 40 : 0);
    link.WriteAllLatches(255);
    link.SetBusMode(7);
    link.SetVccVoltage(5);
    link.SetPin(18, 1);
    link.LinkDelay(10);
    link.SetPin(19, 1);
    if (clock)
        link.RouteClock(19);
    link.LinkDelay(1000);
    link.RouteVpp(0);
    link.LinkDelay(200);
    link.FloatPin(9);
    link.DrivePin(29);
    link.FloatPin(30);
    link.FloatPin(31);
}

// Mode pins (27, 28, 16, 17) as H (true) or L, address 0, 12 V on EA, one PROG pulse.
void pulse40(ProgrammerLink& link, std::array<bool, 4> mode, int data, int low)
{
    link.SetBusMode(15);
    link.SetPin(18, 1);
    link.SetPin(19, 1);
    const int pins[4] = {27, 28, 16, 17};
    for (int i = 0; i < 4; ++i)
        link.SetPinDriver(mode[static_cast<size_t>(i)] ? 1 : 0, pins[i]);
    link.WriteLatch(0, 0);
    link.WriteLatch(2, static_cast<uint8_t>(link.ReadPort(2) & 0x07));
    if (data >= 0) {
        link.SendByte(161);
        link.SendByte(static_cast<uint8_t>(data));
    }
    link.SetVppVoltage(12000);
    link.RouteVpp(31);
    link.LinkDelay(100);
    link.DrivePin(30);
    link.LinkDelay(low);
    link.FloatPin(30);
    link.LinkDelay(20);
    link.RouteVpp(0);
    link.SetVppVoltage(0);
    link.RouteVcc(0);
    link.RouteClock(0);
    link.Flush();
}

} // namespace

// The 40-pin flash parts program, erase and lock only with an oscillator on
// XTAL1; the same pulses without the box's clock leave the chip as it was.
TEST(Mcu51Conditions, FortyPinPartsActOnlyWithTheirClockRunning)
{
    for (const bool clock : {false, true}) {
        SCOPED_TRACE(clock ? "clock on XTAL1" : "no clock");
        FamilyBench bench("P89C51", 1, "AT89C51");
        auto& chip = bench.model<boxsim::Mcu51Chip>();
        std::vector<uint8_t> image(4096, 0xFF);
        image[0] = 0x00;
        ASSERT_TRUE(chip.loadImage(image));
        // Erase (P2.6 H, the rest L), then program 0x5A at 0, then lock bit 1.
        powerUp40(bench.link, clock);
        pulse40(bench.link, {true, false, false, false}, -1, 200);
        EXPECT_EQ(chip.image()[0], clock ? 0xFF : 0x00);
        powerUp40(bench.link, clock);
        pulse40(bench.link, {false, true, true, true}, 0x5A, 20);
        EXPECT_EQ(chip.image()[0], clock ? 0x5A : 0x00);
        powerUp40(bench.link, clock);
        pulse40(bench.link, {true, true, true, true}, -1, 20);
        EXPECT_EQ(chip.lockBits(), clock ? 0x01 : 0x00);
        EXPECT_EQ(bench.box->errorReport(), "");
    }
}

// Pin 40 released reads high, so the chip counts as powered, but a pull-up is
// no supply: with the clock running and 12 V on EA it still programs nothing.
TEST(Mcu51Conditions, FortyPinPartsNeedVccFromTheSupplySwitch)
{
    FamilyBench bench("P89C51", 1, "AT89C51");
    powerUp40(bench.link, true, false);
    bench.link.Flush();
    ASSERT_TRUE(bench.box->chipPowered());
    pulse40(bench.link, {false, true, true, true}, 0x5A, 20);
    EXPECT_EQ(bench.chipImage()[0], 0xFF);
}

namespace {

// The 20-pin flash parts' power-up: Vcc on 30, XTAL1 low, RST rising clears the counter.
void powerUp20(ProgrammerLink& link)
{
    link.SetBusMode(9);
    link.SetPin(14, 1);
    link.SetPin(15, 0);
    link.RouteGnd(20);
    link.RouteVcc(0);
    link.DrivePin(30);
    link.RouteVcc(30);
    link.DrivePin(11);
    link.DrivePin(15);
    link.LinkDelay(100);
    link.FloatPin(11);
    link.FloatPin(16);
}

} // namespace

// XTAL1 of the 20-pin flash parts is their address clock: they program with no
// oscillator at all, but only with 12 V on RST.
TEST(Mcu51Conditions, TwentyPinFlashProgramsWithoutAClockButNeedsTwelveVoltsOnRst)
{
    for (const bool vpp : {false, true}) {
        SCOPED_TRACE(vpp ? "12 V on RST" : "RST at logic high");
        FamilyBench bench("P2051", 2, "AT89C2051");
        powerUp20(bench.link);
        // Program mode (P3.3 L, P3.4 H, P3.5 H, P3.7 H), the byte, one PROG pulse.
        for (auto [pin, high] : {std::pair{17, false}, {18, true}, {19, true}, {21, true}})
            bench.link.SetPinDriver(high ? 1 : 0, pin);
        if (vpp) {
            bench.link.SetVppVoltage(12000);
            bench.link.RouteVpp(11);
        }
        bench.link.SendByte(166);
        bench.link.SendByte(0x3C);
        bench.link.DrivePin(16);
        bench.link.FloatPin(16);
        bench.link.RouteVpp(0);
        bench.link.SetVppVoltage(0);
        bench.link.RouteVcc(0);
        bench.link.Flush();
        EXPECT_EQ(bench.box->clockPin(), 0);
        EXPECT_EQ(bench.chipImage()[0], vpp ? 0x3C : 0xFF);
        EXPECT_EQ(bench.box->errorReport(), "");
    }
}

namespace {

// What the one-time window sends for one byte at address 0: its power-up
// (clock on XTAL1, 12.5 V selected, the RST pulse), the program mode, Vpp on
// RST when asked, 166 with the byte and 167.
struct Otp97 {
    bool vpp = true;
    bool clock = true;
};

uint8_t programOne97(FamilyBench& bench, uint8_t value, Otp97 how)
{
    ProgrammerLink& link = bench.link;
    link.RouteClock(0); // selecting the window started it
    link.SetBusMode(15);
    for (int k = 1; k <= 3; ++k)
        link.WriteLatch(k, 0);
    link.LinkDelay(100);
    for (int k = 1; k <= 3; ++k)
        link.WriteLatch(k, 0xFF);
    link.RouteGnd(20);
    link.RouteVcc(0);
    link.LinkDelay(100);
    link.RouteVcc(30);
    if (how.clock)
        link.RouteClock(15);
    link.SetVppVoltage(12500);
    link.FloatPin(12);
    link.DrivePin(11);
    link.LinkDelay(120);
    link.FloatPin(11);
    link.DrivePin(12);
    link.LinkDelay(120);
    for (auto [pin, high] : {std::pair{16, true}, {17, false}, {18, true}, {19, true}, {21, true}})
        link.SetPinDriver(high ? 1 : 0, pin);
    if (how.vpp)
        link.RouteVpp(11);
    link.SendByte(166);
    link.SendByte(value);
    link.SendByte(167);
    const uint8_t answer = link.ReceiveByte();
    link.RouteVpp(0);
    link.SetVppVoltage(0);
    link.RouteVcc(0);
    link.RouteClock(0);
    link.Flush();
    return answer;
}

} // namespace

// Command 167 is the box's own PROG train on P3.2: the one-time part takes
// the byte from the pulses it sees, with 12.5 V on RST and its clock running.
TEST(Mcu51Prog97, OneCommandProgramsTheByteOnP1)
{
    FamilyBench bench("P97C2051", 2, "97C2051");
    const boxsim::SimTime before = bench.box->now();
    const uint8_t answer = programOne97(bench, 0xA5, {});
    EXPECT_EQ(answer, 0xA5); // P1 still carries the byte
    EXPECT_EQ(bench.chipImage()[0], 0xA5);
    EXPECT_EQ(bench.model<boxsim::Mcu2051Chip>().programmed(), 1);
    EXPECT_GT(bench.box->now() - before, 50.0); // the train keeps the box busy
    EXPECT_EQ(bench.box->errorReport(), "");
}

TEST(Mcu51Prog97, WithoutVppOnRstOrWithoutTheClockNothingIsProgrammed)
{
    for (const Otp97 how : {Otp97{false, true}, Otp97{true, false}}) {
        SCOPED_TRACE(how.vpp ? "no clock" : "no Vpp");
        FamilyBench bench("P97C2051", 2, "97C2051");
        programOne97(bench, 0xA5, how);
        EXPECT_EQ(bench.chipImage()[0], 0xFF);
        EXPECT_EQ(bench.model<boxsim::Mcu2051Chip>().programmed(), 0);
    }
}

namespace {

// A 20-pin part that only listens: the levels of P3.2 (chip pin 6) over time.
class ProgListener : public boxsim::ChipModel {
public:
    std::string name() const override { return "listener"; }
    int pinCount() const override { return 20; }
    int vccPin() const override { return 20; }
    int gndPin() const override { return 10; }
    void onPins(boxsim::ChipIo& io) override
    {
        if (io.pin(6).level != io.previous(6).level)
            edges.push_back({io.now(), io.pin(6).level});
    }
    struct Edge {
        boxsim::SimTime at;
        int level;
    };
    std::vector<Edge> edges;
};

} // namespace

// The pin trace of one 167: 25 pulses on socket pin 16, each one byte time
// low and one high, and the pin released high at the end.
TEST(Mcu51Prog97, TrainOnPin16IsTwentyFivePulsesOfOneUnit)
{
    boxsim::Box box;
    auto listener = std::make_unique<ProgListener>();
    ProgListener& seen = *listener;
    box.insertChip(std::move(listener));
    seen.edges.clear();
    const auto reply = box.feed({167});
    ASSERT_EQ(reply.size(), 1u);
    ASSERT_EQ(seen.edges.size(), 50u);
    for (size_t i = 0; i < seen.edges.size(); ++i) {
        EXPECT_EQ(seen.edges[i].level, i % 2 == 0 ? 0 : 1) << i;
        if (i > 0) {
            EXPECT_EQ(seen.edges[i].at - seen.edges[i - 1].at, 1.0) << i;
        }
    }
    EXPECT_EQ(box.pinLevel(16), 1);
}

} // namespace pontvex::mcu51_test

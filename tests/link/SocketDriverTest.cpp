// The bytes each socket driver operation puts on the line, grouped by the
// register they write, and the replies they interpret.

#include "LinkTestSupport.h"

#include "catalogue/HeadlessHost.h"

namespace pontvex::linktest {
namespace {

using PinLatches = OnlineLink;
using VppRegisters = OnlineLink;
using VccGndRegisters = OnlineLink;
using AuxRegister = OnlineLink;
using Reads = OnlineLink;
using SocketState = OnlineLink;
using Probes = OnlineLink;

// Pin latch k (command 8 + k) and the bit of each socket pin, as the box wires them.
struct PinPlace {
    int pin;
    int latch;
    int bit;
};

std::vector<PinPlace> pinPlaces()
{
    std::vector<PinPlace> places;
    for (int p = 1; p <= 8; ++p) {
        places.push_back({p, 5, p - 1});
    }
    for (int p = 9; p <= 16; ++p) {
        places.push_back({p, 1, p - 9});
    }
    places.push_back({17, 3, 0});
    places.push_back({18, 3, 1});
    places.push_back({19, 3, 2});
    places.push_back({20, 6, 7});
    for (int p = 21; p <= 25; ++p) {
        places.push_back({p, 3, p - 18});
    }
    for (int p = 26; p <= 31; ++p) {
        places.push_back({p, 0, p - 26});
    }
    places.push_back({32, 4, 0});
    places.push_back({33, 4, 1});
    for (int p = 34; p <= 39; ++p) {
        places.push_back({p, 2, p - 34});
    }
    places.push_back({40, 6, 6});
    return places;
}

TEST_F(PinLatches, SetPinChangesOneBitOfItsLatchAndSendsThatLatch)
{
    const ProgrammerLink::Shadows start;
    for (const PinPlace& place : pinPlaces()) {
        SCOPED_TRACE(place.pin);
        link.resetShadows();
        const uint8_t before = start.pinLatch[place.latch];
        const auto set = static_cast<uint8_t>(before | (1 << place.bit));
        const auto cleared = static_cast<uint8_t>(before & ~(1 << place.bit));
        const uint8_t extra = place.latch == 2 ? 0xC0 : 0x00;

        link.SetPin(place.pin, 1);
        EXPECT_EQ(sent(), bytes({8 + place.latch, set | extra}));
        EXPECT_EQ(link.shadows().pinLatch[place.latch], set);
        link.SetPin(place.pin, 0);
        EXPECT_EQ(sent(), bytes({8 + place.latch, cleared | extra}));
        EXPECT_EQ(link.shadows().pinLatch[place.latch], cleared);
    }
}

TEST_F(PinLatches, Pin35SendsBits6And7HighButShadowKeepsThem)
{
    link.SetPin(35, 1);
    EXPECT_EQ(sent(), bytes({10, 0xC2}));
    EXPECT_EQ(link.shadows().pinLatch[2], 0x02);
}

TEST_F(PinLatches, PinsOutsideTheSocketDoNothing)
{
    const ProgrammerLink::Shadows start;
    for (int pin : {-1, 0, 41, 255}) {
        link.SetPin(pin, 1);
        link.FloatPin(pin);
        link.DrivePin(pin);
        link.SetPinDriver(0, pin);
        link.SetPinDriver(1, pin);
    }
    EXPECT_TRUE(sent().empty());
    EXPECT_EQ(link.shadows().pinLatch, start.pinLatch);
}

TEST_F(PinLatches, DriverCommands)
{
    link.FloatPin(1);
    link.FloatPin(40);
    link.DrivePin(1);
    link.DrivePin(40);
    link.SetPinDriver(0, 7);
    link.SetPinDriver(1, 7);
    EXPECT_EQ(sent(), bytes({32, 71, 80, 119, 86, 38}));
}

TEST_F(PinLatches, BusModesSendEachChangedLatchInOrder)
{
    link.SetBusMode(12);
    EXPECT_EQ(sent(), bytes({11, 0xFF}));

    link.resetShadows();
    link.SetBusMode(9);
    EXPECT_EQ(sent(), bytes({11, 0xF0, 8, 0x0F, 9, 0x10}));

    link.resetShadows();
    link.SetBusMode(7);
    EXPECT_EQ(sent(), bytes({10, 0x7F, 12, 0x03}));

    link.SetBusMode(3);
    link.SetBusMode(0);
    EXPECT_TRUE(sent().empty());
}

TEST_F(PinLatches, BusMode15MasksEveryLatchWithItsOwnValue)
{
    // Distinct values in every latch, so a mix-up of latches shows.
    link.WritePinLatch(0, 0); // not shadowed: must not influence mode 15
    link.SetBusMode(7);       // latch 2 = 0x7F, latch 4 = 0x03
    link.SetPin(31, 1);       // latch 0 bit 5
    link.SetPin(27, 1);       // latch 0 bit 1
    link.SetPin(13, 1);       // latch 1 bit 4
    link.SetPin(10, 1);       // latch 1 bit 1
    link.SetPin(21, 1);       // latch 3 bit 3
    sent();

    link.SetBusMode(15);
    EXPECT_EQ(sent(), bytes({11, 0x00, 8, 0x20, 10, 0x00, 12, 0x00, 9, 0x02}));
    EXPECT_EQ(link.shadows().pinLatch[2], 0x00);
}

TEST_F(PinLatches, PortAndRawLatchWritesBypassShadows)
{
    const ProgrammerLink::Shadows start;
    link.WriteLatch(0, 0x12);
    link.WriteLatch(4, 0x34);
    link.WriteLatch(5, 0x56);
    link.WriteLatch(-1, 0x56);
    link.WritePinLatch(3, 0x55);
    link.WritePinLatch(7, 0x55);
    EXPECT_EQ(sent(), bytes({16, 0x12, 20, 0x34, 11, 0x55}));
    link.WriteAllLatches(0xA5);
    EXPECT_EQ(sent(), bytes({16, 0xA5, 17, 0xA5, 18, 0xA5, 19, 0xA5, 20, 0xA5}));
    EXPECT_EQ(link.shadows().pinLatch, start.pinLatch);
}

TEST_F(VppRegisters, LevelCodesGoInvertedIntoLatch6)
{
    const std::vector<std::pair<int, int>> table = {
        {25000, 0x3}, {21000, 0x8}, {16500, 0x6}, {14500, 0x6}, {14000, 0x6}, {13800, 0x6},
        {13300, 0x7}, {13000, 0xA}, {12700, 0xA}, {12500, 0xA}, {12000, 0xB}, {10800, 0xC},
        {10000, 0xD}, {0, 0xF},     {12600, 0xF}, {5000, 0xF},  {-1, 0xF}};
    // Aux bits 4..6 and latch 6 bits 4..7 set beforehand must survive.
    link.SetAuxSelect(2);
    link.SetPin(20, 1);
    sent();
    const uint8_t high6 = link.shadows().pinLatch[6] & 0xF0;
    const uint8_t aux = link.shadows().aux & 0xF0;
    for (const auto& [mv, nibble] : table) {
        SCOPED_TRACE(mv);
        link.SetVppVoltage(mv);
        EXPECT_EQ(sent(), bytes({14, high6 | nibble, 22, aux}));
    }
    EXPECT_EQ(ProgrammerLink::VppLevelCode(12600), ProgrammerLink::VppLevelCode(0));
}

TEST_F(VppRegisters, RoutesAccumulateAndPinZeroKeepsTheVccLevel)
{
    link.RouteVpp(1);
    EXPECT_EQ(sent(), cat({bytes({24, 0x01}), nops(3), bytes({25, 0x80}), nops(3)}));
    link.RouteVpp(15);
    link.RouteVpp(20);
    link.RouteVpp(40);
    link.RouteVpp(2); // no switch on pin 2: the registers still go out unchanged
    EXPECT_EQ(sent(), cat({bytes({24, 0x81}), nops(3), bytes({25, 0x80}), nops(3), bytes({24, 0x81}), nops(3),
                           bytes({25, 0x81}), nops(3), bytes({24, 0x81}), nops(3), bytes({25, 0xC1}), nops(3),
                           bytes({24, 0x81}), nops(3), bytes({25, 0xC1}), nops(3)}));
    ASSERT_EQ(link.shadows().vppRouteB, 0xC1);

    link.RouteVpp(0);
    EXPECT_EQ(sent(), cat({bytes({24, 0x00}), nops(3), bytes({25, 0x80}), nops(3)}));

    link.SetVccVoltage(6);
    link.RouteVpp(34);
    link.RouteVpp(0);
    sent();
    EXPECT_EQ(link.shadows().vppRouteB, 0x00);
}

TEST_F(VppRegisters, UnrouteRemovesOnePinAndPinZeroLeavesPin40)
{
    for (int pin : {7, 20, 40, 31}) {
        link.RouteVpp(pin);
    }
    sent();
    ASSERT_EQ(link.shadows().vppRouteB, 0xD1);

    link.UnrouteVpp(20);
    EXPECT_EQ(sent(), cat({bytes({24, 0x04}), nops(3), bytes({25, 0xD0}), nops(3)}));
    link.UnrouteVpp(7);
    EXPECT_EQ(link.shadows().vppRouteA, 0x00);
    link.RouteVpp(20);
    link.UnrouteVpp(31);
    sent();
    ASSERT_EQ(link.shadows().vppRouteB, 0xC1);

    link.UnrouteVpp(0);
    EXPECT_EQ(sent(), cat({bytes({24, 0x00}), nops(3), bytes({25, 0xC0}), nops(3)}));
    // Vpp asked off pin 40 really goes off.
    link.UnrouteVpp(40);
    EXPECT_EQ(sent(), cat({bytes({24, 0x00}), nops(3), bytes({25, 0x80}), nops(3)}));
}

TEST_F(VppRegisters, VccLevelIsBit7OfRouteB)
{
    link.RouteVpp(29);
    sent();
    link.SetVccVoltage(6);
    EXPECT_EQ(sent(), cat({bytes({25, 0x04}), nops(500)}));
    for (int level : {0, 5, 5000}) {
        link.SetVccVoltage(6);
        sent();
        link.SetVccVoltage(level);
        EXPECT_EQ(sent(), cat({bytes({25, 0x84}), nops(500)}));
    }
}

TEST_F(VccGndRegisters, OneVccPinAtATime)
{
    link.RouteVcc(40);
    EXPECT_EQ(sent(), cat({bytes({71, 26, 0xFF}), nops(10), bytes({27, 0x05}), nops(10)}));
    link.RouteVcc(8);
    EXPECT_EQ(sent(), cat({bytes({39, 26, 0xFE}), nops(10), bytes({27, 0x07}), nops(10)}));
    link.RouteVcc(34);
    link.RouteVcc(26);
    EXPECT_EQ(link.shadows().vccRouteA, 0xFF);
    EXPECT_EQ(link.shadows().vccGndRoute, 0x03);
    sent();
    link.RouteVcc(0);
    EXPECT_EQ(sent(), cat({bytes({26, 0xFF}), nops(10), bytes({27, 0x07}), nops(10)}));
    // A pin without a Vcc switch: released, but no supply anywhere.
    link.RouteVcc(1);
    EXPECT_EQ(sent(), cat({bytes({32, 26, 0xFF}), nops(10), bytes({27, 0x07}), nops(10)}));
}

TEST_F(VccGndRegisters, OneGroundPinAtATimeAndVccBitsStay)
{
    link.RouteVcc(36);
    sent();
    link.RouteGnd(20);
    EXPECT_EQ(sent(), cat({bytes({99, 27, 0x46}), nops(10)}));
    link.RouteGnd(31);
    EXPECT_EQ(sent(), cat({bytes({110, 27, 0x86}), nops(10)}));
    link.RouteGnd(0);
    EXPECT_EQ(sent(), cat({bytes({79, 27, 0x06}), nops(10)}));
    for (const auto& [pin, bit] : std::vector<std::pair<int, int>>{{25, 3}, {10, 4}, {16, 5}}) {
        link.RouteGnd(pin);
        EXPECT_EQ(link.shadows().vccGndRoute, 0x06 | (1 << bit));
    }
    sent();
    link.RouteGnd(99); // no such pin: no driver command, all ground off
    EXPECT_EQ(sent(), cat({bytes({27, 0x06}), nops(10)}));
}

TEST_F(VccGndRegisters, RaisedSupplyByFirmware)
{
    link.RouteRaisedSupply(40);
    EXPECT_EQ(sent(), cat({bytes({25, 0x00}), nops(500), bytes({71, 26, 0xFF}), nops(10), bytes({27, 0x05}),
                           nops(10)}));
    link.RouteRaisedSupply(0);
    EXPECT_EQ(sent(),
              cat({bytes({25, 0x80}), nops(500), bytes({26, 0xFF}), nops(10), bytes({27, 0x07}), nops(10)}));

    ProgrammerLink other;
    auto otherLog = AttachRecording(other, "kelm3v52");
    other.resetShadows();
    other.RouteRaisedSupply(40);
    other.Flush();
    EXPECT_EQ(otherLog->written, cat({bytes({24, 0x00}), nops(3), bytes({25, 0xC0}), nops(3), nops(1000)}));
}

TEST_F(AuxRegister, SelectorIsActiveLowAndClearsLatch6Bits4To6)
{
    link.SetPin(40, 1);
    link.SetPin(20, 1);
    sent();
    link.SetAuxSelect(1);
    EXPECT_EQ(sent(), cat({bytes({14, 0x8F, 22, 0x60}), nops(10)}));
    link.SetAuxSelect(4);
    EXPECT_EQ(sent(), cat({bytes({14, 0x8F, 22, 0x30}), nops(10)}));
    link.SetAuxSelect(0);
    EXPECT_EQ(sent(), cat({bytes({14, 0x8F, 22, 0x70}), nops(10)}));

    link.RouteClock(19);
    EXPECT_EQ(link.shadows().aux, 0x60);
    link.RouteClock(15);
    EXPECT_EQ(link.shadows().aux, 0x50);
    link.RouteClock(0);
    EXPECT_EQ(link.shadows().aux, 0x70);
    sent();
    link.RouteClock(18);
    EXPECT_TRUE(sent().empty());
}

TEST_F(Reads, PinsReadThroughTheirPortBit)
{
    // Port and bit per pin: 1..19 and 21..39 skip pin 20.
    struct Case {
        int pin, command, bit;
    };
    for (const Case c : {Case{1, 1, 0}, Case{8, 1, 7}, Case{9, 2, 0}, Case{19, 3, 2}, Case{21, 3, 3},
                         Case{25, 3, 7}, Case{26, 4, 0}, Case{33, 4, 7}, Case{34, 5, 0}, Case{39, 5, 5}}) {
        SCOPED_TRACE(c.pin);
        log->replies = {static_cast<uint8_t>(1 << c.bit), static_cast<uint8_t>(~(1 << c.bit))};
        EXPECT_EQ(link.ReadPin(c.pin), 1);
        EXPECT_EQ(link.ReadPin(c.pin), 0);
        EXPECT_EQ(sent(), bytes({c.command, c.command}));
    }
}

TEST_F(Reads, Pins20And40ComeFromTheStatusByte)
{
    log->replies = {0x80, 0x7F, 0x40, 0xBF};
    EXPECT_EQ(link.ReadPin(20), 1);
    EXPECT_EQ(link.ReadPin(20), 0);
    EXPECT_EQ(link.ReadPin(40), 1);
    EXPECT_EQ(link.ReadPin(40), 0);
    const Bytes one = cat({bytes({7}), nops(3)});
    EXPECT_EQ(sent(), cat({one, one, one, one}));
}

TEST_F(Reads, NoSuchPinReadsHighAndSendsNothing)
{
    EXPECT_EQ(link.ReadPin(0), 1);
    EXPECT_EQ(link.ReadPin(41), 1);
    EXPECT_EQ(link.ReadPort(5), 255);
    EXPECT_TRUE(sent().empty());
    EXPECT_EQ(log->reads, 0);
}

TEST_F(Reads, DataByteAndStatus)
{
    log->replies = {0x5A, 37, 0x80 | 37, 36, 0xFF};
    EXPECT_EQ(link.ReadDataByte(), 0x5A);
    EXPECT_EQ(link.CheckSocketStatus(), 255);
    EXPECT_EQ(link.CheckSocketStatus(), 255);
    EXPECT_EQ(link.CheckSocketStatus(), 0);
    EXPECT_EQ(link.CheckSocketStatus(), 0);
    EXPECT_EQ(sent(), bytes({128, 7, 7, 7, 7}));
}

TEST_F(Reads, PortBlockAssemblesAnEightBitPort0)
{
    // Pins 32..39 of the box carry the byte: pin 39 is bit 0, pin 32 bit 7.
    FakeBox box;
    int port4Reads = 0;
    int port3Reads = 0;
    box.answer = [&](uint8_t command, const Bytes&) {
        if (command == 5) { // pins 34..39 in bits 0..5
            const int i = port4Reads++;
            uint8_t v = 0;
            for (int b = 0; b < 6; ++b) {
                if (i & (1 << (5 - b))) {
                    v |= static_cast<uint8_t>(1 << b);
                }
            }
            return Bytes{v};
        }
        if (command == 4) { // pin 32 in bit 6, pin 33 in bit 7
            const int i = port3Reads++;
            return Bytes{static_cast<uint8_t>(((i & 0x80) ? 0x40 : 0) | ((i & 0x40) ? 0x80 : 0))};
        }
        return Bytes{};
    };
    box.install(*log);
    uint8_t block[256] = {};
    uint8_t low = 0xFE;
    link.ReadPortBlock(block, low);
    for (int i = 0; i < 256; ++i) {
        ASSERT_EQ(block[i], i) << i;
    }
    EXPECT_EQ(low, 0xFE); // 256 steps wrap the 8-bit counter
    const Bytes all = sent();
    ASSERT_EQ(all.size(), 256u * 4);
    EXPECT_EQ(Bytes(all.begin(), all.begin() + 8), bytes({5, 4, 16, 0xFF, 5, 4, 16, 0x00}));
    EXPECT_LE(box.maxOwed, static_cast<size_t>(link.ReplyWindow()));
}

TEST(BitReverse, TableReversesEveryByte)
{
    const auto& table = ProgrammerLink::BitReverseTable();
    EXPECT_EQ(table[0x01], 0x80);
    EXPECT_EQ(table[0x0F], 0xF0);
    EXPECT_EQ(table[0x12], 0x48);
    for (int i = 0; i < 256; ++i) {
        EXPECT_EQ(table[table[i]], i);
    }
}

TEST_F(SocketState, PowerDownEndsWithCommandZeroAndReachesTheBoxAtOnce)
{
    link.RouteVpp(31);
    link.RouteVcc(40);
    link.RouteClock(19);
    link.Flush();
    log->clear();
    link.PowerDown();
    // No Flush: supplies-off must not wait for the next command.
    const Bytes out = log->written;
    ASSERT_FALSE(out.empty());
    EXPECT_EQ(out.back(), 0);
    EXPECT_EQ(Bytes(out.begin(), out.begin() + 4), bytes({14, 0x8F, 22, 0x60}));
    EXPECT_EQ(link.shadows().vppRouteA, 0);
    EXPECT_EQ(link.shadows().vppRouteB, 0x80);
    EXPECT_EQ(link.shadows().vccRouteA, 0xFF);
    EXPECT_EQ(link.shadows().vccGndRoute & 0x07, 0x07);
    EXPECT_EQ(link.shadows().aux, 0x70);
}

TEST_F(SocketState, ResetAndInitLeaveAnIdleSocket)
{
    link.SetPin(5, 1);
    link.SetPin(38, 1);
    link.RouteVcc(28);
    sent();
    link.ResetSocket();
    const Bytes reset = sent();
    EXPECT_EQ(Bytes(reset.begin(), reset.begin() + 4), bytes({13, 0xFE, 13, 0xFC}));
    EXPECT_EQ(reset.size(), 80u + 4 + 10 + 3 + 10 + 4 + 10);
    EXPECT_EQ(link.shadows().pinLatch, (std::array<uint8_t, 7>{0, 0, 0, 0, 0, 0, 0x0F}));
    EXPECT_EQ(link.shadows().vccGndRoute, 0x40 | 0x07);

    link.InitSocket();
    const Bytes init = sent();
    EXPECT_EQ(Bytes(init.begin(), init.begin() + 2), bytes({26, 0xFF}));
    EXPECT_EQ(Bytes(init.end() - 2, init.end()), bytes({9, 0x00}));
    EXPECT_EQ(link.shadows().vccGndRoute, 0x07);
}

TEST_F(SocketState, PageWriteModeAndFirmwareParameters)
{
    link.SetPageWriteMode(64);
    EXPECT_EQ(sent(), cat({bytes({135, 64, 14, 0x8F, 22, 0x70}), nops(10), bytes({13, 0xFF, 13, 0xFF})}));
    link.SetPageWriteMode(128);
    EXPECT_EQ(sent(), cat({bytes({135, 128, 14, 0x8F, 22, 0x30}), nops(10), bytes({13, 0xBF, 13, 0xBF})}));
    link.SetPageWriteMode(0);
    EXPECT_EQ(sent(), cat({bytes({135, 0, 14, 0x8F, 22, 0x30}), nops(10), bytes({13, 0xBF, 13, 0x3F})}));
    link.SetPageLength(256);
    link.SetPageLength(64);
    link.SetPulseLength(5);
    EXPECT_EQ(sent(), bytes({131, 0, 131, 64, 132, 5}));
}

TEST_F(Probes, HardwareModelFromPin31AndFirmware)
{
    log->replies = {0x00};
    EXPECT_EQ(link.ProbeHardwareModel(), 98); // firmware "kelu3v13"
    const Bytes out = sent();
    // Pin 31 is bit 5 of port 3: command 4, read while grounded.
    const Bytes tail = cat({bytes({4, 79, 27, 0x07}), nops(10)});
    EXPECT_EQ(Bytes(out.end() - static_cast<long>(tail.size()), out.end()), tail);

    log->replies = {0x20};
    EXPECT_EQ(link.ProbeHardwareModel(), 97);

    ProgrammerLink other;
    auto otherLog = AttachRecording(other, "kelm3v52");
    otherLog->replies = {0xDF};
    EXPECT_EQ(other.ProbeHardwareModel(), 99);
}

// A box with a working pin 1: floated it reads 1, driven low it reads 0.
void answerPin1(TransportLog& log, int failAtRead)
{
    auto reads = std::make_shared<int>(0);
    log.responder = [reads, failAtRead](const TransportLog& seen, uint8_t& reply) {
        bool driven = false;
        for (auto it = seen.written.rbegin(); it != seen.written.rend(); ++it) {
            if (*it == 80 || *it == 32) {
                driven = *it == 80;
                break;
            }
        }
        reply = driven ? 0xFE : 0xFF;
        if (++*reads == failAtRead) {
            reply ^= 1;
        }
        return true;
    };
}

TEST_F(Probes, PinLoopTestRuns101RoundsAndStopsAtTheFirstBadReading)
{
    answerPin1(*log, 0);
    EXPECT_TRUE(link.PinLoopTest());
    EXPECT_EQ(log->reads, 202);

    log->reads = 0;
    answerPin1(*log, 51);
    EXPECT_FALSE(link.PinLoopTest());
    EXPECT_EQ(log->reads, 51);
}

TEST_F(Probes, OscillatorPresence)
{
    ScriptedPrompt prompt;
    link.setPrompt(&prompt);
    // A running oscillator: XTAL2 (pin 18, port 2 bit 1) is the inverse of XTAL1.
    log->responder = [](const TransportLog& seen, uint8_t& reply) {
        bool xtal1Driven = false;
        for (auto it = seen.written.rbegin(); it != seen.written.rend(); ++it) {
            if (*it == 79 + 19 || *it == 31 + 19) {
                xtal1Driven = *it == 79 + 19;
                break;
            }
        }
        reply = xtal1Driven ? 0x02 : 0x00;
        return true;
    };
    EXPECT_TRUE(link.OscillatorPresenceTest(19, 18));
    EXPECT_TRUE(prompt.questions.empty());
    EXPECT_EQ(log->reads, 4);
    const Bytes out = sent();
    const Bytes tail = cat({bytes({26, 0xFF}), nops(10), bytes({27, 0x07}), nops(10)});
    EXPECT_EQ(Bytes(out.end() - static_cast<long>(tail.size()), out.end()), tail);

    // No chip: the readings agree; the user decides.
    log->answerAlways(0x02);
    size_t writtenAtQuestion = 0;
    prompt.echo = [&](const std::string&, const std::string&) { writtenAtQuestion = log->written.size(); };
    prompt.answer(true);
    EXPECT_TRUE(link.OscillatorPresenceTest(19, 18));
    ASSERT_EQ(prompt.questions.size(), 1u);
    EXPECT_EQ(prompt.questions[0], "Программатор отсутствует!\n\nПродолжать ?    ");
    // The supply went off and reached the box before the question.
    EXPECT_EQ(writtenAtQuestion, log->written.size());
    EXPECT_EQ(log->written[log->written.size() - 24], 26);
    prompt.answer(false);
    EXPECT_FALSE(link.OscillatorPresenceTest(15, 14));
}

} // namespace
} // namespace pontvex::linktest

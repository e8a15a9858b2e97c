// The box's command table: operand and reply counts, replies, time, bad input.

#include "BoxTestSupport.h"

#include <numeric>

namespace pontvex::boxsim {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(BoxCommands, IdentityStatusAndSerialNumber)
{
    Box box;
    EXPECT_EQ(box.feed({15}), (Bytes{'k', 'e', 'l', 'u', '3', 'v', '1', '3', 0}));
    box.setFirmwareId("kelm3v52");
    EXPECT_EQ(box.feed({15}).size(), 9u);
    // Pins 20 and 40 float at power-on and read 1; the low bits say ready.
    EXPECT_EQ(box.feed({7}), Bytes{37 | 0x80 | 0x40});
    // Ground on pin 20 clears bit 7 only.
    EXPECT_EQ(box.feed({27, 0x47, 7}), Bytes{37 | 0x40});
    Bytes sn = box.feed({184});
    EXPECT_EQ(std::string(sn.begin(), sn.end()), "SIMBOX0000000001");
    EXPECT_EQ(box.errorReport(), "");
}

TEST(BoxCommands, EveryDefinedCommandTakesItsOperandsAndAnswersItsReplies)
{
    struct Row {
        uint8_t command;
        int operands;
        int replies;
    };
    const Row rows[] = {
        {0, 0, 0},   {1, 0, 1},   {5, 0, 1},   {7, 0, 1},   {8, 1, 0},   {14, 1, 0},  {15, 0, 9},
        {16, 1, 0},  {20, 1, 0},  {22, 1, 0},  {24, 1, 0},  {27, 1, 0},  {30, 0, 0},  {31, 0, 0},
        {32, 0, 0},  {71, 0, 0},  {79, 0, 0},  {80, 0, 0},  {119, 0, 0}, {128, 0, 1}, {129, 0, 2},
        {130, 0, 2}, {131, 1, 0}, {132, 1, 0}, {133, 2, 0}, {135, 1, 0}, {137, 1, 1}, {138, 1, 0},
        {139, 1, 0}, {140, 1, 1}, {144, 1, 1}, {145, 1, 1}, {147, 0, 0}, {160, 0, 1}, {161, 1, 0},
        {165, 0, 1}, {166, 1, 0}, {167, 0, 1}, {168, 1, 0}, {169, 1, 2}, {170, 3, 0}, {171, 2, 0},
        {172, 0, 2}, {173, 2, 0}, {174, 0, 2}, {176, 1, 0}, {177, 1, 0}, {178, 0, 1}, {184, 0, 16}};
    for (const Row& r : rows) {
        Box box;
        Bytes in{r.command};
        in.insert(in.end(), static_cast<size_t>(r.operands), 0x00);
        // A status request right after proves the operands were all taken.
        in.push_back(7);
        Bytes out = box.feed(std::span<const uint8_t>(in));
        ASSERT_EQ(out.size(), static_cast<size_t>(r.replies + 1)) << "command " << int(r.command);
        EXPECT_EQ(out.back() & 0x3F, 37) << "command " << int(r.command);
        EXPECT_EQ(box.errorReport(), "") << "command " << int(r.command);
    }
}

TEST(BoxCommands, PageCommandsTakeThePageLength)
{
    for (uint8_t c : {136, 146, 150}) {
        Box box;
        box.feed({17, 0x00, 131, 4});
        Bytes out = box.feed({c, 1, 2, 3, 4, 7});
        EXPECT_EQ(out.size(), 1u) << int(c);
        EXPECT_EQ(box.lowAddress(), 4) << "one step per page byte";
    }
    Box box;
    box.feed({131, 0});
    EXPECT_EQ(box.pageLength(), 256);
}

TEST(BoxCommands, UndefinedBytesAreProtocolErrorsAndSkipped)
{
    for (uint8_t c :
         {6, 21, 23, 28, 29, 72, 78, 120, 127, 134, 148, 149, 151, 159, 162, 175, 183, 185, 255}) {
        Box box;
        EXPECT_EQ(box.feed({c, 7}), Bytes{37 | 0xC0}) << int(c);
        EXPECT_NE(box.errorReport().find("undefined command byte " + std::to_string(c)), std::string::npos);
    }
}

TEST(BoxCommands, CommandCutShortAtTheEndOfTheStreamIsReported)
{
    Box box;
    box.feed({131, 3, 136, 1});
    box.endOfStream();
    EXPECT_NE(box.errorReport().find("command 136 cut short: 1 of 3"), std::string::npos);
    Box quiet;
    quiet.feed({30, 7});
    quiet.endOfStream();
    EXPECT_EQ(quiet.errorReport(), "");
}

TEST(BoxCommands, RegistersFollowTheirCommands)
{
    Box box;
    box.feed({8, 0x01, 13, 0x0F, 16, 0xA5, 20, 0x3C, 22, 0x60, 24, 0x04, 25, 0x21, 26, 0xEF, 27, 0x06});
    EXPECT_EQ(box.pinLatch(0), 0x01);
    EXPECT_EQ(box.pinLatch(5), 0x0F);
    EXPECT_EQ(box.portLatch(0), 0xA5);
    EXPECT_EQ(box.portLatch(4), 0x3C);
    EXPECT_EQ(box.clockPin(), 19);
    EXPECT_EQ(box.vppRoutedPins(), (std::vector<int>{7, 20, 34}));
    EXPECT_EQ(box.vccRoutedPins(), (std::vector<int>{28, 36}));
    EXPECT_EQ(box.gndPin(), 0);
    EXPECT_EQ(box.feed({14, 0xFA}), Bytes{});
    EXPECT_EQ(box.vppCode(), 5);
    EXPECT_TRUE(box.vccRaised());
    EXPECT_EQ(box.errorReport(), "");
}

TEST(BoxCommands, ReadPortsGiveThePinsInBitOrder)
{
    Box box;
    // Ports own every pin; latches 0 let the port bits through.
    box.feed({13, 0x00, 16, 0x5A, 17, 0xC3, 18, 0x81, 19, 0x18, 20, 0x2A});
    EXPECT_EQ(box.feed({1, 2, 3, 4, 5}), (Bytes{0x5A, 0xC3, 0x81, 0x18, 0xEA}));
    EXPECT_EQ(box.pinLevel(8), 0);  // port 0 bit 7
    EXPECT_EQ(box.pinLevel(21), 0); // port 2 bit 3
    EXPECT_EQ(box.pinLevel(25), 1); // port 2 bit 7
}

TEST(BoxCommands, FirmwareReadStepsTheLowAddressBitReversed)
{
    Box box;
    box.feed({17, 0x00});
    box.feed({128});
    EXPECT_EQ(box.portLatch(1), 0x80) << "A0 is bit 7";
    box.feed({147, 147});
    EXPECT_EQ(box.lowAddress(), 3);
    EXPECT_EQ(box.portLatch(1), 0xC0);
    box.feed({17, 0x7F}); // low address 0xFE
    box.feed({147, 147});
    EXPECT_EQ(box.lowAddress(), 0x00) << "wraps in 8 bits";
    box.feed({129});
    EXPECT_EQ(box.lowAddress(), 0x00) << "256 steps come back";
}

TEST(BoxCommands, TimeIsOneUnitPerByteAndLongCommandsKeepTheBoxBusy)
{
    Box box;
    box.feed({30, 30, 30});
    EXPECT_EQ(box.readyAt(), 3);
    box.feed({129});
    EXPECT_EQ(box.readyAt(), 3 + 256);
    box.feed({130});
    EXPECT_EQ(box.readyAt(), 3 + 512);
    box.feed({132, 20, 143, 0x55});
    EXPECT_EQ(box.readyAt(), 3 + 512 + 2 + 1 + 20 + 1) << "pulse of 20 units plus the verify read";
    EXPECT_EQ(box.stats().bytesIn, 9u);
    EXPECT_EQ(box.stats().busy, 255 + 255 + 20);
}

TEST(BoxCommands, FamilyCommandsWithoutAChipAnswer0xFFAndWarn)
{
    Box box;
    EXPECT_EQ(box.feed({169, 0x01}), (Bytes{0xFF, 0xFF}));
    EXPECT_EQ(box.errorReport(), "");
    EXPECT_NE(box.warningReport().find("family command 169"), std::string::npos);
}

TEST(BoxCommands, DataCommandsOfPortZeroMoveBytesBothWays)
{
    Box box;
    box.feed({10, 0x3F, 12, 0x03}); // bus mode 7: P0 released
    box.feed({161, 0xA5});
    // 161 takes the P0 pins and clears their latches, so the byte is on them.
    uint8_t p0 = 0;
    const int pins[8] = {39, 38, 37, 36, 35, 34, 33, 32};
    for (int n = 0; n < 8; ++n) {
        p0 |= static_cast<uint8_t>(box.pinLevel(pins[n]) << n);
    }
    EXPECT_EQ(p0, 0xA5);
    EXPECT_EQ(box.feed({160}), Bytes{0xA5});
    box.feed({166, 0x3C});
    EXPECT_EQ(box.feed({165}), Bytes{0x3C});
}

// An 8-pin two-wire part at socket pins 17..24 that keeps SDA at each SCL rise.
class TwoWireListener : public ChipModel {
public:
    std::string name() const override { return "LISTENER"; }
    int pinCount() const override { return 8; }
    int firstSocketPin() const override { return 17; }
    int vccPin() const override { return 8; }
    int gndPin() const override { return 4; }
    void onPins(ChipIo& io) override
    {
        if (io.powered() && io.rose(6)) {
            bits.push_back(io.pin(5).level);
        }
    }
    std::vector<int> bits;
};

TEST(BoxCommands, TwoWireByteShiftsOutMostSignificantBitFirst)
{
    auto chip = std::make_unique<TwoWireListener>();
    TwoWireListener* c = chip.get();
    Box box;
    box.insertChip(std::move(chip));
    // Latches 0 so L sinks; ground on 20, pin 24 floated high powers the chip.
    box.feed({11, 0x00, 27, 0x40, 55, 101, 102});
    box.feed({176, 0xA1});
    EXPECT_EQ(c->bits, (std::vector<int>{1, 0, 1, 0, 0, 0, 0, 1}));
    EXPECT_EQ(box.pinLevel(22), 0) << "SCL ends low";
    EXPECT_EQ(box.pinLevel(21), 1) << "SDA keeps the last bit";
    EXPECT_EQ(box.errorReport(), "");
}

TEST(BoxCommands, TraceListsEveryCommandWithTimeAndMeaning)
{
    Box box;
    box.trace().keepInMemory(true);
    box.feed({10, 0xC2, 30, 30, 30, 7, 6});
    std::string t = box.trace().text();
    EXPECT_NE(t.find("t=00000000 > 0A C2"), std::string::npos) << t;
    EXPECT_NE(t.find("pin latch 2 := C2"), std::string::npos) << t;
    EXPECT_NE(t.find("t=00000002 > 1E x3"), std::string::npos) << t;
    EXPECT_NE(t.find("t=00000005 > 07"), std::string::npos) << t;
    EXPECT_NE(t.find("t=00000006 < E5"), std::string::npos) << t;
    EXPECT_NE(t.find("undefined command 6"), std::string::npos) << t;
    EXPECT_NE(t.find("ERROR protocol"), std::string::npos) << t;
}

} // namespace
} // namespace pontvex::boxsim

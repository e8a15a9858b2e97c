// The two-wire EEPROM model driven by pin levels, as a bus master would, and
// through the box with the byte sequences the two-wire family sends.

#include "boxsim/chips/I2cEeprom.h"
#include "BoxTestSupport.h"
#include "SlavePins.h"
#include "boxsim/LineModel.h"

#include <numeric>

namespace pontvex::boxsim {
namespace {

using simtest::SimBench;
using simtest::SlavePins;

constexpr int kA0 = 1, kA1 = 2, kA2 = 3, kGnd = 4, kSda = 5, kScl = 6, kWp = 7, kVcc = 8;

// A bus master on the chip's own pins; every half clock is a tenth of a unit.
struct Master {
    explicit Master(std::unique_ptr<ChipModel> model)
        : owned(std::move(model)), chip(dynamic_cast<I2cEeprom&>(*owned)), pins(chip)
    {
        for (int p : {kA0, kA1, kA2, kWp}) {
            pins.set(p, 0);
        }
        pins.powerUp(kVcc, kGnd);
        pins.set(kScl, 1);
        pins.set(kSda, 1);
    }
    void half() { pins.wait(0.1); }
    void start()
    {
        pins.set(kSda, 1);
        pins.set(kScl, 1);
        half();
        pins.set(kSda, 0);
        half();
        pins.set(kScl, 0);
    }
    void stop()
    {
        pins.set(kSda, 0);
        pins.set(kScl, 1);
        half();
        pins.set(kSda, 1);
        half();
    }
    // One clock with SDA at `level` (1 = released); returns SDA while SCL is high.
    int clock(int level)
    {
        pins.set(kSda, level);
        half();
        pins.set(kScl, 1);
        half();
        int seen = pins.level(kSda);
        pins.set(kScl, 0);
        return seen;
    }
    // Eight bits out and the acknowledge clock: true when the chip pulled SDA low.
    bool write(uint8_t b)
    {
        for (int i = 7; i >= 0; --i) {
            clock((b >> i) & 1);
        }
        return clock(1) == 0;
    }
    uint8_t read(bool ack)
    {
        int v = 0;
        for (int i = 0; i < 8; ++i) {
            v = (v << 1) | clock(1);
        }
        clock(ack ? 0 : 1);
        pins.set(kSda, 1);
        return static_cast<uint8_t>(v);
    }
    bool writeBytes(uint8_t address, std::vector<uint8_t> data)
    {
        start();
        bool ok = write(0xA0) && write(address);
        for (uint8_t d : data) {
            ok = write(d) && ok;
        }
        stop();
        return ok;
    }
    std::vector<uint8_t> readBytes(uint8_t address, int n)
    {
        start();
        EXPECT_TRUE(write(0xA0));
        EXPECT_TRUE(write(address));
        start();
        EXPECT_TRUE(write(0xA1));
        std::vector<uint8_t> out;
        for (int i = 0; i < n; ++i) {
            out.push_back(read(i + 1 < n));
        }
        stop();
        return out;
    }
    void waitWriteCycle() { pins.wait(chip.type().writeCycle); }

    std::unique_ptr<ChipModel> owned;
    I2cEeprom& chip;
    SlavePins pins;
};

Master master24C02()
{
    return Master(makeChipModel("24C02"));
}

TEST(I2cEeprom, TheModelIsA24C02InTheBottomOfTheSocket)
{
    auto chip = makeChipModel("24C02");
    ASSERT_TRUE(chip);
    EXPECT_EQ(chip->pinCount(), 8);
    // SDA 21, SCL 22, Vcc 24, GND 20, WP 23, A0..A2 17..19 as the family's rows put them.
    EXPECT_EQ(chip->socketPin(kSda), 21);
    EXPECT_EQ(chip->socketPin(kScl), 22);
    EXPECT_EQ(chip->socketPin(kVcc), 24);
    EXPECT_EQ(chip->socketPin(kGnd), 20);
    EXPECT_EQ(chip->socketPin(kWp), 23);
    EXPECT_EQ(chip->socketPin(kA0), 17);
    EXPECT_EQ(chip->socketPin(kA2), 19);
    ASSERT_EQ(chip->memories().size(), 1u);
    EXPECT_EQ(chip->memories()[0].name, "array");
    EXPECT_EQ(chip->memories()[0].words, 256u);
    EXPECT_EQ(makeChipForRow("P24", 2)->name(), "24C02");
    auto& e = dynamic_cast<I2cEeprom&>(*chip);
    EXPECT_EQ(e.type().pageSize, 8);
    EXPECT_NEAR(unitsToMilliseconds(e.type().writeCycle), 5.0, 1e-9) << "t_WR of the data sheets";
}

TEST(I2cEeprom, ByteWriteThenRandomReadRoundTrip)
{
    Master m = master24C02();
    EXPECT_TRUE(m.writeBytes(0x3C, {0x5A}));
    EXPECT_EQ(m.chip.cell(0x3C), 0x5A);
    EXPECT_EQ(m.chip.writeCycles(), 1);
    m.waitWriteCycle();
    EXPECT_EQ(m.readBytes(0x3C, 1), (std::vector<uint8_t>{0x5A}));
    EXPECT_EQ(m.readBytes(0x3D, 1), (std::vector<uint8_t>{0xFF})) << "the rest stays erased";
    EXPECT_TRUE(m.pins.warnings().empty());
}

TEST(I2cEeprom, DeviceByteNeedsTheCodeAndTheAddressPins)
{
    struct Case {
        int a2, a1, a0;
        uint8_t device;
        bool ack;
    };
    const Case cases[] = {
        {0, 0, 0, 0xA0, true},  {0, 0, 0, 0xA2, false}, {0, 0, 1, 0xA2, true},
        {1, 0, 1, 0xAA, true},  {1, 1, 1, 0xAE, true},  {1, 1, 1, 0xAC, false},
        {0, 0, 0, 0xB0, false}, {0, 0, 0, 0x50, false}, {0, 1, 0, 0xA5, true}, // a read
    };
    for (const Case& c : cases) {
        Master m = master24C02();
        m.pins.set(kA0, c.a0);
        m.pins.set(kA1, c.a1);
        m.pins.set(kA2, c.a2);
        m.start();
        EXPECT_EQ(m.write(c.device), c.ack)
            << std::hex << int(c.device) << " A2..A0 " << c.a2 << c.a1 << c.a0;
        EXPECT_EQ(m.pins.chipDrive(kSda), -1) << "SDA is let go after the ninth clock (erased cells read 1)";
    }
}

TEST(I2cEeprom, PageWriteWrapsInsideTheEightBytePage)
{
    Master m = master24C02();
    std::vector<uint8_t> data(10);
    std::iota(data.begin(), data.end(), uint8_t{0x10});
    // Start at 0x0E: 0x0E, 0x0F, then back to 0x08.
    EXPECT_TRUE(m.writeBytes(0x0E, data));
    EXPECT_EQ(m.chip.writeCycles(), 1) << "one page is one write cycle";
    std::vector<uint8_t> expect(256, 0xFF);
    // Ten bytes into eight cells: 0x18 and 0x19 overwrite the first two, at 0x0E and 0x0F.
    const uint8_t page[8] = {0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18, 0x19};
    for (int i = 0; i < 8; ++i) {
        expect[0x08 + i] = page[i];
    }
    EXPECT_EQ(m.chip.readMemory("array"), expect);
}

TEST(I2cEeprom, SequentialReadRollsOverAndTheCounterStays)
{
    Master m = master24C02();
    std::vector<uint8_t> image(256);
    std::iota(image.begin(), image.end(), uint8_t{0});
    ASSERT_TRUE(m.chip.writeMemory("array", image));
    EXPECT_EQ(m.readBytes(0xFD, 5), (std::vector<uint8_t>{0xFD, 0xFE, 0xFF, 0x00, 0x01}));
    // Current address read: device byte with R/W = 1 and no address.
    m.start();
    EXPECT_TRUE(m.write(0xA1));
    EXPECT_EQ(m.read(false), 0x02);
    m.stop();
    m.start();
    EXPECT_TRUE(m.write(0xA1));
    EXPECT_EQ(m.read(false), 0x03);
    m.stop();
}

TEST(I2cEeprom, MasterNoAcknowledgeEndsTheRead)
{
    Master m = master24C02();
    ASSERT_TRUE(m.chip.writeMemory("array", std::vector<uint8_t>{0x00, 0x00, 0x00}));
    m.start();
    ASSERT_TRUE(m.write(0xA1));
    EXPECT_EQ(m.read(false), 0x00);
    // More clocks without a START: the chip would drive zeros if it still sent.
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(m.clock(1), 1);
    }
    EXPECT_EQ(m.pins.chipDrive(kSda), -1);
}

TEST(I2cEeprom, NoAcknowledgeDuringTheWriteCycleSoPollingFindsItsEnd)
{
    struct Timing {
        const char* what;
        double tWrMs; // the chip's write cycle
    };
    const Timing timings[] = {{"data sheet t_WR", 5.0}, {"slow part", 10.0}, {"fast part", 1.0}};
    for (const Timing& t : timings) {
        Master m = master24C02();
        m.chip.setWriteCycle(millisecondsToUnits(t.tWrMs));
        ASSERT_TRUE(m.writeBytes(0x20, {0x42}));
        const SimTime stopAt = m.pins.now();
        const SimTime readyAt = stopAt + millisecondsToUnits(t.tWrMs);
        int polls = 0;
        SimTime lastRefused = -1;
        for (;; ++polls) {
            const SimTime pollStart = m.pins.now();
            m.start();
            if (m.write(0xA0)) {
                EXPECT_GE(m.pins.now(), readyAt) << t.what << ": acknowledged before t_WR";
                break;
            }
            lastRefused = pollStart;
            m.pins.wait(1.0);
            ASSERT_LT(polls, 1000) << t.what;
        }
        m.stop();
        EXPECT_GT(polls, 0) << t.what;
        EXPECT_LT(lastRefused, readyAt) << t.what;
        EXPECT_GT(lastRefused, readyAt - 4.0) << t.what << ": refused up to the last poll before t_WR";
        EXPECT_EQ(m.readBytes(0x20, 1), (std::vector<uint8_t>{0x42})) << t.what;
    }
}

TEST(I2cEeprom, WriteProtectKeepsTheArray)
{
    Master m = master24C02();
    m.pins.set(kWp, 1);
    EXPECT_TRUE(m.writeBytes(0x00, {0x11, 0x22}));
    EXPECT_EQ(m.chip.cell(0), 0xFF);
    EXPECT_EQ(m.chip.protectedWrites(), 1);
    EXPECT_FALSE(m.chip.busy(m.pins.now())) << "no write cycle starts";
    m.pins.set(kWp, 0);
    EXPECT_TRUE(m.writeBytes(0x00, {0x11, 0x22}));
    EXPECT_EQ(m.chip.cell(0), 0x11);
    EXPECT_EQ(m.chip.cell(1), 0x22);
}

TEST(I2cEeprom, StartWithoutStopBeginsAFreshTransfer)
{
    Master m = master24C02();
    ASSERT_TRUE(m.chip.writeMemory("array", std::vector<uint8_t>{0x00, 0x81, 0x7E}));
    // The family's random read: no acknowledge clock is sent by a master that
    // keeps SDA released, and no STOP follows; the next START still works.
    for (uint8_t a : {uint8_t{1}, uint8_t{2}, uint8_t{1}}) {
        m.start();
        ASSERT_TRUE(m.write(0xA0));
        ASSERT_TRUE(m.write(a));
        m.start();
        ASSERT_TRUE(m.write(0xA1));
        EXPECT_EQ(m.read(false), a == 1 ? 0x81 : 0x7E);
        m.pins.set(kScl, 1); // SCL left high, SDA high: no STOP edge
    }
    // A write cut off by a repeated START writes nothing.
    m.start();
    ASSERT_TRUE(m.write(0xA0));
    ASSERT_TRUE(m.write(0x05));
    ASSERT_TRUE(m.write(0x55));
    m.start();
    m.stop();
    EXPECT_EQ(m.chip.cell(5), 0xFF);
    EXPECT_EQ(m.chip.writeCycles(), 0);
}

TEST(I2cEeprom, PowerLossResetsTheBusAndKeepsTheArray)
{
    Master m = master24C02();
    ASSERT_TRUE(m.writeBytes(0x40, {0xC3}));
    m.waitWriteCycle();
    m.start();
    ASSERT_TRUE(m.write(0xA0));
    ASSERT_TRUE(m.write(0x41));
    ASSERT_TRUE(m.write(0x99));
    m.pins.powerDown(kVcc);
    m.pins.powerUp(kVcc, kGnd);
    m.stop(); // a STOP after the power cycle finds no write under way
    EXPECT_EQ(m.chip.cell(0x41), 0xFF);
    EXPECT_EQ(m.chip.cell(0x40), 0xC3);
    EXPECT_EQ(m.readBytes(0x40, 1), (std::vector<uint8_t>{0xC3}));
    // Unpowered, the chip answers nothing.
    m.pins.powerDown(kVcc);
    m.start();
    EXPECT_FALSE(m.write(0xA0));
}

TEST(I2cEeprom, StuckBitShowsInEveryRead)
{
    Master m = master24C02();
    m.chip.addStuckCell({0x10, 0x01, 0x00});
    ASSERT_TRUE(m.writeBytes(0x10, {0xFF}));
    m.waitWriteCycle();
    EXPECT_EQ(m.readBytes(0x10, 1), (std::vector<uint8_t>{0xFE}));
}

TEST(I2cEeprom, BothLinesInOneStepCountSclFirst)
{
    // SCL falling with SDA moving: a data change, nothing else.
    Master m = master24C02();
    m.start();
    for (int i = 7; i >= 1; --i) {
        m.clock((0xA0 >> i) & 1);
    }
    m.pins.set(kSda, 0);
    m.pins.set(kScl, 1);
    m.pins.setTogether({{kScl, 0}, {kSda, 1}});
    EXPECT_EQ(m.clock(1), 0) << "the device byte was taken whole and acknowledged";
    EXPECT_TRUE(m.pins.warnings().empty());
    // SCL rising with SDA falling: SDA missed its setup time, so the chip sees
    // a START once SCL is high, and says so.
    m.pins.set(kSda, 1);
    m.pins.setTogether({{kScl, 1}, {kSda, 0}});
    m.pins.set(kScl, 0);
    EXPECT_TRUE(m.write(0xA0)) << "a fresh device byte after the START";
    EXPECT_EQ(m.pins.warnings().size(), 1u);
}

TEST(I2cEeprom, OtherSizesAndTheOldProtocolAreOneDescriptionEach)
{
    // Framing as the family sends it: A8..A10 in device-byte bits 1..3 up to
    // 2 KiB, two address bytes (high first) above, and for the one-byte
    // protocol the address shifted left with R/W in bit 0.
    struct Case {
        I2cEepromType type;
        uint32_t address;
        std::vector<uint8_t> writeHead; // the bytes before the data
        std::vector<uint8_t> readHead;  // dummy write, then the read byte after a repeated START
    };
    const SimTime tWr = millisecondsToUnits(5.0);
    const Case cases[] = {
        {{"24C04", 512, 16, 1, 1, tWr}, 0x1C4, {0xA2, 0xC4}, {0xA2, 0xC4, 0xA3}},
        {{"24C16", 2048, 16, 1, 3, tWr}, 0x5A3, {0xAA, 0xA3}, {0xAA, 0xA3, 0xAB}},
        {{"24C32", 4096, 32, 2, 0, tWr}, 0xABC, {0xA0, 0x0A, 0xBC}, {0xA0, 0x0A, 0xBC, 0xA1}},
        {{"24C512", 65536, 128, 2, 0, tWr}, 0xFEDC, {0xA0, 0xFE, 0xDC}, {0xA0, 0xFE, 0xDC, 0xA1}},
        {{"X24C01", 128, 4, 0, 0, tWr, false}, 0x55, {0xAA}, {0xAB}},
    };
    for (const Case& c : cases) {
        const SCOPED_TRACE(c.type.name);
        Master m(std::make_unique<I2cEeprom>(c.type));
        if (c.type.blockBits == 3 || c.type.addressBytes == 0) {
            // No address pin is compared: their levels do not matter.
            for (int p : {kA0, kA1, kA2}) {
                m.pins.set(p, 1);
            }
        } else if (c.type.blockBits == 1) {
            m.pins.set(kA0, 1); // the pin A8 replaces
        }
        m.start();
        for (uint8_t b : c.writeHead) {
            EXPECT_TRUE(m.write(b));
        }
        EXPECT_TRUE(m.write(0x6D));
        m.stop();
        EXPECT_EQ(m.chip.cell(c.address), 0x6D);
        EXPECT_EQ(m.chip.readMemory("array").size(), c.type.size);
        m.waitWriteCycle();
        m.start();
        for (size_t i = 0; i < c.readHead.size(); ++i) {
            if (i + 1 == c.readHead.size()) {
                m.start();
            }
            EXPECT_TRUE(m.write(c.readHead[i]));
        }
        EXPECT_EQ(m.read(false), 0x6D);
        m.stop();
    }
}

// --- through the box ------------------------------------------------------

constexpr int kBoxSda = 21, kBoxScl = 22;

// The two-wire family's bus routines, as its pin commands.
struct TwoWireFamily : SimBench {
    TwoWireFamily() : SimBench(makeChipForRow("P24", 2)) { link.ResetSocket(); }
    // The chip once the box has taken every byte queued so far.
    I2cEeprom& chip()
    {
        link.Flush();
        return chipAs<I2cEeprom>();
    }

    void powerUp()
    {
        link.RouteVpp(0);
        link.RouteVcc(0);
        link.WriteAllLatches(0);
        link.LinkDelay(100);
        link.WriteAllLatches(255);
        link.RouteVcc(24);
        link.RouteGnd(20);
        for (int p : {17, 18, 19, 23}) {
            link.DrivePin(p);
        }
    }
    void busStart()
    {
        link.DrivePin(kBoxSda);
        link.FloatPin(kBoxSda);
        link.FloatPin(kBoxScl);
        link.DrivePin(kBoxSda);
        link.DrivePin(kBoxScl);
    }
    void busStop()
    {
        link.DrivePin(kBoxSda);
        link.FloatPin(kBoxScl);
        link.FloatPin(kBoxSda);
    }
    void sendByte(uint8_t b)
    {
        link.SendByte(176);
        link.SendByte(b);
    }
    void ackClock()
    {
        link.FloatPin(kBoxSda);
        link.FloatPin(kBoxScl);
        link.DrivePin(kBoxScl);
    }
    uint8_t readByte(int a)
    {
        link.SetPin(kBoxSda, 0);
        busStart();
        sendByte(0xA0);
        ackClock();
        sendByte(static_cast<uint8_t>(a));
        ackClock();
        busStart();
        sendByte(0xA1);
        ackClock();
        link.SetPin(kBoxSda, 1);
        int v = 0;
        for (int i = 0; i < 8; ++i) {
            link.FloatPin(kBoxScl);
            v = (v << 1) | (link.ReadPin(kBoxSda) ? 1 : 0);
            link.DrivePin(kBoxScl);
        }
        busStop();
        link.SetPin(kBoxSda, 0);
        return static_cast<uint8_t>(v);
    }
    void writeByte(int a, uint8_t b, int waitUnits)
    {
        busStart();
        sendByte(0xA0);
        ackClock();
        sendByte(static_cast<uint8_t>(a));
        ackClock();
        sendByte(b);
        ackClock();
        busStop();
        link.LinkDelay(waitUnits);
    }
};

TEST(I2cEepromInTheBox, TheFamilysRandomReadReadsTheByte)
{
    TwoWireFamily f;
    std::vector<uint8_t> image(256);
    for (size_t i = 0; i < image.size(); ++i) {
        image[i] = static_cast<uint8_t>(i * 7 + 3);
    }
    ASSERT_TRUE(f.chip().writeMemory("array", image));
    f.powerUp();
    f.link.SetPin(kBoxSda, 1);
    f.link.LinkDelay(100);
    for (int a : {0, 1, 0x80, 0xFF, 0x37}) {
        EXPECT_EQ(f.readByte(a), image[static_cast<size_t>(a)]) << a;
    }
    EXPECT_EQ(f.now().errorReport(), "");
}

TEST(I2cEepromInTheBox, TwoWireByteKeepsToTheBusRules)
{
    // Every bit of command 176 changes SDA only while SCL is low: the chip
    // sees one START (from the family's BusStart) and takes the byte whole.
    TwoWireFamily f;
    f.powerUp();
    f.link.SetPin(kBoxSda, 0);
    // SCL left high by the program: the command lowers it before moving SDA.
    f.link.DrivePin(kBoxSda);
    f.link.FloatPin(kBoxSda);
    f.link.FloatPin(kBoxScl);
    f.link.DrivePin(kBoxSda); // START
    ASSERT_EQ(f.level(kBoxScl), 1);
    f.sendByte(0xA0);
    EXPECT_EQ(f.level(kBoxScl), 0) << "SCL ends low";
    f.link.FloatPin(kBoxSda);
    EXPECT_EQ(f.level(kBoxSda), 0) << "the chip took the byte whole and acknowledges it";
    f.link.FloatPin(kBoxScl);
    f.link.DrivePin(kBoxScl);
    EXPECT_EQ(f.level(kBoxSda), 1) << "and lets SDA go after the ninth clock";
    EXPECT_EQ(f.now().errorReport(), "");
}

TEST(I2cEepromInTheBox, FamilyWritePacingAgainstTheWriteCycle)
{
    // The family waits 10 units per selected millisecond after each byte and
    // never polls. Its default (5 ms) covers the data sheet t_WR; the fastest
    // setting loses bytes on a slow part, which its verify then finds.
    struct Case {
        int speedMs;
        double tWrMs;
        bool secondByteLands;
    };
    const Case cases[] = {{5, 5.0, true}, {1, 10.0, false}, {50, 10.0, true}};
    for (const Case& c : cases) {
        TwoWireFamily f;
        f.chip().setWriteCycle(millisecondsToUnits(c.tWrMs));
        f.powerUp();
        f.writeByte(0, 0x12, 10 * c.speedMs);
        f.writeByte(1, 0x34, 10 * c.speedMs);
        f.link.LinkDelay(200);
        f.link.Flush();
        EXPECT_EQ(f.chip().cell(0), 0x12) << c.speedMs << " ms/byte";
        EXPECT_EQ(f.chip().cell(1) == 0x34, c.secondByteLands) << c.speedMs << " ms/byte, t_WR " << c.tWrMs;
        EXPECT_EQ(f.now().errorReport(), "");
    }
}

} // namespace
} // namespace pontvex::boxsim

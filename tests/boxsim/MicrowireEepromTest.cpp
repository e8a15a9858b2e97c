// The Microwire EEPROM model driven by pin levels, as a controller would, and
// through the box with the byte sequences the Microwire family sends.

#include "boxsim/chips/MicrowireEeprom.h"
#include "BoxTestSupport.h"
#include "SlavePins.h"
#include "boxsim/LineModel.h"

#include <numeric>

namespace pontvex::boxsim {
namespace {

using simtest::SimBench;
using simtest::SlavePins;

constexpr int kCs = 1, kSk = 2, kDi = 3, kDo = 4, kGnd = 5, kOrg = 6, kVcc = 8;

// Opcodes after the start bit, and the two address bits that tell the 00 group apart.
constexpr int kRead = 2, kWrite = 1, kErase = 3, kGroup = 0;
constexpr int kEwen = 3, kEwds = 0, kEral = 2, kWral = 1;

// A controller on the chip's own pins; every half clock is a tenth of a unit.
struct Wire {
    explicit Wire(int org = 0)
        : owned(makeChipModel("93C46")), chip(dynamic_cast<MicrowireEeprom&>(*owned)), pins(chip)
    {
        pins.set(kCs, 0);
        pins.set(kSk, 0);
        pins.set(kDi, 0);
        pins.set(kOrg, org);
        pins.powerUp(kVcc, kGnd);
        x16 = org == 1;
    }
    int addressBits() const { return x16 ? 6 : 7; }
    int dataBits() const { return x16 ? 16 : 8; }
    void half() { pins.wait(0.1); }
    void clock(int di)
    {
        pins.set(kDi, di);
        half();
        pins.set(kSk, 1);
        half();
        pins.set(kSk, 0);
    }
    // One clock, DO read after SK has fallen again (as the family reads it).
    int clockRead()
    {
        pins.set(kSk, 1);
        half();
        pins.set(kSk, 0);
        half();
        return pins.level(kDo);
    }
    void send(uint32_t v, int n)
    {
        for (int i = n - 1; i >= 0; --i) {
            clock((v >> i) & 1);
        }
    }
    void deselect()
    {
        pins.set(kCs, 0);
        half();
    }
    // CS low then high, the start bit, the opcode and the address.
    void instruction(int opcode, uint32_t address)
    {
        deselect();
        pins.set(kCs, 1);
        half();
        clock(1);
        send(static_cast<uint32_t>(opcode), 2);
        send(address, addressBits());
    }
    void group(int which, bool withData = false, uint32_t data = 0)
    {
        instruction(kGroup, static_cast<uint32_t>(which) << (addressBits() - 2));
        if (withData) {
            send(data, dataBits());
        }
        deselect();
    }
    void ewen() { group(kEwen); }
    void ewds() { group(kEwds); }
    void eral() { group(kEral); }
    void wral(uint32_t v) { group(kWral, true, v); }
    void write(uint32_t a, uint32_t v)
    {
        instruction(kWrite, a);
        send(v, dataBits());
        deselect();
    }
    void erase(uint32_t a)
    {
        instruction(kErase, a);
        deselect();
    }
    std::vector<uint32_t> read(uint32_t a, int words = 1)
    {
        instruction(kRead, a);
        EXPECT_EQ(pins.chipDrive(kDo), 0) << "the dummy 0 follows the last address bit";
        std::vector<uint32_t> out;
        for (int w = 0; w < words; ++w) {
            uint32_t v = 0;
            for (int i = 0; i < dataBits(); ++i) {
                v = (v << 1) | static_cast<uint32_t>(clockRead());
            }
            out.push_back(v);
        }
        deselect();
        return out;
    }
    // CS low then high: DO shows the cycle; waits for ready, returns the time
    // DO went high, and deselects.
    SimTime waitReady()
    {
        deselect();
        pins.set(kCs, 1);
        for (int i = 0; i < 100000 && pins.sample(kDo) == 0; ++i) {
            pins.wait(0.25);
        }
        SimTime t = pins.now();
        deselect();
        return t;
    }

    std::unique_ptr<ChipModel> owned;
    MicrowireEeprom& chip;
    SlavePins pins;
    bool x16 = false;
};

TEST(MicrowireEeprom, TheModelIsA93C46WhereTheFamilyPutsIt)
{
    auto chip = makeChipModel("93C46");
    ASSERT_TRUE(chip);
    // CS 17, SK 18, DI 19, DO 20, GND 21, ORG 22, chip pin 7 at 23, Vcc 24.
    const int socket[] = {0, 17, 18, 19, 20, 21, 22, 23, 24};
    for (int p = 1; p <= 8; ++p) {
        EXPECT_EQ(chip->socketPin(p), socket[p]) << p;
    }
    EXPECT_EQ(chip->socketPin(chip->vccPin()), 24);
    EXPECT_EQ(chip->socketPin(chip->gndPin()), 21);
    ASSERT_EQ(chip->memories().size(), 1u);
    EXPECT_EQ(chip->memories()[0].name, "array");
    EXPECT_EQ(chip->memories()[0].byteSize(), 128u);
    EXPECT_NE(chip->memories()[0].description.find("2n"), std::string::npos);
    for (auto [key, variant] : {std::pair{"P93", 1}, {"P93", 4}, {"P93X16", 1}, {"P93X16", 4}}) {
        auto m = makeChipForRow(key, variant);
        ASSERT_TRUE(m) << key << " " << variant;
        EXPECT_EQ(m->name(), "93C46");
    }
}

TEST(MicrowireEeprom, EveryInstructionInBothOrganisations)
{
    struct Org {
        int orgPin;
        uint32_t ones;
        uint32_t value;
    };
    for (const Org& o : {Org{0, 0xFF, 0xA5}, Org{1, 0xFFFF, 0x1234}}) {
        Wire w(o.orgPin);
        const SCOPED_TRACE(o.orgPin ? "x16" : "x8");
        w.ewen();
        EXPECT_TRUE(w.chip.writeEnabled());
        w.write(3, o.value);
        w.waitReady();
        EXPECT_EQ(w.read(3), (std::vector<uint32_t>{o.value}));
        // Where the word sits in the byte image: x8 address a = byte a, x16
        // word n = bytes 2n (low) and 2n + 1 (high).
        std::vector<uint8_t> image = w.chip.readMemory("array");
        if (o.orgPin) {
            EXPECT_EQ(image[6], 0x34);
            EXPECT_EQ(image[7], 0x12);
        } else {
            EXPECT_EQ(image[3], 0xA5);
        }
        w.erase(3);
        w.waitReady();
        EXPECT_EQ(w.read(3), (std::vector<uint32_t>{o.ones}));
        w.wral(o.value);
        w.waitReady();
        const uint32_t last = o.orgPin ? 63 : 127;
        EXPECT_EQ(w.read(last), (std::vector<uint32_t>{o.value}));
        EXPECT_EQ(w.read(0), (std::vector<uint32_t>{o.value}));
        w.eral();
        w.waitReady();
        EXPECT_EQ(w.chip.readMemory("array"), std::vector<uint8_t>(128, 0xFF));
        w.ewds();
        EXPECT_FALSE(w.chip.writeEnabled());
        w.write(5, 0);
        EXPECT_EQ(w.chip.cell(o.orgPin ? 10 : 5), 0xFF) << "EWDS refuses writes";
        EXPECT_EQ(w.chip.refused(), 1);
        EXPECT_TRUE(w.pins.warnings().empty());
    }
}

TEST(MicrowireEeprom, WritesAreRefusedUntilEwenAndAgainAfterPowerLoss)
{
    Wire w;
    std::vector<uint8_t> image(128);
    std::iota(image.begin(), image.end(), uint8_t{0});
    ASSERT_TRUE(w.chip.writeMemory("array", image));
    EXPECT_FALSE(w.chip.writeEnabled()) << "power-up state";
    w.write(1, 0x00);
    w.erase(2);
    w.wral(0x00);
    w.eral();
    EXPECT_EQ(w.chip.readMemory("array"), image) << "nothing changes while disabled";
    EXPECT_EQ(w.chip.refused(), 4);
    EXPECT_FALSE(w.chip.busy(w.pins.now())) << "no cycle started";
    w.ewen();
    w.write(1, 0x99);
    w.waitReady();
    EXPECT_EQ(w.chip.cell(1), 0x99);
    w.pins.powerDown(kVcc);
    w.pins.powerUp(kVcc, kGnd);
    EXPECT_FALSE(w.chip.writeEnabled());
    w.write(1, 0x11);
    EXPECT_EQ(w.chip.cell(1), 0x99) << "memory kept, writes disabled again";
    EXPECT_EQ(w.read(1), (std::vector<uint32_t>{0x99}));
}

TEST(MicrowireEeprom, ReadyBusyOnDoFollowsTheCycleTimes)
{
    struct Cycle {
        const char* what;
        double ms; // the 93C46 data sheet maximum, or the injected slower part
        double slowerTo;
    };
    const Cycle cycles[] = {{"WRITE", 2.0, 0},
                            {"ERASE", 2.0, 0},
                            {"ERAL", 6.0, 0},
                            {"WRAL", 15.0, 0},
                            {"slow WRITE", 10.0, 10.0}};
    for (const Cycle& c : cycles) {
        const SCOPED_TRACE(c.what);
        Wire w;
        if (c.slowerTo > 0) {
            w.chip.setWriteCycle(millisecondsToUnits(c.slowerTo));
        }
        w.ewen();
        const std::string what = c.what;
        if (what == "ERASE") {
            w.instruction(kErase, 9);
        } else if (what == "ERAL") {
            w.instruction(kGroup, uint32_t{kEral} << 5);
        } else if (what == "WRAL") {
            w.instruction(kGroup, uint32_t{kWral} << 5);
            w.send(0x3C, 8);
        } else {
            w.instruction(kWrite, 9);
            w.send(0x3C, 8);
        }
        // The cycle began with the clock of the last bit; DO stays released
        // until CS goes low and high again.
        const SimTime began = w.pins.now() - 0.1;
        EXPECT_EQ(w.pins.chipDrive(kDo), -1);
        w.deselect();
        EXPECT_EQ(w.pins.chipDrive(kDo), -1) << "released while CS is low";
        w.pins.set(kCs, 1);
        EXPECT_EQ(w.pins.chipDrive(kDo), 0) << "busy";
        // An instruction while busy is not taken.
        w.clock(1);
        w.send(kWrite, 2);
        w.send(10, 7);
        w.send(0x00, 8);
        EXPECT_EQ(w.chip.cell(10), what == "WRAL" ? 0x3C : 0xFF);
        const SimTime ready = w.waitReady();
        EXPECT_GE(unitsToMilliseconds(ready - began), c.ms);
        EXPECT_LT(unitsToMilliseconds(ready - began), c.ms + 0.1);
        // Ready shows until a start bit.
        w.pins.set(kCs, 1);
        EXPECT_EQ(w.pins.chipDrive(kDo), 1) << "ready";
        w.clock(0);
        EXPECT_EQ(w.pins.chipDrive(kDo), 1) << "a 0 is no start bit";
        w.clock(1);
        EXPECT_EQ(w.pins.chipDrive(kDo), -1) << "the start bit clears the status";
        w.deselect();
    }
}

TEST(MicrowireEeprom, ReadShiftsOutMsbFirstAndGoesOnWithTheNextWord)
{
    for (int org : {0, 1}) {
        Wire w(org);
        std::vector<uint8_t> image(128);
        for (size_t i = 0; i < image.size(); ++i) {
            image[i] = static_cast<uint8_t>(0x80 | i);
        }
        ASSERT_TRUE(w.chip.writeMemory("array", image));
        if (org) {
            EXPECT_EQ(w.read(62, 3), (std::vector<uint32_t>{0xFDFC, 0xFFFE, 0x8180}))
                << "rolls over to word 0";
        } else {
            EXPECT_EQ(w.read(126, 3), (std::vector<uint32_t>{0xFE, 0xFF, 0x80})) << "rolls over to byte 0";
        }
    }
}

TEST(MicrowireEeprom, ClocksWithCsLowAndLeadingZerosDoNothing)
{
    Wire w;
    w.ewen();
    w.deselect();
    // A whole WRITE clocked with CS low.
    w.clock(1);
    w.send(kWrite, 2);
    w.send(4, 7);
    w.send(0x00, 8);
    EXPECT_EQ(w.chip.cell(4), 0xFF);
    // Zeros before the start bit are ignored.
    w.pins.set(kCs, 1);
    w.clock(0);
    w.clock(0);
    w.clock(1);
    w.send(kWrite, 2);
    w.send(4, 7);
    w.send(0x42, 8);
    w.deselect();
    EXPECT_EQ(w.chip.cell(4), 0x42);
}

TEST(MicrowireEeprom, StuckBitShowsInReads)
{
    Wire w(1);
    w.chip.addStuckCell({7, 0x80, 0x00}); // high byte of word 3
    w.ewen();
    w.write(3, 0xFFFF);
    w.waitReady();
    EXPECT_EQ(w.read(3), (std::vector<uint32_t>{0x7FFF}));
}

// --- through the box ------------------------------------------------------

// The Microwire family's routines, as its pin commands. SerialLatch shadows
// port 2: bit 0 CS (17), bit 1 SK (18), bit 2 DI (19), bit 3 GND (21), bit 4
// ORG (22), bit 6 Vcc (24).
struct MicrowireFamily : SimBench {
    explicit MicrowireFamily(int variant) : SimBench(makeChipForRow("P93", variant)), x16(variant == 4)
    {
        link.ResetSocket();
    }
    // The chip once the box has taken every byte queued so far.
    MicrowireEeprom& chip()
    {
        link.Flush();
        return chipAs<MicrowireEeprom>();
    }
    int addressBits() const { return x16 ? 6 : 7; }
    int dataBits() const { return x16 ? 16 : 8; }

    void powerUp()
    {
        latch = 0xE4;
        link.WriteLatch(2, latch);
        if (x16) {
            latch |= 0x10;
        }
        link.RouteVpp(0);
        link.WriteAllLatches(255);
        link.SetPin(19, 0);
        link.SetPin(20, 1);
        link.FloatPin(23);
        link.FloatPin(22);
        link.DrivePin(18);
        link.FloatPin(17);
        link.RouteGnd(21);
        link.RouteVcc(24);
        link.LinkDelay(100);
    }
    void shiftOut(uint32_t v, int n)
    {
        for (int i = n - 1; i >= 0; --i) {
            latch = static_cast<uint8_t>((latch & ~0x04) | (((v >> i) & 1) << 2));
            link.WriteLatch(2, latch);
            link.FloatPin(18);
            link.DrivePin(18);
        }
    }
    uint32_t read(uint32_t a)
    {
        link.DrivePin(17);
        latch |= 0x01;
        shiftOut(6, 3);
        shiftOut(a, addressBits());
        uint32_t v = 0;
        for (int i = 0; i < dataBits(); ++i) {
            link.FloatPin(18);
            link.DrivePin(18);
            v = (v << 1) | (link.ReadPin(20) ? 1u : 0u);
        }
        link.FloatPin(17);
        return v;
    }
    void command(int code)
    {
        link.DrivePin(17);
        latch |= 0x01;
        shiftOut(static_cast<uint32_t>(code | 16), 5);
        shiftOut(0, addressBits() - 2);
        link.FloatPin(17);
    }
    void write(uint32_t a, uint32_t v, int waitUnits)
    {
        latch = static_cast<uint8_t>(0xE4 | (x16 ? 0x10 : 0));
        link.WriteLatch(2, latch);
        latch |= 0x01;
        shiftOut(5, 3);
        shiftOut(a, addressBits());
        shiftOut(v, dataBits());
        link.WriteLatch(2, latch & ~0x01);
        link.LinkDelay(waitUnits);
    }

    bool x16;
    uint8_t latch = 0xE4;
};

TEST(MicrowireEepromInTheBox, TheFamilysReadSequenceReadsAWord)
{
    for (int variant : {1, 4}) {
        MicrowireFamily f(variant);
        std::vector<uint8_t> image(128);
        for (size_t i = 0; i < image.size(); ++i) {
            image[i] = static_cast<uint8_t>(i * 5 + 1);
        }
        ASSERT_TRUE(f.chip().writeMemory("array", image));
        f.powerUp();
        for (uint32_t a : {0u, 1u, 37u, f.x16 ? 63u : 127u}) {
            const uint32_t expect = f.x16 ? image[2 * a] | (uint32_t{image[2 * a + 1]} << 8) : image[a];
            EXPECT_EQ(f.read(a), expect) << "row " << variant << " address " << a;
        }
        EXPECT_EQ(f.now().errorReport(), "");
    }
}

TEST(MicrowireEepromInTheBox, TheFamilysEraseAndProgramSequences)
{
    for (int variant : {1, 4}) {
        MicrowireFamily f(variant);
        const SCOPED_TRACE(variant);
        ASSERT_TRUE(f.chip().writeMemory("array", std::vector<uint8_t>(128, 0x00)));
        // Erase: EWEN, ERAL, EWDS, power up again, read address 0.
        f.powerUp();
        f.command(3);
        f.command(2);
        f.command(0);
        f.powerUp();
        EXPECT_FALSE(f.chip().writeEnabled()) << "the second power-up cycles the chip's supply";
        // That power-up comes about 5 ms after ERAL's last bit, inside the
        // data sheet's t_EC of 6 ms: the model keeps the erase and says so.
        EXPECT_NE(f.now().warningReport().find("power lost during a write cycle"), std::string::npos);
        EXPECT_EQ(f.read(0), f.x16 ? 0xFFFFu : 0xFFu);
        EXPECT_EQ(f.chip().readMemory("array"), std::vector<uint8_t>(128, 0xFF));
        // Program at the default speed: 100 units per table unit (5) after each word.
        f.powerUp();
        f.command(3);
        const int words = f.x16 ? 64 : 128;
        for (int a = 0; a < words; ++a) {
            f.write(static_cast<uint32_t>(a), static_cast<uint32_t>(a * 3 + (f.x16 ? 0x100 * a : 0)), 500);
        }
        f.command(0);
        EXPECT_FALSE(f.chip().writeEnabled());
        f.powerUp();
        EXPECT_EQ(f.read(0), 0u);
        EXPECT_EQ(f.read(5), f.x16 ? 0x050Fu : 15u);
        EXPECT_EQ(f.now().errorReport(), "");
    }
}

} // namespace
} // namespace pontvex::boxsim

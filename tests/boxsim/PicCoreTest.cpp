// The PIC serial-programming core on its own pins: a small host drives MCLR,
// RB6 and RB7 and the supply as a programmer would, with no box in between.

#include "boxsim/chips/PicSerialCore.h"
#include "boxsim/chips/Registry.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>

namespace pontvex::boxsim {
namespace {

constexpr int kMclr = 4, kVss = 5, kClock = 12, kData = 13, kVdd = 14;
constexpr int kVpp12V7 = 5, kVpp10V8 = 3, kVpp5V = 0;

PicDevice testDevice(bool otp = false)
{
    return {"PIC-TEST", 18,     {kMclr, kVdd, kVss, kClock, kData},
            1024,       64,     0x3FFF,
            0x3FF0,     0x0560, pic16F8xCommands(),
            4000,       10000,  otp};
}

// The host side of the socket: each line is driven low or high by the host,
// or released (pulled up, or driven by the chip). Every change is shown to
// the chip at once, as a box does.
class Host : public ChipIo {
public:
    explicit Host(ChipModel& chip) : chip_(chip)
    {
        host_.fill(-1);
        out_.fill(-1);
        host_[kVss] = 0;
        host_[kVdd] = 0;
        host_[kMclr] = 0;
        host_[kClock] = 0;
        host_[kData] = 0;
        update();
    }

    // --- ChipIo ---
    SimTime now() const override { return t_; }
    PinLevel pin(int p) const override
    {
        if (p == kVdd && vdd_) {
            return {1, PinSource::Vcc};
        }
        if (p == kMclr && vppCode_ >= 0) {
            return {1, PinSource::Vpp, vppCode_};
        }
        if (host_[p] >= 0) {
            return {host_[p], PinSource::Sink};
        }
        if (out_[p] >= 0) {
            return {out_[p], PinSource::Chip};
        }
        return {1, PinSource::Pullup};
    }
    PinLevel previous(int p) const override { return seen_[p]; }
    bool powered() const override { return pin(kVdd).level == 1 && pin(kVss).level == 0; }
    bool supplied() const override { return powered() && pin(kVdd).source == PinSource::Vcc; }
    void drive(int p, int level) override { out_[p] = level; }
    void release(int p) override { out_[p] = -1; }
    void releaseAll() override { out_.fill(-1); }
    void note(const std::string& text) override { notes += text + "\n"; }
    void damage(const std::string& text) override { ADD_FAILURE() << "damage: " << text; }
    void warn(const std::string& text) override { notes += "warning: " + text + "\n"; }

    // --- host operations ---
    void set(int p, int level)
    {
        host_[p] = level;
        update();
    }
    void supply(bool on)
    {
        vdd_ = on;
        update();
    }
    void vpp(int code)
    {
        vppCode_ = code;
        update();
    }
    void wait(SimTime units) { t_ += units; }
    // Vdd first, then MCLR to the programming level with both lines low.
    void enter(int code = kVpp12V7)
    {
        set(kClock, 0);
        set(kData, 0);
        supply(true);
        vpp(code);
    }
    void leave()
    {
        vpp(-1);
        set(kMclr, 0);
    }
    void bit(int b)
    {
        set(kClock, 1);
        set(kData, b);
        set(kClock, 0);
    }
    void command(int c)
    {
        for (int i = 0; i < 6; ++i) {
            bit((c >> i) & 1);
        }
        set(kData, 0);
        wait(0.02); // 2 us, above the datasheet's command-to-data delay
    }
    void load(int c, uint16_t word)
    {
        command(c);
        const unsigned frame = static_cast<unsigned>(word & 0x3FFF) << 1;
        for (int i = 0; i < 16; ++i) {
            bit((frame >> i) & 1);
        }
        set(kData, 0);
    }
    // The raw 16-clock frame.
    unsigned readFrame(int c)
    {
        command(c);
        host_[kData] = -1;
        unsigned frame = 0;
        for (int i = 0; i < 16; ++i) {
            set(kClock, 1);
            frame |= static_cast<unsigned>(pin(kData).level) << i;
            set(kClock, 0);
        }
        set(kData, 0);
        return frame;
    }
    uint16_t read(int c) { return static_cast<uint16_t>((readFrame(c) >> 1) & 0x3FFF); }
    // Load, begin erase/programming, the family's wait, increment.
    void program(int loadCommand, uint16_t word, int begin = 8)
    {
        load(loadCommand, word);
        command(begin);
        wait(50);
        command(6);
    }

    std::string notes;

private:
    void update()
    {
        chip_.onPins(*this);
        for (int p = 1; p <= 18; ++p) {
            seen_[p] = pin(p);
        }
    }

    ChipModel& chip_;
    SimTime t_ = 0;
    bool vdd_ = false;
    int vppCode_ = -1;
    std::array<int, 19> host_{};
    std::array<int, 19> out_{};
    std::array<PinLevel, 19> seen_{};
};

uint16_t word(const std::vector<uint8_t>& bytes, size_t i)
{
    return static_cast<uint16_t>(bytes.at(2 * i) | bytes.at(2 * i + 1) << 8);
}

TEST(PicCore, CommandTableIsTheProgrammingDocuments)
{
    // Six command bits as the datasheet prints them, bit 5 first; x = don't care.
    struct Row {
        const char* bits;
        PicOp op;
    };
    const Row rows[] = {
        {"xx0000", PicOp::LoadConfig},        {"xx0010", PicOp::LoadProgram},
        {"xx0100", PicOp::ReadProgram},       {"xx0110", PicOp::Increment},
        {"001000", PicOp::BeginEraseProgram}, {"011000", PicOp::BeginProgramOnly},
        {"xx0011", PicOp::LoadData},          {"xx0101", PicOp::ReadData},
        {"xx1001", PicOp::BulkEraseProgram},  {"xx1011", PicOp::BulkEraseData},
        {"000001", PicOp::ClearSetup1},       {"000111", PicOp::ClearSetup2},
    };
    auto decode = [](int bits) -> const PicCommand* {
        for (const PicCommand& c : pic16F8xCommands()) {
            if ((bits & c.mask) == c.code) {
                return &c;
            }
        }
        return nullptr;
    };
    int matched = 0;
    for (int bits = 0; bits < 64; ++bits) {
        const Row* want = nullptr;
        for (const Row& r : rows) {
            bool fits = true;
            for (int i = 0; i < 6; ++i) {
                const char c = r.bits[5 - i];
                fits = fits && (c == 'x' || (c - '0') == ((bits >> i) & 1));
            }
            if (fits) {
                ASSERT_EQ(want, nullptr) << "two datasheet rows for " << bits;
                want = &r;
            }
        }
        const PicCommand* got = decode(bits);
        if (!want) {
            EXPECT_EQ(got, nullptr) << "command " << bits << " is not in the datasheet";
            continue;
        }
        ASSERT_NE(got, nullptr) << "command " << bits << " (" << want->bits << ")";
        EXPECT_EQ(got->op, want->op) << "command " << bits << " (" << want->bits << ")";
        ++matched;
    }
    EXPECT_EQ(matched, 8 * 4 + 4);
}

TEST(PicCore, ProgramsReadsAndStepsProgramMemory)
{
    PicSerialCore chip(testDevice());
    Host host(chip);
    host.enter();
    ASSERT_TRUE(chip.inProgrammingMode()) << host.notes;
    const uint16_t words[] = {0x3FFE, 0x0000, 0x1234, 0x2AAA};
    for (uint16_t w : words) {
        host.program(2, w);
    }
    EXPECT_EQ(chip.address(), 4);
    host.leave();

    host.enter();
    EXPECT_EQ(chip.address(), 0) << "entering resets the address";
    for (uint16_t w : words) {
        // Start and stop clocks are released by the chip and read as ones.
        EXPECT_EQ(host.readFrame(4), 0x8001u | static_cast<unsigned>(w) << 1);
        host.command(6);
    }
    EXPECT_EQ(host.read(4), 0x3FFF) << "erased word";
    const auto code = chip.readMemory("code");
    EXPECT_EQ(word(code, 2), 0x1234);
    EXPECT_EQ(word(code, 4), 0x3FFF);
    EXPECT_EQ(chip.cycles(), 4);

    // The program counter wraps at the part's size: word 1024 is word 0.
    for (int i = 4; i < 1024; ++i) {
        host.command(6);
    }
    EXPECT_EQ(host.read(4), 0x3FFE);
}

TEST(PicCore, ConfigurationSpaceHoldsIdsDeviceIdAndConfigWord)
{
    PicSerialCore chip(testDevice());
    Host host(chip);
    host.enter();
    // Load Configuration moves to 0x2000 each time it is sent.
    for (int k : {0, 1, 2, 3, 7}) {
        host.load(0, static_cast<uint16_t>(k == 7 ? 0x3FF5 : 0x10 * k + k));
        for (int i = 0; i < k; ++i) {
            host.command(6);
        }
        EXPECT_EQ(chip.address(), 0x2000 + k);
        host.command(8);
        host.wait(50);
    }
    host.leave();
    host.enter();
    host.load(0, 0x3FFF);
    uint16_t w[8];
    for (uint16_t& v : w) {
        v = host.read(4);
        host.command(6);
    }
    EXPECT_EQ(w[0], 0x00);
    EXPECT_EQ(w[1], 0x11);
    EXPECT_EQ(w[3], 0x33);
    EXPECT_EQ(w[4], 0x3FFF);
    EXPECT_EQ(w[6], 0x0560) << "device ID";
    EXPECT_EQ(w[7], 0x3FF5);
    EXPECT_EQ(word(chip.readMemory("id"), 2), 0x22);
    EXPECT_EQ(word(chip.readMemory("config"), 0), 0x3FF5);
    EXPECT_FALSE(chip.codeProtected());
    // Program memory was left alone.
    EXPECT_EQ(word(chip.readMemory("code"), 0), 0x3FFF);
}

TEST(PicCore, DataEepromHasItsOwnLoadAndRead)
{
    PicSerialCore chip(testDevice());
    Host host(chip);
    host.enter();
    host.program(3, 0xA5);
    host.program(3, 0x15A); // only the low eight bits go to a data cell
    host.leave();
    host.enter();
    EXPECT_EQ(host.read(5), 0xA5);
    EXPECT_EQ(host.read(4), 0x3FFF) << "program memory untouched";
    host.command(6);
    EXPECT_EQ(host.read(5), 0x5A);
    EXPECT_EQ(chip.readMemory("data").at(1), 0x5A);
    // Data addresses wrap at the EEPROM's 64 bytes.
    for (int i = 1; i < 64; ++i) {
        host.command(6);
    }
    EXPECT_EQ(host.read(5), 0xA5);
}

TEST(PicCore, BulkErasesTakeTheirOwnMemoryOnly)
{
    PicSerialCore chip(testDevice());
    Host host(chip);
    const std::vector<uint8_t> code{0x34, 0x12, 0x00, 0x00};
    const std::vector<uint8_t> data{0x11, 0x22};
    auto fill = [&] {
        ASSERT_TRUE(chip.writeMemory("code", code));
        ASSERT_TRUE(chip.writeMemory("data", data));
    };
    fill();
    // Bulk erase first, then the load and the begin command.
    host.enter();
    host.command(9);
    host.load(2, 0x3FFF);
    host.command(8);
    host.wait(5000);
    host.leave();
    EXPECT_EQ(word(chip.readMemory("code"), 0), 0x3FFF);
    EXPECT_EQ(word(chip.readMemory("code"), 1), 0x3FFF);
    EXPECT_EQ(chip.readMemory("data").at(1), 0x22);

    fill();
    // Load first, then the bulk erase.
    host.enter();
    host.load(3, 0xFF);
    host.command(11);
    host.command(8);
    host.wait(5000);
    host.leave();
    EXPECT_EQ(chip.readMemory("data").at(0), 0xFF);
    EXPECT_EQ(word(chip.readMemory("code"), 0), 0x1234);
}

TEST(PicCore, ProtectedPartReadsZeroUntilTheClearingSequence)
{
    PicSerialCore chip(testDevice());
    Host host(chip);
    ASSERT_TRUE(chip.writeMemory("code", std::vector<uint8_t>{0x34, 0x12}));
    ASSERT_TRUE(chip.writeMemory("data", std::vector<uint8_t>{0x77}));
    host.enter();
    host.load(0, 0x000F); // CP field all zero
    for (int i = 0; i < 7; ++i) {
        host.command(6);
    }
    host.command(8);
    host.wait(50);
    host.leave();
    EXPECT_TRUE(chip.codeProtected());

    host.enter();
    EXPECT_EQ(host.read(4), 0x0000) << "protected program memory reads 0";
    host.program(2, 0x0001); // ignored
    host.load(0, 0x3FFF);
    for (int i = 0; i < 7; ++i) {
        host.command(6);
    }
    EXPECT_EQ(host.read(4), 0x000F) << "the configuration word still reads";
    host.command(8); // programming ones back does not unprotect
    host.wait(50);
    EXPECT_TRUE(chip.codeProtected());
    // The clearing pair away from 0x2007 does nothing.
    host.leave();
    host.enter();
    host.command(1);
    host.command(7);
    host.command(8);
    host.wait(500);
    EXPECT_TRUE(chip.codeProtected());
    EXPECT_EQ(word(chip.readMemory("code"), 0), 0x1234);
    host.leave();

    // Load Configuration, seven increments to 0x2007, 1, 7, 8, wait, 1, 7.
    host.enter();
    host.load(0, 0x3FFF);
    for (int i = 0; i < 7; ++i) {
        host.command(6);
    }
    host.command(1);
    host.command(7);
    host.command(8);
    host.wait(500);
    host.command(1);
    host.command(7);
    host.leave();
    EXPECT_FALSE(chip.codeProtected());
    EXPECT_EQ(word(chip.readMemory("code"), 0), 0x3FFF);
    EXPECT_EQ(chip.readMemory("data").at(0), 0xFF);
    EXPECT_EQ(word(chip.readMemory("config"), 0), 0x3FFF);
    EXPECT_EQ(word(chip.readMemory("id"), 0), 0x3FFF);
}

TEST(PicCore, DataProtectionIsItsOwnBitAndIdsStayWritable)
{
    for (bool cpd : {false, true}) {
        PicDevice device = testDevice();
        device.dataProtectMask = cpd ? 0x0100 : 0; // a CPD bit, as the 16F87x have
        PicSerialCore chip(device);
        Host host(chip);
        ASSERT_TRUE(chip.writeMemory("data", std::vector<uint8_t>{0x42}));
        host.enter();
        host.load(0, 0x000F); // every protection bit at 0
        for (int i = 0; i < 7; ++i) {
            host.command(6);
        }
        host.command(8);
        host.wait(50);
        host.leave();
        ASSERT_TRUE(chip.codeProtected());
        EXPECT_EQ(chip.dataProtected(), cpd);

        host.enter();
        EXPECT_EQ(host.read(5), cpd ? 0x00 : 0x42);
        host.program(3, 0x99);
        EXPECT_EQ(chip.readMemory("data").at(0), cpd ? 0x42 : 0x99);
        host.load(0, 0x0005);
        host.command(8);
        host.wait(50);
        EXPECT_EQ(host.read(4), 0x0005) << "ID locations stay writable and readable";
    }
}

TEST(PicCore, CommandsDuringTheSelfTimedCycleAreRefused)
{
    PicSerialCore chip(testDevice());
    Host host(chip);
    host.enter();
    host.load(2, 0x0123);
    host.command(8);
    // 4 ms are 41.9 box units: at 41 the cell is still being written.
    host.wait(41);
    host.load(2, 0x0456);
    host.command(8);
    EXPECT_EQ(chip.refused(), 2);
    host.wait(1);
    // The refused load took its frame: the next command decodes.
    host.command(6);
    EXPECT_EQ(chip.address(), 1);
    EXPECT_EQ(word(chip.readMemory("code"), 0), 0x0123);

    host.load(2, 0x0456);
    host.command(8);
    host.wait(10);
    EXPECT_EQ(host.readFrame(4), 0xFFFFu) << "a refused read leaves RB7 released";
    host.wait(40);
    EXPECT_EQ(host.read(4), 0x0456);
    EXPECT_EQ(chip.cycles(), 2);

    // A bulk erase takes 10 ms.
    host.command(9);
    host.command(8);
    host.wait(100);
    host.load(2, 0x0001);
    host.command(8);
    EXPECT_EQ(chip.refused(), 5);
}

TEST(PicCore, OtpCellsOnlyClearBitsAndProgramOnlyNeverErases)
{
    for (bool otp : {false, true}) {
        PicSerialCore chip(testDevice(otp));
        Host host(chip);
        host.enter();
        host.load(2, 0x3F0F);
        host.command(8);
        host.wait(50);
        host.load(2, 0x00FF);
        host.command(8);
        host.wait(50);
        host.load(2, 0x3333);
        host.command(24); // begin programming only: no erase before the write
        host.wait(50);
        host.leave();
        const uint16_t afterTwo = otp ? 0x000F : 0x00FF;
        EXPECT_EQ(word(chip.readMemory("code"), 0), afterTwo & 0x3333) << (otp ? "OTP" : "flash");
    }
}

TEST(PicCore, NothingHappensWithoutTheEntryConditions)
{
    auto programsSomething = [](auto&& enter) {
        PicSerialCore chip(testDevice());
        Host host(chip);
        enter(host);
        host.program(2, 0x0000);
        host.load(0, 0x0000);
        host.command(8);
        host.wait(50);
        return chip.cycles() != 0 || chip.inProgrammingMode();
    };
    EXPECT_TRUE(programsSomething([](Host& h) { h.enter(); })) << "the good entry, for contrast";
    EXPECT_FALSE(programsSomething([](Host& h) { h.enter(kVpp5V); })) << "MCLR at logic level only";
    EXPECT_FALSE(programsSomething([](Host& h) { h.enter(kVpp10V8); })) << "10.8 V is below VIHH";
    EXPECT_FALSE(programsSomething([](Host& h) {
        h.set(kClock, 0);
        h.set(kData, 0);
        h.vpp(kVpp12V7);
    })) << "no supply";
    EXPECT_FALSE(programsSomething([](Host& h) {
        h.vpp(kVpp12V7);
        h.supply(true);
    })) << "Vpp before Vdd";
    EXPECT_FALSE(programsSomething([](Host& h) {
        h.supply(true);
        h.set(kClock, 1);
        h.vpp(kVpp12V7);
        h.set(kClock, 0);
    })) << "RB6 high while MCLR rises";
    EXPECT_FALSE(programsSomething([](Host& h) {
        h.supply(true);
        h.set(kClock, 0);
        h.set(kData, 1);
        h.vpp(kVpp12V7);
        h.set(kData, 0);
    })) << "RB7 high while MCLR rises";
}

TEST(PicCore, Pic16F84AIsOfferedForItsDeviceListRow)
{
    const auto chip = makeChipForRow("P16C84", 5);
    ASSERT_TRUE(chip);
    EXPECT_EQ(chip->name(), "PIC16F84A");
    EXPECT_EQ(chip->pinCount(), 18);
    ASSERT_EQ(chip->memories().size(), 4u);
    EXPECT_EQ(chip->memories()[0].name, "code");
    EXPECT_EQ(chip->memories()[0].words, 1024u);
    EXPECT_EQ(chip->findMemory("data")->words, 64u);
    EXPECT_EQ(chip->findMemory("config")->wordBits, 14);
    EXPECT_EQ(chip->findMemory("id")->words, 4u);
    EXPECT_FALSE(chip->writeMemory("code", std::vector<uint8_t>{0xFF, 0x40})) << "a 15-bit word";
}

} // namespace
} // namespace pontvex::boxsim

#pragma once

#include "boxsim/ChipModel.h"

#include <cstdint>
#include <string>
#include <vector>

namespace pontvex::boxsim {

// When a self-timed write or erase begins.
enum class MicrowireCycleStart : uint8_t {
    LastClock, // on the SK rise of the instruction's last bit (5 V "C" parts)
    CsFall,    // on CS falling after the last bit (low-voltage parts)
};

// One three-wire EEPROM type. The 8-pin package is CS SK DI DO GND ORG NC Vcc.
struct MicrowireType {
    const char* name;
    uint32_t bytes;     // array size in bytes
    int addressBits8;   // address bits with ORG low (x8)
    int addressBits16;  // address bits with ORG high (x16)
    SimTime writeCycle; // WRITE, ERASE (t_WC)
    SimTime eraseAll;   // ERAL (t_EC)
    SimTime writeAll;   // WRAL (t_WL)
    MicrowireCycleStart start = MicrowireCycleStart::LastClock;
};

// A Microwire EEPROM slave that sees only its pins and time. An instruction
// starts with CS high and a 1 on DI at an SK rise (the start bit), then two
// opcode bits and the address bits, taken on SK rising; the organisation is
// the level of ORG at the start bit. READ answers a dummy 0 and then the
// data, most significant bit first, each bit changing on an SK rise, and goes
// on with the next word while SK keeps running. Writes and erases need EWEN
// (off at power-up) and are self-timed; while the cycle runs the chip takes no
// instruction, and CS brought low and high again shows the state on DO (0
// busy, 1 ready). DO is released otherwise, and always while CS is low.
//
// The array is kept as bytes: in x8 organisation address a is byte a, in x16
// word n is bytes 2n (low) and 2n + 1 (high).
//
// When CS and SK change in one notification, CS is taken first: a clock seen
// with CS low does nothing.
class MicrowireEeprom : public ChipModel {
public:
    explicit MicrowireEeprom(const MicrowireType& type);

    std::string name() const override { return type_.name; }
    int pinCount() const override { return 8; }
    int vccPin() const override { return 8; }
    int gndPin() const override { return 5; }
    void onPins(ChipIo& io) override;
    void beforeSample(ChipIo& io) override;

    std::vector<MemoryInfo> memories() const override;
    std::vector<uint8_t> readMemory(const std::string& name) const override;
    bool writeMemory(const std::string& name, std::span<const uint8_t> bytes) override;

    const MicrowireType& type() const { return type_; }
    // Fault injection: a slower write cycle than the type's (all three times
    // scaled alike).
    void setWriteCycle(SimTime units);
    uint8_t cell(uint32_t address) const { return memory_.at(address); }
    bool writeEnabled() const { return enabled_; }
    bool busy(SimTime now) const { return now < busyUntil_; }
    // Programming instructions refused while writes were disabled.
    int refused() const { return refused_; }

    static constexpr int kCs = 1, kSk = 2, kDi = 3, kDo = 4, kOrg = 6;

private:
    enum class Phase : uint8_t {
        Standby, // CS low, or waiting for the start bit
        Command, // opcode and address bits
        Data,    // data bits of WRITE and WRAL
        Reading, // shifting data out
        Done,    // instruction taken; SK and DI are ignored until CS falls
    };

    void clear();
    void onCsRise(ChipIo& io);
    void onCsFall(ChipIo& io);
    void onClock(ChipIo& io);
    void decode(ChipIo& io);
    void execute(ChipIo& io);
    // A programming instruction taken whole, done when its cycle begins.
    struct Program {
        int op = 0; // kWrite, kErase, kEraseAll, kWriteAll
        uint32_t address = 0;
        uint32_t data = 0;
    };
    void perform(ChipIo& io, const Program& p);
    void updateStatus(ChipIo& io);
    int addressBits() const { return x16_ ? type_.addressBits16 : type_.addressBits8; }
    int dataBits() const { return x16_ ? 16 : 8; }
    uint32_t words() const { return x16_ ? type_.bytes / 2 : type_.bytes; }
    uint32_t readWord(uint32_t address) const;
    void writeWord(uint32_t address, uint32_t value);

    MicrowireType type_;
    std::vector<uint8_t> memory_;

    Phase phase_ = Phase::Standby;
    bool x16_ = false;
    int bits_ = 0; // bits after the start bit
    uint32_t shift_ = 0;
    int opcode_ = 0;
    uint32_t address_ = 0;
    uint32_t out_ = 0; // word being read out
    int outBit_ = 0;   // next bit of out_ to show; -1: the dummy 0 is showing
    bool enabled_ = false;
    bool wasPowered_ = false;
    // A write whose cycle begins at CS falling.
    bool armed_ = false;
    Program armedProgram_;
    // The ready/busy state shows on DO from the next CS rise until a start bit.
    bool statusPending_ = false;
    bool showingStatus_ = false;
    SimTime busyUntil_ = 0;
    int refused_ = 0;
};

} // namespace pontvex::boxsim

#pragma once

#include "boxsim/ChipModel.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace pontvex::boxsim {

// What one 6-bit command of the serial programming mode does.
enum class PicOp : uint8_t {
    LoadConfig,        // PC := 0x2000, then a load frame
    LoadProgram,       // load frame into the data latch for program memory
    LoadData,          // load frame into the data latch for data memory
    ReadProgram,       // read frame of the word at PC
    ReadData,          // read frame of the data EEPROM byte at PC
    Increment,         // PC := PC + 1
    BeginEraseProgram, // self-timed erase and write of the cell at PC (or an armed bulk erase)
    BeginProgramOnly,  // self-timed write without erase: the cell can only lose ones
    EndProgramming,    // ends a programming pulse of the one-time parts
    BulkEraseProgram,  // arms an erase of program memory for the next begin command
    BulkEraseData,     // arms an erase of data memory for the next begin command
    ClearSetup1,       // first and second command of the protection-clearing sequence
    ClearSetup2,
};

// One row of a command table: the command is recognised when
// (bits & mask) == code, so the high bits the datasheet marks "don't care"
// are left out of the mask.
struct PicCommand {
    uint8_t code;
    uint8_t mask;
    PicOp op;
};

// The command table of the flash 16F8x parts, as the PIC16F83/84/84A
// programming documents give it.
const std::vector<PicCommand>& pic16F8xCommands();
// The EEPROM PIC16C84: no program-only cycle, every begin erases first.
const std::vector<PicCommand>& pic16C84Commands();
// The flash 16F87x: no bulk-erase commands; the clearing pair does it.
const std::vector<PicCommand>& pic16F87xCommands();

// Chip pins of the programming interface.
struct PicPins {
    int mclr = 0;  // MCLR/Vpp
    int vdd = 0;   // supply
    int vss = 0;   // ground
    int clock = 0; // RB6
    int data = 0;  // RB7
};

// Everything that tells one part from another.
struct PicDevice {
    std::string name;
    int pinCount = 18;
    PicPins pins;
    uint32_t programWords = 1024;
    uint32_t eepromBytes = 0;
    uint16_t configMask = 0x3FFF; // implemented configuration bits; the others read 1
    uint16_t protectMask = 0;     // code-protection bits: protected while any of them is 0
    uint16_t deviceId = 0;        // word at 0x2006, 0 = none
    std::vector<PicCommand> commands;
    int programMicros = 4000;     // self-timed write of one cell
    int eraseMicros = 10000;      // bulk and chip erase
    bool otpCells = false;        // cells only clear bits: a write ANDs the latch in
    int minVppMillivolts = 12000; // MCLR level that enters programming mode
    int maxVppMillivolts = 14000;
    uint16_t dataProtectMask = 0; // data EEPROM protection bits, as protectMask (0: never protected)
};

// A PIC in its serial programming mode, seen only through its pins and time.
// Entry: with the supply on, MCLR rises to the programming level while RB6
// and RB7 are low; the address counter starts at 0. Command bits and load
// frames are latched on falling edges of RB6, LSB first; a load frame is 16
// clocks (start bit, 14 data bits, stop bit). A read frame drives RB7 from
// the rising edge of clocks 2 to 15 with the 14 data bits and leaves the start
// and stop clocks released. MCLR falling or the supply going resets the mode.
//
// A command that arrives during a self-timed cycle still takes its data frame
// (the framing would be lost otherwise) but does nothing: loads change no
// latch, reads leave RB7 released.
class PicSerialCore : public ChipModel {
public:
    explicit PicSerialCore(PicDevice device);

    std::string name() const override { return device_.name; }
    int pinCount() const override { return device_.pinCount; }
    int vccPin() const override { return device_.pins.vdd; }
    int gndPin() const override { return device_.pins.vss; }
    int maxMillivolts(int chipPin) const override
    {
        return chipPin == device_.pins.mclr ? device_.maxVppMillivolts : 7000;
    }
    void onPins(ChipIo& io) override;

    std::vector<MemoryInfo> memories() const override;
    std::vector<uint8_t> readMemory(const std::string& name) const override;
    bool writeMemory(const std::string& name, std::span<const uint8_t> bytes) override;

    const PicDevice& device() const { return device_; }
    bool inProgrammingMode() const { return programMode_; }
    uint16_t address() const { return pc_; }
    bool codeProtected() const;
    bool dataProtected() const;
    // Self-timed cycles started (writes and erases), and commands refused
    // because one was still running.
    int cycles() const { return cycles_; }
    int refused() const { return refused_; }

    // Test knobs: a program-memory word whose cell keeps what it holds
    // whatever is written; a self-timed write that takes longer.
    void stickWord(uint16_t address) { stuck_ = address; }
    void setProgramMicros(int micros) { device_.programMicros = micros; }

private:
    enum class Phase : uint8_t { Command, Load, Read };
    enum class Armed : uint8_t { None, BulkProgram, BulkData, ClearHalf, Clear };
    enum class Target : uint8_t { Program, Data };

    void reset(ChipIo& io);
    void clockFell(ChipIo& io);
    void clockRose(ChipIo& io);
    void decode(ChipIo& io, uint8_t bits);
    void begin(ChipIo& io, bool erase);
    void writeCell(ChipIo& io, bool erase);
    uint16_t readWord() const;
    void startCycle(ChipIo& io, int micros);
    uint16_t configRead() const;

    PicDevice device_;
    std::vector<uint16_t> code_;
    std::vector<uint8_t> data_;
    std::array<uint16_t, 4> id_{};
    uint16_t config_ = 0x3FFF;

    bool programMode_ = false;
    bool mclrHigh_ = false;
    Phase phase_ = Phase::Command;
    int bits_ = 0;
    uint16_t shift_ = 0;
    bool busyFrame_ = false; // the frame belongs to a refused command
    uint16_t pc_ = 0;
    uint16_t latch_ = 0x3FFF;
    Target target_ = Target::Program;
    Armed armed_ = Armed::None;
    uint16_t readOut_ = 0;
    SimTime busyUntil_ = 0;
    int cycles_ = 0;
    int refused_ = 0;
    std::optional<uint16_t> stuck_;
};

} // namespace pontvex::boxsim

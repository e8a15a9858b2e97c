#pragma once

#include "boxsim/ChipModel.h"

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace pontvex::boxsim {

// A 12-volt flash commanded by single bytes written to any address, in a
// 32-pin package with Vpp on pin 1. Two kinds:
//  - status: boot-block parts with a write state machine. FF read array, 90
//    identifier, 70 read status, 50 clear status, 20+D0 erase the block of the
//    address, 40 or 10 then the byte to program. Status bit 7 ready, 5 erase
//    error, 4 program error, 3 Vpp low. The boot block of the BX parts takes
//    program and erase only with 12 V on OE.
//  - bulk: 20 20 erases the whole array until the next write (A0, erase
//    verify, which reads the cell at its address), 40 then the byte programs
//    it until the next write (C0, program verify), 00/FF read, 90 identifier.
// Without 12 V on Vpp no command is taken: the chip only reads.
class Flash28F : public ChipModel {
public:
    static constexpr SimTime kNever = std::numeric_limits<SimTime>::infinity();
    struct Block {
        uint32_t start, size;
    };

    Flash28F(std::string name, uint32_t size, bool statusKind, std::vector<Block> blocks, int bootBlock,
             uint8_t maker, uint8_t device);

    std::string name() const override { return name_; }
    int pinCount() const override { return wide() ? 40 : 32; }
    int vccPin() const override { return 32 + shift(); }
    int gndPin() const override { return 16 + shift(); }
    int maxMillivolts(int chipPin) const override;
    void onPins(ChipIo& io) override;
    void beforeSample(ChipIo& io) override;

    std::vector<MemoryInfo> memories() const override;
    std::vector<uint8_t> readMemory(const std::string& name) const override;
    bool writeMemory(const std::string& name, std::span<const uint8_t> bytes) override;

    // Knob: how long a block erase runs (0: at once, kNever: never ends).
    void setBlockEraseUnits(SimTime units) { eraseUnits_ = units; }
    // Knob: how long a status-kind byte program runs.
    void setProgramUnits(SimTime units) { programUnits_ = units; }
    // Bytes programmed with 12 V on OE, inside and outside the boot block.
    int bootUnlockedPrograms() const { return oe12InBoot_; }
    int mainProgramsAt12VOe() const { return oe12Outside_; }
    // Erases in address order (block start addresses, or 0 for a bulk erase).
    const std::vector<uint32_t>& erasedBlocks() const { return erased_; }
    // Block starts that were erased with 12 V on OE.
    const std::vector<uint32_t>& bootUnlockedErases() const { return bootErases_; }

private:
    enum class Mode : uint8_t { Array, Id, Status, EraseSetup, ProgramSetup, Erasing, Programming, Verify };

    // Pins are named as on the 32-pin package; the 40-pin footprint of the
    // 512 K part moves them by 4.
    bool wide() const { return memory_.size() > 256 * 1024; }
    int shift() const { return wide() ? 4 : 0; }
    PinLevel pin(ChipIo& io, int p) const { return io.pin(p + shift()); }
    bool rose(ChipIo& io, int p) const { return io.rose(p + shift()); }
    void drivePin(ChipIo& io, int p, int level) const { io.drive(p + shift(), level); }
    uint32_t address(ChipIo& io) const;
    uint8_t dataBus(ChipIo& io) const;
    bool vppHigh(ChipIo& io) const;
    bool oeHigh12(ChipIo& io) const;
    int blockOf(uint32_t a) const;
    void write(ChipIo& io, uint32_t a, uint8_t d);
    void writeStatusKind(ChipIo& io, uint32_t a, uint8_t d);
    void writeBulkKind(ChipIo& io, uint32_t a, uint8_t d);
    void endBulkOperation(ChipIo& io);
    void begin(ChipIo& io, bool erase, uint32_t a, uint8_t d, SimTime units);
    void complete(bool erase, uint32_t start, uint32_t size);
    void finish(ChipIo& io);
    void drive(ChipIo& io);

    std::string name_;
    bool status_;
    std::vector<Block> blocks_;
    int boot_; // index of the boot block, -1 when none is locked
    uint8_t maker_, device_;
    std::vector<uint8_t> memory_;
    SimTime eraseUnits_;
    SimTime programUnits_;
    int oe12InBoot_ = 0, oe12Outside_ = 0;

    Mode mode_ = Mode::Array;
    uint8_t sr_ = 0x80;
    bool busy_ = false;
    SimTime since_ = 0, until_ = 0;
    uint32_t opAddress_ = 0;
    uint8_t opData_ = 0xFF;
    bool opErase_ = false;
    std::vector<uint32_t> erased_, bootErases_;
};

} // namespace pontvex::boxsim

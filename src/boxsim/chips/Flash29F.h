#pragma once

#include "boxsim/ChipModel.h"

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace pontvex::boxsim {

// One 5-volt 29F/49F part in a 32-pin package.
struct Flash29FType {
    uint32_t size = 0;
    uint32_t sectorSize = 0; // erase and protection unit
    uint32_t commandMask =
        0;                 // address bits the unlock decoder compares: 0x7FFF (5555/2AAA) or 0x7FF (555/2AA)
    bool resetPin = false; // pin 1 is RESET# (12 V there lifts the protection while held)
    SimTime chipEraseUnits = 0; // embedded chip erase
    bool wide = false;          // 40-pin footprint: A18, A19 on pins 3, 4, the 32-pin pins on 5..36
};

// A flash memory with the JEDEC software command set: every command starts
// with the unlock cycles AA to 555/5555 and 55 to 2AA/2AAA; A0 then program,
// 80 AA 55 10 chip erase, 90 autoselect, F0 reset. Embedded program and erase
// run on the chip's own timer: meanwhile a read gives DQ7 = the complement of
// the data being programmed (0 during erase) and DQ6 toggling on every read.
// Programming only clears bits. A protected sector takes neither program nor
// erase; 12 V on A9 reads the autoselect codes and, with a CE or WE pulse of
// at least 10 ms, clears the protection.
class Flash29F : public ChipModel {
public:
    static constexpr SimTime kNever = std::numeric_limits<SimTime>::infinity();

    Flash29F(std::string name, const Flash29FType& type, uint8_t maker, uint8_t device);

    std::string name() const override { return name_; }
    int pinCount() const override { return type_.wide ? 40 : 32; }
    int vccPin() const override { return 32 + shift(); }
    int gndPin() const override { return 16 + shift(); }
    int maxMillivolts(int chipPin) const override;
    void onPins(ChipIo& io) override;
    void beforeSample(ChipIo& io) override;

    std::vector<MemoryInfo> memories() const override;
    std::vector<uint8_t> readMemory(const std::string& name) const override;
    bool writeMemory(const std::string& name, std::span<const uint8_t> bytes) override;

    // Knobs: how long the chip erase runs (0: at once, kNever: it never ends),
    // and the protection of one sector.
    void setChipEraseUnits(SimTime units) { eraseUnits_ = units; }
    void protectSector(uint32_t sector, bool on = true) { protected_.at(sector) = on; }
    bool sectorProtected(uint32_t sector) const { return protected_.at(sector); }

    int chipErases() const { return erases_; }
    int eraseCommands() const { return eraseCommands_; }
    int programs() const { return programs_; }

private:
    enum class Step : uint8_t { Read, Unlock1, Unlock2, Program, Erase1, Erase2, Erase3 };
    enum class Busy : uint8_t { None, Program, Erase };

    // Pins are named as on the 32-pin package; a 40-pin footprint moves them by 4.
    int shift() const { return type_.wide ? 4 : 0; }
    PinLevel pin(ChipIo& io, int p) const { return io.pin(p + shift()); }
    bool rose(ChipIo& io, int p) const { return io.rose(p + shift()); }
    void drivePin(ChipIo& io, int p, int level) const { io.drive(p + shift(), level); }
    uint32_t address(ChipIo& io) const;
    uint8_t dataBus(ChipIo& io) const;
    bool highVoltage(ChipIo& io, int chipPin) const;
    bool writable(ChipIo& io, uint32_t a) const;
    void writeCycle(ChipIo& io, uint32_t a, uint8_t d);
    void finish(ChipIo& io);
    void drive(ChipIo& io);

    std::string name_;
    Flash29FType type_;
    uint8_t maker_, device_;
    std::vector<uint8_t> memory_;
    std::vector<bool> protected_;
    SimTime eraseUnits_;

    Step step_ = Step::Read;
    bool autoselect_ = false;
    Busy busy_ = Busy::None;
    SimTime busyUntil_ = 0;
    uint32_t busyAddress_ = 0;
    uint8_t busyData_ = 0xFF;
    bool eraseAll_ = false; // the erase began with 12 V on RESET#
    int toggle_ = 0;
    bool reading_ = false;
    SimTime strobeSince_ = -1; // CE or WE low with 12 V on A9
    int erases_ = 0, eraseCommands_ = 0, programs_ = 0;
};

} // namespace pontvex::boxsim

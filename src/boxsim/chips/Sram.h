#pragma once

#include "boxsim/ChipModel.h"

#include <cstdint>
#include <random>
#include <span>
#include <string>
#include <vector>

namespace pontvex::boxsim {

// A byte-wide static RAM or battery-backed RAM module in the JEDEC 24-, 28- or
// 32-pin pinout. Every control is level-sensitive: with /CE low (and CE2 high
// where the package has it) a low /WE writes the data bus into the addressed
// cell for as long as it is held, and /OE low with /WE high drives the cell
// out. Only a supply switched onto the Vcc pin powers the array: a plain SRAM
// loses its contents when that goes away and comes back random; a non-volatile
// module keeps them.
class Sram : public ChipModel {
public:
    struct Type {
        uint32_t size;
        int pins;         // 24, 28 or 32
        int ce2Pin;       // chip pin of the active-high CE2, 0 when none
        bool nonVolatile; // the battery keeps the array across power-off
    };

    Sram(std::string name, const Type& type, uint32_t seed = 1);

    std::string name() const override { return name_; }
    int pinCount() const override { return type_.pins; }
    int vccPin() const override { return type_.pins; }
    int gndPin() const override { return type_.pins / 2; }
    void onPins(ChipIo& io) override;

    std::vector<MemoryInfo> memories() const override;
    std::vector<uint8_t> readMemory(const std::string& name) const override;
    bool writeMemory(const std::string& name, std::span<const uint8_t> bytes) override;

    // Faults of the array's wiring. An address line stuck at a level; two
    // address lines shorted together (both read as the AND of the two); a
    // data bit that always reads one level.
    void stickAddressLine(int bit, int level) { stuckAddress_.push_back({bit, level}); }
    void shortAddressLines(int a, int b) { shorted_.push_back({a, b}); }
    void stickDataBit(int bit, int level)
    {
        dataMask_ |= static_cast<uint8_t>(1u << bit);
        dataLevels_ = static_cast<uint8_t>((dataLevels_ & ~(1u << bit)) | (level ? 1u << bit : 0u));
    }

    const Type& type() const { return type_; }
    int writes() const { return writes_; }
    int powerCycles() const { return powerCycles_; }

    // Chip pins of the package.
    int addressPin(int bit) const;
    int dataPin(int bit) const;
    int cePin() const;
    int oePin() const;
    int wePin() const;
    int addressBits() const;

private:
    uint32_t cellAddress(ChipIo& io) const;
    uint8_t dataBus(ChipIo& io) const;
    void scramble();

    struct Stuck {
        int bit, level;
    };
    struct Short {
        int a, b;
    };
    std::string name_;
    Type type_;
    std::mt19937 random_;
    std::vector<uint8_t> memory_;
    std::vector<Stuck> stuckAddress_;
    std::vector<Short> shorted_;
    uint8_t dataMask_ = 0, dataLevels_ = 0;
    bool wasSupplied_ = false;
    int writes_ = 0, powerCycles_ = 0;
};

} // namespace pontvex::boxsim

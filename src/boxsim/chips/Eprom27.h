#pragma once

#include "boxsim/ChipModel.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace pontvex::boxsim {

// How a 27-series part takes its program pulse.
enum class EpromStrobe : uint8_t {
    CeHigh, // 2716: CE/PGM pulsed high, OE high
    CeLow,  // CE/PGM pulsed low, OE high (or OE/Vpp at Vpp)
    PgmLow, // separate PGM pulsed low while CE is low and OE high
};

// How the part is erased in the socket (UV parts are erased by load/reset).
enum class EpromErase : uint8_t { Uv, Winbond, Sst };

// One silicon type: size, package, programming pins and voltages. Pin numbers
// are the chip's own.
struct EpromType {
    const char* base;
    uint32_t size;
    int pins;   // 24, 28 or 32
    int vppPin; // the OE pin on OE/Vpp parts
    int pgmPin; // PGM of PgmLow parts, 0 otherwise
    EpromStrobe strobe;
    std::vector<int> programCodes; // Vpp level codes that program
    int vppMaxMillivolts;
    EpromErase erase = EpromErase::Uv;
    int eraseStrobePin = 0; // held low for the erase time; 0: CE
    // Program pulse the part is driven with, in byte times (the box's pulse
    // parameter): the range the family's rows send for it. Half the shortest
    // does not program; twice the longest over-stresses the cell.
    int pulseShortest = 1, pulseLongest = 5;
};

// A UV or electrically erasable 27-series EPROM: erased cells read 0xFF, a
// program pulse only clears bits, and only with Vcc switched onto its Vcc pin,
// an accepted level on its Vpp pin and the strobe its type takes. With 12 V on
// A9 and CE, OE low it answers its electronic signature (A0 = 0: maker, 1: device).
// W27E parts erase with 14 V on Vpp and A9 and a 2000-unit strobe; SST27SF parts
// with 12 V and a 5000-unit CE pulse. Pulses are timed from the strobe's leading
// to its trailing edge: one too short leaves the cell as it was, one far too
// long (program or erase) is recorded as damage.
class Eprom27 : public ChipModel {
public:
    Eprom27(std::string name, const EpromType& type, uint8_t maker, uint8_t device);

    std::string name() const override { return name_; }
    int pinCount() const override { return type_.pins; }
    int vccPin() const override { return type_.pins; }
    int gndPin() const override { return type_.pins / 2; }
    int maxMillivolts(int chipPin) const override;
    void onPins(ChipIo& io) override;
    // Blank check and checksum (129, 130) of a powered chip, from its cells.
    bool onCommand(Box& box, ChipIo& io, uint8_t command, std::span<const uint8_t> operands,
                   std::span<uint8_t> reply) override;

    std::vector<MemoryInfo> memories() const override;
    std::vector<uint8_t> readMemory(const std::string& name) const override;
    bool writeMemory(const std::string& name, std::span<const uint8_t> bytes) override;

    const EpromType& type() const { return type_; }
    uint8_t cell(uint32_t address) const { return memory_.at(address); }
    // Program pulses that changed or confirmed a cell, and erases done.
    int programPulses() const { return pulses_; }
    int erases() const { return erases_; }
    // Pulses refused for a Vpp level the part does not program at, or too
    // short to program.
    int refusedPulses() const { return refused_; }

    // Chip pins of the package.
    int addressPin(int bit) const;
    int dataPin(int bit) const;
    int cePin() const;
    int oePin() const;
    int a9Pin() const { return addressPin(9); }
    int addressBits() const;

private:
    uint32_t address(ChipIo& io) const;
    uint8_t dataBus(ChipIo& io) const;
    bool highVoltage(const PinLevel& level) const;
    void handleErase(ChipIo& io, bool a9High);
    void endPulse(ChipIo& io, bool completed);

    std::string name_;
    EpromType type_;
    uint8_t maker_, device_;
    std::vector<uint8_t> memory_;
    bool programArmed_ = false;
    // The pulse under way: when it began, and what it programs.
    SimTime pulseSince_ = 0;
    uint32_t pulseAddress_ = 0;
    uint8_t pulseData_ = 0xFF;
    int pulseCode_ = 0;
    SimTime eraseSince_ = -1;
    int pulses_ = 0, erases_ = 0, refused_ = 0;
};

} // namespace pontvex::boxsim

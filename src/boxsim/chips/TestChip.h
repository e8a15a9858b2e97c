#pragma once

#include "boxsim/ChipModel.h"

#include <cstdint>
#include <string>
#include <vector>

namespace pontvex::boxsim {

// Small chips for the box's own tests.
// "TEST28": a 28-pin 32 K x 8 static RAM in the common byte-wide pinout
//   (A0..A14, D0..D7, /CE 20, /OE 22, /WE 27, Vcc 28, GND 14); pin 1 takes up
//   to 13 V so Vpp routing can be tested on a chip pin that allows it.
// "TEST40": a 40-pin part with Vcc 40, GND 20 whose pin 18 is the inverse of
//   pin 19 while it is powered (an oscillator inverter), and nothing else.
// Both log every pin change they see, with its time.
class TestChip : public ChipModel {
public:
    explicit TestChip(std::string kind);

    std::string name() const override { return kind_; }
    int pinCount() const override { return forty_ ? 40 : 28; }
    int vccPin() const override { return forty_ ? 40 : 28; }
    int gndPin() const override { return forty_ ? 20 : 14; }
    int maxMillivolts(int chipPin) const override;
    void onPins(ChipIo& io) override;

    std::vector<MemoryInfo> memories() const override;
    std::vector<uint8_t> readMemory(const std::string& name) const override;
    bool writeMemory(const std::string& name, std::span<const uint8_t> bytes) override;

    struct Edge {
        SimTime at;
        int chipPin;
        PinLevel level;
    };
    const std::vector<Edge>& edges() const { return edges_; }
    // Time of the last change of a pin to `level` at or after `from`, -1 if none.
    SimTime lastChange(int chipPin, int level) const;
    std::vector<uint8_t>& memory() { return memory_; }
    int writes() const { return writes_; }
    bool wasPowered() const { return everPowered_; }

private:
    uint32_t address(ChipIo& io) const;

    std::string kind_;
    bool forty_ = false;
    std::vector<uint8_t> memory_;
    std::vector<Edge> edges_;
    int writes_ = 0;
    bool everPowered_ = false;
};

} // namespace pontvex::boxsim

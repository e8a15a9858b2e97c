#pragma once

#include "boxsim/ChipModel.h"

#include <cstdint>
#include <optional>

namespace pontvex::boxsim {

// The chip side of the two-line serial port of the 87LPC76x programming mode.
// The host clocks: it puts a bit on the data line while the clock is low and
// the chip takes it on the rising edge, least significant bit first. A byte
// the chip serves goes out the same way: the chip puts each bit on data at the
// falling edge and lets go of the line after the eighth rising edge.
// It sees only the two pins (chip pin numbers) and keeps no time of its own.
class LpcSerialSlave {
public:
    LpcSerialSlave(int clockPin, int dataPin) : clock_(clockPin), data_(dataPin) {}

    int clockPin() const { return clock_; }
    int dataPin() const { return data_; }

    // Drops a partial byte and a byte being served, and releases data (the
    // chip left its serial mode).
    void reset(ChipIo& io);
    // Follows the lines; returns a byte once its eighth bit came in.
    std::optional<uint8_t> onPins(ChipIo& io);
    // The next eight clocks shift this byte out instead of taking one in.
    void serve(uint8_t value);
    bool serving() const { return serving_; }
    // Bits of the byte in progress (in or out).
    int bitsPending() const { return count_; }

private:
    int clock_;
    int data_;
    uint8_t shift_ = 0;
    int count_ = 0;
    bool serving_ = false;
    bool driving_ = false;
};

} // namespace pontvex::boxsim

// Commands 177 and 178: one byte into (177) or out of (178) an 87LPC76x in its
// serial programming mode.
//
// The chip sits with pin 1 at socket 6; its serial clock P0.5 (chip pin 16) is
// socket 31 and its serial data P0.4 (chip pin 17) socket 32 (RST/Vpp is socket
// 9, VSS 10, X1 11, VDD 30).
//
// The box works both lines open-drain, as it works the strobe pins and SDA: it
// pulls a line low by switching the pin's driver on, which sinks only while
// the pin latch is 0, and lets it go high (pull-up, or the chip driving) by
// switching the driver off. The latches are the program's: it clears both at
// power-up, clears 32 again before each 177 and sets it before 178; a line
// whose latch is 1 cannot be pulled low. The box touches nothing else and leaves both drivers as it
// found them.
//
// The clock idles high. Each bit: clock low; for 177 the box puts the bit on
// data, for 178 the chip puts its next bit there and the box samples it; then
// the clock rises, on which the receiver takes the bit. Least significant bit
// first. During 178 the box does not touch data, so the chip's bits reach the
// pin only when the program left it free. The firmware shifts a byte well
// inside one byte time of the line: the program sends the next command straight
// away and the box must not fall behind, so every edge falls in the unit in
// which the command is handled.
#include "boxsim/Box.h"

namespace pontvex::boxsim {

namespace {

constexpr int kClockPin = 31;
constexpr int kDataPin = 32;

} // namespace

bool Box::lpcCommand(uint8_t command, std::span<const uint8_t> operands, std::vector<uint8_t>& reply)
{
    const PinMode clockWas = mode_[kClockPin];
    const PinMode dataWas = mode_[kDataPin];
    const uint8_t out = operands.empty() ? 0xFF : operands[0];
    const auto line = [this](int pin, int level) {
        mode_[pin] = level ? PinMode::Float : PinMode::Drive;
        settle();
    };
    static constexpr int kData[1] = {kDataPin};
    uint8_t in = 0;
    for (int bit = 0; bit < 8; ++bit) {
        line(kClockPin, 0);
        if (command == 177) {
            line(kDataPin, (out >> bit) & 1);
        }
        if (command == 178 && samplePins(kData)) {
            in = static_cast<uint8_t>(in | (1 << bit));
        }
        line(kClockPin, 1);
    }
    mode_[kClockPin] = clockWas;
    mode_[kDataPin] = dataWas;
    settle();
    if (command == 178) {
        reply.push_back(in);
    }
    return true;
}

} // namespace pontvex::boxsim

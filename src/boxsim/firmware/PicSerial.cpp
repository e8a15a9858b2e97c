// The PIC serial commands: 168 sends a 6-bit command, 169 a command and then
// reads a 16-clock frame (reply: the raw frame, low byte first), 170 a command
// and then loads the 16-bit frame of its two operand bytes (low first).
//
// Which pins. The box knows no chip; it takes RB6 (clock) and RB7 (data) from
// the package that the routed Vcc pin implies, the chip sitting at the bottom
// of the socket:
//   Vcc 17 -> 8-pin at 17..24 (Vdd pin 1):   clock 22 (GP1), data 23 (GP0)
//   Vcc 25 -> 18-pin at 12..29 (Vdd pin 14): clock 23 (pin 12), data 24 (pin 13)
//   Vcc 26 -> 28-pin at 7..34 (Vdd pin 20):  clock 33 (pin 27), data 34 (pin 28)
//   Vcc 32 -> 40-pin at 1..40 (Vdd pin 32):  clock 39, data 40
// With no Vcc routed or another Vcc pin the command leaves the pins alone,
// answers all ones and is recorded as a warning.
//
// Who moves the lines. The firmware clocks through the pins' own drivers: it
// writes only the pin-latch bits of the two lines (0 sinks the pin, 1 lets the
// pull-up, or the chip, have it), and only on a pin the program has switched
// to its driver. A line the program left floating or gave to a port does not
// move, so a device row with the wrong clock or data pin reaches nothing. For
// the chip's read phase the data latch is 1 and the chip drives the line. At
// the end both latches are as the program left them (PowerUpChip: 0).
//
// Timing. Each bit is put on the data line while the clock is high and
// latched by the chip on the falling edge; read data are sampled while the
// clock is high, after the chip drove them on the rising edge. A whole
// transfer is some 100 us of bit-banging, done while the next byte is still
// on the line, so it keeps the box no longer than its own bytes do (the link
// streams these commands without waiting); its edges share the box's time
// stamp, in order, the clock's resolution being one byte time.

#include "boxsim/Box.h"
#include "boxsim/SocketMap.h"

namespace pontvex::boxsim {

namespace sm = socketmap;

namespace {

struct PicLines {
    int clock = 0;
    int data = 0;
};

PicLines picLinesForVcc(int vccPin)
{
    switch (vccPin) {
    case 17:
        return {22, 23};
    case 25:
        return {23, 24};
    case 26:
        return {33, 34};
    case 32:
        return {39, 40};
    default:
        return {};
    }
}

} // namespace

bool Box::picCommand(uint8_t command, std::span<const uint8_t> operands, std::vector<uint8_t>& reply)
{
    const PicLines lines = picLinesForVcc(vccPin());
    if (!lines.clock) {
        reply.assign(command == 169 ? 2 : 0, 0xFF);
        record(Severity::Warning, ProblemKind::Protocol,
               "family command " + std::to_string(command) + ": no PIC package for Vcc pin " +
                   std::to_string(vccPin()) + ", nothing clocked");
        return true;
    }
    const sm::Bit clockBit = sm::pinLatchBit(lines.clock);
    const sm::Bit dataBit = sm::pinLatchBit(lines.data);
    auto latchOf = [this](sm::Bit b) { return (pinLatch_[static_cast<size_t>(b.reg)] >> b.bit) & 1; };
    const int clockWas = latchOf(clockBit);
    const int dataWas = latchOf(dataBit);
    auto setLine = [this](int pin, sm::Bit b, int level) {
        if (mode_[static_cast<size_t>(pin)] != PinMode::Drive) {
            return; // not the firmware's to move
        }
        uint8_t& latch = pinLatch_[static_cast<size_t>(b.reg)];
        latch = static_cast<uint8_t>(level ? latch | (1 << b.bit) : latch & ~(1 << b.bit));
        settle();
    };
    auto clock = [&](int level) { setLine(lines.clock, clockBit, level); };
    auto data = [&](int level) { setLine(lines.data, dataBit, level); };
    auto send = [&](unsigned value, int bits) {
        for (int i = 0; i < bits; ++i) {
            clock(1);
            data((value >> i) & 1);
            clock(0);
        }
        data(0);
    };

    clock(0);
    send(operands[0] & 0x3Fu, 6);
    if (command == 170) {
        send(static_cast<unsigned>(operands[1] | operands[2] << 8), 16);
    } else if (command == 169) {
        const int dataPin[1] = {lines.data};
        unsigned frame = 0;
        data(1);
        for (int i = 0; i < 16; ++i) {
            clock(1);
            frame |= static_cast<unsigned>(samplePins(dataPin) & 1) << i;
            clock(0);
        }
        data(0);
        reply = {static_cast<uint8_t>(frame & 0xFF), static_cast<uint8_t>(frame >> 8)};
    }
    clock(clockWas);
    data(dataWas);
    return true;
}

} // namespace pontvex::boxsim

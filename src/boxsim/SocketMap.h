#pragma once

// Where each socket pin sits in the box's registers. Internal to boxsim.

namespace pontvex::boxsim::socketmap {

struct Bit {
    int reg = -1; // register index, -1 when the pin has none
    int bit = 0;
};

Bit pinLatchBit(int pin);         // pin latch 0..6
Bit portBit(int pin);             // port 0..4 (pins 20 and 40 have none)
int portPin(int port, int bit);   // 0 when the bit has no pin
int latchPin(int latch, int bit); // 0 when the bit has no pin

// Supply switches (bit of the register, -1 when the pin has no switch).
int vppRouteABit(int pin);
int vppRouteBBit(int pin); // bits 0..6
int vccRouteABit(int pin); // active low
int vccRouteCBit(int pin); // Vcc/GND register bits 0..2, active low
int gndRouteBit(int pin);  // Vcc/GND register bits 3..7, active high

// Pins of the data bus (port 2) in bit order.
extern const int kDataPins[8];

} // namespace pontvex::boxsim::socketmap

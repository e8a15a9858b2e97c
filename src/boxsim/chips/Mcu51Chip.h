#pragma once

#include "boxsim/ChipModel.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace pontvex::boxsim {

// How a 40-pin 8051 part takes its programming-mode commands.
enum class Mcu51Kind : uint8_t {
    C5x,   // AT89C51/52/55, AT80F5x, AT87F5x: erase needs a long PROG pulse
    S5x,   // AT89S51/52/53: short erase pulse
    Wd,    // AT89C5xWD, AT87F51Rx: lock bits read back on P0.2-P0.4
    X8252, // AT89S8252 family: one lock mode, P0.7/6/5 low select bits 1/2/3
    Sst,   // SST89C5x/E5x: 5 V on EA, five security bits
};

struct Mcu51Type {
    const char* name;
    uint32_t size;
    Mcu51Kind kind;
    std::array<uint8_t, 3> signature;
    std::array<uint32_t, 3> signatureAddress;
    std::vector<int> highAddressPins; // A13 and up
    int programCode;                  // Vpp level code on EA that programs
    bool otp;
    const char* key; // the device-list row the part is listed under
    int variant;
};

// An 8051 in parallel programming mode (RST high, PSEN low), pins as on the
// DIP: P1 = A0-A7, P2.0-P2.4 = A8-A12, P0 = data, mode on P2.6 (27), P2.7 (28),
// P3.6 (16), P3.7 (17), PROG on 30, EA/Vpp on 31. Powered, XTAL2 (18) is the
// inverse of XTAL1 (19). Program, erase and lock act on the rising edge of a
// PROG pulse that had EA at the programming level, Vcc from its supply switch,
// GND on ground and the box's clock running on XTAL1; locked bit 2 makes code
// reads give 0xFF.
class Mcu51Chip : public ChipModel {
public:
    explicit Mcu51Chip(const Mcu51Type& type);

    std::string name() const override { return type_.name; }
    int pinCount() const override { return 40; }
    int vccPin() const override { return 40; }
    int gndPin() const override { return 20; }
    int maxMillivolts(int chipPin) const override { return chipPin == 31 ? 13000 : 7000; }
    void onPins(ChipIo& io) override;

    std::vector<MemoryInfo> memories() const override;
    std::vector<uint8_t> readMemory(const std::string& name) const override;
    bool writeMemory(const std::string& name, std::span<const uint8_t> bytes) override;

    const Mcu51Type& type() const { return type_; }
    // Lock bits 1-3 as programmed (bit 0 = lock bit 1).
    uint8_t lockBits() const { return locks_; }
    void setLockBits(uint8_t bits) { locks_ = bits; }
    int erases() const { return erases_; }
    int programmed() const { return programmed_; }

private:
    uint32_t address(ChipIo& io) const;
    bool eaAtVpp(ChipIo& io) const;
    bool canProgram(ChipIo& io) const;
    void strobe(ChipIo& io, SimTime width);
    void output(ChipIo& io);

    Mcu51Type type_;
    std::vector<uint8_t> memory_;
    uint8_t locks_ = 0;
    SimTime progFell_ = -1;
    bool progArmed_ = false;
    int erases_ = 0;
    int programmed_ = 0;
};

// A 20-pin 8051 (89C1051/2051/4051, and the one-time 97C1051/2051) at socket
// pins 11-30: RST/Vpp 1, P3.0 2, XTAL2 4, XTAL1 5, PROG 6, mode on P3.3 (7),
// P3.4 (8), P3.5 (9), P3.7 (11), data P1 on 12-19. An internal counter is
// cleared by RST rising from 0 and stepped by XTAL1 rising (flash) or by each
// edge of P3.0 after the first one after a reset (97C). The flash parts act
// on one PROG pulse with RST at 12 V; the 97C parts need 12.5 V on RST, their
// oscillator running on XTAL1 and a train of PROG pulses (the box makes it
// for command 167).
class Mcu2051Chip : public ChipModel {
public:
    Mcu2051Chip(std::string name, uint32_t size, std::array<uint8_t, 3> signature, bool otp97);

    std::string name() const override { return name_; }
    int pinCount() const override { return 20; }
    int vccPin() const override { return 20; }
    int gndPin() const override { return 10; }
    int maxMillivolts(int chipPin) const override { return chipPin == 1 ? 13500 : 7000; }
    void onPins(ChipIo& io) override;

    std::vector<MemoryInfo> memories() const override;
    std::vector<uint8_t> readMemory(const std::string& name) const override;
    bool writeMemory(const std::string& name, std::span<const uint8_t> bytes) override;

    // PROG pulses a 97C cell needs before it holds its byte or lock bit.
    static constexpr int kOtpPulses = 25;

    uint32_t counter() const { return counter_; }
    uint8_t lockBits() const { return locks_; }
    int erases() const { return erases_; }
    int programmed() const { return programmed_; }

private:
    int mode(ChipIo& io) const;
    bool rstAt(ChipIo& io, int code) const;
    bool canProgram(ChipIo& io) const;
    void flashPulse(ChipIo& io, SimTime width);
    void otpPulse(ChipIo& io, SimTime width);
    uint8_t samplePort(ChipIo& io) const;
    void output(ChipIo& io);

    std::string name_;
    uint32_t size_;
    std::array<uint8_t, 3> signature_;
    bool otp97_;
    std::vector<uint8_t> memory_;
    uint32_t counter_ = 0;
    bool skipNextStep_ = false;
    uint8_t locks_ = 0;
    SimTime progFell_ = -1;
    bool progArmed_ = false;
    int erases_ = 0;
    int programmed_ = 0;
    uint64_t pulseKey_ = ~uint64_t{0};
    int pulses_ = 0;
};

} // namespace pontvex::boxsim

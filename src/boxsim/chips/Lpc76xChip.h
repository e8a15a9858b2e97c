#pragma once

#include "boxsim/ChipModel.h"
#include "boxsim/chips/LpcSerialSlave.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace pontvex::boxsim {

// An 87LPC76x one-time-programmable 8051 in its serial programming mode.
//
// The 20-pin DIP sits with pin 1 at socket 6, so its two rows land on sockets
// 6-15 (pins 1-10) and 26-35 (pins 11-20). A model's pins are one run of
// sockets, so this one spans sockets 6-35 and numbers its pins by socket - 5;
// sockets 16-25 are not connected. On the DIP: RST/Vpp pin 4 (socket 9), VSS
// 5 (10), X1 6 (11), X2 7 (12), VDD 15 (30), P0.5 16 (31, serial clock), P0.4
// 17 (32, serial data).
//
// With VDD on its supply, X1 low and RST at the programming voltage, every byte clocked
// in is a command or the operand of the one before: 8 and 10 take the address
// low and high byte, 2 the data byte, 12 and 14 start and end the programming
// pulse, 4 makes the byte at the address the next one clocked out, 6 steps the
// address. Code from 0, the ID at 0xFC30/0xFC31, the two configuration bytes
// at 0xFD00 (low) and 0xFD01 (high); OTP cells only clear bits. Leaving the
// mode drops a pulse in progress.
class Lpc76xChip : public ChipModel {
public:
    static constexpr int kRst = 4;
    static constexpr int kVss = 5;
    static constexpr int kX1 = 6;
    static constexpr int kVdd = 25;
    static constexpr int kClock = 26;
    static constexpr int kData = 27;
    // Pulse the cells need (one byte time is about 95 us).
    static constexpr SimTime kMinPulse = 1;
    static constexpr int kMinVppMillivolts = 10000;
    static constexpr int kMaxVppMillivolts = 13000;

    Lpc76xChip(std::string name, uint32_t codeSize, std::array<uint8_t, 2> id);

    std::string name() const override { return name_; }
    int pinCount() const override { return 30; }
    int firstSocketPin() const override { return 6; }
    int vccPin() const override { return kVdd; }
    int gndPin() const override { return kVss; }
    int maxMillivolts(int chipPin) const override { return chipPin == kRst ? kMaxVppMillivolts : 7000; }
    void onPins(ChipIo& io) override;

    std::vector<MemoryInfo> memories() const override;
    std::vector<uint8_t> readMemory(const std::string& name) const override;
    bool writeMemory(const std::string& name, std::span<const uint8_t> bytes) override;

    bool inSerialMode() const { return inMode_; }
    uint16_t address() const { return address_; }
    int programmed() const { return programmed_; }

private:
    enum class Expect : uint8_t { Command, AddressLow, AddressHigh, Data };
    bool serialMode(ChipIo& io) const;
    void take(ChipIo& io, uint8_t value);
    void endPulse(ChipIo& io);
    uint8_t read(uint16_t a) const;

    std::string name_;
    std::vector<uint8_t> code_;
    std::array<uint8_t, 2> id_;
    std::array<uint8_t, 2> config_{0xFF, 0xFF};
    LpcSerialSlave slave_{kClock, kData};
    bool inMode_ = false;
    Expect expect_ = Expect::Command;
    uint16_t address_ = 0;
    uint8_t data_ = 0xFF;
    SimTime pulseFrom_ = -1;
    int programmed_ = 0;
};

} // namespace pontvex::boxsim

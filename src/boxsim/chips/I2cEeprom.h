#pragma once

#include "boxsim/ChipModel.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace pontvex::boxsim {

// One two-wire EEPROM type. The 8-pin package is A0 A1 A2 GND SDA SCL WP Vcc.
struct I2cEepromType {
    const char* name;
    uint32_t size;    // bytes
    int pageSize;     // bytes one write cycle takes; the address wraps inside the page
    int addressBytes; // 1, 2, or 0 for the old protocol whose first byte is (address << 1) | R/W
    // Low bits of the device byte's chip-select field (bits 1..3) that carry
    // address bits 8..10 instead of comparing an address pin.
    int blockBits;
    SimTime writeCycle; // t_WR in byte times
    bool hasWp = true;  // WP high protects the whole array
};

// A two-wire (I²C) EEPROM slave that sees only its pins and time. SDA is open
// drain: the model pulls it low or lets it go. START and STOP are SDA edges
// while SCL is high, bits are taken on SCL rising, the acknowledge is pulled
// low for the ninth clock and read data changes while SCL is low. A write
// cycle starts at STOP; while it runs the chip answers nothing, so a master
// can poll for its end with a device byte. Losing power resets the bus logic,
// never the array.
//
// When one notification shows SCL and SDA both changed (a single port write
// moved both lines), SCL is taken to have moved first: with SCL falling that
// is a valid data change (the hold time is zero); with SCL rising the new SDA
// missed its setup time and counts as a START or STOP after the rise.
class I2cEeprom : public ChipModel {
public:
    explicit I2cEeprom(const I2cEepromType& type);

    std::string name() const override { return type_.name; }
    int pinCount() const override { return 8; }
    int vccPin() const override { return 8; }
    int gndPin() const override { return 4; }
    void onPins(ChipIo& io) override;

    std::vector<MemoryInfo> memories() const override;
    std::vector<uint8_t> readMemory(const std::string& name) const override;
    bool writeMemory(const std::string& name, std::span<const uint8_t> bytes) override;

    const I2cEepromType& type() const { return type_; }
    // Fault injection: a slower write cycle than the type's.
    void setWriteCycle(SimTime units) { type_.writeCycle = units; }
    uint8_t cell(uint32_t address) const { return memory_.at(address); }
    // Write cycles started (a page counts once) and cycles refused by WP.
    int writeCycles() const { return writeCycles_; }
    int protectedWrites() const { return protectedWrites_; }
    bool busy(SimTime now) const { return now < busyUntil_; }

    static constexpr int kSda = 5, kScl = 6, kWp = 7;
    static constexpr int kAddressPins[3] = {1, 2, 3};

private:
    enum class State : uint8_t {
        Idle,   // waiting for START
        Device, // receiving the first byte
        AddressHigh,
        AddressLow,
        WriteData,
        ReadData, // sending a byte, then reading the master's acknowledge
    };

    void reset();
    void onStart();
    void onStop(ChipIo& io);
    void onClockRise(ChipIo& io);
    void onClockFall(ChipIo& io);
    // A whole byte came in; returns whether the chip acknowledges it.
    bool takeByte(ChipIo& io, uint8_t byte);
    uint8_t readOut(uint32_t address) const;
    uint32_t mask(uint32_t address) const { return address & (type_.size - 1); }

    I2cEepromType type_;
    std::vector<uint8_t> memory_;

    State state_ = State::Idle;
    int bit_ = 0;       // bits of the current byte clocked so far (0..8), 9 = acknowledge clock
    uint8_t shift_ = 0; // byte being received or sent
    bool masterNack_ = false;
    uint32_t address_ = 0; // the address counter
    uint32_t highAddress_ = 0;
    std::vector<std::pair<uint32_t, uint8_t>> pending_; // bytes of the write being received
    SimTime busyUntil_ = 0;
    bool wasPowered_ = false;
    int writeCycles_ = 0;
    int protectedWrites_ = 0;
};

} // namespace pontvex::boxsim

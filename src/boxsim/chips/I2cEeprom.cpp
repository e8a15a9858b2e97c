#include "boxsim/chips/I2cEeprom.h"

#include "boxsim/LineModel.h"
#include "boxsim/chips/Registry.h"

#include <algorithm>

namespace pontvex::boxsim {

namespace {

// 24C01A/24C02: 8-byte pages, a 5 ms maximum write cycle (the makers' data
// sheets agree on it), all three address pins compared.
const I2cEepromType T24C02{"24C02", 256, 8, 1, 0, millisecondsToUnits(5.0)};
const I2cEepromType T24C01A{"24C01A", 128, 8, 1, 0, millisecondsToUnits(5.0)};
// 24C04/08/16: 16-byte pages; address bits 8..10 take the place of A0..A2 in
// the device byte, from the lowest up (those pins are not connected inside).
const I2cEepromType T24C04{"24C04", 512, 16, 1, 1, millisecondsToUnits(5.0)};
const I2cEepromType T24C08{"24C08", 1024, 16, 1, 2, millisecondsToUnits(5.0)};
const I2cEepromType T24C16{"24C16", 2048, 16, 1, 3, millisecondsToUnits(5.0)};
// 24C32 and up: two address bytes, high first; pages of 32, 64 or 128 bytes.
const I2cEepromType T24C32{"24C32", 4096, 32, 2, 0, millisecondsToUnits(5.0)};
const I2cEepromType T24C64{"24C64", 8192, 32, 2, 0, millisecondsToUnits(5.0)};
const I2cEepromType T24C128{"24C128", 16384, 64, 2, 0, millisecondsToUnits(5.0)};
const I2cEepromType T24C256{"24C256", 32768, 64, 2, 0, millisecondsToUnits(5.0)};
const I2cEepromType T24C512{"24C512", 65536, 128, 2, 0, millisecondsToUnits(5.0)};
// X24C01: no device byte; the first byte is the address and the R/W bit,
// 4-byte pages, no WP pin.
const I2cEepromType TX24C01{"X24C01", 128, 4, 0, 0, millisecondsToUnits(5.0), false};

constexpr int kDeviceCode = 0xA; // 1010 in the high nibble of the device byte

} // namespace

I2cEeprom::I2cEeprom(const I2cEepromType& type) : type_(type), memory_(type.size, 0xFF) {}

std::vector<MemoryInfo> I2cEeprom::memories() const
{
    return {{"array", 8, type_.size, "the EEPROM array"}};
}

std::vector<uint8_t> I2cEeprom::readMemory(const std::string& name) const
{
    return findMemory(name) ? memory_ : std::vector<uint8_t>{};
}

bool I2cEeprom::writeMemory(const std::string& name, std::span<const uint8_t> bytes)
{
    const auto m = findMemory(name);
    if (!m || !fitsMemory(*m, bytes))
        return false;
    std::copy(bytes.begin(), bytes.end(), memory_.begin());
    return true;
}

uint8_t I2cEeprom::readOut(uint32_t address) const
{
    return applyStuckCells(address, memory_[address]);
}

void I2cEeprom::reset()
{
    state_ = State::Idle;
    bit_ = 0;
    shift_ = 0;
    masterNack_ = false;
    pending_.clear();
}

void I2cEeprom::onPins(ChipIo& io)
{
    if (!io.powered()) {
        if (wasPowered_ && busy(io.now())) {
            io.warn("power lost during a write cycle");
        }
        wasPowered_ = false;
        busyUntil_ = 0;
        io.releaseAll();
        return;
    }
    if (!wasPowered_) {
        // Edges seen with the power coming up are no bus events.
        wasPowered_ = true;
        reset();
        address_ = 0;
        io.releaseAll();
        return;
    }
    if (busy(io.now())) {
        // The write cycle disables the inputs; a new START is needed after it.
        reset();
        io.release(kSda);
        return;
    }
    const bool sclRose = io.rose(kScl), sclFell = io.fell(kScl);
    const bool sdaRose = io.rose(kSda), sdaFell = io.fell(kSda);
    if (sclRose && (sdaRose || sdaFell)) {
        io.warn("SDA changed together with SCL rising");
    }
    if (sclRose) {
        onClockRise(io);
    }
    if (sclFell) {
        onClockFall(io);
    }
    if (io.pin(kScl).level == 1 && !sclFell) {
        if (sdaFell) {
            onStart();
            io.release(kSda);
        } else if (sdaRose) {
            onStop(io);
            io.release(kSda);
        }
    }
}

void I2cEeprom::onStart()
{
    // A START in the middle of a write drops the bytes received: only a STOP
    // starts the write cycle.
    reset();
    state_ = State::Device;
}

void I2cEeprom::onStop(ChipIo& io)
{
    if (state_ == State::WriteData && !pending_.empty()) {
        if (type_.hasWp && io.pin(kWp).level == 1) {
            ++protectedWrites_;
        } else {
            for (const auto& [a, v] : pending_) {
                memory_[a] = v;
            }
            busyUntil_ = io.now() + type_.writeCycle;
            ++writeCycles_;
        }
    }
    reset();
}

void I2cEeprom::onClockRise(ChipIo& io)
{
    // The level SDA had before this notification: a line that moved with
    // SCL rising changed after the sample.
    const int sda = io.previous(kSda).level;
    switch (state_) {
    case State::Idle:
        return;
    case State::ReadData:
        if (bit_ < 8) {
            ++bit_;
        } else if (bit_ == 8) {
            masterNack_ = sda == 1;
            bit_ = 9;
        }
        return;
    default:
        if (bit_ < 8) {
            shift_ = static_cast<uint8_t>((shift_ << 1) | sda);
            ++bit_;
        }
        return;
    }
}

void I2cEeprom::onClockFall(ChipIo& io)
{
    auto sendBit = [&](int n) {
        if ((shift_ >> n) & 1) {
            io.release(kSda);
        } else {
            io.drive(kSda, 0);
        }
    };
    auto startByte = [&] {
        shift_ = readOut(address_);
        address_ = mask(address_ + 1); // sequential reads roll over the whole array
        bit_ = 0;
        sendBit(7);
    };
    switch (state_) {
    case State::Idle:
        return;
    case State::ReadData:
        if (bit_ >= 1 && bit_ <= 7) {
            sendBit(7 - bit_);
        } else if (bit_ == 8) {
            io.release(kSda); // the master's acknowledge
        } else if (bit_ == 9) {
            if (masterNack_) {
                // No acknowledge ends the read; the chip waits for STOP or START.
                reset();
                io.release(kSda);
            } else {
                startByte();
            }
        }
        return;
    default:
        if (bit_ == 8) {
            if (takeByte(io, shift_)) {
                io.drive(kSda, 0);
                bit_ = 9;
            } else {
                reset();
                io.release(kSda);
            }
        } else if (bit_ == 9) {
            io.release(kSda);
            bit_ = 0;
            shift_ = 0;
            if (state_ == State::ReadData) {
                startByte();
            }
        }
        return;
    }
}

bool I2cEeprom::takeByte(ChipIo& io, uint8_t byte)
{
    switch (state_) {
    case State::Device: {
        const bool read = byte & 1;
        if (type_.addressBytes == 0) {
            address_ = mask(byte >> 1);
        } else {
            if ((byte >> 4) != kDeviceCode)
                return false;
            for (int k = type_.blockBits; k < 3; ++k) {
                if (((byte >> (k + 1)) & 1) != io.pin(kAddressPins[k]).level)
                    return false;
            }
            // Block bits of a read's device byte are ignored: the counter
            // already holds the whole address.
            highAddress_ = (byte >> 1) & ((1u << type_.blockBits) - 1);
        }
        if (read) {
            state_ = State::ReadData;
        } else {
            state_ = type_.addressBytes == 2   ? State::AddressHigh
                     : type_.addressBytes == 1 ? State::AddressLow
                                               : State::WriteData;
        }
        return true;
    }
    case State::AddressHigh:
        highAddress_ = byte;
        state_ = State::AddressLow;
        return true;
    case State::AddressLow:
        address_ = mask((highAddress_ << 8) | byte);
        state_ = State::WriteData;
        return true;
    case State::WriteData: {
        pending_.emplace_back(address_, byte);
        const uint32_t page = static_cast<uint32_t>(type_.pageSize);
        address_ = (address_ & ~(page - 1)) | ((address_ + 1) & (page - 1));
        return true;
    }
    default:
        return false;
    }
}

void addI2cEepromOffers(std::vector<ChipOffer>& offers)
{
    offers.push_back({"24C02", {{"P24", 2}}, "two-wire EEPROM 256 x 8, 8-byte pages, 5 ms write cycle", [] {
                          return std::make_unique<I2cEeprom>(T24C02);
                      }});
    // The makers' parts, by their list names.
    struct Row {
        const char* name;
        const I2cEepromType* type;
        int variant;
    };
    static const Row rows[] = {
        {"AT24C01A", &T24C01A, 1},  {"AT24C02", &T24C02, 2},   {"AT24C04", &T24C04, 3},
        {"AT24C08", &T24C08, 4},    {"AT24C16", &T24C16, 5},   {"AT24C32", &T24C32, 6},
        {"AT24C64", &T24C64, 7},    {"AT24C128", &T24C128, 8}, {"AT24C256", &T24C256, 9},
        {"AT24C512", &T24C512, 10}, {"X24C01", &TX24C01, 11}};
    for (const Row& r : rows) {
        I2cEepromType type = *r.type;
        type.name = r.name;
        const std::string description = "two-wire EEPROM " + std::to_string(type.size) + " x 8, " +
                                        std::to_string(type.pageSize) + "-byte pages, 5 ms write cycle";
        offers.push_back({r.name, {{"P24", r.variant}}, description, [type] {
                              return std::make_unique<I2cEeprom>(type);
                          }});
    }
}

} // namespace pontvex::boxsim

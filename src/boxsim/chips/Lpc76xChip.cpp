#include "boxsim/chips/Lpc76xChip.h"

#include "boxsim/chips/Registry.h"

#include <algorithm>
#include <cstdio>
#include <memory>

namespace pontvex::boxsim {

namespace {

constexpr uint16_t kIdAddress = 0xFC30;
constexpr uint16_t kConfigAddress = 0xFD00;

std::string hex4(uint32_t v)
{
    char buf[8];
    std::snprintf(buf, sizeof buf, "%04X", v & 0xFFFFu);
    return buf;
}

} // namespace

Lpc76xChip::Lpc76xChip(std::string name, uint32_t codeSize, std::array<uint8_t, 2> id)
    : name_(std::move(name)), code_(codeSize, 0xFF), id_(id)
{
}

bool Lpc76xChip::serialMode(ChipIo& io) const
{
    // A pulled-up VDD pin is a logic 1, not a supply.
    if (!io.supplied() || io.pin(kX1).level != 0) {
        return false;
    }
    const PinLevel rst = io.pin(kRst);
    return rst.source == PinSource::Vpp && rst.millivolts() >= kMinVppMillivolts &&
           rst.millivolts() <= kMaxVppMillivolts;
}

void Lpc76xChip::onPins(ChipIo& io)
{
    const bool mode = serialMode(io);
    if (mode != inMode_) {
        // Entering or leaving the mode starts the port and the command decoder
        // afresh; edges that came with the change are not clocks.
        inMode_ = mode;
        slave_.reset(io);
        expect_ = Expect::Command;
        address_ = 0;
        pulseFrom_ = -1;
        io.note(mode ? "serial programming mode" : "serial programming mode left");
        return;
    }
    if (!inMode_) {
        return;
    }
    if (auto b = slave_.onPins(io)) {
        take(io, *b);
    }
}

void Lpc76xChip::take(ChipIo& io, uint8_t value)
{
    const Expect was = expect_;
    expect_ = Expect::Command;
    switch (was) {
    case Expect::AddressLow:
        address_ = static_cast<uint16_t>((address_ & 0xFF00) | value);
        return;
    case Expect::AddressHigh:
        address_ = static_cast<uint16_t>((address_ & 0x00FF) | (value << 8));
        return;
    case Expect::Data:
        data_ = value;
        return;
    case Expect::Command:
        break;
    }
    switch (value) {
    case 8:
        expect_ = Expect::AddressLow;
        break;
    case 10:
        expect_ = Expect::AddressHigh;
        break;
    case 2:
        expect_ = Expect::Data;
        break;
    case 12:
        pulseFrom_ = io.now();
        break;
    case 14:
        endPulse(io);
        break;
    case 4:
        slave_.serve(read(address_));
        break;
    case 6:
        address_ = static_cast<uint16_t>(address_ + 1);
        break;
    default:
        io.warn("unknown serial command " + std::to_string(value));
        break;
    }
}

void Lpc76xChip::endPulse(ChipIo& io)
{
    if (pulseFrom_ < 0) {
        io.warn("programming pulse ended that never started");
        return;
    }
    const SimTime width = io.now() - pulseFrom_;
    pulseFrom_ = -1;
    if (width < kMinPulse) {
        io.warn("programming pulse too short at " + hex4(address_));
        return;
    }
    if (address_ < code_.size()) {
        code_[address_] &= data_;
    } else if (address_ >= kConfigAddress && address_ < kConfigAddress + config_.size()) {
        config_[address_ - kConfigAddress] &= data_;
    } else {
        io.warn("no programmable cell at " + hex4(address_));
        return;
    }
    ++programmed_;
}

uint8_t Lpc76xChip::read(uint16_t a) const
{
    if (a < code_.size()) {
        return applyStuckCells(a, code_[a]);
    }
    if (a >= kIdAddress && a < kIdAddress + id_.size()) {
        return id_[a - kIdAddress];
    }
    if (a >= kConfigAddress && a < kConfigAddress + config_.size()) {
        return config_[a - kConfigAddress];
    }
    return 0xFF;
}

std::vector<MemoryInfo> Lpc76xChip::memories() const
{
    return {{"code", 8, static_cast<uint32_t>(code_.size()), "OTP code memory"},
            {"config", 8, 2, "configuration bytes at FD00 (low) and FD01 (high)"},
            {"id", 8, 2, "identification at FC30, FC31"}};
}

std::vector<uint8_t> Lpc76xChip::readMemory(const std::string& name) const
{
    const auto memory = findMemory(name);
    if (!memory) {
        return {};
    }
    if (memory->name == "code") {
        return code_;
    }
    if (memory->name == "config") {
        return {config_.begin(), config_.end()};
    }
    return {id_.begin(), id_.end()};
}

bool Lpc76xChip::writeMemory(const std::string& name, std::span<const uint8_t> bytes)
{
    const auto memory = findMemory(name);
    if (!memory || !fitsMemory(*memory, bytes)) {
        return false;
    }
    uint8_t* target = memory->name == "code"     ? code_.data()
                      : memory->name == "config" ? config_.data()
                                                 : id_.data();
    std::copy(bytes.begin(), bytes.end(), target);
    return true;
}

// Identification bytes: the maker byte of the family and the part's number, so
// that the two parts tell themselves apart.
void addLpc76xOffers(std::vector<ChipOffer>& offers)
{
    offers.push_back(
        {"87LPC762", {{"PHI87LP", 1}}, "87LPC76x OTP, 2 KiB, 20 pins, serial programming", [] {
             return std::make_unique<Lpc76xChip>("87LPC762", 2048, std::array<uint8_t, 2>{0x15, 0x62});
         }});
    offers.push_back(
        {"87LPC764", {{"PHI87LP", 2}}, "87LPC76x OTP, 4 KiB, 20 pins, serial programming", [] {
             return std::make_unique<Lpc76xChip>("87LPC764", 4096, std::array<uint8_t, 2>{0x15, 0x64});
         }});
}

} // namespace pontvex::boxsim

#include "boxsim/chips/TestChip.h"

#include "boxsim/chips/Registry.h"

namespace pontvex::boxsim {

namespace {
// Byte-wide 28-pin pinout: address bits A0..A14 and data D0..D7 by chip pin.
const int kAddressPins[15] = {10, 9, 8, 7, 6, 5, 4, 3, 25, 24, 21, 23, 2, 26, 1};
const int kDataPins[8] = {11, 12, 13, 15, 16, 17, 18, 19};
constexpr int kCe = 20, kOe = 22, kWe = 27;
} // namespace

TestChip::TestChip(std::string kind) : kind_(std::move(kind)), forty_(kind_ == "TEST40")
{
    if (!forty_) {
        memory_.assign(0x8000, 0xFF);
    }
}

int TestChip::maxMillivolts(int chipPin) const
{
    if (!forty_ && chipPin == 1) {
        return 13000;
    }
    return 7000;
}

std::vector<MemoryInfo> TestChip::memories() const
{
    if (forty_)
        return {};
    return {{"array", 8, static_cast<uint32_t>(memory_.size()), "the memory array"}};
}

std::vector<uint8_t> TestChip::readMemory(const std::string& name) const
{
    return findMemory(name) ? memory_ : std::vector<uint8_t>{};
}

bool TestChip::writeMemory(const std::string& name, std::span<const uint8_t> bytes)
{
    const auto m = findMemory(name);
    if (!m || !fitsMemory(*m, bytes))
        return false;
    std::copy(bytes.begin(), bytes.end(), memory_.begin());
    return true;
}

SimTime TestChip::lastChange(int chipPin, int level) const
{
    for (auto it = edges_.rbegin(); it != edges_.rend(); ++it) {
        if (it->chipPin == chipPin && it->level.level == level) {
            return it->at;
        }
    }
    return -1;
}

uint32_t TestChip::address(ChipIo& io) const
{
    uint32_t a = 0;
    for (int i = 0; i < 15; ++i) {
        if (io.pin(kAddressPins[i]).level) {
            a |= 1u << i;
        }
    }
    return a;
}

void TestChip::onPins(ChipIo& io)
{
    if (edges_.size() > 100000) {
        // Long runs keep the recent history only.
        edges_.erase(edges_.begin(), edges_.begin() + 50000);
    }
    for (int k = 1; k <= pinCount(); ++k) {
        if (io.changed(k)) {
            edges_.push_back({io.now(), k, io.pin(k)});
        }
    }
    if (!io.powered()) {
        io.releaseAll();
        return;
    }
    everPowered_ = true;
    if (forty_) {
        io.drive(18, 1 - io.pin(19).level);
        return;
    }
    // Static RAM: write on the rising edge of /WE (or /CE) while the other is
    // low; read while /CE and /OE are low and /WE is high.
    bool ce = io.pin(kCe).level == 0, oe = io.pin(kOe).level == 0, we = io.pin(kWe).level == 0;
    bool weEnd = (io.rose(kWe) && ce) || (io.rose(kCe) && io.previous(kWe).level == 0);
    if (weEnd) {
        uint8_t d = 0;
        for (int i = 0; i < 8; ++i) {
            d |= static_cast<uint8_t>(io.pin(kDataPins[i]).level << i);
        }
        memory_[address(io)] = d;
        ++writes_;
    }
    if (ce && oe && !we) {
        uint32_t a = address(io);
        uint8_t d = applyStuckCells(a, memory_[a]);
        for (int i = 0; i < 8; ++i) {
            io.drive(kDataPins[i], (d >> i) & 1);
        }
    } else {
        for (int p : kDataPins) {
            io.release(p);
        }
    }
}

void addTestChipOffers(std::vector<ChipOffer>& offers)
{
    offers.push_back({"TEST28", {}, "test chip: a 28-pin RAM-like memory that records its pin edges", [] {
                          return std::make_unique<TestChip>("TEST28");
                      }});
    offers.push_back({"TEST40", {}, "test chip: 40 pins that record their edges, no memory", [] {
                          return std::make_unique<TestChip>("TEST40");
                      }});
}

} // namespace pontvex::boxsim

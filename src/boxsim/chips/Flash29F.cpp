#include "boxsim/chips/Flash29F.h"

#include "boxsim/chips/Registry.h"

#include <algorithm>
#include <cstdio>

namespace pontvex::boxsim {

namespace {

constexpr uint32_t K = 1024;

// 32-pin JEDEC flash pinout, address bit -> chip pin (A18 on pin 1). The
// 1 MiB parts sit on a 40-pin footprint whose pins 5..36 are the 32-pin
// ones: A18 and A19 on footprint pins 3 and 4 (32-pin "pins -1 and 0"
// here), pin 1 of the 32-pin layout the 12 V input that lifts the sector
// protection while held (the row routes its Vpp there).
constexpr int kAddress[] = {12, 11, 10, 9, 8, 7, 6, 5, 27, 26, 23, 25, 4, 28, 29, 3, 2, 30, 1};
constexpr int kWideAddress[] = {12, 11, 10, 9, 8, 7, 6, 5, 27, 26, 23, 25, 4, 28, 29, 3, 2, 30, -1, 0};
constexpr int kData[] = {13, 14, 15, 17, 18, 19, 20, 21};
constexpr int kCe = 22, kOe = 24, kWe = 31, kA9 = 26, kReset = 1;

// Chip erase takes about 1 s on these parts (sheets: 1 s typical per
// chip for the 128 K parts, up to 8 s for 512 K); the model uses 2000 byte
// times (191 ms) so one attempt's wait covers it. Byte programming, 7..14 us,
// ends within the byte time the box spends on it.
constexpr SimTime kChipEraseUnits = 2000;
constexpr SimTime kProgramUnits = 0.2;
// The sheets' unprotect pulse is 10 ms: 105 byte times.
constexpr SimTime kUnprotectUnits = 100;

const Flash29FType T010{128 * K, 16 * K, 0x7FFF, false, kChipEraseUnits};
const Flash29FType T020{256 * K, 16 * K, 0x7FFF, false, kChipEraseUnits};
const Flash29FType T040{512 * K, 64 * K, 0x7FF, false, kChipEraseUnits};
const Flash29FType T256{32 * K, 4 * K, 0x7FFF, false, kChipEraseUnits};
const Flash29FType T512{64 * K, 8 * K, 0x7FFF, false, kChipEraseUnits};
const Flash29FType TBoot128{128 * K, 16 * K, 0x7FF, true, kChipEraseUnits};
const Flash29FType TBoot256{256 * K, 32 * K, 0x7FF, true, kChipEraseUnits};
const Flash29FType TBoot512{512 * K, 64 * K, 0x7FF, false, kChipEraseUnits};
const Flash29FType TBoot1M{1024 * K, 64 * K, 0x7FF, true, kChipEraseUnits, true};

struct Part {
    const char* name;
    const Flash29FType* type;
    uint8_t maker, device;
    std::vector<ChipRow> rows;
};

// Names as in the device list; codes from the makers' data sheets.
const std::vector<Part>& parts()
{
    static const std::vector<Part> all = {
        {"29F256", &T256, 0, 0, {{"P29F", 1}}},
        {"29F512", &T512, 0, 0, {{"P29F", 2}}},
        {"AM29F010", &T010, 0x01, 0x20, {{"P29F", 3}}},
        {"29F020", &T020, 0, 0, {{"P29F", 4}}},
        {"AM29F040", &T040, 0x01, 0xA4, {{"P29F", 5}}},
        {"29F001T", &TBoot128, 0, 0, {{"P29F", 6}, {"MX29F", 4}}},
        {"29F001B", &TBoot128, 0, 0, {{"P29F", 7}, {"MX29F", 5}}},
        {"AM29F002T", &TBoot256, 0x01, 0xB0, {{"P29F", 8}, {"MX29F", 6}}},
        {"AM29F002B", &TBoot256, 0x01, 0x34, {{"P29F", 9}, {"MX29F", 7}}},
        {"29F004T", &TBoot512, 0, 0, {{"P29F", 10}, {"MX29F", 8}}},
        {"29F004B", &TBoot512, 0, 0, {{"P29F", 11}, {"MX29F", 9}}},
        {"29F008T", &TBoot1M, 0, 0, {{"P29F", 12}, {"MX29F", 10}}},
        {"29F008B", &TBoot1M, 0, 0, {{"P29F", 13}, {"MX29F", 11}}},
        {"MX29F001T", &TBoot128, 0xC2, 0x18, {{"MX29F", 4}, {"P29F", 6}}},
        {"MX29F001B", &TBoot128, 0xC2, 0x19, {{"MX29F", 5}, {"P29F", 7}}},
        {"MX29F002T", &TBoot256, 0xC2, 0xB0, {{"MX29F", 6}, {"P29F", 8}}},
        {"MX29F002B", &TBoot256, 0xC2, 0x34, {{"MX29F", 7}, {"P29F", 9}}},
        {"MX29F010", &T010, 0, 0, {{"MX29F", 1}}},
        {"MX29F040", &T040, 0xC2, 0xA4, {{"MX29F", 3}}},
        {"AT49F010", &T010, 0x1F, 0x17, {{"AT49F", 1}}},
        {"AT49F020", &T020, 0x1F, 0x0B, {{"AT49F", 2}}},
        {"AT49F040", &T040, 0x1F, 0x13, {{"AT49F", 3}}},
    };
    return all;
}

} // namespace

Flash29F::Flash29F(std::string name, const Flash29FType& type, uint8_t maker, uint8_t device)
    : name_(std::move(name)), type_(type), maker_(maker), device_(device), memory_(type.size, 0xFF),
      protected_(type.size / type.sectorSize, false), eraseUnits_(type.chipEraseUnits)
{
}

int Flash29F::maxMillivolts(int footprintPin) const
{
    const int chipPin = footprintPin - shift();
    if (chipPin == kA9 || chipPin == kOe || (type_.resetPin && chipPin == kReset))
        return 13000;
    return 7000;
}

std::vector<MemoryInfo> Flash29F::memories() const
{
    return {{"array", 8, static_cast<uint32_t>(memory_.size()), "the flash array"}};
}

std::vector<uint8_t> Flash29F::readMemory(const std::string& name) const
{
    return findMemory(name) ? memory_ : std::vector<uint8_t>{};
}

bool Flash29F::writeMemory(const std::string& name, std::span<const uint8_t> bytes)
{
    const auto m = findMemory(name);
    if (!m || !fitsMemory(*m, bytes))
        return false;
    std::copy(bytes.begin(), bytes.end(), memory_.begin());
    return true;
}

uint32_t Flash29F::address(ChipIo& io) const
{
    uint32_t a = 0;
    for (int bit = 0; (1u << bit) < type_.size; ++bit)
        a |= static_cast<uint32_t>(pin(io, type_.wide ? kWideAddress[bit] : kAddress[bit]).level) << bit;
    return a;
}

uint8_t Flash29F::dataBus(ChipIo& io) const
{
    uint8_t d = 0;
    for (int bit = 0; bit < 8; ++bit)
        d |= static_cast<uint8_t>(pin(io, kData[bit]).level << bit);
    return d;
}

// Code 0 routed is a logic-level 5 V (decision of the box's level table).
bool Flash29F::highVoltage(ChipIo& io, int chipPin) const
{
    const PinLevel level = pin(io, chipPin);
    return level.source == PinSource::Vpp && level.vppCode != 0;
}

bool Flash29F::writable(ChipIo& io, uint32_t a) const
{
    if (type_.resetPin && highVoltage(io, kReset))
        return true; // temporary unprotect while RESET# is at 12 V
    return !protected_[a / type_.sectorSize];
}

void Flash29F::writeCycle(ChipIo& io, uint32_t a, uint8_t d)
{
    if (busy_ != Busy::None)
        return; // the embedded algorithm ignores the bus
    const uint32_t c = a & type_.commandMask;
    const uint32_t k555 = 0x5555 & type_.commandMask, k2aa = 0x2AAA & type_.commandMask;
    if (d == 0xF0 && step_ != Step::Program) {
        step_ = Step::Read;
        autoselect_ = false;
        return;
    }
    switch (step_) {
    case Step::Read:
        step_ = c == k555 && d == 0xAA ? Step::Unlock1 : Step::Read;
        break;
    case Step::Unlock1:
        step_ = c == k2aa && d == 0x55 ? Step::Unlock2 : Step::Read;
        break;
    case Step::Unlock2:
        step_ = Step::Read;
        if (c != k555)
            break;
        if (d == 0xA0)
            step_ = Step::Program;
        else if (d == 0x80)
            step_ = Step::Erase1;
        else if (d == 0x90)
            autoselect_ = true;
        break;
    case Step::Program:
        step_ = Step::Read;
        busyAddress_ = a;
        busyData_ = d;
        if (!writable(io, a)) {
            // A protected sector: the chip returns to read after a few microseconds.
            io.warn(name_ + ": program in a protected sector ignored");
            return;
        }
        busy_ = Busy::Program;
        busyUntil_ = io.now() + kProgramUnits;
        break;
    case Step::Erase1:
        step_ = c == k555 && d == 0xAA ? Step::Erase2 : Step::Read;
        break;
    case Step::Erase2:
        step_ = c == k2aa && d == 0x55 ? Step::Erase3 : Step::Read;
        break;
    case Step::Erase3:
        step_ = Step::Read;
        if (c == k555 && d == 0x10) {
            ++eraseCommands_;
            busy_ = Busy::Erase;
            busyData_ = 0xFF;
            busyUntil_ = io.now() + eraseUnits_;
            eraseAll_ = type_.resetPin && highVoltage(io, kReset);
        }
        break;
    }
}

void Flash29F::finish(ChipIo& io)
{
    if (busy_ == Busy::None || io.now() < busyUntil_)
        return;
    if (busy_ == Busy::Program) {
        memory_[busyAddress_] &= busyData_;
        ++programs_;
    } else {
        for (uint32_t s = 0; s < protected_.size(); ++s)
            if (eraseAll_ || !protected_[s])
                std::fill_n(memory_.begin() + static_cast<long>(s * type_.sectorSize), type_.sectorSize,
                            0xFF);
        ++erases_;
        io.note(name_ + ": chip erased");
    }
    busy_ = Busy::None;
}

void Flash29F::drive(ChipIo& io)
{
    const bool read = pin(io, kCe).level == 0 && pin(io, kOe).level == 0 && pin(io, kWe).level == 1 &&
                      !highVoltage(io, kOe);
    if (!read) {
        reading_ = false;
        io.releaseAll();
        return;
    }
    if (!reading_)
        toggle_ ^= 1; // DQ6 changes with every read the chip sees
    reading_ = true;
    const uint32_t a = address(io);
    uint8_t value = 0;
    if (busy_ != Busy::None) {
        value = static_cast<uint8_t>((~busyData_ & 0x80) | toggle_ << 6);
    } else if (autoselect_ || highVoltage(io, kA9)) {
        if ((a & 3) == 0)
            value = maker_;
        else if ((a & 3) == 1)
            value = device_;
        else if ((a & 3) == 2)
            value = protected_[a / type_.sectorSize] ? 1 : 0;
    } else {
        value = applyStuckCells(a, memory_[a]);
    }
    for (int bit = 0; bit < 8; ++bit)
        drivePin(io, kData[bit], (value >> bit) & 1);
}

void Flash29F::beforeSample(ChipIo& io)
{
    if (!io.powered())
        return;
    finish(io);
    drive(io);
}

void Flash29F::onPins(ChipIo& io)
{
    // The footprint's pin 1 follows A18 of the 32-pin parts when not at 12 V: no reset there.
    const bool reset = type_.resetPin && !type_.wide && pin(io, kReset).level == 0;
    if (!io.powered() || reset) {
        io.releaseAll();
        step_ = Step::Read;
        autoselect_ = false;
        busy_ = Busy::None; // power loss or reset breaks the embedded algorithm off
        strobeSince_ = -1;
        reading_ = false;
        return;
    }
    finish(io);

    // Protection is cleared by a 10 ms CE or WE low pulse under 12 V on A9.
    const bool strobe = highVoltage(io, kA9) && (pin(io, kCe).level == 0 || pin(io, kWe).level == 0);
    if (strobe && strobeSince_ < 0) {
        strobeSince_ = io.now();
    } else if (!strobe && strobeSince_ >= 0) {
        if (io.now() - strobeSince_ >= kUnprotectUnits) {
            std::fill(protected_.begin(), protected_.end(), false);
            io.note(name_ + ": sectors unprotected");
        }
        strobeSince_ = -1;
    }

    // A bus write: the later of CE and WE rises with OE high.
    const bool oeHigh = pin(io, kOe).level == 1;
    const bool weEdge = rose(io, kWe) && pin(io, kCe).level == 0;
    const bool ceEdge = rose(io, kCe) && pin(io, kWe).level == 0;
    if (oeHigh && !highVoltage(io, kA9) && (weEdge || ceEdge)) {
        io.releaseAll();
        writeCycle(io, address(io), dataBus(io));
    }
    drive(io);
}

void addFlash29FOffers(std::vector<ChipOffer>& offers)
{
    for (const Part& p : parts()) {
        std::string what = "29F/49F command-set flash, " + std::to_string(p.type->size / 1024) + " KiB";
        offers.push_back({p.name, p.rows, what,
                          [&p] { return std::make_unique<Flash29F>(p.name, *p.type, p.maker, p.device); }});
    }
}

} // namespace pontvex::boxsim

#include "boxsim/chips/MicrowireEeprom.h"

#include "boxsim/LineModel.h"
#include "boxsim/chips/Registry.h"

#include <algorithm>

namespace pontvex::boxsim {

namespace {

// Opcodes after the start bit; 00 is told apart by the two address bits
// that follow it.
constexpr int kRead = 2, kWrite = 1, kErase = 3, kSpecial = 0;
constexpr int kEwds = 0, kWrAll = 1, kErAll = 2, kEwen = 3;
// Program::op values.
constexpr int kOpWrite = 1, kOpErase = 2, kOpEraseAll = 3, kOpWriteAll = 4;

// 93C46 (5 V part with ORG): 128 x 8 or 64 x 16; write/erase 2 ms, erase all
// 6 ms, write all 15 ms at most; the cycle starts with the clock of the last bit.
const MicrowireType T93C46{"93C46",
                           128,
                           7,
                           6,
                           millisecondsToUnits(2.0),
                           millisecondsToUnits(6.0),
                           millisecondsToUnits(15.0),
                           MicrowireCycleStart::LastClock};
// The larger 5 V parts with ORG have the same cycle times. x8 needs one
// address bit more than x16; 93C56 and 93C66 share 9/8 bits (the top x8 bit
// of the 93C56 is not decoded), 93C57 uses 8/7, 93C86 11/10.
const MicrowireType T93C56{"93C56",
                           256,
                           9,
                           8,
                           millisecondsToUnits(2.0),
                           millisecondsToUnits(6.0),
                           millisecondsToUnits(15.0),
                           MicrowireCycleStart::LastClock};
const MicrowireType T93C57{"93C57",
                           256,
                           8,
                           7,
                           millisecondsToUnits(2.0),
                           millisecondsToUnits(6.0),
                           millisecondsToUnits(15.0),
                           MicrowireCycleStart::LastClock};
const MicrowireType T93C66{"93C66",
                           512,
                           9,
                           8,
                           millisecondsToUnits(2.0),
                           millisecondsToUnits(6.0),
                           millisecondsToUnits(15.0),
                           MicrowireCycleStart::LastClock};
const MicrowireType T93C86{"93C86",
                           2048,
                           11,
                           10,
                           millisecondsToUnits(2.0),
                           millisecondsToUnits(6.0),
                           millisecondsToUnits(15.0),
                           MicrowireCycleStart::LastClock};

} // namespace

MicrowireEeprom::MicrowireEeprom(const MicrowireType& type) : type_(type), memory_(type.bytes, 0xFF) {}

void MicrowireEeprom::setWriteCycle(SimTime units)
{
    const double k = units / type_.writeCycle;
    type_.writeCycle = units;
    type_.eraseAll *= k;
    type_.writeAll *= k;
}

std::vector<MemoryInfo> MicrowireEeprom::memories() const
{
    return {{"array", 8, type_.bytes,
             "the EEPROM array as bytes; in x16 organisation word n is bytes 2n, 2n+1 (low first)"}};
}

std::vector<uint8_t> MicrowireEeprom::readMemory(const std::string& name) const
{
    return findMemory(name) ? memory_ : std::vector<uint8_t>{};
}

bool MicrowireEeprom::writeMemory(const std::string& name, std::span<const uint8_t> bytes)
{
    const auto m = findMemory(name);
    if (!m || !fitsMemory(*m, bytes))
        return false;
    std::copy(bytes.begin(), bytes.end(), memory_.begin());
    return true;
}

uint32_t MicrowireEeprom::readWord(uint32_t address) const
{
    if (!x16_) {
        return applyStuckCells(address, memory_[address]);
    }
    const uint32_t b = 2 * address;
    return applyStuckCells(b, memory_[b]) | (uint32_t{applyStuckCells(b + 1, memory_[b + 1])} << 8);
}

void MicrowireEeprom::writeWord(uint32_t address, uint32_t value)
{
    if (!x16_) {
        memory_[address] = static_cast<uint8_t>(value);
        return;
    }
    memory_[2 * address] = static_cast<uint8_t>(value);
    memory_[2 * address + 1] = static_cast<uint8_t>(value >> 8);
}

void MicrowireEeprom::clear()
{
    phase_ = Phase::Standby;
    bits_ = 0;
    shift_ = 0;
    opcode_ = 0;
    armed_ = false;
}

void MicrowireEeprom::onPins(ChipIo& io)
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
        // Power-up: writes disabled, no instruction under way.
        wasPowered_ = true;
        enabled_ = false;
        statusPending_ = showingStatus_ = false;
        clear();
        io.releaseAll();
        return;
    }
    if (io.rose(kCs)) {
        onCsRise(io);
    } else if (io.fell(kCs)) {
        onCsFall(io);
    }
    if (io.pin(kCs).level == 1 && io.rose(kSk)) {
        onClock(io);
    }
    updateStatus(io);
}

void MicrowireEeprom::beforeSample(ChipIo& io)
{
    if (io.powered()) {
        updateStatus(io);
    }
}

void MicrowireEeprom::updateStatus(ChipIo& io)
{
    if (showingStatus_) {
        io.drive(kDo, busy(io.now()) ? 0 : 1);
    }
}

void MicrowireEeprom::onCsRise(ChipIo& io)
{
    clear();
    if (statusPending_) {
        showingStatus_ = true;
        updateStatus(io);
    }
}

void MicrowireEeprom::onCsFall(ChipIo& io)
{
    io.release(kDo);
    showingStatus_ = false;
    if (armed_) {
        perform(io, armedProgram_);
    }
    clear();
}

void MicrowireEeprom::onClock(ChipIo& io)
{
    if (busy(io.now())) {
        return; // no instruction while the cycle runs
    }
    const uint32_t di = static_cast<uint32_t>(io.pin(kDi).level);
    switch (phase_) {
    case Phase::Standby:
        if (di) {
            phase_ = Phase::Command;
            bits_ = 0;
            shift_ = 0;
            x16_ = io.pin(kOrg).level == 1;
            if (showingStatus_) {
                // A start bit clears the ready state from DO.
                showingStatus_ = statusPending_ = false;
                io.release(kDo);
            }
        }
        return;
    case Phase::Command:
        shift_ = (shift_ << 1) | di;
        if (++bits_ == 2 + addressBits()) {
            decode(io);
        }
        return;
    case Phase::Data:
        shift_ = (shift_ << 1) | di;
        if (++bits_ == dataBits()) {
            execute(io);
        }
        return;
    case Phase::Reading:
        if (outBit_ < 0) {
            // Sequential read: the next word follows without a dummy bit.
            address_ = (address_ + 1) % words();
            out_ = readWord(address_);
            outBit_ = dataBits() - 1;
        }
        io.drive(kDo, (out_ >> outBit_) & 1);
        --outBit_;
        return;
    case Phase::Done:
        return;
    }
}

void MicrowireEeprom::decode(ChipIo& io)
{
    const int n = addressBits();
    opcode_ = static_cast<int>((shift_ >> n) & 3);
    const uint32_t raw = shift_ & ((1u << n) - 1);
    address_ = raw % words();
    shift_ = 0;
    bits_ = 0;
    switch (opcode_) {
    case kRead:
        out_ = readWord(address_);
        outBit_ = dataBits() - 1;
        io.drive(kDo, 0); // the dummy bit
        phase_ = Phase::Reading;
        return;
    case kWrite:
        phase_ = Phase::Data;
        return;
    case kErase:
        execute(io);
        return;
    case kSpecial:
        opcode_ = 4 + static_cast<int>((raw >> (n - 2)) & 3);
        if (opcode_ == 4 + kWrAll) {
            phase_ = Phase::Data;
        } else {
            execute(io);
        }
        return;
    }
}

void MicrowireEeprom::execute(ChipIo& io)
{
    phase_ = Phase::Done;
    Program p;
    switch (opcode_) {
    case 4 + kEwen:
        enabled_ = true;
        return;
    case 4 + kEwds:
        enabled_ = false;
        return;
    case kWrite:
        p = {kOpWrite, address_, shift_};
        break;
    case kErase:
        p = {kOpErase, address_, 0};
        break;
    case 4 + kErAll:
        p = {kOpEraseAll, 0, 0};
        break;
    case 4 + kWrAll:
        p = {kOpWriteAll, 0, shift_};
        break;
    default:
        return;
    }
    if (!enabled_) {
        ++refused_;
        return;
    }
    if (type_.start == MicrowireCycleStart::LastClock) {
        perform(io, p);
    } else {
        armed_ = true;
        armedProgram_ = p;
    }
}

void MicrowireEeprom::perform(ChipIo& io, const Program& p)
{
    const uint32_t ones = x16_ ? 0xFFFF : 0xFF;
    SimTime length = type_.writeCycle;
    switch (p.op) {
    case kOpWrite:
        writeWord(p.address, p.data);
        break;
    case kOpErase:
        writeWord(p.address, ones);
        break;
    case kOpEraseAll:
        std::fill(memory_.begin(), memory_.end(), 0xFF);
        length = type_.eraseAll;
        break;
    case kOpWriteAll:
        for (uint32_t a = 0; a < words(); ++a) {
            writeWord(a, p.data);
        }
        length = type_.writeAll;
        break;
    }
    armed_ = false;
    busyUntil_ = io.now() + length;
    statusPending_ = true;
}

void addMicrowireOffers(std::vector<ChipOffer>& offers)
{
    offers.push_back({"93C46",
                      {{"P93", 1}, {"P93", 4}, {"P93X16", 1}, {"P93X16", 4}},
                      "Microwire EEPROM 128 x 8 (ORG low) or 64 x 16 (ORG high)",
                      [] { return std::make_unique<MicrowireEeprom>(T93C46); }});
    // The list carries each part once per organisation: the x8 rows under one
    // maker's name, the x16 rows under another's; the chips are the same.
    struct Part {
        const char* name;
        const MicrowireType* type;
        std::vector<ChipRow> rows;
        const char* description;
    };
    const std::vector<ChipRow> c46{{"P93", 1}, {"P93", 4}, {"P93X16", 1}, {"P93X16", 4}};
    const std::vector<ChipRow> c56{{"P93", 2}, {"P93", 5}, {"P93X16", 2}, {"P93X16", 5}};
    const std::vector<ChipRow> c66{{"P93", 3}, {"P93", 6}, {"P93X16", 3}, {"P93X16", 6}};
    const std::vector<ChipRow> c86{{"P93", 8}, {"P93", 9}, {"P93X16", 8}, {"P93X16", 9}};
    const Part parts[] = {
        {"93C56", &T93C56, c56, "256 x 8 (ORG low) or 128 x 16"},
        {"93C66", &T93C66, c66, "512 x 8 (ORG low) or 256 x 16"},
        {"93C86", &T93C86, c86, "2048 x 8 (ORG low) or 1024 x 16"},
        {"CAT93C57", &T93C57, {{"P93", 7}, {"P93X16", 7}}, "256 x 8 (ORG low) or 128 x 16"},
        {"CAT93C46", &T93C46, c46, "128 x 8 (ORG low) or 64 x 16"},
        {"CAT93C56", &T93C56, c56, "256 x 8 (ORG low) or 128 x 16"},
        {"CAT93C66", &T93C66, c66, "512 x 8 (ORG low) or 256 x 16"},
        {"CAT93C86", &T93C86, c86, "2048 x 8 (ORG low) or 1024 x 16"},
    };
    for (const Part& p : parts) {
        MicrowireType type = *p.type;
        type.name = p.name;
        offers.push_back({p.name, p.rows, std::string("Microwire EEPROM ") + p.description,
                          [type] { return std::make_unique<MicrowireEeprom>(type); }});
    }
}

} // namespace pontvex::boxsim

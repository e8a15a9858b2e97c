#include "boxsim/chips/PicSerialCore.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace pontvex::boxsim {

namespace {

constexpr uint16_t kWordMask = 0x3FFF;
constexpr uint16_t kConfigSpace = 0x2000;
constexpr uint16_t kDeviceIdAddress = 0x2006;
constexpr uint16_t kConfigAddress = 0x2007;
// One box time unit in microseconds.
constexpr double kUnitMicros = 95.49;

} // namespace

const std::vector<PicCommand>& pic16F8xCommands()
{
    // Bits 5..4 are "don't care" except where the table gives all six.
    static const std::vector<PicCommand> table = {
        {0x00, 0x0F, PicOp::LoadConfig},        {0x02, 0x0F, PicOp::LoadProgram},
        {0x04, 0x0F, PicOp::ReadProgram},       {0x06, 0x0F, PicOp::Increment},
        {0x08, 0x3F, PicOp::BeginEraseProgram}, {0x18, 0x3F, PicOp::BeginProgramOnly},
        {0x03, 0x0F, PicOp::LoadData},          {0x05, 0x0F, PicOp::ReadData},
        {0x09, 0x0F, PicOp::BulkEraseProgram},  {0x0B, 0x0F, PicOp::BulkEraseData},
        {0x01, 0x3F, PicOp::ClearSetup1},       {0x07, 0x3F, PicOp::ClearSetup2},
    };
    return table;
}

const std::vector<PicCommand>& pic16C84Commands()
{
    static const std::vector<PicCommand> table = [] {
        std::vector<PicCommand> t = pic16F8xCommands();
        std::erase_if(t, [](const PicCommand& c) { return c.op == PicOp::BeginProgramOnly; });
        return t;
    }();
    return table;
}

const std::vector<PicCommand>& pic16F87xCommands()
{
    static const std::vector<PicCommand> table = [] {
        std::vector<PicCommand> t = pic16F8xCommands();
        std::erase_if(t, [](const PicCommand& c) {
            return c.op == PicOp::BulkEraseProgram || c.op == PicOp::BulkEraseData;
        });
        return t;
    }();
    return table;
}

PicSerialCore::PicSerialCore(PicDevice device)
    : device_(std::move(device)), code_(device_.programWords, kWordMask), data_(device_.eepromBytes, 0xFF)
{
    id_.fill(kWordMask);
    config_ = device_.configMask;
}

bool PicSerialCore::codeProtected() const
{
    return (config_ & device_.protectMask) != device_.protectMask;
}

bool PicSerialCore::dataProtected() const
{
    return (config_ & device_.dataProtectMask) != device_.dataProtectMask;
}

uint16_t PicSerialCore::configRead() const
{
    return static_cast<uint16_t>((config_ & device_.configMask) | (~device_.configMask & kWordMask));
}

// --- pins --------------------------------------------------------------------

void PicSerialCore::reset(ChipIo& io)
{
    if (programMode_) {
        io.release(device_.pins.data);
    }
    programMode_ = false;
    phase_ = Phase::Command;
    bits_ = 0;
    shift_ = 0;
    armed_ = Armed::None;
}

void PicSerialCore::onPins(ChipIo& io)
{
    const PicPins& p = device_.pins;
    const bool high = io.pin(p.mclr).millivolts() >= device_.minVppMillivolts;
    if (!io.powered()) {
        // Vpp that was there before Vdd is no rise: the supply comes first.
        reset(io);
        mclrHigh_ = high;
        return;
    }
    if (!high) {
        if (programMode_) {
            io.note(device_.name + ": MCLR left the programming level, programming mode ends");
        }
        reset(io);
        mclrHigh_ = false;
        return;
    }
    if (!mclrHigh_) {
        mclrHigh_ = true;
        // Only a rise with the supply there and both lines low enters.
        if (!io.supplied() || io.pin(p.clock).level != 0 || io.pin(p.data).level != 0) {
            io.note(device_.name + ": MCLR raised without supply or with RB6/RB7 not low: not programming");
            return;
        }
        programMode_ = true;
        pc_ = 0;
        latch_ = kWordMask;
        target_ = Target::Program;
        phase_ = Phase::Command;
        bits_ = 0;
        shift_ = 0;
        armed_ = Armed::None;
        io.note(device_.name + ": programming mode, address 0");
        return;
    }
    if (!programMode_) {
        return;
    }
    if (io.rose(p.clock)) {
        clockRose(io);
    } else if (io.fell(p.clock)) {
        clockFell(io);
    }
}

void PicSerialCore::clockRose(ChipIo& io)
{
    if (phase_ != Phase::Read) {
        return;
    }
    // bits_ clocks of this frame are done; this is clock bits_ + 1.
    if (busyFrame_ || bits_ == 0 || bits_ == 15) {
        io.release(device_.pins.data);
    } else {
        io.drive(device_.pins.data, (readOut_ >> (bits_ - 1)) & 1);
    }
}

void PicSerialCore::clockFell(ChipIo& io)
{
    const int bit = io.pin(device_.pins.data).level ? 1 : 0;
    switch (phase_) {
    case Phase::Command:
        shift_ = static_cast<uint16_t>(shift_ | bit << bits_);
        if (++bits_ == 6) {
            const auto command = static_cast<uint8_t>(shift_);
            bits_ = 0;
            shift_ = 0;
            decode(io, command);
        }
        break;
    case Phase::Load:
        shift_ = static_cast<uint16_t>(shift_ | bit << bits_);
        if (++bits_ == 16) {
            if (!busyFrame_) {
                latch_ = static_cast<uint16_t>((shift_ >> 1) & kWordMask);
            }
            phase_ = Phase::Command;
            bits_ = 0;
            shift_ = 0;
        }
        break;
    case Phase::Read:
        if (++bits_ == 16) {
            io.release(device_.pins.data);
            phase_ = Phase::Command;
            bits_ = 0;
        }
        break;
    }
}

// --- commands ----------------------------------------------------------------

void PicSerialCore::decode(ChipIo& io, uint8_t bits)
{
    const auto& table = device_.commands;
    const auto row = std::find_if(table.begin(), table.end(),
                                  [&](const PicCommand& c) { return (bits & c.mask) == c.code; });
    if (row == table.end()) {
        io.note(device_.name + ": unknown command " + std::to_string(bits) + " ignored");
        return;
    }
    const PicOp op = row->op;
    const bool loads = op == PicOp::LoadConfig || op == PicOp::LoadProgram || op == PicOp::LoadData;
    const bool reads = op == PicOp::ReadProgram || op == PicOp::ReadData;
    busyFrame_ = io.now() < busyUntil_;
    if (loads || reads) {
        phase_ = loads ? Phase::Load : Phase::Read;
    }
    if (busyFrame_) {
        ++refused_;
        io.note(device_.name + ": command " + std::to_string(bits) + " during a self-timed cycle, ignored");
        return;
    }
    switch (op) {
    case PicOp::LoadConfig:
        pc_ = kConfigSpace;
        target_ = Target::Program;
        break;
    case PicOp::LoadProgram:
        target_ = Target::Program;
        break;
    case PicOp::LoadData:
        target_ = Target::Data;
        break;
    case PicOp::ReadProgram:
        readOut_ = readWord();
        armed_ = Armed::None;
        break;
    case PicOp::ReadData:
        readOut_ = data_.empty() ? kWordMask : dataProtected() ? 0 : data_[pc_ % data_.size()];
        armed_ = Armed::None;
        break;
    case PicOp::Increment:
        // The counter wraps inside the space it is in; only a reset leaves the
        // configuration space.
        pc_ = pc_ >= kConfigSpace ? static_cast<uint16_t>(kConfigSpace | ((pc_ + 1) & 0x1FFF))
                                  : static_cast<uint16_t>((pc_ + 1) & 0x1FFF);
        armed_ = Armed::None;
        break;
    case PicOp::BeginEraseProgram:
        begin(io, true);
        break;
    case PicOp::BeginProgramOnly:
        begin(io, false);
        break;
    case PicOp::EndProgramming:
        break;
    case PicOp::BulkEraseProgram:
        armed_ = Armed::BulkProgram;
        break;
    case PicOp::BulkEraseData:
        armed_ = Armed::BulkData;
        break;
    case PicOp::ClearSetup1:
        armed_ = Armed::ClearHalf;
        break;
    case PicOp::ClearSetup2:
        // The clearing pair only counts at the configuration word.
        armed_ = armed_ == Armed::ClearHalf && pc_ == kConfigAddress ? Armed::Clear : Armed::None;
        break;
    }
}

uint16_t PicSerialCore::readWord() const
{
    if (pc_ < kConfigSpace) {
        return codeProtected() || code_.empty() ? 0x0000 : code_[pc_ % code_.size()];
    }
    if (pc_ < kConfigSpace + 4) {
        return id_[pc_ - kConfigSpace];
    }
    if (pc_ == kDeviceIdAddress && device_.deviceId) {
        return device_.deviceId;
    }
    if (pc_ == kConfigAddress) {
        return configRead();
    }
    return kWordMask;
}

void PicSerialCore::startCycle(ChipIo& io, int micros)
{
    ++cycles_;
    busyUntil_ = io.now() + std::ceil(micros / kUnitMicros);
}

void PicSerialCore::begin(ChipIo& io, bool erase)
{
    const Armed armed = std::exchange(armed_, Armed::None);
    if (erase && armed == Armed::Clear) {
        std::fill(code_.begin(), code_.end(), kWordMask);
        std::fill(data_.begin(), data_.end(), 0xFF);
        id_.fill(kWordMask);
        config_ = device_.configMask;
        io.note(device_.name + ": protection cleared, every memory erased");
        startCycle(io, device_.eraseMicros);
        return;
    }
    if (erase && armed == Armed::BulkProgram) {
        std::fill(code_.begin(), code_.end(), kWordMask);
        startCycle(io, device_.eraseMicros);
        return;
    }
    if (erase && armed == Armed::BulkData) {
        std::fill(data_.begin(), data_.end(), 0xFF);
        startCycle(io, device_.eraseMicros);
        return;
    }
    writeCell(io, erase);
}

void PicSerialCore::writeCell(ChipIo& io, bool erase)
{
    // Data EEPROM cells always erase before they write.
    if (target_ == Target::Data && pc_ < kConfigSpace) {
        if (dataProtected()) {
            io.note(device_.name + ": data EEPROM is code-protected, write ignored");
        } else if (!data_.empty()) {
            data_[pc_ % data_.size()] = static_cast<uint8_t>(latch_);
        }
        startCycle(io, device_.programMicros);
        return;
    }
    const bool andIn = !erase || device_.otpCells;
    auto put = [&](uint16_t& cell, uint16_t mask) {
        const uint16_t value = static_cast<uint16_t>(latch_ & mask);
        cell = andIn ? static_cast<uint16_t>(cell & value) : value;
    };
    if (pc_ < kConfigSpace) {
        if (codeProtected()) {
            io.note(device_.name + ": program memory is code-protected, write ignored");
        } else if (stuck_ && *stuck_ == pc_) {
            io.note(device_.name + ": the cell at " + std::to_string(pc_) + " does not program");
        } else if (!code_.empty()) {
            put(code_[pc_ % code_.size()], kWordMask);
        }
    } else if (pc_ < kConfigSpace + 4) {
        // ID locations stay writable on a protected part.
        put(id_[pc_ - kConfigSpace], kWordMask);
    } else if (pc_ == kConfigAddress) {
        // A protected part's configuration word only loses ones: the
        // clearing sequence is the way back.
        if (codeProtected()) {
            config_ = static_cast<uint16_t>(config_ & latch_ & device_.configMask);
        } else {
            put(config_, device_.configMask);
        }
    }
    startCycle(io, device_.programMicros);
}

// --- memories ------------------------------------------------------------------

std::vector<MemoryInfo> PicSerialCore::memories() const
{
    std::vector<MemoryInfo> all{{"code", 14, device_.programWords, "program memory"}};
    if (device_.eepromBytes) {
        all.push_back({"data", 8, device_.eepromBytes, "data EEPROM"});
    }
    all.push_back({"config", 14, 1, "configuration word (0x2007)"});
    all.push_back({"id", 14, 4, "ID locations (0x2000-0x2003)"});
    return all;
}

namespace {
template <class Word> std::vector<uint8_t> wordsToBytes(const Word* words, size_t n, int bytesPerWord)
{
    std::vector<uint8_t> out;
    for (size_t i = 0; i < n; ++i) {
        for (int b = 0; b < bytesPerWord; ++b) {
            out.push_back(static_cast<uint8_t>(words[i] >> (8 * b)));
        }
    }
    return out;
}
uint16_t wordAt(std::span<const uint8_t> bytes, size_t i)
{
    return static_cast<uint16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
}
} // namespace

std::vector<uint8_t> PicSerialCore::readMemory(const std::string& name) const
{
    const auto m = findMemory(name);
    if (!m) {
        return {};
    }
    if (m->name == "code") {
        return wordsToBytes(code_.data(), code_.size(), 2);
    }
    if (m->name == "data") {
        return data_;
    }
    if (m->name == "config") {
        const uint16_t c = configRead();
        return wordsToBytes(&c, 1, 2);
    }
    return wordsToBytes(id_.data(), id_.size(), 2);
}

bool PicSerialCore::writeMemory(const std::string& name, std::span<const uint8_t> bytes)
{
    const auto m = findMemory(name);
    if (!m || !fitsMemory(*m, bytes)) {
        return false;
    }
    if (m->name == "data") {
        std::copy(bytes.begin(), bytes.end(), data_.begin());
        return true;
    }
    const size_t n = bytes.size() / 2;
    for (size_t i = 0; i < n; ++i) {
        const uint16_t w = wordAt(bytes, i);
        if (m->name == "code") {
            code_[i] = w;
        } else if (m->name == "config") {
            config_ = static_cast<uint16_t>(w & device_.configMask);
        } else {
            id_[i] = w;
        }
    }
    return true;
}

} // namespace pontvex::boxsim

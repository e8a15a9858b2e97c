#include "boxsim/chips/Mcu51Chip.h"

#include "boxsim/chips/Registry.h"

#include <memory>

namespace pontvex::boxsim {

namespace {

constexpr uint32_t K = 1024;
constexpr int k12V = 4, k12V5 = 5, k5V = 0;

// Data port P0: P0.n on pin 39 - n.
constexpr int kP0[8] = {39, 38, 37, 36, 35, 34, 33, 32};
// 20-pin data port P1: P1.n on chip pin 12 + n.
constexpr int kP1[8] = {12, 13, 14, 15, 16, 17, 18, 19};

// Mode pins packed as bits: 3 = P2.6, 2 = P2.7, 1 = P3.6, 0 = P3.7 (1 = high).
constexpr int mode4(int p26, int p27, int p36, int p37)
{
    return p26 << 3 | p27 << 2 | p36 << 1 | p37;
}
constexpr int kReadCode = mode4(0, 0, 1, 1);
constexpr int kReadSignature = mode4(0, 0, 0, 0);
constexpr int kProgram = mode4(0, 1, 1, 1);
constexpr int kErase = mode4(1, 0, 0, 0);
constexpr int kLock1 = mode4(1, 1, 1, 1);
constexpr int kLock2 = mode4(1, 1, 0, 0);
constexpr int kLock3 = mode4(1, 0, 1, 0);
constexpr int kReadLock = mode4(1, 1, 1, 0);

// The data sheets ask for a 10 ms erase pulse on the PROG-timed parts; the
// window gives 200 byte times. Half of the data sheet's is still accepted.
constexpr SimTime kMinErasePulse = 50;

const std::vector<int> kC5xHigh{26, 10};
const std::vector<int> kS5xHigh{26, 14};
const std::vector<int> kSstHigh{26, 10, 15};
constexpr std::array<uint32_t, 3> kSig30{0x30, 0x31, 0x32};
constexpr std::array<uint32_t, 3> kSigPages{0x000, 0x100, 0x200};

// Signatures as the makers publish them where known; the others carry the
// maker byte and the part's number so identification tells them apart.
const Mcu51Type kTypes[] = {
    {"AT89C51", 4 * K, Mcu51Kind::C5x, {0x1E, 0x51, 0xFF}, kSig30, kC5xHigh, k12V, false, "P89C51", 1},
    {"AT89LV51", 4 * K, Mcu51Kind::C5x, {0x1E, 0x61, 0xFF}, kSig30, kC5xHigh, k12V, false, "P89C51", 2},
    {"AT89C52", 8 * K, Mcu51Kind::C5x, {0x1E, 0x52, 0xFF}, kSig30, kC5xHigh, k12V, false, "P89C51", 3},
    {"AT89LV52", 8 * K, Mcu51Kind::C5x, {0x1E, 0x62, 0xFF}, kSig30, kC5xHigh, k12V, false, "P89C51", 4},
    {"AT89C55", 20 * K, Mcu51Kind::C5x, {0x1E, 0x55, 0xFF}, kSig30, kC5xHigh, k12V, false, "P89C51", 5},
    {"AT80F51", 4 * K, Mcu51Kind::C5x, {0x1E, 0x51, 0xFF}, kSig30, kC5xHigh, k12V, false, "P89C51", 6},
    {"AT80F52", 8 * K, Mcu51Kind::C5x, {0x1E, 0x52, 0xFF}, kSig30, kC5xHigh, k12V, false, "P89C51", 7},
    {"AT87F51", 4 * K, Mcu51Kind::C5x, {0x1E, 0x51, 0xFF}, kSig30, kC5xHigh, k12V, true, "P89C51", 8},
    {"AT87F52", 8 * K, Mcu51Kind::C5x, {0x1E, 0x52, 0xFF}, kSig30, kC5xHigh, k12V, true, "P89C51", 9},
    {"AT89S51", 4 * K, Mcu51Kind::S5x, {0x1E, 0x51, 0x06}, kSigPages, kS5xHigh, k12V, false, "AT89S5X", 1},
    {"AT89S52", 8 * K, Mcu51Kind::S5x, {0x1E, 0x52, 0x06}, kSigPages, kS5xHigh, k12V, false, "AT89S5X", 2},
    {"AT89S53", 12 * K, Mcu51Kind::S5x, {0x1E, 0x53, 0xFF}, kSig30, kS5xHigh, k12V, false, "AT89S5X", 3},
    {"AT89S8252", 8 * K, Mcu51Kind::X8252, {0x1E, 0x72, 0x06}, kSig30, kC5xHigh, k12V, false, "AT89X8252", 1},
    {"AT89LS8252",
     8 * K,
     Mcu51Kind::X8252,
     {0x1E, 0x72, 0x06},
     kSig30,
     kC5xHigh,
     k12V,
     false,
     "AT89X8252",
     2},
    {"AT89LS53", 12 * K, Mcu51Kind::X8252, {0x1E, 0x53, 0xFF}, kSig30, kC5xHigh, k12V, false, "AT89X8252", 3},
    {"AT89C51WD", 4 * K, Mcu51Kind::Wd, {0x1E, 0x51, 0xFF}, kSig30, kC5xHigh, k12V, false, "P89C5WD", 1},
    {"AT89LV51WD", 4 * K, Mcu51Kind::Wd, {0x1E, 0x61, 0xFF}, kSig30, kC5xHigh, k12V, false, "P89C5WD", 2},
    {"AT89C52WD", 8 * K, Mcu51Kind::Wd, {0x1E, 0x52, 0xFF}, kSig30, kC5xHigh, k12V, false, "P89C5WD", 3},
    {"AT89LV52WD", 8 * K, Mcu51Kind::Wd, {0x1E, 0x62, 0xFF}, kSig30, kC5xHigh, k12V, false, "P89C5WD", 4},
    {"AT89C55WD", 20 * K, Mcu51Kind::Wd, {0x1E, 0x55, 0xFF}, kSig30, kC5xHigh, k12V, false, "P89C5WD", 5},
    {"AT87F55WD", 20 * K, Mcu51Kind::Wd, {0x1E, 0x55, 0xFF}, kSig30, kC5xHigh, k12V, true, "P89C5WD", 6},
    {"AT87F51RA", 8 * K, Mcu51Kind::Wd, {0x1E, 0x51, 0xFF}, kSig30, kC5xHigh, k12V, true, "P89C5WD", 7},
    {"AT87F51RB", 16 * K, Mcu51Kind::Wd, {0x1E, 0x51, 0xFF}, kSig30, kC5xHigh, k12V, true, "P89C5WD", 8},
    {"AT87F51RC", 32 * K, Mcu51Kind::Wd, {0x1E, 0x51, 0xFF}, kSig30, kC5xHigh, k12V, true, "P89C5WD", 9},
    {"SST89C54", 16 * K, Mcu51Kind::Sst, {0xBF, 0xE0, 0xFF}, kSig30, kSstHigh, k5V, false, "SST895x", 1},
    {"SST89C58", 32 * K, Mcu51Kind::Sst, {0xBF, 0xE1, 0xFF}, kSig30, kSstHigh, k5V, false, "SST895x", 2},
    {"SST89E554", 32 * K, Mcu51Kind::Sst, {0xBF, 0x92, 0xFF}, kSig30, kSstHigh, k5V, false, "SST895x", 3},
    {"SST89E564", 64 * K, Mcu51Kind::Sst, {0xBF, 0x92, 0xFF}, kSig30, kSstHigh, k5V, false, "SST895x", 4},
};

struct Small {
    const char* name;
    uint32_t size;
    std::array<uint8_t, 3> signature;
    bool otp97;
    const char* key;
    int variant;
};
const Small kSmall[] = {
    {"AT89C1051", 1 * K, {0x1E, 0x11, 0xFF}, false, "P2051", 1},
    {"AT89C2051", 2 * K, {0x1E, 0x21, 0xFF}, false, "P2051", 2},
    {"AT89C4051", 4 * K, {0x1E, 0x41, 0xFF}, false, "P2051", 3},
    {"97C1051", 1 * K, {0xFF, 0xFF, 0xFF}, true, "P97C2051", 1},
    {"97C2051", 2 * K, {0xFF, 0xFF, 0xFF}, true, "P97C2051", 2},
};

} // namespace

// --- 40-pin parts ------------------------------------------------------------

Mcu51Chip::Mcu51Chip(const Mcu51Type& type) : type_(type), memory_(type.size, 0xFF) {}

std::vector<MemoryInfo> Mcu51Chip::memories() const
{
    return {{"code", 8, static_cast<uint32_t>(memory_.size()), "program memory"},
            {"lock", 3, 1, "lock bits 1-3 (bit 0 = lock bit 1, 1 = programmed)"}};
}

std::vector<uint8_t> Mcu51Chip::readMemory(const std::string& name) const
{
    const auto m = findMemory(name);
    if (!m)
        return {};
    return m->name == "code" ? memory_ : std::vector<uint8_t>{locks_};
}

bool Mcu51Chip::writeMemory(const std::string& name, std::span<const uint8_t> bytes)
{
    const auto m = findMemory(name);
    if (!m || !fitsMemory(*m, bytes))
        return false;
    if (m->name == "code")
        std::copy(bytes.begin(), bytes.end(), memory_.begin());
    else if (!bytes.empty())
        locks_ = bytes[0];
    return true;
}

uint32_t Mcu51Chip::address(ChipIo& io) const
{
    uint32_t a = 0;
    for (int bit = 0; bit < 8; ++bit)
        a |= static_cast<uint32_t>(io.pin(1 + bit).level) << bit;
    for (int bit = 0; bit < 5; ++bit)
        a |= static_cast<uint32_t>(io.pin(21 + bit).level) << (8 + bit);
    for (size_t i = 0; i < type_.highAddressPins.size(); ++i)
        a |= static_cast<uint32_t>(io.pin(type_.highAddressPins[i]).level) << (13 + i);
    // The part decodes only the address lines its size needs.
    uint32_t mask = 1;
    while (mask < type_.size)
        mask <<= 1;
    return a & (mask - 1);
}

bool Mcu51Chip::eaAtVpp(ChipIo& io) const
{
    const PinLevel ea = io.pin(31);
    return ea.source == PinSource::Vpp && ea.vppCode == type_.programCode;
}

bool Mcu51Chip::canProgram(ChipIo& io) const
{
    // The parallel programming tables of these parts are given for Vcc 5 V on
    // its supply pin, GND at 0 V and an oscillator of 3-24 MHz on XTAL1: the
    // flash write logic runs off the chip's clock. A powered chip with a
    // stopped clock takes no PROG pulse.
    return io.supplied() && io.pin(20).source == PinSource::Ground && io.pin(19).source == PinSource::Clock;
}

static int modeOf(ChipIo& io)
{
    return mode4(io.pin(27).level, io.pin(28).level, io.pin(16).level, io.pin(17).level);
}

void Mcu51Chip::strobe(ChipIo& io, SimTime width)
{
    const int mode = modeOf(io);
    const uint32_t a = address(io);
    uint8_t data = 0;
    for (int n = 0; n < 8; ++n)
        data |= static_cast<uint8_t>(io.pin(kP0[n]).level << n);
    if (mode == kProgram) {
        if (a >= type_.size)
            return;
        // Lock bit 1 stops further programming.
        if (locks_ & 1) {
            io.note("program refused: lock bit 1");
            return;
        }
        memory_[a] &= data;
        ++programmed_;
        return;
    }
    if (mode == kErase) {
        if (type_.otp) {
            io.note("erase pulse on a one-time part: nothing erased");
            return;
        }
        if (type_.kind == Mcu51Kind::C5x && width < kMinErasePulse) {
            io.warn("erase pulse too short: " + std::to_string(width) + " units");
            return;
        }
        std::fill(memory_.begin(), memory_.end(), 0xFF);
        locks_ = 0;
        ++erases_;
        return;
    }
    if (type_.kind == Mcu51Kind::X8252) {
        if (mode == kLock3)
            locks_ |= static_cast<uint8_t>(((~data) >> 7 & 1) | (((~data) >> 6 & 1) << 1) |
                                           (((~data) >> 5 & 1) << 2));
        return;
    }
    if (mode == kLock1)
        locks_ |= 1;
    else if (mode == kLock2)
        locks_ |= 2;
    else if (mode == kLock3)
        locks_ |= 4;
}

void Mcu51Chip::output(ChipIo& io)
{
    const bool active = io.pin(9).level == 1 && io.pin(29).level == 0 && io.pin(30).level == 1;
    int value = -1;
    if (active) {
        const int mode = modeOf(io);
        const uint32_t a = address(io);
        if (mode == kReadCode) {
            value = (locks_ & 2) || a >= type_.size ? 0xFF : applyStuckCells(a, memory_[a]);
        } else if (mode == kReadSignature) {
            value = 0xFF;
            for (size_t i = 0; i < 3; ++i)
                if (a == type_.signatureAddress[i])
                    value = type_.signature[i];
        } else if (mode == kReadLock && type_.kind == Mcu51Kind::Wd) {
            value = (locks_ & 7) << 2;
        }
    }
    for (int n = 0; n < 8; ++n) {
        if (value < 0)
            io.release(kP0[n]);
        else
            io.drive(kP0[n], (value >> n) & 1);
    }
}

void Mcu51Chip::onPins(ChipIo& io)
{
    if (!io.powered()) {
        io.releaseAll();
        progArmed_ = false;
        return;
    }
    // The oscillator inverter: what the presence test looks for.
    io.drive(18, io.pin(19).level ? 0 : 1);
    const bool mode = io.pin(9).level == 1 && io.pin(29).level == 0;
    if (io.fell(30)) {
        progFell_ = io.now();
        progArmed_ = mode && eaAtVpp(io) && canProgram(io);
    } else if (io.rose(30)) {
        if (progArmed_ && mode && eaAtVpp(io) && canProgram(io))
            strobe(io, io.now() - progFell_);
        else if (mode && eaAtVpp(io))
            io.note("PROG pulse without supply, ground or clock: ignored");
        progArmed_ = false;
    }
    output(io);
}

// --- 20-pin parts ------------------------------------------------------------

Mcu2051Chip::Mcu2051Chip(std::string name, uint32_t size, std::array<uint8_t, 3> signature, bool otp97)
    : name_(std::move(name)), size_(size), signature_(signature), otp97_(otp97), memory_(size, 0xFF)
{
}

std::vector<MemoryInfo> Mcu2051Chip::memories() const
{
    return {{"code", 8, static_cast<uint32_t>(memory_.size()), "program memory"},
            {"lock", 3, 1, "lock bits 1-3 (bit 0 = lock bit 1, 1 = programmed)"}};
}

std::vector<uint8_t> Mcu2051Chip::readMemory(const std::string& name) const
{
    const auto m = findMemory(name);
    if (!m)
        return {};
    return m->name == "code" ? memory_ : std::vector<uint8_t>{locks_};
}

bool Mcu2051Chip::writeMemory(const std::string& name, std::span<const uint8_t> bytes)
{
    const auto m = findMemory(name);
    if (!m || !fitsMemory(*m, bytes))
        return false;
    if (m->name == "code")
        std::copy(bytes.begin(), bytes.end(), memory_.begin());
    else if (!bytes.empty())
        locks_ = bytes[0];
    return true;
}

int Mcu2051Chip::mode(ChipIo& io) const
{
    // Same packing as the 40-pin table: P3.3, P3.4, P3.5, P3.7.
    return mode4(io.pin(7).level, io.pin(8).level, io.pin(9).level, io.pin(11).level);
}

bool Mcu2051Chip::rstAt(ChipIo& io, int code) const
{
    const PinLevel rst = io.pin(1);
    return rst.source == PinSource::Vpp && rst.vppCode == code;
}

void Mcu2051Chip::output(ChipIo& io)
{
    int value = -1;
    if (io.pin(1).level == 1 && io.pin(6).level == 1) {
        const int m = mode(io);
        if (m == kReadCode && counter_ < size_)
            value = (locks_ & 2) ? 0xFF : applyStuckCells(counter_, memory_[counter_]);
        else if (m == kReadCode)
            value = 0xFF;
        else if (m == kReadSignature)
            value = counter_ < (otp97_ ? 2u : 3u) ? signature_[counter_] : 0xFF;
    }
    for (int n = 0; n < 8; ++n) {
        if (value < 0)
            io.release(kP1[n]);
        else
            io.drive(kP1[n], (value >> n) & 1);
    }
}

bool Mcu2051Chip::canProgram(ChipIo& io) const
{
    // Vcc from its supply switch and GND on ground, RST at the programming
    // voltage. The flash parts take XTAL1 as their address clock and need no
    // oscillator; the one-time parts program with their oscillator running.
    if (!io.supplied() || io.pin(10).source != PinSource::Ground)
        return false;
    if (!rstAt(io, otp97_ ? k12V5 : k12V))
        return false;
    return !otp97_ || io.pin(5).source == PinSource::Clock;
}

void Mcu2051Chip::onPins(ChipIo& io)
{
    if (!io.powered()) {
        io.releaseAll();
        progArmed_ = false;
        return;
    }
    io.drive(4, io.pin(5).level ? 0 : 1);
    if (io.rose(1)) {
        counter_ = 0;
        skipNextStep_ = true;
        pulses_ = 0;
    } else if (io.pin(1).level == 1) {
        if (!otp97_ && io.rose(5)) {
            ++counter_;
        } else if (otp97_ && io.pin(2).level != io.previous(2).level) {
            // The step line's first edge after a reset belongs to the reset.
            if (skipNextStep_)
                skipNextStep_ = false;
            else
                ++counter_;
        }
    }
    if (io.fell(6)) {
        progFell_ = io.now();
        progArmed_ = canProgram(io);
    } else if (io.rose(6)) {
        const SimTime width = io.now() - progFell_;
        if (progArmed_ && canProgram(io))
            otp97_ ? otpPulse(io, width) : flashPulse(io, width);
        else if (io.pin(1).source == PinSource::Vpp)
            io.note("PROG pulse without supply, ground, programming voltage or clock: ignored");
        progArmed_ = false;
    }
    output(io);
}

void Mcu2051Chip::flashPulse(ChipIo& io, SimTime width)
{
    const int m = mode(io);
    if (m == kProgram && !(locks_ & 1) && counter_ < size_) {
        memory_[counter_] &= samplePort(io);
    } else if (m == kErase) {
        if (width >= kMinErasePulse) {
            std::fill(memory_.begin(), memory_.end(), 0xFF);
            locks_ = 0;
            ++erases_;
        } else {
            io.warn("erase pulse too short: " + std::to_string(width) + " units");
        }
    } else if (m == kLock1) {
        locks_ |= 1;
    } else if (m == kLock2) {
        locks_ |= 2;
    }
}

// The EPROM cells take a train of short pulses: a byte or a lock bit holds
// once kOtpPulses pulses in one mode, at one address, with one data byte,
// have reached it. Each pulse is 100 us nominal (one byte time is 95 us);
// half of that or less does not count.
void Mcu2051Chip::otpPulse(ChipIo& io, SimTime width)
{
    const int m = mode(io);
    const uint8_t data = samplePort(io);
    const uint64_t key = static_cast<uint64_t>(m) << 40 | static_cast<uint64_t>(data) << 32 | counter_;
    if (key != pulseKey_) {
        pulseKey_ = key;
        pulses_ = 0;
    }
    if (width < 0.5) {
        io.warn("PROG pulse too short: " + std::to_string(width) + " units");
        return;
    }
    if (++pulses_ != kOtpPulses)
        return;
    if (m == kProgram && !(locks_ & 1) && counter_ < size_) {
        memory_[counter_] &= data;
        ++programmed_;
    } else if (m == kLock1) {
        locks_ |= 1;
    } else if (m == kLock2) {
        locks_ |= 2;
    }
}

uint8_t Mcu2051Chip::samplePort(ChipIo& io) const
{
    uint8_t data = 0;
    for (int n = 0; n < 8; ++n)
        data |= static_cast<uint8_t>(io.pin(kP1[n]).level << n);
    return data;
}

// --- registry ------------------------------------------------------------------

void addMcu51Offers(std::vector<ChipOffer>& offers)
{
    for (const Mcu51Type& t : kTypes)
        offers.push_back(
            {t.name,
             {{t.key, t.variant}},
             "8051, " + std::to_string(t.size / 1024) + " KiB " + (t.otp ? "OTP" : "flash") + ", 40 pins",
             [&t] { return std::make_unique<Mcu51Chip>(t); }});
    for (const Small& s : kSmall)
        offers.push_back(
            {s.name,
             {{s.key, s.variant}},
             "8051, " + std::to_string(s.size / 1024) + " KiB " + (s.otp97 ? "OTP" : "flash") + ", 20 pins",
             [&s] { return std::make_unique<Mcu2051Chip>(s.name, s.size, s.signature, s.otp97); }});
}

} // namespace pontvex::boxsim

#include "boxsim/chips/Flash28F.h"

#include "boxsim/chips/Registry.h"

#include <algorithm>
#include <cstdio>

namespace pontvex::boxsim {

namespace {

constexpr uint32_t K = 1024;

// 32-pin pinout, address bit -> chip pin. The 512 K part has no pin left for
// A18 there (pin 1 is Vpp): it sits on a 40-pin footprint whose pins 5..36
// are the 32-pin ones, with A18 on footprint pin 3 (32-pin "pin -1" here).
constexpr int kAddress[] = {12, 11, 10, 9, 8, 7, 6, 5, 27, 26, 23, 25, 4, 28, 29, 3, 2, 30, -1};
constexpr int kData[] = {13, 14, 15, 17, 18, 19, 20, 21};
constexpr int kVpp = 1, kCe = 22, kOe = 24, kWe = 31;

// Status kind: byte program 9 us, block erase about 0.3 s (sheets: 0.3..2.4 s
// for the main blocks); modelled 3000 byte times. Bulk kind: a 10 us program
// and a 10 ms erase pulse end with the next bus write.
constexpr SimTime kStatusProgramUnits = 0.2;
constexpr SimTime kBlockEraseUnits = 3000;
constexpr SimTime kBulkProgramUnits = 0.1;
constexpr SimTime kBulkEraseUnits = 100;

struct Part {
    const char* name;
    uint32_t size;
    bool status;
    std::vector<Flash28F::Block> blocks;
    int boot;
    uint8_t maker, device;
    ChipRow row;
};

const std::vector<Part>& parts()
{
    static const std::vector<Part> all = {
        {"28F001BX-T",
         128 * K,
         true,
         {{0, 112 * K}, {0x1C000, 4 * K}, {0x1D000, 4 * K}, {0x1E000, 8 * K}},
         3,
         0x89,
         0x94,
         {"PI28F001", 1}},
        {"28F001BX-B",
         128 * K,
         true,
         {{0, 8 * K}, {0x2000, 4 * K}, {0x3000, 4 * K}, {0x4000, 112 * K}},
         0,
         0x89,
         0x95,
         {"PI28F001", 2}},
        {"28F002BC-T",
         256 * K,
         true,
         {{0, 128 * K}, {0x20000, 96 * K}, {0x38000, 8 * K}, {0x3A000, 8 * K}, {0x3C000, 16 * K}},
         -1,
         0x89,
         0x7C,
         {"PI28F001", 3}},
        {"28F002BC-B",
         256 * K,
         true,
         {{0, 16 * K}, {0x4000, 8 * K}, {0x6000, 8 * K}, {0x8000, 96 * K}, {0x20000, 128 * K}},
         -1,
         0x89,
         0x7D,
         {"PI28F001", 4}},
        {"28F256A", 32 * K, false, {}, -1, 0x89, 0xB9, {"PI28F", 1}},
        {"28F256", 32 * K, false, {}, -1, 0x89, 0xB9, {"PI28F", 2}},
        {"28F512", 64 * K, false, {}, -1, 0x89, 0xB8, {"PI28F", 3}},
        {"28F010", 128 * K, false, {}, -1, 0x89, 0xB4, {"PI28F", 4}},
        {"28F020", 256 * K, false, {}, -1, 0x89, 0xBD, {"PI28F", 5}},
        {"28F040", 512 * K, false, {}, -1, 0, 0, {"PI28F", 6}},
    };
    return all;
}

} // namespace

Flash28F::Flash28F(std::string name, uint32_t size, bool statusKind, std::vector<Block> blocks, int bootBlock,
                   uint8_t maker, uint8_t device)
    : name_(std::move(name)), status_(statusKind), blocks_(std::move(blocks)), boot_(bootBlock),
      maker_(maker), device_(device), memory_(size, 0xFF),
      eraseUnits_(statusKind ? kBlockEraseUnits : kBulkEraseUnits), programUnits_(kStatusProgramUnits)
{
}

int Flash28F::maxMillivolts(int footprintPin) const
{
    const int chipPin = footprintPin - shift();
    if (chipPin == kVpp || chipPin == kOe || chipPin == 26)
        return 13000;
    return 7000;
}

std::vector<MemoryInfo> Flash28F::memories() const
{
    return {{"array", 8, static_cast<uint32_t>(memory_.size()), "the flash array"}};
}

std::vector<uint8_t> Flash28F::readMemory(const std::string& name) const
{
    return findMemory(name) ? memory_ : std::vector<uint8_t>{};
}

bool Flash28F::writeMemory(const std::string& name, std::span<const uint8_t> bytes)
{
    const auto m = findMemory(name);
    if (!m || !fitsMemory(*m, bytes))
        return false;
    std::copy(bytes.begin(), bytes.end(), memory_.begin());
    return true;
}

uint32_t Flash28F::address(ChipIo& io) const
{
    uint32_t a = 0;
    for (int bit = 0; (1u << bit) < memory_.size(); ++bit)
        a |= static_cast<uint32_t>(pin(io, kAddress[bit]).level) << bit;
    return a;
}

uint8_t Flash28F::dataBus(ChipIo& io) const
{
    uint8_t d = 0;
    for (int bit = 0; bit < 8; ++bit)
        d |= static_cast<uint8_t>(pin(io, kData[bit]).level << bit);
    return d;
}

bool Flash28F::vppHigh(ChipIo& io) const
{
    const PinLevel v = pin(io, kVpp);
    return v.source == PinSource::Vpp && v.vppCode != 0;
}

bool Flash28F::oeHigh12(ChipIo& io) const
{
    const PinLevel v = pin(io, kOe);
    return v.source == PinSource::Vpp && v.vppCode != 0;
}

int Flash28F::blockOf(uint32_t a) const
{
    for (size_t i = 0; i < blocks_.size(); ++i)
        if (a >= blocks_[i].start && a < blocks_[i].start + blocks_[i].size)
            return static_cast<int>(i);
    return -1;
}

void Flash28F::write(ChipIo& io, uint32_t a, uint8_t d)
{
    if (status_)
        writeStatusKind(io, a, d);
    else
        writeBulkKind(io, a, d);
}

void Flash28F::writeStatusKind(ChipIo& io, uint32_t a, uint8_t d)
{
    if (busy_)
        return; // the state machine takes no command while it runs
    const bool locked = boot_ >= 0 && blockOf(a) == boot_ && !oeHigh12(io);
    switch (mode_) {
    case Mode::EraseSetup:
        mode_ = Mode::Status;
        if (d != 0xD0) {
            sr_ |= 0x30; // command sequence error
            return;
        }
        if (!vppHigh(io)) {
            sr_ |= 0x28;
            return;
        }
        if (locked) {
            sr_ |= 0x20;
            return;
        }
        begin(io, true, blocks_[static_cast<size_t>(blockOf(a))].start, 0xFF, eraseUnits_);
        if (boot_ >= 0 && blockOf(a) == boot_)
            bootErases_.push_back(opAddress_);
        return;
    case Mode::ProgramSetup:
        mode_ = Mode::Status;
        if (!vppHigh(io)) {
            sr_ |= 0x18;
            return;
        }
        if (locked) {
            sr_ |= 0x10;
            return;
        }
        begin(io, false, a, d, programUnits_);
        if (oeHigh12(io))
            ++(boot_ >= 0 && blockOf(a) == boot_ ? oe12InBoot_ : oe12Outside_);
        return;
    default:
        break;
    }
    switch (d) {
    case 0xFF:
        mode_ = Mode::Array;
        break;
    case 0x90:
        mode_ = Mode::Id;
        break;
    case 0x70:
        mode_ = Mode::Status;
        break;
    case 0x50:
        sr_ = 0x80;
        break;
    case 0x20:
        mode_ = Mode::EraseSetup;
        break;
    case 0x40:
    case 0x10:
        mode_ = Mode::ProgramSetup;
        break;
    default:
        sr_ |= 0x30;
        mode_ = Mode::Status;
        break;
    }
}

// A bulk part's program or erase runs until the next bus write.
void Flash28F::endBulkOperation(ChipIo& io)
{
    if (mode_ != Mode::Programming && mode_ != Mode::Erasing)
        return;
    const SimTime held = io.now() - since_;
    const bool erase = mode_ == Mode::Erasing;
    if (held >= (erase ? eraseUnits_ : kBulkProgramUnits))
        complete(erase, 0, static_cast<uint32_t>(memory_.size()));
    mode_ = Mode::Verify;
}

void Flash28F::writeBulkKind(ChipIo& io, uint32_t a, uint8_t d)
{
    endBulkOperation(io);
    if (mode_ == Mode::EraseSetup) {
        mode_ = d == 0x20 ? Mode::Erasing : Mode::Array;
        since_ = io.now();
        return;
    }
    if (mode_ == Mode::ProgramSetup) {
        mode_ = Mode::Programming;
        since_ = io.now();
        opAddress_ = a;
        opData_ = d;
        return;
    }
    switch (d) {
    case 0x00:
    case 0xFF:
        mode_ = Mode::Array;
        break;
    case 0x90:
        mode_ = Mode::Id;
        break;
    case 0x20:
        mode_ = Mode::EraseSetup;
        break;
    case 0x40:
        mode_ = Mode::ProgramSetup;
        break;
    case 0xA0:
    case 0xC0:
        mode_ = Mode::Verify;
        break;
    default:
        mode_ = Mode::Array;
        break;
    }
}

void Flash28F::finish(ChipIo& io)
{
    if (!busy_ || io.now() < until_)
        return;
    busy_ = false;
    if (opErase_) {
        const Block& b = blocks_[static_cast<size_t>(blockOf(opAddress_))];
        complete(true, b.start, b.size);
    } else {
        complete(false, 0, 0);
    }
}

// A status-kind operation starts on the part's own timer.
void Flash28F::begin(ChipIo& io, bool erase, uint32_t a, uint8_t d, SimTime units)
{
    busy_ = true;
    opErase_ = erase;
    opAddress_ = a;
    opData_ = d;
    until_ = io.now() + units;
}

// The effect of a finished operation of either kind: an erase sets the
// range to 0xFF, a program clears the bits of the byte it was given.
void Flash28F::complete(bool erase, uint32_t start, uint32_t size)
{
    if (erase) {
        std::fill_n(memory_.begin() + static_cast<long>(start), size, 0xFF);
        erased_.push_back(start);
    } else {
        memory_[opAddress_] &= opData_;
    }
}

void Flash28F::drive(ChipIo& io)
{
    const bool read = pin(io, kCe).level == 0 && pin(io, kOe).level == 0 && pin(io, kWe).level == 1;
    if (!read) {
        io.releaseAll();
        return;
    }
    const uint32_t a = address(io);
    uint8_t value = applyStuckCells(a, memory_[a]);
    if (status_ && (mode_ == Mode::Status || busy_)) {
        value = static_cast<uint8_t>((busy_ ? 0x00 : 0x80) | (sr_ & 0x7F));
    } else if (mode_ == Mode::Id || (!status_ && pin(io, 26).source == PinSource::Vpp)) {
        value = (a & 1) ? device_ : maker_;
    } else if (!status_ && (mode_ == Mode::Programming || mode_ == Mode::Erasing)) {
        // A read without the verify command: what the cell holds once the
        // operation's time has passed.
        endBulkOperation(io);
        value = applyStuckCells(a, memory_[a]);
    }
    for (int bit = 0; bit < 8; ++bit)
        drivePin(io, kData[bit], (value >> bit) & 1);
}

void Flash28F::beforeSample(ChipIo& io)
{
    if (!io.powered())
        return;
    finish(io);
    drive(io);
}

void Flash28F::onPins(ChipIo& io)
{
    if (!io.powered()) {
        io.releaseAll();
        mode_ = Mode::Array; // power-on: read array, status clear
        sr_ = 0x80;
        busy_ = false;
        return;
    }
    finish(io);
    const bool oeHigh = pin(io, kOe).level == 1;
    const bool weEdge = rose(io, kWe) && pin(io, kCe).level == 0;
    const bool ceEdge = rose(io, kCe) && pin(io, kWe).level == 0;
    if (oeHigh && (weEdge || ceEdge) && (status_ || vppHigh(io))) {
        io.releaseAll();
        write(io, address(io), dataBus(io));
    }
    drive(io);
}

void addFlash28FOffers(std::vector<ChipOffer>& offers)
{
    for (const Part& p : parts()) {
        std::string what = std::string(p.status ? "28F boot-block flash, " : "28F bulk-erase flash, ") +
                           std::to_string(p.size / 1024) + " KiB";
        offers.push_back({p.name, {p.row}, what, [&p] {
                              return std::make_unique<Flash28F>(p.name, p.size, p.status, p.blocks, p.boot,
                                                                p.maker, p.device);
                          }});
    }
}

} // namespace pontvex::boxsim

#include "boxsim/chips/Gal.h"

#include "boxsim/chips/Registry.h"
#include "core/Text.h"

#include <algorithm>
#include <memory>

namespace pontvex::boxsim {

namespace {

constexpr int kVppPin = 2;
constexpr int kArchitectureRow = 60;
constexpr int kSecurityRow = 61;
constexpr int kEraseRow = 63;
// The shortest /STR low the model takes as a program pulse, in byte times
// (the datasheets ask for about 10 ms; 50 byte times is 4.8 ms).
constexpr SimTime kMinProgramPulse = 50;

} // namespace

GalChip::GalChip(Part part) : part_(std::move(part))
{
    fuses_.assign(static_cast<size_t>(fuseCount()), 1);
}

const GalChip::Pins& GalChip::pins() const
{
    static const Pins p16{{18, 3, 4, 5, 6, 7}, 8, 9, 11, 12, 19};
    static const Pins p20{{21, 3, 4, 5, 8, 9}, 10, 11, 13, 15, 22};
    return part_.twentyFour ? p20 : p16;
}

int GalChip::maxMillivolts(int chipPin) const
{
    return chipPin == kVppPin ? part_.maxVppMillivolts : 7000;
}

bool GalChip::editMode(ChipIo& io) const
{
    const PinLevel vpp = io.pin(kVppPin);
    return io.supplied() && vpp.source == PinSource::Vpp && vpp.millivolts() >= part_.minVppMillivolts;
}

int GalChip::rowAddress(ChipIo& io) const
{
    int a = 0;
    for (int i = 0; i < 6; ++i)
        a |= io.pin(pins().rag[i]).level << i;
    return a;
}

int GalChip::rowBits(int a) const
{
    if (a < rows() || a == rows())
        return 64;
    if (a == kArchitectureRow)
        return 82;
    if (a == kSecurityRow || a == kEraseRow)
        return 1;
    return 0;
}

// The architecture row in shifting order: XOR 0..3, AC0, AC1 0..3, the 64
// product-term disables, AC1 4..7, SYN, XOR 4..7.
int GalChip::fuseOf(int a, int k) const
{
    const int b = base();
    if (a < rows())
        return k * rows() + a;
    if (a == rows())
        return b + 8 + k;
    if (a != kArchitectureRow)
        return -1;
    if (k <= 3)
        return b + k;
    if (k == 4)
        return b + 145;
    if (k <= 8)
        return b + 72 + (k - 5);
    if (k <= 72)
        return b + 80 + (k - 9);
    if (k <= 76)
        return b + 76 + (k - 73);
    if (k == 77)
        return b + 144;
    return b + 4 + (k - 78);
}

void GalChip::program(ChipIo& io, int a)
{
    const int bits = rowBits(a);
    if (bits == 0 || static_cast<int>(shift_.size()) != bits) {
        io.warn(format("GAL row %d programmed with %d bits (it has %d)", a, static_cast<int>(shift_.size()),
                       bits));
        return;
    }
    ++programmedRows_;
    if (a == kEraseRow) {
        std::fill(fuses_.begin(), fuses_.end(), uint8_t{1});
        secured_ = false;
        return;
    }
    if (a == kSecurityRow) {
        if (shift_[0] == 0)
            secured_ = true;
        return;
    }
    // A programmed cell stays programmed until the next bulk erase.
    for (int k = 0; k < bits; ++k) {
        const int f = fuseOf(a, k);
        if (shift_[static_cast<size_t>(k)] == 0 && !stuck_.contains(f))
            fuses_[static_cast<size_t>(f)] = 0;
    }
}

void GalChip::load(int a)
{
    const int bits = rowBits(a);
    output_.assign(static_cast<size_t>(std::max(bits, 1)), 1);
    outIndex_ = 0;
    if (a == kSecurityRow || a == kEraseRow || bits == 0)
        return;
    // The security cell hides the array and the architecture, never the signature.
    if (secured_ && a != rows())
        return;
    for (int k = 0; k < bits; ++k)
        output_[static_cast<size_t>(k)] = fuses_[static_cast<size_t>(fuseOf(a, k))];
}

void GalChip::onPins(ChipIo& io)
{
    const Pins& p = pins();
    if (!editMode(io)) {
        shift_.clear();
        output_.clear();
        strobeFell_ = -1;
        io.releaseAll();
        return;
    }
    const bool verify = io.pin(p.pv).level == 0;
    if (io.fell(p.strobe))
        strobeFell_ = io.now();
    if (io.rose(p.strobe) && strobeFell_ >= 0) {
        const int a = rowAddress(io);
        if (!verify) {
            if (io.now() - strobeFell_ >= kMinProgramPulse)
                program(io, a);
            else
                io.warn(format("GAL program pulse on row %d too short", a));
        } else {
            load(a);
        }
        shift_.clear();
        strobeFell_ = -1;
    }
    if (io.rose(p.sclk)) {
        if (verify) {
            if (outIndex_ < output_.size())
                ++outIndex_;
        } else {
            shift_.push_back(static_cast<uint8_t>(io.pin(p.sdin).level));
        }
    }
    if (verify && !output_.empty())
        io.drive(p.sdout, outIndex_ < output_.size() ? output_[outIndex_] : 1);
    else
        io.release(p.sdout);
}

std::vector<MemoryInfo> GalChip::memories() const
{
    return {
        {"fuses", 8, static_cast<uint32_t>(fuseCount()), "fuse map in JEDEC order, one byte 0/1 per fuse"},
        {"security", 8, 1, "1 when the security cell is programmed"}};
}

std::vector<uint8_t> GalChip::readMemory(const std::string& name) const
{
    if (equalsIgnoreCase(name, "fuses"))
        return fuses_;
    if (equalsIgnoreCase(name, "security"))
        return {static_cast<uint8_t>(secured_ ? 1 : 0)};
    return {};
}

bool GalChip::writeMemory(const std::string& name, std::span<const uint8_t> bytes)
{
    if (std::any_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b > 1; }))
        return false;
    if (equalsIgnoreCase(name, "fuses") && bytes.size() <= fuses_.size()) {
        std::copy(bytes.begin(), bytes.end(), fuses_.begin());
        return true;
    }
    if (equalsIgnoreCase(name, "security") && bytes.size() <= 1) {
        if (!bytes.empty())
            secured_ = bytes[0] != 0;
        return true;
    }
    return false;
}

void addGalOffers(std::vector<ChipOffer>& offers)
{
    const auto add = [&](std::string name, std::vector<ChipRow> rows, std::string what, bool twentyFour,
                         int minVpp, int maxVpp) {
        GalChip::Part part{name, twentyFour, minVpp, maxVpp};
        offers.push_back({std::move(name), std::move(rows), std::move(what),
                          [part] { return std::make_unique<GalChip>(part); }});
    };
    // The first parts are edited at 16.5 V (the box makes 14 V of it); the A,
    // B, D and ATF parts at 12 V
    // and are damaged by the higher level.
    add("GAL16V8", {{"GAL3M", 1}}, "GAL16V8 EE logic, 20 pins, edit mode at 16.5 V", false, 13500, 17000);
    add("GAL16V8A", {{"GAL3M", 2}}, "GAL16V8A EE logic, 20 pins, edit mode at 12 V", false, 11000, 13500);
    add("GAL16V8B", {{"GAL3M", 3}}, "GAL16V8B EE logic, 20 pins, edit mode at 12 V", false, 11000, 13500);
    add("GAL16V8D", {{"GAL3M", 10}}, "GAL16V8D EE logic, 20 pins, edit mode at 12 V", false, 11000, 13500);
    add("ATF16V8B", {{"GAL3M", 8}}, "ATF16V8B flash logic, 20 pins, edit mode at 12 V", false, 11000, 13500);
    add("GAL20V8", {{"GAL3M", 4}}, "GAL20V8 EE logic, 24 pins, edit mode at 16.5 V", true, 13500, 17000);
    add("GAL20V8A", {{"GAL3M", 5}}, "GAL20V8A EE logic, 24 pins, edit mode at 12 V", true, 11000, 13500);
    add("GAL20V8B", {{"GAL3M", 6}}, "GAL20V8B EE logic, 24 pins, edit mode at 12 V", true, 11000, 13500);
    add("ATF20V8B", {{"GAL3M", 9}}, "ATF20V8B flash logic, 24 pins, edit mode at 12 V", true, 11000, 13500);
}

} // namespace pontvex::boxsim

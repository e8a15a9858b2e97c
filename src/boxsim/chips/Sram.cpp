#include "boxsim/chips/Sram.h"

#include "boxsim/chips/Registry.h"

#include <algorithm>

namespace pontvex::boxsim {

namespace {

constexpr uint32_t K = 1024;

// JEDEC byte-wide pinouts, address bit -> chip pin.
constexpr int kAddress24[] = {8, 7, 6, 5, 4, 3, 2, 1, 23, 22, 19};
constexpr int kAddress28[] = {10, 9, 8, 7, 6, 5, 4, 3, 25, 24, 21, 23, 2, 26, 1};
constexpr int kAddress32[] = {12, 11, 10, 9, 8, 7, 6, 5, 27, 26, 23, 25, 4, 28, 3, 31, 2, 30, 1};
constexpr int kData24[] = {9, 10, 11, 13, 14, 15, 16, 17};
constexpr int kData28[] = {11, 12, 13, 15, 16, 17, 18, 19};
constexpr int kData32[] = {13, 14, 15, 17, 18, 19, 20, 21};

// 2K: 6116 pinout (/WE on 21). 8K: CE2 on 26 where the 16K and 32K parts
// carry A13. 128K: CE2 on 30 where the 256K and 512K parts carry A17.
const Sram::Type kNv2K{2 * K, 24, 0, true};
const Sram::Type kSram2K{2 * K, 24, 0, false};
const Sram::Type kNv8K{8 * K, 28, 0, true};
const Sram::Type kSram8K{8 * K, 28, 26, false};
const Sram::Type kSram16K{16 * K, 28, 0, false};
const Sram::Type kNv32K{32 * K, 28, 0, true};
const Sram::Type kSram32K{32 * K, 28, 0, false};
const Sram::Type kSram64K{64 * K, 32, 0, false};
const Sram::Type kNv128K{128 * K, 32, 0, true};
const Sram::Type kSram128K{128 * K, 32, 30, false};
const Sram::Type kNv256K{256 * K, 32, 0, true};
const Sram::Type kNv512K{512 * K, 32, 0, true};
const Sram::Type kSram512K{512 * K, 32, 0, false};

struct Part {
    const char* name;
    const Sram::Type* type;
    int variant; // of the "DSRAM" and "TESTRAM" rows
    const char* what;
};

const Part kParts[] = {
    {"DS1220AB", &kNv2K, 1, "NV-RAM module, 2K x 8"},
    {"HM6116", &kSram2K, 1, "static RAM, 2K x 8"},
    {"DS1225AB", &kNv8K, 2, "NV-RAM module, 8K x 8"},
    {"HM6264", &kSram8K, 2, "static RAM, 8K x 8"},
    {"W24129A", &kSram16K, 3, "static RAM, 16K x 8"},
    {"DS1230Y", &kNv32K, 4, "NV-RAM module, 32K x 8"},
    {"HM62256", &kSram32K, 4, "static RAM, 32K x 8"},
    {"62512", &kSram64K, 5, "static RAM, 64K x 8 in 32 pins"},
    {"DS1245Y", &kNv128K, 6, "NV-RAM module, 128K x 8"},
    {"HM628128", &kSram128K, 6, "static RAM, 128K x 8"},
    {"DS1249Y", &kNv256K, 7, "NV-RAM module, 256K x 8"},
    {"DS1250Y", &kNv512K, 8, "NV-RAM module, 512K x 8"},
    {"HM628512", &kSram512K, 8, "static RAM, 512K x 8"},
};

} // namespace

Sram::Sram(std::string name, const Type& type, uint32_t seed)
    : name_(std::move(name)), type_(type), random_(seed), memory_(type.size, 0xFF)
{
    if (!type_.nonVolatile)
        scramble();
}

void Sram::scramble()
{
    for (uint8_t& b : memory_)
        b = static_cast<uint8_t>(random_());
}

int Sram::addressBits() const
{
    int bits = 0;
    while ((1u << bits) < type_.size)
        ++bits;
    return bits;
}

int Sram::addressPin(int bit) const
{
    return type_.pins == 24 ? kAddress24[bit] : type_.pins == 28 ? kAddress28[bit] : kAddress32[bit];
}

int Sram::dataPin(int bit) const
{
    return type_.pins == 24 ? kData24[bit] : type_.pins == 28 ? kData28[bit] : kData32[bit];
}

int Sram::cePin() const
{
    return type_.pins == 24 ? 18 : type_.pins == 28 ? 20 : 22;
}

int Sram::oePin() const
{
    return type_.pins == 24 ? 20 : type_.pins == 28 ? 22 : 24;
}

int Sram::wePin() const
{
    return type_.pins == 24 ? 21 : type_.pins == 28 ? 27 : 29;
}

std::vector<MemoryInfo> Sram::memories() const
{
    return {{"array", 8, static_cast<uint32_t>(memory_.size()), "the RAM array", type_.nonVolatile}};
}

std::vector<uint8_t> Sram::readMemory(const std::string& name) const
{
    return findMemory(name) ? memory_ : std::vector<uint8_t>{};
}

bool Sram::writeMemory(const std::string& name, std::span<const uint8_t> bytes)
{
    const auto m = findMemory(name);
    if (!m || !fitsMemory(*m, bytes))
        return false;
    std::copy(bytes.begin(), bytes.end(), memory_.begin());
    return true;
}

// The cell the decoder selects: the pins' address with the wiring faults applied.
uint32_t Sram::cellAddress(ChipIo& io) const
{
    uint32_t a = 0;
    for (int bit = 0; bit < addressBits(); ++bit)
        a |= static_cast<uint32_t>(io.pin(addressPin(bit)).level) << bit;
    for (const Short& s : shorted_) {
        const uint32_t both = ((a >> s.a) & (a >> s.b)) & 1u;
        a = (a & ~(1u << s.a) & ~(1u << s.b)) | both << s.a | both << s.b;
    }
    for (const Stuck& s : stuckAddress_)
        a = (a & ~(1u << s.bit)) | static_cast<uint32_t>(s.level ? 1u : 0u) << s.bit;
    return a & (type_.size - 1);
}

uint8_t Sram::dataBus(ChipIo& io) const
{
    uint8_t d = 0;
    for (int bit = 0; bit < 8; ++bit)
        d |= static_cast<uint8_t>(io.pin(dataPin(bit)).level << bit);
    return d;
}

void Sram::onPins(ChipIo& io)
{
    const bool supplied = io.supplied();
    if (supplied != wasSupplied_) {
        if (!supplied && !type_.nonVolatile) {
            scramble(); // what the cells hold when power comes back
            ++powerCycles_;
        }
        wasSupplied_ = supplied;
    }
    if (!supplied) {
        io.releaseAll();
        return;
    }
    const bool selected =
        io.pin(cePin()).level == 0 && (type_.ce2Pin == 0 || io.pin(type_.ce2Pin).level == 1);
    const bool writing = selected && io.pin(wePin()).level == 0;
    if (writing) {
        // The outputs are off while /WE is low, so the bus holds the box's data.
        io.releaseAll();
        const uint32_t a = cellAddress(io);
        memory_[a] = dataBus(io);
        ++writes_;
        return;
    }
    if (!selected || io.pin(oePin()).level != 0) {
        io.releaseAll();
        return;
    }
    const uint32_t a = cellAddress(io);
    uint8_t value = applyStuckCells(a, memory_[a]);
    value = static_cast<uint8_t>((value & ~dataMask_) | (dataLevels_ & dataMask_));
    for (int bit = 0; bit < 8; ++bit)
        io.drive(dataPin(bit), (value >> bit) & 1);
}

void addSramOffers(std::vector<ChipOffer>& offers)
{
    for (const Part& p : kParts) {
        offers.push_back({p.name, {{"DSRAM", p.variant}, {"TESTRAM", p.variant}}, p.what, [&p] {
                              return std::make_unique<Sram>(p.name, *p.type);
                          }});
    }
}

} // namespace pontvex::boxsim

#include "boxsim/chips/Eprom27.h"

#include "boxsim/Box.h"
#include "boxsim/chips/Registry.h"

#include <cstdio>

namespace pontvex::boxsim {

namespace {

constexpr uint32_t K = 1024;

// Vpp level codes of the box: 12.5..13 V, 21 V, 25 V, 12 V, 14 V.
constexpr int k12V5 = 5, k21V = 7, k25V = 12, k12V = 4, k14V = 9;

// Standard byte-wide pinouts, address bit -> chip pin.
constexpr int kAddress24[] = {8, 7, 6, 5, 4, 3, 2, 1, 23, 22, 19, 21};
constexpr int kAddress28[] = {10, 9, 8, 7, 6, 5, 4, 3, 25, 24, 21, 23, 2, 26, 27, 1};
constexpr int kAddress32[] = {12, 11, 10, 9, 8, 7, 6, 5, 27, 26, 23, 25, 4, 28, 29, 3, 2, 30, 31, 1};
constexpr int kData24[] = {9, 10, 11, 13, 14, 15, 16, 17};
constexpr int kData28[] = {11, 12, 13, 15, 16, 17, 18, 19};
constexpr int kData32[] = {13, 14, 15, 17, 18, 19, 20, 21};

// Erase strobes the windows hold: 2000 and 5000 byte times (191 and 477 ms,
// where the parts' sheets give a 100 ms chip erase). Three quarters of that
// still erase, half does not; four times as long over-stresses the array.
constexpr SimTime kWinbondEraseUnits = 2000;
constexpr SimTime kSstEraseUnits = 5000;

// The rows send these pulse parameters: 10..50 for the NMOS parts (factor 10,
// five speeds), 1..5 for the CMOS parts, 244..255 for the ST NMOS 256/512 rows
// and 1 for the electrically erasable parts.
EpromType pulsed(EpromType type, int shortest, int longest)
{
    type.pulseShortest = shortest;
    type.pulseLongest = longest;
    return type;
}

const EpromType T2716_25 = pulsed({"2716", 2 * K, 24, 21, 0, EpromStrobe::CeHigh, {k25V}, 26000}, 10, 50);
const EpromType T2716_21 = pulsed({"2716", 2 * K, 24, 21, 0, EpromStrobe::CeHigh, {k21V}, 22000}, 10, 50);
const EpromType T2716_12 = pulsed({"2716", 2 * K, 24, 21, 0, EpromStrobe::CeHigh, {k12V5}, 14000}, 10, 50);
const EpromType T2732_25 = pulsed({"2732", 4 * K, 24, 20, 0, EpromStrobe::CeLow, {k25V}, 26000}, 10, 50);
const EpromType T2732_21 = pulsed({"2732", 4 * K, 24, 20, 0, EpromStrobe::CeLow, {k21V}, 22000}, 10, 50);
const EpromType T2732_12 = pulsed({"2732", 4 * K, 24, 20, 0, EpromStrobe::CeLow, {k12V5}, 14000}, 10, 50);
const EpromType T2764_25 = pulsed({"2764", 8 * K, 28, 1, 27, EpromStrobe::PgmLow, {k25V}, 26000}, 10, 50);
const EpromType T2764_21 = pulsed({"2764", 8 * K, 28, 1, 27, EpromStrobe::PgmLow, {k21V}, 22000}, 10, 50);
const EpromType T2764_12 = pulsed({"2764", 8 * K, 28, 1, 27, EpromStrobe::PgmLow, {k12V5}, 14000}, 10, 50);
const EpromType T27128_25 = pulsed({"27128", 16 * K, 28, 1, 27, EpromStrobe::PgmLow, {k25V}, 26000}, 10, 50);
const EpromType T27128_21 = pulsed({"27128", 16 * K, 28, 1, 27, EpromStrobe::PgmLow, {k21V}, 22000}, 10, 50);
const EpromType T27128_12 = pulsed({"27128", 16 * K, 28, 1, 27, EpromStrobe::PgmLow, {k12V5}, 14000}, 10, 50);
const EpromType T27256{"27256", 32 * K, 28, 1, 0, EpromStrobe::CeLow, {k12V5}, 14000};
const EpromType T27512{"27512", 64 * K, 28, 22, 0, EpromStrobe::CeLow, {k12V5}, 14000};
const EpromType TM27256 = pulsed(T27256, 244, 255);
const EpromType TM27512 = pulsed(T27512, 244, 255);
const EpromType T27010{"27010", 128 * K, 32, 1, 31, EpromStrobe::PgmLow, {k12V5}, 14000};
const EpromType T27020{"27020", 256 * K, 32, 1, 31, EpromStrobe::PgmLow, {k12V5}, 14000};
const EpromType T27040{"27040", 512 * K, 32, 1, 0, EpromStrobe::CeLow, {k12V5}, 14000};
const EpromType T27080{"27080", 1024 * K, 32, 24, 0, EpromStrobe::CeLow, {k12V5}, 14000};
const EpromType TW27E512 =
    pulsed({"W27E512", 64 * K, 28, 22, 0, EpromStrobe::CeLow, {k12V}, 14500, EpromErase::Winbond, 20}, 1, 1);
const EpromType TW27E010 = pulsed(
    {"W27E010", 128 * K, 32, 1, 31, EpromStrobe::PgmLow, {k12V}, 14500, EpromErase::Winbond, 31}, 1, 1);
const EpromType TW27E020 = pulsed(
    {"W27E020", 256 * K, 32, 1, 31, EpromStrobe::PgmLow, {k12V}, 14500, EpromErase::Winbond, 31}, 1, 1);
const EpromType TW27E040 =
    pulsed({"W27E040", 512 * K, 32, 1, 0, EpromStrobe::CeLow, {k12V}, 14500, EpromErase::Winbond, 24}, 1, 1);
const EpromType TW27E257 =
    pulsed({"W27E257", 32 * K, 28, 1, 0, EpromStrobe::CeLow, {k12V}, 14500, EpromErase::Winbond, 22}, 1, 1);
const EpromType TSst256 =
    pulsed({"SST27SF256", 32 * K, 28, 1, 0, EpromStrobe::CeLow, {k12V}, 14000, EpromErase::Sst}, 1, 1);
const EpromType TSst512 =
    pulsed({"SST27SF512", 64 * K, 28, 22, 0, EpromStrobe::CeLow, {k12V}, 14000, EpromErase::Sst}, 1, 1);
const EpromType TSst010 =
    pulsed({"SST27SF010", 128 * K, 32, 1, 31, EpromStrobe::PgmLow, {k12V}, 14000, EpromErase::Sst}, 1, 1);
const EpromType TSst020 =
    pulsed({"SST27SF020", 256 * K, 32, 1, 31, EpromStrobe::PgmLow, {k12V}, 14000, EpromErase::Sst}, 1, 1);
const EpromType TSst040 =
    pulsed({"SST27SF040", 512 * K, 32, 24, 0, EpromStrobe::CeLow, {k12V}, 14000, EpromErase::Sst}, 1, 1);

struct Part {
    const char* name;
    const EpromType* type;
    uint8_t maker, device; // 0, 0: no signature
    const char* key;       // the device-list row the part is listed under
    int variant;
};

// The names match the chip entries of the device lists. Signatures as the
// makers' data sheets give them.
const Part kParts[] = {
    // Generic parts, by programming voltage.
    {"27C16", &T2716_12, 0, 0, "P27", 1},
    {"2716-21V", &T2716_21, 0, 0, "P27", 2},
    {"2716", &T2716_25, 0, 0, "P27", 3},
    {"27C32", &T2732_12, 0, 0, "P27", 4},
    {"2732A", &T2732_21, 0, 0, "P27", 5},
    {"2732", &T2732_25, 0, 0, "P27", 6},
    {"2764A", &T2764_12, 0, 0, "P27", 7},
    {"2764", &T2764_21, 0, 0, "P27", 8},
    {"2764-25V", &T2764_25, 0, 0, "P27", 9},
    {"27128A", &T27128_12, 0, 0, "P27", 10},
    {"27128", &T27128_21, 0, 0, "P27", 11},
    {"27128-25V", &T27128_25, 0, 0, "P27", 12},
    {"27C256", &T27256, 0, 0, "P27", 13},
    {"27C512", &T27512, 0, 0, "P27", 14},
    {"27C513", &T27512, 0, 0, "P27", 15},
    {"27C010", &T27010, 0, 0, "P27", 16},
    {"27C020", &T27020, 0, 0, "P27", 17},
    {"27C040", &T27040, 0, 0, "P27", 18},
    {"27C080", &T27080, 0, 0, "P27", 19},
    // Atmel
    {"AT27C256", &T27256, 0x1E, 0x8C, "P27", 13},
    {"AT27C512", &T27512, 0x1E, 0x0D, "P27", 14},
    {"AT27C010", &T27010, 0x1E, 0x05, "P27", 16},
    {"AT27C020", &T27020, 0x1E, 0x86, "P27", 17},
    {"AT27C040", &T27040, 0x1E, 0x0B, "P27", 18},
    {"AT27C080", &T27080, 0x1E, 0x8A, "P27", 19},
    // AMD
    {"AM27C256", &T27256, 0x01, 0x10, "P27", 13},
    {"AM27C512", &T27512, 0x01, 0x91, "P27", 14},
    {"AM27C010", &T27010, 0x01, 0x0E, "P27", 16},
    {"AM27C020", &T27020, 0x01, 0x97, "P27", 17},
    {"AM27C040", &T27040, 0x01, 0x9B, "P27", 18},
    // ST
    {"M2716", &T2716_25, 0, 0, "P27", 3},
    {"M2732A", &T2732_21, 0, 0, "P27", 5},
    {"M2764A", &T2764_12, 0, 0, "P27", 7},
    {"M27128A", &T27128_12, 0, 0, "P27", 10},
    {"M27256", &TM27256, 0, 0, "P27", 20},
    {"M27512", &TM27512, 0, 0, "P27", 21},
    {"M27C256B", &T27256, 0x20, 0x8D, "P27", 13},
    {"M27C512", &T27512, 0x20, 0x3D, "P27", 14},
    {"M27C1001", &T27010, 0x20, 0x05, "P27", 16},
    {"M27C2001", &T27020, 0x20, 0x61, "P27", 17},
    {"M27C4001", &T27040, 0x20, 0x41, "P27", 18},
    {"M27C801", &T27080, 0x20, 0x42, "P27", 19},
    // Winbond
    {"W27E512", &TW27E512, 0xDA, 0x08, "PW27", 1},
    {"W27E010", &TW27E010, 0, 0, "PW27", 2},
    {"W27E020", &TW27E020, 0, 0, "PW27", 3},
    {"W27E040", &TW27E040, 0, 0, "PW27", 4},
    {"W27E257", &TW27E257, 0xDA, 0x02, "PW27", 5},
    // SST
    {"SST27SF256", &TSst256, 0xBF, 0xA3, "SST27SF", 1},
    {"SST27SF512", &TSst512, 0xBF, 0xA4, "SST27SF", 2},
    {"SST27SF010", &TSst010, 0xBF, 0xA5, "SST27SF", 3},
    {"SST27SF020", &TSst020, 0xBF, 0xA6, "SST27SF", 4},
    {"SST27SF040", &TSst040, 0, 0, "SST27SF", 5},
};

} // namespace

Eprom27::Eprom27(std::string name, const EpromType& type, uint8_t maker, uint8_t device)
    : name_(std::move(name)), type_(type), maker_(maker), device_(device), memory_(type.size, 0xFF)
{
}

int Eprom27::addressBits() const
{
    int bits = 0;
    while ((1u << bits) < type_.size)
        ++bits;
    return bits;
}

int Eprom27::addressPin(int bit) const
{
    switch (type_.pins) {
    case 24:
        return kAddress24[bit];
    case 28:
        return kAddress28[bit];
    default:
        return kAddress32[bit];
    }
}

int Eprom27::dataPin(int bit) const
{
    switch (type_.pins) {
    case 24:
        return kData24[bit];
    case 28:
        return kData28[bit];
    default:
        return kData32[bit];
    }
}

int Eprom27::cePin() const
{
    return type_.pins == 24 ? 18 : type_.pins == 28 ? 20 : 22;
}
int Eprom27::oePin() const
{
    return type_.pins == 24 ? 20 : type_.pins == 28 ? 22 : 24;
}

int Eprom27::maxMillivolts(int chipPin) const
{
    if (chipPin == type_.vppPin)
        return type_.vppMaxMillivolts;
    if (chipPin == a9Pin())
        return type_.erase == EpromErase::Winbond ? 14500 : 14000;
    return 7000;
}

std::vector<MemoryInfo> Eprom27::memories() const
{
    return {{"array", 8, static_cast<uint32_t>(memory_.size()), "the EPROM array"}};
}

std::vector<uint8_t> Eprom27::readMemory(const std::string& name) const
{
    return findMemory(name) ? memory_ : std::vector<uint8_t>{};
}

bool Eprom27::writeMemory(const std::string& name, std::span<const uint8_t> bytes)
{
    const auto m = findMemory(name);
    if (!m || !fitsMemory(*m, bytes))
        return false;
    std::copy(bytes.begin(), bytes.end(), memory_.begin());
    return true;
}

uint32_t Eprom27::address(ChipIo& io) const
{
    uint32_t a = 0;
    for (int bit = 0; bit < addressBits(); ++bit)
        a |= static_cast<uint32_t>(io.pin(addressPin(bit)).level) << bit;
    return a;
}

uint8_t Eprom27::dataBus(ChipIo& io) const
{
    uint8_t d = 0;
    for (int bit = 0; bit < 8; ++bit)
        d |= static_cast<uint8_t>(io.pin(dataPin(bit)).level << bit);
    return d;
}

// Above about 10 V: code 0 routed is a logic-level 5 V.
bool Eprom27::highVoltage(const PinLevel& level) const
{
    return level.source == PinSource::Vpp && level.vppCode != 0;
}

void Eprom27::handleErase(ChipIo& io, bool a9High)
{
    if (type_.erase == EpromErase::Uv)
        return;
    const int code = type_.erase == EpromErase::Winbond ? k14V : k12V;
    const PinLevel vpp = io.pin(type_.vppPin);
    const int strobe = type_.eraseStrobePin != 0 ? type_.eraseStrobePin : cePin();
    const bool erasing = io.supplied() && a9High && vpp.source == PinSource::Vpp && vpp.vppCode == code &&
                         io.pin(a9Pin()).vppCode == code && io.pin(cePin()).level == 0 &&
                         io.pin(strobe).level == 0;
    if (erasing && eraseSince_ < 0) {
        eraseSince_ = io.now();
    } else if (!erasing && eraseSince_ >= 0) {
        const SimTime held = io.now() - eraseSince_;
        eraseSince_ = -1;
        const SimTime nominal = type_.erase == EpromErase::Winbond ? kWinbondEraseUnits : kSstEraseUnits;
        if (held * 4 >= nominal * 3) {
            std::fill(memory_.begin(), memory_.end(), 0xFF);
            ++erases_;
            io.note(name_ + ": erased");
            if (held > nominal * 4) {
                char text[96];
                std::snprintf(text, sizeof text, "erase strobe of %.0f units over-stresses %s", held,
                              name_.c_str());
                io.damage(text);
            }
        } else {
            char text[96];
            std::snprintf(text, sizeof text, "erase strobe of %.0f units is too short, nothing erased", held);
            io.warn(text);
        }
    }
}

void Eprom27::endPulse(ChipIo& io, bool completed)
{
    char text[128];
    bool accepted = false;
    for (int c : type_.programCodes)
        accepted = accepted || c == pulseCode_;
    if (!accepted) {
        if (pulseData_ != 0xFF) {
            ++refused_;
            std::snprintf(text, sizeof text, "program pulse at Vpp code %d ignored, cell %05x unchanged",
                          pulseCode_, pulseAddress_);
            io.warn(text);
        }
        return;
    }
    if (!completed) {
        // Supplies or OE went away under the strobe.
        std::snprintf(text, sizeof text, "program pulse at %05x broken off, cell unchanged", pulseAddress_);
        io.warn(text);
        return;
    }
    const SimTime width = io.now() - pulseSince_;
    if (pulseData_ == 0xFF) {
        ++pulses_; // nothing to program: no charge moves, whatever the width
        return;
    }
    if (width * 2 < type_.pulseShortest) {
        ++refused_;
        std::snprintf(text, sizeof text,
                      "program pulse of %.0f units is too short for %s, cell %05x unchanged", width,
                      name_.c_str(), pulseAddress_);
        io.warn(text);
        return;
    }
    memory_[pulseAddress_] &= pulseData_;
    ++pulses_;
    if (width > 2.0 * type_.pulseLongest) {
        std::snprintf(text, sizeof text, "program pulse of %.0f units over-stresses %s at %05x", width,
                      name_.c_str(), pulseAddress_);
        io.damage(text);
    }
}

void Eprom27::onPins(ChipIo& io)
{
    if (!io.powered()) {
        io.releaseAll();
        programArmed_ = false;
        eraseSince_ = -1;
        return;
    }
    const PinLevel vpp = io.pin(type_.vppPin);
    const bool vppHigh = highVoltage(vpp);
    const bool a9High = highVoltage(io.pin(a9Pin()));
    const bool oeIsVpp = type_.vppPin == oePin();
    const int ce = io.pin(cePin()).level;
    const int oe = oeIsVpp && vppHigh ? 1 : io.pin(oePin()).level;

    handleErase(io, a9High);

    bool strobe = false;
    switch (type_.strobe) {
    case EpromStrobe::CeHigh:
        strobe = ce == 1;
        break;
    case EpromStrobe::CeLow:
        strobe = ce == 0;
        break;
    case EpromStrobe::PgmLow:
        strobe = ce == 0 && io.pin(type_.pgmPin).level == 0;
        break;
    }
    // A9 at high voltage selects signature or erase, never programming. The
    // cell takes its data at the leading edge and programs when the pulse ends
    // with the conditions still held.
    const bool conditions = io.supplied() && vppHigh && !a9High && oe == 1;
    const bool program = conditions && strobe;
    if (program && !programArmed_) {
        pulseSince_ = io.now();
        pulseAddress_ = address(io);
        pulseData_ = dataBus(io);
        pulseCode_ = vpp.vppCode;
    } else if (!program && programArmed_) {
        endPulse(io, conditions);
    }
    programArmed_ = program;

    // Outputs: CE and OE low (OE/Vpp not at Vpp).
    if (ce != 0 || oe != 0) {
        io.releaseAll();
        return;
    }
    const uint32_t a = address(io);
    uint8_t value = applyStuckCells(a, memory_[a]);
    if (a9High && (maker_ != 0 || device_ != 0))
        value = (a & 1) == 0 ? maker_ : device_;
    for (int bit = 0; bit < 8; ++bit)
        io.drive(dataPin(bit), (value >> bit) & 1);
}

// The box's own 129 and 130 run 256 read cycles through the pin rule and its
// monitor, which makes a blank check of a 1 Mbit part take minutes in a debug
// build. With the chip powered and no faulted line, the result is the same when
// taken from the cells: the high address bits from the pins, the low byte
// stepped and wrapped as the firmware does, and the same 255 units of time.
bool Eprom27::onCommand(Box& box, ChipIo& io, uint8_t command, std::span<const uint8_t> operands,
                        std::span<uint8_t> reply)
{
    (void)operands;
    if ((command != 129 && command != 130) || reply.size() != 2 || !io.powered())
        return false;
    for (int k = 1; k <= pinCount(); ++k)
        if (io.pin(k).source == PinSource::Stuck)
            return false;
    if (highVoltage(io.pin(a9Pin())) || (type_.vppPin == oePin() && highVoltage(io.pin(oePin()))))
        return false;
    const uint32_t start = address(io);
    bool blank = true;
    uint32_t sum = 0;
    for (uint32_t i = 0; i < 256; ++i) {
        const uint32_t a = (start & ~0xFFu) | ((start + i) & 0xFFu);
        const uint8_t value = applyStuckCells(a, memory_[a & (type_.size - 1)]);
        blank = blank && value == 0xFF;
        sum += value;
    }
    box.advance(255);
    if (command == 129) {
        reply[0] = 0x00;
        reply[1] = blank ? 0x01 : 0x00;
    } else {
        reply[0] = static_cast<uint8_t>(sum & 0xFF);
        reply[1] = static_cast<uint8_t>(sum >> 8);
    }
    return true;
}

void addEprom27Offers(std::vector<ChipOffer>& offers)
{
    for (const Part& p : kParts) {
        std::string what = "UV EPROM, " + std::to_string(p.type->size / 1024) + " KiB";
        offers.push_back({p.name, {{p.key, p.variant}}, what, [&p] {
                              return std::make_unique<Eprom27>(p.name, *p.type, p.maker, p.device);
                          }});
    }
}

} // namespace pontvex::boxsim

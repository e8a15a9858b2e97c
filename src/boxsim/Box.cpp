#include "boxsim/Box.h"

#include "boxsim/SocketMap.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

namespace pontvex::boxsim {

namespace sm = socketmap;

namespace {

std::string hex2(unsigned v)
{
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02X", v & 0xFF);
    return buf;
}

uint8_t reverse8(uint8_t v)
{
    uint8_t r = 0;
    for (int i = 0; i < 8; ++i) {
        if (v & (1 << i)) {
            r |= static_cast<uint8_t>(0x80 >> i);
        }
    }
    return r;
}

// 8051 port 0 (pins 39..32) and the 20-pin parts' port pins 22..29.
const int kP0Pins[8] = {39, 38, 37, 36, 35, 34, 33, 32};
const int kLowPins[8] = {22, 23, 24, 25, 26, 27, 28, 29};

} // namespace

// --- the chip's view -----------------------------------------------------

class Box::Io : public ChipIo {
public:
    explicit Io(Box& box) : box_(box) {}
    SimTime now() const override { return box_.now_; }
    PinLevel pin(int chipPin) const override { return box_.level_[socket(chipPin)]; }
    PinLevel previous(int chipPin) const override { return box_.chipSeen_[socket(chipPin)]; }
    bool powered() const override { return box_.chipPowered(); }
    bool supplied() const override
    {
        return powered() && box_.level_[static_cast<size_t>(box_.chipVcc_)].source == PinSource::Vcc;
    }
    void drive(int chipPin, int level) override
    {
        if (int p = socket(chipPin)) {
            set(p, static_cast<int8_t>(level ? 1 : 0));
        }
    }
    void release(int chipPin) override
    {
        if (int p = socket(chipPin)) {
            set(p, -1);
        }
    }
    void releaseAll() override
    {
        for (int p = box_.chipFirst_; p >= 1 && p <= box_.chipLast_; ++p) {
            set(p, -1);
        }
    }
    void note(const std::string& text) override { box_.trace_.note(box_.now_, text); }
    void damage(const std::string& text) override
    {
        box_.record(Severity::Error, ProblemKind::Chip, box_.chip_->name() + ": " + text);
    }
    void warn(const std::string& text) override
    {
        box_.record(Severity::Warning, ProblemKind::Chip, box_.chip_->name() + ": " + text);
    }

private:
    void set(int p, int8_t v)
    {
        if (box_.chipDrive_[static_cast<size_t>(p)] != v) {
            box_.chipDrive_[static_cast<size_t>(p)] = v;
            box_.driveDirty_ |= uint64_t{1} << p;
        }
    }
    int socket(int chipPin) const
    {
        int p = chipPin + box_.chipFirst_ - 1;
        return p >= box_.chipFirst_ && p <= box_.chipLast_ ? p : 0;
    }
    Box& box_;
};

// --- construction --------------------------------------------------------

Box::Box(BoxOptions options) : options_(std::move(options)), io_(std::make_unique<Io>(*this))
{
    stuck_.fill(-1);
    resetRegisters();
    settle();
}

Box::~Box() = default;

void Box::resetRegisters()
{
    pinLatch_ = {0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF};
    portLatch_.fill(0xFF);
    aux_ = 0x70; // no clock until the program selects one
    vppRouteA_ = 0x00;
    vppRouteB_ = 0x80;
    vccRouteA_ = 0xFF;
    vccGndRoute_ = 0x07;
    pulse_ = 1;
    pageLength_ = 0;
    pageMode_ = 0;
    mode_.fill(PinMode::Float);
    forced_.fill(-1);
    vppLifted_.fill(false);
    chipDrive_.fill(-1);
    pending_.clear();
}

void Box::powerCycle()
{
    resetRegisters();
    settle();
}

void Box::insertChip(std::unique_ptr<ChipModel> chip)
{
    chip_ = std::move(chip);
    chipDrive_.fill(-1);
    chipNotified_ = false;
    chipFirst_ = 0;
    chipLast_ = -1;
    chipVcc_ = chipGnd_ = 0;
    if (chip_) {
        chipFirst_ = chip_->firstSocketPin();
        chipLast_ = chipFirst_ + chip_->pinCount() - 1;
        chipVcc_ = chip_->socketPin(chip_->vccPin());
        chipGnd_ = chip_->socketPin(chip_->gndPin());
    }
    settle();
}

std::unique_ptr<ChipModel> Box::removeChip()
{
    auto c = std::move(chip_);
    chipDrive_.fill(-1);
    chipFirst_ = 0;
    chipLast_ = -1;
    chipVcc_ = chipGnd_ = 0;
    settle();
    return c;
}

void Box::stickPin(int socketPin, int level)
{
    if (socketPin >= 1 && socketPin <= 40) {
        stuck_[socketPin] = static_cast<int8_t>(level ? 1 : 0);
        settle();
    }
}

void Box::shortPins(int a, int b)
{
    if (a >= 1 && a <= 40 && b >= 1 && b <= 40 && a != b) {
        shorts_.emplace_back(a, b);
        settle();
    }
}

void Box::breakSwitches(int socketPin)
{
    if (socketPin >= 1 && socketPin <= 40) {
        brokenSwitches_ |= uint64_t{1} << socketPin;
        settle();
    }
}

ChipIo& Box::chipIo()
{
    return *io_;
}

// --- problems --------------------------------------------------------------

const char* problemKindName(ProblemKind kind)
{
    switch (kind) {
    case ProblemKind::Protocol:
        return "protocol";
    case ProblemKind::Overflow:
        return "overflow";
    case ProblemKind::Monitor:
        return "monitor";
    case ProblemKind::Chip:
        return "chip";
    }
    return "?";
}

void Box::record(Severity severity, ProblemKind kind, const std::string& text)
{
    for (Problem& p : problems_) {
        if (p.severity == severity && p.kind == kind && p.text == text) {
            ++p.count;
            return;
        }
    }
    // A run that goes wrong everywhere must not eat the memory.
    if (problems_.size() >= 1000) {
        return;
    }
    problems_.push_back(Problem{severity, kind, now_, text, 1});
    trace_.note(now_, std::string(severity == Severity::Error ? "ERROR " : "warning ") +
                          problemKindName(kind) + ": " + text);
}

namespace {
std::string report(const std::vector<Problem>& problems, Severity severity)
{
    std::ostringstream out;
    for (const Problem& p : problems) {
        if (p.severity != severity) {
            continue;
        }
        out << problemKindName(p.kind) << " at t=" << static_cast<long long>(p.time) << ": " << p.text;
        if (p.count > 1) {
            out << " (x" << p.count << ")";
        }
        out << "\n";
    }
    return out.str();
}
} // namespace

std::string Box::errorReport() const
{
    return report(problems_, Severity::Error);
}
std::string Box::warningReport() const
{
    return report(problems_, Severity::Warning);
}

// --- state queries ---------------------------------------------------------

std::vector<int> Box::vppRoutedPins() const
{
    std::vector<int> pins;
    for (int p = 1; p <= 40; ++p) {
        int a = sm::vppRouteABit(p), b = sm::vppRouteBBit(p);
        if ((a >= 0 && (vppRouteA_ >> a) & 1) || (b >= 0 && (vppRouteB_ >> b) & 1)) {
            pins.push_back(p);
        }
    }
    return pins;
}

std::vector<int> Box::vccRoutedPins() const
{
    std::vector<int> pins;
    for (int p = 1; p <= 40; ++p) {
        int a = sm::vccRouteABit(p), c = sm::vccRouteCBit(p);
        if ((a >= 0 && !((vccRouteA_ >> a) & 1)) || (c >= 0 && !((vccGndRoute_ >> c) & 1))) {
            pins.push_back(p);
        }
    }
    return pins;
}

int Box::vccPin() const
{
    auto pins = vccRoutedPins();
    return pins.empty() ? 0 : pins.front();
}

std::vector<int> Box::gndRoutedPins() const
{
    std::vector<int> pins;
    for (int p = 1; p <= 40; ++p) {
        int b = sm::gndRouteBit(p);
        if (b >= 0 && (vccGndRoute_ >> b) & 1) {
            pins.push_back(p);
        }
    }
    return pins;
}

int Box::gndPin() const
{
    auto pins = gndRoutedPins();
    return pins.empty() ? 0 : pins.front();
}

uint8_t Box::lowAddress() const
{
    return reverse8(portLatch_[1]);
}

// --- the command table -----------------------------------------------------

Box::CommandShape Box::shape(uint8_t c) const
{
    if (c == 0 || c == 30 || c == 31 || c == 79 || (c >= 32 && c <= 71) || (c >= 80 && c <= 119) ||
        c == 147) {
        return {0, 0};
    }
    if (c >= 1 && c <= 5) {
        return {0, 1};
    }
    if ((c >= 8 && c <= 14) || (c >= 16 && c <= 20) || c == 22 || (c >= 24 && c <= 27)) {
        return {1, 0};
    }
    switch (c) {
    case 7:
        return {0, 1};
    case 15:
        return {0, options_.identityLength};
    case 128:
        return {0, 1};
    case 129:
    case 130:
        return {0, 2};
    case 131:
    case 132:
    case 135:
    case 138:
    case 139:
        return {1, 0};
    case 133:
        return {2, 0};
    case 136:
    case 146:
    case 150:
        return {-2, 0};
    case 137:
    case 140:
    case 141:
    case 142:
    case 143:
    case 144:
    case 145:
        return {1, 1};
    case 160:
    case 165:
    case 167:
    case 178:
        return {0, 1};
    case 161:
    case 166:
    case 168:
    case 176:
    case 177:
        return {1, 0};
    case 169:
        return {1, 2};
    case 170:
        return {3, 0};
    case 171:
    case 173:
        return {2, 0};
    case 172:
    case 174:
        return {0, 2};
    case 184:
        return {0, 16};
    default:
        return {-1, 0};
    }
}

std::string Box::describe(uint8_t c, std::span<const uint8_t> ops)
{
    auto op = [&](size_t i) { return i < ops.size() ? hex2(ops[i]) : std::string("??"); };
    if (c >= 1 && c <= 5) {
        return "read port " + std::to_string(c - 1);
    }
    if (c >= 8 && c <= 14) {
        return "pin latch " + std::to_string(c - 8) + " := " + op(0);
    }
    if (c >= 16 && c <= 20) {
        return "port " + std::to_string(c - 16) + " := " + op(0);
    }
    if (c >= 32 && c <= 71) {
        return "driver off pin " + std::to_string(c - 31);
    }
    if (c >= 80 && c <= 119) {
        return "driver on pin " + std::to_string(c - 79);
    }
    if (c >= 140 && c <= 144) {
        return "program EPROM byte " + op(0) + " (strobe of " + std::to_string(c) + ")";
    }
    switch (c) {
    case 0:
        return "power down";
    case 7:
        return "status";
    case 15:
        return "identity";
    case 22:
        return "aux := " + op(0);
    case 24:
        return "Vpp route A := " + op(0);
    case 25:
        return "Vpp route B := " + op(0);
    case 26:
        return "Vcc route A := " + op(0);
    case 27:
        return "Vcc/GND route := " + op(0);
    case 30:
        return "no-op";
    case 31:
        return "driver off pin 0 (nothing)";
    case 79:
        return "driver on pin 0 (nothing)";
    case 128:
        return "read data, step address";
    case 129:
        return "blank check 256";
    case 130:
        return "sum 256";
    case 131:
        return "page length := " + op(0);
    case 132:
        return "pulse parameter := " + op(0);
    case 133:
        return "two command cycles " + op(0) + " " + op(1);
    case 135:
        return "page-write mode := " + op(0);
    case 136:
        return "page write, " + std::to_string(ops.size()) + " bytes";
    case 137:
        return "program flash byte " + op(0) + " (status)";
    case 138:
        return "write cycle " + op(0) + " at 2AAA";
    case 139:
        return "write cycle " + op(0) + " at 5555";
    case 145:
        return "program flash byte " + op(0);
    case 146:
        return "page block (146), " + std::to_string(ops.size()) + " bytes";
    case 147:
        return "step address";
    case 150:
        return "page block (150), " + std::to_string(ops.size()) + " bytes";
    case 184:
        return "serial number";
    default:
        break;
    }
    if (c >= 160) {
        std::string s = "family command " + std::to_string(c);
        for (size_t i = 0; i < ops.size(); ++i) {
            s += " " + hex2(ops[i]);
        }
        return s;
    }
    return "undefined command " + std::to_string(c);
}

// --- bytes in ----------------------------------------------------------------

SimTime Box::process(uint8_t byte, SimTime at)
{
    SimTime t = std::max(at, busyUntil_);
    now_ = t;
    busyUntil_ = t + 1;
    ++stats_.bytesIn;
    if (pending_.empty()) {
        pendingSince_ = t;
    }
    pending_.push_back(byte);
    const uint8_t command = pending_.front();
    CommandShape s = shape(command);
    if (s.operands == -1) {
        record(Severity::Error, ProblemKind::Protocol, "undefined command byte " + std::to_string(command));
        trace_.command(t, t, pending_, describe(command, {}));
        pending_.clear();
        return t;
    }
    const bool block = s.operands == -2;
    const size_t need = block ? static_cast<size_t>(pageLength()) : static_cast<size_t>(s.operands);
    if (block && pending_.size() >= 2) {
        // Page data are written to the chip as they arrive, as the box's
        // firmware does, so a chip sees the real load timing.
        writeCycle(pending_.back(), chipWePin());
        stepLowAddress();
    }
    if (pending_.size() < need + 1) {
        return t;
    }
    std::vector<uint8_t> command_bytes;
    command_bytes.swap(pending_);
    const SimTime first = pendingSince_;
    const size_t repliesBefore = replies_.size();
    ++stats_.commands;
    std::span<const uint8_t> ops(command_bytes.data() + 1, command_bytes.size() - 1);
    if (trace_.enabled()) {
        trace_.command(first, t, command_bytes, describe(command, ops));
    }
    execute(command, ops);
    if (now_ + 1 > busyUntil_) {
        stats_.busy += now_ + 1 - busyUntil_;
        busyUntil_ = now_ + 1;
    }
    for (size_t i = repliesBefore; i < replies_.size(); ++i) {
        replies_[i].at = busyUntil_;
    }
    stats_.bytesOut += replies_.size() - repliesBefore;
    if (trace_.enabled() && replies_.size() > repliesBefore) {
        std::vector<uint8_t> out;
        for (size_t i = repliesBefore; i < replies_.size(); ++i) {
            out.push_back(replies_[i].value);
        }
        trace_.reply(busyUntil_, out);
    }
    return t;
}

std::vector<uint8_t> Box::feed(std::span<const uint8_t> bytes)
{
    for (uint8_t b : bytes) {
        process(b, busyUntil_);
    }
    std::vector<uint8_t> out;
    for (const Reply& r : replies_) {
        out.push_back(r.value);
    }
    replies_.clear();
    return out;
}

std::vector<uint8_t> Box::feed(std::initializer_list<int> bytes)
{
    std::vector<uint8_t> v;
    for (int b : bytes) {
        v.push_back(static_cast<uint8_t>(b));
    }
    return feed(std::span<const uint8_t>(v));
}

void Box::endOfStream()
{
    if (!pending_.empty()) {
        CommandShape s = shape(pending_.front());
        size_t need = s.operands == -2 ? static_cast<size_t>(pageLength()) : static_cast<size_t>(s.operands);
        record(Severity::Error, ProblemKind::Protocol,
               "command " + std::to_string(pending_.front()) + " cut short: " +
                   std::to_string(pending_.size() - 1) + " of " + std::to_string(need) + " operand bytes");
        pending_.clear();
    }
    trace_.flush();
}

// --- firmware helpers --------------------------------------------------------

void Box::writePort(int k, uint8_t value)
{
    portLatch_[static_cast<size_t>(k)] = value;
    for (int b = 0; b < 8; ++b) {
        if (int p = sm::portPin(k, b)) {
            mode_[p] = PinMode::Port;
        }
    }
}

void Box::firmwareWritePins(std::span<const int> pins, uint8_t value, bool clearLatches)
{
    for (size_t n = 0; n < pins.size() && n < 8; ++n) {
        int p = pins[n];
        sm::Bit pb = sm::portBit(p);
        if (pb.reg < 0) {
            continue;
        }
        uint8_t& port = portLatch_[static_cast<size_t>(pb.reg)];
        port = static_cast<uint8_t>((port & ~(1 << pb.bit)) | (((value >> n) & 1) << pb.bit));
        mode_[p] = PinMode::Port;
        if (clearLatches) {
            sm::Bit lb = sm::pinLatchBit(p);
            if (lb.reg >= 0) {
                pinLatch_[static_cast<size_t>(lb.reg)] &= static_cast<uint8_t>(~(1 << lb.bit));
            }
        }
    }
    settle();
}

uint8_t Box::samplePins(std::span<const int> pins)
{
    if (chip_) {
        chip_->beforeSample(*io_);
    }
    settle();
    uint8_t v = 0;
    for (size_t n = 0; n < pins.size() && n < 8; ++n) {
        if (level_[static_cast<size_t>(pins[n])].level) {
            v |= static_cast<uint8_t>(1 << n);
        }
    }
    return v;
}

void Box::forcePin(int p, int level)
{
    if (p >= 1 && p <= 40) {
        forced_[p] = static_cast<int8_t>(level ? 1 : 0);
    }
}

void Box::releaseForced(int p)
{
    if (p >= 1 && p <= 40) {
        forced_[p] = -1;
    }
}

void Box::releaseAllForced()
{
    forced_.fill(-1);
}

void Box::liftVpp(int p, bool lifted)
{
    if (p >= 1 && p <= 40) {
        vppLifted_[p] = lifted;
    }
}

void Box::advance(SimTime units)
{
    if (units > 0) {
        now_ += units;
    }
}

void Box::stepLowAddress()
{
    writePort(1, reverse8(static_cast<uint8_t>(reverse8(portLatch_[1]) + 1)));
    settle();
}

int Box::chipWePin() const
{
    return pageMode_ == 64 ? 33 : 35;
}

// One read of the data bus: the firmware pulls CE (26) and OE (28) low itself.
void Box::readCycle(std::vector<uint8_t>* sample)
{
    forcePin(26, 0);
    forcePin(28, 0);
    uint8_t v = samplePins(sm::kDataPins);
    releaseForced(26);
    releaseForced(28);
    // The caller's address step settles the pins (OE rises with the step).
    if (sample) {
        sample->push_back(v);
    }
}

// One bus write cycle at the address on the pins: data on port 2, OE high, CE
// and WE low, WE rises first.
void Box::writeCycle(uint8_t data, int wePin)
{
    writePort(2, data);
    forcePin(28, 1);
    forcePin(26, 1);
    forcePin(wePin, 1);
    settle();
    forcePin(26, 0);
    forcePin(wePin, 0);
    settle();
    forcePin(wePin, 1);
    settle();
    releaseForced(wePin);
    releaseForced(26);
    releaseForced(28);
    settle();
}

// A write cycle at a fixed address (software data protection sequences), laid
// out as the memory families lay out addresses; the address pins are held only
// for the cycle and go back to their ports afterwards.
void Box::writeCycleAt(uint16_t address, uint8_t data, int wePin)
{
    static const int kPins[15] = {16, 15, 14, 13, 12, 11, 10, 9, 31, 30, 27, 29, 8, 32, 33};
    for (int i = 0; i < 15; ++i) {
        int p = (i == 14 && pageMode_ == 64) ? 7 : kPins[i];
        if (p != wePin) {
            forcePin(p, (address >> i) & 1);
        }
    }
    writeCycle(data, wePin);
    for (int i = 0; i < 15; ++i) {
        releaseForced(kPins[i]);
    }
    releaseForced(7);
    settle();
}

// Program one EPROM byte: data on port 2, the command's strobe for the pulse
// of command 132 (one unit per step), then a verify read with OE low; a Vpp
// route on the OE pin is lifted for the read.
void Box::programEpromByte(uint8_t command, uint8_t data, std::vector<uint8_t>& reply)
{
    int strobe = 26;
    int active = 0;
    switch (command) {
    case 140:
        strobe = 35;
        break;
    case 142:
        strobe = 33;
        break;
    case 144:
        active = 1;
        break;
    default:
        break;
    }
    writePort(2, data);
    forcePin(28, 1);
    if (strobe != 26) {
        forcePin(26, 0);
    }
    forcePin(strobe, 1 - active);
    settle();
    forcePin(strobe, active);
    settle();
    advance(std::max(1, pulse_));
    forcePin(strobe, 1 - active);
    settle();
    liftVpp(28, true);
    forcePin(26, 0);
    forcePin(28, 0);
    if (strobe != 26) {
        forcePin(strobe, 1);
    }
    settle();
    reply.push_back(samplePins(sm::kDataPins));
    releaseAllForced();
    liftVpp(28, false);
    settle();
    stepLowAddress();
}

// --- commands ----------------------------------------------------------------

void Box::execute(uint8_t c, std::span<const uint8_t> ops)
{
    std::vector<uint8_t> reply;
    const uint8_t op = ops.empty() ? 0 : ops[0];

    if (c >= 128 && chip_ && shape(c).operands >= 0) {
        CommandShape s = shape(c);
        std::vector<uint8_t> r(static_cast<size_t>(std::max(0, s.replies)), 0xFF);
        if (chip_->onCommand(*this, *io_, c, ops, r)) {
            settle();
            for (uint8_t v : r) {
                replies_.push_back({v, now_});
            }
            return;
        }
    }

    if (c >= 1 && c <= 5) {
        static const int kPorts[5][8] = {{1, 2, 3, 4, 5, 6, 7, 8},
                                         {9, 10, 11, 12, 13, 14, 15, 16},
                                         {17, 18, 19, 21, 22, 23, 24, 25},
                                         {26, 27, 28, 29, 30, 31, 32, 33},
                                         {34, 35, 36, 37, 38, 39, 0, 0}};
        int n = c == 5 ? 6 : 8;
        uint8_t v = samplePins(std::span<const int>(kPorts[c - 1], static_cast<size_t>(n)));
        if (c == 5) {
            v |= 0xC0; // no pins behind bits 6 and 7
        }
        reply.push_back(v);
    } else if (c >= 8 && c <= 14) {
        pinLatch_[static_cast<size_t>(c - 8)] = op;
        settle();
    } else if (c >= 16 && c <= 20) {
        writePort(c - 16, op);
        settle();
    } else if (c >= 32 && c <= 71) {
        mode_[static_cast<size_t>(c - 31)] = PinMode::Float;
        settle();
    } else if (c >= 80 && c <= 119) {
        mode_[static_cast<size_t>(c - 79)] = PinMode::Drive;
        settle();
    } else if (c >= 140 && c <= 144) {
        programEpromByte(c, op, reply);
    } else if (c >= 160) {
        if (c == 184) {
            std::string sn = options_.serialNumber;
            sn.resize(16, ' ');
            reply.assign(sn.begin(), sn.end());
        } else {
            executeFamily(c, ops, reply);
        }
    } else {
        switch (c) {
        case 0:
        case 30:
        case 31:
        case 79:
            break;
        case 7: {
            if (chip_) {
                chip_->beforeSample(*io_);
            }
            settle();
            reply.push_back(static_cast<uint8_t>(37 | (level_[20].level << 7) | (level_[40].level << 6)));
            break;
        }
        case 15: {
            std::string id = options_.firmwareId;
            id.resize(8, ' ');
            for (int i = 0; i < options_.identityLength; ++i) {
                reply.push_back(i < 8 ? static_cast<uint8_t>(id[static_cast<size_t>(i)])
                                      : options_.identityTail);
            }
            break;
        }
        case 22:
            aux_ = op;
            settle();
            break;
        case 24:
            vppRouteA_ = op;
            settle();
            break;
        case 25:
            vppRouteB_ = op;
            settle();
            break;
        case 26:
            vccRouteA_ = op;
            settle();
            break;
        case 27:
            vccGndRoute_ = op;
            settle();
            break;
        case 128:
            readCycle(&reply);
            stepLowAddress();
            break;
        case 129:
        case 130: {
            std::vector<uint8_t> bytes;
            for (int i = 0; i < 256; ++i) {
                if (i > 0) {
                    advance(1);
                }
                readCycle(&bytes);
                stepLowAddress();
            }
            if (c == 129) {
                bool blank = std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == 0xFF; });
                reply = {0x00, static_cast<uint8_t>(blank ? 1 : 0)};
            } else {
                unsigned sum = 0;
                for (uint8_t b : bytes) {
                    sum += b;
                }
                reply = {static_cast<uint8_t>(sum & 0xFF), static_cast<uint8_t>((sum >> 8) & 0xFF)};
            }
            break;
        }
        case 131:
            pageLength_ = op;
            break;
        case 132:
            pulse_ = op;
            break;
        case 133:
            writeCycle(ops[0], chipWePin());
            writeCycle(ops[1], chipWePin());
            break;
        case 135:
            pageMode_ = op;
            break;
        case 136:
        case 146:
        case 150:
            break; // written byte by byte as the data arrived
        case 137:
            writeCycle(0x40, chipWePin());
            writeCycle(op, chipWePin());
            advance(std::max(1, pulse_));
            readCycle(&reply);
            stepLowAddress();
            break;
        case 138:
            writeCycleAt(0x2AAA, op, chipWePin());
            break;
        case 139:
            writeCycleAt(0x5555, op, chipWePin());
            break;
        case 145:
            writeCycleAt(0x5555, 0xAA, chipWePin());
            writeCycleAt(0x2AAA, 0x55, chipWePin());
            writeCycleAt(0x5555, 0xA0, chipWePin());
            writeCycle(op, chipWePin());
            advance(std::max(1, pulse_));
            readCycle(&reply);
            stepLowAddress();
            break;
        case 147:
            stepLowAddress();
            break;
        default:
            break;
        }
    }
    for (uint8_t v : reply) {
        replies_.push_back({v, now_});
    }
}

// Family commands without a chip hook: the plain pin transfers are the box's
// own; the serial protocols need the chip model and answer 0xFF without one.
void Box::executeFamily(uint8_t c, std::span<const uint8_t> ops, std::vector<uint8_t>& reply)
{
    const uint8_t op = ops.empty() ? 0 : ops[0];
    switch (c) {
    case 160:
        reply.push_back(samplePins(kP0Pins));
        return;
    case 161:
        firmwareWritePins(kP0Pins, op, true);
        return;
    case 165:
        reply.push_back(samplePins(kLowPins));
        return;
    case 166:
        firmwareWritePins(kLowPins, op, true);
        return;
    case 176:
        // Two-wire byte: each bit on SDA (21) while SCL (22) is low, then a
        // high pulse on SCL; H is the released pin, L its sinking driver.
        for (int i = 7; i >= 0; --i) {
            mode_[21] = ((op >> i) & 1) ? PinMode::Float : PinMode::Drive;
            settle();
            mode_[22] = PinMode::Float;
            settle();
            mode_[22] = PinMode::Drive;
            settle();
        }
        advance(8);
        return;
    default:
        break;
    }
    CommandShape s = shape(c);
    reply.assign(static_cast<size_t>(std::max(0, s.replies)), 0xFF);
    record(Severity::Warning, ProblemKind::Chip,
           "family command " + std::to_string(c) + " with no chip model to serve it");
}

} // namespace pontvex::boxsim

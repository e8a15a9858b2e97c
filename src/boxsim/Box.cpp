#include "boxsim/Box.h"

#include "boxsim/SocketMap.h"
#include "link/BoxCommands.h"

#include <algorithm>
#include <sstream>

namespace pontvex::boxsim {

namespace sm = socketmap;

namespace {

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
    const BoxCommand* row = findBoxCommand(c);
    if (!row) {
        return {-1, 0};
    }
    if (row->action == BoxAction::Identity) {
        return {0, options_.identityLength}; // a short answer is a fault to inject
    }
    return {row->operands == kPageLengthOperands ? -2 : row->operands, row->replies};
}

std::string Box::describe(uint8_t c, std::span<const uint8_t> ops)
{
    return describeBoxCommand(c, ops);
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
// of command 132 (one unit per step), then a verify read with OE low and the
// data port released; a Vpp route on the OE pin is lifted for the read.
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
    // The verify reads the pins, not the box's own latch: with the data port
    // released, an empty socket or a bit that did not program reads 1.
    writePort(2, 0xFF);
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
    const BoxCommand& row = boxCommand(c); // process() lets only commands through
    std::vector<uint8_t> reply;
    const uint8_t op = ops.empty() ? 0 : ops[0];

    // The firmware commands go to the chip model first: a chip that knows the
    // command answers it as its own algorithm would.
    if (c >= 128 && chip_ && row.operands != kPageLengthOperands) {
        std::vector<uint8_t> r(static_cast<size_t>(std::max(0, shape(c).replies)), 0xFF);
        if (chip_->onCommand(*this, *io_, c, ops, r)) {
            settle();
            for (uint8_t v : r) {
                replies_.push_back({v, now_});
            }
            return;
        }
    }

    const int index = c - row.first;
    switch (row.action) {
    case BoxAction::PowerDown:
    case BoxAction::NoOperation:
        if (c == 31) {
            // "Driver off" for pin 0: outside the box's table, which starts
            // its driver-off commands at pin 1. Families send it for rows
            // without such a pin; the box does nothing, but it is worth seeing.
            record(Severity::Warning, ProblemKind::Protocol,
                   "command 31 (driver off for pin 0) is not in the box's table; nothing done");
        }
        break;
    case BoxAction::ReadPort: {
        static const int kPorts[5][8] = {{1, 2, 3, 4, 5, 6, 7, 8},
                                         {9, 10, 11, 12, 13, 14, 15, 16},
                                         {17, 18, 19, 21, 22, 23, 24, 25},
                                         {26, 27, 28, 29, 30, 31, 32, 33},
                                         {34, 35, 36, 37, 38, 39, 0, 0}};
        const int n = index == 4 ? 6 : 8;
        uint8_t v = samplePins(std::span<const int>(kPorts[index], static_cast<size_t>(n)));
        if (index == 4) {
            v |= 0xC0; // no pins behind bits 6 and 7
        }
        reply.push_back(v);
        break;
    }
    case BoxAction::Status:
        if (chip_) {
            chip_->beforeSample(*io_);
        }
        settle();
        reply.push_back(static_cast<uint8_t>(37 | (level_[20].level << 7) | (level_[40].level << 6)));
        break;
    case BoxAction::WritePinLatch:
        pinLatch_[static_cast<size_t>(index)] = op;
        settle();
        break;
    case BoxAction::Identity: {
        std::string id = options_.firmwareId;
        id.resize(8, ' ');
        for (int i = 0; i < options_.identityLength; ++i) {
            reply.push_back(i < 8 ? static_cast<uint8_t>(id[static_cast<size_t>(i)]) : options_.identityTail);
        }
        break;
    }
    case BoxAction::WritePort:
        writePort(index, op);
        settle();
        break;
    case BoxAction::WriteAux:
        aux_ = op;
        settle();
        break;
    case BoxAction::WriteVppRouteA:
        vppRouteA_ = op;
        settle();
        break;
    case BoxAction::WriteVppRouteB:
        vppRouteB_ = op;
        settle();
        break;
    case BoxAction::WriteVccRouteA:
        vccRouteA_ = op;
        settle();
        break;
    case BoxAction::WriteVccGndRoute:
        vccGndRoute_ = op;
        settle();
        break;
    case BoxAction::DriverOff:
        mode_[static_cast<size_t>(index + 1)] = PinMode::Float;
        settle();
        break;
    case BoxAction::DriverOn:
        mode_[static_cast<size_t>(index + 1)] = PinMode::Drive;
        settle();
        break;
    case BoxAction::ReadData:
        readCycle(&reply);
        stepLowAddress();
        break;
    case BoxAction::BlankCheck:
    case BoxAction::Sum: {
        std::vector<uint8_t> bytes;
        for (int i = 0; i < 256; ++i) {
            if (i > 0) {
                advance(1);
            }
            readCycle(&bytes);
            stepLowAddress();
        }
        if (row.action == BoxAction::BlankCheck) {
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
    case BoxAction::PageLength:
        pageLength_ = op;
        break;
    case BoxAction::PulseParameter:
        pulse_ = op;
        break;
    case BoxAction::TwoCommandCycles:
        writeCycle(ops[0], chipWePin());
        writeCycle(ops[1], chipWePin());
        break;
    case BoxAction::PageWriteMode:
        pageMode_ = op;
        break;
    case BoxAction::PageData:
        break; // written byte by byte as the data arrived
    case BoxAction::ProgramFlashStatus:
        writeCycle(0x40, chipWePin());
        writeCycle(op, chipWePin());
        advance(std::max(1, pulse_));
        // The status read needs OE at logic low: a boot-block unlock route of
        // 12 V on OE is lifted for it, as for the EPROM verify read.
        writePort(2, 0xFF);
        liftVpp(28, true);
        settle();
        readCycle(&reply);
        liftVpp(28, false);
        settle();
        stepLowAddress();
        break;
    case BoxAction::WriteCycle2AAA:
        writeCycleAt(0x2AAA, op, chipWePin());
        break;
    case BoxAction::WriteCycle5555:
        writeCycleAt(0x5555, op, chipWePin());
        break;
    case BoxAction::ProgramEprom:
        programEpromByte(c, op, reply);
        break;
    case BoxAction::ProgramFlash:
        writeCycleAt(0x5555, 0xAA, chipWePin());
        writeCycleAt(0x2AAA, 0x55, chipWePin());
        writeCycleAt(0x5555, 0xA0, chipWePin());
        writeCycle(op, chipWePin());
        advance(std::max(1, pulse_));
        readCycle(&reply);
        stepLowAddress();
        break;
    case BoxAction::StepAddress:
        stepLowAddress();
        break;
    case BoxAction::ReadPort0Pins:
        reply.push_back(samplePins(kP0Pins));
        break;
    case BoxAction::WritePort0Pins:
        firmwareWritePins(kP0Pins, op, true);
        break;
    case BoxAction::ReadLowPins:
        reply.push_back(samplePins(kLowPins));
        break;
    case BoxAction::WriteLowPins:
        firmwareWritePins(kLowPins, op, true);
        break;
    case BoxAction::TwoWireByte:
        twoWireByte(op);
        break;
    case BoxAction::ChipModel:
        // The serial commands clock the chip's own protocol on its pins
        // (firmware/*.cpp); the ones the box does not know answer all ones.
        if (!serialCommand(c, ops, reply)) {
            reply.assign(static_cast<size_t>(row.replies), 0xFF);
            record(Severity::Warning, ProblemKind::Protocol,
                   "family command " + std::to_string(c) + " is not built into this box");
        }
        break;
    case BoxAction::SerialNumber: {
        std::string sn = options_.serialNumber;
        sn.resize(16, ' ');
        reply.assign(sn.begin(), sn.end());
        break;
    }
    }
    for (uint8_t v : reply) {
        replies_.push_back({v, now_});
    }
}

// Two-wire byte: eight bits on SDA (21), most significant first, each set
// while SCL (22) is low and followed by a high pulse on SCL; H is the released
// pin, L its driver. No step moves both lines: SCL goes low first (its own
// step, when the program left it high), then SDA takes the bit, then SCL
// rises and falls again, so the chip sees data changes only while SCL is low
// and no START or STOP inside the byte. SCL ends low, SDA keeps the last bit.
// Where a single port write of the program moves both lines, the chip models
// take SCL as the line that moved first. The clocks run at the bus's standard
// 100 kHz, so the byte is out within the time its operand takes on the line:
// the family streams these commands without waiting and must not overrun
// the input buffer.
void Box::twoWireByte(uint8_t value)
{
    if (mode_[22] != PinMode::Drive) {
        mode_[22] = PinMode::Drive;
        settle();
    }
    for (int i = 7; i >= 0; --i) {
        mode_[21] = ((value >> i) & 1) ? PinMode::Float : PinMode::Drive;
        settle();
        mode_[22] = PinMode::Float;
        settle();
        mode_[22] = PinMode::Drive;
        settle();
    }
}

} // namespace pontvex::boxsim

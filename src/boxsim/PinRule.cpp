// The pin rule: how the box's registers, the drivers, the supply switches, the
// firmware and the chip in the socket combine into the level of each of the 40
// socket pins. The hardware's own documentation never says; this is the one
// rule under which every command sequence of every family works, and the
// boxsim tests keep those sequences (tests/boxsim/PinRuleTest.cpp).
//
// State per pin p:
//   latch[p]  pin-latch bit (commands 8..14; pin 20 = latch 6 bit 7, pin 40 =
//             latch 6 bit 6). It is a *release* bit: 1 lets the pin go, 0 lets
//             the driver sink it or the port bit through.
//   port[p]   port-latch bit (commands 16..20 and the firmware's address and
//             data writes); pins 20 and 40 have none.
//   mode[p]   who owns the pin: the last command that named it.
//             - a port write (16..20, firmware address steps and data) makes
//               every pin of that port PORT-owned, changed bit or not;
//             - 32..71 (driver off) -> FLOAT, 80..119 (driver on) -> DRIVE;
//             - pin-latch writes change latch bits only, never the owner.
//             At power-on every pin is FLOAT.
//   switches  Vpp (24/25), Vcc (26, 27 bits 0..2, active low), ground (27
//             bits 3..7); Vpp level code = latch 6 bits 0..3 inverted; Vcc
//             level raised when 25 bit 7 is 0; clock on 19 when aux bit 4 is
//             low, on 15 when aux bit 5 is low.
//
// Level of pin p, the first line that applies:
//   1. ground switch on                        -> 0
//   2. Vpp switch on (not lifted by firmware)  -> Vpp at its code; code 0 is a
//      Vcc switch on                              logic-level 5 V, reads 1
//   3. line stuck by an injected fault         -> that level
//   4. held by a running firmware command      -> that level
//   5. DRIVE and latch 0                       -> 0, strong sink
//   6. the powered chip drives p               -> the chip's level
//   7. the clock is routed to p                -> the running clock
//   8. PORT and (latch 0, or p is 7 or 8)      -> port bit, weak
//   9. otherwise (FLOAT, DRIVE or PORT with latch 1) -> 1, pull-up
//
// Why these choices:
// - A later port write takes back a driven or floated pin: chip selects and
//   strobes that a family raised with a port write after driving them low
//   must rise.
// - Supplies beat a sinking driver: several sequences sink a pin and then
//   switch Vpp onto it; the pin must carry Vpp.
// - Pins 7 and 8 follow their port bit whatever their latch: the page-write
//   package modes set those latches to 1 while the pins carry address bits.
// - Port bits are weak: a chip output beats them, so a read-back in bus mode
//   15 sees the chip and not the data the box wrote.
// - Firmware reads (128, 129, 130) pull pins 26 (CE) and 28 (OE) low
//   themselves: some reads never drive the chip selects.
// - 161 and 166 clear the latch bits of the pins they write, or the data
//   would float high where a family released those pins before.
// - An unpowered chip drives nothing. A chip is powered while its Vcc pin
//   reads 1 and its GND pin reads 0, whatever makes them so: several families
//   power chips from port bits and sinking drivers.
// Shorted pins (fault injection) are wired-AND after the rule.

#include "boxsim/Box.h"
#include "boxsim/SocketMap.h"

#include <algorithm>
#include <cstdio>

namespace pontvex::boxsim {

namespace sm = socketmap;

const char* pinSourceName(PinSource source)
{
    switch (source) {
    case PinSource::Ground:
        return "ground";
    case PinSource::Vpp:
        return "Vpp";
    case PinSource::Vcc:
        return "Vcc";
    case PinSource::Stuck:
        return "stuck";
    case PinSource::Firmware:
        return "firmware";
    case PinSource::Sink:
        return "sink";
    case PinSource::Chip:
        return "chip";
    case PinSource::Clock:
        return "clock";
    case PinSource::Port:
        return "port";
    case PinSource::Pullup:
        return "pull-up";
    }
    return "?";
}

int vppCodeMillivolts(int code)
{
    switch (code) {
    case 0:
        return 5000;
    case 2:
        return 10000;
    case 3:
        return 10800;
    case 4:
        return 12000;
    case 5:
        return 12700;
    case 7:
        return 21000;
    case 8:
        return 13300;
    case 9:
        return 14000;
    case 12:
        return 25000;
    default:
        return 25000; // an undefined code may give anything: assume the worst
    }
}

int PinLevel::millivolts() const
{
    switch (source) {
    case PinSource::Vpp:
        return vppCodeMillivolts(vppCode);
    case PinSource::Vcc:
        return vccRaised ? 6500 : 5000;
    default:
        return level ? 5000 : 0;
    }
}

namespace {

// Register bits of every socket pin, looked up once.
struct PinInfo {
    int8_t latchReg = -1, latchBit = 0, portReg = -1, portBit = 0;
};
struct PinInfoTable {
    PinInfo pin[41];
    PinInfoTable()
    {
        for (int p = 1; p <= 40; ++p) {
            sm::Bit l = sm::pinLatchBit(p), b = sm::portBit(p);
            pin[p] = {static_cast<int8_t>(l.reg), static_cast<int8_t>(l.bit), static_cast<int8_t>(b.reg),
                      static_cast<int8_t>(b.bit)};
        }
    }
};
const PinInfoTable kPins;

constexpr uint64_t bit(int p)
{
    return uint64_t{1} << p;
}

} // namespace

void Box::updateSwitchMasks()
{
    gndMask_ = vppMask_ = vccMask_ = 0;
    static const int kVppA[8] = {1, 5, 7, 9, 10, 11, 12, 15};
    static const int kVppB[7] = {20, 28, 29, 30, 31, 34, 40};
    static const int kVccA[8] = {8, 17, 25, 27, 28, 30, 32, 34};
    static const int kVccC[3] = {36, 40, 26};
    static const int kGnd[5] = {25, 10, 16, 20, 31};
    for (int i = 0; i < 8; ++i) {
        if ((vppRouteA_ >> i) & 1) {
            vppMask_ |= bit(kVppA[i]);
        }
        if (!((vccRouteA_ >> i) & 1)) {
            vccMask_ |= bit(kVccA[i]);
        }
    }
    for (int i = 0; i < 7; ++i) {
        if ((vppRouteB_ >> i) & 1) {
            vppMask_ |= bit(kVppB[i]);
        }
    }
    for (int i = 0; i < 3; ++i) {
        if (!((vccGndRoute_ >> i) & 1)) {
            vccMask_ |= bit(kVccC[i]);
        }
    }
    for (int i = 0; i < 5; ++i) {
        if ((vccGndRoute_ >> (i + 3)) & 1) {
            gndMask_ |= bit(kGnd[i]);
        }
    }
    gndMask_ &= ~brokenSwitches_;
    vppMask_ &= ~brokenSwitches_;
    vccMask_ &= ~brokenSwitches_;
}

PinLevel Box::resolve(int p, bool withChip) const
{
    PinLevel r;
    const uint64_t b = bit(p);
    if (gndMask_ & b) {
        r.level = 0;
        r.source = PinSource::Ground;
        return r;
    }
    if ((vppMask_ & b) && !vppLifted_[p]) {
        r.level = 1;
        r.source = PinSource::Vpp;
        r.vppCode = vppCode();
        return r;
    }
    if (vccMask_ & b) {
        r.level = 1;
        r.source = PinSource::Vcc;
        r.vccRaised = vccRaised();
        return r;
    }
    if (stuck_[p] >= 0) {
        r.level = stuck_[p];
        r.source = PinSource::Stuck;
        return r;
    }
    if (forced_[p] >= 0) {
        r.level = forced_[p];
        r.source = PinSource::Firmware;
        return r;
    }
    const PinInfo& info = kPins.pin[p];
    int latch = info.latchReg >= 0 ? (pinLatch_[static_cast<size_t>(info.latchReg)] >> info.latchBit) & 1 : 1;
    if (mode_[p] == PinMode::Drive && latch == 0) {
        r.level = 0;
        r.source = PinSource::Sink;
        return r;
    }
    if (withChip && chipDrive_[p] >= 0) {
        r.level = chipDrive_[p];
        r.source = PinSource::Chip;
        return r;
    }
    if ((p == 19 && (aux_ & 0x10) == 0) || (p == 15 && (aux_ & 0x20) == 0)) {
        r.level = static_cast<int>(now_) & 1;
        r.source = PinSource::Clock;
        return r;
    }
    if (mode_[p] == PinMode::Port && info.portReg >= 0 && (latch == 0 || p == 7 || p == 8)) {
        r.level = (portLatch_[static_cast<size_t>(info.portReg)] >> info.portBit) & 1;
        r.source = PinSource::Port;
        return r;
    }
    return r;
}

int Box::clockPin() const
{
    if ((aux_ & 0x10) == 0) {
        return 19;
    }
    if ((aux_ & 0x20) == 0) {
        return 15;
    }
    return 0;
}

bool Box::chipPowered() const
{
    int v = chipVcc_, g = chipGnd_;
    return chip_ && v != 0 && g != 0 && level_[v].level == 1 && level_[g].level == 0;
}

void Box::settle()
{
    updateSwitchMasks();
    bool powered = false;
    if (chip_ && chipVcc_ && chipGnd_) {
        powered = resolve(chipVcc_, false).level == 1 && resolve(chipGnd_, false).level == 0;
    }
    // The first pass resolves every pin; later passes only the pins whose
    // chip outputs changed (nothing else moves while the chip settles).
    uint64_t dirty = ~uint64_t{0};
    for (int round = 0; round < 8 && dirty; ++round) {
        if (!shorts_.empty()) {
            dirty = ~uint64_t{0};
        }
        for (int p = 1; p <= 40; ++p) {
            if (!((dirty >> p) & 1)) {
                continue;
            }
            level_[p] = resolve(p, powered);
            if (powered && chipDrive_[p] >= 0 && level_[p].source != PinSource::Chip &&
                level_[p].level != chipDrive_[p] && level_[p].source != PinSource::Clock) {
                char buf[120];
                std::snprintf(buf, sizeof buf, "contention on pin %d: chip drives %d, %s holds %d", p,
                              chipDrive_[p], pinSourceName(level_[p].source), level_[p].level);
                record(Severity::Warning, ProblemKind::Chip, buf);
            }
        }
        for (auto [a, b] : shorts_) {
            int both = level_[a].level & level_[b].level;
            for (int p : {a, b}) {
                if (level_[p].level != both) {
                    level_[p].level = both;
                    level_[p].source = PinSource::Stuck;
                }
            }
        }
        if (!chip_) {
            break;
        }
        bool changed = !chipNotified_;
        for (int p = chipFirst_; p <= chipLast_ && !changed; ++p) {
            changed = !(level_[p] == chipSeen_[p]);
        }
        if (!changed) {
            break;
        }
        if (!chipNotified_) {
            chipSeen_ = level_;
            chipNotified_ = true;
        }
        driveDirty_ = 0;
        chip_->onPins(chipIo());
        for (int p = chipFirst_; p <= chipLast_; ++p) {
            chipSeen_[p] = level_[p];
        }
        dirty = driveDirty_;
        if (round == 7 && dirty) {
            record(Severity::Warning, ProblemKind::Chip, "chip outputs do not settle");
        }
    }
    checkMonitor();
}

void Box::refreshChip()
{
    if (chip_) {
        chip_->onPins(chipIo());
    }
    settle();
}

PinLevel Box::pin(int socketPin) const
{
    if (socketPin < 1 || socketPin > 40) {
        return PinLevel{};
    }
    return level_[socketPin];
}

PinMode Box::pinMode(int socketPin) const
{
    return socketPin >= 1 && socketPin <= 40 ? mode_[socketPin] : PinMode::Float;
}

} // namespace pontvex::boxsim

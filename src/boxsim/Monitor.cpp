#include "boxsim/Box.h"
#include "boxsim/SocketMap.h"

#include <string>

// The safety monitor: what would hurt the box or the chip on a real socket.
// Errors fail a test run; warnings are things families do on purpose.
//   errors:   a ground switch together with a Vcc or Vpp switch on one pin,
//             or on a pin the box drives high itself;
//             Vcc and Vpp switched onto one pin; Vpp above 5 V on a chip pin
//             that does not take it, or above what that pin takes; Vcc taken
//             from the chip while Vpp stays on it; a supply on the chip's GND.
//   warnings: a supply against a sinking driver; Vpp on a chip that is not
//             powered; contention between the chip and the box (PinRule.cpp).

namespace pontvex::boxsim {

namespace sm = socketmap;

// What makes the box drive a pin high on its own, or null: a running firmware
// command holding it at 1, or a port bit 1 let through by a pin latch 0 (pins
// 7 and 8 whatever their latch). Against a closed ground switch either one is
// a short through the box's output stage. A driver with pin latch 1 has let
// go of the pin (the hardware probe grounds pin 31 that way on every connect).
const char* Box::drivenHighBy(int p) const
{
    if (forced_[static_cast<size_t>(p)] == 1) {
        return "a firmware command holds it at 1";
    }
    const sm::Bit lb = sm::pinLatchBit(p);
    const int latch = lb.reg >= 0 ? (pinLatch_[static_cast<size_t>(lb.reg)] >> lb.bit) & 1 : 1;
    const sm::Bit pb = sm::portBit(p);
    if (mode_[static_cast<size_t>(p)] == PinMode::Port && pb.reg >= 0 && (latch == 0 || p == 7 || p == 8) &&
        ((portLatch_[static_cast<size_t>(pb.reg)] >> pb.bit) & 1)) {
        return "its port bit is 1";
    }
    return nullptr;
}

void Box::checkMonitor()
{
    const uint64_t any = gndMask_ | vppMask_ | vccMask_;
    for (int p = 1; p <= 40 && any; ++p) {
        const uint64_t b = uint64_t{1} << p;
        bool gnd = gndMask_ & b, vpp = vppMask_ & b, vcc = vccMask_ & b;
        if (!gnd && !vpp && !vcc) {
            continue;
        }
        std::string pin = "pin " + std::to_string(p);
        if (gnd && vpp) {
            record(Severity::Error, ProblemKind::Monitor, pin + ": ground and Vpp switched together (short)");
        }
        if (gnd && vcc) {
            record(Severity::Error, ProblemKind::Monitor, pin + ": ground and Vcc switched together (short)");
        }
        if (vcc && vpp) {
            record(Severity::Error, ProblemKind::Monitor, pin + ": Vcc and Vpp switched together");
        }
        if (gnd && !vpp && !vcc) {
            if (const char* by = drivenHighBy(p)) {
                record(Severity::Error, ProblemKind::Monitor,
                       pin + ": ground switched onto a pin the box drives high (" + by + ")");
            }
        }
        if ((vcc || vpp) && !gnd && mode_[p] == PinMode::Drive) {
            sm::Bit lb = sm::pinLatchBit(p);
            if (lb.reg >= 0 && !((pinLatch_[lb.reg] >> lb.bit) & 1)) {
                record(Severity::Warning, ProblemKind::Monitor, pin + ": supply against a sinking driver");
            }
        }
    }

    if (!chip_) {
        highVoltageOnChip_ = false;
        chipWasPowered_ = false;
        return;
    }
    const std::string& name = chip_->name();
    bool highVoltage = false;
    for (int k = 1; k <= chip_->pinCount(); ++k) {
        const PinLevel& l = level_[chip_->socketPin(k)];
        if (!l.supplied()) {
            continue;
        }
        std::string where =
            "chip pin " + std::to_string(k) + " (socket " + std::to_string(chip_->socketPin(k)) + ")";
        int mv = l.millivolts();
        if (l.source == PinSource::Vpp && l.vppCode != 0) {
            highVoltage = true;
        }
        if (l.supplied() && mv > chip_->maxMillivolts(k)) {
            if (chip_->maxMillivolts(k) <= 7000) {
                record(Severity::Error, ProblemKind::Monitor,
                       std::to_string(mv) + " mV on " + where + ", which is no high-voltage pin of " + name);
            } else {
                record(Severity::Error, ProblemKind::Monitor,
                       std::to_string(mv) + " mV on " + where + ", above the " +
                           std::to_string(chip_->maxMillivolts(k)) + " mV " + name + " takes there");
            }
        }
        if (k == chip_->gndPin() && l.supplied()) {
            record(Severity::Error, ProblemKind::Monitor, "supply on the GND pin of " + name);
        }
    }
    bool powered = chipPowered();
    if (highVoltage && chipWasPowered_ && !powered && highVoltageOnChip_) {
        record(chip_->toleratesVppWithoutVcc() ? Severity::Warning : Severity::Error, ProblemKind::Monitor,
               "Vcc removed from " + name + " while Vpp stays on it");
    } else if (highVoltage && !powered && !highVoltageOnChip_) {
        record(Severity::Warning, ProblemKind::Monitor, "Vpp on " + name + " while it is not powered");
    }
    highVoltageOnChip_ = highVoltage;
    chipWasPowered_ = powered;
}

} // namespace pontvex::boxsim

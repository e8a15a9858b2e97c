#pragma once

// A chip model on a bench of its own, without a box: the test sets the
// levels the master puts on each pin and lets time pass; every line is
// wired-AND with a pull-up, so a chip output of 0 (or an open-drain pull)
// wins over a released master line and a master 0 wins over everything.

#include "boxsim/ChipModel.h"

#include <array>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace pontvex::boxsim::simtest {

class SlavePins : public ChipIo {
public:
    explicit SlavePins(ChipModel& chip) : chip_(chip)
    {
        master_.fill(1);
        drive_.fill(-1);
    }

    // Master side ----------------------------------------------------------
    void set(int pin, int level)
    {
        master_.at(static_cast<size_t>(pin)) = level ? 1 : 0;
        notify();
    }
    // Several pins in one step, as one port write would move them.
    void setTogether(std::initializer_list<std::pair<int, int>> levels)
    {
        for (auto [pin, level] : levels) {
            master_.at(static_cast<size_t>(pin)) = level ? 1 : 0;
        }
        notify();
    }
    int level(int pin) const { return resolve(pin).level; }
    // What the chip does with a pin: -1 released, else the level it drives.
    int chipDrive(int pin) const { return drive_.at(static_cast<size_t>(pin)); }
    void wait(SimTime units)
    {
        now_ += units;
        chip_.beforeSample(*this);
        notify();
    }
    void powerUp(int vcc, int gnd)
    {
        master_.at(static_cast<size_t>(gnd)) = 0;
        master_.at(static_cast<size_t>(vcc)) = 1;
        notify();
    }
    void powerDown(int vcc)
    {
        master_.at(static_cast<size_t>(vcc)) = 0;
        notify();
    }
    // A level as read after the chip has caught up with time.
    int sample(int pin)
    {
        chip_.beforeSample(*this);
        notify();
        return level(pin);
    }
    const std::vector<std::string>& warnings() const { return warnings_; }
    const std::vector<std::string>& errors() const { return errors_; }

    // ChipIo --------------------------------------------------------------
    SimTime now() const override { return now_; }
    PinLevel pin(int chipPin) const override { return resolve(chipPin); }
    PinLevel previous(int chipPin) const override { return seen_.at(static_cast<size_t>(chipPin)); }
    bool powered() const override
    {
        return resolve(chip_.vccPin()).level == 1 && resolve(chip_.gndPin()).level == 0;
    }
    bool supplied() const override { return powered(); }
    void drive(int chipPin, int level) override { drive_.at(static_cast<size_t>(chipPin)) = level ? 1 : 0; }
    void release(int chipPin) override { drive_.at(static_cast<size_t>(chipPin)) = -1; }
    void releaseAll() override { drive_.fill(-1); }
    void note(const std::string&) override {}
    void damage(const std::string& text) override { errors_.push_back(text); }
    void warn(const std::string& text) override { warnings_.push_back(text); }

private:
    PinLevel resolve(int chipPin) const
    {
        PinLevel r;
        const auto p = static_cast<size_t>(chipPin);
        const int chipLevel = drive_.at(p) >= 0 && poweredRaw() ? drive_.at(p) : 1;
        r.level = master_.at(p) & chipLevel;
        r.source = master_.at(p) == 0 ? PinSource::Sink
                   : chipLevel == 0   ? PinSource::Chip
                                      : PinSource::Pullup;
        return r;
    }
    bool poweredRaw() const
    {
        return master_.at(static_cast<size_t>(chip_.vccPin())) == 1 &&
               master_.at(static_cast<size_t>(chip_.gndPin())) == 0;
    }
    void notify()
    {
        for (int round = 0; round < 8; ++round) {
            std::array<PinLevel, 41> now{};
            bool changed = !notified_;
            for (int p = 1; p <= chip_.pinCount(); ++p) {
                now[static_cast<size_t>(p)] = resolve(p);
                changed = changed || !(now[static_cast<size_t>(p)] == seen_[static_cast<size_t>(p)]);
            }
            if (!changed) {
                return;
            }
            if (!notified_) {
                seen_ = now;
                notified_ = true;
            }
            chip_.onPins(*this);
            seen_ = now;
        }
        warnings_.push_back("chip outputs do not settle");
    }

    ChipModel& chip_;
    SimTime now_ = 0;
    std::array<int, 41> master_{};
    std::array<int, 41> drive_{};
    std::array<PinLevel, 41> seen_{};
    bool notified_ = false;
    std::vector<std::string> warnings_;
    std::vector<std::string> errors_;
};

} // namespace pontvex::boxsim::simtest

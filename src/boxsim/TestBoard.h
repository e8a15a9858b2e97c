#pragma once

#include "boxsim/ChipModel.h"

#include <array>
#include <string>
#include <vector>

namespace pontvex::boxsim {

// The service test board in the socket: an LED with its load on each of the
// 40 pins and nothing that drives. It records what every pin went through,
// so a test can check a button of the service window the way the person at
// the board does: which LEDs lit and for how long, which pins got Vpp or Vcc
// and in what order, and the state the socket was left in.
class TestBoard : public ChipModel {
public:
    // What one pin showed, for how long (in byte times).
    enum class Show { Dark, Lit, Ground, Vpp, Vcc, Clock };
    struct Span {
        int pin;
        Show show;
        SimTime from, to;
        int vppCode = 0;
        SimTime length() const { return to - from; }
    };

    std::string name() const override { return "TESTBOARD"; }
    int pinCount() const override { return 40; }
    int firstSocketPin() const override { return 1; }
    int vccPin() const override { return 40; }
    int gndPin() const override { return 20; }
    // The board takes the box's highest level on any pin, Vpp with Vcc off included.
    int maxMillivolts(int chipPin) const override
    {
        (void)chipPin;
        return 26000;
    }
    bool toleratesVppWithoutVcc() const override { return true; }
    void onPins(ChipIo& io) override;

    // Spans that ended, in the order they ended, plus those still open up to now.
    std::vector<Span> spans(SimTime now) const;
    // The spans of one kind, in the order they began.
    std::vector<Span> spansOf(Show show, SimTime now) const;
    // Forget everything seen so far (between two buttons).
    void clear(SimTime now);
    Show showing(int pin) const { return current_[static_cast<size_t>(pin)].show; }

private:
    static Show classify(const PinLevel& level);
    std::vector<Span> closed_;
    std::array<Span, 41> current_{};
    bool started_ = false;
};

} // namespace pontvex::boxsim

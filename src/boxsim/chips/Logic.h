#pragma once

#include "boxsim/ChipModel.h"
#include "iclib/LogicTypes.h"

#include <string>
#include <vector>

namespace pontvex::boxsim {

// A 74, 40 or 45 series logic chip run from its function table: gates
// evaluated from the pins on every change, flip-flops and counters on their
// edges. Outputs only while Vcc is on its pin and ground on its ground pin;
// a three-state output that is off releases its pin.
class LogicChip : public ChipModel {
public:
    explicit LogicChip(const iclib::LogicType& type, std::string name = {});

    std::string name() const override { return name_; }
    int pinCount() const override { return type_.pins; }
    int vccPin() const override { return type_.vccPin(); }
    int gndPin() const override { return type_.gndPin(); }
    void onPins(ChipIo& io) override;

    const iclib::LogicType& type() const { return type_; }
    // Knobs: an output held at one level whatever the inputs, and the
    // stored bit every flip-flop or counter wakes up with.
    void setStuckOutput(int chipPin, int level)
    {
        stuckPin_ = chipPin;
        stuckLevel_ = level;
    }
    void setPowerUpState(int q);

private:
    const iclib::LogicType& type_;
    std::string name_;
    std::vector<iclib::ElementState> state_;
    bool powered_ = false;
    int stuckPin_ = 0;
    int stuckLevel_ = 0;
};

} // namespace pontvex::boxsim

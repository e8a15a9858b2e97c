#include "boxsim/chips/Logic.h"

#include "boxsim/chips/Registry.h"

#include <memory>

namespace pontvex::boxsim {

LogicChip::LogicChip(const iclib::LogicType& type, std::string name)
    : type_(type), name_(name.empty() ? type.name : std::move(name)),
      state_(type.elements.size(), iclib::ElementState{1, 1, 1})
{
}

void LogicChip::setPowerUpState(int q)
{
    for (iclib::ElementState& s : state_)
        s.q = q;
}

void LogicChip::onPins(ChipIo& io)
{
    const PinLevel vcc = io.pin(vccPin());
    if (vcc.level == 0 && (vcc.source == PinSource::Sink || vcc.source == PinSource::Port) &&
        io.previous(vccPin()).source == PinSource::Vcc)
        io.warn(name_ + ": the box pulls the Vcc pin low under the supply");
    // A logic high from a latch on the Vcc pin is no supply.
    if (!io.supplied()) {
        powered_ = false;
        io.releaseAll();
        return;
    }
    if (!powered_) {
        // Waking up: the clocks are at whatever level they are now, no edge.
        powered_ = true;
        for (size_t k = 0; k < type_.elements.size(); ++k) {
            const iclib::Element& e = type_.elements[k];
            if (e.in.size() >= 2) {
                const bool counter = e.op == iclib::Op::Counter10 || e.op == iclib::Op::Counter16 ||
                                     e.op == iclib::Op::Decade4017;
                const size_t clock = counter ? 0 : e.op == iclib::Op::Shift164 ? 2 : 1;
                state_[k].clock = io.pin(e.in[clock]).level;
                state_[k].enable = io.pin(e.in[1]).level;
            }
        }
    }
    std::vector<iclib::PinDrive> out;
    std::vector<int> in;
    for (size_t k = 0; k < type_.elements.size(); ++k) {
        const iclib::Element& e = type_.elements[k];
        in.clear();
        const bool isSwitch = e.op == iclib::Op::Switch4066;
        for (int p : e.in) {
            // A switch passes the box's low, not the low it drives itself.
            const PinLevel level = io.pin(p);
            in.push_back(isSwitch && level.source == PinSource::Chip ? 1 : level.level);
        }
        out.clear();
        iclib::evaluate(e, in, state_[k], out);
        if (isSwitch)
            for (size_t side = 0; side < 2; ++side) {
                bool pulled = false;
                for (const iclib::PinDrive& d : out)
                    pulled = pulled || d.pin == e.in[side];
                if (!pulled && io.pin(e.in[side]).source == PinSource::Chip)
                    io.release(e.in[side]);
            }
        for (const iclib::PinDrive& d : out) {
            if (d.pin == stuckPin_)
                io.drive(d.pin, stuckLevel_);
            else if (d.driven)
                io.drive(d.pin, d.level);
            else
                io.release(d.pin);
        }
    }
}

void addLogicOffers(std::vector<ChipOffer>& offers)
{
    using iclib::findLogicType;
    // The device list names the tester once per series; its chip is the
    // series' first type.
    const struct {
        const char* name;
        const char* type;
        int series;
    } kSeriesRows[] = {{"74xx", "7400", 0}, {"40xx", "4011", 1}, {"45xx", "4520", 2}};
    for (const auto& row : kSeriesRows) {
        const iclib::LogicType* t = findLogicType(row.type);
        offers.push_back(
            {row.name,
             {{"ICTEST", row.series}},
             std::string("logic tester's series chip: ") + row.type,
             [t, name = std::string(row.name)] { return std::make_unique<LogicChip>(*t, name); }});
    }
    for (const iclib::LogicType& t : iclib::logicTypes())
        offers.push_back({t.name, {}, "logic chip " + t.name + " from its function table", [&t] {
                              return std::make_unique<LogicChip>(t);
                          }});
}

} // namespace pontvex::boxsim

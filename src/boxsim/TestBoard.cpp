#include "boxsim/TestBoard.h"

#include "boxsim/chips/Registry.h"

#include <algorithm>

namespace pontvex::boxsim {

TestBoard::Show TestBoard::classify(const PinLevel& level)
{
    switch (level.source) {
    case PinSource::Ground:
        return Show::Ground;
    case PinSource::Vpp:
        return Show::Vpp;
    case PinSource::Vcc:
        return Show::Vcc;
    case PinSource::Clock:
        return Show::Clock;
    default:
        return level.level ? Show::Lit : Show::Dark;
    }
}

void TestBoard::onPins(ChipIo& io)
{
    const SimTime now = io.now();
    for (int p = 1; p <= 40; ++p) {
        const PinLevel level = io.pin(p);
        const Show show = classify(level);
        Span& c = current_[static_cast<size_t>(p)];
        const int code = show == Show::Vpp ? level.vppCode : 0;
        if (started_ && c.show == show && c.vppCode == code)
            continue;
        if (started_) {
            c.to = now;
            if (c.length() > 0)
                closed_.push_back(c);
        }
        c = Span{p, show, now, -1, code};
    }
    started_ = true;
}

std::vector<TestBoard::Span> TestBoard::spans(SimTime now) const
{
    std::vector<Span> all = closed_;
    for (int p = 1; p <= 40; ++p) {
        Span c = current_[static_cast<size_t>(p)];
        if (!started_)
            break;
        c.to = now;
        if (c.length() > 0)
            all.push_back(c);
    }
    return all;
}

std::vector<TestBoard::Span> TestBoard::spansOf(Show show, SimTime now) const
{
    std::vector<Span> out;
    for (const Span& s : spans(now))
        if (s.show == show)
            out.push_back(s);
    std::stable_sort(out.begin(), out.end(), [](const Span& a, const Span& b) { return a.from < b.from; });
    return out;
}

void TestBoard::clear(SimTime now)
{
    closed_.clear();
    for (Span& c : current_)
        c.from = now;
}

void addTestBoardOffers(std::vector<ChipOffer>& offers)
{
    offers.push_back({"TESTBOARD", {}, "service test board: an LED and load on every socket pin", [] {
                          return std::make_unique<TestBoard>();
                      }});
}

} // namespace pontvex::boxsim

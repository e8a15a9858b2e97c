#include "boxsim/Box.h"

namespace pontvex::boxsim {

namespace {
// P3.2 (PROG) of a 20-pin part seated low in the socket, and its port P1.
constexpr int kProgPin = 16;
constexpr int kP1Pins[8] = {22, 23, 24, 25, 26, 27, 28, 29};
} // namespace

// 167: programs the byte that 166 put on P1 into a one-time 20-pin part. The
// family has set the program mode and 12.5 V on RST; the box adds the EPROM
// cells' quick-pulse train on P3.2: 25 pulses of 100 us low (one byte time,
// 95 us, is the box's step) with one byte time high between them. Then it
// reads P1 back; the family does not use the answer.
bool Box::prog97Command(std::vector<uint8_t>& reply)
{
    constexpr int kPulses = 25;
    for (int i = 0; i < kPulses; ++i) {
        forcePin(kProgPin, 0);
        settle();
        advance(1);
        forcePin(kProgPin, 1);
        settle();
        advance(1);
    }
    releaseForced(kProgPin);
    settle();
    reply.push_back(samplePins(kP1Pins));
    return true;
}

} // namespace pontvex::boxsim

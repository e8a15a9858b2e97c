#pragma once

#include "boxsim/Box.h"
#include "link/BoxCommands.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

namespace pontvex::boxsim {

// The serial line between a host and the box, in virtual time:
// - host -> box: one unit per byte; the box has a small input buffer and no
//   flow control, so bytes that arrive while it is full are lost;
// - box -> host: one unit per byte, then a USB-serial adapter that holds
//   reply bytes until its latency timer runs out or its packet fills.
struct LineOptions {
    // The box's input buffer. A small microcontroller UART buffer; its size
    // is a guess we keep as the design limit: a host that never has more
    // than that many unhandled bytes in flight is safe on the real box.
    std::size_t inputBuffer = pontvex::kBoxInputBuffer;
    double latencyMs = 0;           // adapter latency timer (0: native UART)
    std::size_t adapterPacket = 62; // payload of one adapter packet
};

constexpr double kUnitMicroseconds = 11.0 * 1e6 / 115200.0; // 95.49 us
inline double millisecondsToUnits(double ms)
{
    return ms * 1000.0 / kUnitMicroseconds;
}
inline double unitsToMilliseconds(double units)
{
    return units * kUnitMicroseconds / 1000.0;
}

class LineModel {
public:
    LineModel(Box& box, LineOptions options = {});

    // The host hands a byte to the line at hostTime. False when it was lost in
    // the box's full input buffer (recorded as a box problem).
    bool hostWrite(uint8_t byte, SimTime hostTime);
    // Reply bytes that reach the host by time `until`; with closeAll the
    // adapter's open packet is sent at its timer (the host is waiting, so no
    // more bytes can join it). Each byte carries its delivery time.
    struct Delivered {
        uint8_t value;
        SimTime at;
    };
    std::vector<Delivered> deliver(SimTime until, bool closeAll);
    // Time the next reply byte reaches the host (after closing the open packet), or -1.
    SimTime nextDelivery();
    // Drops replies not yet taken (purge).
    void purge();

    const LineOptions& options() const { return options_; }
    SimTime lineFree() const { return lineFree_; }
    std::size_t peakBacklog() const { return peakBacklog_; }
    uint64_t lost() const { return lost_; }

private:
    void collectReplies();
    void closePacket(SimTime at);

    Box& box_;
    LineOptions options_;
    double latency_ = 0;
    SimTime lineFree_ = 0;        // host -> box line busy until
    SimTime backFree_ = 0;        // box -> host line busy until
    std::deque<SimTime> waiting_; // handling times of bytes still in the box's buffer
    std::size_t peakBacklog_ = 0;
    uint64_t lost_ = 0;
    // Adapter: bytes arrived on its side, not yet sent to the host.
    std::vector<Delivered> packet_;
    SimTime packetStart_ = 0;
    std::deque<Delivered> ready_;
};

} // namespace pontvex::boxsim

#include "boxsim/LineModel.h"

#include <algorithm>
#include <cstdio>
#include <limits>

namespace pontvex::boxsim {

LineModel::LineModel(Box& box, LineOptions options)
    : box_(box), options_(options), latency_(millisecondsToUnits(options.latencyMs))
{
    if (options_.adapterPacket == 0) {
        options_.adapterPacket = 1;
    }
}

bool LineModel::hostWrite(uint8_t byte, SimTime hostTime)
{
    const SimTime arrival = std::max(lineFree_, hostTime) + 1;
    lineFree_ = arrival;
    while (!waiting_.empty() && waiting_.front() <= arrival) {
        waiting_.pop_front();
    }
    if (waiting_.size() >= options_.inputBuffer) {
        ++lost_;
        char buf[120];
        std::snprintf(buf, sizeof buf, "input buffer full (%zu bytes): byte %02X lost", options_.inputBuffer,
                      byte);
        box_.record(Severity::Error, ProblemKind::Overflow, buf);
        return false;
    }
    const SimTime start = std::max(arrival, box_.readyAt());
    if (start > arrival) {
        waiting_.push_back(start);
        peakBacklog_ = std::max(peakBacklog_, waiting_.size());
    }
    box_.process(byte, start);
    collectReplies();
    return true;
}

void LineModel::collectReplies()
{
    auto& replies = box_.replies();
    while (!replies.empty()) {
        Box::Reply r = replies.front();
        replies.pop_front();
        const SimTime arrive = std::max(backFree_, r.at) + 1;
        backFree_ = arrive;
        if (latency_ <= 0) {
            ready_.push_back({r.value, arrive});
            continue;
        }
        if (!packet_.empty() && arrive > packetStart_ + latency_) {
            closePacket(packetStart_ + latency_);
        }
        if (packet_.empty()) {
            packetStart_ = arrive;
        }
        packet_.push_back({r.value, arrive});
        if (packet_.size() >= options_.adapterPacket) {
            closePacket(arrive);
        }
    }
}

void LineModel::closePacket(SimTime at)
{
    for (const Delivered& d : packet_) {
        ready_.push_back({d.value, at});
    }
    packet_.clear();
}

std::vector<LineModel::Delivered> LineModel::deliver(SimTime until, bool closeAll)
{
    collectReplies();
    if (!packet_.empty() && (closeAll || packetStart_ + latency_ <= until)) {
        closePacket(packetStart_ + latency_);
    }
    std::vector<Delivered> out;
    while (!ready_.empty() && ready_.front().at <= until) {
        out.push_back(ready_.front());
        ready_.pop_front();
    }
    return out;
}

SimTime LineModel::nextDelivery()
{
    collectReplies();
    if (ready_.empty() && !packet_.empty()) {
        return packetStart_ + latency_;
    }
    return ready_.empty() ? -1 : ready_.front().at;
}

void LineModel::purge()
{
    collectReplies();
    packet_.clear();
    ready_.clear();
}

} // namespace pontvex::boxsim

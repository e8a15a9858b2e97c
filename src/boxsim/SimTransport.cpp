#include "boxsim/SimTransport.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace pontvex::boxsim {

namespace {
// The host's output queue: writes block once this much is waiting for the line.
constexpr double kHostOutputQueue = 512;
} // namespace

SimTransport::SimTransport(std::shared_ptr<Box> box, LineOptions options)
    : box_(std::move(box)), line_(*box_, options)
{
}

SimTransport::~SimTransport()
{
    box_->endOfStream();
}

size_t SimTransport::write(const uint8_t* data, size_t n)
{
    for (size_t i = 0; i < n; ++i) {
        line_.hostWrite(data[i], stats_.hostTime);
        if (line_.lineFree() - stats_.hostTime > kHostOutputQueue) {
            stats_.hostTime = line_.lineFree() - kHostOutputQueue;
        }
    }
    stats_.bytesToBox += n;
    return n;
}

size_t SimTransport::read(uint8_t* data, size_t n, int timeoutMs)
{
    // An adapter sends its packet when it is full or when its latency timer
    // runs out, whatever the host does; a packet still open keeps taking the
    // replies to commands the host sends after this read.
    while (inbox_.size() < n) {
        const SimTime next = line_.nextDelivery();
        if (next < 0) {
            break;
        }
        for (auto& d : line_.deliver(std::max(next, stats_.hostTime), false)) {
            inbox_.push_back(d);
        }
    }
    size_t k = std::min(n, inbox_.size());
    if (k > 0) {
        SimTime last = inbox_[k - 1].at;
        if (last > stats_.hostTime) {
            ++stats_.hostWaits;
            stats_.hostTime = last;
        }
        for (size_t i = 0; i < k; ++i) {
            data[i] = inbox_.front().value;
            inbox_.pop_front();
        }
    }
    if (k < n) {
        // Nothing more will come: the host sits out its whole time-out.
        stats_.hostTime += millisecondsToUnits(std::max(0, timeoutMs));
    }
    stats_.bytesFromBox += k;
    return k;
}

void SimTransport::waitUntilIdle()
{
    stats_.hostTime = std::max({stats_.hostTime, line_.lineFree(), box_->readyAt()});
}

void SimTransport::purge()
{
    inbox_.clear();
    line_.purge();
}

} // namespace pontvex::boxsim

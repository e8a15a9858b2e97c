#pragma once

#include "link/ProgrammerLink.h"

#include <cstdint>
#include <deque>
#include <initializer_list>
#include <utility>

namespace pontvex {

// The read loop of a chip command with its reads queued ahead of their use.
// The loop queues commands that answer one byte each, in the order it would
// have sent them; take(tag, value) gets every reply in that order, at most the
// link's reply window behind the last command sent, so a USB adapter gets full
// packets instead of holding each lone byte for its latency timer.
//
// take returns false at the loop's stop (the first bad byte of a verify or
// blank check). The replies still owed are then read and dropped before the
// caller does anything else, and nothing more is queued: after the stop the
// box has received only the reads that were already on their way, reads of
// the next addresses that change nothing on the chip. With a reply window of
// 0 each reply is taken before the next command goes out, which is the plain
// send-then-read loop, byte for byte.
//
// Before any read of its own (a port read between blocks) the caller drains
// the queue, so that reply is not taken for one of the queued ones.
template <typename Take> class ReadAhead {
public:
    ReadAhead(ProgrammerLink& link, Take take) : link_(link), take_(std::move(take)) {}

    // Queues a one-reply command for tag. False once the loop has stopped.
    bool read(std::initializer_list<uint8_t> command, uint32_t tag)
    {
        if (stopped_)
            return false;
        link_.QueueCommand(command, 1);
        tags_.push_back(tag);
        return settle(static_cast<size_t>(link_.ReplyWindow()));
    }

    // Takes every queued reply. False when the loop stopped on one of them.
    bool drain() { return settle(0); }

    bool stopped() const { return stopped_; }

private:
    bool settle(size_t keep)
    {
        while (!stopped_ && tags_.size() > keep) {
            const uint32_t tag = tags_.front();
            tags_.pop_front();
            if (!take_(tag, link_.ReceiveByte())) {
                stopped_ = true;
                tags_.clear();
                link_.DiscardReplies();
            }
        }
        return !stopped_;
    }

    ProgrammerLink& link_;
    Take take_;
    std::deque<uint32_t> tags_;
    bool stopped_ = false;
};

} // namespace pontvex

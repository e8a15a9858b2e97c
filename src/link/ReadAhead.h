#pragma once

#include "link/BoxCommands.h"
#include "link/ProgrammerLink.h"

#include <cstdint>
#include <deque>
#include <initializer_list>
#include <span>
#include <type_traits>
#include <utility>
#include <vector>

namespace pontvex {

// The read loop of a chip command with its reads queued ahead of their use.
// The loop queues its reads in the order it would have sent them; take gets
// every reply in that order, at most the link's reply window behind the last
// command sent, so a USB adapter gets full packets instead of holding each
// lone byte for its latency timer.
//
// A read is a unit: one command answering one byte (read), or several
// commands whose replies together make one value (readUnit: an I2C byte is
// clocked bit by bit, a PIC word is a command and a two-byte answer). take is
// either take(tag, uint8_t) for one-byte units or take(tag, span of the
// unit's reply bytes) for units of any size.
//
// take returns false at the loop's stop (the first bad byte of a verify or
// blank check). The replies still owed are then read and dropped before the
// caller does anything else, and nothing more is queued: after the stop the
// box has received only the reads that were already on their way, reads of
// the next addresses that change nothing on the chip. With a reply window of
// 0 each unit is taken before the next goes out, which is the plain
// send-then-read loop, byte for byte.
//
// Before any read of its own (a port read between blocks) the caller drains
// the queue; a read with replies still owed throws LinkMisuse.
template <typename Take> class ReadAhead {
    static constexpr bool kTakesUnits =
        std::is_invocable_r_v<bool, Take&, uint32_t, std::span<const uint8_t>>;

public:
    // One command of a unit and the reply bytes it owes.
    struct Command {
        std::initializer_list<uint8_t> bytes;
        int replies = 0;
    };

    ReadAhead(ProgrammerLink& link, Take take) : link_(link), take_(std::move(take)) {}

    // Queues a one-reply command for tag. False once the loop has stopped.
    bool read(std::initializer_list<uint8_t> command, uint32_t tag) { return readUnit({{command, 1}}, tag); }

    // Queues the commands of one unit for tag; take gets their replies together.
    bool readUnit(std::initializer_list<Command> commands, uint32_t tag)
    {
        if (stopped_) {
            return false;
        }
        int replies = 0;
        for (const Command& c : commands) {
            link_.QueueCommand(c.bytes, c.replies);
            replies += c.replies > 0 ? c.replies : 0;
        }
        if constexpr (!kTakesUnits) {
            if (replies != 1) {
                throw LinkMisuse("a unit of " + std::to_string(replies) +
                                 " replies needs a take that receives them all");
            }
        }
        units_.push_back({tag, static_cast<size_t>(replies)});
        queued_ += static_cast<size_t>(replies);
        return settle(static_cast<size_t>(link_.ReplyWindow()));
    }

    // Takes every queued unit. False when the loop stopped on one of them.
    bool drain() { return settle(0); }

    bool stopped() const { return stopped_; }

private:
    struct Unit {
        uint32_t tag;
        size_t replies;
    };

    bool settle(size_t keep)
    {
        while (!stopped_ && !units_.empty() && (queued_ > keep || units_.front().replies == 0)) {
            const Unit unit = units_.front();
            units_.pop_front();
            queued_ -= unit.replies;
            if (!take(unit)) {
                stopped_ = true;
                units_.clear();
                queued_ = 0;
                link_.DiscardReplies();
            }
        }
        return !stopped_;
    }

    bool take(const Unit& unit)
    {
        if constexpr (kTakesUnits) {
            bytes_.resize(unit.replies);
            for (uint8_t& b : bytes_) {
                b = link_.ReceiveByte();
            }
            return take_(unit.tag, std::span<const uint8_t>(bytes_));
        } else {
            return take_(unit.tag, link_.ReceiveByte());
        }
    }

    ProgrammerLink& link_;
    Take take_;
    std::deque<Unit> units_;
    size_t queued_ = 0; // reply bytes of the units not yet taken
    std::vector<uint8_t> bytes_;
    bool stopped_ = false;
};

} // namespace pontvex

#pragma once

#include "link/BoxCommands.h"
#include "link/ProgrammerLink.h"
#include "support/TestTransports.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <initializer_list>
#include <memory>
#include <vector>

namespace pontvex::linktest {

using Bytes = std::vector<uint8_t>;

inline Bytes bytes(std::initializer_list<int> values)
{
    Bytes out;
    for (int v : values) {
        out.push_back(static_cast<uint8_t>(v));
    }
    return out;
}

inline Bytes nops(int n)
{
    return Bytes(static_cast<size_t>(n), 30);
}

inline Bytes cat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& p : parts) {
        out.insert(out.end(), p.begin(), p.end());
    }
    return out;
}

// A box that answers the commands it has been sent, in order, and nothing
// before its command has been written: reading ahead of the writes times out.
// Operand and reply counts follow the box's command table.
class FakeBox {
public:
    // Reply bytes for a command; zeros when unset.
    std::function<Bytes(uint8_t command, const Bytes& operands)> answer;
    // log.written.size() when each reply byte was handed out.
    std::vector<size_t> writtenAtReply;
    // Most reply bytes ever owed at a read.
    size_t maxOwed = 0;

    void install(TransportLog& log)
    {
        log.responder = [this](const TransportLog& seen, uint8_t& reply) { return next(seen, reply); };
    }

    // Counts from the box's command table; 0 for a byte that is no command.
    static int operandCount(uint8_t c, int pageLength)
    {
        const BoxCommand* row = findBoxCommand(c);
        if (!row) {
            return 0;
        }
        return row->operands == kPageLengthOperands ? pageLength : row->operands;
    }
    static int replyCount(uint8_t c)
    {
        const BoxCommand* row = findBoxCommand(c);
        return row ? row->replies : 0;
    }

private:
    bool next(const TransportLog& seen, uint8_t& reply)
    {
        parse(seen.written);
        maxOwed = std::max(maxOwed, ready_.size());
        if (ready_.empty()) {
            return false;
        }
        reply = ready_.front();
        ready_.pop_front();
        writtenAtReply.push_back(seen.written.size());
        return true;
    }
    void parse(const Bytes& written)
    {
        while (parsed_ < written.size()) {
            const uint8_t c = written[parsed_];
            const auto ops = static_cast<size_t>(operandCount(c, pageLength_));
            if (parsed_ + 1 + ops > written.size()) {
                return;
            }
            const Bytes operands(written.begin() + static_cast<long>(parsed_) + 1,
                                 written.begin() + static_cast<long>(parsed_ + 1 + ops));
            parsed_ += 1 + ops;
            if (c == 131) {
                pageLength_ = operands[0] == 0 ? 256 : operands[0];
            }
            Bytes out = answer ? answer(c, operands) : Bytes(static_cast<size_t>(replyCount(c)), 0);
            out.resize(static_cast<size_t>(replyCount(c)), 0);
            ready_.insert(ready_.end(), out.begin(), out.end());
        }
    }

    size_t parsed_ = 0;
    int pageLength_ = 256;
    std::deque<uint8_t> ready_;
};

// A link online on a recording transport, shadows at their start values and
// nothing recorded yet.
class OnlineLink : public ::testing::Test {
protected:
    void SetUp() override
    {
        log = AttachRecording(link);
        ASSERT_TRUE(link.Connected());
        link.resetShadows();
    }

    // Everything sent since the last call, after flushing.
    Bytes sent()
    {
        link.Flush();
        Bytes out = log->written;
        log->clear();
        return out;
    }

    ProgrammerLink link;
    std::shared_ptr<TransportLog> log;
};

} // namespace pontvex::linktest

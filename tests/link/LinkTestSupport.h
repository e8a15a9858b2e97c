#pragma once

#include "link/ProgrammerLink.h"
#include "link/TestTransports.h"

#include <gtest/gtest.h>

#include <cstdint>
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

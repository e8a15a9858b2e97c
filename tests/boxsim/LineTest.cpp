// The line in front of the box: input buffer, busy time, host waits and the
// adapter's latency timer.

#include "BoxTestSupport.h"

namespace pontvex::boxsim {
namespace {

using Bytes = std::vector<uint8_t>;

struct Line {
    explicit Line(LineOptions o = {}) : box(std::make_shared<Box>()), t(box, o) {}
    void write(Bytes b) { t.write(b.data(), b.size()); }
    Bytes read(size_t n)
    {
        Bytes b(n);
        b.resize(t.read(b.data(), n, 1000));
        return b;
    }
    std::shared_ptr<Box> box;
    SimTransport t;
};

TEST(BoxLine, StreamingAfterALongCommandOverflowsTheInputBuffer)
{
    Line l;
    Bytes burst{129};
    burst.insert(burst.end(), 20, 30);
    l.write(burst);
    // 256 busy units, one byte arriving per unit: the 17th waiting byte is lost.
    EXPECT_EQ(l.t.line().lost(), 4u);
    EXPECT_NE(l.box->errorReport().find("input buffer full (16 bytes)"), std::string::npos);
    EXPECT_EQ(l.t.line().peakBacklog(), 16u);
}

TEST(BoxLine, AHostThatWaitsForLongCommandsNeverOverflows)
{
    Line l;
    for (int block = 0; block < 8; ++block) {
        Bytes b{17, static_cast<uint8_t>(block)};
        b.insert(b.end(), 14, 30); // as many bytes as the buffer takes, behind a 129
        l.write({129});
        l.write(b);
        EXPECT_EQ(l.read(2).size(), 2u);
    }
    EXPECT_EQ(l.t.line().lost(), 0u);
    EXPECT_EQ(l.box->errorReport(), "");
    EXPECT_EQ(l.t.line().peakBacklog(), 16u);
}

TEST(BoxLine, HostTimeCountsLineBusyTimeAndWaits)
{
    Line l;
    l.write({30, 30, 30, 7});
    EXPECT_EQ(l.t.hostTime(), 0) << "writes do not wait";
    EXPECT_EQ(l.read(1).size(), 1u);
    // 4 bytes on the line, the status handled at 4, its reply on the way back.
    EXPECT_EQ(l.t.hostTime(), 4 + 1 + 1);
    EXPECT_EQ(l.t.stats().hostWaits, 1u);
    l.write({129});
    l.read(2);
    EXPECT_EQ(l.t.hostTime(), 6 + 1 + 256 + 2);
    EXPECT_EQ(l.t.stats().bytesToBox, 5u);
    EXPECT_EQ(l.t.stats().bytesFromBox, 3u);
}

TEST(BoxLine, AdapterLatencyHoldsALoneReplyByte)
{
    LineOptions o;
    o.latencyMs = 16;
    Line l(o);
    for (int i = 0; i < 10; ++i) {
        l.write({7});
        ASSERT_EQ(l.read(1).size(), 1u);
    }
    double ms = unitsToMilliseconds(l.t.hostTime());
    EXPECT_GT(ms, 10 * 16.0);
    EXPECT_LT(ms, 10 * 16.6);
}

TEST(BoxLine, AFullAdapterPacketGoesOutAtOnce)
{
    LineOptions o;
    o.latencyMs = 16;
    Line l(o);
    Bytes reads(124, 1); // 124 reads of port 0: two full packets
    l.write(reads);
    ASSERT_EQ(l.read(62).size(), 62u);
    EXPECT_LT(unitsToMilliseconds(l.t.hostTime()), 16.0) << "the first packet did not wait for the timer";
    ASSERT_EQ(l.read(62).size(), 62u);
    EXPECT_EQ(l.t.stats().hostWaits, 2u);
}

TEST(BoxLine, AReadThatCannotBeSatisfiedCostsItsTimeout)
{
    Line l;
    l.write({7});
    Bytes b(2);
    EXPECT_EQ(l.t.read(b.data(), 2, 3000), 1u);
    EXPECT_GT(unitsToMilliseconds(l.t.hostTime()), 3000.0);
}

TEST(BoxLine, TheLinkOnTheSimulatorKeepsTheBufferSafe)
{
    simtest::SimBench b(simtest::chip("TEST28"));
    b.link.ResetSocket();
    b.link.RouteVcc(34);
    for (int block = 0; block < 4; ++block) {
        b.link.WriteLatch(1, 0);
        b.link.SendByte(129);
        b.link.ReceiveByte();
        b.link.ReceiveByte();
        for (int i = 0; i < 64; ++i) {
            b.link.ReadDataByte();
        }
    }
    b.link.PowerDown();
    b.link.Flush();
    EXPECT_EQ(b.transport->line().lost(), 0u);
    EXPECT_EQ(b.box->errorReport(), "");
}

} // namespace
} // namespace pontvex::boxsim

// The simulated adapter against what a real one does, and the pipelined loops
// against the box's small input buffer.

#include "support/FamilyBench.h"

#include <memory>
#include <vector>

namespace pontvex {
namespace {

using Bytes = std::vector<uint8_t>;

// A host that waits for a full packet does not close the next, half-filled
// one: replies to the commands it sends afterwards still join it, and it goes
// out when full, long before its 16 ms timer.
TEST(AdapterModel, AnOpenPacketKeepsFillingWhileTheHostWaits)
{
    boxsim::LineOptions o;
    o.latencyMs = 16;
    boxsim::SimTransport t(std::make_shared<boxsim::Box>(), o);
    Bytes reads(92, 1); // port reads: 62 fill a packet, 30 open the next
    t.write(reads.data(), reads.size());
    Bytes got(62);
    ASSERT_EQ(t.read(got.data(), 62, 1000), 62u);
    Bytes more(32, 1);
    t.write(more.data(), more.size());
    ASSERT_EQ(t.read(got.data(), 62, 1000), 62u);
    EXPECT_LT(boxsim::unitsToMilliseconds(t.hostTime()), 14.0);
    // A lone reply byte still waits for the timer.
    t.write(more.data(), 1);
    ASSERT_EQ(t.read(got.data(), 1, 1000), 1u);
    EXPECT_GT(boxsim::unitsToMilliseconds(t.hostTime()), 12.0 + 16.0);
}

// Whole chip commands with their reads queued ahead, from a host that never
// has to wait (no adapter): the box's 16-byte input buffer never runs over,
// also behind the long blank-check and sum commands.
TEST(AdapterModel, PipelinedChipCommandsNeverOverrunTheBox)
{
    for (double latency : {0.0, 16.0}) {
        SCOPED_TRACE(latency);
        boxsim::LineOptions o;
        o.latencyMs = latency;
        BenchSetup setup;
        setup.line = o;
        FamilyBench bench("P27", 14, "27C512", setup);
        auto& box = bench.box;
        ASSERT_TRUE(box->chip()->loadImage(Bytes(0x10000, 0xFF)));
        boxsim::SimTransport* simulator = bench.simulator;
        FamilyWindow& eprom = bench.w();
        for (const char* command : {"blank", "read", "verify", "checksum"}) {
            SCOPED_TRACE(command);
            EXPECT_TRUE(eprom.press(command));
            EXPECT_EQ(eprom.ErrorFlag(), 0) << eprom.message();
        }
        EXPECT_EQ(simulator->line().lost(), 0u);
        EXPECT_LE(simulator->line().peakBacklog(), o.inputBuffer);
        EXPECT_EQ(box->errorReport(), "");
    }
}

} // namespace
} // namespace pontvex

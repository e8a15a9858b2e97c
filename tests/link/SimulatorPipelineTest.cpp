// Pipelined reads against the box simulator's line model: a box with a small
// input buffer and a USB adapter that holds replies for its latency timer.

#include "boxsim/SimTransport.h"
#include "link/ProgrammerLink.h"

#include <gtest/gtest.h>

#include <memory>

namespace pontvex {
namespace {

struct BlockRun {
    double hostUnits = 0;
    uint64_t bytesToBox = 0;
    uint64_t lost = 0;
};

// Reads n data bytes, sequentially or queued ahead, at the given adapter latency.
BlockRun readBlock(int n, double latencyMs, bool pipelined, int window = 64)
{
    auto box = std::make_shared<boxsim::Box>();
    boxsim::LineOptions line;
    line.latencyMs = latencyMs;
    auto transport = std::make_unique<boxsim::SimTransport>(box, line);
    boxsim::SimTransport* sim = transport.get();
    ProgrammerLink link;
    link.setSettingsPath("");
    EXPECT_TRUE(link.AttachTransport(std::move(transport), "SIM"));
    link.setReplyWindow(window);
    const auto start = sim->stats();
    if (pipelined) {
        for (int i = 0; i < n; ++i) {
            link.QueueCommand({128}, 1);
        }
        for (int i = 0; i < n; ++i) {
            link.ReceiveByte();
        }
    } else {
        for (int i = 0; i < n; ++i) {
            link.ReadDataByte();
        }
    }
    BlockRun run;
    run.hostUnits = sim->stats().hostTime - start.hostTime;
    run.bytesToBox = sim->stats().bytesToBox - start.bytesToBox;
    run.lost = sim->line().lost();
    return run;
}

TEST(SimulatorPipeline, ReadsRunAtLineSpeed)
{
    // Line limit: one command byte per data byte.
    for (double latency : {0.0, 1.0}) {
        SCOPED_TRACE(latency);
        const BlockRun run = readBlock(4096, latency, true);
        EXPECT_EQ(run.lost, 0u);
        EXPECT_EQ(run.bytesToBox, 4096u);
        EXPECT_LT(run.hostUnits, 1.15 * 4096);
    }
    // Behind a 16 ms adapter timer the window has to cover whole adapter
    // packets (62 bytes), or every window waits out the timer once.
    const BlockRun slow = readBlock(4096, 16.0, true, 124);
    EXPECT_EQ(slow.lost, 0u);
    EXPECT_LT(slow.hostUnits, 1.15 * 4096);

    const BlockRun sequential = readBlock(256, 16.0, false);
    EXPECT_GT(sequential.hostUnits, 256 * boxsim::millisecondsToUnits(16.0));
}

} // namespace
} // namespace pontvex

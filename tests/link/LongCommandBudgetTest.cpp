// The budget behind long commands against the box simulator's line: what is
// sent after a busy box's blank check or sum stays within its input buffer,
// and the adapter's latency is not paid once per block.

#include "boxsim/SimTransport.h"
#include "link/ProgrammerLink.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace pontvex {
namespace {

constexpr size_t kBudget = ProgrammerLink::kBytesBehindLongCommand;

struct Line {
    explicit Line(double latencyMs)
    {
        boxsim::LineOptions options;
        options.latencyMs = latencyMs;
        auto transport = std::make_unique<boxsim::SimTransport>(box, options);
        sim = transport.get();
        link.setSettingsPath("");
        EXPECT_TRUE(link.AttachTransport(std::move(transport), "SIM"));
        link.Flush();
    }
    // The simulated run against its line limit: every byte to the box takes
    // one unit, and the box works on its own for the long commands.
    double ratio(double unitsBefore, uint64_t bytesBefore, double busyBefore) const
    {
        const double limit =
            static_cast<double>(sim->stats().bytesToBox - bytesBefore) + (box->stats().busy - busyBefore);
        return (sim->hostTime() - unitsBefore) / limit;
    }
    void expectBufferKept() const
    {
        EXPECT_EQ(sim->line().lost(), 0u);
        EXPECT_LE(sim->line().peakBacklog(), kBoxInputBuffer);
        EXPECT_EQ(box->errorReport(), "");
    }

    std::shared_ptr<boxsim::Box> box = std::make_shared<boxsim::Box>();
    boxsim::SimTransport* sim = nullptr;
    ProgrammerLink link;
};

// 128 blocks of 256 addresses as the memory windows walk them: the five
// address latches, then the block command; each reply is taken once the
// next block is queued. Returns the replies in order.
std::vector<uint8_t> walkBlocks(ProgrammerLink& link, uint8_t command, bool pipelined)
{
    std::vector<uint8_t> replies;
    int queued = 0;
    for (int block = 0; block < 128; ++block) {
        for (int k = 0; k < 5; ++k)
            link.WriteLatch(k, static_cast<uint8_t>(k == 1 ? block : 0));
        if (!pipelined) {
            link.SendByte(command);
            replies.push_back(link.ReceiveByte());
            replies.push_back(link.ReceiveByte());
            continue;
        }
        link.QueueCommand({command}, 2);
        if (++queued > 1) {
            replies.push_back(link.ReceiveByte());
            replies.push_back(link.ReceiveByte());
            --queued;
        }
    }
    for (; queued > 0; --queued) {
        replies.push_back(link.ReceiveByte());
        replies.push_back(link.ReceiveByte());
    }
    return replies;
}

TEST(LongCommandBudget, BlockChecksKeepTheBufferAndTheLineBusy)
{
    for (double latency : {0.0, 1.0, 16.0}) {
        for (uint8_t command : {uint8_t{129}, uint8_t{130}}) {
            SCOPED_TRACE(testing::Message() << latency << " ms, command " << int{command});
            Line plain(latency);
            const std::vector<uint8_t> expected = walkBlocks(plain.link, command, false);
            const uint64_t plainBytes = plain.sim->stats().bytesToBox;

            Line line(latency);
            const double units = line.sim->hostTime();
            const uint64_t bytes = line.sim->stats().bytesToBox;
            const double busy = line.box->stats().busy;
            EXPECT_EQ(walkBlocks(line.link, command, true), expected);
            line.link.Flush();
            EXPECT_TRUE(line.link.Idle());
            EXPECT_EQ(line.sim->stats().bytesToBox, plainBytes);
            line.expectBufferKept();
            EXPECT_LT(line.ratio(units, bytes, busy), 1.15);
        }
    }
}

// Long commands back to back with nothing between them: only the budget's
// worth waits behind the one the box works on.
TEST(LongCommandBudget, LongCommandsBackToBackStayWithinTheBudget)
{
    for (double latency : {0.0, 16.0}) {
        SCOPED_TRACE(latency);
        Line line(latency);
        for (int block = 0; block < 200; ++block)
            line.link.QueueCommand({130}, 2);
        line.link.DiscardReplies();
        EXPECT_TRUE(line.link.Idle());
        line.expectBufferKept();
        EXPECT_LE(line.sim->line().peakBacklog(), kBudget);
        EXPECT_GE(line.sim->line().peakBacklog(), kBudget - 1);
    }
}

TEST(LongCommandBudget, OneByteOverTheBudgetWaitsForTheReply)
{
    Line line(16.0);
    line.link.QueueCommand({129}, 2);
    for (size_t k = 0; k < kBudget; ++k)
        line.link.SendByte(147);
    line.link.Flush();
    const uint64_t waits = line.sim->stats().hostWaits;
    const double sent = line.sim->hostTime();
    line.link.SendByte(147);
    EXPECT_EQ(line.sim->stats().hostWaits, waits + 1);
    // 256 read cycles and the adapter's timer have passed.
    EXPECT_GT(line.sim->hostTime() - sent, 256 + boxsim::millisecondsToUnits(16.0));
    EXPECT_EQ(line.link.PendingReplies(), 2);
    EXPECT_EQ(line.link.ReceiveByte(), 0x00);
    EXPECT_EQ(line.link.ReceiveByte(), 0); // an empty socket's bus reads 0: not blank
    line.link.Flush();
    line.expectBufferKept();
}

// A check that stops on a block drops the replies still owed; the next plain
// read is its own, and the box saw nothing it could not hold.
TEST(LongCommandBudget, AStopDropsTheOwedBlocksSafely)
{
    Line line(16.0);
    for (int block = 0; block < 4; ++block) {
        line.link.WriteLatch(1, static_cast<uint8_t>(block));
        line.link.QueueCommand({129}, 2);
    }
    EXPECT_EQ(line.link.ReceiveByte(), 0x00);
    line.link.DiscardReplies();
    EXPECT_EQ(line.link.PendingReplies(), 0);
    line.link.WriteLatch(1, 0x55);
    line.link.QueueCommand({129}, 2);
    line.link.DiscardReplies();
    EXPECT_TRUE(line.link.Idle());
    EXPECT_EQ(line.link.ReadDataByte(), 0x00);
    EXPECT_TRUE(line.link.Idle());
    line.expectBufferKept();
}

} // namespace
} // namespace pontvex

// Reply pipelining: commands queued ahead of their replies, under the window
// and the budget behind long commands, with the same bytes on the line as send-then-read.

#include "LinkTestSupport.h"

#include "catalogue/HeadlessHost.h"

#include <chrono>
#include <thread>

namespace pontvex::linktest {
namespace {

using Pipelining = OnlineLink;

// A box whose data bus gives 0, 1, 2, ... on successive reads.
void countingBus(FakeBox& box)
{
    auto next = std::make_shared<int>(0);
    box.answer = [next](uint8_t command, const Bytes&) {
        if (command == 128) {
            return Bytes{static_cast<uint8_t>((*next)++)};
        }
        if (command == 129 || command == 130) {
            return Bytes{0x11, 0x22};
        }
        return Bytes{0x5A};
    };
}

TEST_F(Pipelining, SameBytesAndResultsAsSendThenRead)
{
    FakeBox sequentialBox;
    countingBus(sequentialBox);
    ProgrammerLink sequential;
    auto sequentialLog = AttachRecording(sequential);
    sequentialBox.install(*sequentialLog);
    std::vector<uint8_t> expected;
    for (int i = 0; i < 300; ++i) {
        sequential.WriteLatch(0, static_cast<uint8_t>(i));
        expected.push_back(sequential.ReadDataByte());
    }

    FakeBox box;
    countingBus(box);
    box.install(*log);
    for (int i = 0; i < 300; ++i) {
        link.WriteLatch(0, static_cast<uint8_t>(i));
        link.QueueCommand({128}, 1);
    }
    EXPECT_EQ(link.PendingReplies(), 300);
    std::vector<uint8_t> got;
    for (int i = 0; i < 300; ++i) {
        got.push_back(link.ReceiveByte());
    }
    EXPECT_EQ(got, expected);
    EXPECT_EQ(log->written, sequentialLog->written);
    EXPECT_EQ(link.PendingReplies(), 0);
    EXPECT_LE(box.maxOwed, 128u);
    EXPECT_GE(box.maxOwed, 120u);
}

TEST_F(Pipelining, DataBlockReadIsReadDataByteRepeated)
{
    FakeBox box;
    countingBus(box);
    box.install(*log);
    std::vector<uint8_t> block(200);
    link.ReadDataBytes(block.data(), block.size());
    for (size_t i = 0; i < block.size(); ++i) {
        ASSERT_EQ(block[i], i);
    }
    EXPECT_EQ(log->written, Bytes(200, 128));
    EXPECT_LE(box.maxOwed, 128u);

    link.Disconnect();
    link.ReadDataBytes(block.data(), 3);
    EXPECT_EQ(Bytes(block.begin(), block.begin() + 4), bytes({255, 255, 255, 3}));
}

TEST_F(Pipelining, WindowIsConfigurableAndZeroMeansSendThenRead)
{
    FakeBox box;
    countingBus(box);
    box.install(*log);
    link.setReplyWindow(8);
    for (int i = 0; i < 50; ++i) {
        link.QueueCommand({128}, 1);
    }
    for (int i = 0; i < 50; ++i) {
        EXPECT_EQ(link.ReceiveByte(), i);
    }
    EXPECT_LE(box.maxOwed, 8u);

    link.setReplyWindow(0);
    box.writtenAtReply.clear();
    const size_t base = log->written.size();
    for (int i = 0; i < 5; ++i) {
        link.QueueCommand({128}, 1);
    }
    for (int i = 0; i < 5; ++i) {
        link.ReceiveByte();
    }
    // Every reply arrived before the next command was written.
    for (size_t k = 0; k < 5; ++k) {
        EXPECT_EQ(box.writtenAtReply[k], base + k + 1);
    }
}

TEST_F(Pipelining, ALongCommandHoldsWhatFollowsWithinTheBoxBuffer)
{
    constexpr size_t kBudget = ProgrammerLink::kBytesBehindLongCommand;
    static_assert(kBudget > 2 && kBudget <= kBoxInputBuffer);
    FakeBox box;
    countingBus(box);
    box.install(*log);
    link.QueueCommand({128}, 1);
    link.QueueCommand({129}, 2); // blank check of 256 addresses
    link.LinkDelay(static_cast<int>(kBudget) - 1);
    link.QueueCommand({128}, 1); // the budget's last byte
    EXPECT_TRUE(box.writtenAtReply.empty());
    // One byte more would overrun the busy box: the blank check answers first.
    link.SendByte(147);
    EXPECT_EQ(box.writtenAtReply, (std::vector<size_t>(3, 2 + kBudget)));
    EXPECT_EQ(link.ReceiveByte(), 0);
    EXPECT_EQ(link.ReceiveByte(), 0x11);
    EXPECT_EQ(link.ReceiveByte(), 0x22);
    EXPECT_EQ(link.ReceiveByte(), 1);
    EXPECT_EQ(link.PendingReplies(), 0);

    // A long command behind another: what follows the first counts the
    // second, and only the oldest is waited for.
    link.Flush();
    box.writtenAtReply.clear();
    size_t base = log->written.size();
    link.QueueCommand({129}, 2);
    link.QueueCommand({130}, 2);
    link.LinkDelay(static_cast<int>(kBudget) - 1);
    EXPECT_TRUE(box.writtenAtReply.empty());
    link.SendByte(147); // over for 129, the budget's last byte for 130
    EXPECT_EQ(box.writtenAtReply, (std::vector<size_t>(2, base + 1 + kBudget)));
    link.SendByte(147); // over for 130
    EXPECT_EQ(box.writtenAtReply.size(), 4u);
    EXPECT_EQ(box.writtenAtReply.back(), base + 2 + kBudget);
    for (int k = 0; k < 2; ++k) {
        EXPECT_EQ(link.ReceiveByte(), 0x11);
        EXPECT_EQ(link.ReceiveByte(), 0x22);
    }

    // A run longer than the budget (a delay) waits for a program command's answer.
    link.Flush();
    box.writtenAtReply.clear();
    base = log->written.size();
    link.QueueCommand({140, 0xA5}, 1);
    link.LinkDelay(static_cast<int>(kBudget) + 5);
    EXPECT_EQ(box.writtenAtReply, std::vector<size_t>{base + 2});
    EXPECT_EQ(link.ReceiveByte(), 0x5A);

    // A family marks its own command long.
    link.Flush();
    box.writtenAtReply.clear();
    base = log->written.size();
    link.QueueCommand({169, 0x04}, 2, true);
    link.QueueCommand({128}, 1);
    EXPECT_TRUE(box.writtenAtReply.empty());
    link.LinkDelay(static_cast<int>(kBudget));
    EXPECT_EQ(box.writtenAtReply, (std::vector<size_t>(2, base + 3)));
    link.DiscardReplies();
    EXPECT_EQ(link.PendingReplies(), 0);

    // A page write answers nothing: it cannot hold the queue.
    EXPECT_TRUE(ProgrammerLink::IsLongCommand(136));
    link.QueueCommand({131, 2}, 0);
    link.QueueCommand({136, 1, 2}, 0, true);
    link.QueueCommand({128}, 1);
    EXPECT_EQ(link.PendingReplies(), 1);
    link.ReceiveByte();
}

TEST_F(Pipelining, EarlyStopDiscardsTheReadAhead)
{
    FakeBox box;
    countingBus(box);
    box.install(*log);
    for (int i = 0; i < 10; ++i) {
        link.QueueCommand({128}, 1);
    }
    EXPECT_EQ(link.ReceiveByte(), 0);
    EXPECT_EQ(link.ReceiveByte(), 1);
    link.DiscardReplies();
    EXPECT_EQ(link.PendingReplies(), 0);
    // The next plain read gets its own reply, not a stale one.
    EXPECT_EQ(link.ReadDataByte(), 10);
}

TEST_F(Pipelining, LossWhileRepliesAreOwed)
{
    ScriptedPrompt prompt;
    link.setPrompt(&prompt);
    FakeBox box;
    countingBus(box);
    auto handed = std::make_shared<int>(0);
    box.install(*log);
    auto boxResponder = log->responder;
    log->responder = [boxResponder, handed](const TransportLog& seen, uint8_t& reply) {
        return ++*handed <= 70 && boxResponder(seen, reply);
    };
    EXPECT_THROW(
        {
            for (int i = 0; i < 200; ++i) {
                link.QueueCommand({128}, 1);
            }
        },
        LinkLost);
    EXPECT_FALSE(link.Connected());
    EXPECT_EQ(link.PendingReplies(), 0);
    EXPECT_EQ(link.ReceiveByte(), 255);
    EXPECT_EQ(prompt.messages.size(), 1u);

    // Offline, queueing sends nothing.
    const size_t before = log->written.size();
    link.QueueCommand({128}, 1);
    link.DiscardReplies();
    link.Flush();
    EXPECT_EQ(log->written.size(), before);
}

// Answers the identity request after a delay, as a slow adapter would.
class SlowTransport : public RecordingTransport {
public:
    size_t read(uint8_t* data, size_t n, int timeoutMs) override
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        return RecordingTransport::read(data, n, timeoutMs);
    }
};

TEST(RoundTrip, MeasuredAtConnection)
{
    ProgrammerLink link;
    EXPECT_LT(link.RoundTripMs(), 0);
    auto transport = std::make_unique<SlowTransport>();
    const Bytes answer = IdentityAnswer("kelu3v13");
    transport->log()->replies.assign(answer.begin(), answer.end());
    ASSERT_TRUE(link.AttachTransport(std::move(transport), "SIM"));
    EXPECT_GE(link.RoundTripMs(), 18.0);
    EXPECT_LT(link.RoundTripMs(), 2000.0);
}

} // namespace
} // namespace pontvex::linktest

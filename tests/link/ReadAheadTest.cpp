// ReadAhead: units of several commands and replies, collected unit by unit in
// queue order under the reply window, with the bytes of send-then-read.

#include "LinkTestSupport.h"

#include "link/ReadAhead.h"

#include <span>
#include <utility>

namespace pontvex::linktest {
namespace {

using ReadAheadUnits = OnlineLink;

// A box whose word command 169 answers the word of its operand, low byte first
// (operand n gives 2n, 2n + 1); command 168 takes its operand silently.
void wordBox(FakeBox& box)
{
    box.answer = [](uint8_t command, const Bytes& operands) {
        if (command == 169) {
            return Bytes{static_cast<uint8_t>(2 * operands[0]), static_cast<uint8_t>(2 * operands[0] + 1)};
        }
        return Bytes{0x5A};
    };
}

// What one word read sends: select, then the read with its two-byte answer.
template <typename R> bool queueWord(R& ahead, uint8_t n)
{
    return ahead.readUnit({{{168, 0x04}, 0}, {{169, n}, 2}}, n);
}

TEST_F(ReadAheadUnits, UnitsOfSeveralRepliesComeBackWholeInOrderUnderTheWindow)
{
    // The plain loop: each word sent and read before the next.
    ProgrammerLink plain;
    auto plainLog = AttachRecording(plain);
    FakeBox plainBox;
    wordBox(plainBox);
    plainBox.install(*plainLog);
    for (int n = 0; n < 40; ++n) {
        plain.SendByte(168);
        plain.SendByte(0x04);
        plain.SendByte(169);
        plain.SendByte(static_cast<uint8_t>(n));
        plain.ReceiveByte();
        plain.ReceiveByte();
    }
    plain.Flush();

    FakeBox box;
    wordBox(box);
    box.install(*log);
    link.setReplyWindow(8);
    std::vector<std::pair<uint32_t, Bytes>> taken;
    ReadAhead ahead(link, [&](uint32_t tag, std::span<const uint8_t> replies) {
        taken.emplace_back(tag, Bytes(replies.begin(), replies.end()));
        return true;
    });
    for (int n = 0; n < 40; ++n) {
        ASSERT_TRUE(queueWord(ahead, static_cast<uint8_t>(n)));
        // Never more than the window behind: four words of two bytes.
        EXPECT_LE(link.PendingReplies(), 8);
    }
    ASSERT_TRUE(ahead.drain());
    ASSERT_EQ(taken.size(), 40u);
    for (uint32_t n = 0; n < 40; ++n) {
        EXPECT_EQ(taken[n].first, n);
        EXPECT_EQ(taken[n].second, (Bytes{static_cast<uint8_t>(2 * n), static_cast<uint8_t>(2 * n + 1)}));
    }
    EXPECT_EQ(link.PendingReplies(), 0);
    EXPECT_LE(box.maxOwed, 8u);
    EXPECT_EQ(log->written, plainLog->written);
}

TEST_F(ReadAheadUnits, WindowZeroTakesEachUnitBeforeTheNextIsSent)
{
    FakeBox box;
    wordBox(box);
    box.install(*log);
    link.setReplyWindow(0);
    std::vector<size_t> writtenAtTake;
    ReadAhead ahead(link, [&](uint32_t, std::span<const uint8_t> replies) {
        EXPECT_EQ(replies.size(), 2u);
        writtenAtTake.push_back(log->written.size());
        return true;
    });
    for (int n = 0; n < 3; ++n) {
        queueWord(ahead, static_cast<uint8_t>(n));
    }
    EXPECT_EQ(writtenAtTake, (std::vector<size_t>{4, 8, 12}));
}

TEST_F(ReadAheadUnits, AStopDropsTheUnitsOnTheirWayAndQueuesNoMore)
{
    FakeBox box;
    wordBox(box);
    box.install(*log);
    std::vector<uint32_t> taken;
    ReadAhead ahead(link, [&](uint32_t tag, std::span<const uint8_t>) {
        taken.push_back(tag);
        return tag != 2;
    });
    for (int n = 0; n < 5; ++n) {
        queueWord(ahead, static_cast<uint8_t>(n));
    }
    EXPECT_FALSE(ahead.drain());
    EXPECT_TRUE(ahead.stopped());
    EXPECT_EQ(taken, (std::vector<uint32_t>{0, 1, 2}));
    EXPECT_EQ(link.PendingReplies(), 0);
    link.Flush();
    const size_t before = log->written.size();
    EXPECT_FALSE(queueWord(ahead, 9));
    link.Flush();
    EXPECT_EQ(log->written.size(), before);
    // The next plain read gets its own reply.
    EXPECT_EQ(link.ReadPort(0), 0x5A);
}

TEST_F(ReadAheadUnits, ByteTakersReadOneReplyUnitsAndRefuseBiggerOnes)
{
    FakeBox box;
    wordBox(box);
    box.install(*log);
    std::vector<uint8_t> got;
    ReadAhead bytesAhead(link, [&](uint32_t, uint8_t value) {
        got.push_back(value);
        return true;
    });
    EXPECT_TRUE(bytesAhead.read({1}, 0));
    EXPECT_TRUE(bytesAhead.readUnit({{{16, 0x01}, 0}, {{2}, 1}}, 1));
    EXPECT_TRUE(bytesAhead.drain());
    EXPECT_EQ(got, (std::vector<uint8_t>{0x5A, 0x5A}));
    EXPECT_THROW(queueWord(bytesAhead, 1), LinkMisuse);
}

} // namespace
} // namespace pontvex::linktest

// The link between operations: nothing left unsent when control goes back to
// the user, and no blocking read that could take a queued command's reply.

#include "LinkTestSupport.h"

#include "core/UserPrompt.h"

namespace pontvex::linktest {
namespace {

using LinkAtRest = OnlineLink;

// Pin 31 (port 3 bit 5) reads low once its ground switch is on, as on a box
// that has that switch.
void groundingBox(FakeBox& box)
{
    box.answer = [](uint8_t command, const Bytes&) { return command == 4 ? Bytes{0x00} : Bytes{0xFF}; };
}

TEST_F(LinkAtRest, TheProbeSendsItsClosingGroundSwitchBeforeItReturns)
{
    FakeBox box;
    groundingBox(box);
    box.install(*log);
    EXPECT_EQ(link.ProbeHardwareModel(), 98);
    // Pin 31 is driven high; its ground must be off on the box now, not with
    // the next command.
    EXPECT_FALSE(link.HasUnsentBytes());
    EXPECT_TRUE(link.Idle());
    const Bytes closing = cat({bytes({79, 27, 0x07}), nops(10)});
    ASSERT_GE(log->written.size(), closing.size());
    EXPECT_TRUE(
        std::equal(closing.begin(), closing.end(), log->written.end() - static_cast<long>(closing.size())));
}

TEST_F(LinkAtRest, PortTestAndConnectionEndWithNothingQueued)
{
    FakeBox box;
    box.answer = [](uint8_t, const Bytes&) { return Bytes{0xFF}; };
    box.install(*log);
    EXPECT_FALSE(link.PinLoopTest()); // pin 1 never follows its driver here
    EXPECT_TRUE(link.Idle());

    ProgrammerLink attached;
    AttachRecording(attached);
    EXPECT_TRUE(attached.Connected());
    EXPECT_TRUE(attached.Idle());

    ScriptedPortOpener ports;
    ports.addPort("COM2", IdentityAnswer("kelu3v13"));
    ProgrammerLink connected;
    connected.setSettingsPath("");
    connected.setPortOpener(&ports);
    connected.Connect(false);
    ASSERT_TRUE(connected.Connected());
    EXPECT_EQ(connected.PortName(), "COM2");
    EXPECT_TRUE(connected.Idle());
    EXPECT_FALSE(ports.logs["COM2"]->written.empty());

    ProgrammerLink named;
    named.setSettingsPath("");
    named.setPortOpener(&ports);
    ASSERT_TRUE(named.ConnectTo("COM2"));
    EXPECT_TRUE(named.Idle());
}

TEST_F(LinkAtRest, HasUnsentBytesSaysWhatFlushWouldSend)
{
    EXPECT_FALSE(link.HasUnsentBytes());
    link.SetPin(1, 1);
    link.LinkDelay(3);
    EXPECT_TRUE(link.HasUnsentBytes());
    EXPECT_EQ(link.UnsentBytes(), 5u);
    EXPECT_TRUE(log->written.empty());
    link.Flush();
    EXPECT_FALSE(link.HasUnsentBytes());
    EXPECT_EQ(log->written.size(), 5u);

    ProgrammerLink offline;
    offline.SetPin(1, 1);
    EXPECT_FALSE(offline.HasUnsentBytes()) << "offline nothing is queued";
}

TEST_F(LinkAtRest, ABlockingReadWithRepliesOwedThrowsAndSendsNothing)
{
    FakeBox box;
    box.answer = [](uint8_t command, const Bytes&) { return Bytes{command}; };
    box.install(*log);
    link.QueueCommand({128}, 1);
    link.QueueCommand({2}, 1);
    link.Flush();
    const size_t before = log->written.size();
    auto thrown = [&](auto read) -> std::string {
        try {
            read();
        } catch (const LinkMisuse& e) {
            return e.what();
        }
        return "nothing thrown";
    };
    EXPECT_EQ(thrown([&] { link.ReadPort(0); }),
              "ReadPort (command 1) read while 2 queued reply bytes are not collected");
    EXPECT_NE(thrown([&] { link.ReadPin(20); }).find("Status (command 7)"), std::string::npos);
    EXPECT_NE(thrown([&] { link.ReadPin(5); }).find("ReadPort (command 1)"), std::string::npos);
    EXPECT_NE(thrown([&] { link.ReadDataByte(); }).find("ReadDataByte (command 128)"), std::string::npos);
    EXPECT_NE(thrown([&] { link.CheckSocketStatus(); }).find("Status (command 7)"), std::string::npos);
    uint8_t block[256];
    uint8_t low = 0;
    EXPECT_NE(thrown([&] { link.ReadPortBlock(block, low); }).find("ReadPort (command 5)"),
              std::string::npos);
    EXPECT_NE(thrown([&] { link.ReadDataBytes(block, 2); }).find("command 128"), std::string::npos);
    link.Flush();
    EXPECT_EQ(log->written.size(), before);

    // Collecting is what the queue is for; after it the reads are plain again.
    EXPECT_EQ(link.ReceiveByte(), 128);
    EXPECT_EQ(link.PendingReplies(), 1);
    EXPECT_EQ(link.ReceiveByte(), 2);
    EXPECT_EQ(link.ReadPort(3), 4);
}

TEST_F(LinkAtRest, AQueuedByteThatIsNoCommandFailsLoudly)
{
    EXPECT_THROW(link.QueueCommand({6}, 1), LinkMisuse);
    EXPECT_EQ(link.PendingReplies(), 0);
    ProgrammerLink offline;
    EXPECT_THROW(offline.QueueCommand({255, 1}, 0), LinkMisuse);
}

// The connection needs no socket driver: it opens a bare byte link, sends the
// idle sequence it is given and leaves nothing queued.
TEST(ConnectionAlone, OpensAByteLinkAndSendsTheIdleSequenceItIsGiven)
{
    ByteLink bytes;
    int idles = 0;
    Connection connection(bytes, [&] {
        ++idles;
        bytes.SendByte(0);
    });
    connection.setSettingsPath("");
    auto transport = std::make_unique<RecordingTransport>();
    auto log = transport->log();
    const Bytes answer = IdentityAnswer("kelm3v52");
    log->replies.assign(answer.begin(), answer.end());
    ASSERT_TRUE(connection.AttachTransport(std::move(transport), "X"));
    EXPECT_TRUE(bytes.Connected());
    EXPECT_EQ(idles, 1);
    EXPECT_EQ(connection.FirmwareId(), "kelm3v52");
    EXPECT_EQ(connection.PortName(), "X");
    EXPECT_EQ(log->written, (Bytes{15, 0}));
    EXPECT_TRUE(bytes.Idle());
    bytes.SendByte(30);
    connection.Disconnect();
    EXPECT_EQ(log->written, (Bytes{15, 0, 30})) << "what was queued goes out first";
    EXPECT_FALSE(bytes.Connected());
    EXPECT_EQ(bytes.transport(), nullptr);
}

} // namespace
} // namespace pontvex::linktest

// The simulated adapter against what a real one does, and the pipelined loops
// against the box's small input buffer.

#include "boxsim/Box.h"
#include "boxsim/SimTransport.h"
#include "boxsim/chips/Registry.h"
#include "catalogue/HeadlessHost.h"
#include "core/DeviceBuffer.h"
#include "families/memory/TP27x.h"
#include "link/ProgrammerLink.h"

#include <gtest/gtest.h>

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
        auto box = std::make_shared<boxsim::Box>();
        box->insertChip(boxsim::makeChipModel("27C512"));
        ASSERT_TRUE(box->chip()->loadImage(Bytes(0x10000, 0xFF)));
        boxsim::LineOptions o;
        o.latencyMs = latency;
        auto sim = std::make_unique<boxsim::SimTransport>(box, o);
        boxsim::SimTransport* simulator = sim.get();
        ProgrammerLink link;
        link.setSettingsPath("");
        HeadlessHost host;
        host.hexView = true;
        link.setPrompt(&host.script());
        ASSERT_TRUE(link.AttachTransport(std::move(sim), "SIM"));
        TP27x eprom(link, host);
        ChipSelection selection;
        selection.AlgorithmKey = "P27";
        selection.VariantIndex = 14;
        selection.ChipName = "27C512";
        eprom.SelectChip(selection);
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

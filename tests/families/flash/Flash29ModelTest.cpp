#include "support/FamilyBench.h"

#include "boxsim/chips/Flash29F.h"
#include "families/flash/FlashWindow.h"

namespace pontvex::flash_test {
namespace {

using boxsim::Flash29F;

// The chip on the bench, driven cycle by cycle through the window's own
// bus helpers.
struct Socket {
    FamilyBench bench{"AT49F", 1, "AT49F010"};
    FlashWindow& w = bench.as<FlashWindow>();
    ProgrammerLink& link = bench.link;

    Socket()
    {
        link.RouteVcc(36);
        link.RouteGnd(20);
        link.SetBusMode(15);
        w.SetFlashAddress(0);
    }
    ~Socket()
    {
        w.PrepareIdle();
        link.Flush();
    }
    void unlock()
    {
        w.WriteCommandCycle(0x5555, 0xAA);
        w.WriteCommandCycle(0x2AAA, 0x55);
    }
    // One read: CE and OE fall, the bus is sampled, both rise again.
    uint8_t read(uint32_t address)
    {
        w.SetFlashAddress(address);
        link.SetBusMode(12);
        link.DrivePin(28);
        link.DrivePin(26);
        const uint8_t v = link.ReadPort(2);
        link.FloatPin(26);
        link.FloatPin(28);
        link.SetBusMode(15);
        return v;
    }
};

TEST(Flash29Model, EraseBusyShowsDq7LowAndDq6TogglingThenAllOnes)
{
    Socket s;
    s.bench.chip()->loadImage(std::vector<uint8_t>(0x20000, 0x00));
    s.unlock();
    s.w.WriteCommandCycle(0x5555, 0x80);
    s.unlock();
    s.w.WriteCommandCycle(0x5555, 0x10);
    const uint8_t a = s.read(0), b = s.read(0);
    EXPECT_EQ(a & 0x80, 0);
    EXPECT_EQ(b & 0x80, 0);
    EXPECT_NE(a & 0x40, b & 0x40);
    s.link.LinkDelay(2000);
    EXPECT_EQ(s.read(0), 0xFF);
    EXPECT_EQ(s.read(0x1FFFF), 0xFF);
}

TEST(Flash29Model, ProgramClearsBitsOnlyAndNeedsTheUnlock)
{
    Socket s;
    s.bench.chip()->loadImage(std::vector<uint8_t>(0x20000, 0xF0));
    // Without the unlock cycles a write is no command.
    s.w.WriteCommandCycle(0x5555, 0xA0);
    s.w.WriteCommandCycle(0x100, 0x00);
    EXPECT_EQ(s.read(0x100), 0xF0);
    s.unlock();
    s.w.WriteCommandCycle(0x5555, 0xA0);
    s.w.WriteCommandCycle(0x100, 0x3F);
    s.link.LinkDelay(1);
    EXPECT_EQ(s.read(0x100), 0x30); // a 0 never goes back to 1
    EXPECT_EQ(s.bench.model<Flash29F>().programs(), 1);
}

TEST(Flash29Model, AutoselectGivesTheMakersCodesUntilReset)
{
    Socket s;
    s.bench.model<Flash29F>().protectSector(3);
    s.unlock();
    s.w.WriteCommandCycle(0x5555, 0x90);
    EXPECT_EQ(s.read(0), 0x1F);
    EXPECT_EQ(s.read(1), 0x17);
    EXPECT_EQ(s.read(3 * 0x4000 + 2), 1); // sector protect status
    EXPECT_EQ(s.read(2), 0);
    s.w.WriteCommandCycle(0, 0xF0);
    EXPECT_EQ(s.read(0), 0xFF);
}

TEST(Flash29Model, ProtectedSectorRefusesProgramming)
{
    Socket s;
    s.bench.model<Flash29F>().protectSector(0);
    s.unlock();
    s.w.WriteCommandCycle(0x5555, 0xA0);
    s.w.WriteCommandCycle(0x10, 0x00);
    s.link.LinkDelay(1);
    EXPECT_EQ(s.read(0x10), 0xFF);
    s.unlock();
    s.w.WriteCommandCycle(0x5555, 0xA0);
    s.w.WriteCommandCycle(0x4010, 0x00);
    s.link.LinkDelay(1);
    EXPECT_EQ(s.read(0x4010), 0x00);
}

} // namespace
} // namespace pontvex::flash_test

// Injected faults: what the link meets when the box or the socket misbehaves.

#include "BoxTestSupport.h"
#include "boxsim/Faults.h"

namespace pontvex::boxsim {
namespace {

struct FaultBench {
    explicit FaultBench(const FaultPlan& plan, std::unique_ptr<ChipModel> chip = nullptr)
        : box(std::make_shared<Box>())
    {
        if (chip) {
            box->insertChip(std::move(chip));
        }
        plan.applyTo(*box);
        link.setPrompt(&prompt);
        link.setSettingsPath("");
        connected = link.AttachTransport(
            std::make_unique<FaultyTransport>(std::make_unique<SimTransport>(box), plan), "SIM");
    }
    simtest::QuietPrompt prompt;
    std::shared_ptr<Box> box;
    ProgrammerLink link;
    bool connected = false;
};

FaultPlan plan(std::initializer_list<const char*> faults)
{
    FaultPlan p;
    std::string error;
    for (const char* f : faults) {
        EXPECT_TRUE(p.add(f, error)) << error;
    }
    return p;
}

TEST(BoxFaults, ABoxThatAnswersShortOrNotAtAllIsNotFound)
{
    for (const char* f : {"short-identity", "mute", "vanish-after=0", "drop-reply=3"}) {
        FaultBench b(plan({f}));
        EXPECT_FALSE(b.connected) << f;
        EXPECT_EQ(b.link.StatusText(), "Ошб.") << f;
    }
}

TEST(BoxFaults, ABoxThatVanishesLaterLosesTheLink)
{
    FaultBench b(plan({"vanish-after=200"}));
    ASSERT_TRUE(b.connected);
    EXPECT_THROW(
        {
            for (int i = 0; i < 300; ++i) {
                b.link.ReadPin(1);
            }
        },
        LinkLost);
    EXPECT_FALSE(b.link.Connected());
    ASSERT_EQ(b.prompt.messages.size(), 1u);
    EXPECT_EQ(b.prompt.messages[0], "Потеряна связь\nПрогр.выключили после инициализ.!");
}

TEST(BoxFaults, RandomReplyLossReplaysWithItsSeed)
{
    auto lostAt = [](const char* seed) {
        FaultFilter f(plan({"drop-rate=0.1", seed}));
        std::vector<int> lost;
        for (int i = 0; i < 200; ++i) {
            if (!f.passReply()) {
                lost.push_back(i);
            }
        }
        return lost;
    };
    EXPECT_EQ(lostAt("seed=7"), lostAt("seed=7"));
    EXPECT_NE(lostAt("seed=7"), lostAt("seed=8"));
    EXPECT_FALSE(lostAt("seed=7").empty());
}

TEST(BoxFaults, MalformedFaultsAreRefused)
{
    FaultPlan p;
    std::string error;
    for (const char* f : {"vanish-after=", "stuck-pin=41:1", "stuck-pin=3:2", "short-pins=4:4", "drop-rate=2",
                          "stuck-cell=10:1FF:0", "explode", "mute=1"}) {
        EXPECT_FALSE(p.add(f, error)) << f;
        EXPECT_NE(error.find(f), std::string::npos);
    }
}

TEST(BoxFaults, StuckAndShortedLinesFailThePinLoop)
{
    {
        FaultBench b(plan({"stuck-pin=1:1"}));
        ASSERT_TRUE(b.connected);
        EXPECT_FALSE(b.link.PinLoopTest());
    }
    {
        FaultBench b(plan({"short-pins=1:2"}));
        ASSERT_TRUE(b.connected);
        b.link.ResetSocket();
        b.link.SetPin(2, 0);
        b.link.DrivePin(2);
        EXPECT_FALSE(b.link.PinLoopTest()) << "pin 2's sink pulls pin 1 down";
    }
    {
        FaultBench b(plan({}));
        EXPECT_TRUE(b.link.PinLoopTest());
    }
}

TEST(BoxFaults, StuckCellReadsBackWrong)
{
    auto chip = simtest::chip("TEST28");
    static_cast<TestChip*>(chip.get())->memory().assign(0x8000, 0x5A);
    FaultBench b(plan({"stuck-cell=0:81:01"}), std::move(chip));
    ASSERT_TRUE(b.connected);
    b.link.ResetSocket();
    b.link.RouteVcc(34);
    b.link.WriteLatch(3, 0x80); // the RAM's WE high
    b.link.WriteLatch(0, 0x1F);
    b.link.WriteLatch(1, 0x00);
    b.link.SetBusMode(12);
    b.link.WriteLatch(3, 0x80);
    b.link.Flush();
    // Address 0 holds 0x5A: bit 7 stuck at 0, bit 0 stuck at 1.
    static_cast<TestChip*>(b.box->chip())->memory()[0] = 0xDA;
    EXPECT_EQ(b.link.ReadDataByte(), 0x5B);
    EXPECT_EQ(b.link.ReadDataByte(), 0x5A);
}

TEST(BoxFaults, EmptySocketAndWrongChip)
{
    // Reads of an empty socket see the pull-ups.
    FaultBench empty(plan({}));
    empty.link.ResetSocket();
    empty.link.SetBusMode(12);
    empty.link.RouteVcc(34);
    EXPECT_EQ(empty.link.ReadDataByte(), 0xFF);
    EXPECT_FALSE(empty.box->chipPowered());
    // A 40-pin part where a 28-pin one is expected is not powered by pin 34.
    FaultBench wrong(plan({}), simtest::chip("TEST40"));
    wrong.link.ResetSocket();
    wrong.link.SetPin(40, 0);
    wrong.link.DrivePin(40);
    wrong.link.RouteVcc(34);
    wrong.link.Flush();
    EXPECT_FALSE(wrong.box->chipPowered());
}

} // namespace
} // namespace pontvex::boxsim

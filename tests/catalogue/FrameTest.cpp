#include "TestFamily.h"
#include "boxsim/SimTransport.h"

#include <gtest/gtest.h>

#include <memory>

namespace pontvex::test {
namespace {

ChipSelection testChip()
{
    ChipSelection chip;
    chip.AlgorithmKey = "P27";
    chip.VariantIndex = 1;
    chip.ChipName = "TEST16";
    return chip;
}

// The bytes a sequence sends from the socket state a chip selection leaves.
std::vector<uint8_t> bytesOf(const std::function<void(ProgrammerLink&)>& sequence)
{
    ProgrammerLink reference;
    HeadlessHost host;
    auto log = AttachRecording(reference);
    log->answerAlways(0xFF);
    TTestFamily(reference, host).SelectChip(testChip());
    reference.Flush();
    log->clear();
    sequence(reference);
    reference.Flush();
    return log->written;
}

class FrameTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        link.setPrompt(&host.script());
        log = AttachRecording(link);
        log->answerAlways(0xFF);
        family = std::make_unique<TTestFamily>(link, host);
        family->SelectChip(testChip());
        link.Flush();
        log->clear();
    }

    ProgrammerLink link;
    HeadlessHost host;
    std::shared_ptr<TransportLog> log;
    std::unique_ptr<TTestFamily> family;
};

TEST_F(FrameTest, AutoRunsTickedStepsInOrderAndCountsOnlyWhenAllPassed)
{
    family->findAutoStep("verify")->checked = true;
    family->Button1Click();
    EXPECT_EQ(family->ran, (std::vector<std::string>{"blank", "write", "verify"}));
    EXPECT_EQ(family->message(), "Авто ОК!");
    EXPECT_EQ(family->ErrorFlag(), 0);
    EXPECT_EQ(host.successCount, 1);

    family->ran.clear();
    family->findAutoStep("Проверить")->checked = false; // by caption
    family->Button1Click();
    EXPECT_EQ(family->ran, (std::vector<std::string>{"write", "verify"}));
    EXPECT_EQ(host.successCount, 2);
}

TEST_F(FrameTest, AutoStopsAtTheFirstFailedStep)
{
    log->answerAlways(0x00); // the chip is not blank
    family->Button1Click();
    EXPECT_EQ(family->ran, (std::vector<std::string>{"blank"}));
    EXPECT_EQ(family->message(), "000000: Ошибка!  ");
    EXPECT_EQ(family->ErrorFlag(), 1);
    EXPECT_EQ(host.successCount, 0);

    log->answerAlways(0xFF);
    family->ran.clear();
    family->failWrite = true;
    family->findAutoStep("verify")->checked = true;
    family->Button1Click();
    EXPECT_EQ(family->ran, (std::vector<std::string>{"blank", "write"}));
    EXPECT_NE(family->message(), "Авто ОК!");
    EXPECT_EQ(host.successCount, 0);
}

TEST_F(FrameTest, AutoWithNothingTickedSaysOkAndCounts)
{
    for (auto& step : family->autoSteps())
        step.checked = false;
    family->press("Авто");
    EXPECT_TRUE(family->ran.empty());
    EXPECT_EQ(family->message(), "Авто ОК!");
    EXPECT_EQ(host.successCount, 1);
}

TEST_F(FrameTest, AutoRefusesToWriteWithoutAHexView)
{
    host.hexView = false; // a JEDEC view replaced it
    family->Button1Click();
    EXPECT_TRUE(family->ran.empty());
    ASSERT_EQ(host.script().messages.size(), 1u);
    EXPECT_EQ(host.script().messages[0], "必须打开文件才能执行写操作！");
    EXPECT_EQ(family->ErrorFlag(), 1);
    EXPECT_EQ(host.successCount, 0);

    family->findAutoStep("write")->checked = false; // without Write the view is not needed
    family->Button1Click();
    EXPECT_EQ(family->ran, (std::vector<std::string>{"blank"}));
    EXPECT_EQ(host.successCount, 1);
}

TEST_F(FrameTest, FailedStepLeavesEverySupplyOff)
{
    family->failWrite = true;
    family->WriteClick();
    EXPECT_EQ(family->ErrorFlag(), 1);
    const auto& s = link.shadows();
    EXPECT_EQ(s.vppRouteA, 0x00);
    EXPECT_EQ(s.vppRouteB & 0x7F, 0x00);
    EXPECT_EQ(s.pinLatch[6] & 0x0F, 0x0F);
    EXPECT_EQ(s.vccRouteA, 0xFF);
    EXPECT_EQ(s.vccGndRoute & 0x07, 0x07);
    // Vpp leaves the pin before its level drops, then Vcc goes.
    EXPECT_EQ(log->written, bytesOf([](ProgrammerLink& l) {
                  l.RouteVcc(34);
                  l.SetVppVoltage(12500);
                  l.RouteVpp(28);
                  l.RouteVpp(0);
                  l.SetVppVoltage(0);
                  l.RouteVcc(0);
              }));
}

TEST_F(FrameTest, CommandThatSwitchedOffItselfGetsNothingMore)
{
    family->BlankClick();
    EXPECT_EQ(family->message(), "Прв.ОК");
    EXPECT_EQ(family->ErrorFlag(), 0);
    EXPECT_EQ(log->written, bytesOf([](ProgrammerLink& l) {
                  l.RouteVcc(34);
                  for (int i = 0; i < 16; ++i)
                      l.ReadDataByte();
                  l.RouteVcc(0);
              }));
}

TEST_F(FrameTest, ClockRoutedByACommandIsSwitchedOff)
{
    family->runCommand("", [this] { link.RouteClock(19); });
    EXPECT_EQ(log->written, bytesOf([](ProgrammerLink& l) {
                  l.RouteClock(19);
                  l.RouteClock(0);
              }));
}

TEST_F(FrameTest, OtherFaultsStillSwitchOffAndPropagate)
{
    family->throwInWrite = true;
    EXPECT_THROW(family->WriteClick(), std::runtime_error);
    EXPECT_EQ(link.shadows().vccRouteA, 0xFF);
    EXPECT_EQ(link.shadows().vppRouteA, 0x00);
    EXPECT_EQ(link.shadows().pinLatch[6] & 0x0F, 0x0F);
}

TEST_F(FrameTest, NestedCommandLeavesSuppliesToTheOuterFrame)
{
    family->NestedClick();
    EXPECT_TRUE(family->innerLeftVccOn);
    EXPECT_EQ(link.shadows().vccRouteA, 0xFF);
}

TEST_F(FrameTest, LinkLostEndsTheCommandAndLaterCommandsRefuse)
{
    log->acceptLimit = log->written.size() + 4; // the box goes away during the command
    family->WriteClick();
    EXPECT_FALSE(link.Connected());
    EXPECT_EQ(family->ErrorFlag(), 1);
    EXPECT_EQ(family->message(), "Ошб.соед!");

    family->ran.clear();
    family->resetOutcome();
    family->BlankClick();
    EXPECT_TRUE(family->ran.empty());
    EXPECT_EQ(family->ErrorFlag(), 1);
}

TEST(FrameOffline, CommandsAndAutoRefuseWithoutTheBox)
{
    ProgrammerLink link; // never connected
    HeadlessHost host;
    link.setPrompt(&host.script());
    TTestFamily family(link, host);
    host.hexView = true;
    family.press("blank");
    EXPECT_TRUE(family.ran.empty());
    EXPECT_EQ(family.message(), "Ошб.соед!");
    EXPECT_EQ(family.ErrorFlag(), 1);

    for (auto& step : family.autoSteps())
        step.checked = false;
    family.Button1Click();
    EXPECT_EQ(family.message(), "Ошб.соед!");
    EXPECT_EQ(host.successCount, 0);
}

TEST_F(FrameTest, AddressFieldsParseHexOnEnterOrLeave)
{
    family->editField("BufferStart", "1f0");
    EXPECT_EQ(family->findField("BufferStart")->value, 0x1F0);
    EXPECT_EQ(family->findField("BufferStart")->text, "1f0");

    family->editField("Старт буф", ""); // empty: value stays, shown again
    EXPECT_EQ(family->findField("bufferStart")->value, 0x1F0);
    EXPECT_EQ(family->findField("bufferStart")->text, "1f0");

    family->editField("BufferStart", "  0x2A0g");
    EXPECT_EQ(family->findField("BufferStart")->value, 0x2A0);
    for (const char* bad : {"zz", "-5", "123456789", "x"}) {
        family->editField("BufferStart", bad);
        EXPECT_EQ(family->findField("BufferStart")->value, 0x2A0) << bad;
        EXPECT_EQ(family->findField("BufferStart")->text, "2a0") << bad;
    }
    EXPECT_EQ(family->findField("LastAddress")->text, "f"); // set by SelectChip with "%x"
    EXPECT_EQ(family->findField("ChipStart")->text, "000000");
}

TEST_F(FrameTest, ButtonsAreFoundByAnyOfTheirNames)
{
    for (const char* name : {"Blank", "BlankClick", "Проверить", "blank"}) {
        ASSERT_NE(family->findButton(name), nullptr) << name;
        EXPECT_EQ(family->findButton(name)->shortName, "blank");
    }
    EXPECT_TRUE(family->press("erase")); // disabled: found, does nothing
    EXPECT_TRUE(family->ran.empty());
    EXPECT_FALSE(family->press("nothing"));
    EXPECT_FALSE(family->press(""));
    EXPECT_EQ(family->option("speed"), 0);
    EXPECT_EQ(family->option("Алгоритм проверки"), 0);
    EXPECT_EQ(family->option("none"), -1);
}

TEST_F(FrameTest, ProgressShowsTheAddressAndRepaints)
{
    int repaints = 0;
    host.onChanged = [&](FamilyWindow&) { ++repaints; };
    family->BlankClick();
    EXPECT_EQ(family->addressText(), "00000f");
    EXPECT_EQ(family->progressValue(), 15);
    EXPECT_EQ(family->progressMax(), 15);
    EXPECT_GE(repaints, 5); // busy text, four progress steps, result
}

TEST_F(FrameTest, IdButtonCopiesTheTypeDialogsField)
{
    host.idReader = [] { return std::string("1e,8c"); };
    family->press("Код ИД");
    EXPECT_EQ(family->idText(), "1e,8c");
}

TEST_F(FrameTest, ExitHidesTheWindowAndInitialisesTheSocket)
{
    ASSERT_TRUE(family->visible());
    family->press("exit");
    EXPECT_FALSE(family->visible());
    EXPECT_EQ(log->written, bytesOf([](ProgrammerLink& l) { l.InitSocket(); }));
    log->clear();
    family->close(); // already closed: nothing more
    EXPECT_TRUE(log->written.empty());
}

TEST_F(FrameTest, VariantOutsideTheTableIsRefused)
{
    ChipSelection chip;
    chip.VariantIndex = 3;
    EXPECT_FALSE(family->acceptChip(chip));
    EXPECT_EQ(family->message(), "Нет типа 3 в таблице!");
    EXPECT_EQ(family->ErrorFlag(), 1);
    chip.VariantIndex = 0; // the placeholder row
    EXPECT_FALSE(family->acceptChip(chip));
    chip.VariantIndex = 2;
    EXPECT_TRUE(family->acceptChip(chip));
}

// The same frame against the simulated box: what the box itself ends up with.
TEST(FrameOnTheBox, FailedWriteLeavesTheSocketUnpowered)
{
    auto box = std::make_shared<boxsim::Box>();
    ProgrammerLink link;
    HeadlessHost host;
    link.setPrompt(&host.script());
    ASSERT_TRUE(link.AttachTransport(std::make_unique<boxsim::SimTransport>(box), "SIM"));
    TTestFamily family(link, host);
    family.SelectChip(testChip());

    family.failWrite = true;
    family.WriteClick();
    EXPECT_EQ(family.ErrorFlag(), 1);
    EXPECT_TRUE(box->vppRoutedPins().empty());
    EXPECT_EQ(box->vppCode(), 0);
    EXPECT_EQ(box->vccPin(), 0);

    family.runCommand("", [&] {
        link.RouteVcc(40);
        link.RouteClock(19);
    });
    EXPECT_EQ(box->clockPin(), 0);
    EXPECT_EQ(box->vccPin(), 0);
    EXPECT_TRUE(box->clean()) << box->errorReport();
}

} // namespace
} // namespace pontvex::test

namespace pontvex::test {
namespace {

// A family that switches Vcc on and then asks the user something.
class AskingFamily : public TTestFamily {
public:
    using TTestFamily::TTestFamily;
    void askWithPowerOn()
    {
        runCommand("Провер...", [this] {
            link.RouteVcc(34);
            prompt().askYesNo("Продолжать?");
        });
    }
};

TEST(FramePrompt, QuestionsWaitUntilTheSocketHasEveryQueuedByte)
{
    ProgrammerLink link;
    HeadlessHost host;
    link.setPrompt(&host.script());
    auto log = AttachRecording(link);
    log->answerAlways(0xFF);
    AskingFamily family(link, host);
    family.SelectChip(testChip());
    link.Flush();
    log->clear();

    size_t sentWhenAsked = 0;
    host.script().echo = [&](const std::string&, const std::string&) { sentWhenAsked = log->written.size(); };
    family.askWithPowerOn();

    ASSERT_EQ(host.script().questions.size(), 1u);
    // RouteVcc 34: driver off, route A, 10 no-ops, route, 10 no-ops.
    EXPECT_EQ(sentWhenAsked, 1u + 2u + 10u + 2u + 10u);
}

} // namespace
} // namespace pontvex::test

namespace pontvex::test {
namespace {

TEST(FrameAuto, DisabledStepIsSkippedAndDoesNotNeedAHexView)
{
    ProgrammerLink link;
    HeadlessHost host;
    link.setPrompt(&host.script());
    auto log = AttachRecording(link);
    log->answerAlways(0xFF);
    TTestFamily family(link, host);
    family.SelectChip(testChip());
    host.hexView = false;
    family.findAutoStep("write")->enabled = false;
    family.Button1Click();
    EXPECT_EQ(family.ran, std::vector<std::string>{"blank"});
    EXPECT_EQ(family.message(), "Авто ОК!");
    EXPECT_EQ(host.successCount, 1);
}

} // namespace
} // namespace pontvex::test

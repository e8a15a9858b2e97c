#include "boxsim/Box.h"
#include "boxsim/SimTransport.h"
#include "boxsim/TestBoard.h"
#include "catalogue/HeadlessHost.h"
#include "families/ramtest/TTestKelm1.h"

#include <gtest/gtest.h>

namespace pontvex::testkelm_test {
namespace {

using boxsim::TestBoard;
using Show = TestBoard::Show;

// The box with the service test board in its socket and the window on its link.
struct Board {
    Board()
    {
        auto model = std::make_unique<TestBoard>();
        board = model.get();
        box->insertChip(std::move(model));
        link.setSettingsPath("");
        link.setPrompt(&host.script());
        EXPECT_TRUE(link.AttachTransport(std::make_unique<boxsim::SimTransport>(box), "SIM"));
        window = std::make_unique<TTestKelm1>(link);
    }
    // What the board saw during one button.
    void press(const std::string& button)
    {
        link.Flush();
        start = box->now();
        board->clear(start);
        box->clearProblems();
        ASSERT_TRUE(window->press(button)) << button;
        link.Flush();
    }
    // What began during the button (not what the socket showed before it).
    std::vector<TestBoard::Span> seen(Show show) const
    {
        std::vector<TestBoard::Span> out;
        for (const auto& s : board->spansOf(show, box->now()))
            if (s.from > start)
                out.push_back(s);
        return out;
    }
    // The reset state: every pin pulled low, ground on 20, supplies off.
    void expectReset() const
    {
        for (int p = 1; p <= 40; ++p)
            EXPECT_EQ(board->showing(p), p == 20 ? Show::Ground : Show::Dark) << "pin " << p;
        EXPECT_TRUE(box->vppRoutedPins().empty());
        EXPECT_TRUE(box->vccRoutedPins().empty());
        EXPECT_EQ(box->vppCode(), 0);
        EXPECT_EQ(box->clockPin(), 0);
        EXPECT_FALSE(box->vccRaised());
    }

    // Pin p does not ground: its ground switch stays open and the board's
    // load holds the pin high.
    void notGrounding(int p)
    {
        box->breakSwitches(p);
        box->stickPin(p, 1);
    }

    std::shared_ptr<boxsim::Box> box = std::make_shared<boxsim::Box>();
    TestBoard* board = nullptr;
    boxsim::SimTime start = 0;
    HeadlessHost host;
    ProgrammerLink link;
    std::unique_ptr<TTestKelm1> window;
};

TEST(TestKelmWindow, CarriesItsCaptionsAndStartText)
{
    Board b;
    EXPECT_EQ(b.window->caption(), "必须专用的测试板才能检测(2003.2.18)");
    EXPECT_EQ(b.window->edit1(), "Edit1");
    std::vector<std::string> captions;
    for (const auto& button : b.window->buttons())
        captions.push_back(button.caption);
    EXPECT_EQ(captions,
              (std::vector<std::string>{"全部亮", "全部灭", "旋转", "12V", "21V", "25V", "Vpp (8)", "Vcc (9)",
                                        "地", "震荡", "6.5V(贴)", "复位", "初始化通信口"}));
    ASSERT_EQ(b.window->radios().size(), 2u);
    EXPECT_EQ(b.window->radios()[0].items, (std::vector<std::string>{"5v", "12v", "14v", "21v", "25v"}));
    EXPECT_EQ(b.window->radios()[1].items, (std::vector<std::string>{"0v", "5v", "6.2v"}));
}

TEST(TestKelmWindow, RunningLightLightsEveryPinButGroundOneAtATime)
{
    Board b;
    b.press("旋转");
    std::vector<int> order;
    const auto lit = b.seen(Show::Lit);
    for (size_t i = 0; i < lit.size(); ++i) {
        order.push_back(lit[i].pin);
        EXPECT_GE(lit[i].length(), 3000) << "pin " << lit[i].pin;
        EXPECT_LT(lit[i].length(), 3010) << "pin " << lit[i].pin;
        if (i > 0) {
            EXPECT_GE(lit[i].from, lit[i - 1].to) << "pins " << lit[i - 1].pin << " and " << lit[i].pin;
        }
    }
    std::vector<int> expected;
    for (int p = 1; p <= 40; ++p)
        if (p != 20)
            expected.push_back(p);
    EXPECT_EQ(order, expected);
    b.expectReset();
    EXPECT_EQ(b.window->edit1(), "复位");
    EXPECT_EQ(b.box->errorReport(), "");
}

TEST(TestKelmWindow, SupplySweepsVisitTheirPinsInOrderForTheirTime)
{
    Board b;
    b.press("Vpp (8)");
    std::vector<int> pins;
    for (const auto& s : b.seen(Show::Vpp)) {
        pins.push_back(s.pin);
        EXPECT_EQ(s.vppCode, ProgrammerLink::VppLevelCode(12000)) << "pin " << s.pin;
        EXPECT_GE(s.length(), 5000);
        EXPECT_LT(s.length(), 5020);
    }
    EXPECT_EQ(pins, TTestKelm1::VppSweepPins());
    EXPECT_TRUE(b.seen(Show::Vcc).empty());
    b.expectReset();

    b.press("Vcc (9)");
    pins.clear();
    for (const auto& s : b.seen(Show::Vcc)) {
        pins.push_back(s.pin);
        EXPECT_GE(s.length(), 5000);
        EXPECT_LT(s.length(), 5030); // the pin's latch and driver change inside
    }
    EXPECT_EQ(pins, TTestKelm1::VccSweepPins());
    EXPECT_TRUE(b.seen(Show::Vpp).empty());
    b.expectReset();
    EXPECT_EQ(b.box->errorReport(), "");
}

TEST(TestKelmWindow, ClockGoesToPin15ThenPin19)
{
    Board b;
    b.press("震荡");
    std::vector<int> pins;
    for (const auto& s : b.seen(Show::Clock)) {
        pins.push_back(s.pin);
        EXPECT_GE(s.length(), 5000);
    }
    EXPECT_EQ(pins, (std::vector<int>{15, 19}));
    b.expectReset();
}

TEST(TestKelmWindow, AllHighAllLowResetAndRaisedSupply)
{
    Board b;
    b.press("全部亮");
    for (int p = 1; p <= 40; ++p)
        EXPECT_EQ(b.board->showing(p), p == 20 ? Show::Ground : Show::Lit) << "pin " << p;
    b.press("全部灭");
    for (int p = 1; p <= 40; ++p)
        EXPECT_EQ(b.board->showing(p), p == 20 ? Show::Ground : Show::Dark) << "pin " << p;
    b.press("6.5V(贴)");
    EXPECT_EQ(b.window->edit1(), "测量40脚6.2v至6.9V");
    EXPECT_EQ(b.board->showing(40), Show::Vcc);
    b.press("复位");
    b.expectReset();
    // Levels only: nothing is routed.
    b.press("25V");
    EXPECT_TRUE(b.box->vppRoutedPins().empty());
    EXPECT_TRUE(b.window->choose("RadioGroup1", 3));
    EXPECT_TRUE(b.box->vppRoutedPins().empty());
    EXPECT_FALSE(b.window->choose("RadioGroup2", 3));
}

TEST(TestKelmWindow, GroundTestNamesTheLastPinThatDoesNotGround)
{
    {
        Board b;
        b.press("地");
        EXPECT_EQ(b.window->edit1(), "好");
    }
    {
        Board b;
        b.notGrounding(20);
        b.press("地");
        EXPECT_EQ(b.window->edit1(), "p20 坏; ");
    }
    {
        Board b;
        b.notGrounding(25);
        b.press("地");
        EXPECT_EQ(b.window->edit1(), "p25 坏; ");
    }
    {
        Board b;
        b.notGrounding(21);
        b.notGrounding(31);
        b.press("地");
        EXPECT_EQ(b.window->edit1(), "p31 坏; ");
    }
    {
        Board b;
        b.notGrounding(21);
        b.press("地");
        EXPECT_EQ(b.window->edit1(), "p21 坏; ");
    }
}

TEST(TestKelmWindow, ReopenCutsThePortNameAndReportsTheBox)
{
    Board b;
    std::string asked;
    b.window->reopenPort = [&](const std::string& name) {
        asked = name;
        b.link.Disconnect();
        return b.link.AttachTransport(std::make_unique<boxsim::SimTransport>(b.box), name);
    };
    b.press("初始化通信口");
    EXPECT_EQ(asked, "SIM");
    EXPECT_EQ(b.window->edit1(), "Готово! ");
    b.expectReset();

    b.window->reopenPort = [&](const std::string& name) {
        asked = name;
        b.link.Disconnect();
        return false;
    };
    b.press("初始化通信口");
    EXPECT_EQ(b.window->edit1(), "Нет устройства");
}

} // namespace
} // namespace pontvex::testkelm_test

namespace pontvex::testkelm_test {
namespace {

// Offline the window acts all the same and the link sends nothing; the
// ground test gives no verdict on a board it cannot see, and the reopen
// finds no box.
TEST(TestKelmWindow, OfflineEveryButtonRunsAndReopenFindsNoBox)
{
    HeadlessHost host;
    ProgrammerLink link;
    link.setSettingsPath("");
    link.setPrompt(&host.script());
    TTestKelm1 window(link);
    for (auto& button : window.buttons()) {
        if (button.name != "Button12")
            button.run();
    }
    EXPECT_EQ(window.edit1(), "复位");
    window.press("Button9");
    EXPECT_EQ(window.edit1(), "Нет устройства");
    window.press("Button12");
    EXPECT_EQ(window.edit1(), "Нет устройства");
    EXPECT_FALSE(link.Connected());
}

} // namespace
} // namespace pontvex::testkelm_test

// Every action of the main window outside a family command leaves nothing
// queued on the link: the simulated box has received every byte, so what it
// shows is what a real box would hold while the user looks at the screen.

#include "boxsim/Box.h"

#include "app/ui/MainForm.h"
#include "app/ui/Program.h"
#include "app/ui/QtPrompt.h"
#include "core/DeviceBuffer.h"
#include "families/Families.h"
#include "link/ui/Ep3.h"

#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <unistd.h>

using namespace pontvex;
namespace fs = std::filesystem;

namespace {

class LinkAtRest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("pontvex-rest-" + std::to_string(::getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
        previous = fs::current_path();
        fs::current_path(dir);
        buffer.reset();
        QtPrompt::answerer = [this](QtPrompt::Kind, const std::string& text) {
            shown.push_back(text);
            return true;
        };
        link.setSettingsPath("");
        main = std::make_unique<TMainForm>(link, buffer, families);
        link.setPrompt(&main->qtPrompt());
        main->createSystemWindow();
        options.connection = ProgramOptions::Connection::Simulator;
        simulator = std::make_unique<SimulatedBox>(options, main->qtPrompt());
        ASSERT_TRUE(simulator->attach(link));
        main->onFamilyShown = [this](FamilyWindow&, bool) {
            simulator->followChip(link, main->typeSelection()->chip);
        };
    }
    void TearDown() override
    {
        link.Disconnect();
        main.reset();
        simulator.reset();
        QtPrompt::answerer = nullptr;
        fs::current_path(previous);
        fs::remove_all(dir);
        buffer.reset();
    }

    bool groundOn(int pin) const
    {
        const auto pins = simulator->box().gndRoutedPins();
        return std::find(pins.begin(), pins.end(), pin) != pins.end();
    }

    fs::path dir, previous;
    DeviceBuffer buffer;
    FamilyRegistry families = [] {
        FamilyRegistry registry;
        registerFamilies(registry);
        return registry;
    }();
    ProgrammerLink link;
    ProgramOptions options;
    std::unique_ptr<SimulatedBox> simulator;
    std::unique_ptr<TMainForm> main;
    std::vector<std::string> shown;
};

TEST_F(LinkAtRest, StartUpCategoryChangeAndChipChoiceLeaveNothingQueued)
{
    main->createTypeSelection(); // the list probe and the last chip's set-up
    EXPECT_FALSE(link.HasUnsentBytes());
    EXPECT_TRUE(link.Idle());

    // A category change probes the hardware: pin 31 high, its ground switch
    // on, read, ground off. The box must have the ground off when it returns.
    for (int category : {1, 0}) {
        main->ComboBox2Change(category);
        EXPECT_FALSE(link.HasUnsentBytes()) << "category " << category;
        EXPECT_TRUE(link.Idle());
        EXPECT_FALSE(groundOn(31)) << "category " << category;
        EXPECT_EQ(simulator->box().gndPin(), 0) << "category " << category;
    }

    // Choosing a chip (the type dialog's OK) sets the socket up for it.
    TypeSelection& selection = *main->typeSelection();
    ASSERT_GT(selection.chipList.size(), 1u);
    selection.chipActivated(1);
    EXPECT_NE(selection.currentWindow(), nullptr);
    EXPECT_FALSE(link.HasUnsentBytes());
    EXPECT_TRUE(link.Idle());
}

TEST_F(LinkAtRest, IdButtonAndSystemWindowTestsLeaveNothingQueued)
{
    main->createTypeSelection();
    main->action("IDClick")->trigger();
    EXPECT_FALSE(link.HasUnsentBytes());
    EXPECT_TRUE(link.Idle());
    EXPECT_EQ(simulator->box().vppCode(), 0);

    TEp3* ep3 = main->ep3();
    ASSERT_NE(ep3, nullptr);
    QTest::mouseClick(ep3->Button2, Qt::LeftButton); // port test
    EXPECT_FALSE(link.HasUnsentBytes());
    EXPECT_TRUE(link.Idle());
    QTest::mouseClick(ep3->Button4, Qt::LeftButton); // ten-second test
    EXPECT_FALSE(link.HasUnsentBytes());
    EXPECT_EQ(ep3->Edit4->text(), "10");
}

} // namespace

#include "boxsim/Box.h"
#include "boxsim/SimTransport.h"
#include "boxsim/TestBoard.h"
#include "catalogue/HeadlessHost.h"
#include "families/ramtest/ui/TestKelmWidget.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <gtest/gtest.h>

namespace pontvex::test {
namespace {

TEST(TestKelmWidget, ButtonsAndRadiosDriveTheSocketAndEdit1ShowsTheVerdict)
{
    auto box = std::make_shared<boxsim::Box>();
    box->insertChip(std::make_unique<boxsim::TestBoard>());
    HeadlessHost host;
    ProgrammerLink link;
    link.setSettingsPath("");
    link.setPrompt(&host.script());
    ASSERT_TRUE(link.AttachTransport(std::make_unique<boxsim::SimTransport>(box), "SIM"));
    TTestKelm1 window(link);
    TestKelmWidget widget(window);
    widget.show();
    EXPECT_EQ(widget.windowTitle().toStdString(), "必须专用的测试板才能检测(2003.2.18)");
    auto* edit1 = widget.findChild<QLineEdit*>("Edit1");
    ASSERT_NE(edit1, nullptr);
    EXPECT_EQ(edit1->text().toStdString(), "Edit1");

    auto* ground = widget.findChild<QPushButton*>("Button9");
    ASSERT_NE(ground, nullptr);
    EXPECT_EQ(ground->text().toStdString(), "地");
    QTest::mouseClick(ground, Qt::LeftButton);
    EXPECT_EQ(edit1->text().toStdString(), "好");

    QTest::mouseClick(widget.findChild<QPushButton*>("Button11"), Qt::LeftButton);
    EXPECT_EQ(edit1->text().toStdString(), "测量40脚6.2v至6.9V");
    EXPECT_TRUE(box->vccRaised());
    QTest::mouseClick(widget.findChild<QPushButton*>("rst"), Qt::LeftButton);
    EXPECT_EQ(edit1->text().toStdString(), "复位");
    EXPECT_FALSE(box->vccRaised());

    // "25v" of the Vpp group selects the level and routes nothing.
    auto* vpp = widget.findChild<QGroupBox*>("RadioGroup1");
    ASSERT_NE(vpp, nullptr);
    const auto radios = vpp->findChildren<QRadioButton*>();
    ASSERT_EQ(radios.size(), 5);
    radios[4]->click();
    link.Flush();
    EXPECT_EQ(box->vppCode(), ProgrammerLink::VppLevelCode(25000));
    EXPECT_TRUE(box->vppRoutedPins().empty());
}

} // namespace
} // namespace pontvex::test

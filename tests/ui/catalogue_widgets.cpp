#include "app/ui/QtPrompt.h"
#include "catalogue/TestFamily.h"
#include "catalogue/TypeSelection.h"
#include "catalogue/ui/FamilyWindowWidget.h"
#include "catalogue/ui/TypeDlg.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

namespace pontvex::test {
namespace {

namespace fs = std::filesystem;

class FamilyWidgetTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        link.setPrompt(&host.script());
        log = AttachRecording(link);
        log->answerAlways(0xFF);
        family = std::make_unique<TTestFamily>(link, host);
        ChipSelection chip;
        chip.VariantIndex = 2;
        chip.ChipName = "TEST256";
        family->SelectChip(chip);
        widget = std::make_unique<FamilyWindowWidget>(*family);
        host.onChanged = [this](FamilyWindow&) { widget->refresh(); };
        widget->show();
    }

    ProgrammerLink link;
    HeadlessHost host;
    std::shared_ptr<TransportLog> log;
    std::unique_ptr<TTestFamily> family;
    std::unique_ptr<FamilyWindowWidget> widget;
};

TEST_F(FamilyWidgetTest, RendersTheDeclaration)
{
    EXPECT_EQ(widget->windowTitle(), "0 to ff");
    EXPECT_EQ(widget->chipNameField()->text(), "TEST256");
    EXPECT_EQ(widget->messageLine()->text(), "OK ");
    for (const char* caption : {"Считать", "Проверить", "Записать", "Сравнить", "Стереть", "Код ИД"})
        ASSERT_NE(widget->button(QString::fromUtf8(caption)), nullptr) << caption;
    EXPECT_FALSE(widget->button(QString::fromUtf8("Стереть"))->isEnabled());
    ASSERT_NE(widget->autoButton(), nullptr);
    EXPECT_EQ(widget->autoButton()->text(), QString::fromUtf8("Авто"));
    EXPECT_TRUE(widget->autoStepBox(QString::fromUtf8("Записать"))->isChecked());
    EXPECT_FALSE(widget->autoStepBox(QString::fromUtf8("Сравнить"))->isChecked());
    EXPECT_TRUE(widget->optionItem(QString::fromUtf8("Скорость, мсек/байт"), 0)->isChecked());
    EXPECT_EQ(widget->field("LastAddress")->text(), "ff");
    EXPECT_EQ(widget->field("BufferStart")->text(), "000000");
}

TEST_F(FamilyWidgetTest, ButtonsRunTheFamilyAndRepaint)
{
    QTest::mouseClick(widget->button(QString::fromUtf8("Проверить")), Qt::LeftButton);
    EXPECT_EQ(family->ran, (std::vector<std::string>{"blank"}));
    EXPECT_EQ(widget->messageLine()->text(), QString::fromUtf8("Прв.ОК"));
    EXPECT_EQ(widget->addressField()->text(), "0000ff");
    EXPECT_EQ(widget->progressBar()->maximum(), 255);
    EXPECT_EQ(widget->progressBar()->value(), 255);
}

TEST_F(FamilyWidgetTest, AutoStepsAndOptionsWriteThrough)
{
    widget->autoStepBox(QString::fromUtf8("Проверить"))->click();
    EXPECT_FALSE(family->findAutoStep("blank")->checked);
    widget->optionItem(QString::fromUtf8("Алгоритм проверки"), 1)->click();
    EXPECT_EQ(family->option("check"), 1);
    QTest::mouseClick(widget->autoButton(), Qt::LeftButton);
    EXPECT_EQ(family->ran, (std::vector<std::string>{"write"}));
    EXPECT_EQ(widget->messageLine()->text(), QString::fromUtf8("Авто ОК!"));
    EXPECT_EQ(host.successCount, 1);
}

TEST_F(FamilyWidgetTest, BufferStartTakesHexOnEnter)
{
    QLineEdit* edit = widget->field("BufferStart");
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, "1f0");
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(family->findField("BufferStart")->value, 0x1F0);
    EXPECT_EQ(edit->text(), "1f0");
}

TEST_F(FamilyWidgetTest, ExitHidesTheWindow)
{
    family->press("exit");
    widget->refresh();
    EXPECT_FALSE(widget->isVisible());
    EXPECT_FALSE(family->visible());
}

// A family with the option kinds of the microcontroller windows.
class KindsFamily : public TTestFamily {
public:
    KindsFamily(ProgrammerLink& link, FamilyHost& host) : TTestFamily(link, host)
    {
        addFlag("CheckBox2", "WDT", "wdt", true).changed = [this] { ++flagChanges; };
        addFlag("CheckBox1", "Sec", "sec", false).enabled = false;
        addValue("Edit1", "ID", "id-word", ValueField::Base::Hex, 0, 0xFFFF, 4, 0xFFFF);
    }
    int flagChanges = 0;
};

TEST(FamilyWidgetKinds, CheckBoxesAndValueFieldsWriteThroughAndRefuseBadNumbers)
{
    ProgrammerLink link;
    HeadlessHost host;
    link.setPrompt(&host.script());
    KindsFamily family(link, host);
    FamilyWindowWidget widget(family);
    host.onChanged = [&](FamilyWindow&) { widget.refresh(); };
    widget.show();

    QCheckBox* wdt = widget.flagBox("WDT");
    ASSERT_NE(wdt, nullptr);
    EXPECT_TRUE(wdt->isChecked());
    EXPECT_FALSE(widget.flagBox("Sec")->isEnabled());
    wdt->click();
    EXPECT_FALSE(family.findFlag("wdt")->checked);
    EXPECT_EQ(family.flagChanges, 1);

    QLineEdit* id = widget.valueField("ID");
    ASSERT_NE(id, nullptr);
    EXPECT_EQ(id->text(), "ffff");
    id->setFocus();
    id->selectAll();
    QTest::keyClicks(id, "12a");
    QTest::keyClick(id, Qt::Key_Return);
    EXPECT_EQ(family.findValue("ID")->value, 0x12A);
    EXPECT_EQ(id->text(), "012a");
    id->selectAll();
    QTest::keyClicks(id, "12345");
    QTest::keyClick(id, Qt::Key_Return);
    EXPECT_EQ(family.findValue("ID")->value, 0x12A); // out of range: refused
    EXPECT_EQ(id->text(), "012a");
}

TEST(QtPromptValue, ValueQuestionsGoToTheAnswerersInsteadOfABox)
{
    QtPrompt prompt;
    std::vector<QtPrompt::Kind> kinds;
    QtPrompt::answerer = [&](QtPrompt::Kind kind, const std::string&) {
        kinds.push_back(kind);
        return kinds.size() == 1;
    };
    EXPECT_EQ(prompt.askValue("Повтор?", "25"), std::optional<std::string>("25")); // Yes: the default
    EXPECT_EQ(prompt.askValue("Повтор?", "25"), std::nullopt);                     // No: cancelled
    EXPECT_EQ(kinds, (std::vector<QtPrompt::Kind>{QtPrompt::Kind::Value, QtPrompt::Kind::Value}));
    QtPrompt::valueAnswerer = [](const std::string& text, const std::string& offered) {
        return std::optional<std::string>(text + "=" + offered);
    };
    EXPECT_EQ(prompt.askValue("n", "3"), std::optional<std::string>("n=3"));
    QtPrompt::valueAnswerer = nullptr;
    QtPrompt::answerer = nullptr;
}

TEST(TypeDialogWidget, ListsFollowTheSelectionAndDoubleClickChooses)
{
    const fs::path dir =
        fs::temp_directory_path() / ("pontvex-dlg-" + std::to_string(std::random_device{}()));
    fs::create_directories(dir);
    std::ofstream(dir / "devicea.lst") << "#EPROM-ATMEL\nAT27C256,P27 1\nAT27C512,P27 2\n"
                                          "#EPROM-AMD\nAM27C256,P27 1\n#MPU-ATMEL\nAT89C51,P89C51 1\n";
    ProgrammerLink link;
    HeadlessHost host;
    link.setPrompt(&host.script());
    {
        TypeSelection selection(link, host);
        selection.programDir = dir.string() + "/";
        selection.dataDirs.clear();
        int created = 0;
        selection.setFactory("P27", [&](ProgrammerLink& l, FamilyHost& h) {
            ++created;
            return std::make_unique<TTestFamily>(l, h);
        });
        TTypeDlg dialog(selection);
        dialog.showCentred();
        EXPECT_EQ(dialog.RadioGroup1.size(), 7);
        EXPECT_EQ(dialog.RadioGroup1[2]->text(), QString::fromUtf8("MPU       "));
        dialog.RadioGroup1[0]->click();
        ASSERT_EQ(dialog.ListBox1->count(), 2);
        EXPECT_EQ(dialog.ListBox2->count(), 2);
        QTest::mouseClick(dialog.ListBox1->viewport(), Qt::LeftButton, {},
                          dialog.ListBox1->visualItemRect(dialog.ListBox1->item(1)).center());
        EXPECT_EQ(selection.GroupName, "AMD");
        QTest::keyClick(dialog.ListBox1, Qt::Key_Up); // the keys move the group too
        EXPECT_EQ(selection.GroupName, "ATMEL");
        EXPECT_EQ(dialog.ListBox2->count(), 2);
        QTest::keyClick(dialog.ListBox1, Qt::Key_Down);
        EXPECT_EQ(selection.GroupName, "AMD");
        ASSERT_EQ(dialog.ListBox2->count(), 1);
        EXPECT_EQ(dialog.ListBox2->item(0)->text(), "AM27C256");
        const QPoint at = dialog.ListBox2->visualItemRect(dialog.ListBox2->item(0)).center();
        QTest::mouseClick(dialog.ListBox2->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(dialog.ListBox2->viewport(), Qt::LeftButton, {}, at);
        EXPECT_EQ(selection.chip.ChipName, "AM27C256");
        EXPECT_EQ(created, 1);
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_EQ(dialog.Edit1->text(), QString::fromUtf8("Код ID"));
    }
    fs::remove_all(dir);
}

} // namespace
} // namespace pontvex::test

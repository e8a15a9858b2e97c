#include "core/UserPrompt.h"
#include "files/FileFormatModel.h"
#include "files/FileTexts.h"
#include "files/ui/TFileFormat.h"

#include <QApplication>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <gtest/gtest.h>

using namespace pontvex;

namespace {

struct NotedPrompt : UserPrompt {
    std::vector<std::string> said;
    bool askYesNo(const std::string&) override { return true; }
    bool askYesCancel(const std::string&) override { return true; }
    void showMessage(const std::string& t) override { said.push_back(t); }
    void showBox(const std::string& t) override { said.push_back(t); }
};

TEST(FilesFormatDialog, ShowsTheModelAndPassesClicksToIt)
{
    FileFormatModel model;
    NotedPrompt prompt;
    model.PrepareFormatDialog("/tmp/image.hex");
    TFileFormat dialog(model, prompt);
    dialog.show();

    EXPECT_EQ(dialog.windowTitle(), "/tmp/image.hex");
    EXPECT_EQ(dialog.formatButtons[2]->text(), QString::fromUtf8(files_text::kFormatJed));
    EXPECT_EQ(dialog.modeButtons[1]->text(), "Defualt");
    EXPECT_TRUE(dialog.formatButtons[1]->isChecked());
    EXPECT_TRUE(dialog.modeButtons[0]->isChecked());
    EXPECT_FALSE(dialog.Edit1->isEnabled());
    EXPECT_FALSE(dialog.RadioGroup2->isEnabled());
    EXPECT_EQ(dialog.Edit2->text(), "ffffff");

    dialog.formatButtons[0]->click();
    EXPECT_EQ(model.format(), ".BIN");
    EXPECT_TRUE(dialog.Edit1->isEnabled());
    EXPECT_TRUE(dialog.RadioGroup2->isEnabled());

    dialog.modeButtons[6]->click(); // "3th char of word32"
    EXPECT_EQ(model.LaneMask, 3u);
    EXPECT_EQ(model.LaneValue, 2u);

    dialog.Edit1->clear();
    QTest::keyClicks(dialog.Edit1, "8000");
    dialog.OKBtn->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(model.LoadStart, 0x8000);
    EXPECT_TRUE(prompt.said.empty());
}

TEST(FilesFormatDialog, BadStartKeepsItOpenAndCancelClearsTheFormat)
{
    FileFormatModel model;
    NotedPrompt prompt;
    model.PrepareFormatDialog("x.bin");
    TFileFormat dialog(model, prompt);
    dialog.show();
    dialog.Edit1->setText("xyz");
    dialog.OKBtn->click();
    EXPECT_TRUE(dialog.isVisible());
    ASSERT_EQ(prompt.said.size(), 1u);

    dialog.CancelBtn->click();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(model.format(), "");
}

TEST(FilesFormatDialog, OpenFilterBecomesQtFilters)
{
    EXPECT_EQ(QtFileDialogs::qtFilter(files_text::kOpenFilter).split(";;").size(), 4);
    EXPECT_EQ(QtFileDialogs::qtFilter("*.*|*.*|*.bin  B|*.bin"), "*.* (*.*);;*.bin  B (*.bin)");
}

TEST(FilesFormatDialog, DialogFiltersOfferEveryFormatAndFilesWithoutExtension)
{
    const QStringList filters = QtFileDialogs::dialogFilters(files_text::kOpenFilter).split(";;");
    ASSERT_EQ(filters.size(), 6);
    EXPECT_EQ(filters[0], "*.* (*)");
    EXPECT_TRUE(filters[2].endsWith("(*.hex *.ihx)")) << filters[2].toStdString();
    EXPECT_TRUE(filters[3].endsWith("(*.jed)"));
    EXPECT_TRUE(filters[4].contains("*.srec"));
    EXPECT_TRUE(filters[5].endsWith("(*.cds)"));
}

} // namespace

// Other Qt test files may bring their own main; any one of them will do.
__attribute__((weak)) int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

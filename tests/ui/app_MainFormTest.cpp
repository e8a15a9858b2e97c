// Boxes from QtPrompt are answered by a script here; boxsim before Qt (emit).
#include "ui/MainWindowFixture.h"

#include "boxsim/Box.h"
#include "boxsim/chips/Registry.h"

#include "app/ui/FindDialogs.h"
#include "app/ui/InputHexDlg.h"
#include "app/ui/MainForm.h"
#include "app/ui/Program.h"
#include "catalogue/ui/FamilyWindowWidget.h"
#include "core/AppInfo.h"
#include "families/Families.h"
#include "link/ui/Ep3.h"

#include "hexview/ui/PldFileW.h"
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>
#include <QToolBar>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

using namespace pontvex;
namespace fs = std::filesystem;

namespace {

using uitest::ScriptDialogs;
using uitest::u;

class AppWindow : public uitest::MainWindowFixture {
protected:
    AppWindow() : MainWindowFixture("pontvex-ui-") {}

    // Closes the window as the user would (configuration written) and forgets it.
    void restart()
    {
        main->close();
        main.reset();
        buffer.reset();
        start();
    }
    TFileWin& hexView()
    {
        main->FileNew();
        return *main->fileWin();
    }
    QString line(TFileWin& view, int index)
    {
        return view.RichEdit1->document()->findBlockByNumber(index).text();
    }
};

TEST_F(AppWindow, StartsWithoutConfigurationFile)
{
    start();
    EXPECT_EQ(buffer[0], 0xFF);
    EXPECT_EQ(buffer[0xFFFFF], 0xFF);
    EXPECT_EQ(buffer[0x100000], 0x00);
    EXPECT_TRUE(shown.empty()) << shown.front();
    EXPECT_EQ(main->windowTitle().left(18), u("Pontvex55 версия 1"));
    // The first chip of the first EPROM group is chosen.
    EXPECT_EQ(main->ComboBox2->currentText(), "EPROM");
    EXPECT_GT(main->ListBox1->count(), 0);
    EXPECT_TRUE(main->Label2->text().startsWith(u("Тип: ")));
    ASSERT_NE(main->typeSelection()->currentWindow(), nullptr);
    EXPECT_NE(main->familyWidget(*main->typeSelection()->currentWindow()), nullptr);
    EXPECT_EQ(main->Counter->text(), "0");
}

TEST_F(AppWindow, ToolBarMenusAndShortcuts)
{
    start();
    auto* toolBar = main->findChild<QToolBar*>("ToolBar");
    ASSERT_NE(toolBar, nullptr);
    QStringList captions;
    for (QAction* a : toolBar->actions()) {
        captions << a->text();
        EXPECT_FALSE(a->icon().isNull());
        EXPECT_FALSE(a->toolTip().isEmpty());
    }
    EXPECT_EQ(captions, (QStringList{u("Открыть"), u("Сохран."), u("Заполн."), u("Выбор"), "W/R",
                                     u("Cистема"), "ID", "PgUp", "PgDn", u("Информ.")}));
    EXPECT_EQ(captions[5][0], QChar('C')); // a Latin C
    EXPECT_EQ(main->action("tb:HelpSearch")->toolTip(), u("Информация о поддержке программы"));
    EXPECT_EQ(main->action("N11Click")->shortcut(), QKeySequence("Ctrl+E"));
    EXPECT_EQ(main->action("S1Click")->shortcut(), QKeySequence("Ctrl+F"));
    EXPECT_EQ(main->action("R1Click")->shortcut(), QKeySequence("Ctrl+R"));
    EXPECT_EQ(main->action("S2Click")->shortcut(), QKeySequence(Qt::Key_F3));
    EXPECT_EQ(main->action("LoadFileClick")->shortcut(), QKeySequence("Ctrl+O"));
    EXPECT_EQ(main->action("SaveBufClick")->shortcut(), QKeySequence("Ctrl+S"));
    EXPECT_EQ(main->action("tb:HelpSearch")->shortcut(), QKeySequence(Qt::Key_F1));
    for (const char* name : {"FileNew", "LoadFileClick", "SaveBufClick", "FilePrint", "FileExit",
                             "MainFillClick", "BeforClick", "SelTypeClick", "ProgClick", "IDClick",
                             "SystemClick", "FileWin1Click", "N5Click", "D1Click", "HelpAbout"})
        EXPECT_NE(main->action(name), nullptr) << name;
    main->action("N5Click")->trigger();
    EXPECT_EQ(main->ChipPanel->width(), 0);
    main->action("D1Click")->trigger();
    EXPECT_EQ(main->ChipPanel->maximumWidth(), 145);
}

TEST_F(AppWindow, FillAndSizeThroughTheDialog)
{
    start();
    TFileWin& view = hexView();
    main->action("tb:MainFillClick")->trigger();
    TInputHexDlg* dialog = main->inputHexDlg();
    ASSERT_TRUE(dialog->isVisible());
    EXPECT_TRUE(dialog->Edit1->isEnabled());
    EXPECT_EQ(dialog->Edit2->text(), "ffff");
    dialog->Edit1->setText("10");
    dialog->Edit2->setText("1F");
    dialog->Edit3->setText("5A");
    QTest::mouseClick(dialog->OKBtn, Qt::LeftButton);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(buffer[0x10], 0x5A);
    EXPECT_EQ(buffer[0x1F], 0x5A);
    EXPECT_EQ(buffer[0x20], 0xFF);
    EXPECT_EQ(view.page().EndAddress, 0x1F);
    EXPECT_EQ(view.Edit2->text(), "    1590");
    EXPECT_TRUE(line(view, 1).startsWith("    10:  5a 5a"));

    // Size mode: only the end field counts; 1FFFFF stops at 0xFFFFF.
    main->action("N11Click")->trigger();
    EXPECT_FALSE(dialog->Edit1->isEnabled());
    EXPECT_FALSE(dialog->Edit3->isEnabled());
    dialog->Edit2->setText("1FFFFF");
    QTest::mouseClick(dialog->OKBtn, Qt::LeftButton);
    EXPECT_EQ(view.page().EndAddress, 0xFFFFF);

    // A field that is no number is refused; the dialog stays and nothing changes.
    main->action("MainFillClick")->trigger();
    dialog->Edit1->setText("zz");
    dialog->Edit2->setText("30");
    QTest::mouseClick(dialog->OKBtn, Qt::LeftButton);
    EXPECT_TRUE(dialog->isVisible());
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_NE(shown[0].find("zz"), std::string::npos);
    EXPECT_EQ(view.page().EndAddress, 0xFFFFF);
    QTest::mouseClick(dialog->CancelBtn, Qt::LeftButton);
    EXPECT_FALSE(dialog->isVisible());
}

TEST_F(AppWindow, TypingInTheHexView)
{
    start();
    TFileWin& view = hexView();
    view.RichEdit1->setFocus();
    QTextCursor cursor = view.RichEdit1->textCursor();
    cursor.setPosition(TFileWin::controlPosition(9 + 3 * 5));
    view.RichEdit1->setTextCursor(cursor);
    EXPECT_EQ(view.Edit1->text(), "5 ");
    QTest::keyClicks(view.RichEdit1, "41");
    EXPECT_EQ(buffer[5], 0x41);
    EXPECT_EQ(line(view, 0).mid(24, 2), "41");
    EXPECT_EQ(line(view, 0).at(62), QChar('A'));
    // The checksum follows the typed byte at once.
    EXPECT_EQ(view.Edit2->text(), QString::asprintf("%8x", 0xFF0000 - 0xFF + 0x41));
    QTextCursor probe(view.RichEdit1->document());
    probe.setPosition(25);
    EXPECT_EQ(probe.charFormat().foreground().color(), QColor(Qt::red));
    // Letters outside the byte columns change nothing.
    cursor.setPosition(TFileWin::controlPosition(60));
    view.RichEdit1->setTextCursor(cursor);
    QTest::keyClicks(view.RichEdit1, "7");
    EXPECT_EQ(line(view, 0).at(60), QChar('.'));
    // Page Down in the text moves a page; the checksum is drawn again then.
    QTest::keyClick(view.RichEdit1, Qt::Key_PageDown);
    EXPECT_EQ(view.Edit3->text(), "100");
    EXPECT_TRUE(line(view, 0).startsWith("   100:"));
    EXPECT_EQ(view.Edit2->text(), QString::asprintf("%8x", 0xFF0000 - 0xFF + 0x41));
    main->action("tb:SpeedButton10Click")->trigger();
    EXPECT_EQ(view.Edit3->text(), "0");
}

TEST_F(AppWindow, PageStartFieldAndScrollBar)
{
    start();
    TFileWin& view = hexView();
    view.Edit3->setFocus();
    view.Edit3->setText("123");
    QTest::keyClick(view.Edit3, Qt::Key_Return);
    EXPECT_TRUE(line(view, 0).startsWith("   120:"));
    view.Edit3->setText("900000"); // beyond the buffer: the last page
    QTest::keyClick(view.Edit3, Qt::Key_Return);
    EXPECT_TRUE(line(view, 15).startsWith("7ffff0:"));

    view.Edit3->setText("0");
    QTest::keyClick(view.Edit3, Qt::Key_Return);
    view.ScrollBar1->setSliderDown(true);
    view.ScrollBar1->setValue(3);
    EXPECT_EQ(view.Edit3->text(), "300");
    EXPECT_EQ(view.Edit3->palette().color(QPalette::Base), QColor(Qt::yellow));
    EXPECT_TRUE(line(view, 0).startsWith("     0:"));
    view.ScrollBar1->setSliderDown(false);
    EXPECT_EQ(view.Edit3->palette().color(QPalette::Base), QColor(Qt::white));
    EXPECT_TRUE(line(view, 0).startsWith("   300:"));
}

TEST_F(AppWindow, FindRepeatAndReplace)
{
    start();
    TFileWin& view = hexView();
    main->action("S1Click")->trigger();
    FindDialog* find = main->findDialog();
    ASSERT_TRUE(find->isVisible());
    find->FindEdit->setText("FF");
    QTest::mouseClick(find->FindNextBtn, Qt::LeftButton);
    EXPECT_EQ(shown, std::vector<std::string>{"Не найден!"});
    find->FindEdit->setText("ff");
    QTest::mouseClick(find->FindNextBtn, Qt::LeftButton);
    EXPECT_EQ(view.RichEdit1->textCursor().selectedText(), "ff");
    EXPECT_EQ(view.RichEdit1->textCursor().selectionStart(), 9);
    main->action("S2Click")->trigger();
    EXPECT_EQ(view.RichEdit1->textCursor().selectionStart(), 12);
    EXPECT_EQ(view.Edit1->text(), "1 ");

    main->action("R1Click")->trigger();
    ReplaceDialog* replace = main->replaceDialog();
    replace->ReplaceEdit->setText("7E");
    QTest::mouseClick(replace->ReplaceBtn, Qt::LeftButton);
    EXPECT_EQ(buffer[1], 0x7E);
    EXPECT_EQ(line(view, 0).mid(12, 2), "7E");
    replace->ReplaceEdit->setText("g1");
    QTest::mouseClick(replace->ReplaceBtn, Qt::LeftButton);
    EXPECT_EQ(shown.back(), kNotHexText);
    EXPECT_EQ(buffer[1], 0x7E);
    replace->FindEdit->setText("7E");
    view.RichEdit1->setTextCursor(QTextCursor(view.RichEdit1->document()));
    QTest::mouseClick(replace->FindNextBtn, Qt::LeftButton);
    EXPECT_EQ(view.RichEdit1->textCursor().selectionStart(), 12);
}

TEST_F(AppWindow, CloseAndRestartRestoreChipAndDataFile)
{
    start();
    const fs::path data = dir / "image.bin";
    {
        std::ofstream out(data, std::ios::binary);
        for (int i = 0; i < 0x200; ++i)
            out.put(static_cast<char>(i * 7));
    }
    dialogs->openName = data.string();
    main->action("tb:LoadFileClick")->trigger();
    ASSERT_NE(main->fileWin(), nullptr);
    EXPECT_EQ(main->FileName(), data.string());
    EXPECT_EQ(buffer[0x101], static_cast<uint8_t>(0x101 * 7));
    ASSERT_GT(main->ListBox1->count(), 1);
    main->ListBox1->setCurrentRow(1);
    main->List1OnDbClick();
    const std::string chip = main->typeSelection()->chip.ChipName;
    const int chipIndex = main->typeSelection()->ChipIndex;

    restart();
    EXPECT_TRUE(shown.empty());
    EXPECT_TRUE(fs::exists(dir / kConfigFileName));
    EXPECT_EQ(main->FileName(), data.string());
    EXPECT_EQ(buffer[0x101], static_cast<uint8_t>(0x101 * 7));
    ASSERT_NE(main->fileWin(), nullptr);
    EXPECT_EQ(main->fileWinFrame()->windowTitle().toStdString(), data.string());
    EXPECT_EQ(main->typeSelection()->chip.ChipName, chip);
    EXPECT_EQ(main->typeSelection()->ChipIndex, chipIndex);
    EXPECT_EQ(main->ListBox1->currentRow(), chipIndex);
}

TEST_F(AppWindow, OtherVersionAndUnwritableConfiguration)
{
    std::ofstream(dir / kConfigFileName) << "Pontvex99 version 9\r\n1\r\n";
    start();
    EXPECT_EQ(shown, std::vector<std::string>{"第一次运行新版本"});
    shown.clear();
    // The folder is gone when the window closes: the user hears of it, nothing crashes.
    main->session.ProgramDir = (dir / "gone" / "").string();
    main->close();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_NE(shown[0].find((dir / "gone").string()), std::string::npos);
}

TEST_F(AppWindow, CounterProgClickAndIdClick)
{
    start();
    main->countSuccess();
    main->CountSuccess(0);
    main->countSuccess();
    EXPECT_EQ(main->Counter->text(), "2");

    ASSERT_GT(main->ListBox1->count(), 1);
    const int chosen = main->typeSelection()->chipSelection;
    main->ListBox1->setCurrentRow(chosen == 0 ? 1 : 0);
    main->action("ProgClick")->trigger();
    EXPECT_EQ(shown, std::vector<std::string>{"必需双击鼠标才能改变Тип:"});
    EXPECT_EQ(main->ListBox1->currentRow(), chosen);

    shown.clear();
    main->action("IDClick")->trigger();
    EXPECT_EQ(shown, std::vector<std::string>{"Код ИД   = 00,    Тип      = 00"});
    shown.clear();
    main->ComboBox2Change(2);
    main->action("IDClick")->trigger();
    EXPECT_EQ(shown, std::vector<std::string>{"Эта команда только для (27xxx,28xxx,29xxx) EPROM  "});
}

TEST_F(AppWindow, RepeatBringsBackTheSavedChoice)
{
    start();
    ASSERT_GT(main->ListBox1->count(), 2);
    main->ListBox1->setCurrentRow(1);
    main->List1OnDbClick();
    const std::string saved = main->typeSelection()->chip.ChipName;
    ASSERT_TRUE(main->SaveConfig());
    main->ListBox1->setCurrentRow(2);
    main->List1OnDbClick();
    ASSERT_NE(main->typeSelection()->chip.ChipName, saved);
    main->action("BeforClick")->trigger();
    EXPECT_EQ(main->typeSelection()->chip.ChipName, saved);
    EXPECT_EQ(main->ListBox1->currentRow(), 1);
    EXPECT_TRUE(shown.empty());
}

TEST_F(AppWindow, ContextMenuHelpAndTypeBar)
{
    start();
    TFileWin& view = hexView();
    emit view.MaxAddrClick();
    EXPECT_TRUE(main->inputHexDlg()->isVisible());
    EXPECT_FALSE(main->inputHexDlg()->Edit1->isEnabled());
    emit view.FillClick();
    EXPECT_TRUE(main->inputHexDlg()->Edit1->isEnabled());
    main->inputHexDlg()->hide();

    main->action("tb:HelpSearch")->trigger();
    main->action("HelpAbout")->trigger();
    ASSERT_EQ(shown.size(), 2u);
    for (const auto& text : shown)
        EXPECT_NE(text.find(kWebAddress), std::string::npos);

    // The factory test window is not there yet: a double click does nothing.
    auto* typeBar = main->findChild<QToolBar*>("TypeBar");
    QTest::mouseDClick(typeBar, Qt::LeftButton, {}, QPoint(typeBar->width() - 2, typeBar->height() / 2));
    EXPECT_EQ(shown.size(), 2u);

    // Without a hex view the page and fill commands do nothing.
    main->fileWinFrame()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(main->fileWin(), nullptr);
    main->action("tb:MainFillClick")->trigger();
    main->action("tb:SpeedButton8Click")->trigger();
    main->action("S2Click")->trigger();
    EXPECT_FALSE(main->inputHexDlg()->isVisible());
    EXPECT_EQ(shown.size(), 2u);
}

TEST_F(AppWindow, SystemParametersOffline)
{
    start();
    main->action("SystemClick")->trigger();
    TEp3* ep3 = main->ep3();
    ASSERT_TRUE(ep3->isVisible());
    EXPECT_EQ(ep3->windowTitle(), u("Параметры системы"));
    EXPECT_EQ(ep3->Edit4->text(), u("Ош."));
    EXPECT_FALSE(ep3->Button5->isVisible());
    QTest::mouseClick(ep3->Button1, Qt::LeftButton);
    EXPECT_TRUE(QRegularExpression(R"(^\d+\.\d+\.\d+\.\d+\..+)").match(ep3->Edit1->text()).hasMatch())
        << ep3->Edit1->text().toStdString();
    QTest::mouseClick(ep3->Button2, Qt::LeftButton);
    EXPECT_EQ(ep3->Edit4->text(), u("Нет устройства"));
    EXPECT_EQ(ep3->Edit2->text(), "0");
    QTest::mouseClick(ep3->Button4, Qt::LeftButton);
    EXPECT_EQ(ep3->Edit4->text(), u("Нет устройства!  "));
}

TEST_F(AppWindow, SimulatedBoxAnswersAndPassesThePortTest)
{
    ProgramOptions options;
    options.connection = ProgramOptions::Connection::Simulator;
    start();
    SimulatedBox box(options, main->qtPrompt());
    ASSERT_TRUE(box.attach(link));
    EXPECT_TRUE(link.Connected());
    main->createSystemWindow();
    main->ep3()->refreshStatus();
    EXPECT_TRUE(main->ep3()->Edit4->text().startsWith("Ptvex55+"))
        << main->ep3()->Edit4->text().toStdString();
    QTest::mouseClick(main->ep3()->Button2, Qt::LeftButton);
    EXPECT_EQ(main->ep3()->Edit4->text(), u("Готово! "));
    EXPECT_EQ(main->ep3()->Edit2->text(), "100");
    link.Disconnect();
}

// No port answers: every open fails.
class NoPorts : public PortOpener {
public:
    std::unique_ptr<Transport> open(const std::string& name, PortOpenResult& result) override
    {
        tried.push_back(name);
        result = PortOpenResult::NoSuchPort;
        return nullptr;
    }
    std::vector<std::string> tried;
};

TEST_F(AppWindow, NoBoxFoundOffersTheSimulator)
{
    start();
    link.setSettingsPath((dir / "pontv55.con").string());
    NoPorts ports;
    std::unique_ptr<SimulatedBox> simulator;
    ProgramOptions ask;
    connectLink(ask, link, main->qtPrompt(), simulator, ports);
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0].rfind("Включите питание в Pontvex", 0), 0u);
    EXPECT_EQ(shown[1].rfind("Не найден программатор!", 0), 0u);
    EXPECT_EQ(shown[2], kSimulatorOffer);
    EXPECT_EQ(ports.tried.size(), 5u);
    ASSERT_NE(simulator, nullptr);
    EXPECT_TRUE(link.Connected());
    link.Disconnect();

    // Declined: no port is touched and nothing is offered.
    shown.clear();
    ports.tried.clear();
    simulator.reset();
    answer = false;
    connectLink(ask, link, main->qtPrompt(), simulator, ports);
    EXPECT_EQ(shown.size(), 1u);
    EXPECT_TRUE(ports.tried.empty());
    EXPECT_EQ(simulator, nullptr);

    // --offline answers the question itself.
    shown.clear();
    ProgramOptions offline;
    offline.connection = ProgramOptions::Connection::Offline;
    connectLink(offline, link, main->qtPrompt(), simulator, ports);
    EXPECT_TRUE(shown.empty());
    EXPECT_TRUE(ports.tried.empty());
    EXPECT_FALSE(link.Connected());
}

TEST_F(AppWindow, ReadOnTheSimulatedBoxRedrawsTheHexView)
{
    // The program's start-up on the simulated box, whose socket follows the chosen chip.
    main = std::make_unique<TMainForm>(link, buffer, families);
    link.setPrompt(&main->qtPrompt());
    main->createSystemWindow();
    ProgramOptions options;
    options.connection = ProgramOptions::Connection::Simulator;
    SimulatedBox simulator(options, main->qtPrompt());
    ASSERT_TRUE(simulator.attach(link));
    main->createDialogs(std::make_unique<ScriptDialogs>(main->qtPrompt()));
    main->onFamilyShown = [&](FamilyWindow&, bool) {
        simulator.followChip(link, main->typeSelection()->chip);
    };
    main->createTypeSelection();
    FamilyWindow* family = main->typeSelection()->currentWindow();
    ASSERT_NE(family, nullptr);
    ASSERT_NE(simulator.box().chip(), nullptr);
    std::vector<uint8_t> image(simulator.box().chip()->image().size());
    for (size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<uint8_t>(i ^ (i >> 8));
    ASSERT_TRUE(simulator.box().chip()->loadImage(image));

    FamilyWindowWidget* widget = main->familyWidget(*family);
    ASSERT_NE(widget, nullptr);
    ASSERT_NE(widget->button(u("Считать")), nullptr);
    QTest::mouseClick(widget->button(u("Считать")), Qt::LeftButton);
    EXPECT_EQ(family->ErrorFlag(), 0) << family->message();
    ASSERT_NE(main->fileWin(), nullptr);
    TFileWin& view = *main->fileWin();
    EXPECT_EQ(view.page().EndAddress, static_cast<int64_t>(image.size()) - 1);
    EXPECT_TRUE(std::equal(image.begin(), image.end(), buffer.data()));
    EXPECT_TRUE(line(view, 1).startsWith("    10:  10 11 12")) << line(view, 1).toStdString();
    uint32_t sum = 0;
    for (uint8_t b : image)
        sum += b;
    EXPECT_EQ(view.Edit2->text(), QString::asprintf("%8x", sum));
    EXPECT_EQ(widget->messageLine()->text().toStdString(), family->message());

    // The ID command leaves the socket at rest: no Vpp level selected, nothing routed.
    main->action("IDClick")->trigger();
    EXPECT_EQ(simulator.box().vppCode(), 0);
    EXPECT_TRUE(simulator.box().vppRoutedPins().empty());
    link.Disconnect();
}

TEST_F(AppWindow, SimulatedSocketFromTheCommandLineAndItsDump)
{
    start();
    const fs::path image = dir / "in.bin", dump = dir / "out.bin";
    std::ofstream(image, std::ios::binary) << std::string(100, 'Z');
    ProgramOptions options = parseProgramOptions({"--simulator", "--socket-chip", "27C256", "--socket-image",
                                                  image.string(), "--socket-dump", dump.string()});
    ASSERT_TRUE(options.error.empty()) << options.error;
    SimulatedBox simulator(options, main->qtPrompt());
    ASSERT_TRUE(simulator.attach(link));
    simulator.followChip(link, ChipSelection{"P27", 14, "AT27C512", {}}); // the command line fixed the socket
    ASSERT_NE(simulator.box().chip(), nullptr);
    EXPECT_EQ(simulator.box().chip()->name(), "27C256");
    simulator.finish(link);
    std::ifstream in(dump, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    ASSERT_EQ(bytes.size(), 0x8000u);
    EXPECT_EQ(bytes.substr(0, 100), std::string(100, 'Z'));
    EXPECT_TRUE(shown.empty());
    link.Disconnect();
}

TEST_F(AppWindow, SocketImagesByRegionFollowTheChosenChip)
{
    start();
    std::ofstream(dir / "code.bin", std::ios::binary) << std::string(0x100, '\x5A');
    std::ofstream(dir / "lock.bin", std::ios::binary) << '\x02';
    // No --socket-chip: every model the selection puts in gets the images.
    ProgramOptions options =
        parseProgramOptions({"--simulator", "--socket-image", "code.bin", "--socket-image", "lock=lock.bin",
                             "--socket-dump", "lock=lock.out", "--socket-dump", "code.out"});
    ASSERT_TRUE(options.error.empty()) << options.error;
    SimulatedBox simulator(options, main->qtPrompt());
    ASSERT_TRUE(simulator.attach(link));
    EXPECT_EQ(simulator.box().chip(), nullptr);

    simulator.followChip(link, ChipSelection{"P89C51", 1, "AT89C51", {}});
    ASSERT_NE(simulator.box().chip(), nullptr);
    EXPECT_EQ(simulator.box().chip()->readMemory("lock"), std::vector<uint8_t>{0x02});
    EXPECT_EQ(simulator.box().chip()->readMemory("code")[0xFF], 0x5A);
    EXPECT_TRUE(shown.empty());

    // An EPROM has no lock bits: it goes in erased, and the user is told which file did not fit.
    simulator.followChip(link, ChipSelection{"P27", 13, "AT27C256", {}});
    ASSERT_EQ(simulator.box().chip()->name(), "AT27C256");
    EXPECT_EQ(simulator.box().chip()->image(), std::vector<uint8_t>(0x8000, 0xFF));
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].rfind("Файл lock.bin не подходит к микросхеме AT27C256\n", 0), 0u) << shown[0];
    EXPECT_NE(shown[0].find("(its memories: array)"), std::string::npos) << shown[0];
    shown.clear();

    simulator.followChip(link, ChipSelection{"P89C51", 3, "AT89C52", {}});
    ASSERT_EQ(simulator.box().chip()->name(), "AT89C52");
    EXPECT_EQ(simulator.box().chip()->readMemory("lock"), std::vector<uint8_t>{0x02});
    ASSERT_TRUE(simulator.box().chip()->writeMemory("lock", std::vector<uint8_t>{0x07}));
    simulator.finish(link);
    EXPECT_TRUE(shown.empty()) << shown.front();
    std::ifstream lock(dir / "lock.out", std::ios::binary);
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(lock)), {}), "\x07");
    EXPECT_EQ(fs::file_size(dir / "code.out"), 0x2000u);
    link.Disconnect();
}

TEST(ProgramOptionsTest, SocketFilesByRegion)
{
    auto o = parseProgramOptions({"--simulator", "--socket-image", "lock=l.bin", "--socket-image=code.bin",
                                  "--socket-dump=lock=l.out"});
    ASSERT_TRUE(o.error.empty()) << o.error;
    ASSERT_EQ(o.socketFiles.images().size(), 2u);
    EXPECT_EQ(o.socketFiles.images()[0].region, "lock");
    EXPECT_EQ(o.socketFiles.images()[0].path, "l.bin");
    EXPECT_EQ(o.socketFiles.images()[1].region, "");
    EXPECT_EQ(o.socketFiles.images()[1].path, "code.bin");
    ASSERT_EQ(o.socketFiles.dumps().size(), 1u);
    EXPECT_EQ(o.socketFiles.dumps()[0].region, "lock");
    EXPECT_EQ(o.socketFiles.dumps()[0].path, "l.out");
    // A fixed chip's regions are known at once.
    o = parseProgramOptions({"--simulator", "--socket-chip", "AT89C51", "--socket-image", "lock=l.bin"});
    EXPECT_TRUE(o.error.empty()) << o.error;
    o = parseProgramOptions({"--simulator", "--socket-chip", "AT89C51", "--socket-image", "fuses=f.bin"});
    EXPECT_NE(o.error.find("no memory \"fuses\" (its memories: code, lock)"), std::string::npos) << o.error;
    o = parseProgramOptions({"--simulator", "--socket-chip", "27C256", "--socket-dump", "lock=l.out"});
    EXPECT_NE(o.error.find("no memory \"lock\""), std::string::npos) << o.error;
    for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
             {"--socket-image", "x.bin"}, // no simulator
             {"--simulator", "--socket-image", "lock=a.bin", "--socket-image", "LOCK=b.bin"},
             {"--simulator", "--socket-dump", "a.out", "--socket-dump", "b.out"},
             {"--simulator", "--socket-chip", "AT89C51", "--socket-image", "a.bin", "--socket-image",
              "code=b.bin"},
             {"--simulator", "--socket-image", "lock="},
             {"--simulator", "--socket-image"},
             {"--simulator", "--socket-empty", "--socket-image", "x.bin"}})
        EXPECT_FALSE(parseProgramOptions(bad).error.empty()) << bad.back();
}

TEST(ProgramOptionsTest, SharedConnectionOptions)
{
    auto o = parseProgramOptions({"--port", "/dev/pts/7"});
    EXPECT_EQ(o.connection, ProgramOptions::Connection::Port);
    EXPECT_EQ(o.port, "/dev/pts/7");
    EXPECT_TRUE(o.error.empty());
    const std::string chip = boxsim::chipModelNames().front();
    o = parseProgramOptions({"--simulator", "--socket-chip=" + chip, "--firmware-id", "kelm3v52"});
    EXPECT_EQ(o.connection, ProgramOptions::Connection::Simulator);
    EXPECT_EQ(o.socketChip, chip);
    EXPECT_EQ(o.firmwareId, "kelm3v52");
    EXPECT_TRUE(o.error.empty()) << o.error;
    EXPECT_EQ(parseProgramOptions({"--offline"}).connection, ProgramOptions::Connection::Offline);
    EXPECT_EQ(parseProgramOptions({}).connection, ProgramOptions::Connection::Ask);
    for (const std::vector<std::string>& bad :
         std::vector<std::vector<std::string>>{{"--chip", "x"},
                                               {"--socket-chip", chip},
                                               {"--simulator", "--offline"},
                                               {"--port"},
                                               {"--simulator", "--socket-chip", "no-such-chip"},
                                               {"--simulator", "--socket-empty", "--socket-chip", chip},
                                               {"--simulator", "--firmware-id", "123456789"}})
        EXPECT_FALSE(parseProgramOptions(bad).error.empty()) << bad[0];
}

} // namespace

TEST_F(AppWindow, JedecLoadShowsThePldViewTypedFusesAndItComesBackAfterRestart)
{
    start();
    hexView();
    const fs::path jed = dir / "logic.jed";
    std::ofstream(jed, std::ios::binary)
        << "\x02 made here*\nQF2194*\nF0*\nL0032 1111*\nL2190 1*\nC004F*\n\x03"
        << "0000";
    dialogs->openName = jed.string();
    main->action("tb:LoadFileClick")->trigger();
    EXPECT_TRUE(shown.empty()) << (shown.empty() ? "" : shown[0]);
    ASSERT_NE(main->pldFileW(), nullptr);
    EXPECT_EQ(main->fileWin(), nullptr); // the two views exclude each other
    TPldFileW& view = *main->pldFileW();
    EXPECT_EQ(view.RichEdit1->document()->blockCount(), 69);
    EXPECT_EQ(view.RichEdit1->document()->findBlockByNumber(1).text(), "L0032 1111" + QString(28, '0'));
    EXPECT_EQ(view.Edit2->text(), "000f");
    EXPECT_EQ(view.page().MapSize, 2194);

    // A typed 1 over fuse 3 goes to the buffer in red.
    view.RichEdit1->setFocus();
    QTextCursor cursor = view.RichEdit1->textCursor();
    cursor.setPosition(PldPage::kFuseColumn + 3);
    view.RichEdit1->setTextCursor(cursor);
    EXPECT_EQ(view.Edit1->text(), "3 ");
    QTest::keyClicks(view.RichEdit1, "1");
    EXPECT_EQ(buffer[3], '1');
    QTextCursor probe(view.RichEdit1->document());
    probe.setPosition(PldPage::kFuseColumn + 4);
    EXPECT_EQ(probe.charFormat().foreground().color(), QColor(Qt::red));

    // The hex view's return closes the PLD view; the start-up reload of a
    // .JED data file opens it again. The typed fuse is not kept: the question
    // before closing is answered No.
    QtPrompt::choiceAnswerer = [](const std::string&) { return QtPrompt::Answer::No; };
    restart();
    QtPrompt::choiceAnswerer = nullptr;
    ASSERT_NE(main->pldFileW(), nullptr);
    EXPECT_EQ(buffer[32], '1');
    EXPECT_EQ(buffer[3], '0'); // the file, not the edit
    main->FileNew();
    EXPECT_EQ(main->pldFileW(), nullptr);
    EXPECT_NE(main->fileWin(), nullptr);
}

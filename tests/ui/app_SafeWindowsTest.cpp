// The main window on the simulated box: one family window in use, a stop
// that reaches a running command, the changed mark and its question, and
// cancel paths that leave everything as it was.
#include "ui/MainWindowFixture.h"

#include "boxsim/Box.h"

#include "app/ui/MainForm.h"
#include "app/ui/Program.h"
#include "app/ui/StartupWindow.h"
#include "catalogue/ui/FamilyWindowWidget.h"
#include "catalogue/ui/TypeDlg.h"
#include "core/AppInfo.h"
#include "families/Families.h"
#include "link/ui/Ep3.h"
#include "support/TestTransports.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

using namespace pontvex;
namespace fs = std::filesystem;

namespace {

using uitest::ScriptDialogs;
using uitest::u;

class SafeWindows : public uitest::MainWindowFixture {
protected:
    SafeWindows() : MainWindowFixture("pontvex-safe-") {}

    void SetUp() override
    {
        MainWindowFixture::SetUp();
        QtPrompt::choiceAnswerer = [this](const std::string& text) {
            asked.push_back(text);
            return choice;
        };
    }
    void TearDown() override
    {
        if (link.Connected())
            link.Disconnect();
        main.reset();
        simulator.reset();
        MainWindowFixture::TearDown();
    }
    // The simulated box in the link, with the chip of each family shown.
    void beforeTypeSelection() override
    {
        options.connection = ProgramOptions::Connection::Simulator;
        simulator = std::make_unique<SimulatedBox>(options, main->qtPrompt());
        ASSERT_TRUE(simulator->attach(link));
        main->onFamilyShown = [this](FamilyWindow&, bool) {
            simulator->followChip(link, main->typeSelection()->chip);
        };
        QObject::connect(main.get(), &TMainForm::closed, [this] { closed = true; });
    }
    FamilyWindow& current()
    {
        FamilyWindow* family = main->typeSelection()->currentWindow();
        EXPECT_NE(family, nullptr);
        return *family;
    }
    // Chooses the first chip of a category as the main window's chip list does.
    void choose(int category)
    {
        main->ComboBox2Change(category);
        main->ListBox1->setCurrentRow(0);
        main->List1OnDbClick();
    }
    // Chooses a chip by its list name, looking through the groups of a category.
    bool chooseNamed(int category, const QString& name)
    {
        main->ComboBox2Change(category);
        for (int g = 0; g < std::max(main->ComboBox1->count(), 1); ++g) {
            main->ComboBox1Change(g);
            for (int row = 0; row < main->ListBox1->count(); ++row)
                if (main->ListBox1->item(row)->text().trimmed() == name) {
                    main->ListBox1->setCurrentRow(row);
                    main->List1OnDbClick();
                    return true;
                }
        }
        return false;
    }
    // Loads a binary file of `bytes` bytes into the buffer.
    void loadBytes(const std::string& name, size_t bytes)
    {
        const fs::path path = dir / name;
        {
            std::ofstream out(path, std::ios::binary);
            out << std::string(bytes, 'x');
        }
        dialogs->openName = path.string();
        main->LoadFileClick();
    }
    QPushButton* readButton(FamilyWindow& family)
    {
        FamilyWindowWidget* widget = main->familyWidget(family);
        EXPECT_NE(widget, nullptr);
        return widget ? widget->button(u("Считать")) : nullptr;
    }

    ProgramOptions options;
    std::unique_ptr<SimulatedBox> simulator;
    std::vector<std::string> asked; // the Yes/No/Cancel questions
    QtPrompt::Answer choice = QtPrompt::Answer::No;
    bool closed = false;
};

TEST_F(SafeWindows, ChoosingAnotherFamilyHidesTheOldWindowAndItsCommandsDoNotRun)
{
    start();
    FamilyWindow& eprom = current();
    FamilyWindowWidget* epromWidget = main->familyWidget(eprom);
    ASSERT_NE(epromWidget, nullptr);
    EXPECT_TRUE(epromWidget->isVisible());

    choose(2); // MPU
    FamilyWindow& mcu = current();
    ASSERT_NE(&mcu, &eprom);
    EXPECT_TRUE(eprom.hidden());
    EXPECT_FALSE(eprom.visible());
    EXPECT_FALSE(epromWidget->isVisible());
    ASSERT_NE(main->familyWidget(mcu), nullptr);
    EXPECT_TRUE(main->familyWidget(mcu)->isVisible());

    // The EPROM read must not reach the 8051 now in the socket.
    std::fill_n(buffer.data(), 0x100, uint8_t{0x11});
    readButton(eprom)->click();
    EXPECT_TRUE(eprom.press(Role::Read));
    eprom.Button1Click();
    EXPECT_EQ(eprom.outcome(), Outcome::Refused);
    EXPECT_EQ(buffer[0], 0x11);
    EXPECT_EQ(buffer[0xFF], 0x11);
    EXPECT_TRUE(suppliesIdle(link)) << suppliesOnText(link);

    // Back to the EPROM: its window is in use again and the other one is hidden.
    choose(0);
    EXPECT_EQ(&current(), &eprom);
    EXPECT_FALSE(eprom.hidden());
    EXPECT_TRUE(mcu.hidden());
    readButton(eprom)->click();
    EXPECT_EQ(eprom.ErrorFlag(), 0) << eprom.message();
}

TEST_F(SafeWindows, EscapeStopsARunningRead)
{
    start();
    FamilyWindow& family = current();
    FamilyWindowWidget* widget = main->familyWidget(family);
    ASSERT_NE(widget, nullptr);
    std::fill_n(buffer.data(), 0x10000, uint8_t{0x5A});
    ASSERT_NE(family.findField(Role::Length), nullptr);
    family.editField(family.findField(Role::Length)->name, "ffff");
    // Arrives at the read's first progress step.
    QCoreApplication::postEvent(widget, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
    readButton(family)->click();
    EXPECT_EQ(family.outcome(), Outcome::Stopped);
    EXPECT_EQ(family.ErrorFlag(), 1);
    EXPECT_EQ(family.message(), "Прервано!");
    EXPECT_EQ(widget->messageLine()->text(), u("Прервано!"));
    EXPECT_TRUE(suppliesIdle(link)) << suppliesOnText(link);
    EXPECT_FALSE(family.running());
    // Stopped at its first step: no block was read into the buffer.
    EXPECT_EQ(buffer[0x100], 0x5A);
    EXPECT_EQ(buffer[0xFFFF], 0x5A);

    // Escape outside a command does nothing; the next read runs through.
    QTest::keyClick(widget, Qt::Key_Escape);
    readButton(family)->click();
    EXPECT_EQ(family.ErrorFlag(), 0) << family.message();
    EXPECT_NE(buffer[0x100], 0x5A);
}

TEST_F(SafeWindows, OtherInputDuringACommandIsIgnored)
{
    start();
    FamilyWindow& family = current();
    FamilyWindowWidget* widget = main->familyWidget(family);
    int menuRuns = 0;
    QObject::connect(main->action("tb:SelTypeClick"), &QAction::triggered, [&] { ++menuRuns; });
    // A click on another button arrives while the read runs: it starts nothing.
    QPushButton* other = widget->button(u("Проверить"));
    ASSERT_NE(other, nullptr);
    QCoreApplication::postEvent(other, new QMouseEvent(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5),
                                                       Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
    QCoreApplication::postEvent(other,
                                new QMouseEvent(QEvent::MouseButtonRelease, QPointF(5, 5), QPointF(5, 5),
                                                Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
    readButton(family)->click();
    EXPECT_EQ(family.ErrorFlag(), 0) << family.message();
    EXPECT_EQ(family.message(), "Счт.ОК!");
    EXPECT_EQ(menuRuns, 0);
}

TEST_F(SafeWindows, ClosingTheFamilyWindowDuringACommandStopsItThenCloses)
{
    start();
    FamilyWindow& family = current();
    FamilyWindowWidget* widget = main->familyWidget(family);
    QMetaObject::invokeMethod(
        widget, [widget] { widget->close(); }, Qt::QueuedConnection);
    readButton(family)->click();
    EXPECT_EQ(family.outcome(), Outcome::Stopped);
    EXPECT_EQ(family.message(), "Прервано!");
    EXPECT_TRUE(suppliesIdle(link)) << suppliesOnText(link);
    EXPECT_FALSE(widget->isVisible());
    EXPECT_FALSE(family.visible());
}

TEST_F(SafeWindows, ClosingTheMainWindowDuringACommandStopsItFirst)
{
    start();
    FamilyWindow& family = current();
    QMetaObject::invokeMethod(
        main.get(), [this] { main->close(); }, Qt::QueuedConnection);
    readButton(family)->click();
    EXPECT_EQ(family.outcome(), Outcome::Stopped);
    EXPECT_TRUE(suppliesIdle(link)) << suppliesOnText(link);
    EXPECT_FALSE(closed); // not inside the command's handler
    QCoreApplication::processEvents();
    EXPECT_TRUE(closed);
    EXPECT_TRUE(fs::exists(dir / kConfigFileName));
}

TEST_F(SafeWindows, ChangedBufferIsMarkedAndAskedAboutOnClose)
{
    start();
    const fs::path data = dir / "image.bin";
    {
        std::ofstream out(data, std::ios::binary);
        for (int i = 0; i < 0x100; ++i)
            out.put(static_cast<char>(i));
    }
    dialogs->openName = data.string();
    main->LoadFileClick();
    ASSERT_NE(main->fileWinFrame(), nullptr);
    EXPECT_FALSE(main->bufferChanged());
    EXPECT_EQ(main->fileWinFrame()->windowTitle().toStdString(), data.string());

    buffer[0x10] = 0xA5;
    main->showPage();
    EXPECT_TRUE(main->bufferChanged());
    EXPECT_EQ(main->fileWinFrame()->windowTitle().toStdString(), data.string() + "*");

    choice = QtPrompt::Answer::Cancel;
    main->close();
    EXPECT_FALSE(closed);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0], "Буфер изменён. Сохранить?");

    // Yes runs the save; a cancelled save dialog keeps the window open.
    choice = QtPrompt::Answer::Yes;
    dialogs->saveName.clear();
    main->close();
    EXPECT_FALSE(closed);

    const fs::path saved = dir / "saved.bin";
    dialogs->saveName = saved.string();
    main->close();
    EXPECT_TRUE(closed);
    ASSERT_TRUE(fs::exists(saved));
    std::ifstream in(saved, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GT(bytes.size(), 0x10u);
    EXPECT_EQ(static_cast<uint8_t>(bytes[0x10]), 0xA5);
    EXPECT_EQ(static_cast<uint8_t>(bytes[0x11]), 0x11);
}

TEST_F(SafeWindows, NoClosesWithoutSavingAndAReadCountsAsAChange)
{
    start();
    main->FileNew();
    EXPECT_FALSE(main->bufferChanged());
    main->close();
    EXPECT_TRUE(asked.empty());
    EXPECT_TRUE(closed);

    closed = false;
    main.reset();
    link.Disconnect();
    buffer.reset();
    start();
    main->FileNew();
    FamilyWindow& family = current();
    ASSERT_NE(simulator->box().chip(), nullptr);
    std::vector<uint8_t> image(simulator->box().chip()->image().size(), 0x3C);
    ASSERT_TRUE(simulator->box().chip()->loadImage(image));
    readButton(family)->click();
    ASSERT_EQ(family.ErrorFlag(), 0) << family.message();
    EXPECT_TRUE(main->bufferChanged());
    EXPECT_TRUE(main->fileWinFrame()->windowTitle().endsWith("*"));
    choice = QtPrompt::Answer::No;
    main->close();
    EXPECT_EQ(asked.size(), 1u);
    EXPECT_TRUE(closed);
}

TEST_F(SafeWindows, CancelledTypeDialogKeepsTheChosenChipAndConfiguration)
{
    start();
    const std::string chip = main->typeSelection()->chip.ChipName;
    const int category = main->typeSelection()->CategoryIndex;
    main->SelTypeClick();
    main->typeSelection()->chooseCategory(2); // browse MPU, then Escape
    QTest::keyClick(main->typeDlg(), Qt::Key_Escape);
    EXPECT_FALSE(main->typeDlg()->isVisible());
    EXPECT_EQ(main->typeSelection()->chip.ChipName, chip);
    EXPECT_EQ(main->typeSelection()->saved().categoryIndex, category);
    EXPECT_EQ(main->ComboBox2->currentIndex(), category);
    EXPECT_EQ(main->typeSelection()->categorySelection, category);

    // The next start opens the chip that was chosen, not the browsed category.
    closed = false;
    main->close();
    ASSERT_TRUE(closed);
    main.reset();
    link.Disconnect();
    start();
    EXPECT_EQ(main->typeSelection()->chip.ChipName, chip);
    EXPECT_EQ(main->typeSelection()->CategoryIndex, category);
}

TEST_F(SafeWindows, CancelledFormatDialogKeepsFileNameCaptionAndBuffer)
{
    start();
    const fs::path data = dir / "first.bin";
    {
        std::ofstream out(data, std::ios::binary);
        out << "ABCD";
    }
    dialogs->openName = data.string();
    main->LoadFileClick();
    ASSERT_EQ(main->FileName(), data.string());
    const QString caption = main->fileWinFrame()->windowTitle();

    const fs::path other = dir / "other.bin";
    {
        std::ofstream out(other, std::ios::binary);
        out << "WXYZ";
    }
    dialogs->openName = other.string();
    dialogs->cancelFormat = true;
    main->LoadFileClick();
    EXPECT_EQ(main->FileName(), data.string());
    EXPECT_EQ(main->fileWinFrame()->windowTitle(), caption);
    EXPECT_EQ(buffer[0], 'A');

    dialogs->saveName = (dir / "never.bin").string();
    main->SaveBufClick();
    EXPECT_EQ(main->FileName(), data.string());
    EXPECT_FALSE(fs::exists(dir / "never.bin"));

    // And the next start loads the file that was kept.
    main->close();
    ASSERT_TRUE(closed);
    main.reset();
    link.Disconnect();
    buffer.reset();
    start();
    EXPECT_EQ(main->FileName(), data.string());
    EXPECT_EQ(buffer[0], 'A');
}

} // namespace

namespace {

TEST_F(SafeWindows, SystemWindowShowsTheWholeSystemName)
{
    start();
    main->SystemClick();
    TEp3* ep3 = main->ep3();
    ASSERT_NE(ep3, nullptr);
    QTest::mouseClick(ep3->Button1, Qt::LeftButton);
    const QString text = ep3->Edit1->text();
    ASSERT_FALSE(text.isEmpty());
    EXPECT_EQ(ep3->Edit1->cursorPosition(), 0);
    EXPECT_GE(ep3->Edit1->width(), ep3->Edit1->fontMetrics().horizontalAdvance(text));
}

} // namespace

namespace {

// The connection routine: which ports it tries, in what order, and why one would not open.
class Probing : public ::testing::Test {
protected:
    void SetUp() override
    {
        settings = fs::temp_directory_path() / ("pontvex-probe-" + std::to_string(::getpid()));
        fs::remove(settings);
        link.setSettingsPath(settings.string());
        link.setPortOpener(&ports);
        link.adapterPorts = [] { return std::vector<std::string>{"/dev/ttyUSB0", "/dev/ttyACM0"}; };
        QtPrompt::answerer = [this](QtPrompt::Kind, const std::string& text) {
            shown.push_back(text);
            return true;
        };
        link.setPrompt(&prompt);
    }
    void TearDown() override
    {
        link.setPrompt(nullptr);
        QtPrompt::answerer = nullptr;
        fs::remove(settings);
    }
    fs::path settings;
    ScriptedPortOpener ports;
    ProgrammerLink link;
    QtPrompt prompt;
    std::vector<std::string> shown;
};

TEST_F(Probing, UsbAdaptersComeAfterTheComPortsAndTheStartupWindowNamesEach)
{
    StartupWindow startup;
    std::vector<QString> seen;
    link.onProbe = [&](const std::string& port) {
        startup.showProbe(port);
        seen.push_back(startup.probeText());
    };
    ports.addPort("/dev/ttyACM0", IdentityAnswer("kelu3v13"));
    link.Connect(false);
    ASSERT_TRUE(link.Connected());
    EXPECT_EQ(ports.tried, (std::vector<std::string>{"COM1", "COM1", "COM2", "COM3", "COM4", "/dev/ttyUSB0",
                                                     "/dev/ttyACM0"}));
    ASSERT_EQ(seen.size(), 7u);
    EXPECT_EQ(seen[5], u("Поиск программатора: /dev/ttyUSB0"));
    EXPECT_EQ(link.PortName(), "/dev/ttyACM0");
    link.Disconnect();

    // The port that answered last is tried first, and not again later.
    ports.tried.clear();
    link.Connect(false);
    EXPECT_EQ(ports.tried, std::vector<std::string>{"/dev/ttyACM0"});
    link.Disconnect();
}

TEST_F(Probing, PortsThatWouldNotOpenAreNamedWithTheSystemsReason)
{
    ports.addPort("COM2", IdentityAnswer("kelu3v13"), PortOpenResult::PermissionDenied);
    ports.addPort("/dev/ttyUSB0", IdentityAnswer("kelu3v13"), PortOpenResult::Busy);
    link.Connect(false);
    EXPECT_FALSE(link.Connected());
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].rfind("Не найден программатор!", 0), 0u) << shown[0];
    EXPECT_NE(shown[0].find("COM2: нет доступа (добавьте пользователя в группу dialout"), std::string::npos)
        << shown[0];
    EXPECT_NE(shown[0].find("/dev/ttyUSB0: порт занят другой программой"), std::string::npos) << shown[0];

    // Nothing of an earlier attempt stays in the next message.
    shown.clear();
    link.ConnectTo("COM3");
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].find("dialout"), std::string::npos);
}

TEST_F(SafeWindows, OfflineTheSystemMenuConnectsTheSimulatedBox)
{
    main = std::make_unique<TMainForm>(link, buffer, families);
    link.setPrompt(&main->qtPrompt());
    main->createSystemWindow();
    main->createDialogs(std::make_unique<ScriptDialogs>(main->qtPrompt()));
    main->createTypeSelection();
    int boxCalls = 0;
    main->connectBox = [&] { ++boxCalls; };
    main->connectSimulator = [this] {
        simulator = std::make_unique<SimulatedBox>(options, main->qtPrompt());
        ASSERT_TRUE(simulator->attach(link));
        simulator->followChip(link, main->typeSelection()->chip);
    };
    ASSERT_FALSE(link.Connected());
    ASSERT_NE(main->action("ConnectBoxClick"), nullptr);
    EXPECT_EQ(main->action("ConnectBoxClick")->text(), u("Подключить программатор"));
    EXPECT_EQ(main->action("ConnectSimulatorClick")->text(), u("Подключить имитатор"));
    main->action("ConnectBoxClick")->trigger();
    EXPECT_EQ(boxCalls, 1);
    main->action("ConnectSimulatorClick")->trigger();
    ASSERT_TRUE(link.Connected());
    // Connected: neither runs again.
    main->action("ConnectBoxClick")->trigger();
    EXPECT_EQ(boxCalls, 1);
    FamilyWindow& family = current();
    readButton(family)->click();
    EXPECT_EQ(family.ErrorFlag(), 0) << family.message();
}

} // namespace

namespace {

TEST_F(SafeWindows, AFileOrALengthPastTheChipIsToldAndHeldToTheChip)
{
    start();
    FamilyWindow& family = current();
    ASSERT_EQ(family.chipBytes(), 0x8000) << family.chip().ChipName; // the first EPROM, 32 KiB

    const fs::path fits = dir / "fits.bin";
    {
        std::ofstream out(fits, std::ios::binary);
        out << std::string(0x8000, 'F');
    }
    dialogs->openName = fits.string();
    main->LoadFileClick();
    EXPECT_EQ(family.message().find("Файл больше"), std::string::npos) << family.message();

    const fs::path large = dir / "large.bin";
    {
        std::ofstream out(large, std::ios::binary);
        out << std::string(0x8001, 'L');
    }
    dialogs->openName = large.string();
    main->LoadFileClick();
    EXPECT_EQ(family.message(), "Файл больше микросхемы: микросхема вмещает 32768 байт");
    EXPECT_EQ(main->familyWidget(family)->messageLine()->text(),
              u("Файл больше микросхемы: микросхема вмещает 32768 байт"));

    AddressField* length = family.findField(Role::Length);
    ASSERT_NE(length, nullptr);
    family.editField(length->name, "8000");
    EXPECT_EQ(length->value, 0x7FFF);
    EXPECT_EQ(length->text, "7fff");
    EXPECT_EQ(family.message(), "Длина больше микросхемы: микросхема вмещает 32768 байт");
    family.editField(length->name, "100");
    EXPECT_EQ(length->value, 0x100);
}

} // namespace

namespace {

// The size warnings are the frame's: every family that knows its chip's bytes
// gives them at selection, in whatever window the chip opened.
TEST_F(SafeWindows, EveryFamilyWithABytesSizeWarnsOfALargerFileAndLength)
{
    start();
    struct Case {
        int category;
        const char* chip;
        int64_t bytes;
        bool hasLength; // a Length field to hold
    };
    const Case cases[] = {
        {1, "AM29F010", 0x20000, true}, // flash, 128 KiB
        {2, "AT89C51", 0x1000, false},  // 8051, 4 KiB
        {2, "PIC16F84A", 0x800, false}, // 1 K words, two bytes each
        {3, "AT24C01A", 0x80, false},   // two-wire EEPROM, 128 bytes
        {4, "GAL16V8", 2194, false},    // one byte a fuse
        {5, "HM6116", 0x800, true},     // SRAM, 2 KiB
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.chip);
        ASSERT_TRUE(chooseNamed(c.category, u(c.chip)));
        FamilyWindow& family = current();
        ASSERT_EQ(family.chip().ChipName, c.chip);
        EXPECT_EQ(family.chipBytes(), c.bytes);
        const std::string told = chipSizeText("Файл больше микросхемы", c.bytes);

        family.note("");
        loadBytes("fits.bin", static_cast<size_t>(c.bytes));
        EXPECT_EQ(family.message().find("Файл больше"), std::string::npos) << family.message();
        loadBytes("large.bin", static_cast<size_t>(c.bytes) + 1);
        EXPECT_EQ(family.message(), told);
        if (FamilyWindowWidget* widget = main->familyWidget(family)) {
            EXPECT_EQ(widget->messageLine()->text(), QString::fromStdString(told));
        }

        if (!c.hasLength)
            continue;
        AddressField* length = family.findField(Role::Length);
        ASSERT_NE(length, nullptr);
        family.editField(length->name, QString::number(c.bytes, 16).toStdString());
        EXPECT_EQ(length->value, c.bytes - 1);
        EXPECT_EQ(family.message(), chipSizeText("Длина больше микросхемы", c.bytes));
        family.editField(length->name, "10");
        EXPECT_EQ(length->value, 0x10);
    }
}

TEST_F(SafeWindows, TheLogicTesterHasNoByteSizeAndNoWarning)
{
    start();
    ASSERT_TRUE(chooseNamed(6, u("74xx")));
    FamilyWindow& family = current();
    EXPECT_EQ(family.chipBytes(), 0);
    family.note("");
    loadBytes("large.bin", 0x20000);
    EXPECT_EQ(family.message().find("Файл больше"), std::string::npos) << family.message();
    // Back to an EPROM: its own size, not the last window's.
    choose(0);
    EXPECT_EQ(current().chipBytes(), 0x8000) << current().chip().ChipName;
}

// The oscillator radio buttons feed the configuration word: a click shows
// the new word on the message line, as the check boxes do.
TEST_F(SafeWindows, ThePicOscillatorButtonsShowTheNewConfigurationWord)
{
    start();
    ASSERT_TRUE(chooseNamed(2, u("PIC16F84A")));
    FamilyWindow& family = current();
    FamilyWindowWidget* widget = main->familyWidget(family);
    ASSERT_NE(widget, nullptr);
    QRadioButton* rc = widget->optionItem(u("Режим Osc"), 3);
    ASSERT_NE(rc, nullptr);
    rc->click();
    EXPECT_EQ(family.option("osc"), 3);
    EXPECT_EQ(family.message(), "Конфг. = 0017");
    EXPECT_EQ(widget->messageLine()->text(), u("Конфг. = 0017"));
    widget->optionItem(u("Режим Osc"), 2)->click();
    EXPECT_EQ(widget->messageLine()->text(), u("Конфг. = 0016"));
    // The check boxes build on the chosen oscillator.
    widget->flagBox(u("CheckBox2"))->click(); // WDT off
    EXPECT_EQ(widget->messageLine()->text(), u("Конфг. = 0012"));
}

} // namespace

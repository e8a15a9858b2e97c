// The frame kit a family is built from: roles, outcomes, the raised-supply
// guard, stop requests, the new control kinds, side documents, the PLD view
// and the shared read loops.

#include "TestFamily.h"
#include "boxsim/SimTransport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>

namespace pontvex::test {
namespace {

namespace fs = std::filesystem;

ChipSelection chip16()
{
    ChipSelection chip;
    chip.AlgorithmKey = "P27";
    chip.VariantIndex = 1;
    chip.ChipName = "TEST16";
    return chip;
}

// A family built with the standard helpers, with the frame's loops and
// declaration helpers opened for the tests.
class KitFamily : public TTestFamily {
public:
    KitFamily(ProgrammerLink& link, FamilyHost& host) : TTestFamily(link, host) {}

    using FamilyWindow::addFlag;
    using FamilyWindow::addOption;
    using FamilyWindow::addSideDocument;
    using FamilyWindow::addValue;
    using FamilyWindow::blankRange;
    using FamilyWindow::declareAutoSteps;
    using FamilyWindow::declareStandardControls;
    using FamilyWindow::declareStandardFields;
    using FamilyWindow::flag;
    using FamilyWindow::loadSideDocuments;
    using FamilyWindow::readRange;
    using FamilyWindow::scanRange;
    using FamilyWindow::setChipBytes;
    using FamilyWindow::value;
    using FamilyWindow::verifyRange;

    void failWith(const std::string& text, int flag) { fail(text, flag); }
    std::optional<std::string> askValue(const std::string& text, const std::string& defaultValue)
    {
        return prompt().askValue(text, defaultValue);
    }
    uint8_t* bufferBytes() { return buffer.data(); }
    // The shared selection of a one-range chip, with the row the hook was given.
    void selectRange(const ChipSelection& chip)
    {
        selectRangeChip(chip, [this](int row) {
            rowsUsed.push_back(row);
            RangeChip r;
            if (row == 0)
                return r;
            r.addressMask = static_cast<uint32_t>(kRows[row].addressMask);
            r.groundPin = 16;
            r.readyText = "Выбор OK";
            r.shown = [this] { ran.push_back("shown"); };
            return r;
        });
    }
    std::vector<int> rowsUsed;

    // A long loop that shows progress at every address, with Vcc raised.
    void LongClick()
    {
        runCommand("Счит...", [this] {
            ran.push_back("long");
            link.RouteRaisedSupply(40);
            for (int64_t a = 0; a < 64; ++a) {
                link.ReadDataByte();
                progress(a);
            }
            succeed("done");
        });
    }

    // A write that raises Vcc and then fails, leaving it all to the guard.
    void RaisedWriteClick()
    {
        runCommand("Запись...", [this] {
            link.RouteRaisedSupply(40);
            link.SetVppVoltage(12500);
            link.RouteVpp(31);
            fail("000000:Ошиб!");
        });
    }
};

struct Rig {
    Rig()
    {
        link.setPrompt(&host.script());
        log = AttachRecording(link);
        log->answerAlways(0xFF);
        family = std::make_unique<KitFamily>(link, host);
        family->SelectChip(chip16());
        link.Flush();
        log->clear();
    }
    ProgrammerLink link;
    HeadlessHost host;
    std::shared_ptr<TransportLog> log;
    std::unique_ptr<KitFamily> family;
};

// --- roles --------------------------------------------------------------------

TEST(FrameRoles, StandardControlsCarryTheUsualNamesAndAreFoundByRole)
{
    ProgrammerLink link;
    HeadlessHost host;
    FamilyWindow* plain = nullptr;
    class Standard : public TTestFamily {
    public:
        Standard(ProgrammerLink& l, FamilyHost& h) : TTestFamily(l, h)
        {
            buttons().clear();
            autoSteps().clear();
            fields().clear();
            declareStandardControls({{Role::Read, [this] { ran.push_back("read"); }},
                                     {Role::Blank, [this] { ran.push_back("blank"); }},
                                     {Role::Write, [this] { ran.push_back("write"); }},
                                     {Role::Config, [this] { ran.push_back("config"); }, "Записать конф."},
                                     {Role::Auto},
                                     {Role::Exit}});
            declareAutoSteps({{Role::Blank, true}, {Role::Write, false}, {Role::Config, true}});
            declareStandardFields();
        }
    } family(link, host);
    plain = &family;

    const ButtonControl* read = plain->findButton(Role::Read);
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read->name, "ReadButton");
    EXPECT_EQ(read->handler, "ReadClick");
    EXPECT_EQ(read->caption, "Считать");
    EXPECT_EQ(read->shortName, "read");
    EXPECT_EQ(plain->findButton(Role::Config)->caption, "Записать конф."); // a caption of its own
    EXPECT_EQ(plain->findButton(Role::Auto)->name, "Button1");
    EXPECT_EQ(plain->findButton(Role::Exit)->caption, "Выход");
    EXPECT_EQ(plain->findButton(Role::Verify), nullptr);
    EXPECT_EQ(plain->findButton(Role::None), nullptr);

    ASSERT_EQ(plain->autoSteps().size(), 3u);
    EXPECT_EQ(plain->autoSteps()[0].name, "AutoBlank");
    EXPECT_EQ(plain->autoSteps()[0].caption, "Проверить");
    EXPECT_FALSE(plain->findAutoStep(Role::Write)->checked);
    EXPECT_EQ(plain->findAutoStep(Role::Config)->caption, "Конфиг.");

    EXPECT_EQ(plain->findField(Role::Length)->name, "LastAddress");
    EXPECT_EQ(plain->findField(Role::Length)->text, "000200");
    EXPECT_EQ(plain->findField(Role::BufferStart)->caption, "Старт буф");
    EXPECT_EQ(plain->findField(Role::ChipStart)->shortName, "chip-start");

    // A step runs its button's handler; the roles find the same thing the names do.
    EXPECT_TRUE(plain->press(Role::Read));
    EXPECT_TRUE(plain->press("Считать"));
    plain->findAutoStep(Role::Config)->run();
    EXPECT_EQ(family.ran, (std::vector<std::string>{"read", "read", "config"}));
    EXPECT_FALSE(plain->press(Role::Verify));
    EXPECT_STREQ(roleName(Role::Length), "length");
}

TEST(FrameRoles, AutoFindsItsWriteStepByRoleNotByCaption)
{
    Rig rig;
    auto& family = *rig.family;
    rig.host.hexView = false;
    // Renamed steps: the caption no longer says "Записать", the role still does.
    for (auto& step : family.autoSteps())
        step.caption = step.shortName = "x";
    family.Button1Click();
    EXPECT_TRUE(family.ran.empty());
    EXPECT_EQ(family.outcome(), Outcome::Refused);
    EXPECT_EQ(family.ErrorFlag(), 1);

    // A step whose caption says "Записать" but which does not write needs no hex view.
    family.findAutoStep(Role::Write)->role = Role::None;
    family.findAutoStep("CheckBox2")->caption = "Записать";
    family.Button1Click();
    EXPECT_EQ(family.message(), "Авто ОК!");
}

TEST(FrameRoles, AutoGivesEveryStepTheCommandFrame)
{
    Rig rig;
    auto& family = *rig.family;
    for (auto& step : family.autoSteps())
        step.checked = false;
    // A step that is no command of its own: Auto still switches off after it.
    family.autoSteps().push_back(AutoStep{"Step", "Шаг", "step", true, true,
                                          [&] {
                                              rig.link.RouteVcc(34);
                                              rig.link.RouteClock(19);
                                          },
                                          Role::None});
    family.Button1Click();
    EXPECT_EQ(family.message(), "Авто ОК!");
    EXPECT_TRUE(suppliesIdle(rig.link)) << suppliesOnText(rig.link);

    // Offline, a step is refused like a pressed button.
    rig.link.Disconnect();
    family.autoSteps().back().run = [&] { family.ran.push_back("step"); };
    family.Button1Click();
    EXPECT_TRUE(family.ran.empty());
    EXPECT_EQ(family.outcome(), Outcome::Refused);
}

// --- outcome ---------------------------------------------------------------------

TEST(FrameOutcome, EachEndOfACommandHasItsOutcomeAndFlag)
{
    Rig rig;
    auto& family = *rig.family;
    family.BlankClick();
    EXPECT_EQ(family.outcome(), Outcome::Ok);
    EXPECT_EQ(family.ErrorFlag(), 0);

    rig.log->answerAlways(0x00);
    family.BlankClick();
    EXPECT_EQ(family.outcome(), Outcome::Failed);
    EXPECT_EQ(family.ErrorFlag(), 1);

    // The next command starts afresh.
    family.VerifyClick();
    EXPECT_EQ(family.outcome(), Outcome::Ok);

    family.runCommand("", [&] { family.failWith("没有完全擦除，可重复多次", 2); });
    EXPECT_EQ(family.ErrorFlag(), 2);
    EXPECT_EQ(family.message(), "没有完全擦除，可重复多次");

    ChipSelection outside = chip16();
    outside.VariantIndex = 9;
    EXPECT_FALSE(family.acceptChip(outside));
    EXPECT_EQ(family.outcome(), Outcome::Refused);
    family.resetOutcome();
    EXPECT_EQ(family.ErrorFlag(), 0);

    rig.log->acceptLimit = rig.log->written.size() + 2;
    family.WriteClick();
    EXPECT_EQ(family.outcome(), Outcome::LinkLost);
    EXPECT_EQ(family.ErrorFlag(), 1);
    family.BlankClick(); // offline now
    EXPECT_EQ(family.outcome(), Outcome::Refused);
}

// --- supplies ---------------------------------------------------------------------

std::vector<uint8_t> bytesOf(const std::function<void(ProgrammerLink&)>& sequence)
{
    ProgrammerLink reference;
    HeadlessHost host;
    auto log = AttachRecording(reference);
    log->answerAlways(0xFF);
    TTestFamily(reference, host).SelectChip(chip16());
    reference.Flush();
    log->clear();
    sequence(reference);
    reference.Flush();
    return log->written;
}

TEST(FrameSupplies, GuardReturnsTheRaisedVccLevelBeforeVccGoes)
{
    Rig rig;
    EXPECT_TRUE(suppliesIdle(rig.link));
    rig.family->RaisedWriteClick();
    EXPECT_TRUE(suppliesIdle(rig.link)) << suppliesOnText(rig.link);
    EXPECT_EQ(rig.log->written, bytesOf([](ProgrammerLink& l) {
                  l.RouteRaisedSupply(40);
                  l.SetVppVoltage(12500);
                  l.RouteVpp(31);
                  l.RouteVpp(0);
                  l.SetVppVoltage(0);
                  l.SetVccVoltage(5);
                  l.RouteVcc(0);
              }));

    // A command that switched the raised supply off itself gets nothing more.
    rig.log->clear();
    rig.family->runCommand("", [&] {
        rig.link.RouteRaisedSupply(40);
        rig.link.RouteRaisedSupply(0);
    });
    EXPECT_EQ(rig.log->written, bytesOf([](ProgrammerLink& l) {
                  l.RouteRaisedSupply(40);
                  l.RouteRaisedSupply(0);
              }));
}

TEST(FrameSupplies, IdleNamesWhatIsStillOn)
{
    ProgrammerLink link;
    auto log = AttachRecording(link);
    log->answerAlways(0xFF);
    EXPECT_EQ(suppliesOnText(link), "");
    link.SetVccVoltage(6);
    EXPECT_FALSE(suppliesIdle(link));
    EXPECT_EQ(suppliesOnText(link), "raised Vcc level");
    link.RouteVcc(34);
    link.RouteClock(19);
    link.SetVppVoltage(12500);
    link.RouteVpp(28);
    EXPECT_EQ(suppliesOnText(link), "Vpp route, Vpp level, raised Vcc level, Vcc route, clock");
}

TEST(FrameSupplies, TheBoxEndsAtTheNormalVccLevel)
{
    auto box = std::make_shared<boxsim::Box>();
    ProgrammerLink link;
    HeadlessHost host;
    link.setPrompt(&host.script());
    ASSERT_TRUE(link.AttachTransport(std::make_unique<boxsim::SimTransport>(box), "SIM"));
    KitFamily family(link, host);
    family.SelectChip(chip16());
    family.RaisedWriteClick();
    EXPECT_EQ(box->vppRouteB() & 0x80, 0x80);
    EXPECT_EQ(box->vccPin(), 0);
    EXPECT_TRUE(box->vppRoutedPins().empty());
    EXPECT_TRUE(box->clean()) << box->errorReport();
}

// --- stop -----------------------------------------------------------------------

TEST(FrameStop, StopEndsTheCommandAtItsNextProgressStepWithTheSuppliesOff)
{
    Rig rig;
    auto& family = *rig.family;
    int steps = 0;
    rig.host.onChanged = [&](FamilyWindow& w) {
        if (w.progressValue() == 9 && ++steps == 1)
            w.requestStop(); // Escape while the address field shows 9
    };
    family.LongClick();
    EXPECT_EQ(family.message(), "Прервано!");
    EXPECT_EQ(family.outcome(), Outcome::Stopped);
    EXPECT_EQ(family.ErrorFlag(), 1);
    EXPECT_EQ(family.progressValue(), 9);
    EXPECT_TRUE(suppliesIdle(rig.link)) << suppliesOnText(rig.link);
    // Ten reads went out, then only the switch-off.
    EXPECT_EQ(rig.log->written, bytesOf([](ProgrammerLink& l) {
                  l.RouteRaisedSupply(40);
                  for (int i = 0; i < 10; ++i)
                      l.ReadDataByte();
                  l.SetVccVoltage(5);
                  l.RouteVcc(0);
              }));
    EXPECT_FALSE(family.stopRequested());

    // The next command runs as usual.
    rig.host.onChanged = nullptr;
    family.LongClick();
    EXPECT_EQ(family.message(), "done");
}

TEST(FrameStop, StopOutsideACommandIsForgotten)
{
    Rig rig;
    rig.family->requestStop();
    EXPECT_FALSE(rig.family->stopRequested());
    rig.family->LongClick();
    EXPECT_EQ(rig.family->message(), "done");
}

TEST(FrameStop, AutoRunsNoFurtherStep)
{
    Rig rig;
    auto& family = *rig.family;
    family.findAutoStep(Role::Verify)->checked = true;
    // Stopped inside Blank's loop.
    rig.host.onChanged = [&](FamilyWindow& w) {
        if (w.progressValue() == 3)
            w.requestStop();
    };
    family.Button1Click();
    EXPECT_EQ(family.ran, std::vector<std::string>{"blank"});
    EXPECT_EQ(family.message(), "Прервано!");
    EXPECT_EQ(family.ErrorFlag(), 1);
    EXPECT_EQ(rig.host.successCount, 0);

    // Stopped after Write's last progress step: Verify does not run either.
    family.ran.clear();
    rig.host.onChanged = [&](FamilyWindow& w) {
        if (w.message() == "OK!")
            w.requestStop();
    };
    family.Button1Click();
    EXPECT_EQ(family.ran, (std::vector<std::string>{"blank", "write"}));
    EXPECT_EQ(family.message(), "Прервано!");
    EXPECT_EQ(family.outcome(), Outcome::Stopped);
    EXPECT_EQ(rig.host.successCount, 0);
    EXPECT_TRUE(suppliesIdle(rig.link));
}

// --- flags, values ------------------------------------------------------------------

TEST(FrameKinds, ValueFieldsRefuseWhatIsNoNumberOfTheirRange)
{
    Rig rig;
    auto& family = *rig.family;
    int changes = 0;
    family.addValue("Edit1", "ID", "id-word", ValueField::Base::Hex, 0, 0xFFFF, 4, 0xFFFF).changed = [&] {
        ++changes;
    };
    family.addValue("Edit2", "Повтор", "repeat", ValueField::Base::Decimal, 1, 25, 0, 25);
    EXPECT_EQ(family.findValue("id-word")->text, "ffff");

    EXPECT_TRUE(family.editValue("Edit1", "1f"));
    EXPECT_EQ(family.value("ID"), 0x1F);
    EXPECT_EQ(family.findValue("Edit1")->text, "001f");
    EXPECT_TRUE(family.editValue("Edit1", " 0xAB0 "));
    EXPECT_EQ(family.value("Edit1"), 0xAB0);
    for (const char* bad : {"10000", "-1", "", "12g", "0x", "zz"}) {
        EXPECT_FALSE(family.editValue("Edit1", bad)) << bad;
        EXPECT_EQ(family.value("Edit1"), 0xAB0) << bad;
        EXPECT_EQ(family.findValue("Edit1")->text, "0ab0") << bad;
    }
    EXPECT_EQ(changes, 2);

    EXPECT_TRUE(family.editValue("repeat", "7"));
    EXPECT_EQ(family.value("repeat"), 7);
    for (const char* bad : {"0", "26", "1a", "-3"})
        EXPECT_FALSE(family.editValue("repeat", bad)) << bad;
    EXPECT_EQ(family.findValue("repeat")->text, "7");
    EXPECT_FALSE(family.editValue("none", "1"));
}

TEST(FrameKinds, FlagsTickAndTellTheFamily)
{
    Rig rig;
    auto& family = *rig.family;
    int changes = 0;
    family.addFlag("CheckBox2", "WDT", "wdt", true).changed = [&] { ++changes; };
    EXPECT_TRUE(family.flag("WDT"));
    EXPECT_TRUE(family.setFlag("wdt", false));
    EXPECT_FALSE(family.flag("CheckBox2"));
    EXPECT_TRUE(family.setFlag("wdt", false)); // no change, no call
    EXPECT_EQ(changes, 1);
    family.findFlag("wdt")->enabled = false;
    EXPECT_TRUE(family.setFlag("wdt", true));
    EXPECT_FALSE(family.flag("wdt")); // a disabled box does not change
    EXPECT_FALSE(family.setFlag("sec", true));
}

TEST(FrameKinds, OptionGroupsChooseAnItemAndTellTheFamily)
{
    Rig rig;
    auto& family = *rig.family;
    std::vector<int> seen;
    family.addOption("RadioGroup3", "Режим Osc", "osc", {" LP", " XT", " HS", " RC"}, 1).changed = [&] {
        seen.push_back(family.option("osc"));
    };
    EXPECT_TRUE(family.selectOption("osc", 3));
    EXPECT_TRUE(family.selectOption("Режим Osc", 3)); // no change, no call
    EXPECT_TRUE(family.selectOption("RadioGroup3", 0));
    EXPECT_EQ(seen, (std::vector<int>{3, 0}));
    // No such item or group: nothing is chosen.
    EXPECT_FALSE(family.selectOption("osc", 4));
    EXPECT_FALSE(family.selectOption("osc", -1));
    EXPECT_FALSE(family.selectOption("clock", 0));
    EXPECT_EQ(family.option("osc"), 0);
    // A group without a callback just changes.
    EXPECT_TRUE(family.selectOption("speed", 2));
    EXPECT_EQ(family.option("speed"), 2);
    EXPECT_EQ(seen.size(), 2u);
}

TEST(FrameKinds, TheChipSizeHoldsTheLengthUntilAnotherChipIsChosen)
{
    Rig rig;
    auto& family = *rig.family;
    EXPECT_EQ(family.chipBytes(), 0);
    family.editField("length", "ffff"); // no size: taken as typed
    EXPECT_EQ(family.findField(Role::Length)->value, 0xFFFF);

    family.setChipBytes(0x10);
    family.editField("length", "10");
    EXPECT_EQ(family.findField(Role::Length)->value, 0x0F);
    EXPECT_EQ(family.message(), "Длина больше микросхемы: микросхема вмещает 16 байт");
    family.note("");
    family.editField("length", "f");
    EXPECT_EQ(family.findField(Role::Length)->value, 0x0F);
    EXPECT_EQ(family.message(), "");

    // The next choice forgets the old chip's size, refused or not.
    ChipSelection other = chip16();
    other.VariantIndex = 7;
    EXPECT_FALSE(family.acceptChip(other));
    EXPECT_EQ(family.chipBytes(), 0);
    family.setChipBytes(0x10);
    EXPECT_TRUE(family.acceptChip(chip16()));
    EXPECT_EQ(family.chipBytes(), 0);
    family.setChipBytes(-5);
    EXPECT_EQ(family.chipBytes(), 0);
}

TEST(FrameSelection, ARangeChipIsSetUpFromItsRowAndARefusedRowSetsNothing)
{
    Rig rig;
    auto& family = *rig.family;
    family.editField("bufferStart", "20");
    ChipSelection chip = chip16();
    chip.VariantIndex = 2; // TEST256
    chip.ChipName = "TEST256";
    family.selectRange(chip);
    rig.link.Flush();
    EXPECT_EQ(family.rowsUsed, (std::vector<int>{2}));
    EXPECT_EQ(family.ran, (std::vector<std::string>{"shown"}));
    EXPECT_EQ(family.chipBytes(), 0x100);
    EXPECT_EQ(family.message(), "Выбор OK");
    EXPECT_EQ(family.caption(), "0 to ff");
    EXPECT_EQ(family.chipNameText(), "TEST256");
    EXPECT_TRUE(family.visible());
    EXPECT_EQ(rig.host.endAddress(), 0xFF);
    EXPECT_EQ(family.progressMax(), 0xFF);
    EXPECT_EQ(family.findField(Role::Length)->text, "ff");
    EXPECT_EQ(family.findField(Role::BufferStart)->value, 0x20);
    EXPECT_TRUE(suppliesIdle(rig.link)) << suppliesOnText(rig.link);

    // A row the table does not have: the hook hears 0 and nothing is set up.
    rig.log->clear();
    chip.VariantIndex = 3;
    family.selectRange(chip);
    rig.link.Flush();
    EXPECT_EQ(family.rowsUsed, (std::vector<int>{2, 0}));
    EXPECT_EQ(family.chipBytes(), 0);
    EXPECT_EQ(family.message(), "Нет типа 3 в таблице!");
    EXPECT_EQ(family.ErrorFlag(), 1);
    EXPECT_EQ(family.ran.size(), 1u);
}

TEST(FrameSelection, ARangeChipOfflineKeepsItsSizeAndShowsTheConnectionText)
{
    HeadlessHost host;
    ProgrammerLink link;
    link.setPrompt(&host.script());
    KitFamily family(link, host);
    family.selectRange(chip16());
    EXPECT_EQ(family.chipBytes(), 0x10);
    EXPECT_EQ(family.message(), "Ошб.соед!");
    EXPECT_TRUE(family.ran.empty());
    EXPECT_FALSE(family.visible());
}

// --- side documents --------------------------------------------------------------------

TEST(FrameSideFiles, PathRuleReplacesTheLastExtensionOfTheName)
{
    EXPECT_EQ(sideFilePath("noname.bin", ".CON"), "noname.CON");
    EXPECT_EQ(sideFilePath("c:\\work\\pic.v2\\code.hex", ".CON"), "c:\\work\\pic.v2\\code.CON");
    EXPECT_EQ(sideFilePath("/tmp/dir.d/image", ".EMC"), "/tmp/dir.d/image.EMC");
    EXPECT_EQ(sideFilePath("c:image", ".MDT"), "c:image.MDT");
    EXPECT_EQ(sideFilePath("a.b.c", ".MDT"), "a.b.MDT");
}

class SideFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() /
              ("pontvex-side-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    static std::string read(const fs::path& p)
    {
        std::ifstream in(p, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    static void write(const fs::path& p, const std::string& text)
    {
        std::ofstream(p, std::ios::binary) << text;
    }

    // A family keeping "WDT" and an ID word in ".CON": four characters.
    void declare(KitFamily& family)
    {
        family.addFlag("CheckBox2", "WDT", "wdt", true);
        family.addValue("Edit1", "ID", "id-word", ValueField::Base::Hex, 0, 0xFFFF, 4, 0xFFFF);
        family.addSideDocument(
            ".CON",
            [this, &family](const std::string& text) {
                if (!text.empty())
                    family.setFlag("wdt", text[0] != '0');
                loads.push_back(text);
            },
            [&family] { return std::string(family.flag("wdt") ? "1" : "0") + family.findValue("ID")->text; });
        family.loadSideDocuments();
    }

    fs::path dir;
    std::vector<std::string> loads;
};

TEST_F(SideFileTest, ReadAtCreationWrittenOnClose)
{
    ProgrammerLink link;
    HeadlessHost host;
    link.setPrompt(&host.script());
    host.dataFile = (dir / "code.hex").string();
    write(dir / "code.CON", "0abcd");
    KitFamily family(link, host);
    declare(family);
    ASSERT_EQ(loads, std::vector<std::string>{"0abcd"});
    EXPECT_FALSE(family.flag("wdt"));

    family.show();
    family.editValue("ID", "12");
    family.close();
    EXPECT_EQ(read(dir / "code.CON"), "00012");
    EXPECT_FALSE(fs::exists(dir / "code.CON.tmp"));
    EXPECT_TRUE(host.script().messages.empty());
}

TEST_F(SideFileTest, MissingFileLeavesTheControlsAndNoDataFileMeansNoSideFile)
{
    ProgrammerLink link;
    HeadlessHost host;
    link.setPrompt(&host.script());
    host.dataFile = (dir / "code.bin").string();
    KitFamily family(link, host);
    declare(family);
    EXPECT_TRUE(loads.empty());
    EXPECT_TRUE(family.flag("wdt"));

    host.dataFile.clear(); // nothing named: nothing written anywhere
    family.show();
    family.close();
    EXPECT_TRUE(fs::is_empty(dir));
}

TEST_F(SideFileTest, ADataFileOfTheSideFilesNameIsNeverTouched)
{
    ProgrammerLink link;
    HeadlessHost host;
    link.setPrompt(&host.script());
    for (const char* name : {"code.CON", "code.con"}) {
        loads.clear();
        host.dataFile = (dir / name).string();
        write(host.dataFile, "DATA");
        KitFamily family(link, host);
        declare(family);
        EXPECT_TRUE(loads.empty()) << name;
        EXPECT_EQ(family.sideDocumentPath(family.sideDocuments()[0]), "") << name;
        family.show();
        family.close();
        EXPECT_EQ(read(host.dataFile), "DATA") << name;
    }
}

TEST_F(SideFileTest, ASideFileThatCannotBeWrittenIsTold)
{
    ProgrammerLink link;
    HeadlessHost host;
    link.setPrompt(&host.script());
    host.dataFile = (dir / "missing" / "code.bin").string();
    KitFamily family(link, host);
    declare(family);
    family.show();
    family.close();
    ASSERT_EQ(host.script().messages.size(), 1u);
    EXPECT_NE(host.script().messages[0].find("code.CON"), std::string::npos);
}

// --- prompt and views ------------------------------------------------------------------

TEST(FramePrompt, ValueQuestionsAreScriptedAndWaitForTheQueuedBytes)
{
    Rig rig;
    ScriptedPrompt& script = rig.host.script();
    script.answerValue(std::string("25"));
    script.answerValue(std::nullopt);
    size_t sentWhenAsked = 0;
    script.echo = [&](const std::string&, const std::string&) { sentWhenAsked = rig.log->written.size(); };
    std::optional<std::string> first, second, third;
    rig.family->runCommand("", [&] {
        rig.link.RouteVcc(34);
        first = rig.family->askValue("Повтор?", "10");
    });
    EXPECT_EQ(sentWhenAsked, 1u + 2u + 10u + 2u + 10u);
    second = rig.family->askValue("Повтор?", "10");
    third = rig.family->askValue("Повтор?", "10"); // script used up, defaultAnswer false
    EXPECT_EQ(first, std::optional<std::string>("25"));
    EXPECT_EQ(second, std::nullopt);
    EXPECT_EQ(third, std::nullopt);
    script.defaultAnswer = true;
    EXPECT_EQ(rig.family->askValue("Повтор?", "10"), std::optional<std::string>("10"));
    EXPECT_EQ(script.valueQuestions.size(), 4u);
    EXPECT_TRUE(script.questions.empty());
}

TEST(FrameViews, HexViewAndPldViewExcludeEachOther)
{
    HeadlessHost host;
    host.fileNew();
    EXPECT_TRUE(host.hexViewExists());
    EXPECT_FALSE(host.pldViewExists());
    EXPECT_TRUE(host.openPldView(40, 64));
    EXPECT_TRUE(host.pldViewExists());
    EXPECT_FALSE(host.hexViewExists());
    EXPECT_EQ(host.pldRowLength, 40);
    EXPECT_EQ(host.pldRowCount, 64);
    host.fileNew();
    EXPECT_TRUE(host.hexViewExists());
    EXPECT_FALSE(host.pldViewExists());
    EXPECT_EQ(host.endAddress(), 0xFFFF);
}

// --- shared loops -----------------------------------------------------------------------

// Replies 0, 1, 2, ... in order.
void countReplies(TransportLog& log)
{
    auto next = std::make_shared<uint8_t>(0);
    log.responder = [next](const TransportLog&, uint8_t& reply) {
        reply = (*next)++;
        return true;
    };
}

TEST(FrameLoops, ReadRangeStoresUnitsOfSeveralRepliesLowByteFirst)
{
    for (int window : {0, 128}) {
        Rig rig;
        rig.link.setReplyWindow(window);
        countReplies(*rig.log);
        std::vector<uint32_t> addressed;
        int stepped = 0;
        ReadRange r;
        r.first = 0;
        r.last = 7;
        r.step = 2;
        r.unitBytes = 2;
        r.bufferStart = 0x100;
        r.mask = 0x3FFF;
        r.unit.command = {4, 30};
        r.unit.replies = 2;
        r.unit.value = [](const uint8_t* b) { return static_cast<uint32_t>(b[0] | (b[1] | 0xC0) << 8); };
        r.setAddress = [&](uint32_t a) { addressed.push_back(a); };
        r.addressEvery = 4;
        r.next = [&] { ++stepped; };
        r.progress.every = 4;
        rig.family->runCommand("", [&] { EXPECT_TRUE(rig.family->readRange(r)); });
        EXPECT_EQ(addressed, (std::vector<uint32_t>{0, 4})) << window;
        EXPECT_EQ(stepped, 4);
        // Word n is replies 2n, 2n+1 with the high byte's top bits masked off.
        const uint8_t* b = rig.family->bufferBytes() + 0x100;
        EXPECT_EQ(std::vector<uint8_t>(b, b + 8), (std::vector<uint8_t>{0, 1, 2, 3, 4, 5, 6, 7})) << window;
        EXPECT_EQ(rig.family->progressValue(), 7);
        EXPECT_EQ(rig.link.PendingReplies(), 0);
        EXPECT_EQ(rig.log->written, (std::vector<uint8_t>{4, 30, 4, 30, 4, 30, 4, 30})) << window;
    }
}

TEST(FrameLoops, VerifyRangeStopsAtTheFirstDifferenceWithItsText)
{
    for (int window : {0, 128}) {
        Rig rig;
        rig.link.setReplyWindow(window);
        countReplies(*rig.log);
        uint8_t* b = rig.family->bufferBytes();
        for (int i = 0; i < 64; ++i)
            b[0x10 + i] = static_cast<uint8_t>(i);
        b[0x10 + 40] = 0xEE;
        ReadRange r;
        r.first = 0x20;
        r.last = 0x20 + 63;
        r.bufferStart = 0x10;
        r.progress.every = 16;
        r.progress.fromFirst = true;
        r.progress.atFailure = true;
        r.failureFormat = "%04x:Ошиб! (Файл=%02x,Устр=%02x)";
        bool same = true;
        rig.family->runCommand("", [&] { same = rig.family->verifyRange(r); });
        EXPECT_FALSE(same);
        EXPECT_EQ(rig.family->message(), "0048:Ошиб! (Файл=ee,Устр=28)") << window;
        EXPECT_EQ(rig.family->ErrorFlag(), 1);
        EXPECT_EQ(rig.family->addressText(), "000048");
        EXPECT_EQ(rig.link.PendingReplies(), 0);
        // Plain: exactly the reads up to the bad one; pipelined: at most the window more.
        const size_t reads = rig.log->written.size();
        if (window == 0)
            EXPECT_EQ(reads, 41u);
        else
            EXPECT_LE(reads, 64u);
    }
}

TEST(FrameLoops, BlankRangeChecksEachUnitWithOneLongBlockInFlight)
{
    Rig rig;
    // Block sums: the second reply of each block command is 0 at the third block.
    auto replies = std::make_shared<std::vector<uint8_t>>(std::vector<uint8_t>{9, 1, 9, 1, 9, 0, 9, 1});
    auto at = std::make_shared<size_t>(0);
    rig.log->responder = [replies, at](const TransportLog&, uint8_t& reply) {
        reply = (*replies)[(*at)++ % replies->size()];
        return true;
    };
    std::vector<int> owedAtAddress;
    ReadRange r;
    r.last = 0x3FF;
    r.step = 256;
    r.unit.command = {129};
    r.unit.replies = 2;
    r.unit.value = [](const uint8_t* b) { return b[1]; };
    r.blankWhen = [](uint32_t v) { return v != 0; };
    r.setAddress = [&](uint32_t) { owedAtAddress.push_back(rig.link.PendingReplies()); };
    r.failureFormat = "%06x: Ошибка!  ";
    bool blank = true;
    rig.family->runCommand("", [&] { blank = rig.family->blankRange(r); });
    EXPECT_FALSE(blank);
    EXPECT_EQ(rig.family->message(), "000200: Ошибка!  ");
    // One block's reply owed when the next block's address goes out, so the
    // box works while it crosses the line; the failing third block is seen
    // with the fourth already sent, and nothing after it.
    EXPECT_EQ(owedAtAddress, (std::vector<int>{0, 2, 2, 2}));
    EXPECT_EQ(rig.log->written, (std::vector<uint8_t>{129, 129, 129, 129}));
}

TEST(FrameLoops, SetAddressThatReadsTakesTheQueuedRepliesFirst)
{
    Rig rig;
    countReplies(*rig.log);
    std::vector<int> owed;
    ReadRange r;
    r.last = 0x2FF;
    r.setAddressReads = true;
    r.setAddress = [&](uint32_t) {
        owed.push_back(rig.link.PendingReplies());
        rig.link.ReadPort(2); // a port read-back of its own
    };
    std::vector<uint32_t> values;
    rig.family->runCommand("", [&] {
        rig.family->scanRange(r, [&](uint32_t, uint32_t v) {
            values.push_back(v);
            return true;
        });
    });
    EXPECT_EQ(owed, (std::vector<int>{0, 0, 0}));
    ASSERT_EQ(values.size(), 0x300u);
    // Reply 0 went to the first port read, 1..256 to the first block, 257 to the second port read ...
    EXPECT_EQ(values[0], 1u);
    EXPECT_EQ(values[255], 0u); // 256 wraps in a byte
    EXPECT_EQ(values[256], 2u);
}

TEST(FrameLoops, StopInsideALoopDropsTheRepliesStillOwed)
{
    Rig rig;
    ReadRange r;
    r.last = 0xFFF;
    r.progress.every = 16;
    rig.host.onChanged = [&](FamilyWindow& w) {
        if (w.progressValue() == 0x40)
            w.requestStop();
    };
    rig.family->runCommand("", [&] { rig.family->readRange(r); });
    EXPECT_EQ(rig.family->outcome(), Outcome::Stopped);
    EXPECT_EQ(rig.link.PendingReplies(), 0);
    EXPECT_LE(rig.log->written.size(), 0x41u + 128u);
}

} // namespace
} // namespace pontvex::test

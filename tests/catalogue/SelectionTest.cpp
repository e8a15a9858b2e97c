#include "TestFamily.h"
#include "catalogue/TypeSelection.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

namespace pontvex::test {
namespace {

namespace fs = std::filesystem;

const char* const kList = "#EPROM-ATMEL\n"
                          "AT27C256,P27 1\n"
                          "----------\n"
                          "AT27C512,P27 2\n"
                          "NOPARAMS\n"
                          "AT27C010,P27 5\n"
                          "#EPROM-AMD\n"
                          "AM27C256,P27 1\n"
                          "AM27C512,P27 2\n"
                          "#EPROM-DUP\n"
                          "FIRST,P27 1\n"
                          "#EPROM-DUP\n"
                          "SECOND,P27 2\n"
                          "#EPROM-UNKNOWN\n"
                          "ODD,NOSUCHKEY 1\n"
                          "UNBUILT,ICTEST 0\n"
                          "#EPROM-EMPTY\n"
                          "#MPU-ATMEL\n"
                          "AT89C51,P89C51 1 #1e,51,ff\n"
                          "AT89C52,P89C51 3 #1e 52 ff\n";

class SelectionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("pontvex-sel-" + std::to_string(std::random_device{}()));
        fs::create_directories(dir);
        writeList("devicea.lst", kList); // offline the probe answers 97
        link.setPrompt(&host.script());
        selection = std::make_unique<TypeSelection>(link, host, FamilyRegistry{});
        selection->programDir = dir.string() + "/";
        selection->dataDirs.clear();
        host.idReader = [this] {
            selection->ReadIdCode();
            return selection->idField;
        };
        auto factory = [this](ProgrammerLink& l, FamilyHost& h) {
            ++created;
            return std::make_unique<TTestFamily>(l, h);
        };
        ASSERT_TRUE(selection->setFactory("P27", factory));
        ASSERT_TRUE(selection->setFactory("P89C51", factory));
    }
    void TearDown() override
    {
        selection.reset();
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    void writeList(const std::string& name, const std::string& text)
    {
        std::ofstream(dir / name, std::ios::binary) << text;
    }
    void choose(int category, const std::string& group, int chip)
    {
        selection->chooseCategory(category);
        const auto& groups = selection->groupList;
        const auto it = std::find(groups.begin(), groups.end(), group);
        ASSERT_NE(it, groups.end()) << group;
        selection->groupClicked(static_cast<int>(it - groups.begin()));
        selection->chipSelection = chip;
        selection->OKBtnClick();
    }
    TTestFamily* family(const char* windowClass = "TP27x")
    {
        return static_cast<TTestFamily*>(selection->window(windowClass));
    }

    fs::path dir;
    ProgrammerLink link;
    HeadlessHost host;
    std::unique_ptr<TypeSelection> selection;
    int created = 0;
};

TEST_F(SelectionTest, ChoosingAChipStoresItAndOpensItsFamily)
{
    selection->dialogVisible = true;
    choose(0, "ATMEL", 4);
    const ChipSelection& chip = selection->chip;
    EXPECT_EQ(chip.AlgorithmKey, "P27");
    EXPECT_EQ(chip.VariantIndex, 5);
    EXPECT_EQ(chip.ChipName, "AT27C010");
    EXPECT_EQ(chip.ExpectedSignature, (std::array<uint8_t, 3>{0, 0, 0}));
    EXPECT_EQ(selection->TypeTitle, "ATMEL: AT27C010");
    EXPECT_EQ(selection->typeLabel, "Тип:     ATMEL: AT27C010");
    EXPECT_EQ(selection->statusGroup, "ATMEL");
    EXPECT_EQ(selection->statusChip, "AT27C010");
    EXPECT_EQ(selection->ChipIndex, 4);
    EXPECT_EQ(selection->mainChipSelection, 4);
    EXPECT_FALSE(selection->dialogVisible);
    ASSERT_NE(family(), nullptr);
    EXPECT_EQ(selection->currentWindow(), family());
    EXPECT_TRUE(family()->visible());
}

TEST_F(SelectionTest, SignatureIsReadWithCommasOrBlanks)
{
    choose(2, "ATMEL", 0);
    EXPECT_EQ(selection->chip.ExpectedSignature, (std::array<uint8_t, 3>{0x1E, 0x51, 0xFF}));
    choose(2, "ATMEL", 1);
    EXPECT_EQ(selection->chip.VariantIndex, 3);
    EXPECT_EQ(selection->chip.ExpectedSignature, (std::array<uint8_t, 3>{0x1E, 0x52, 0xFF}));
    EXPECT_EQ(selection->CategoryIndex, 2);
}

TEST_F(SelectionTest, SeparatorEmptyListAndEntriesWithoutParametersAreRefused)
{
    choose(0, "ATMEL", 0);
    const ChipSelection before = selection->chip;
    selection->dialogVisible = true;

    selection->chipSelection = 1; // "----------"
    selection->OKBtnClick();
    EXPECT_TRUE(selection->dialogVisible);
    EXPECT_EQ(selection->chip.ChipName, before.ChipName);

    selection->chipSelection = 3; // "NOPARAMS"
    selection->OKBtnClick();
    EXPECT_TRUE(selection->dialogVisible);
    EXPECT_FALSE(selection->statusMessage.empty());
    EXPECT_EQ(selection->chip.VariantIndex, before.VariantIndex);

    selection->groupClicked(5); // "EMPTY"
    ASSERT_EQ(selection->GroupName, "EMPTY");
    EXPECT_TRUE(selection->chipList.empty());
    selection->OKBtnClick();
    EXPECT_TRUE(selection->dialogVisible);
    EXPECT_FALSE(selection->statusMessage.empty());
    EXPECT_EQ(selection->ChipIndex, 0);
}

TEST_F(SelectionTest, SameFamilyTwiceMakesOneWindow)
{
    choose(0, "ATMEL", 0);
    choose(0, "AMD", 1);
    choose(2, "ATMEL", 0);
    EXPECT_EQ(created, 2); // TP27x and TP89c5x
    EXPECT_EQ(family()->selections, 2);
    EXPECT_EQ(family()->chip().ChipName, "AM27C512");
    EXPECT_EQ(selection->windows().size(), 2u);
}

TEST_F(SelectionTest, UnknownOrUnbuiltKeysOpenNothingButCloseTheDialog)
{
    selection->dialogVisible = true;
    choose(0, "UNKNOWN", 0);
    EXPECT_EQ(created, 0);
    EXPECT_FALSE(selection->dialogVisible);
    choose(0, "UNKNOWN", 1); // ICTEST: its family is not built here
    EXPECT_EQ(created, 0);
    EXPECT_EQ(selection->currentWindow(), nullptr);
}

TEST_F(SelectionTest, OfflineSelectionShowsTheConnectionError)
{
    choose(0, "ATMEL", 0);
    ASSERT_NE(family(), nullptr);
    EXPECT_EQ(family()->message(), "Ошб.соед!");
    EXPECT_EQ(family()->caption(), ""); // nothing else set up
    EXPECT_EQ(host.fileNewCalls, 0);
}

TEST_F(SelectionTest, VariantOutsideTheFamilySelectsNothing)
{
    writeList("devicea.lst", "#EPROM-X\nBAD,P27 7\n");
    choose(0, "X", 0);
    ASSERT_NE(family(), nullptr);
    EXPECT_EQ(family()->selections, 0);
    EXPECT_EQ(family()->message(), "Нет типа 7 в таблице!");
}

TEST_F(SelectionTest, DuplicateGroupsShowTheChipsOfTheFirst)
{
    selection->chooseCategory(0);
    EXPECT_EQ(std::count(selection->groupList.begin(), selection->groupList.end(), "DUP"), 2);
    selection->groupClicked(3);
    EXPECT_EQ(selection->chipList, (std::vector<std::string>{"FIRST"}));
    EXPECT_EQ(selection->mainGroupText, "DUP");
}

TEST_F(SelectionTest, CategoryChangeRestoresGroupOrTakesTheFirst)
{
    choose(0, "AMD", 1);
    selection->chooseCategory(2);
    EXPECT_EQ(selection->GroupName, "ATMEL");
    EXPECT_EQ(selection->chipSelection, 0); // first chip, not ChipIndex of another group
    EXPECT_EQ(selection->mainChipSelection, 1);
    EXPECT_EQ(selection->mainCategory, 2);
    EXPECT_EQ(selection->SectionPrefix, "#MPU");
    EXPECT_EQ(selection->categoryNumber, 3);

    selection->GroupName = "AMD";
    selection->chooseCategory(0);
    EXPECT_EQ(selection->groupSelection, 1);
    EXPECT_EQ(selection->chipSelection, 1); // back in the group of the last OK

    selection->GroupName = "GONE";
    selection->chooseCategory(0);
    EXPECT_EQ(selection->groupSelection, 0);
    EXPECT_EQ(selection->GroupName, "ATMEL");
    EXPECT_EQ(selection->mainGroupText, "ATMEL");

    selection->chooseCategory(-3); // negative: the first category
    EXPECT_EQ(selection->categorySelection, 0);
}

TEST_F(SelectionTest, StartUpRestoresTheLastChoice)
{
    SavedChoice saved;
    saved.categoryIndex = 0;
    saved.GroupName = "AMD";
    saved.ChipIndex = 1;
    saved.TypeTitle = "AMD: AM27C512";
    selection->restore(saved);
    selection->startUp();
    EXPECT_EQ(selection->chip.ChipName, "AM27C512");
    EXPECT_EQ(selection->typeLabel, "Тип: AMD: AM27C512");
    EXPECT_NE(family(), nullptr);
    EXPECT_FALSE(selection->dialogVisible);
    const SavedChoice again = selection->saved();
    EXPECT_EQ(again.GroupName, "AMD");
    EXPECT_EQ(again.ChipIndex, 1);
    EXPECT_EQ(again.VariantIndex, 2);
    EXPECT_EQ(again.SectionPrefix, "#EPR");
}

TEST_F(SelectionTest, MissingListIsReportedAndTheListsStay)
{
    selection->chooseCategory(0);
    const auto groups = selection->groupList;
    fs::remove(dir / "devicea.lst");
    selection->chooseCategory(2);
    EXPECT_EQ(selection->groupList, groups);
    ASSERT_FALSE(host.script().boxes.empty());
    EXPECT_EQ(host.script().boxes.back(), "缺DEVICE.LST文件!");
    EXPECT_TRUE(selection->listPath().empty());
}

TEST_F(SelectionTest, ListsComeFromTheDataFolderWhenNotInProgramDir)
{
    const fs::path data = dir / "data";
    fs::create_directories(data);
    fs::rename(dir / "devicea.lst", data / "devicea.lst");
    selection->dataDirs = {data.string()};
    selection->chooseCategory(0);
    EXPECT_EQ(selection->groupList.size(), 6u);
    EXPECT_EQ(fs::path(selection->listPath()), data / "devicea.lst");
    EXPECT_TRUE(host.script().boxes.empty());
}

TEST_F(SelectionTest, GroupOfMoreThan200EntriesIsCutAndSaysSo)
{
    std::string list = "#EPROM-BIG\n";
    for (int i = 0; i < 300; ++i)
        list += "C" + std::to_string(i) + ",P27 1\n";
    writeList("devicea.lst", list);
    selection->chooseCategory(0);
    EXPECT_EQ(selection->chipList.size(), 200u);
    ASSERT_FALSE(host.script().boxes.empty());
    EXPECT_NE(host.script().boxes.back().find("202"), std::string::npos);
}

TEST_F(SelectionTest, ProbeChoosesTheListFile)
{
    EXPECT_STREQ(TypeSelection::listFileName(97), "devicea.lst");
    EXPECT_STREQ(TypeSelection::listFileName(98), "device.lst");
    EXPECT_STREQ(TypeSelection::listFileName(99), "devicec.lst");
    writeList("device.lst", "#EPROM-NINETYEIGHT\n");
    writeList("devicec.lst", "#EPROM-NINETYNINE\n");

    auto log = AttachRecording(link, "kelu3v13");
    log->answerAlways(0x00); // pin 31 reads 0
    selection->chooseCategory(0);
    EXPECT_EQ(selection->groupList, (std::vector<std::string>{"NINETYEIGHT"}));

    ProgrammerLink other;
    auto otherLog = AttachRecording(other, "kelm3v52");
    otherLog->answerAlways(0x00);
    TypeSelection second(other, host, FamilyRegistry{});
    second.programDir = selection->programDir;
    second.chooseCategory(0);
    EXPECT_EQ(second.groupList, (std::vector<std::string>{"NINETYNINE"}));
}

std::vector<uint8_t> idSequence()
{
    ProgrammerLink reference;
    auto log = AttachRecording(reference);
    log->answerAlways(0x1E);
    reference.RouteGnd(20);
    reference.SetVppVoltage(12500);
    reference.LinkDelay(100);
    reference.WriteAllLatches(0);
    reference.FloatPin(5);
    reference.FloatPin(7);
    reference.FloatPin(36);
    reference.RouteVcc(36);
    reference.SetBusMode(12);
    reference.WriteLatch(2, 0xFF);
    reference.RouteVpp(30);
    reference.DrivePin(16);
    reference.ReadPort(2);
    reference.FloatPin(16);
    reference.ReadPort(2);
    reference.RouteVpp(0);
    reference.RouteVcc(0);
    reference.Flush();
    return log->written;
}

TEST_F(SelectionTest, ReadIdCodeSendsItsSequenceAndShowsTwoBytes)
{
    selection->idField = "Код ID";
    selection->ReadIdCode(); // offline: nothing read, the field is cleared
    EXPECT_EQ(selection->idField, "");
    EXPECT_EQ(selection->IdBytes, (std::array<uint8_t, 2>{0, 0}));

    auto log = AttachRecording(link);
    log->replies = {0x1E, 0x8C};
    selection->categorySelection = 1;
    selection->ReadIdCode();
    EXPECT_EQ(log->written, idSequence());
    EXPECT_EQ(selection->IdBytes, (std::array<uint8_t, 2>{0x1E, 0x8C}));
    EXPECT_EQ(selection->idField, "1e,8c");

    log->clear();
    selection->categorySelection = 2; // not a 27/28/29 memory
    selection->ReadIdCode();
    EXPECT_TRUE(log->written.empty());
    EXPECT_EQ(selection->idField, "");
    EXPECT_EQ(selection->IdBytes, (std::array<uint8_t, 2>{0x1E, 0x8C}));
}

TEST_F(SelectionTest, FamilyIdButtonUsesTheDialogsReader)
{
    auto log = AttachRecording(link);
    log->answerAlways(0xFF);
    choose(0, "ATMEL", 0);
    log->replies = {0x1E, 0x8C};
    family()->press("id");
    EXPECT_EQ(family()->idText(), "1e,8c");
    // The reader leaves 12.5 V selected; the window's ID button sets it back to 0.
    EXPECT_EQ(link.shadows().pinLatch[6] & 0x0F, 0x0F);
}

} // namespace
} // namespace pontvex::test

// The memory windows against a box that reads its pins back: an empty socket
// fails Write, and the ID reader powers the package of the chosen chip.
#include "support/FamilyBench.h"

#include "boxsim/chips/Eprom27.h"
#include "catalogue/TypeSelection.h"

#include <algorithm>
#include <tuple>

namespace pontvex::eprom_test {
namespace {

// Write's per-byte compare sees the socket: with nothing in it every byte
// reads back 0xFF, so Write and Auto stop at the first byte with the
// window's failure text (address, file byte, chip byte), and no chip is counted.
TEST(EpromStrict, EmptySocketFailsWriteAndAuto)
{
    for (const auto& [key, variant, name] :
         {std::tuple{"P27", 13, "AT27C256"}, std::tuple{"P27", 3, "2716"}, std::tuple{"PW27", 1, "W27E512"},
          std::tuple{"SST27SF", 2, "SST27SF512"}}) {
        for (const char* command : {"write", "auto"}) {
            FamilyBench bench(key, variant, name, {.seated = false});
            auto image = randomBytes(0x400, 41);
            image[0] = 0x5A;
            std::copy(image.begin(), image.end(), bench.buffer().data());
            bench.fields(0, 0, 0x3FF);
            bench.press(command);
            EXPECT_EQ(bench.w().message(), "000000:Ошиб! (Файл=5a,Устр=ff)") << name << " " << command;
            EXPECT_EQ(bench.w().ErrorFlag(), 1) << name << " " << command;
            EXPECT_EQ(bench.host.successCount, 0) << name << " " << command;
            EXPECT_EQ(bench.box->errorReport(), "") << name << " " << command;
        }
    }
}

int indexOf(const std::vector<std::string>& list, const std::string& entry)
{
    const auto it = std::find(list.begin(), list.end(), entry);
    return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

// The type dialog's choice opens the window; its ID button and the dialog's
// reader then power the chosen package (Vcc 32, 34 or 36).
struct Chosen {
    explicit Chosen(const std::string& chipName, const std::string& group)
    {
        box->insertChip(boxsim::makeChipModel(chipName));
        host.hexView = true;
        link.setPrompt(&host.script());
        EXPECT_TRUE(link.AttachTransport(std::make_unique<boxsim::SimTransport>(box), "SIM"));
        registerFamilies(families);
        dialog = std::make_unique<TypeSelection>(link, host, families);
        TypeSelection& selection = *dialog;
        selection.programDir = std::string(PONTVEX_SOURCE_DIR) + "/data/";
        host.idReader = [this] {
            dialog->ReadIdCode();
            return dialog->idField;
        };
        selection.chooseCategory(0);
        const int g = indexOf(selection.groupList, group);
        EXPECT_GE(g, 0) << group;
        selection.groupClicked(g);
        const int entry = indexOf(selection.chipList, chipName);
        EXPECT_GE(entry, 0) << chipName;
        selection.chipActivated(entry);
    }
    FamilyWindow& window() { return *dialog->currentWindow(); }

    std::shared_ptr<boxsim::Box> box = std::make_shared<boxsim::Box>();
    ProgrammerLink link;
    HeadlessHost host;
    FamilyRegistry families;
    // Made once the families are registered: the dialog keeps its own copy.
    std::unique_ptr<TypeSelection> dialog;
};

TEST(EpromStrict, IdReaderPowersTheChosenPackage)
{
    // 28- and 32-pin parts answer their signatures.
    for (const auto& [name, group, id] :
         {std::tuple{"AT27C256", "ATMEL", "1e,8c"}, std::tuple{"M27C512", "ST", "20,3d"},
          std::tuple{"AT27C010", "ATMEL", "1e,05"}}) {
        Chosen c(name, group);
        ASSERT_NE(c.dialog->currentWindow(), nullptr);
        ASSERT_TRUE(c.window().press("id"));
        EXPECT_EQ(c.window().idText(), id) << name;
        EXPECT_EQ(c.dialog->idField, id) << name;
        EXPECT_TRUE(c.box->vccRoutedPins().empty()) << name;
        EXPECT_TRUE(c.box->vppRoutedPins().empty()) << name;
        EXPECT_EQ(c.box->errorReport(), "") << name;
    }
    // A 24-pin part has no signature: powered on pin 32 with A9 high, it
    // answers the cells at 0x200 and 0x201 (A0 from pin 16).
    Chosen c("27C16", "27xxx");
    ASSERT_NE(c.dialog->currentWindow(), nullptr);
    std::vector<uint8_t> cells(0x800, 0xFF);
    cells[0x200] = 0x12;
    cells[0x201] = 0x34;
    ASSERT_TRUE(c.box->chip()->loadImage(cells));
    ASSERT_TRUE(c.window().press("id"));
    EXPECT_EQ(c.window().idText(), "12,34");
    EXPECT_EQ(c.box->errorReport(), "");
}

} // namespace
} // namespace pontvex::eprom_test

// The road of a user: the type dialog's choice, a HEX file into the buffer,
// Auto, then Read into a fresh buffer and save as HEX again.
#include "support/FamilyBench.h"

#include "boxsim/chips/Eprom27.h"
#include "families/memory/EpromWindow.h"

#include "catalogue/TypeSelection.h"
#include "files/DataFormats.h"

#include <algorithm>

namespace pontvex::eprom_test {
namespace {

int indexOf(const std::vector<std::string>& list, const std::string& entry)
{
    const auto it = std::find(list.begin(), list.end(), entry);
    return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

TEST(EpromRoad, ChooseAT27C256LoadHexAutoReadSaveHex)
{
    auto box = std::make_shared<boxsim::Box>();
    box->insertChip(boxsim::makeChipModel("AT27C256"));
    auto* chip = dynamic_cast<boxsim::Eprom27*>(box->chip());
    ProgrammerLink link;
    HeadlessHost host;
    host.hexView = true;
    link.setPrompt(&host.script());
    ASSERT_TRUE(link.AttachTransport(std::make_unique<boxsim::SimTransport>(box), "SIM"));

    FamilyRegistry families;
    registerFamilies(families);
    TypeSelection selection(link, host, families);
    selection.programDir = std::string(PONTVEX_SOURCE_DIR) + "/data/";
    host.idReader = [&] {
        selection.ReadIdCode();
        return selection.idField;
    };
    selection.chooseCategory(0);
    const int group = indexOf(selection.groupList, "ATMEL");
    ASSERT_GE(group, 0);
    selection.groupClicked(group);
    const int entry = indexOf(selection.chipList, "AT27C256");
    ASSERT_GE(entry, 0);
    selection.chipActivated(entry);

    FamilyWindow* window = selection.currentWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->className(), "TP27x");
    EXPECT_EQ(window->message(), "OK ");
    EXPECT_EQ(window->chipNameText(), "AT27C256");
    EXPECT_EQ(window->caption(), "0 to 7fff");
    EXPECT_EQ(host.endAddress(), 0x7FFF);
    EXPECT_EQ(selection.chip.ExpectedSignature, (std::array<uint8_t, 3>{0x1E, 0x8C, 0x00}));

    // A HEX file of the whole chip into the buffer.
    const auto image = randomBytes(0x8000, 31);
    std::string hexFile;
    WriteHexRecords(hexFile, image, 0x7FFF);
    DeviceBuffer& buffer = host.buffer();
    const auto loaded = ReadHexRecords(
        std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(hexFile.data()), hexFile.size()),
        imageOf(buffer));
    ASSERT_EQ(loaded.last, 0x7FFF);

    window->findAutoStep("verify")->checked = true;
    ASSERT_TRUE(window->press("auto"));
    EXPECT_EQ(window->message(), "Авто ОК!");
    EXPECT_EQ(host.successCount, 1);
    EXPECT_EQ(chip->image(), image);

    std::fill_n(buffer.data(), 0x8000, 0x00);
    ASSERT_TRUE(window->press("read"));
    EXPECT_EQ(window->message(), "Счт.ОК!");
    std::string saved;
    WriteHexRecords(saved, imageOf(buffer), host.endAddress());
    EXPECT_EQ(saved, hexFile);

    EXPECT_TRUE(box->vppRoutedPins().empty());
    EXPECT_TRUE(box->vccRoutedPins().empty());
    EXPECT_EQ(box->vppCode(), 0);
    EXPECT_EQ(box->errorReport(), "");
}

} // namespace
} // namespace pontvex::eprom_test

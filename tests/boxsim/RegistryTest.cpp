// The chip models the simulator offers: chosen by device-list row, listed,
// and the shapes their memories take.

#include "boxsim/chips/Registry.h"
#include "catalogue/DeviceList.h"
#include "support/FamilyBench.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>

namespace pontvex::boxsim {
namespace {

std::string modelFor(const std::string& key, int variant, const std::string& listName = {})
{
    const auto model = makeChipForRow(key, variant, listName);
    return model ? model->name() : "(none)";
}

TEST(ChipForRow, AMakersOwnPartByItsListNameElseTheRowsFirstModel)
{
    // Row 13 of the EPROM family holds the generic 27C256 and several makers' parts with their signatures.
    EXPECT_EQ(modelFor("P27", 13, "AT27C256"), "AT27C256");
    EXPECT_EQ(modelFor("P27", 13, "am27c256"), "AM27C256"); // list names are case-blind
    EXPECT_EQ(modelFor("P27", 13, "M27C256B"), "M27C256B");
    EXPECT_EQ(modelFor("P27", 13, "27C256"), "27C256");
    // A name no model has, or none at all: the row's first model, the generic part.
    EXPECT_EQ(modelFor("P27", 13, "XY27C256-90"), "27C256");
    EXPECT_EQ(modelFor("P27", 13), "27C256");
    EXPECT_EQ(modelFor("p27", 13), "27C256");
    // The name does not override the row: a 32 KiB part's name on the 64 KiB row.
    EXPECT_EQ(modelFor("P27", 14, "AT27C256"), "27C512");
    EXPECT_EQ(modelFor("P2051", 2, "AT89C2051"), "AT89C2051");
    // No model serves these rows.
    EXPECT_EQ(makeChipForRow("P27", 99), nullptr);
    EXPECT_EQ(makeChipForRow("P27", 0), nullptr);
    EXPECT_EQ(makeChipForRow("NOKEY", 1, "AT27C256"), nullptr);
    EXPECT_EQ(makeChipForRow("", 13), nullptr);
}

struct ListEntry {
    std::string name;
    ChipParams params;
};

std::vector<ListEntry> listEntries()
{
    const std::string list = PONTVEX_SOURCE_DIR "/data/devices.lst";
    std::vector<ListEntry> entries;
    for (const auto& category : kDeviceCategories) {
        std::ifstream groupsIn(list, std::ios::binary);
        std::set<std::string> seen;
        for (const auto& group : readGroups(groupsIn, category.tag)) {
            if (!seen.insert(group).second)
                continue;
            std::ifstream chipsIn(list, std::ios::binary);
            const ChipListing chips = readChips(chipsIn, category.tag, group);
            for (size_t i = 0; i < chips.names.size(); ++i)
                if (!chips.names[i].empty() && chips.names[i][0] != '-')
                    entries.push_back({chips.names[i], parseChipParams(chips.params[i])});
        }
    }
    return entries;
}

// What the socket holds for a list entry must hold the whole of its row, or a
// family's Read and Write would run off the end of the simulated chip.
TEST(ChipForRow, EveryListEntryHasAModelThatHoldsItsRow)
{
    const auto entries = listEntries();
    ASSERT_GT(entries.size(), 50u);
    FamilyRegistry families;
    registerFamilies(families);
    int sized = 0;
    for (const ListEntry& e : entries) {
        SCOPED_TRACE(e.name + " " + e.params.key + " " + std::to_string(e.params.variant));
        const auto model = makeChipForRow(e.params.key, e.params.variant, e.name);
        ASSERT_NE(model, nullptr) << "no chip model serves this row";
        if (!families.built(e.params.key)) {
            ASSERT_FALSE(model->memories().empty());
            continue; // the row's size is the family's to say
        }
        FamilyBench bench(e.params.key, e.params.variant, e.name, {.expectedSignature = e.params.signature});
        ASSERT_TRUE(bench.w().variantValid(e.params.variant));
        if (!bench.w().findButton(Role::Read) && !bench.w().findButton(Role::Write))
            continue; // a window that never reads or writes a chip (the logic tester) has no row size
        ASSERT_FALSE(model->memories().empty());
        const int64_t rowBytes = bench.host.endAddress() + 1;
        EXPECT_GT(rowBytes, 0);
        EXPECT_LE(rowBytes, static_cast<int64_t>(model->memories().front().byteSize()))
            << model->name() << " is smaller than the row";
        ++sized;
    }
    EXPECT_GT(sized, 0);
}

TEST(MemoryShape, FitsRejectsPartialWordsBitsAboveTheWordAndOverlongImages)
{
    const MemoryInfo config{"config", 14, 1, ""};
    EXPECT_EQ(config.wordBytes(), 2);
    EXPECT_EQ(config.byteSize(), 2u);
    const auto fits = [](const MemoryInfo& m, std::vector<uint8_t> bytes) { return fitsMemory(m, bytes); };
    EXPECT_TRUE(fits(config, {}));
    EXPECT_TRUE(fits(config, {0xFF, 0x3F}));
    EXPECT_FALSE(fits(config, {0xFF})) << "half a word";
    EXPECT_FALSE(fits(config, {0xFF, 0x40})) << "bit 14";
    EXPECT_FALSE(fits(config, {0x00, 0x80})) << "bit 15";
    EXPECT_FALSE(fits(config, {0xFF, 0x3F, 0xFF, 0x3F})) << "two words into one";

    const MemoryInfo code{"code", 14, 3, ""};
    EXPECT_TRUE(fits(code, {0xFF, 0x3F, 0x00, 0x00}));
    EXPECT_FALSE(fits(code, {0xFF, 0x3F, 0x00, 0x00, 0xFF})) << "a partial last word";
    EXPECT_FALSE(fits(code, {0xFF, 0x3F, 0x00, 0x00, 0x00, 0x40})) << "bits above in the last word";

    const MemoryInfo lock{"lock", 3, 1, ""};
    EXPECT_TRUE(fits(lock, {0x07}));
    EXPECT_FALSE(fits(lock, {0x08}));

    const MemoryInfo bytes{"array", 8, 4, ""};
    EXPECT_TRUE(fits(bytes, {0xFF, 0x00, 0x80, 0x7F}));
    EXPECT_FALSE(fits(bytes, {0, 0, 0, 0, 0}));

    const MemoryInfo wide{"rows", 20, 2, ""};
    EXPECT_EQ(wide.wordBytes(), 3);
    EXPECT_TRUE(fits(wide, {0xFF, 0xFF, 0x0F, 0x00, 0x00, 0x00}));
    EXPECT_FALSE(fits(wide, {0xFF, 0xFF, 0x1F}));
}

TEST(ChipListing, OneLinePerModelWithItsRowsAndMemories)
{
    const std::string listing = chipListing();
    std::istringstream lines(listing);
    std::vector<std::string> names;
    std::string line;
    while (std::getline(lines, line))
        names.push_back(line.substr(0, line.find('\t')));
    EXPECT_EQ(names, chipModelNames());
    EXPECT_EQ(names.size(), chipOffers().size());
    EXPECT_NE(listing.find("\nAT89C51\tP89C51 1\tcode=4096x8 lock=1x3\t"), std::string::npos) << listing;
    EXPECT_NE(listing.find("\nAT27C256\tP27 13\tarray="), std::string::npos) << listing;
    EXPECT_NE(listing.find("\nTEST40\t-\t-\t"), std::string::npos) << listing; // no rows, no memory
}

} // namespace
} // namespace pontvex::boxsim

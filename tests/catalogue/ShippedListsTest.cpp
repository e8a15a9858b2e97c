#include "catalogue/DeviceList.h"
#include "catalogue/Dispatch.h"
#include "catalogue/HeadlessHost.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>

namespace pontvex {
namespace {

// Every entry of every shipped list must name a key of the dispatch table and,
// where its family is built, a real row of that family's table.
TEST(ShippedLists, EveryEntryNamesAKnownKeyAndARealRow)
{
    const auto table = dispatchTable();
    ProgrammerLink link; // offline: building a window sends nothing
    HeadlessHost host;
    link.setPrompt(&host.script());
    std::map<std::string, std::unique_ptr<FamilyWindow>> windows;

    int entries = 0;
    // The three lists are written from data/devices.lst into the build tree;
    // what is checked is what ships.
    ASSERT_TRUE(std::filesystem::is_regular_file(std::string(PONTVEX_SOURCE_DIR) + "/data/devices.lst"));
    for (const char* name : {"devicea.lst", "device.lst", "devicec.lst"}) {
        const std::string path = std::string(PONTVEX_BINARY_DIR) + "/data/" + name;
        ASSERT_TRUE(std::filesystem::is_regular_file(path)) << "not written into the build tree: " << path;
        for (const auto& category : kDeviceCategories) {
            std::ifstream groupsIn(path, std::ios::binary);
            const auto groups = readGroups(groupsIn, category.tag);
            for (const auto& group : groups) {
                std::ifstream chipsIn(path, std::ios::binary);
                const ChipListing chips = readChips(chipsIn, category.tag, group);
                EXPECT_EQ(chips.overflowLine, 0) << name << " " << group;
                for (size_t i = 0; i < chips.names.size(); ++i) {
                    const std::string where =
                        std::string(name) + " " + category.tag + "-" + group + ": " + chips.names[i];
                    if (!chips.names[i].empty() && chips.names[i][0] == '-')
                        continue; // separator
                    const ChipParams params = parseChipParams(chips.params[i]);
                    ASSERT_TRUE(params.hasBlank) << where;
                    const auto row = std::find_if(table.begin(), table.end(),
                                                  [&](const DispatchRow& r) { return params.key == r.key; });
                    ASSERT_NE(row, table.end()) << where << " key " << params.key;
                    ++entries;
                    if (!row->factory)
                        continue; // family not built yet
                    auto& window = windows[row->windowClass];
                    if (!window)
                        window = row->factory(link, host);
                    window->FillVariantTable();
                    EXPECT_TRUE(window->variantValid(params.variant))
                        << where << " variant " << params.variant << " of " << row->windowClass;
                }
            }
        }
    }
    EXPECT_GT(entries, 0);
}

TEST(ShippedLists, DispatchTableHasTheSixtyOneKeysOnce)
{
    const auto table = dispatchTable();
    ASSERT_EQ(table.size(), 61u);
    EXPECT_STREQ(table.front().key, "ICTEST");
    EXPECT_STREQ(table.back().key, "PIC12F");
    std::map<std::string, int> seen;
    for (const auto& row : table)
        EXPECT_EQ(++seen[row.key], 1) << row.key;
    // Two keys share the RAM window.
    EXPECT_STREQ(table[37].windowClass, "TDsRAM");
    EXPECT_STREQ(table[38].windowClass, "TDsRAM");
}

} // namespace
} // namespace pontvex

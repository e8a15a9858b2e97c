#include "catalogue/DeviceList.h"
#include "Mcu51Bench.h"

#include <fstream>
#include <set>

namespace pontvex::mcu51_test {

// Every 8051 entry of the shipped lists opens a real row of its window, and a
// signature the list gives is the one the chip's model answers with.
TEST(Mcu51DeviceLists, EntriesNameRealRowsAndTheirSignatures)
{
    const std::set<std::string> keys{"P89C51",    "P2051",   "P97C2051", "SST895x",
                                     "AT89X8252", "AT89S5X", "P89C5WD"};
    for (const char* file : {"device.lst", "devicea.lst", "devicec.lst"}) {
        const std::string path = std::string(PONTVEX_BINARY_DIR) + "/data/" + file;
        std::ifstream groupsIn(path);
        ASSERT_TRUE(groupsIn) << path;
        int seen = 0;
        for (const std::string& group : readGroups(groupsIn, "#MPU")) {
            std::ifstream in(path);
            const ChipListing listing = readChips(in, "#MPU", group);
            for (size_t i = 0; i < listing.names.size(); ++i) {
                const ChipParams params = parseChipParams(listing.params[i]);
                if (!keys.count(params.key))
                    continue;
                SCOPED_TRACE(std::string(file) + ": " + listing.names[i]);
                ++seen;
                Bench bench(params.key, params.variant, listing.names[i], params.signature, false);
                EXPECT_TRUE(bench.w().variantValid(params.variant));
                // The row's name carries the chip's name.
                EXPECT_NE(bench.w().rowName(params.variant).find(listing.names[i].substr(2)),
                          std::string::npos)
                    << bench.w().rowName(params.variant);
                if (params.signature[0] == 0)
                    continue;
                auto model = boxsim::makeChipModel(listing.names[i]);
                ASSERT_TRUE(model);
                Bench seated(params.key, params.variant, listing.names[i], params.signature);
                seated.press("id");
                char expected[64];
                std::snprintf(expected, sizeof expected, "%02x,%02x,%02x", params.signature[0],
                              params.signature[1], params.signature[2]);
                EXPECT_NE(seated.w().message().find(expected), std::string::npos) << seated.w().message();
            }
        }
        EXPECT_EQ(seen, 33) << file;
    }
}

} // namespace pontvex::mcu51_test

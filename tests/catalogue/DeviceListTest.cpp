#include "catalogue/DeviceList.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>

namespace pontvex {
namespace {

std::vector<std::string> groupsOf(const std::string& text, const std::string& prefix = "#EPR")
{
    std::istringstream in(text);
    return readGroups(in, prefix);
}

ChipListing chipsOf(const std::string& text, const std::string& group, const std::string& prefix = "#EPR")
{
    std::istringstream in(text);
    return readChips(in, prefix, group);
}

TEST(DeviceListReader, LinesAreCutAt99CharactersAndCrLfIsOneBreak)
{
    std::istringstream in(std::string(120, 'a') + "\nb\r\nc");
    ListLineReader reader(in);
    std::string line;
    ASSERT_TRUE(reader.next(line));
    EXPECT_EQ(line, std::string(99, 'a'));
    ASSERT_TRUE(reader.next(line));
    EXPECT_EQ(line, std::string(21, 'a') + "\n");
    ASSERT_TRUE(reader.next(line));
    EXPECT_EQ(line, "b\n");
    ASSERT_TRUE(reader.next(line)); // no line break at the end of the file
    EXPECT_EQ(line, "c");
    EXPECT_FALSE(reader.next(line));
}

TEST(DeviceListReader, CleaningEndsTheLineAtControlOrHighBytesInTheFirst50)
{
    EXPECT_EQ(cleanListLine("AT27C256,P27 13\n"), "AT27C256,P27 13");
    EXPECT_EQ(cleanListLine("AB\tCD"), "AB");
    EXPECT_EQ(cleanListLine("27C256 Тест,P27 13\n"), "27C256 "); // Cyrillic cut
    EXPECT_EQ(cleanListLine("A\x7F"
                            "B"),
              "A\x7F"
              "B"); // 0x7F is not above 0x7F
    const std::string tail = std::string(50, 'x') + "Ж\tz\n";
    EXPECT_EQ(cleanListLine(tail), tail); // beyond byte 50 nothing is cleaned
    EXPECT_EQ(cleanListLine(std::string(60, 'x') + std::string(1, '\0') + "y"), std::string(60, 'x'));
}

TEST(DeviceListReader, GroupsFollowTheHeaderRules)
{
    const std::string list = "#EPROM-ATMEL\n"
                             "AT27C256,P27 13\n"
                             "#EPROM-\n"        // empty group name
                             "#EPROMNODASH\n"   // no "-": starts no group
                             "#EEPROM-ATMEL\n"  // another category
                             "#EPROM-ATMEL\n"   // duplicate
                             "#EPRX-Odd-Name\n" // only four characters compared; first "-" splits
                             "#eprom-lower\n"   // case-sensitive tag
                             "EPROM-NOHASH\n";  // not a header
    EXPECT_EQ(groupsOf(list), (std::vector<std::string>{"ATMEL", "", "ATMEL", "Odd-Name"}));
    EXPECT_EQ(groupsOf(list, "#EEP"), (std::vector<std::string>{"ATMEL"}));
    EXPECT_TRUE(groupsOf(list, "#TES").empty());
}

TEST(DeviceListReader, EntriesOfAGroup)
{
    const std::string list = "#EPROM-ATMEL\n"
                             "AT27C256 ,P27 13\n" // blank before the comma stays
                             "/ a comment\n"
                             "----------\n"
                             "\n" // empty entry
                             "NOCOMMA\n"
                             "27C512 Тест,P27 14\n"
                             "#EPROMNODASH\n" // ends the group all the same
                             "AFTER,P27 1\n"
                             "#EPROM-ATMEL\n" // duplicate: never reached
                             "SECOND,P27 2\n";
    const ChipListing chips = chipsOf(list, "ATMEL");
    EXPECT_EQ(chips.names, (std::vector<std::string>{"AT27C256 ", "----------", "", "NOCOMMA", "27C512 "}));
    EXPECT_EQ(chips.params, (std::vector<std::string>{"P27 13", "---", "---", "---", "---"}));
    EXPECT_EQ(chips.overflowLine, 0);
    EXPECT_TRUE(chipsOf(list, "atmel").names.empty()); // names are case-sensitive
    EXPECT_TRUE(chipsOf(list, "MISSING").names.empty());
    EXPECT_EQ(chipsOf("#EPROM-\nX,P27 1\n", "").names, (std::vector<std::string>{"X"}));
}

TEST(DeviceListReader, SixtyCharacterLineKeepsItsBreakButParsesAlike)
{
    // 60 characters, the comma at position 55: the break lies beyond the cleaned bytes.
    const std::string line = std::string(54, 'N') + ",P27 5";
    ASSERT_EQ(line.size(), 60u);
    const std::string list = "#EPROM-G\n" + line + "\n";
    const ChipListing chips = chipsOf(list, "G");
    ASSERT_EQ(chips.params.size(), 1u);
    EXPECT_EQ(chips.params[0], "P27 5\n");
    const ChipParams params = parseChipParams(chips.params[0]);
    EXPECT_EQ(params.key, "P27");
    EXPECT_EQ(params.variant, 5);
}

TEST(DeviceListReader, AGroupHoldsAtMost200Entries)
{
    std::string list = "#MPU-BIG\n";
    for (int i = 0; i < 300; ++i)
        list += "C" + std::to_string(i) + ",P89C51 1\n";
    const ChipListing chips = chipsOf(list, "BIG", "#MPU");
    EXPECT_EQ(chips.names.size(), 200u);
    EXPECT_EQ(chips.params.size(), 200u);
    EXPECT_EQ(chips.names.back(), "C199");
    EXPECT_EQ(chips.overflowLine, 202); // header is line 1
}

TEST(DeviceListReader, BinaryJunkIsReadWithoutHarm)
{
    std::mt19937 random(7);
    for (int round = 0; round < 50; ++round) {
        std::string junk;
        const size_t size = random() % 5000;
        for (size_t i = 0; i < size; ++i)
            junk.push_back(static_cast<char>(random() % 256));
        if (round % 2)
            junk = "#EPROM-J\n" + junk;
        std::istringstream in(junk);
        const auto groups = readGroups(in, "#EPR");
        for (const auto& group : groups) {
            const ChipListing chips = chipsOf(junk, group);
            EXPECT_LE(chips.names.size(), kGroupCapacity);
            EXPECT_EQ(chips.names.size(), chips.params.size());
            for (const auto& p : chips.params)
                parseChipParams(p);
        }
    }
}

TEST(ChipParams, KeyVariantAndSignature)
{
    ChipParams p = parseChipParams("P27 5");
    EXPECT_TRUE(p.hasBlank);
    EXPECT_EQ(p.key, "P27");
    EXPECT_EQ(p.variant, 5);
    EXPECT_EQ(p.signature, (std::array<uint8_t, 3>{0, 0, 0}));

    p = parseChipParams("P89C51 3 #1e,52,ff");
    EXPECT_EQ(p.key, "P89C51");
    EXPECT_EQ(p.variant, 3);
    EXPECT_EQ(p.signature, (std::array<uint8_t, 3>{0x1E, 0x52, 0xFF}));
    EXPECT_EQ(parseChipParams("P89C51 3 #1e 52 ff").signature, p.signature);
    EXPECT_EQ(parseChipParams("P89C51 3 #1E-52-FF\n").signature, p.signature);

    EXPECT_EQ(parseChipParams("P89C51   12abc").variant, 12); // leading blanks skipped
    EXPECT_EQ(parseChipParams("P89C51 x").variant, 0);
    EXPECT_EQ(parseChipParams("P89C51 #1e,5").signature, (std::array<uint8_t, 3>{0x1E, 0x05, 0}));
    EXPECT_EQ(parseChipParams("P89C51 99999999999").variant, 2147483647);
    EXPECT_FALSE(parseChipParams("---").hasBlank);
    EXPECT_FALSE(parseChipParams("").hasBlank);
    EXPECT_EQ(parseChipParams(" P27 1").key, ""); // a blank first names no key
}

} // namespace
} // namespace pontvex

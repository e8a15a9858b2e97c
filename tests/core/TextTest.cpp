#include "core/Text.h"

#include <gtest/gtest.h>

#include <climits>

using namespace pontvex;

namespace {

TEST(Format, FillsThePatternAtAnyLength)
{
    EXPECT_EQ(format("%6x:  %02x", 0x1234u, 7), "  1234:  07");
    EXPECT_EQ(format("plain"), "plain");
    EXPECT_EQ(format("%s", ""), "");
    // Longer than any fixed buffer the callers used to have.
    const std::string wide(1000, 'a');
    EXPECT_EQ(format("<%s|%d>", wide.c_str(), -1), "<" + wide + "|-1>");
}

// The hex view's fields and the fill dialog: the whole text, blanks and tabs
// around it, nothing else; too many digits read as the largest value.
TEST(ParseHex, SaturatingReadsTheWholeTextAndSaturates)
{
    const HexSyntax& s = hex::kSaturating;
    EXPECT_EQ(parseHex(" \t1aF\t ", s), 0x1AFu);
    EXPECT_EQ(parseHex("0", s), 0u);
    EXPECT_EQ(parseHex("ffffffffffffffff", s), UINT64_MAX);
    EXPECT_EQ(parseHex("0fffffffffffffff0", s), 0xFFFFFFFFFFFFFFF0u);
    EXPECT_EQ(parseHex("10000000000000000", s), UINT64_MAX);
    EXPECT_EQ(parseHex(std::string(40, '7'), s), UINT64_MAX);
    // Digits after saturation must still be digits.
    EXPECT_EQ(parseHex(std::string(20, 'f') + "g", s), std::nullopt);
    for (const char* bad : {"", " \t ", "1 2", "0x10", "1g", "-1", "+1", "\n5", "5\r"})
        EXPECT_EQ(parseHex(bad, s), std::nullopt) << '"' << bad << '"';
}

// The file format dialog's address fields: the whole text, at most 8 digits.
TEST(ParseHex, AddressTakesOneToEightDigits)
{
    const HexSyntax& s = hex::kAddress;
    EXPECT_EQ(parseHex("ffffffff", s), 0xFFFFFFFFu);
    EXPECT_EQ(parseHex(" 00001234\t", s), 0x1234u);
    EXPECT_EQ(parseHex("AbCdEf", s), 0xABCDEFu);
    // Nine digits are too many even when the value would fit.
    EXPECT_EQ(parseHex("000000001", s), std::nullopt);
    EXPECT_EQ(parseHex("123456789", s), std::nullopt);
    for (const char* bad : {"", "  ", "0x1", "12 34", "1h", "\n1"})
        EXPECT_EQ(parseHex(bad, s), std::nullopt) << '"' << bad << '"';
}

// A command-line address: an optional 0x, at most 8 digits behind it, and line
// breaks count as blanks.
TEST(ParseHex, PrefixedAddressTakesAnOptional0x)
{
    const HexSyntax& s = hex::kPrefixedAddress;
    EXPECT_EQ(parseHex("0x1F", s), 0x1Fu);
    EXPECT_EQ(parseHex("0X1f", s), 0x1Fu);
    EXPECT_EQ(parseHex("1f", s), 0x1Fu);
    EXPECT_EQ(parseHex(" 10\r\n", s), 0x10u);
    EXPECT_EQ(parseHex("0x12345678", s), 0x12345678u);
    EXPECT_EQ(parseHex("0", s), 0u);
    EXPECT_EQ(parseHex("00", s), 0u);
    EXPECT_EQ(parseHex("0x123456789", s), std::nullopt);
    EXPECT_EQ(parseHex("123456789", s), std::nullopt);
    for (const char* bad : {"", " \r\n", "0x", "0xg", "0x 5", "x5", "00x5", "0x0x5", "5 6"})
        EXPECT_EQ(parseHex(bad, s), std::nullopt) << '"' << bad << '"';
}

// A number typed into a family window, read as "%x" reads it.
TEST(ParseHex, ScanfStopsAtTheFirstOtherCharacter)
{
    const HexSyntax& s = hex::kScanf;
    EXPECT_EQ(parseHex("  12zz", s), 0x12u);
    EXPECT_EQ(parseHex("\n\v\f\r\t 7 8", s), 7u);
    EXPECT_EQ(parseHex("0x1f", s), 0x1Fu);
    EXPECT_EQ(parseHex("0X1F-", s), 0x1Fu);
    // A 0x without a digit behind it is the number 0 followed by other text.
    EXPECT_EQ(parseHex("0x", s), 0u);
    EXPECT_EQ(parseHex("0xg", s), 0u);
    // 32 bits at most, however many leading zeros.
    EXPECT_EQ(parseHex("ffffffff", s), 0xFFFFFFFFu);
    EXPECT_EQ(parseHex("00000000000ffffffff", s), 0xFFFFFFFFu);
    EXPECT_EQ(parseHex("100000000", s), std::nullopt);
    EXPECT_EQ(parseHex("ffffffff0 trailing", s), std::nullopt);
    for (const char* bad : {"", "   ", "-5", "+5", "zz", "x1"})
        EXPECT_EQ(parseHex(bad, s), std::nullopt) << '"' << bad << '"';
}

} // namespace

#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pontvex {

// printf into a std::string of any length; the compiler checks the arguments
// against the pattern.
std::string format(const char* pattern, ...) __attribute__((format(printf, 1, 2)));

// How a typed hexadecimal number is read. The program reads such numbers in
// several places that have grown different rules (which the tests pin); each
// rule set below names one of them.
struct HexSyntax {
    // Skipped before the digits, and after them when the whole text must be hex.
    std::string_view blanks = " \t";
    // An optional "0x" or "0X" before the digits (taken only when a hex digit follows).
    bool prefix = false;
    // True: every character between the blanks must be a hex digit. False: the
    // digits end at the first other character, whatever follows (like "%x").
    bool wholeText = true;
    // More digits than this (0: no limit) is not a number.
    int maxDigits = 0;
    // A value above this is not a number, unless saturate: then it is maxValue.
    uint64_t maxValue = UINT64_MAX;
    bool saturate = false;
};

namespace hex {
// The hex view's fields: the whole text, any length, too large reads as the largest.
inline constexpr HexSyntax kSaturating{.saturate = true};
// An address field of the file format dialog: the whole text, at most 8 digits.
inline constexpr HexSyntax kAddress{.maxDigits = 8};
// A command-line address: optional 0x, at most 8 digits, line breaks are blanks too.
inline constexpr HexSyntax kPrefixedAddress{.blanks = " \t\r\n", .prefix = true, .maxDigits = 8};
// A number typed into a family window, read the way "%x" reads it: leading white
// space, optional 0x, the digits up to the first other character, 32 bits at most.
inline constexpr HexSyntax kScanf{
    .blanks = " \t\n\v\f\r", .prefix = true, .wholeText = false, .maxValue = 0xFFFFFFFFu};
} // namespace hex

// Equal but for the case of ASCII letters (names typed by users, file names on
// case-blind systems).
bool equalsIgnoreCase(std::string_view a, std::string_view b);

// The number text holds under syntax, or nothing when it holds none (no digits,
// another character, too many digits, too large).
std::optional<uint64_t> parseHex(std::string_view text, const HexSyntax& syntax);

} // namespace pontvex

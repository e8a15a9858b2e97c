#pragma once

// The configuration options of the 16C8x-style windows, their configuration
// word and the eight-character settings record kept beside the data file.
// Pure functions without the link or the window, so the record reader can be
// fuzzed on its own.

#include <cstdint>
#include <string>
#include <string_view>

namespace pontvex::pic {

struct ConfigOptions {
    bool protect = false; // "Sec": code protection on
    bool watchdog = true;
    bool powerUpTimer = false;
    int oscillator = 1; // LP, XT, HS, RC = 0..3
};

inline constexpr int kDefaultOscillator = 1;

// Bits 1..0 oscillator, 2 WDT, 3 PWRT, 4 set while protection is off;
// bits 13..5 stay 0.
constexpr uint16_t configWord(const ConfigOptions& o)
{
    const int osc = o.oscillator >= 0 && o.oscillator <= 3 ? o.oscillator : kDefaultOscillator;
    return static_cast<uint16_t>(osc | (o.watchdog ? 0x04 : 0) | (o.powerUpTimer ? 0x08 : 0) |
                                 (o.protect ? 0 : 0x10));
}

// The options a configuration word read from a chip shows.
constexpr ConfigOptions optionsOf(uint16_t word)
{
    ConfigOptions o;
    o.oscillator = word & 3;
    o.protect = (word & 0x10) == 0;
    o.watchdog = (word & 0x04) != 0;
    o.powerUpTimer = (word & 0x08) != 0;
    return o;
}

// The ID digits as the chip keeps them: location k holds digit k (from the
// top) in bits 3..0 and the digit above it in bits 7..4.
constexpr uint16_t idLocation(uint16_t id, int k)
{
    return static_cast<uint16_t>((id >> (12 - 4 * k)) & 0xFF);
}

// The ID from the four locations read back: their low nibbles only.
constexpr uint16_t idFromLocations(uint16_t w0, uint16_t w1, uint16_t w2, uint16_t w3)
{
    return static_cast<uint16_t>((w0 & 15) << 12 | (w1 & 15) << 8 | (w2 & 15) << 4 | (w3 & 15));
}

// Sec, WDT, PWRT as "0"/"1", the oscillator digit, then the first four
// characters of the ID text; a shorter ID text is padded with "0" in front so
// the record always has its eight characters and reads back as the same ID.
inline std::string settingsRecord(const ConfigOptions& o, std::string_view idText)
{
    std::string id(idText.substr(0, 4));
    id.insert(0, 4 - id.size(), '0');
    std::string record;
    record += o.protect ? '1' : '0';
    record += o.watchdog ? '1' : '0';
    record += o.powerUpTimer ? '1' : '0';
    const int osc = o.oscillator >= 0 && o.oscillator <= 3 ? o.oscillator : kDefaultOscillator;
    record += static_cast<char>('0' + osc);
    return record + id;
}

// Reads the first four characters of a record over the options: the three
// flags are on for any character other than "0", the oscillator only for
// "0".."3" (any other character leaves it at the default). A record shorter
// than four characters sets what it holds; the ID characters are not read.
inline ConfigOptions readSettingsRecord(std::string_view record, ConfigOptions o = {})
{
    if (record.size() > 0)
        o.protect = record[0] != '0';
    if (record.size() > 1)
        o.watchdog = record[1] != '0';
    if (record.size() > 2)
        o.powerUpTimer = record[2] != '0';
    if (record.size() > 3)
        o.oscillator = record[3] >= '0' && record[3] <= '3' ? record[3] - '0' : kDefaultOscillator;
    return o;
}

} // namespace pontvex::pic

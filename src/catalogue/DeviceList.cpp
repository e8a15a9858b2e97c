#include "catalogue/DeviceList.h"

#include <algorithm>
#include <cctype>
#include <climits>

namespace pontvex {

const std::array<DeviceCategory, 7> kDeviceCategories{{
    {"EPROM", "#EPROM", "#EPR"},
    {"FLASH/EEPROM", "#EEPROM", "#EEP"},
    {"MPU       ", "#MPU", "#MPU"},
    {"SERIAL EEPROM", "#Serial", "#Ser"},
    {"GAL", "#PLD", "#PLD"},
    {"TEST RAM", "#RAM(Test)", "#RAM"},
    {"TEST TTL/COMS", "#TEST(IC)", "#TES"},
}};

bool ListLineReader::next(std::string& line)
{
    line.clear();
    std::istream::int_type c;
    while (line.size() < kListLineLimit && (c = in_.get()) != std::istream::traits_type::eof()) {
        if (c == '\r' && in_.peek() == '\n')
            continue; // text mode: CR LF is one line break
        line.push_back(static_cast<char>(c));
        if (c == '\n')
            break;
    }
    return !line.empty();
}

std::string cleanListLine(const std::string& raw)
{
    size_t end = raw.size();
    for (size_t i = 0; i < raw.size(); ++i) {
        const auto b = static_cast<unsigned char>(raw[i]);
        if (b == 0 || (i < kListCleanLength && (b < 0x20 || b > 0x7F))) {
            end = i;
            break;
        }
    }
    return raw.substr(0, end);
}

namespace {

bool sameTag(const std::string& line, const std::string& prefix)
{
    return line.substr(0, 4) == prefix.substr(0, 4);
}

// The group a header line starts in this category, if it starts one.
bool headerGroup(const std::string& raw, const std::string& prefix, std::string& group)
{
    if (raw.empty() || raw[0] != '#')
        return false;
    const std::string line = cleanListLine(raw);
    if (!sameTag(line, prefix))
        return false;
    const size_t dash = line.find('-');
    if (dash == std::string::npos)
        return false;
    group = line.substr(dash + 1);
    return true;
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

} // namespace

std::vector<std::string> readGroups(std::istream& in, const std::string& sectionPrefix)
{
    std::vector<std::string> groups;
    ListLineReader reader(in);
    std::string raw, group;
    while (reader.next(raw))
        if (headerGroup(raw, sectionPrefix, group))
            groups.push_back(group);
    return groups;
}

ChipListing readChips(std::istream& in, const std::string& sectionPrefix, const std::string& groupName)
{
    ChipListing listing;
    ListLineReader reader(in);
    std::string raw, group;
    int lineNumber = 0;
    bool found = false;
    while (!found && reader.next(raw)) {
        ++lineNumber;
        found = headerGroup(raw, sectionPrefix, group) && group == groupName;
    }
    if (!found)
        return listing;
    while (reader.next(raw)) {
        ++lineNumber;
        if (raw[0] == '#')
            break;
        if (raw[0] == '/')
            continue;
        if (listing.names.size() >= kGroupCapacity) {
            // The parameter list has room for 200; the rest is left out, and said so.
            if (listing.overflowLine == 0)
                listing.overflowLine = lineNumber;
            continue;
        }
        const std::string line = cleanListLine(raw);
        const size_t comma = line.find(',');
        if (comma == std::string::npos) {
            listing.names.push_back(line);
            listing.params.push_back("---");
        } else {
            listing.names.push_back(line.substr(0, comma));
            listing.params.push_back(line.substr(comma + 1));
        }
    }
    return listing;
}

ChipParams parseChipParams(const std::string& params)
{
    ChipParams result;
    const size_t blank = params.find(' ');
    if (blank == std::string::npos)
        return result;
    result.hasBlank = true;
    result.key = params.substr(0, blank);
    const std::string rest = params.substr(blank + 1);

    // Decimal as atoi reads it: blanks, a sign, digits up to the first other character.
    size_t i = 0;
    while (i < rest.size() && std::isspace(static_cast<unsigned char>(rest[i])))
        ++i;
    bool negative = false;
    if (i < rest.size() && (rest[i] == '-' || rest[i] == '+'))
        negative = rest[i++] == '-';
    long long value = 0;
    for (; i < rest.size() && std::isdigit(static_cast<unsigned char>(rest[i])); ++i)
        value = std::min<long long>(value * 10 + (rest[i] - '0'), INT_MAX);
    result.variant = static_cast<int>(negative ? -value : value);

    const size_t hash = rest.find('#');
    if (hash != std::string::npos) {
        const std::string field = rest.substr(hash + 1, 9);
        for (size_t n = 0; n < 3; ++n) {
            int byte = 0;
            for (size_t k = n * 3; k < n * 3 + 2 && k < field.size(); ++k) {
                const int digit = hexDigit(field[k]);
                if (digit < 0)
                    break;
                byte = byte * 16 + digit;
            }
            result.signature[n] = static_cast<uint8_t>(byte);
        }
    }
    return result;
}

} // namespace pontvex

#pragma once

#include <array>
#include <cstdint>
#include <istream>
#include <string>
#include <vector>

namespace pontvex {

// The seven categories of the type dialog: radio item and the four-character
// tag their headers start with.
struct DeviceCategory {
    const char* item;
    const char* headerWord;
    const char* tag;
};
extern const std::array<DeviceCategory, 7> kDeviceCategories;

inline constexpr size_t kListLineLimit = 99;   // characters read per line
inline constexpr size_t kListCleanLength = 50; // bytes checked for control and high characters
inline constexpr size_t kGroupCapacity = 200;  // entries of one group

// Reads a device list the way the list format expects: lines of at most 99
// characters (a longer line comes out as two), each with its line break, as a
// text-mode read gives them (CR LF counts as one line break).
class ListLineReader {
public:
    explicit ListLineReader(std::istream& in) : in_(in) {}
    // False at the end of the file.
    bool next(std::string& line);

private:
    std::istream& in_;
};

// A line as it is used: each of its first 50 bytes below 0x20 or above 0x7F
// ends it, and so does any NUL further on. Bytes beyond the first 50 stay.
std::string cleanListLine(const std::string& raw);

// Group names of one category, in file order (duplicates kept).
std::vector<std::string> readGroups(std::istream& in, const std::string& sectionPrefix);

struct ChipListing {
    std::vector<std::string> names;  // display texts
    std::vector<std::string> params; // parameter texts, same index ("---" without a comma)
    // Line number of the first entry left out because the group was full; 0 when none.
    int overflowLine = 0;
};

// The entries of the first group of the category with exactly this name.
ChipListing readChips(std::istream& in, const std::string& sectionPrefix, const std::string& groupName);

// The parameter text of a chip entry, taken apart.
struct ChipParams {
    bool hasBlank = false; // without a blank there is no variant and the entry cannot be chosen
    std::string key;
    int variant = 0;
    std::array<uint8_t, 3> signature{0, 0, 0};
};
ChipParams parseChipParams(const std::string& params);

} // namespace pontvex

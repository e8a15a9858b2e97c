#pragma once

#include "core/UserPrompt.h"

#include <string>

namespace pontvex {

// The user's last choices, kept in pontvex.CFG between runs (one line each, in
// this order after the caption line).
struct SavedChoice {
    int categoryIndex = 0;     // type dialog category, 0..6
    std::string AlgorithmKey;  //
    std::string TypeTitle;     // group name, ": ", chip name
    std::string FileName;      // current data file
    int VariantIndex = 0;      //
    std::string GroupName;     //
    std::string SectionPrefix; // section tag of the category, e.g. "#EPR"
    int GroupIndex = 0;        //
    int ChipIndex = 0;         //
    std::string ChipName;      //

    bool operator==(const SavedChoice&) const = default;
};

inline constexpr const char* kConfigFileName = "pontvex.CFG";
inline constexpr size_t kConfigLineLimit = 99;
inline constexpr size_t kSectionPrefixLimit = 20;
inline constexpr int kCategoryCount = 7;

enum class ConfigLoad {
    NoFile,       // nothing read, fields unchanged
    Loaded,       // all ten fields taken from the file
    OtherVersion, // caption mark differs: "第一次运行新版本" shown, fields unchanged
    Damaged,      // truncated, binary or out of range: message shown, fields unchanged
};

// Reads path into choice. Only a file that is whole and sane changes choice,
// so a damaged file leaves the defaults the caller set.
ConfigLoad LoadConfig(const std::string& path, const std::string& caption, SavedChoice& choice,
                      UserPrompt& prompt);

// Writes the eleven lines (CR LF) through a temporary file renamed over the
// old one. On failure the user is told which file could not be written and
// the old file stays as it was.
bool SaveConfig(const std::string& path, const std::string& caption, const SavedChoice& choice,
                UserPrompt& prompt);

// The message for a damaged configuration file, naming its line.
std::string damagedConfigMessage(const std::string& path, int line);

} // namespace pontvex

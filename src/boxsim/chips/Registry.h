#pragma once

#include "boxsim/ChipModel.h"

#include <memory>
#include <string>
#include <vector>

namespace pontvex::boxsim {

// Chip models by name, for --chip, the program's simulated socket and tests.
// Names compare without regard to case. Null for an unknown name.
std::unique_ptr<ChipModel> makeChipModel(const std::string& name);
std::vector<std::string> chipModelNames();
bool sameChipName(const std::string& a, const std::string& b);

// What each chip file provides: a maker that answers the names it knows
// (null otherwise) and the list of those names. Registry.cpp lists them.
struct ChipFamilyEntry {
    std::unique_ptr<ChipModel> (*make)(const std::string& name);
    std::vector<std::string> (*names)();
};

} // namespace pontvex::boxsim

#pragma once

#include "boxsim/ChipModel.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace pontvex::boxsim {

// A device-list row: the algorithm key and the variant number after it.
struct ChipRow {
    std::string key;
    int variant = 0;
};

// One chip model the simulator can put in the socket.
struct ChipOffer {
    std::string name;          // what --socket-chip takes and --list-chips shows
    std::vector<ChipRow> rows; // device-list rows this chip is listed under
    std::string description;   // one line for --list-chips
    std::function<std::unique_ptr<ChipModel>()> make;
};

// Every model, in the order of the chip files (Registry.cpp lists them).
const std::vector<ChipOffer>& chipOffers();

// By model name, case-blind; null for an unknown name.
std::unique_ptr<ChipModel> makeChipModel(const std::string& name);
// The model of a device-list row: of the models listed under that key and
// variant, the one of the entry's name (a maker's own part with its
// signature), else the row's first. Null when no model serves the row.
std::unique_ptr<ChipModel> makeChipForRow(const std::string& key, int variant,
                                          const std::string& listName = {});
std::vector<std::string> chipModelNames();
bool sameChipName(const std::string& a, const std::string& b);

// One line per model for --list-chips: name, rows, memories, description.
std::string chipListing();

} // namespace pontvex::boxsim

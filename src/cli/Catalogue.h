#pragma once

#include "catalogue/DeviceList.h"
#include "catalogue/FamilyWindow.h"
#include "catalogue/TypeSelection.h"

#include <string>
#include <vector>

namespace pontvex::cli {

// One chip entry of the device list with where it sits.
struct CatalogueEntry {
    int category = 0;
    std::string group;
    std::string name;   // display text
    std::string params; // parameter text
    ChipParams parsed;
};

// Category index 0..6 from a number, the radio item, the header word or its tag
// (case-insensitive, blanks ignored); throws a usage CliError.
int parseCategory(const std::string& text);
std::string categoryName(int index);

// Every choosable entry of the list the type selection opens (separators,
// empty lines and entries without parameters left out), narrowed by category
// and group when given. Throws a file CliError when there is no list.
std::vector<CatalogueEntry> readCatalogue(TypeSelection& selection, int category, const std::string& group);

// The entry --chip names: exact, then case-insensitive, then a unique
// case-insensitive part of a name. Candidates that all mean the same
// algorithm, variant and signature count as one (a part of a name says on
// standard error which chip it took). Throws a usage CliError that lists the
// candidates otherwise.
const CatalogueEntry& findChip(const std::vector<CatalogueEntry>& entries, const std::string& name);

} // namespace pontvex::cli

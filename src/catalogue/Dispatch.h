#pragma once

#include "catalogue/FamilyWindow.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace pontvex {

using FamilyFactory = std::function<std::unique_ptr<FamilyWindow>(ProgrammerLink&, FamilyHost&)>;

// One row of the dispatch table: key, window class, and the factory once the
// family is built (empty until then: such a key opens nothing).
struct DispatchRow {
    const char* key;
    const char* windowClass;
    FamilyFactory factory;
};

// Fills in the factories of every family that is built. Defined in families/.
void registerBuiltFamilies(std::vector<DispatchRow>& table);

// The 61 rows in their order, with the factories of the built families filled in.
std::vector<DispatchRow> dispatchTable();

} // namespace pontvex

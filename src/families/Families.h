#pragma once

#include "catalogue/FamilyRegistry.h"

namespace pontvex {

// Every family built into the program. The GUI, the CLI and the tests call
// this once and hand the registry to their type selection.
void registerFamilies(FamilyRegistry& registry);

// One per family folder, each in the folder's Register.cpp.
void registerMemoryFamilies(FamilyRegistry& registry);
void registerMcu51Families(FamilyRegistry& registry);
void registerRamTestFamilies(FamilyRegistry& registry);
void registerPicFamilies(FamilyRegistry& registry);
void registerSerialEepromFamilies(FamilyRegistry& registry);
void registerFlashFamilies(FamilyRegistry& registry);
void registerIcTestFamilies(FamilyRegistry& registry);
void registerGalFamilies(FamilyRegistry& registry);

} // namespace pontvex

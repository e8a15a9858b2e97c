#include "families/Families.h"
#include "families/ramtest/TDsRAM.h"

namespace pontvex {

void registerRamTestFamilies(FamilyRegistry& registry)
{
    registry.add<TDsRAM>("DSRAM", "TDsRAM");
    registry.add<TDsRAM>("TESTRAM", "TDsRAM");
}

} // namespace pontvex

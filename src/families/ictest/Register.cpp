#include "families/Families.h"
#include "families/ictest/TICTestx.h"

namespace pontvex {

void registerIcTestFamilies(FamilyRegistry& registry)
{
    registry.add<TICTestx>("ICTEST", "TICTestx");
}

} // namespace pontvex

#include "families/Families.h"

namespace pontvex {

void registerFamilies(FamilyRegistry& registry)
{
    registerMemoryFamilies(registry);
    registerMcu51Families(registry);
    registerIcTestFamilies(registry);
}

} // namespace pontvex

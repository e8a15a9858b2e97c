#include "families/Families.h"

namespace pontvex {

void registerFamilies(FamilyRegistry& registry)
{
    registerMemoryFamilies(registry);
    registerMcu51Families(registry);
    registerRamTestFamilies(registry);
    registerPicFamilies(registry);
    registerGalFamilies(registry);
}

} // namespace pontvex

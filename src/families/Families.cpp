#include "families/Families.h"

namespace pontvex {

void registerFamilies(FamilyRegistry& registry)
{
    registerMemoryFamilies(registry);
    registerMcu51Families(registry);
    registerRamTestFamilies(registry);
    registerPicFamilies(registry);
    registerSerialEepromFamilies(registry);
    registerFlashFamilies(registry);
    registerIcTestFamilies(registry);
    registerGalFamilies(registry);
}

} // namespace pontvex

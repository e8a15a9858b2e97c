#include "families/Families.h"

namespace pontvex {

void registerFamilies(FamilyRegistry& registry)
{
    registerMemoryFamilies(registry);
    registerMcu51Families(registry);
    registerFlashFamilies(registry);
}

} // namespace pontvex

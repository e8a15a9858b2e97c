#include "families/Families.h"
#include "families/pic/TP16c8x.h"

namespace pontvex {

void registerPicFamilies(FamilyRegistry& registry)
{
    registry.add<TP16c8x>("P16C84", "TP16c8x");
}

} // namespace pontvex

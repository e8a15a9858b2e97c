#include "families/Families.h"
#include "families/gal/TGALx.h"

namespace pontvex {

void registerGalFamilies(FamilyRegistry& registry)
{
    registry.add<TGALx>("GAL3M", "TGALx");
}

} // namespace pontvex

#include "families/Families.h"
#include "families/memory/TP27sfx.h"
#include "families/memory/TP27x.h"
#include "families/memory/TPW27x.h"

namespace pontvex {

void registerMemoryFamilies(FamilyRegistry& registry)
{
    registry.add<TP27x>("P27", "TP27x");
    registry.add<TPW27x>("PW27", "TPW27x");
    registry.add<TP27sfx>("SST27SF", "TP27sfx");
}

} // namespace pontvex

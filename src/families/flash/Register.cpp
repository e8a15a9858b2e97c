#include "families/Families.h"
#include "families/flash/Flash28Windows.h"
#include "families/flash/Flash29Windows.h"

namespace pontvex {

void registerFlashFamilies(FamilyRegistry& registry)
{
    registry.add<TP29fxxx>("P29F", "TP29fxxx");
    registry.add<TMx29fxxx1>("MX29F", "TMx29fxxx1");
    registry.add<TAt49fx>("AT49F", "TAt49fx");
    registry.add<TPi28f001x>("PI28F001", "TPi28f001x");
    registry.add<TPi28fxxx>("PI28F", "TPi28fxxx");
}

} // namespace pontvex

#include "families/Families.h"
#include "families/serialeeprom/Microwire93Window.h"
#include "families/serialeeprom/TP24c0x.h"

namespace pontvex {

void registerSerialEepromFamilies(FamilyRegistry& registry)
{
    registry.add<TP24c0x>("P24", "TP24c0x");
    registry.add<TP93cxx>("P93", "TP93cxx");
    registry.add<TP93x16>("P93X16", "TP93x16");
}

} // namespace pontvex

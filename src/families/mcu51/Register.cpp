#include "families/Families.h"
#include "families/mcu51/TAt89c5xwd.h"
#include "families/mcu51/TAt89s5x1.h"
#include "families/mcu51/TP2051x.h"
#include "families/mcu51/TP89c5x.h"
#include "families/mcu51/TP89x8252.h"
#include "families/mcu51/TP97c205x.h"
#include "families/mcu51/TSST89c5x.h"

namespace pontvex {

void registerMcu51Families(FamilyRegistry& registry)
{
    registry.add<TP89c5x>("P89C51", "TP89c5x");
    registry.add<TP2051x>("P2051", "TP2051x");
    registry.add<TP97c205x>("P97C2051", "TP97c205x");
    registry.add<TSST89c5x>("SST895x", "TSST89c5x");
    registry.add<TP89x8252>("AT89X8252", "TP89x8252");
    registry.add<TAt89s5x1>("AT89S5X", "TAt89s5x1");
    registry.add<TAt89c5xwd>("P89C5WD", "TAt89c5xwd");
}

} // namespace pontvex

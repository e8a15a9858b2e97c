#include "catalogue/FamilyRegistry.h"

#include <utility>

namespace pontvex {

const std::vector<DispatchRow>& dispatchTable()
{
    // Keys are whole words, compared exactly and in this order.
    static const std::vector<DispatchRow> table{
        {"ICTEST", "TICTestx"},
        {"P29", "TP29e"},
        {"AT49F", "TAt49fx"},
        {"P89C51", "TP89c5x"},
        {"P2051", "TP2051x"},
        {"AT90S", "TAT90sx"},
        {"W7851", "TPW785x"},
        {"P97C2051", "TP97c205x"},
        {"PW27", "TPW27x"},
        {"PI28F001", "TPi28f001x"},
        {"P27", "TP27x"},
        {"PI28F", "TPi28fxxx"},
        {"P29F", "TP29fxxx"},
        {"MX29F", "TMx29fxxx1"},
        {"P24", "TP24c0x"},
        {"AT29CX", "TP29cx"},
        {"AT29C256", "TP29c256"},
        {"AT28CX", "TP28cx"},
        {"P2816", "TP2816x"},
        {"P22V10", "TP22V10x"},
        {"GAL3M", "TGALx"},
        {"PHI89C51", "TPhi89c5x"},
        {"P16C84", "TP16c8x"},
        {"P16C54", "TP16c54x"},
        {"P16C57", "TP16c57x"},
        {"P16C61", "TP16c6x"},
        {"P93", "TP93cxx"},
        {"P93X16", "TP93x16"},
        {"MDT2000", "TMdt20xx"},
        {"MDT2051", "TMdt2051x"},
        {"EMC78P", "TEm78px"},
        {"PHI87LP", "TPhi87lpx"},
        {"SST895x", "TSST89c5x"},
        {"P12C508", "TP12c508x"},
        {"EMC78P156E", "TEm78p156"},
        {"EMC78P447", "TEm78p447"},
        {"PHI8758", "TPhi875x"},
        {"DSRAM", "TDsRAM"},
        {"TESTRAM", "TDsRAM"},
        {"MSU2958", "TMsu2958x"},
        {"PSM2952", "TSm2952"},
        {"MSU2964", "TMsu2964x"},
        {"AT90S8515", "TAt90s8515x"},
        {"AT90S2333", "TAt90s2333x"},
        {"AT90S2343", "TAt90s2343x"},
        {"W78E516", "TW78e516x"},
        {"AMI22CV10", "TAmi22cv10x"},
        {"PALCEGAL", "TPalceGALx"},
        {"X28C", "TX28cx1"},
        {"AT89X8252", "TP89x8252"},
        {"P16F87X", "TP16f87x"},
        {"SST29EE", "TSst29eex"},
        {"SST27SF", "TP27sfx"},
        {"PHI89RX2", "TPhi89c51rx2"},
        {"PHI89NEW", "TPhi89new"},
        {"PHI87591", "TPhi87c591x"},
        {"V87C58", "TV87c58x"},
        {"P16F7X", "TP16f7x1"},
        {"AT89S5X", "TAt89s5x1"},
        {"P89C5WD", "TAt89c5xwd"},
        {"PIC12F", "TP12fxxx"},
    };
    return table;
}

const DispatchRow* dispatchRow(std::string_view key)
{
    for (const DispatchRow& row : dispatchTable())
        if (key == row.key)
            return &row;
    return nullptr;
}

void FamilyRegistry::add(std::string_view key, std::string_view windowClass, FamilyFactory factory)
{
    const DispatchRow* row = dispatchRow(key);
    if (!row)
        throw RegistrationError("family key '" + std::string(key) + "' is not in the dispatch table");
    if (windowClass != row->windowClass)
        throw RegistrationError("family key '" + std::string(key) + "' opens " + row->windowClass + ", not " +
                                std::string(windowClass));
    if (find(key))
        throw RegistrationError("family key '" + std::string(key) + "' registered twice");
    if (!factory)
        throw RegistrationError("family key '" + std::string(key) + "' registered without a factory");
    families_.push_back({row, std::move(factory)});
}

bool FamilyRegistry::replace(std::string_view key, FamilyFactory factory)
{
    const DispatchRow* row = dispatchRow(key);
    if (!row)
        return false;
    if (Family* family = find(key))
        family->factory = std::move(factory);
    else
        families_.push_back({row, std::move(factory)});
    return true;
}

const FamilyFactory* FamilyRegistry::factory(std::string_view key) const
{
    const Family* family = find(key);
    return family && family->factory ? &family->factory : nullptr;
}

FamilyRegistry::Family* FamilyRegistry::find(std::string_view key)
{
    for (Family& family : families_)
        if (key == family.row->key)
            return &family;
    return nullptr;
}

const FamilyRegistry::Family* FamilyRegistry::find(std::string_view key) const
{
    for (const Family& family : families_)
        if (key == family.row->key)
            return &family;
    return nullptr;
}

} // namespace pontvex

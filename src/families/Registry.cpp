#include "catalogue/Dispatch.h"
#include "families/mcu51/TAt89c5xwd.h"
#include "families/mcu51/TAt89s5x1.h"
#include "families/mcu51/TP2051x.h"
#include "families/mcu51/TP89c5x.h"
#include "families/mcu51/TP89x8252.h"
#include "families/mcu51/TP97c205x.h"
#include "families/mcu51/TSST89c5x.h"
#include "families/memory/TP27sfx.h"
#include "families/memory/TP27x.h"
#include "families/memory/TPW27x.h"

#include <cstring>

namespace pontvex {

namespace {
// Each built family adds one line to this list: key and a factory.
struct BuiltFamily {
    const char* key;
    FamilyFactory factory;
};

std::vector<BuiltFamily> builtFamilies()
{
    return {
        // {"P27", [](ProgrammerLink& l, FamilyHost& h) { return std::make_unique<TP27x>(l, h); }},
        {"P27", [](ProgrammerLink& l, FamilyHost& h) { return std::make_unique<TP27x>(l, h); }},
        {"PW27", [](ProgrammerLink& l, FamilyHost& h) { return std::make_unique<TPW27x>(l, h); }},
        {"SST27SF", [](ProgrammerLink& l, FamilyHost& h) { return std::make_unique<TP27sfx>(l, h); }},
        {"P89C51", [](ProgrammerLink& l, FamilyHost& h) { return std::make_unique<TP89c5x>(l, h); }},
        {"P2051", [](ProgrammerLink& l, FamilyHost& h) { return std::make_unique<TP2051x>(l, h); }},
        {"P97C2051", [](ProgrammerLink& l, FamilyHost& h) { return std::make_unique<TP97c205x>(l, h); }},
        {"SST895x", [](ProgrammerLink& l, FamilyHost& h) { return std::make_unique<TSST89c5x>(l, h); }},
        {"AT89X8252", [](ProgrammerLink& l, FamilyHost& h) { return std::make_unique<TP89x8252>(l, h); }},
        {"AT89S5X", [](ProgrammerLink& l, FamilyHost& h) { return std::make_unique<TAt89s5x1>(l, h); }},
        {"P89C5WD", [](ProgrammerLink& l, FamilyHost& h) { return std::make_unique<TAt89c5xwd>(l, h); }},
    };
}
} // namespace

void registerBuiltFamilies(std::vector<DispatchRow>& table)
{
    for (auto& family : builtFamilies())
        for (auto& row : table)
            if (std::strcmp(row.key, family.key) == 0)
                row.factory = family.factory;
}

} // namespace pontvex

#include "catalogue/Dispatch.h"
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

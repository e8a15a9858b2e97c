#include "boxsim/chips/Registry.h"

#include "core/Text.h"

#include <algorithm>
#include <cctype>

namespace pontvex::boxsim {

// Each chip file defines one maker and one name list; declare them here and
// add one line to the table below.
std::unique_ptr<ChipModel> makeTestChip(const std::string& name);
std::vector<std::string> testChipNames();
std::unique_ptr<ChipModel> makeEprom27(const std::string& name);
std::vector<std::string> eprom27Names();
std::unique_ptr<ChipModel> makeMcu51Chip(const std::string& name);
std::vector<std::string> mcu51ChipNames();

namespace {

const ChipFamilyEntry kFamilies[] = {
    {makeTestChip, testChipNames},
    {makeEprom27, eprom27Names},
    {makeMcu51Chip, mcu51ChipNames},
};

} // namespace

bool sameChipName(const std::string& a, const std::string& b)
{
    return equalsIgnoreCase(a, b);
}

std::unique_ptr<ChipModel> makeChipModel(const std::string& name)
{
    for (const ChipFamilyEntry& f : kFamilies) {
        if (auto chip = f.make(name)) {
            return chip;
        }
    }
    return nullptr;
}

std::vector<std::string> chipModelNames()
{
    std::vector<std::string> all;
    for (const ChipFamilyEntry& f : kFamilies) {
        for (auto& n : f.names()) {
            all.push_back(n);
        }
    }
    return all;
}

} // namespace pontvex::boxsim

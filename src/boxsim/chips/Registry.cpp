#include "boxsim/chips/Registry.h"

#include "core/Text.h"

#include <sstream>

namespace pontvex::boxsim {

// Each chip file adds its models; declare it here and add one line below.
void addTestChipOffers(std::vector<ChipOffer>& offers);
void addEprom27Offers(std::vector<ChipOffer>& offers);
void addMcu51Offers(std::vector<ChipOffer>& offers);
void addPicOffers(std::vector<ChipOffer>& offers);
void addI2cEepromOffers(std::vector<ChipOffer>& offers);
void addMicrowireOffers(std::vector<ChipOffer>& offers);
void addLpc76xOffers(std::vector<ChipOffer>& offers);
void addSramOffers(std::vector<ChipOffer>& offers);
void addTestBoardOffers(std::vector<ChipOffer>& offers);
void addFlash29FOffers(std::vector<ChipOffer>& offers);
void addFlash28FOffers(std::vector<ChipOffer>& offers);
void addLogicOffers(std::vector<ChipOffer>& offers);
void addGalOffers(std::vector<ChipOffer>& offers);

const std::vector<ChipOffer>& chipOffers()
{
    static const std::vector<ChipOffer> all = [] {
        std::vector<ChipOffer> offers;
        addTestChipOffers(offers);
        addEprom27Offers(offers);
        addMcu51Offers(offers);
        addPicOffers(offers);
        addI2cEepromOffers(offers);
        addMicrowireOffers(offers);
        addLpc76xOffers(offers);
        addSramOffers(offers);
        addTestBoardOffers(offers);
        addFlash29FOffers(offers);
        addFlash28FOffers(offers);
        addLogicOffers(offers);
        addGalOffers(offers);
        return offers;
    }();
    return all;
}

bool sameChipName(const std::string& a, const std::string& b)
{
    return equalsIgnoreCase(a, b);
}

std::unique_ptr<ChipModel> makeChipModel(const std::string& name)
{
    for (const ChipOffer& offer : chipOffers())
        if (sameChipName(offer.name, name))
            return offer.make();
    return nullptr;
}

std::unique_ptr<ChipModel> makeChipForRow(const std::string& key, int variant, const std::string& listName)
{
    const ChipOffer* first = nullptr;
    for (const ChipOffer& offer : chipOffers()) {
        for (const ChipRow& row : offer.rows) {
            if (row.variant != variant || !equalsIgnoreCase(row.key, key))
                continue;
            if (!listName.empty() && sameChipName(offer.name, listName))
                return offer.make();
            if (!first)
                first = &offer;
        }
    }
    return first ? first->make() : nullptr;
}

std::vector<std::string> chipModelNames()
{
    std::vector<std::string> names;
    for (const ChipOffer& offer : chipOffers())
        names.push_back(offer.name);
    return names;
}

std::string chipListing()
{
    std::ostringstream out;
    for (const ChipOffer& offer : chipOffers()) {
        out << offer.name;
        std::string rows;
        for (const ChipRow& row : offer.rows)
            rows += (rows.empty() ? "" : ", ") + row.key + " " + std::to_string(row.variant);
        out << "\t" << (rows.empty() ? "-" : rows) << "\t";
        const auto model = offer.make();
        std::string memories;
        for (const MemoryInfo& m : model->memories())
            memories += (memories.empty() ? "" : " ") + m.name + "=" + std::to_string(m.words) + "x" +
                        std::to_string(m.wordBits);
        out << (memories.empty() ? "-" : memories) << "\t" << offer.description << "\n";
    }
    return out.str();
}

} // namespace pontvex::boxsim

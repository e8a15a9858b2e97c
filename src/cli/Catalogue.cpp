#include "cli/Catalogue.h"

#include "cli/Cli.h"

#include <cctype>
#include <fstream>
#include <iostream>

namespace pontvex::cli {

namespace {

std::string squeeze(const std::string& text)
{
    std::string out;
    for (char c : text)
        if (c != ' ' && c != '#')
            out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string lower(const std::string& text)
{
    std::string out = text;
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

bool sameChip(const CatalogueEntry& a, const CatalogueEntry& b)
{
    return a.parsed.key == b.parsed.key && a.parsed.variant == b.parsed.variant &&
           a.parsed.signature == b.parsed.signature;
}

std::string describeCandidates(const std::vector<const CatalogueEntry*>& candidates)
{
    std::string text;
    size_t shown = 0;
    for (const CatalogueEntry* e : candidates) {
        if (shown == 12) {
            text += ", ... (" + std::to_string(candidates.size()) + " in all)";
            break;
        }
        text += (shown ? ", " : "") + e->name + " (" + categoryName(e->category) + "/" + e->group + ")";
        ++shown;
    }
    return text;
}

} // namespace

int parseCategory(const std::string& text)
{
    const std::string wanted = squeeze(text);
    if (wanted.size() == 1 && wanted[0] >= '0' && wanted[0] <= '6')
        return wanted[0] - '0';
    for (size_t i = 0; i < kDeviceCategories.size(); ++i) {
        const DeviceCategory& c = kDeviceCategories[i];
        if (wanted == squeeze(c.item) || wanted == squeeze(c.headerWord) || wanted == squeeze(c.tag))
            return static_cast<int>(i);
    }
    // Shorter names people use for some of them.
    if (wanted == "flash" || wanted == "eeprom")
        return 1;
    if (wanted == "serial")
        return 3;
    if (wanted == "pld")
        return 4;
    if (wanted == "ram")
        return 5;
    if (wanted == "ttl" || wanted == "ic" || wanted == "logic")
        return 6;
    std::string names;
    for (size_t i = 0; i < kDeviceCategories.size(); ++i)
        names += (i ? ", " : "") + categoryName(static_cast<int>(i));
    throw usageError("unknown category '" + text + "' (" + names + ")");
}

std::string categoryName(int index)
{
    return trim(kDeviceCategories.at(static_cast<size_t>(index)).item);
}

std::vector<CatalogueEntry> readCatalogue(TypeSelection& selection, int category, const std::string& group)
{
    std::ifstream file;
    if (!selection.OpenDeviceList(file))
        throw fileError(
            "no device list found (devicea.lst, device.lst or devicec.lst, by the box model; in the "
            "working directory or the data folder beside the program)");
    std::vector<CatalogueEntry> entries;
    bool groupSeen = group.empty();
    for (int c = 0; c < static_cast<int>(kDeviceCategories.size()); ++c) {
        if (category >= 0 && c != category)
            continue;
        const std::string tag = kDeviceCategories[static_cast<size_t>(c)].tag;
        file.clear();
        file.seekg(0);
        std::vector<std::string> groups = readGroups(file, tag);
        std::vector<std::string> done;
        for (const std::string& g : groups) {
            // Two groups of one name show the chips of the first; list them once.
            bool repeated = false;
            for (const auto& d : done)
                repeated = repeated || d == g;
            if (repeated)
                continue;
            done.push_back(g);
            if (!group.empty() && g != group && !equalsIgnoreCase(trim(g), trim(group)))
                continue;
            groupSeen = true;
            file.clear();
            file.seekg(0);
            ChipListing listing = readChips(file, tag, g);
            for (size_t i = 0; i < listing.names.size() && i < listing.params.size(); ++i) {
                const std::string& name = listing.names[i];
                if (name.empty() || name[0] == '-')
                    continue;
                ChipParams parsed = parseChipParams(listing.params[i]);
                if (!parsed.hasBlank)
                    continue;
                entries.push_back({c, g, name, listing.params[i], parsed});
            }
        }
    }
    if (!groupSeen)
        throw usageError("no group '" + group + "'" +
                         (category >= 0 ? " in category " + categoryName(category) : std::string()));
    return entries;
}

const CatalogueEntry& findChip(const std::vector<CatalogueEntry>& entries, const std::string& name)
{
    const std::string wanted = trim(name);
    std::vector<const CatalogueEntry*> candidates;
    for (const auto& e : entries)
        if (e.name == name)
            candidates.push_back(&e);
    if (candidates.empty())
        for (const auto& e : entries)
            if (trim(e.name) == wanted)
                candidates.push_back(&e);
    if (candidates.empty())
        for (const auto& e : entries)
            if (equalsIgnoreCase(trim(e.name), wanted))
                candidates.push_back(&e);
    bool partial = false;
    if (candidates.empty() && !wanted.empty()) {
        partial = true;
        for (const auto& e : entries)
            if (lower(e.name).find(lower(wanted)) != std::string::npos)
                candidates.push_back(&e);
    }

    if (candidates.empty())
        throw usageError("unknown chip '" + name + "' (see 'pontvex-cli list')");
    for (const CatalogueEntry* e : candidates)
        if (!sameChip(*e, *candidates.front()))
            throw usageError("chip '" + name + "' is ambiguous: " + describeCandidates(candidates));
    if (partial)
        std::cerr << "pontvex-cli: note: --chip " << name << " taken as " << candidates.front()->name << " ("
                  << categoryName(candidates.front()->category) << "/" << candidates.front()->group << ")\n";
    return *candidates.front();
}

} // namespace pontvex::cli

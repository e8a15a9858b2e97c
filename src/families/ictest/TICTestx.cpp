#include "families/ictest/TICTestx.h"

#include "catalogue/TypeSelection.h"
#include "link/ReadAhead.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>

namespace pontvex {

namespace {

const char* const kLibraries[3] = {"TTL74.LIB", "CMOS40.LIB", "CMOS45.LIB"};
const char* const kNamePatterns[3] = {"74xx%02d", "40%02d", "45%02d"};
constexpr const char* kNoLibrary = "缺库文件";
constexpr uint32_t kIgnore = 0x80000000u; // a replayed vector: its result is not looked at

} // namespace

TICTestx::TICTestx(ProgrammerLink& link, FamilyHost& host) : FamilyWindow("TICTestx", link, host)
{
    setCaption("Тест  IC (74,40,45)");
    libraryDirs.push_back("");
    for (const std::string& d : TypeSelection::defaultDataDirs())
        libraryDirs.push_back(d);
    addOption("RadioGroup1", "Тип", "series", {"74xxx", "40xxx", "45xxx"}, 0);
    addOption("ListBox1", "Выбор", "type", {}, 0);
    addButton("Test1", "Test1Click", "Проверка", "test", [this] { Test1Click(); });
    addButton("Button1", "Button1Click", "Поиск", "search", [this] { SearchClick(); });
    declareStandardControls({{Role::Exit, {}, "Выход"}});
    setChipNameText("74xx00");
    Gr1OnClick();
}

std::string TICTestx::rowName(int index) const
{
    return index >= 0 && index <= 2 ? kLibraries[index] : "";
}

std::string TICTestx::typeName(int number) const
{
    const int series = loadedSeries_ >= 0 ? loadedSeries_ : 0;
    char text[32];
    std::snprintf(text, sizeof text, kNamePatterns[series], number);
    return text;
}

size_t TICTestx::firstListed() const
{
    // A library of three entries or fewer has no dummies around its types
    // (the search finds nothing in it): every entry is listed.
    return library_.entries.size() > 3 ? 1 : 0;
}

size_t TICTestx::listedCount() const
{
    return library_.entries.size() > 3 ? library_.entries.size() - 3 : library_.entries.size();
}

void TICTestx::showList()
{
    if (OptionGroup* list = findOption("ListBox1")) {
        list->items = typeNames_;
        list->selected = std::max(0, selected_ - static_cast<int>(firstListed()));
    }
    setIdText([this] {
        std::string report;
        for (const std::string& name : found_)
            report += (report.empty() ? "" : " ") + name;
        return report;
    }());
    changed();
}

void TICTestx::selectSeries(int series)
{
    if (OptionGroup* group = findOption("RadioGroup1"))
        group->selected = series;
    Gr1OnClick();
}

void TICTestx::Gr1OnClick()
{
    const int series = option("RadioGroup1");
    if (series < 0 || series > 2)
        return;
    const std::string file = kLibraries[series];
    std::ifstream in;
    for (const std::string& dir : libraryDirs) {
        in.open(dir.empty() ? file : dir + "/" + file, std::ios::binary);
        if (in.is_open())
            break;
        in.clear();
    }
    if (!in.is_open()) {
        setMessage(kNoLibrary);
        return;
    }
    // One byte past the largest library is enough to know it is too large.
    std::vector<uint8_t> bytes;
    char c;
    while (bytes.size() <= iclib::kMaxLibraryBytes && in.get(c))
        bytes.push_back(static_cast<uint8_t>(c));
    const iclib::LibraryResult r = iclib::readLogicLibrary(bytes);
    if (!r.ok) {
        // A damaged library would send levels from outside it: keep the table read before.
        setMessage(std::string(kNoLibrary) + " " + file + " #" + std::to_string(r.record) + ": " + r.reason);
        return;
    }
    library_ = r.library;
    loadedSeries_ = series;
    typeNames_.clear();
    const size_t first = firstListed();
    for (size_t i = first; i < first + listedCount(); ++i)
        typeNames_.push_back(typeName(library_.entries[i].number));
    // Listed after the library's types so that asking for one explains why
    // it cannot be tested rather than finding nothing.
    unfit_.clear();
    for (const iclib::UnfitType& u : iclib::unfitTypes())
        if (static_cast<int>(u.series) == series) {
            unfit_.push_back(u);
            typeNames_.push_back(typeName(u.number));
        }
    // The type in Number stays chosen when the new table has it.
    bool kept = false;
    for (size_t i = 0; i < typeNames_.size(); ++i)
        if (typeNames_[i] == chipNameText()) {
            selected_ = static_cast<int>(first + i);
            kept = true;
        }
    if (!kept &&
        (selected_ < static_cast<int>(first) || selected_ >= static_cast<int>(first + typeNames_.size())))
        selected_ = static_cast<int>(first);
    showList();
}

void TICTestx::LBox1OnClick(int index)
{
    if (index < 0 || index >= static_cast<int>(typeNames_.size()))
        return;
    selected_ = index + static_cast<int>(firstListed());
    setChipNameText(typeNames_[static_cast<size_t>(index)]);
    showList();
}

void TICTestx::SelectChip(const ChipSelection& chip)
{
    if (!acceptChip(chip))
        return;
    try {
        link.ResetSocket();
        if (!link.Connected()) {
            setMessage(connectionErrorText());
            return;
        }
        setMessage("OK ");
        link.SetVppVoltage(0);
        link.InitSocket();
        selectSeries(chip.VariantIndex);
    } catch (const LinkLost&) {
        noteLinkLost();
        setMessage(connectionErrorText());
    }
}

void TICTestx::OnClose()
{
    if (link.Connected())
        link.InitSocket();
}

bool TICTestx::runEntry(size_t k)
{
    const iclib::LibraryEntry& e = library_.entries[k];
    if (e.count == 0)
        return false;
    const uint8_t* image = library_.image.data();
    bool passed = true;
    ReadAhead ahead(link, [&](uint32_t tag, std::span<const uint8_t> reply) {
        if (tag & kIgnore)
            return true;
        const uint8_t* v = image + tag;
        const bool same = static_cast<uint8_t>(reply[0] | 0xC0) == static_cast<uint8_t>(v[6] | 0xC0) &&
                          reply[1] == v[7] && reply[2] == v[8];
        passed = passed && same;
        return same;
    });
    const auto apply = [&](uint32_t offset, bool look) {
        const uint8_t* v = image + offset;
        link.QueueCommand({19, 0}, 0);
        link.QueueCommand({18, 0}, 0);
        link.QueueCommand({17, 0}, 0);
        link.QueueCommand({11, v[4]}, 0);
        link.QueueCommand({9, v[5]}, 0);
        link.QueueCommand({8, v[3]}, 0);
        bool going = true;
        if ((v[0] & 0xC0) == 0)
            going = ahead.readUnit({{{4}, 1}, {{3}, 1}, {{2}, 1}}, look ? offset : (offset | kIgnore));
        if (++counter_ % 16 == 0)
            setMessage(std::to_string(counter_));
        return going;
    };
    for (uint32_t i = 0; i < e.count; ++i) {
        const uint32_t at = e.position + i * iclib::kVectorBytes;
        if (image[at] & 0x40) {
            // A long repeat checks nothing: a chip that already failed is not
            // worth clocking through it.
            if (!ahead.drain())
                break;
            // The reader refuses a repeat that does not follow two plain vectors.
            const int times = image[at + 4] * 256 + image[at + 5];
            for (int t = 0; t < times; ++t) {
                apply(at - 2 * iclib::kVectorBytes, false);
                apply(at - iclib::kVectorBytes, false);
            }
        } else if (!apply(at, true)) {
            break;
        }
    }
    ahead.drain();
    if (!passed || ahead.stopped())
        return false;
    setMessage(std::to_string(e.count));
    return true;
}

const iclib::UnfitType* TICTestx::unfitChosen() const
{
    // They follow the listed types, so their indices may be those of the
    // hidden dummy entries at the library's end.
    const int end = static_cast<int>(firstListed() + listedCount());
    if (selected_ < end || static_cast<size_t>(selected_ - end) >= unfit_.size())
        return nullptr;
    return &unfit_[static_cast<size_t>(selected_ - end)];
}

void TICTestx::followControls()
{
    // The GUI and the CLI change the two lists' selections directly.
    if (option("RadioGroup1") != loadedSeries_)
        Gr1OnClick();
    const int chosen = option("ListBox1");
    if (chosen + static_cast<int>(firstListed()) != selected_)
        LBox1OnClick(chosen);
}

void TICTestx::Test1Click()
{
    followControls();
    runCommand("", [this] {
        // Without a library the table is what is missing, whatever is chosen.
        if (library_.entries.empty()) {
            refuse(kNoLibrary);
            return;
        }
        if (const iclib::UnfitType* u = unfitChosen()) {
            char text[160];
            std::snprintf(text, sizeof text, "%s: выводы питания %d и %d не совпадают с питанием панели",
                          typeNames_[static_cast<size_t>(selected_) - firstListed()].c_str(), u->vccPin,
                          u->gndPin);
            refuse(text);
            return;
        }
        if (library_.entries.empty() || selected_ < 0 ||
            selected_ >= static_cast<int>(library_.entries.size())) {
            refuse(kNoLibrary);
            return;
        }
        const iclib::LibraryEntry& e = library_.entries[static_cast<size_t>(selected_)];
        link.WriteAllLatches(255);
        link.RouteGnd(20);
        link.RouteVpp(0);
        link.RouteVcc(0);
        link.LinkDelay(1);
        link.RouteVcc(e.vccPin);
        link.WriteLatch(1, 0);
        link.WriteLatch(2, 0);
        link.WriteLatch(3, 0);
        link.RouteVcc(e.vccPin);
        link.LinkDelay(100);
        counter_ = 0;
        const bool ok = runEntry(static_cast<size_t>(selected_));
        link.RouteVcc(0);
        link.WriteAllLatches(255);
        if (ok) {
            succeed("ОК!");
            host.countSuccess();
        } else {
            fail("Ошиб!");
        }
    });
}

void TICTestx::SearchClick()
{
    followControls();
    runCommand("", [this] {
        if (library_.entries.empty()) {
            refuse(kNoLibrary);
            return;
        }
        link.WriteAllLatches(255);
        link.RouteGnd(20);
        link.RouteVcc(27);
        int routed = 27;
        link.WriteLatch(1, 0);
        link.WriteLatch(2, 0);
        link.WriteLatch(3, 0);
        found_.clear();
        if (selected_ >= static_cast<int>(library_.entries.size()))
            selected_ = static_cast<int>(firstListed());
        for (size_t k = 1; k + 2 < library_.entries.size(); ++k) {
            const iclib::LibraryEntry& e = library_.entries[k];
            // Against the pin now routed: the entry before may have been skipped.
            if (e.vccPin != routed) {
                link.RouteVcc(0);
                link.LinkDelay(1);
                link.RouteVcc(e.vccPin);
                link.LinkDelay(1);
                routed = e.vccPin;
            }
            counter_ = 0;
            if (runEntry(k)) {
                const std::string& name = typeNames_[k - firstListed()];
                if (found_.empty())
                    setChipNameText(name);
                found_.push_back(name);
                selected_ = static_cast<int>(k);
            }
            progress(static_cast<int64_t>(k));
        }
        link.RouteVcc(0);
        link.WriteAllLatches(255);
        showList();
        if (found_.empty()) {
            setChipNameText(" ");
            fail("Не найд");
        } else if (found_.size() == 1) {
            succeed("查找到了一个型号!");
        } else {
            char text[64];
            std::snprintf(text, sizeof text, "Найдено %d похожих микр.  ", static_cast<int>(found_.size()));
            succeed(text);
        }
    });
}

} // namespace pontvex

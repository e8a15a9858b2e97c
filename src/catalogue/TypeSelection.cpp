#include "catalogue/TypeSelection.h"

#include "catalogue/DeviceList.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <utility>

namespace pontvex {

namespace fs = std::filesystem;

namespace {

const char* const kNoListText = "缺DEVICE.LST文件!";
const char* const kEmptyListText = "Список типов пуст: выбирать нечего";
const char* const kNoParamsText = "У типа нет алгоритма в списке: выбрать нельзя";

std::string withSeparator(std::string dir)
{
    if (!dir.empty() && dir.back() != '/' && dir.back() != '\\')
        dir += '/';
    return dir;
}

bool inRange(int index, size_t size)
{
    return index >= 0 && static_cast<size_t>(index) < size;
}

} // namespace

TypeSelection::TypeSelection(ProgrammerLink& link, FamilyHost& host, FamilyRegistry families)
    : dataDirs(defaultDataDirs()), link_(link), host_(host), families_(std::move(families))
{
    std::error_code ec;
    programDir = withSeparator(fs::current_path(ec).string());
}

TypeSelection::~TypeSelection() = default;

std::vector<std::string> TypeSelection::defaultDataDirs()
{
    std::vector<std::string> dirs;
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec)
        return dirs;
    const fs::path dir = exe.parent_path();
    // Installed: data/ beside the program. Build tree: programs sit one level
    // below the folder CMake copies the lists into.
    dirs.push_back((dir / "data").string());
    dirs.push_back((dir.parent_path() / "data").string());
    dirs.push_back((dir.parent_path() / "share" / "pontvex" / "data").string());
    return dirs;
}

const char* TypeSelection::listFileName(int model)
{
    if (model == 97)
        return "devicea.lst";
    if (model == 98)
        return "device.lst";
    return "devicec.lst";
}

bool TypeSelection::OpenDeviceList(std::ifstream& file)
{
    // The probe switches supplies and pins, so it runs at every opening.
    int model = 97;
    try {
        model = link_.ProbeHardwareModel();
    } catch (const LinkLost&) {
        model = 97; // what an offline probe answers
    }
    const std::string name = listFileName(model);
    std::vector<std::string> candidates{programDir + name};
    for (const auto& dir : dataDirs)
        candidates.push_back(withSeparator(dir) + name);
    listPath_.clear();
    for (const auto& path : candidates) {
        std::error_code ec;
        if (!fs::is_regular_file(path, ec))
            continue;
        file.open(path, std::ios::binary);
        if (file.is_open()) {
            listPath_ = path;
            return true;
        }
    }
    host_.prompt().showBox(kNoListText);
    return false;
}

void TypeSelection::changed()
{
    if (onChanged)
        onChanged();
    for (const auto& listener : listeners_)
        listener();
}

void TypeSelection::FillGroups()
{
    std::ifstream file;
    if (!OpenDeviceList(file))
        return;
    groupList = readGroups(file, SectionPrefix);
    file.close();
    groupSelection = groupList.empty() ? -1 : 0;
    chipList.clear();
    chipSelection = -1;
    FillChips();
}

void TypeSelection::FillChips()
{
    std::ifstream file;
    if (!OpenDeviceList(file))
        return;
    ChipListing listing = readChips(file, SectionPrefix, GroupName);
    file.close();
    chipList = std::move(listing.names);
    ChipParamList = std::move(listing.params);
    chipSelection = chipList.empty() ? -1 : 0;
    mainChipSelection = inRange(ChipIndex, chipList.size()) ? ChipIndex : -1;
    if (listing.overflowLine != 0) {
        char text[512];
        std::snprintf(text, sizeof text, "%s: в группе \"%s\" больше 200 типов, строки с %d пропущены",
                      listPath_.c_str(), GroupName.c_str(), listing.overflowLine);
        host_.prompt().showBox(text);
    }
    changed();
}

int TypeSelection::selectedChipFor(const std::string& group) const
{
    if (chipList.empty())
        return -1;
    // The chip of the last OK only in its own group; elsewhere the first chip.
    if (categorySelection == chosenCategory_ && group == chosenGroup_ && inRange(ChipIndex, chipList.size()))
        return ChipIndex;
    return 0;
}

void TypeSelection::Radio1OnClick()
{
    if (!inRange(categorySelection, kDeviceCategories.size()))
        categorySelection = 0;
    categoryNumber = categorySelection + 1;
    SectionPrefix = kDeviceCategories[categorySelection].tag;
    mainCategory = categorySelection;
    FillGroups();

    GroupIndex = 0;
    for (size_t i = 0; i < groupList.size(); ++i)
        if (groupList[i] == GroupName)
            GroupIndex = static_cast<int>(i);
    if (groupList.empty()) {
        groupSelection = -1;
    } else {
        groupSelection = GroupIndex;
        GroupName = groupList[GroupIndex];
    }
    FillChips();
    chipSelection = selectedChipFor(GroupName);
    mainGroupText = inRange(groupSelection, groupList.size()) ? groupList[groupSelection] : std::string();
    changed();
}

void TypeSelection::chooseCategory(int index)
{
    categorySelection = std::max(index, 0);
    Radio1OnClick();
}

void TypeSelection::groupKeyed(int index)
{
    if (!inRange(index, groupList.size()))
        return;
    groupSelection = index;
    GroupName = groupList[index];
    FillChips();
}

void TypeSelection::groupClicked(int index)
{
    if (!inRange(index, groupList.size()))
        return;
    groupKeyed(index);
    mainGroupText = GroupName;
    changed();
}

void TypeSelection::mainGroupChanged(int index)
{
    index = std::max(index, 0);
    if (!inRange(index, groupList.size()))
        return;
    mainGroupText = groupList[index];
    groupSelection = index;
    GroupName = groupList[index];
    FillChips();
}

void TypeSelection::chipActivated(int index)
{
    if (inRange(index, chipList.size()))
        chipSelection = index;
    OKBtnClick();
}

void TypeSelection::mainChipActivated(int index)
{
    // The Enter key would first put the list position into VariantIndex; a refused
    // choice then left it there. Nothing of the choice changes until OK accepts it.
    chipActivated(index);
}

void TypeSelection::OKBtnClick()
{
    statusMessage.clear();
    if (!inRange(chipSelection, chipList.size()) || !inRange(chipSelection, ChipParamList.size())) {
        statusMessage = kEmptyListText;
        changed();
        return;
    }
    const std::string display = chipList[chipSelection];
    if (!display.empty() && display[0] == '-') {
        changed(); // a separator: the dialog stays open
        return;
    }
    const ChipParams params = parseChipParams(ChipParamList[chipSelection]);
    if (!params.hasBlank) {
        // An empty line or a line without parameters names no family and no row.
        statusMessage = kNoParamsText;
        changed();
        return;
    }

    TypeTitle = GroupName + ": " + display;
    typeLabel = "Тип:     " + TypeTitle;
    statusGroup = GroupName;
    statusChip = display;
    GroupIndex = groupSelection;
    ChipIndex = chipSelection;
    mainChipSelection = ChipIndex;
    CategoryIndex = categorySelection;
    chip.AlgorithmKey = params.key;
    chip.VariantIndex = params.variant;
    chip.ChipName = display;
    chip.ExpectedSignature = params.signature;
    chosenCategory_ = CategoryIndex;
    chosenGroup_ = GroupName;
    chosen_ = browsed();
    changed();

    DispatchAlgorithm();
    dialogVisible = false;
    changed();
}

void TypeSelection::DispatchAlgorithm()
{
    for (const auto& row : dispatchTable()) {
        if (chip.AlgorithmKey != row.key)
            continue;
        const FamilyFactory* factory = families_.factory(row.key);
        if (!factory)
            return; // the family is not built: as an unknown key
        auto& slot = windows_[row.windowClass];
        const bool created = !slot;
        if (created)
            slot = (*factory)(link_, host_);
        FamilyWindow& window = *slot;
        current_ = &window;
        for (auto& [windowClass, other] : windows_)
            if (other && other.get() != &window)
                other->hide();
        window.show();
        if (onWindowShown)
            onWindowShown(window, created);
        if (!window.acceptChip(chip))
            return;
        try {
            window.SelectChip(chip);
            link_.Flush(); // the set-up reaches the box before the user sees the window
        } catch (const LinkLost&) {
            // The link has told the user; the window stays as far as it got.
            window.noteLinkLost();
        }
        return;
    }
}

void TypeSelection::ReadIdCode()
{
    idField.clear();
    changed();
    if (!link_.Connected())
        return;
    if (categorySelection > 1)
        return; // only 27/28/29-series memories answer this way
    // Power the chosen chip's package: 24-, 28- and 32-pin memories take Vcc
    // on 32, 34 and 36 and all put A9 on 30 and A0 on 16. Without a family
    // that names its package, the 32-pin pin.
    int vccPin = current_ ? current_->packageVccPin() : 0;
    if (vccPin != 32 && vccPin != 34)
        vccPin = 36;
    try {
        link_.RouteGnd(20);
        link_.SetVppVoltage(12500);
        link_.LinkDelay(100);
        link_.WriteAllLatches(0);
        link_.FloatPin(5);
        link_.FloatPin(7);
        link_.FloatPin(36);
        link_.RouteVcc(vccPin);
        link_.SetBusMode(12);
        link_.WriteLatch(2, 0xFF);
        link_.RouteVpp(30);
        link_.DrivePin(16);
        IdBytes[0] = link_.ReadPort(2);
        link_.FloatPin(16);
        IdBytes[1] = link_.ReadPort(2);
        link_.RouteVpp(0);
        link_.RouteVcc(0);
        link_.Flush();
    } catch (const LinkLost&) {
        return;
    }
    char text[16];
    std::snprintf(text, sizeof text, "%02x,%02x", IdBytes[0], IdBytes[1]);
    idField = text;
    changed();
}

void TypeSelection::restore(const SavedChoice& saved)
{
    categorySelection = inRange(saved.categoryIndex, kDeviceCategories.size()) ? saved.categoryIndex : 0;
    CategoryIndex = categorySelection;
    chip.AlgorithmKey = saved.AlgorithmKey;
    TypeTitle = saved.TypeTitle;
    chip.VariantIndex = saved.VariantIndex;
    GroupName = saved.GroupName;
    SectionPrefix = saved.SectionPrefix.substr(0, 20);
    GroupIndex = saved.GroupIndex;
    ChipIndex = saved.ChipIndex;
    chip.ChipName = saved.ChipName;
    chosenCategory_ = CategoryIndex;
    chosenGroup_ = GroupName;
    chosen_ = browsed();
    changed();
}

SavedChoice TypeSelection::saved() const
{
    return chosen_ ? *chosen_ : browsed();
}

void TypeSelection::cancel()
{
    dialogVisible = false;
    if (chosen_) {
        categorySelection = chosen_->categoryIndex;
        GroupName = chosen_->GroupName;
    }
    Radio1OnClick();
}

SavedChoice TypeSelection::browsed() const
{
    SavedChoice choice;
    choice.categoryIndex = std::max(categorySelection, 0);
    choice.AlgorithmKey = chip.AlgorithmKey;
    choice.TypeTitle = TypeTitle;
    choice.VariantIndex = chip.VariantIndex;
    choice.GroupName = GroupName;
    choice.SectionPrefix = SectionPrefix;
    choice.GroupIndex = GroupIndex;
    choice.ChipIndex = ChipIndex;
    choice.ChipName = chip.ChipName;
    return choice;
}

void TypeSelection::startUp()
{
    dialogVisible = true;
    Radio1OnClick();
    OKBtnClick();
    typeLabel = "Тип: " + TypeTitle;
    changed();
}

bool TypeSelection::setFactory(const std::string& key, FamilyFactory factory)
{
    return families_.replace(key, std::move(factory));
}

FamilyWindow* TypeSelection::window(const std::string& windowClass) const
{
    auto it = windows_.find(windowClass);
    return it == windows_.end() ? nullptr : it->second.get();
}

std::vector<FamilyWindow*> TypeSelection::windows() const
{
    std::vector<FamilyWindow*> all;
    for (const auto& [name, window] : windows_)
        all.push_back(window.get());
    return all;
}

} // namespace pontvex

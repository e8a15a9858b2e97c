#include "catalogue/FamilyWindow.h"

#include "core/AtomicFile.h"
#include "core/Text.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <deque>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace pontvex {

namespace {

std::string hexText(int64_t value, const char* format)
{
    char text[32];
    std::snprintf(text, sizeof text, format, static_cast<unsigned long long>(value));
    return text;
}

bool matches(const std::string& which, const std::string& a, const std::string& b, const std::string& c)
{
    return !which.empty() && (which == a || which == b || which == c);
}

constexpr const char* kStopped = "Прервано!";

// The usual controls of the family windows, by role.
struct StandardName {
    Role role;
    const char* name;
    const char* handler;
    const char* caption;
    const char* shortName;
    const char* stepName;
    const char* stepCaption;
};

constexpr StandardName kStandard[] = {
    {Role::Read, "ReadButton", "ReadClick", "Считать", "read", "AutoRead", "Считать"},
    {Role::Write, "Write", "WriteClick", "Записать", "write", "AutoWrite", "Записать"},
    {Role::Verify, "Verify", "VerifyClick", "Сравнить", "verify", "AutoVerify", "Сравнить"},
    {Role::Blank, "Blank", "BlankClick", "Проверить", "blank", "AutoBlank", "Проверить"},
    {Role::Erase, "Erase", "EraseClick", "Стереть", "erase", "AutoErase", "Стереть"},
    {Role::Lock, "Secrity", "SecrityClick", "Защита", "lock", "AutoLock", "Защита"},
    {Role::LockRead, "Button2", "Button2Click", "Зщт.счит.", "lockread", "AutoLockRead", "Зщт.счит."},
    {Role::Id, "MFG", "MFGClick", "Код ИД", "id", "AutoId", "Код ИД"},
    {Role::CheckSum, "CheckSum", "CheckSumClick", "КСумма", "checksum", "AutoCheckSum", "КСумма"},
    {Role::Auto, "Button1", "Button1Click", "Авто", "auto", "", ""},
    {Role::Exit, "CancelBtn", "CancelBtnClick", "Выход", "exit", "", ""},
    {Role::Config, "WtConfig", "WtConfigClick", "Запс.конфг.", "write-config", "CheckBoxConfig", "Конфиг."},
    {Role::ReadConfig, "RdConfig", "RdConfigClick", "Счит.конфг.", "read-config", "", ""},
    {Role::BufferStart, "BufferStart", "", "Старт буф", "buffer-start", "", ""},
    {Role::ChipStart, "ChipStart", "", "Старт микр", "chip-start", "", ""},
    {Role::Length, "LastAddress", "", "Длина", "length", "", ""},
};

const StandardName* standard(Role role)
{
    for (const auto& s : kStandard)
        if (s.role == role)
            return &s;
    return nullptr;
}

// The whole text as one number of the base: blanks around it, an optional
// 0x for hexadecimal, an optional minus sign for decimal; 32 bits at most.
bool parseWhole(const std::string& text, ValueField::Base base, int64_t& value)
{
    if (base == ValueField::Base::Hex) {
        constexpr HexSyntax kWhole{.prefix = true, .maxValue = 0xFFFFFFFFu};
        const std::optional<uint64_t> typed = parseHex(text, kWhole);
        if (typed)
            value = static_cast<int64_t>(*typed);
        return typed.has_value();
    }
    size_t i = text.find_first_not_of(" \t");
    const size_t last = text.find_last_not_of(" \t");
    if (i == std::string::npos)
        return false;
    const bool negative = text[i] == '-';
    if (negative)
        ++i;
    if (i > last)
        return false;
    uint64_t result = 0;
    for (; i <= last; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        result = result * 10 + static_cast<uint64_t>(text[i] - '0');
        if (result > 0xFFFFFFFFull)
            return false;
    }
    value = negative ? -static_cast<int64_t>(result) : static_cast<int64_t>(result);
    return true;
}

std::string valueText(const ValueField& field, int64_t value)
{
    char text[40];
    if (field.base == ValueField::Base::Hex)
        std::snprintf(text, sizeof text, "%0*llx", field.digits, static_cast<unsigned long long>(value));
    else
        std::snprintf(text, sizeof text, "%0*lld", field.digits, static_cast<long long>(value));
    return text;
}

std::string formatThree(const std::string& pattern, uint32_t a, uint32_t b, uint32_t c)
{
    char text[256];
    std::snprintf(text, sizeof text, pattern.c_str(), a, b, c);
    return text;
}

bool clockRouted(const ProgrammerLink::Shadows& s)
{
    // The clock is routed by pulling aux bit 4 (pin 19) or bit 5 (pin 15) low.
    const uint8_t clock = s.aux & 0x70;
    return clock == 0x60 || clock == 0x50;
}

} // namespace

const char* roleName(Role role)
{
    const StandardName* s = standard(role);
    return s ? s->shortName : "";
}

bool suppliesIdle(const ProgrammerLink& link)
{
    return suppliesOnText(link).empty();
}

std::string suppliesOnText(const ProgrammerLink& link)
{
    const ProgrammerLink::Shadows& s = link.shadows();
    std::string on;
    auto add = [&on](const char* what) { on += (on.empty() ? "" : ", ") + std::string(what); };
    if (s.vppRouteA != 0x00 || (s.vppRouteB & 0x7F) != 0x00)
        add("Vpp route");
    if ((s.pinLatch[6] & 0x0F) != 0x0F)
        add("Vpp level");
    if ((s.vppRouteB & 0x80) == 0)
        add("raised Vcc level");
    if (s.vccRouteA != 0xFF || (s.vccGndRoute & 0x07) != 0x07)
        add("Vcc route");
    if (clockRouted(s))
        add("clock");
    return on;
}

std::string sideFilePath(const std::string& dataFile, const std::string& extension)
{
    const size_t separator = dataFile.find_last_of("/\\:");
    const size_t dot = dataFile.rfind('.');
    if (dot != std::string::npos && (separator == std::string::npos || dot > separator))
        return dataFile.substr(0, dot) + extension;
    return dataFile + extension;
}

// Switches the supplies off when a command ends, however it ends. The link may
// be gone by then; that must not escape a destructor.
class FamilyWindow::SuppliesGuard {
public:
    explicit SuppliesGuard(FamilyWindow& window) : window_(window) {}
    SuppliesGuard(const SuppliesGuard&) = delete;
    SuppliesGuard& operator=(const SuppliesGuard&) = delete;
    ~SuppliesGuard()
    {
        try {
            // A loop that ended early (a stop, a fault) may still be owed
            // replies; no later read may take one of them for its own.
            if (window_.link.PendingReplies() > 0)
                window_.link.DiscardReplies();
            window_.suppliesOff();
            window_.link.Flush();
        } catch (...) {
            // Queued bytes never reached the box: whatever the body said, it failed.
            try {
                window_.setOutcome(Outcome::LinkLost);
                window_.setMessage(window_.connectionErrorText());
            } catch (...) {
            }
        }
    }

private:
    FamilyWindow& window_;
};

FamilyWindow::FamilyWindow(std::string className, ProgrammerLink& link, FamilyHost& host)
    : link(link), host(host), buffer(host.buffer()), className_(std::move(className))
{
}

FamilyWindow::~FamilyWindow() = default;

// --- declaration -------------------------------------------------------------

ButtonControl& FamilyWindow::addButton(std::string name, std::string handler, std::string caption,
                                       std::string shortName, std::function<void()> run)
{
    return addButton(Role::None, std::move(name), std::move(handler), std::move(caption),
                     std::move(shortName), std::move(run));
}

ButtonControl& FamilyWindow::addButton(Role role, std::string name, std::string handler, std::string caption,
                                       std::string shortName, std::function<void()> run)
{
    ButtonControl button;
    button.name = std::move(name);
    button.handler = std::move(handler);
    button.caption = std::move(caption);
    button.shortName = std::move(shortName);
    button.run = std::move(run);
    button.role = role;
    buttons_.push_back(std::move(button));
    return buttons_.back();
}

OptionGroup& FamilyWindow::addOption(std::string name, std::string caption, std::string shortName,
                                     std::vector<std::string> items, int selected)
{
    OptionGroup group;
    group.name = std::move(name);
    group.caption = std::move(caption);
    group.shortName = std::move(shortName);
    group.items = std::move(items);
    group.selected = selected;
    options_.push_back(std::move(group));
    return options_.back();
}

AutoStep& FamilyWindow::addAutoStep(std::string name, std::string caption, std::string shortName,
                                    bool checked, std::function<void()> run)
{
    return addAutoStep(Role::None, std::move(name), std::move(caption), std::move(shortName), checked,
                       std::move(run));
}

AutoStep& FamilyWindow::addAutoStep(Role role, std::string name, std::string caption, std::string shortName,
                                    bool checked, std::function<void()> run)
{
    AutoStep step;
    step.name = std::move(name);
    step.caption = std::move(caption);
    step.shortName = std::move(shortName);
    step.checked = checked;
    step.run = std::move(run);
    step.role = role;
    autoSteps_.push_back(std::move(step));
    return autoSteps_.back();
}

AddressField& FamilyWindow::addField(std::string name, std::string caption, std::string shortName,
                                     int64_t value)
{
    return addField(Role::None, std::move(name), std::move(caption), std::move(shortName), value);
}

AddressField& FamilyWindow::addField(Role role, std::string name, std::string caption, std::string shortName,
                                     int64_t value)
{
    AddressField field;
    field.name = std::move(name);
    field.caption = std::move(caption);
    field.shortName = std::move(shortName);
    field.value = value;
    field.text = hexText(value, "%06llx");
    field.role = role;
    fields_.push_back(std::move(field));
    return fields_.back();
}

FlagControl& FamilyWindow::addFlag(std::string name, std::string caption, std::string shortName, bool checked)
{
    FlagControl flag;
    flag.name = std::move(name);
    flag.caption = std::move(caption);
    flag.shortName = std::move(shortName);
    flag.checked = checked;
    flags_.push_back(std::move(flag));
    return flags_.back();
}

ValueField& FamilyWindow::addValue(std::string name, std::string caption, std::string shortName,
                                   ValueField::Base base, int64_t minimum, int64_t maximum, int digits,
                                   int64_t value)
{
    ValueField field;
    field.name = std::move(name);
    field.caption = std::move(caption);
    field.shortName = std::move(shortName);
    field.base = base;
    field.minimum = minimum;
    field.maximum = maximum;
    field.digits = digits;
    field.value = std::clamp(value, minimum, maximum);
    field.text = valueText(field, field.value);
    values_.push_back(std::move(field));
    return values_.back();
}

SideDocument& FamilyWindow::addSideDocument(std::string extension,
                                            std::function<void(const std::string&)> load,
                                            std::function<std::string()> save)
{
    SideDocument document;
    document.extension = std::move(extension);
    document.load = std::move(load);
    document.save = std::move(save);
    sideDocuments_.push_back(std::move(document));
    return sideDocuments_.back();
}

void FamilyWindow::declareStandardControls(std::initializer_list<StandardControl> controls)
{
    for (const StandardControl& c : controls) {
        const StandardName* s = standard(c.role);
        if (!s || !*s->handler)
            throw std::logic_error("no standard button for this role");
        std::function<void()> run = c.run;
        if (!run && c.role == Role::Auto)
            run = [this] { Button1Click(); };
        if (!run && c.role == Role::Exit)
            run = [this] { CancelBtnClick(); };
        if (!run && c.role == Role::Id)
            run = [this] { MFGClick(); };
        addButton(c.role, s->name, s->handler, c.caption.empty() ? s->caption : c.caption, s->shortName,
                  std::move(run));
    }
}

void FamilyWindow::declareAutoSteps(std::initializer_list<StandardStep> steps)
{
    for (const StandardStep& step : steps) {
        const StandardName* s = standard(step.role);
        if (!s || !*s->stepName)
            throw std::logic_error("no standard Auto step for this role");
        std::function<void()> run = step.run;
        if (!run) {
            const ButtonControl* button = findButton(step.role);
            if (!button)
                throw std::logic_error("an Auto step needs its button declared first");
            run = button->run;
        }
        addAutoStep(step.role, s->stepName, step.caption.empty() ? s->stepCaption : step.caption,
                    s->shortName, step.checked, std::move(run));
    }
}

void FamilyWindow::declareStandardFields(int64_t length)
{
    for (const Role role : {Role::BufferStart, Role::ChipStart, Role::Length}) {
        const StandardName* s = standard(role);
        addField(role, s->name, s->caption, s->shortName, role == Role::Length ? length : 0);
    }
}

// --- finding controls -------------------------------------------------------------

ButtonControl* FamilyWindow::findButton(const std::string& which)
{
    for (auto& button : buttons_)
        if (matches(which, button.name, button.handler, button.caption) || which == button.shortName)
            return &button;
    return nullptr;
}

OptionGroup* FamilyWindow::findOption(const std::string& which)
{
    for (auto& group : options_)
        if (matches(which, group.name, group.caption, group.shortName))
            return &group;
    return nullptr;
}

AutoStep* FamilyWindow::findAutoStep(const std::string& which)
{
    for (auto& step : autoSteps_)
        if (matches(which, step.name, step.caption, step.shortName))
            return &step;
    return nullptr;
}

AddressField* FamilyWindow::findField(const std::string& which)
{
    for (auto& field : fields_)
        if (matches(which, field.name, field.caption, field.shortName))
            return &field;
    return nullptr;
}

FlagControl* FamilyWindow::findFlag(const std::string& which)
{
    for (auto& flag : flags_)
        if (matches(which, flag.name, flag.caption, flag.shortName))
            return &flag;
    return nullptr;
}

ValueField* FamilyWindow::findValue(const std::string& which)
{
    for (auto& field : values_)
        if (matches(which, field.name, field.caption, field.shortName))
            return &field;
    return nullptr;
}

ButtonControl* FamilyWindow::findButton(Role role)
{
    for (auto& button : buttons_)
        if (role != Role::None && button.role == role)
            return &button;
    return nullptr;
}

AutoStep* FamilyWindow::findAutoStep(Role role)
{
    for (auto& step : autoSteps_)
        if (role != Role::None && step.role == role)
            return &step;
    return nullptr;
}

AddressField* FamilyWindow::findField(Role role)
{
    for (auto& field : fields_)
        if (role != Role::None && field.role == role)
            return &field;
    return nullptr;
}

bool FamilyWindow::press(const std::string& which)
{
    if (ButtonControl* button = findButton(which)) {
        if (button->enabled && button->run && !hidden_)
            button->run();
        return true;
    }
    // Auto and Exit belong to the frame; a family need not declare them. The
    // user names them as the windows do.
    for (const Role role : {Role::Auto, Role::Exit}) {
        const StandardName* s = standard(role);
        if (matches(which, s->name, s->handler, s->caption) || which == s->shortName)
            return press(role);
    }
    return false;
}

bool FamilyWindow::press(Role role)
{
    if (ButtonControl* button = findButton(role)) {
        if (button->enabled && button->run && !hidden_)
            button->run();
        return true;
    }
    if (role == Role::Auto) {
        Button1Click();
        return true;
    }
    if (role == Role::Exit) {
        CancelBtnClick();
        return true;
    }
    return false;
}

std::string chipSizeText(const std::string& what, int64_t bytes)
{
    return what + ": микросхема вмещает " + std::to_string(bytes) + " байт";
}

void FamilyWindow::editField(const std::string& which, const std::string& text)
{
    AddressField* field = findField(which);
    if (!field)
        return;
    // As "%x" reads it; no number leaves the field as it was.
    if (const std::optional<uint64_t> typed = parseHex(text, hex::kScanf)) {
        int64_t value = static_cast<int64_t>(*typed);
        // The Length field holds a last address: none past the chip's end.
        const int64_t bytes = chipBytes();
        if (field->role == Role::Length && bytes > 0 && value > bytes - 1) {
            value = bytes - 1;
            setMessage(chipSizeText("Длина больше микросхемы", bytes));
        }
        field->value = adjustField(*field, value);
    }
    field->text = hexText(field->value, "%llx");
    changed();
}

bool FamilyWindow::editValue(const std::string& which, const std::string& text)
{
    ValueField* field = findValue(which);
    if (!field)
        return false;
    int64_t value = 0;
    const bool taken = field->enabled && parseWhole(text, field->base, value) && value >= field->minimum &&
                       value <= field->maximum;
    if (taken)
        field->value = value;
    field->text = valueText(*field, field->value);
    if (taken && field->changed)
        field->changed();
    changed();
    return taken;
}

bool FamilyWindow::setFlag(const std::string& which, bool checked)
{
    FlagControl* flag = findFlag(which);
    if (!flag)
        return false;
    if (flag->enabled && flag->checked != checked) {
        flag->checked = checked;
        if (flag->changed)
            flag->changed();
    }
    changed();
    return true;
}

bool FamilyWindow::selectOption(const std::string& which, int item)
{
    OptionGroup* group = findOption(which);
    if (!group || item < 0 || static_cast<size_t>(item) >= group->items.size())
        return false;
    if (group->selected != item) {
        group->selected = item;
        if (group->changed)
            group->changed();
    }
    changed();
    return true;
}

int FamilyWindow::option(const std::string& which) const
{
    for (const auto& group : options_)
        if (matches(which, group.name, group.caption, group.shortName))
            return group.selected;
    return -1;
}

void FamilyWindow::setFieldValue(const std::string& which, int64_t value)
{
    if (AddressField* field = findField(which)) {
        field->value = value;
        field->text = hexText(value, "%llx");
        changed();
    }
}

int64_t FamilyWindow::fieldValue(const std::string& which) const
{
    for (const auto& field : fields_)
        if (matches(which, field.name, field.caption, field.shortName))
            return field.value;
    return 0;
}

void FamilyWindow::setFieldValue(Role role, int64_t value)
{
    if (AddressField* field = findField(role)) {
        field->value = value;
        field->text = hexText(value, "%llx");
        changed();
    }
}

int64_t FamilyWindow::fieldValue(Role role) const
{
    for (const auto& field : fields_)
        if (role != Role::None && field.role == role)
            return field.value;
    return 0;
}

void FamilyWindow::setValue(const std::string& which, int64_t value)
{
    if (ValueField* field = findValue(which)) {
        field->value = std::clamp(value, field->minimum, field->maximum);
        field->text = valueText(*field, field->value);
        changed();
    }
}

int64_t FamilyWindow::value(const std::string& which) const
{
    for (const auto& field : values_)
        if (matches(which, field.name, field.caption, field.shortName))
            return field.value;
    return 0;
}

bool FamilyWindow::flag(const std::string& which) const
{
    for (const auto& f : flags_)
        if (matches(which, f.name, f.caption, f.shortName))
            return f.checked;
    return false;
}

bool FamilyWindow::acceptChip(const ChipSelection& chip)
{
    chip_ = chip;
    chipBytes_ = 0;
    FillVariantTable();
    if (variantValid(chip.VariantIndex))
        return true;
    // A list entry naming a row the table does not have must not index past it.
    char text[64];
    std::snprintf(text, sizeof text, "Нет типа %d в таблице!", chip.VariantIndex);
    refuse(text);
    return false;
}

void FamilyWindow::selectRangeChip(const ChipSelection& chip, const std::function<RangeChip(int row)>& useRow)
{
    if (!acceptChip(chip)) {
        // A list line that names no row of this window: nothing is set up and
        // no command runs until a real chip is chosen.
        useRow(0);
        return;
    }
    const RangeChip r = useRow(chip.VariantIndex);
    setChipBytes(static_cast<int64_t>(r.addressMask) + 1);
    try {
        link.ResetSocket();
        if (!link.Connected()) {
            setMessage(connectionErrorText());
            return;
        }
        setMessage(r.readyText);
        host.fileNew();
        show();
        if (r.shown)
            r.shown();
        setCaption(format("0 to %x", r.addressMask));
        setChipNameText(chip.ChipName);
        host.setEndAddress(r.addressMask);
        host.showPage();
        link.SetVppVoltage(0);
        link.RouteGnd(r.groundPin);
        link.InitSocket();
        setProgressMax(r.addressMask);
        // Shown again as "%x" from what they hold.
        setFieldValue(Role::BufferStart, fieldValue(Role::BufferStart));
        setFieldValue(Role::ChipStart, fieldValue(Role::ChipStart));
        setFieldValue(Role::Length, r.addressMask);
        link.Flush();
    } catch (const LinkLost&) {
        // The link has told the user; the window stays for the buffer's sake.
        noteLinkLost();
        setMessage(connectionErrorText());
    }
}

// --- side documents ------------------------------------------------------------------

std::string FamilyWindow::sideDocumentPath(const SideDocument& document) const
{
    const std::string data = host.dataFileName();
    if (data.empty())
        return {};
    const std::string path = sideFilePath(data, document.extension);
    // Windows names are case-blind: "X.con" is the same file as "X.CON" there.
    return equalsIgnoreCase(path, data) ? std::string() : path;
}

void FamilyWindow::loadSideDocuments()
{
    for (const SideDocument& document : sideDocuments_) {
        const std::string path = sideDocumentPath(document);
        if (path.empty() || !document.load)
            continue;
        // A side file that is not there, or cannot be opened, is skipped.
        std::ifstream in(path, std::ios::binary);
        if (!in)
            continue;
        const std::string contents((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        document.load(contents);
    }
    changed();
}

void FamilyWindow::saveSideDocuments()
{
    for (const SideDocument& document : sideDocuments_) {
        const std::string path = sideDocumentPath(document);
        if (path.empty() || !document.save)
            continue;
        // A failed save never leaves half a file in place of a good one.
        std::string error;
        if (!writeFileAtomically(path, document.save(), error))
            prompt().showMessage("Не удалось записать файл " + path);
    }
}

// --- visible state -------------------------------------------------------------

void FamilyWindow::changed()
{
    host.familyChanged(*this);
}

void FamilyWindow::setMessage(const std::string& text)
{
    message_ = text;
    changed();
}

void FamilyWindow::setCaption(const std::string& text)
{
    caption_ = text;
    changed();
}

void FamilyWindow::setChipNameText(const std::string& text)
{
    chipNameText_ = text;
    changed();
}

void FamilyWindow::setIdText(const std::string& text)
{
    idText_ = text;
    changed();
}

void FamilyWindow::setProgressMax(int64_t max)
{
    progressMax_ = max;
}

void FamilyWindow::setAddressDigits(int digits)
{
    addressDigits_ = digits;
}

void FamilyWindow::progress(int64_t address)
{
    progressValue_ = address;
    addressText_ = hexText(address, addressDigits_ == 4 ? "%04llx" : "%06llx");
    changed();
    // The repaint above is where a GUI sees Escape or a close: a stop asked
    // for there ends the command here, before anything more is sent.
    if (stopRequested_ && commandDepth_ > 0)
        throw StopRequested{};
}

void FamilyWindow::setOutcome(Outcome outcome, int flag)
{
    outcome_ = outcome;
    errorCode_ = outcome == Outcome::Failed && flag != 0 ? flag : 1;
}

void FamilyWindow::fail(const std::string& text, int flag)
{
    setOutcome(Outcome::Failed, flag);
    setMessage(text);
}

void FamilyWindow::refuse(const std::string& text)
{
    setOutcome(Outcome::Refused);
    setMessage(text);
}

void FamilyWindow::succeed(const std::string& text)
{
    setOutcome(Outcome::Ok);
    setMessage(text);
}

void FamilyWindow::requestStop()
{
    if (commandDepth_ > 0 || autoRunning_)
        stopRequested_ = true;
}

void FamilyWindow::show()
{
    visible_ = true;
    hidden_ = false;
    changed();
}

void FamilyWindow::hide()
{
    hidden_ = true;
    visible_ = false;
    changed();
}

// --- command frame ---------------------------------------------------------------

void FamilyWindow::suppliesOff()
{
    const ProgrammerLink::Shadows& s = link.shadows();
    // Vpp leaves the pins before its level drops; Vcc returns to its normal
    // level before its switch opens (as RouteRaisedSupply 0 does); the clock last.
    if (s.vppRouteA != 0x00 || (s.vppRouteB & 0x7F) != 0x00)
        link.RouteVpp(0);
    if ((s.pinLatch[6] & 0x0F) != 0x0F)
        link.SetVppVoltage(0);
    if ((s.vppRouteB & 0x80) == 0)
        link.SetVccVoltage(5);
    if (s.vccRouteA != 0xFF || (s.vccGndRoute & 0x07) != 0x07)
        link.RouteVcc(0);
    if (clockRouted(s))
        link.RouteClock(0);
}

void FamilyWindow::runCommand(const std::string& busyText, const std::function<void()>& body)
{
    if (commandDepth_ > 0) {
        // A command run from inside another: the outer frame owns the supplies.
        if (!busyText.empty())
            setMessage(busyText);
        body();
        return;
    }
    if (hidden_) {
        setOutcome(Outcome::Refused);
        return;
    }
    setOutcome(Outcome::Ok);
    if (!link.Connected()) {
        // Offline every read gives 255: a command would report a chip that is not there.
        refuse(connectionErrorText());
        return;
    }
    struct Depth {
        FamilyWindow& window;
        explicit Depth(FamilyWindow& w) : window(w) { ++window.commandDepth_; }
        ~Depth()
        {
            if (--window.commandDepth_ == 0 && !window.autoRunning_)
                window.stopRequested_ = false;
        }
    };
    SuppliesGuard guard(*this);
    Depth depth(*this);
    // Shown once the command counts as running: a stop asked for while the
    // busy text paints ends it at its first progress step.
    if (!busyText.empty())
        setMessage(busyText);
    try {
        body();
    } catch (const LinkLost&) {
        // The link has told the user already; the guard sends nothing more.
        setOutcome(Outcome::LinkLost);
        setMessage(connectionErrorText());
    } catch (const StopRequested&) {
        setOutcome(Outcome::Stopped);
        setMessage(kStopped);
    }
}

void FamilyWindow::Button1Click()
{
    if (hidden_) {
        setOutcome(Outcome::Refused);
        return;
    }
    bool writeTicked = false;
    for (const auto& step : autoSteps_)
        writeTicked = writeTicked || (step.checked && step.enabled && step.role == Role::Write);
    if (writeTicked && !writeSourceExists()) {
        setOutcome(Outcome::Refused);
        prompt().showMessage("必须打开文件才能执行写操作！");
        return;
    }
    setOutcome(Outcome::Ok);
    if (!link.Connected()) {
        refuse(connectionErrorText());
        return;
    }
    struct Running {
        FamilyWindow& window;
        explicit Running(FamilyWindow& w) : window(w) { window.autoRunning_ = true; }
        ~Running()
        {
            window.autoRunning_ = false;
            window.stopRequested_ = false;
        }
    } running(*this);
    for (auto& step : autoSteps_) {
        if (!step.checked || !step.enabled || !step.run)
            continue;
        // Each step is a command of its own: refusal, guard and stop as when pressed.
        runCommand("", step.run);
        if (outcome_ != Outcome::Ok)
            break;
        if (stopRequested_) {
            // Asked for after the step's last progress step: no further step runs.
            setOutcome(Outcome::Stopped);
            setMessage(kStopped);
            break;
        }
    }
    if (outcome_ == Outcome::Ok) {
        setMessage("Авто ОК!");
        host.countSuccess();
    }
}

void FamilyWindow::MFGClick()
{
    setIdText(host.readIdCode());
    // The ID reader leaves its 12.5 V level selected; the socket rests at 0 V.
    try {
        if (link.Connected()) {
            suppliesOff();
            link.Flush();
        }
    } catch (const LinkLost&) {
        setOutcome(Outcome::LinkLost);
    }
}

void FamilyWindow::CancelBtnClick()
{
    close();
}

void FamilyWindow::close()
{
    if (!visible_)
        return;
    visible_ = false;
    OnClose();
    saveSideDocuments();
    changed();
}

void FamilyWindow::OnClose()
{
    try {
        link.InitSocket();
        link.Flush();
    } catch (const LinkLost&) {
        setOutcome(Outcome::LinkLost);
    }
}

// --- shared loops ------------------------------------------------------------------

namespace {

// The units a loop has queued whose replies it has not taken yet, in order.
// With N replies a unit, at most the link's reply window of reply bytes is
// owed, as ReadAhead keeps them. A unit whose command keeps the box busy (a
// 256-byte blank check or sum) is taken once the next one is queued: the
// next block's address and command wait in the box's input buffer while it
// works (the link keeps them within it), so the adapter's latency is not
// paid per block, and a check that stops has sent one block more than the
// plain loop, a read that changes nothing on the chip.
class UnitPipeline {
public:
    UnitPipeline(ProgrammerLink& link, const ReadUnit& unit,
                 const std::function<bool(uint32_t, uint32_t)>& take)
        : link_(link), unit_(unit), take_(take),
          long_(unit.longCommand || (!unit.command.empty() && ProgrammerLink::IsLongCommand(unit.command[0])))
    {
        replies_.resize(static_cast<size_t>(std::max(unit.replies, 1)));
    }

    bool read(uint32_t address)
    {
        if (stopped_)
            return false;
        link_.QueueCommand(unit_.command.data(), unit_.command.size(), unit_.replies, unit_.longCommand);
        pending_.push_back(address);
        const size_t perUnit = static_cast<size_t>(std::max(unit_.replies, 1));
        const size_t window = static_cast<size_t>(link_.ReplyWindow()) / perUnit;
        const size_t keep = long_ ? std::min<size_t>(window, 1) : window;
        return settle(keep);
    }

    bool drain() { return settle(0); }
    bool stopped() const { return stopped_; }

private:
    bool settle(size_t keep)
    {
        while (!stopped_ && pending_.size() > keep) {
            const uint32_t address = pending_.front();
            pending_.pop_front();
            for (int k = 0; k < unit_.replies; ++k)
                replies_[static_cast<size_t>(k)] = link_.ReceiveByte();
            const uint32_t value = unit_.value ? unit_.value(replies_.data()) : replies_[0];
            if (!take_(address, value)) {
                stopped_ = true;
                pending_.clear();
                link_.DiscardReplies();
            }
        }
        return !stopped_;
    }

    ProgrammerLink& link_;
    const ReadUnit& unit_;
    const std::function<bool(uint32_t, uint32_t)>& take_;
    const bool long_;
    std::deque<uint32_t> pending_;
    std::vector<uint8_t> replies_;
    bool stopped_ = false;
};

} // namespace

bool FamilyWindow::scanRange(const ReadRange& range,
                             const std::function<bool(uint32_t address, uint32_t value)>& take)
{
    const ReadRange::Progress& p = range.progress;
    const int64_t base = p.fromFirst ? range.first : 0;
    std::function<bool(uint32_t, uint32_t)> shown = [&](uint32_t a, uint32_t value) {
        // Progress where the plain loop shows it: just before the address is looked at.
        if (p.every > 0 && (static_cast<int64_t>(a) - base) % p.every == p.phase)
            progress(static_cast<int64_t>(a) + p.shift);
        return take(a, value);
    };
    UnitPipeline pipeline(link, range.unit, shown);
    const int64_t step = std::max<int64_t>(range.step, 1);
    for (int64_t a = range.first; a <= range.last; a += step) {
        if (range.setAddress && range.addressEvery > 0 && a % range.addressEvery == 0) {
            // A set-up that reads the box must not have its reply taken for a queued one.
            if (range.setAddressReads && !pipeline.drain())
                return false;
            range.setAddress(static_cast<uint32_t>(a));
        }
        if (!pipeline.read(static_cast<uint32_t>(a)))
            return false;
        if (range.next)
            range.next();
    }
    if (!pipeline.drain())
        return false;
    progress(std::max(range.last, range.first));
    return true;
}

bool FamilyWindow::readRange(const ReadRange& range)
{
    uint8_t* data = buffer.data();
    return scanRange(range, [&](uint32_t a, uint32_t value) {
        const int64_t offset = range.bufferStart + (static_cast<int64_t>(a) - range.first);
        for (int k = 0; k < range.unitBytes; ++k)
            if (offset + k >= 0 && offset + k <= DeviceBuffer::kLastAddress)
                data[offset + k] = static_cast<uint8_t>((value & range.mask) >> (8 * k));
        return true;
    });
}

bool FamilyWindow::verifyRange(const ReadRange& range)
{
    const uint8_t* data = buffer.data();
    return scanRange(range, [&](uint32_t a, uint32_t value) {
        const int64_t offset = range.bufferStart + (static_cast<int64_t>(a) - range.first);
        uint32_t expected = 0;
        for (int k = 0; k < range.unitBytes; ++k)
            if (offset + k >= 0 && offset + k <= DeviceBuffer::kLastAddress)
                expected |= static_cast<uint32_t>(data[offset + k]) << (8 * k);
        if ((value & range.mask) == (expected & range.mask))
            return true;
        fail(formatThree(range.failureFormat, a, expected & range.mask, value & range.mask));
        if (range.progress.atFailure)
            progress(a);
        return false;
    });
}

bool FamilyWindow::blankRange(const ReadRange& range)
{
    return scanRange(range, [&](uint32_t a, uint32_t value) {
        const bool blank =
            range.blankWhen ? range.blankWhen(value) : (value & range.mask) == (range.erased & range.mask);
        if (blank)
            return true;
        fail(formatThree(range.failureFormat, a, range.erased & range.mask, value & range.mask));
        if (range.progress.atFailure)
            progress(a);
        return false;
    });
}

UserPrompt& FamilyWindow::prompt()
{
    return flushingPrompt_;
}

UserPrompt& FamilyWindow::FlushingPrompt::flushed()
{
    if (window_.link.Connected())
        window_.link.Flush();
    return window_.host.prompt();
}

bool FamilyWindow::FlushingPrompt::askYesNo(const std::string& text)
{
    return flushed().askYesNo(text);
}
bool FamilyWindow::FlushingPrompt::askYesCancel(const std::string& text)
{
    return flushed().askYesCancel(text);
}
std::optional<std::string> FamilyWindow::FlushingPrompt::askValue(const std::string& text,
                                                                  const std::string& defaultValue)
{
    return flushed().askValue(text, defaultValue);
}
void FamilyWindow::FlushingPrompt::showMessage(const std::string& text)
{
    flushed().showMessage(text);
}
void FamilyWindow::FlushingPrompt::showBox(const std::string& text)
{
    flushed().showBox(text);
}

} // namespace pontvex

#include "catalogue/FamilyWindow.h"

#include <cctype>
#include <cstdio>

namespace pontvex {

namespace {

std::string hexText(int64_t value, const char* format)
{
    char text[32];
    std::snprintf(text, sizeof text, format, static_cast<unsigned long long>(value));
    return text;
}

// Reads a typed number the way "%x" does: blanks, an optional 0x, then hex
// digits up to the first other character. No digits, a sign or more than 32
// bits give nothing, so the field keeps its value.
bool parseHex(const std::string& text, int64_t& value)
{
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X') &&
        i + 2 < text.size() && std::isxdigit(static_cast<unsigned char>(text[i + 2])))
        i += 2;
    uint64_t result = 0;
    size_t digits = 0;
    for (; i < text.size() && std::isxdigit(static_cast<unsigned char>(text[i])); ++i, ++digits) {
        const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(text[i])));
        result = result * 16 + static_cast<uint64_t>(c <= '9' ? c - '0' : c - 'a' + 10);
        if (result > 0xFFFFFFFFull)
            return false;
    }
    if (digits == 0)
        return false;
    value = static_cast<int64_t>(result);
    return true;
}

bool matches(const std::string& which, const std::string& a, const std::string& b, const std::string& c)
{
    return !which.empty() && (which == a || which == b || which == c);
}

bool isWriteStep(const AutoStep& step)
{
    return step.shortName == "write" || step.caption == "Записать";
}

} // namespace

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
            window_.suppliesOff();
            window_.link.Flush();
        } catch (...) {
            // Queued bytes never reached the box: whatever the body said, it failed.
            window_.ErrorFlag = 1;
            try {
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
    ButtonControl button;
    button.name = std::move(name);
    button.handler = std::move(handler);
    button.caption = std::move(caption);
    button.shortName = std::move(shortName);
    button.run = std::move(run);
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
    AutoStep step;
    step.name = std::move(name);
    step.caption = std::move(caption);
    step.shortName = std::move(shortName);
    step.checked = checked;
    step.run = std::move(run);
    autoSteps_.push_back(std::move(step));
    return autoSteps_.back();
}

AddressField& FamilyWindow::addField(std::string name, std::string caption, std::string shortName,
                                     int64_t value)
{
    AddressField field;
    field.name = std::move(name);
    field.caption = std::move(caption);
    field.shortName = std::move(shortName);
    field.value = value;
    field.text = hexText(value, "%06llx");
    fields_.push_back(std::move(field));
    return fields_.back();
}

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

bool FamilyWindow::press(const std::string& which)
{
    if (ButtonControl* button = findButton(which)) {
        if (button->enabled && button->run)
            button->run();
        return true;
    }
    // Auto and Exit belong to the frame; a family need not declare them.
    if (which == "Button1" || which == "Button1Click" || which == "Авто" || which == "auto") {
        Button1Click();
        return true;
    }
    if (which == "CancelBtn" || which == "CancelBtnClick" || which == "Выход" || which == "exit") {
        CancelBtnClick();
        return true;
    }
    return false;
}

void FamilyWindow::editField(const std::string& which, const std::string& text)
{
    AddressField* field = findField(which);
    if (!field)
        return;
    int64_t value = 0;
    if (parseHex(text, value))
        field->value = adjustField(*field, value);
    field->text = hexText(field->value, "%llx");
    changed();
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

bool FamilyWindow::acceptChip(const ChipSelection& chip)
{
    chip_ = chip;
    FillVariantTable();
    if (variantValid(chip.VariantIndex))
        return true;
    // A list entry naming a row the table does not have must not index past it.
    char text[64];
    std::snprintf(text, sizeof text, "Нет типа %d в таблице!", chip.VariantIndex);
    fail(text);
    return false;
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
}

void FamilyWindow::fail(const std::string& text)
{
    ErrorFlag = 1;
    setMessage(text);
}

void FamilyWindow::succeed(const std::string& text)
{
    ErrorFlag = 0;
    setMessage(text);
}

void FamilyWindow::show()
{
    visible_ = true;
    changed();
}

// --- command frame ---------------------------------------------------------------

void FamilyWindow::suppliesOff()
{
    const ProgrammerLink::Shadows& s = link.shadows();
    // Vpp leaves the pins before its level drops, then Vcc, then the clock.
    if (s.vppRouteA != 0x00 || (s.vppRouteB & 0x7F) != 0x00)
        link.RouteVpp(0);
    if ((s.pinLatch[6] & 0x0F) != 0x0F)
        link.SetVppVoltage(0);
    if (s.vccRouteA != 0xFF || (s.vccGndRoute & 0x07) != 0x07)
        link.RouteVcc(0);
    // The clock is routed by pulling aux bit 4 (pin 19) or bit 5 (pin 15) low.
    const uint8_t clock = s.aux & 0x70;
    if (clock == 0x60 || clock == 0x50)
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
    if (!link.Connected()) {
        // Offline every read gives 255: a command would report a chip that is not there.
        setMessage(connectionErrorText());
        ErrorFlag = 1;
        return;
    }
    if (!busyText.empty())
        setMessage(busyText);
    struct Depth {
        int& depth;
        explicit Depth(int& d) : depth(d) { ++depth; }
        ~Depth() { --depth; }
    };
    SuppliesGuard guard(*this);
    Depth depth(commandDepth_);
    try {
        body();
    } catch (const LinkLost&) {
        // The link has told the user already; the guard sends nothing more.
        ErrorFlag = 1;
        setMessage(connectionErrorText());
    }
}

void FamilyWindow::Button1Click()
{
    bool writeTicked = false;
    for (const auto& step : autoSteps_)
        writeTicked = writeTicked || (step.checked && step.enabled && isWriteStep(step));
    if (writeTicked && !host.hexViewExists()) {
        ErrorFlag = 1;
        prompt().showMessage("必须打开文件才能执行写操作！");
        return;
    }
    if (!link.Connected()) {
        setMessage(connectionErrorText());
        ErrorFlag = 1;
        return;
    }
    ErrorFlag = 0;
    {
        SuppliesGuard guard(*this);
        try {
            for (auto& step : autoSteps_) {
                if (ErrorFlag != 0)
                    break;
                if (step.checked && step.enabled && step.run)
                    step.run();
            }
        } catch (const LinkLost&) {
            ErrorFlag = 1;
            setMessage(connectionErrorText());
        }
    }
    if (ErrorFlag == 0) {
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
        ErrorFlag = 1;
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
    changed();
}

void FamilyWindow::OnClose()
{
    try {
        link.InitSocket();
        link.Flush();
    } catch (const LinkLost&) {
        ErrorFlag = 1;
    }
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
void FamilyWindow::FlushingPrompt::showMessage(const std::string& text)
{
    flushed().showMessage(text);
}
void FamilyWindow::FlushingPrompt::showBox(const std::string& text)
{
    flushed().showBox(text);
}

} // namespace pontvex

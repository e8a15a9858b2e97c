#include "families/pic/PicSerialWindow.h"

#include "core/Text.h"
#include "families/pic/PicTexts.h"

namespace pontvex {

using namespace pictext;

namespace {
constexpr uint16_t kWordMask = 0x3FFF;
// Box commands of the serial programming mode.
constexpr uint8_t kPicCommand = 168;
constexpr uint8_t kPicRead = 169;
constexpr uint8_t kPicLoad = 170;

uint16_t frameWord(uint8_t low, uint8_t high)
{
    // Start bit in bit 0, stop bit in bit 15.
    return static_cast<uint16_t>(((high << 8 | low) >> 1) & kWordMask);
}
} // namespace

PicSerialWindow::PicSerialWindow(std::string className, ProgrammerLink& link, FamilyHost& host)
    : FamilyWindow(std::move(className), link, host)
{
    setAddressDigits(4);
}

std::string PicSerialWindow::rowName(int index) const
{
    if (index < 0 || index >= static_cast<int>(rows_.size()))
        return {};
    return rows_[static_cast<size_t>(index)].name;
}

const PicRow* PicSerialWindow::row() const
{
    const int index = chip_.VariantIndex;
    if (index < 1 || index > rowCount())
        return nullptr;
    return &rows_[static_cast<size_t>(index)];
}

int PicSerialWindow::packageVccPin() const
{
    const PicRow* r = row();
    return r ? r->vcc : 0;
}

std::string PicSerialWindow::connectionErrorText() const
{
    return kNoLink;
}

const char* PicSerialWindow::packageText(int vccPin)
{
    switch (vccPin) {
    case 32:
        return kDip40;
    case 26:
        return kDip28;
    case 25:
        return kDip18;
    default:
        return "";
    }
}

void PicSerialWindow::SelectChip(const ChipSelection& chip)
{
    try {
        link.ResetSocket();
        if (!acceptChip(chip))
            return;
        // Program memory, two buffer bytes a word.
        setChipBytes(static_cast<int64_t>(row()->lastAddress) + 1);
        host.fileNew();
        show();
        FillVariantTable();
        setMessage(link.Connected() ? kConnected : kNoLink);
        const PicRow* r = row();
        setProgressMax(r->lastAddress);
        host.setEndAddress(r->lastAddress);
        host.showPage();
        setIdText(packageText(r->vcc));
        setChipNameText(chip.ChipName);
        link.Flush();
    } catch (const LinkLost&) {
        noteLinkLost();
        setMessage(kNoLink);
    }
}

// --- box commands --------------------------------------------------------------

void PicSerialWindow::SendPicCommand(uint8_t c)
{
    link.SendByte(kPicCommand);
    link.SendByte(c);
}

uint16_t PicSerialWindow::ReadPicWord(uint8_t c)
{
    link.SendByte(kPicRead);
    link.SendByte(c);
    const uint8_t low = link.ReceiveByte();
    const uint8_t high = link.ReceiveByte();
    return frameWord(low, high);
}

void PicSerialWindow::LoadPicWord(uint8_t c, uint16_t v)
{
    const auto frame = static_cast<uint16_t>(v << 1);
    link.SendByte(kPicLoad);
    link.SendByte(c);
    link.SendByte(static_cast<uint8_t>(frame));
    link.SendByte(static_cast<uint8_t>(frame >> 8));
}

// --- building blocks -------------------------------------------------------------

void PicSerialWindow::PowerUpChip()
{
    const PicRow& r = *row();
    for (int p = 1; p <= 40; ++p)
        if (p != 20)
            link.SetPin(p, 1);
    link.FloatPin(40);
    link.SetVppVoltage(vppMillivolts_);
    link.LinkDelay(100);
    link.RouteGnd(r.gnd);
    link.RouteVcc(r.vcc);
    link.SetPin(r.clock, 0);
    link.SetPin(r.data, 0);
    link.DrivePin(r.data);
    link.DrivePin(r.clock);
    link.SetPin(r.vpp, 0);
    link.DrivePin(r.vpp);
}

void PicSerialWindow::EnterProgramMode()
{
    PowerUpChip();
    link.RouteVpp(row()->vpp);
    link.WriteLatch(1, 0);
}

uint16_t PicSerialWindow::ReadNextWord()
{
    const uint16_t w = ReadPicWord(codes_.readProgram);
    SendPicCommand(codes_.increment);
    return w & kWordMask;
}

void PicSerialWindow::ProgramConfigLocation(int k, uint16_t v)
{
    LoadPicWord(codes_.loadConfig, v);
    for (int i = 0; i < k; ++i)
        SendPicCommand(codes_.increment);
    SendPicCommand(codes_.beginProgramming);
    link.LinkDelay(300);
}

void PicSerialWindow::PowerOff()
{
    link.RouteVpp(0);
    link.RouteVcc(0);
}

ReadRange PicSerialWindow::programRange()
{
    ReadRange range;
    range.last = row()->lastAddress;
    range.step = 2;
    range.unitBytes = 2;
    range.mask = kWordMask;
    range.erased = kWordMask;
    range.unit.command = {kPicRead, codes_.readProgram};
    range.unit.replies = 2;
    range.unit.value = [](const uint8_t* replies) { return frameWord(replies[0], replies[1]); };
    range.next = [this] { SendPicCommand(codes_.increment); };
    range.progress.every = 16;
    range.progress.atFailure = true;
    range.failureFormat = kError;
    return range;
}

bool PicSerialWindow::needHexView()
{
    if (host.hexViewExists())
        return true;
    setOutcome(Outcome::Refused);
    prompt().showMessage(kNeedFile);
    return false;
}

void PicSerialWindow::command(const std::string& busyText, const std::function<void()>& body)
{
    runCommand(busyText, [this, &body] {
        // A list entry past the table: nothing to work on.
        if (!row()) {
            fail(format(kNoRow, chip_.VariantIndex));
            return;
        }
        body();
    });
}

// --- configuration controls ---------------------------------------------------------

pic::ConfigOptions PicSerialWindow::options() const
{
    pic::ConfigOptions o;
    o.protect = flag("Sec");
    o.watchdog = flag("WDT");
    o.powerUpTimer = flag("PWRT3");
    o.oscillator = option("osc");
    return o;
}

void PicSerialWindow::showOptions(const pic::ConfigOptions& o)
{
    findFlag("Sec")->checked = o.protect;
    findFlag("WDT")->checked = o.watchdog;
    findFlag("PWRT3")->checked = o.powerUpTimer;
    findOption("osc")->selected =
        o.oscillator >= 0 && o.oscillator <= 3 ? o.oscillator : pic::kDefaultOscillator;
    changed();
}

void PicSerialWindow::BuildConfigWord()
{
    ConfigWord = pic::configWord(options());
    setMessage(format(kConfigShown, ConfigWord));
    IdWord = static_cast<uint16_t>(value("Edit1"));
}

void PicSerialWindow::ShowConfig()
{
    showOptions(pic::optionsOf(ConfigWord));
    setValue("Edit1", IdWord);
}

void PicSerialWindow::declareConfigControls()
{
    auto rebuild = [this] {
        // While a configuration is being read the controls show the chip's.
        if (!readingConfig_)
            BuildConfigWord();
    };
    addOption("RadioGroup1", kOscGroup, "osc", {" LP", " XT", " HS", " RC"}, pic::kDefaultOscillator)
        .changed = rebuild;
    addFlag("CheckBox1", "Sec", "sec", false).changed = rebuild;
    addFlag("CheckBox2", "WDT", "wdt", true).changed = rebuild;
    addFlag("CheckBox3", "PWRT3", "pwrt", false).changed = rebuild;
    addValue("Edit1", "ID", "id", ValueField::Base::Hex, 0, 0xFFFF, 4, 0xFFFF).changed = rebuild;
    addSideDocument(
        ".CON",
        [this](const std::string& contents) { showOptions(pic::readSettingsRecord(contents, options())); },
        [this] {
            const ValueField* id = findValue("Edit1");
            return pic::settingsRecord(options(), id ? id->text : std::string());
        });
    loadSideDocuments();
}

} // namespace pontvex

#include "families/pic/TP16c8x.h"

#include "core/Text.h"

#include <array>

namespace pontvex {

using namespace pictext;

namespace {
constexpr uint16_t kBlankWord = 0x3FFF;
// Erase modes of the "Режим стирания" group.
enum EraseMode { kEraseCode, kEraseData, kEraseBoth, kEraseAll };
} // namespace

TP16c8x::TP16c8x(ProgrammerLink& link, FamilyHost& host) : PicSerialWindow("TP16c8x", link, host)
{
    setCaption("P16C84");
    declareStandardControls({{Role::Erase, [this] { EraseClick(); }},
                             {Role::Blank, [this] { BlankClick(); }},
                             {Role::Write, [this] { WriteClick(); }},
                             {Role::Verify, [this] { VerifyClick(); }},
                             {Role::Config, [this] { WtConfigClick(); }},
                             {Role::ReadConfig, [this] { RdConfigClick(); }},
                             {Role::Read, [this] { ReadToFileClick(); }, "Счит.файл"},
                             {Role::Auto},
                             {Role::Exit}});
    ButtonControl* read = findButton(Role::Read);
    read->name = "ReadToFile";
    read->handler = "ReadToFileClick";
    declareAutoSteps({{Role::Erase, false},
                      {Role::Blank, false},
                      {Role::Write, true},
                      {Role::Verify, true},
                      {Role::Config, false}});
    for (AutoStep& step : autoSteps()) {
        if (step.role == Role::Erase)
            step.name = "CheckBoxErase";
        else if (step.role == Role::Blank)
            step.name = "CheckBoxBlank";
        else if (step.role == Role::Write)
            step.name = "CheckBoxWrite";
        else if (step.role == Role::Verify)
            step.name = "CheckBoxVer";
    }
    addOption("RadioGroup2", kEraseGroup, "erase-mode", {"Код", "Данные", "Код+данные", "Все"}, kEraseAll);
    addOption("Speed", kSpeedGroup, "speed", {"1 мсек/байт", "2 мсек/байт", "4 мсек/байт"}, 0);
    FillVariantTable();
    declareConfigControls();
}

void TP16c8x::FillVariantTable()
{
    // The 40-pin parts' RB7 is pin 40: the box clocks data there, and with
    // any other pin RB7 would float high while MCLR rises, so the chip would
    // never enter programming mode.
    rows_ = {
        {"Exit", 0, 0, 0, 0, 0, 0},
        {"1: PIC16C83 (.5k)", 15, 25, 16, 23, 24, 1023},
        {"2: PIC16C/F84 (1k)", 15, 25, 16, 23, 24, 2047},
        {"3: PIC16C/F86 (2k)", 15, 25, 16, 23, 24, 4095},
        {"4: PIC16F83 (.5k)", 15, 25, 16, 23, 24, 1023},
        {"5: PIC16F84 (1k)", 15, 25, 16, 23, 24, 2047},
        {"6: PIC1FC86 (2k)", 15, 25, 16, 23, 24, 4095},
        {"7:PIC16F873 (4K)", 7, 26, 25, 33, 34, 8191},
        {"8: PIC16F874 (4K)", 1, 32, 31, 39, 40, 8191},
        {"9:PIC16F876 (8K)", 7, 26, 25, 33, 34, 16383},
        {"10: PIC16F877 (8K)", 1, 32, 31, 39, 40, 16383},
    };
}

int TP16c8x::speedIndex() const
{
    const int k = option("speed");
    return k < 0 ? 0 : k;
}

void TP16c8x::blankBody()
{
    EnterProgramMode();
    LoadPicWord(codes_.loadConfig, 0xFF);
    uint16_t config = 0;
    // Seven IDs and reserved words, then the configuration word at 0x2007.
    for (int i = 0; i < 8; ++i)
        config = ReadNextWord();
    PowerOff();
    if (config != kBlankWord) {
        fail(kConfigNotBlank);
        return;
    }
    EnterProgramMode();
    if (!blankRange(programRange()))
        return;
    PowerOff();
    succeed(kBlankOk);
}

void TP16c8x::WriteClick()
{
    command("", [this] {
        if (!needHexView())
            return;
        writeBody();
    });
}

void TP16c8x::writeBody()
{
    const int32_t last = row()->lastAddress;
    // Only 14 bits of a word exist: the buffer keeps what the chip will hold.
    uint8_t* data = buffer.data();
    for (int32_t a = 1; a <= last; a += 2)
        data[a] &= 0x3F;
    host.showPage();
    setMessage(kWriting);
    link.RouteVpp(0);
    PowerUpChip();
    link.LinkDelay(200);
    link.RouteVpp(row()->vpp);
    link.WriteLatch(1, 0);
    link.LinkDelay(200);
    const int wait = 50 * (speedIndex() + 1);
    for (int32_t a = 0; a <= last; a += 2) {
        if (a % 64 == 0)
            progress(a);
        const auto word = static_cast<uint16_t>(data[a] | data[a + 1] << 8);
        LoadPicWord(codes_.loadProgram, word);
        SendPicCommand(codes_.beginProgramming);
        link.LinkDelay(wait);
        SendPicCommand(codes_.increment);
    }
    link.RouteVpp(0);
    succeed(kWriteOk);
}

void TP16c8x::verifyBody()
{
    EnterProgramMode();
    if (!verifyRange(programRange()))
        return;
    PowerOff();
    succeed(kVerifyOk);
}

void TP16c8x::readBody()
{
    ChecksumWord = 0;
    EnterProgramMode();
    ReadRange range = programRange();
    range.failureFormat.clear();
    if (!readRange(range))
        return;
    const uint8_t* data = buffer.data();
    for (int32_t a = 0; a <= row()->lastAddress; ++a)
        ChecksumWord = static_cast<uint16_t>(ChecksumWord + data[a]);
    PowerOff();
    succeed(format(kReadOk, ChecksumWord));
    host.showPage();
    show();
}

void TP16c8x::eraseProgramMemory()
{
    PowerUpChip();
    link.RouteVcc(row()->vcc);
    link.RouteVpp(row()->vpp);
    link.WriteLatch(1, 0);
    SendPicCommand(9);
    LoadPicWord(codes_.loadProgram, 0xFFFF);
    SendPicCommand(codes_.beginProgramming);
    link.LinkDelay(5000);
    link.RouteVpp(0);
}

void TP16c8x::eraseDataMemory()
{
    PowerUpChip();
    link.RouteVpp(row()->vpp);
    link.WriteLatch(1, 0);
    SendPicCommand(11);
    LoadPicWord(codes_.loadProgram, 0xFFFF);
    SendPicCommand(codes_.beginProgramming);
    link.LinkDelay(5000);
    link.RouteVpp(0);
}

void TP16c8x::ClearProtection()
{
    PowerUpChip();
    link.RouteVpp(row()->vpp);
    link.WriteLatch(1, 0);
    LoadPicWord(codes_.loadConfig, 0xFFFF);
    for (int i = 0; i < 7; ++i)
        SendPicCommand(codes_.increment);
    SendPicCommand(1);
    SendPicCommand(7);
    SendPicCommand(codes_.beginProgramming);
    link.LinkDelay(500);
    SendPicCommand(1);
    SendPicCommand(7);
    link.RouteVpp(0);
}

void TP16c8x::eraseBody()
{
    switch (option("erase-mode")) {
    case kEraseCode:
        eraseProgramMemory();
        break;
    case kEraseData:
        eraseDataMemory();
        break;
    case kEraseBoth:
        eraseProgramMemory();
        eraseDataMemory();
        break;
    default:
        ClearProtection();
        eraseProgramMemory();
        break;
    }
    succeed(kEraseOk);
}

void TP16c8x::readConfigBody()
{
    ButtonControl* button = findButton(Role::ReadConfig);
    // The controls follow the chip, not the other way round, until it is read.
    struct Reading {
        TP16c8x& w;
        ButtonControl* button;
        Reading(TP16c8x& window, ButtonControl* b) : w(window), button(b)
        {
            w.readingConfig_ = true;
            button->enabled = false;
        }
        ~Reading()
        {
            w.readingConfig_ = false;
            button->enabled = true;
        }
    } reading(*this, button);
    EnterProgramMode();
    LoadPicWord(codes_.loadConfig, 0xFF);
    std::array<uint16_t, 8> w{};
    for (uint16_t& word : w)
        word = ReadNextWord();
    IdWord = pic::idFromLocations(w[0], w[1], w[2], w[3]);
    ConfigWord = w[7];
    PowerOff();
    ShowConfig();
    succeed(format(kConfigShown, ConfigWord));
}

void TP16c8x::writeConfigBody()
{
    BuildConfigWord();
    EnterProgramMode();
    LoadPicWord(codes_.loadConfig, 0xFFF);
    for (int k = 0; k < 4; ++k)
        ProgramConfigLocation(k, pic::idLocation(IdWord, k));
    ProgramConfigLocation(7, ConfigWord);
    PowerOff();
    succeed(kVerifyOk);
}

} // namespace pontvex

#include "families/flash/Flash28Windows.h"

#include "core/Text.h"
#include "link/ReadAhead.h"

namespace pontvex {

namespace {

constexpr uint32_t K = 1024;
constexpr int kCePin = 26;
constexpr int kOePin = 28;
constexpr int kWePin = 35;
constexpr int kGroundPin = 20;
constexpr uint8_t kReady = 0x80;

Flash28BootRow makeBootRow(const char* name, uint32_t size, uint8_t bootPin,
                           std::vector<std::pair<uint32_t, uint32_t>> blocks, uint32_t first, uint32_t last)
{
    return {MakeFlashRow(name, size, 5, 12000), bootPin, std::move(blocks), first, last};
}

} // namespace

const std::vector<Flash28BootRow>& TPi28f001x::Table()
{
    static const std::vector<Flash28BootRow> table = {
        {MakeFlashRow("???", 0, 0, 0), 0, {}, 0xFFFFFFFF, 0xFFFFFFFF},
        makeBootRow("i28f001 BX-T ", 128 * K, 28, {{112, 1}, {4, 2}, {8, 1}}, 0x1E000, 0x1FFFF),
        makeBootRow("i28f001 BX-B ", 128 * K, 28, {{8, 1}, {4, 2}, {112, 1}}, 0x0, 0x1FFF),
        makeBootRow("i28f002 BC-T ", 256 * K, 0, {{128, 1}, {96, 1}, {8, 2}, {16, 1}}, 0xFFFFFFFF,
                    0xFFFFFFFF),
        makeBootRow("i28f002 BC-B ", 256 * K, 0, {{16, 1}, {8, 2}, {96, 1}, {128, 1}}, 0xFFFFFFFF,
                    0xFFFFFFFF),
    };
    return table;
}

TPi28f001x::TPi28f001x(ProgrammerLink& link, FamilyHost& host) : FlashWindow("TPi28f001x", link, host)
{
    declareControls(nullptr);
}

void TPi28f001x::WriteFlashCommand(uint32_t address, uint8_t value)
{
    link.SetBusMode(15);
    SetFlashAddress(address);
    link.WriteLatch(2, value);
    link.FloatPin(kOePin);
    link.DrivePin(kCePin);
    link.DrivePin(kWePin);
    link.LinkDelay(1);
    link.FloatPin(kWePin);
    link.DrivePin(kOePin);
}

uint8_t TPi28f001x::ReadStatus()
{
    link.LinkDelay(1000);
    link.SetBusMode(12);
    uint8_t s = 0;
    for (int poll = 0; poll < 100; ++poll) {
        setMessage(format("%d", poll));
        link.DrivePin(kOePin);
        s = link.ReadPort(2);
        link.FloatPin(kOePin);
        if ((s & 0xB8) == kReady)
            break;
        link.LinkDelay(1000);
    }
    link.SetBusMode(15);
    return s;
}

bool TPi28f001x::blockErase(uint32_t address)
{
    const Flash28BootRow& r = bootRow();
    PrepareIdle();
    link.SetVppVoltage(r.base.VppMillivolts);
    link.RouteGnd(kGroundPin);
    link.LinkDelay(1000);
    link.RouteVcc(r.base.VccPin);
    link.RouteVpp(r.base.VppPin);
    const bool boot = r.bootVppPin != 0 && r.inBoot(address);
    if (boot)
        link.RouteVpp(r.bootVppPin);
    link.SetBusMode(15);
    link.FloatPin(kOePin);
    link.DrivePin(kCePin);
    WriteFlashCommand(address, 0x20);
    WriteFlashCommand(address, 0xD0);
    if (boot)
        link.UnrouteVpp(r.bootVppPin);
    const uint8_t s = ReadStatus();
    if ((s & 0xB8) != kReady) {
        // Vpp off before Vcc, then the error with the block and its status.
        suppliesOff();
        fail(format(flash_text::kMismatch, address, 0xFFu, static_cast<unsigned>(s)));
        return false;
    }
    return true;
}

void TPi28f001x::eraseSequence()
{
    const Flash28BootRow& r = bootRow();
    uint32_t a = 0;
    for (size_t i = 0; i < r.blocks.size() && i < 16 && r.blocks[i].second != 0; ++i) {
        for (uint32_t n = 0; n < r.blocks[i].second; ++n) {
            if (!blockErase(a))
                return;
            a += r.blocks[i].first * K;
            link.LinkDelay(1000);
            progress(a - 1);
        }
    }
    // Nothing left powered: the last block's 12 V and Vcc go off.
    PrepareIdle();
    link.SetVppVoltage(0);
    progress(r.base.AddressMask);
    succeed(flash_text::kUnprotectOkCyrillic);
}

void TPi28f001x::writeSequence(uint32_t chipStart, uint32_t bufferStart, uint32_t length)
{
    const Flash28BootRow& r = bootRow();
    PrepareIdle();
    link.FloatPin(kWePin);
    link.FloatPin(kOePin);
    link.DrivePin(kCePin);
    link.SetVppVoltage(r.base.VppMillivolts);
    link.RouteVcc(r.base.VccPin);
    link.RouteVpp(r.base.VppPin);
    link.RouteGnd(kGroundPin);
    link.LinkDelay(1000);
    link.SetBusMode(15);
    link.DrivePin(kCePin);
    link.FloatPin(kOePin);
    SetFlashAddress(chipStart);
    progress(chipStart);
    bool bootMode = false;
    for (uint32_t i = 0; i < length; ++i) {
        const uint32_t a = chipStart + i;
        if ((a & 0xFF) == 0)
            SetFlashAddress(a);
        // 12 V on OE only inside the boot block, and only where the row has a pin for it.
        if (r.bootVppPin != 0) {
            if (!bootMode && r.inBoot(a)) {
                link.RouteVpp(r.bootVppPin);
                bootMode = true;
                link.LinkDelay(100);
            } else if (bootMode && !r.inBoot(a)) {
                link.RouteVpp(0);
                link.RouteVpp(r.base.VppPin);
                bootMode = false;
            }
        }
        const uint8_t data = buffer[bufferStart + i];
        link.SendByte(137);
        link.SendByte(data);
        uint8_t s = link.ReceiveByte();
        for (int retry = 0; retry < 25 && (s & kReady) == 0; ++retry) {
            link.WriteLatch(1, ProgrammerLink::BitReverseTable()[a & 0xFF]);
            link.SendByte(137);
            link.SendByte(data);
            s = link.ReceiveByte();
        }
        if ((s & kReady) == 0) {
            suppliesOff();
            link.DrivePin(kOePin);
            link.DrivePin(kCePin);
            fail(format(flash_text::kMismatch, a, static_cast<unsigned>(data), static_cast<unsigned>(s)));
            return;
        }
        if ((a & 0x3FF) == 0)
            progress(a);
    }
    progress(chipStart + length - 1);
    link.DrivePin(kOePin);
    link.RouteVpp(0);
    succeed(flash_text::kWriteOk);
    PrepareIdle();
    link.SetVppVoltage(0);
    link.RouteVcc(0);
    link.DrivePin(kOePin);
    link.DrivePin(kCePin);
}

const std::vector<FlashRow>& TPi28fxxx::Table()
{
    static const std::vector<FlashRow> table = {
        MakeFlashRow("???", 0, 0, 0),
        MakeFlashRow("i28f256", 32 * K, 5, 12000),
        MakeFlashRow("i28f257", 32 * K, 5, 12000),
        MakeFlashRow("i28f512", 64 * K, 5, 12000),
        MakeFlashRow("i28f010", 128 * K, 5, 12000),
        MakeFlashRow("i28f020", 256 * K, 5, 12000),
        MakeFlashRow("i28f040", 512 * K, 5, 12000),
    };
    return table;
}

TPi28fxxx::TPi28fxxx(ProgrammerLink& link, FamilyHost& host) : FlashWindow("TPi28fxxx", link, host)
{
    declareControls(nullptr);
}

void TPi28fxxx::eraseSequence()
{
    const FlashRow& r = row();
    link.SetPulseLength(10);
    link.RouteGnd(kGroundPin);
    link.SetVppVoltage(12000);
    link.RouteVcc(r.VccPin);
    link.RouteVpp(r.VppPin);
    link.SetBusMode(15);
    SetFlashAddress(0);
    for (int attempt = 0; attempt < 10; ++attempt) {
        link.SetBusMode(15);
        link.SendByte(133); // erase set-up and erase
        link.SendByte(0x20);
        link.SendByte(0x20);
        link.LinkDelay(2000); // 191 ms
        // Erase verify at address 0 as one bus cycle.
        link.WriteLatch(2, 0xA0);
        link.FloatPin(kOePin);
        link.DrivePin(kCePin);
        link.DrivePin(kWePin);
        link.FloatPin(kWePin);
        link.FloatPin(kCePin);
        link.DrivePin(kOePin);
        link.SetBusMode(12);
        link.DrivePin(kCePin);
        const bool erased = link.ReadPort(2) == 0xFF;
        link.FloatPin(kCePin);
        progress(0);
        if (erased)
            break;
    }
    suppliesOff();
    // Blank follows and reports the result.
}

void TPi28fxxx::writeSequence(uint32_t chipStart, uint32_t bufferStart, uint32_t length)
{
    const FlashRow& r = row();
    PrepareIdle();
    link.SetPulseLength(10);
    link.FloatPin(kWePin);
    link.FloatPin(kOePin);
    link.DrivePin(kCePin);
    link.SetVppVoltage(r.VppMillivolts);
    link.RouteVcc(r.VccPin);
    link.RouteVpp(r.VppPin);
    link.RouteGnd(kGroundPin);
    link.LinkDelay(1000);
    link.SetBusMode(15);
    SetFlashAddress(chipStart);
    link.DrivePin(kCePin);
    link.FloatPin(kOePin);
    ReadAhead ahead(link, [](uint32_t, uint8_t) { return true; });
    for (uint32_t i = 0; i < length; ++i) {
        const uint32_t a = chipStart + i;
        if ((a & 0xFF) == 0)
            SetFlashAddress(a);
        if ((a & 0x3FF) == 0)
            progress(a);
        ahead.read({137, buffer[bufferStart + i]}, a);
    }
    ahead.drain();
    progress(chipStart + length - 1);
    link.DrivePin(kOePin);
    link.RouteVpp(0);
    succeed(flash_text::kUnprotectOk);
    PrepareIdle();
    link.SetVppVoltage(0);
    link.RouteVcc(0);
    link.DrivePin(kOePin);
    link.DrivePin(kCePin);
}

} // namespace pontvex

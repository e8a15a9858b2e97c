#include "families/flash/Flash29Windows.h"

#include "core/Text.h"

namespace pontvex {

namespace {

constexpr uint32_t K = 1024;
constexpr int kCePin = 26;
constexpr int kOePin = 28;
constexpr int kA9Pin = 30;
constexpr int kWePin = 35;
constexpr int kGroundPin = 20;

} // namespace

const std::vector<FlashRow>& TP29fxxx::Table()
{
    static const std::vector<FlashRow> table = {
        MakeFlashRow("???", 0, 0, 0),
        MakeFlashRow("29f256", 32 * K, 0, 50000),
        MakeFlashRow("29f512", 64 * K, 0, 50000),
        MakeFlashRow("29f010", 128 * K, 0, 50000),
        MakeFlashRow("29f020", 256 * K, 0, 50000),
        MakeFlashRow("29f040", 512 * K, 0, 50000),
        MakeFlashRow("29f001 BX-T ", 128 * K, 5, 50000),
        MakeFlashRow("29f001 BX-B ", 128 * K, 5, 12000),
        MakeFlashRow("29f002 Bx-T ", 256 * K, 5, 12000),
        MakeFlashRow("29f002 Bx-B ", 256 * K, 5, 12000),
        MakeFlashRow("29f004 Bx-T ", 512 * K, 5, 12000),
        MakeFlashRow("29f004 Bx-B ", 512 * K, 5, 12000),
        MakeFlashRow("29f008 Bx-T ", 1024 * K, 5, 12000),
        MakeFlashRow("29f008 Bx-B ", 1024 * K, 5, 12000),
    };
    return table;
}

TP29fxxx::TP29fxxx(ProgrammerLink& link, FamilyHost& host) : FlashWindow("TP29fxxx", link, host)
{
    declareControls("Сн.зщт.");
}

void TP29fxxx::eraseSequence()
{
    ChipEraseLoop loop;
    loop.attempts = 20;
    loop.pageModeAndPulse = true;
    loop.messageEachAttempt = true;
    loop.waitForDq6 = true;
    chipErase(loop);
    suppliesOff();
    // Blank follows and reports the result.
}

void TP29fxxx::writeSequence(uint32_t chipStart, uint32_t bufferStart, uint32_t length)
{
    const FlashRow& r = row();
    PrepareIdle();
    link.RouteGnd(kGroundPin);
    link.FloatPin(kWePin);
    link.SetVppVoltage(r.VppMillivolts);
    link.RouteVcc(r.VccPin);
    link.LinkDelay(1000);
    link.SetPageWriteMode(r.VccPin == 34 ? 64 : 128);
    link.SetPulseLength(0);
    link.SetBusMode(15);
    SetFlashAddress(chipStart);
    progress(chipStart);
    programBytes145(chipStart, bufferStart, length);
    progress(chipStart + length - 1);
    link.DrivePin(kOePin);
    link.RouteVpp(0);
    succeed(flash_text::kWriteOk);
    PrepareIdle();
    link.RouteVcc(0);
    link.DrivePin(kOePin);
    link.DrivePin(kCePin);
}

void TP29fxxx::unprotectSequence()
{
    const FlashRow& r = row();
    SetFlashAddress(0);
    link.WriteLatch(2, 0);
    link.SetVppVoltage(12000);
    link.LinkDelay(100);
    link.DrivePin(kCePin);
    link.RouteVcc(r.VccPin);
    link.FloatPin(kA9Pin);
    link.RouteVpp(kA9Pin); // 12 V on A9
    link.DrivePin(kOePin);
    link.DrivePin(kCePin);
    link.LinkDelay(120); // 11.5 ms
    link.FloatPin(kCePin);
    link.LinkDelay(100);
    link.RouteVpp(0);
    link.SetVppVoltage(0);
    succeed(flash_text::kUnprotectOkCyrillic);
}

void Flash29Alike::eraseSequence()
{
    ChipEraseLoop loop;
    loop.attempts = 100;
    loop.messageEachAttempt = eraseAttemptMessage();
    loop.progressAfterSuccess = true;
    const uint8_t data = chipErase(loop);
    suppliesOff();
    if ((data & 0x80) == 0) {
        // An erase that never completed is a failure, shown with what the chip answered at 0.
        fail(format(flash_text::kMismatch, 0u, 0xFFu, static_cast<unsigned>(data)));
        return;
    }
    succeed(flash_text::kEraseOk);
}

void Flash29Alike::writeSequence(uint32_t chipStart, uint32_t bufferStart, uint32_t length)
{
    const FlashRow& r = row();
    PrepareIdle();
    link.RouteGnd(kGroundPin);
    link.FloatPin(kWePin);
    link.SetVppVoltage(r.VppMillivolts);
    link.SetPageWriteMode(r.VccPin == 34 ? 64 : 128);
    link.RouteVcc(r.VccPin);
    link.LinkDelay(1000);
    link.SetBusMode(15);
    link.DrivePin(kCePin);
    link.FloatPin(kOePin);
    SetFlashAddress(chipStart);
    progress(chipStart);
    programBytes145(chipStart, bufferStart, length);
    progress(chipStart + length - 1);
    link.DrivePin(kOePin);
    link.RouteVpp(0);
    succeed(flash_text::kWriteOk);
    PrepareIdle();
    link.RouteVcc(0);
    link.DrivePin(kOePin);
    link.DrivePin(kCePin);
}

void Flash29Alike::unprotectSequence()
{
    const FlashRow& r = row();
    SetFlashAddress(0);
    link.SetVppVoltage(12000);
    link.LinkDelay(100);
    link.DrivePin(kCePin);
    link.RouteVcc(r.VccPin);
    link.FloatPin(kOePin);
    link.FloatPin(kA9Pin);
    link.FloatPin(10);
    link.RouteVpp(kOePin); // 12 V on OE and A9
    link.RouteVpp(kA9Pin);
    link.DrivePin(kWePin);
    link.LinkDelay(120);
    link.FloatPin(kWePin);
    link.LinkDelay(100);
    link.RouteVpp(0);
    link.SetVppVoltage(0);
    succeed(flash_text::kUnprotectOk);
}

const std::vector<FlashRow>& TMx29fxxx1::Table()
{
    static const std::vector<FlashRow> table = [] {
        std::vector<FlashRow> t = {
            MakeFlashRow("???", 0, 0, 0),
            MakeFlashRow("Mx29f010/001", 128 * K, 0, 50000),
            MakeFlashRow("Mx29f020/002", 256 * K, 0, 50000),
            MakeFlashRow("Mx29f040/004", 512 * K, 0, 50000),
        };
        for (size_t i = 6; i <= 13; ++i)
            t.push_back(TP29fxxx::Table()[i]);
        return t;
    }();
    return table;
}

TMx29fxxx1::TMx29fxxx1(ProgrammerLink& link, FamilyHost& host) : Flash29Alike("TMx29fxxx1", link, host)
{
    declareControls("Сн.защ.");
}

const std::vector<FlashRow>& TAt49fx::Table()
{
    static const std::vector<FlashRow> table = {
        MakeFlashRow("???", 0, 0, 0),
        MakeFlashRow("AT49f010/001", 128 * K, 0, 50000),
        MakeFlashRow("AT49f020/002", 256 * K, 0, 50000),
        MakeFlashRow("AT49f040/004", 512 * K, 0, 50000),
    };
    return table;
}

TAt49fx::TAt49fx(ProgrammerLink& link, FamilyHost& host) : Flash29Alike("TAt49fx", link, host)
{
    declareControls("Сн.зщт.");
}

} // namespace pontvex

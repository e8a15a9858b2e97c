#include "families/mcu51/TAt89c5xwd.h"

#include "core/Text.h"
#include "families/mcu51/Mcu51Texts.h"

namespace pontvex {

using namespace mcu51text;

TAt89c5xwd::TAt89c5xwd(ProgrammerLink& link, FamilyHost& host) : Mcu51Window("TAt89c5xwd", link, host)
{
    setCaption("AT89C5xWD");
    // The lock byte reads on P0 at address 0 (bits 2-4: lock bits 1-3).
    using enum Lv;
    modes_ = withModes(standardModes(), {{"lock-byte", 7, {{27, H}, {28, H}, {13, H}, {16, H}, {17, L}}}});
    declareControls(true);
    declareStandardControls({{Role::LockRead, [this] { runCommand("", [this] { Button2Click(); }); }}});
    addLockGroup();
    addOption("RadioGroup2", kSpeedGroupWd, "speed", {kStandard, kSlower}, 0);
    FillVariantTable();
}

void TAt89c5xwd::FillVariantTable()
{
    rows_ = {
        {"0: AT89/87", 0, 0, 0},        {"1: AT89C51WD", 0, 0x0FFF, 0},  {"2: AT89LV51WD", 0, 0x0FFF, 0},
        {"3: AT89C52WD", 0, 0x1FFF, 0}, {"4: AT89LV52WD", 0, 0x1FFF, 0}, {"5: AT89C55WD", 0, 0x4FFF, 0},
        {"6: AT87F55WD", 0, 0x4FFF, 1}, {"7: AT87F51RA", 0, 0x1FFF, 1},  {"8: AT87F51RB", 0, 0x3FFF, 1},
        {"9: AT87F51RC", 0, 0x7FFF, 1},
    };
}

void TAt89c5xwd::ProgramByte(uint8_t b)
{
    PutData(b);
    link.SetPin(14, 0);
    H(28);
    L(30);
    H(30);
    link.LinkDelay(speedIndex() + 1);
    L(28);
}

uint8_t TAt89c5xwd::ReadLockByte()
{
    PowerUp();
    enterMode("lock-byte");
    SetAddress(0);
    return ReadBus() & 0x1C;
}

void TAt89c5xwd::eraseBody()
{
    if (!ProbeChip())
        return;
    PowerUp();
    setMessage(kErasing);
    enterMode("erase");
    for (int round = 0; round < 2; ++round) {
        link.RouteVcc(pins_.vcc);
        link.LinkDelay(100);
        vppOn();
        L(30);
        H(30);
        link.LinkDelay(2000);
        link.RouteVpp(0);
        link.RouteVcc(0);
        link.LinkDelay(1000);
    }
    const uint8_t lock = ReadLockByte();
    link.RouteVcc(0);
    if (lock != 0)
        fail(kEraseFailWd);
    else
        succeed("OK");
}

void TAt89c5xwd::lockCheck()
{
    const int k = lockIndex();
    const uint8_t wanted = k == 0 ? 0x04 : k == 1 ? 0x0C : 0x1C;
    const uint8_t lock = ReadLockByte();
    link.RouteVcc(0);
    // Every bit asked for must read back programmed.
    if ((lock & wanted) == wanted)
        succeed("OK");
    else
        fail(kLockFailAscii);
}

void TAt89c5xwd::Button2Click()
{
    if (!ProbeChip())
        return;
    const uint8_t lock = ReadLockByte();
    link.RouteVcc(0);
    setMessage(format("Lock= %02x", lock));
}

} // namespace pontvex

#include "families/mcu51/TAt89s5x1.h"

#include "families/mcu51/Mcu51Texts.h"

namespace pontvex {

using namespace mcu51text;

TAt89s5x1::TAt89s5x1(ProgrammerLink& link, FamilyHost& host) : Mcu51Window("TAt89s5x1", link, host)
{
    setCaption("AT89S5X");
    // A8-A13 on P2.0-P2.5 and A14 on P3.4, each pin on its own.
    pinAddressPins_ = {21, 22, 23, 24, 25, 26, 14};
    locks_.progLow = 1;
    // The usual modes with P3.3 (13) low to read, high to program.
    using enum Lv;
    modes_ = withModes(
        standardModes(),
        {
            {"read", 7, {{27, L}, {28, L}, {16, H}, {17, H}, {9, H}, {29, L}, {30, H}, {31, H}, {13, L}}},
            {"signature",
             7,
             {{27, L}, {28, L}, {16, L}, {17, L}, {9, H}, {29, L}, {30, H}, {31, H}, {13, L}}},
            {"program",
             15,
             {{27, L}, {28, L}, {16, H}, {17, H}, {9, H}, {29, L}, {30, H}, {31, H}, {14, Set}, {13, H}}},
        });
    declareControls(true);
    addLockGroup();
    addSpeedGroup();
    FillVariantTable();
}

void TAt89s5x1::FillVariantTable()
{
    rows_ = {
        {"Exit", 0, 0, 0},
        {"1: AT89S51", 0, 0x0FFF, 0},
        {"2: AT89S52", 0, 0x1FFF, 0},
        {"3: AT89S53", 0, 0x2FFF, 0},
    };
}

std::vector<uint32_t> TAt89s5x1::signatureAddresses() const
{
    // The S51 and S52 keep their signature at 000H, 100H and 200H; the S53 at 30H-32H.
    if (chip_.VariantIndex == 1 || chip_.VariantIndex == 2)
        return {0x000, 0x100, 0x200};
    return {0x30, 0x31, 0x32};
}

bool TAt89s5x1::ProbeChip()
{
    // Older boxes cannot drive this family's pins; the status byte tells them
    // apart. Its bit 6 is the level of pin 40, which a released pin would set,
    // so pin 40 is held low (nothing is routed to it between commands) while
    // the status is read.
    L(40);
    if (link.CheckSocketStatus() == 0) {
        setOutcome(Outcome::Refused);
        prompt().showMessage(kOldHardware);
        close();
        return false;
    }
    return Mcu51Window::ProbeChip();
}

void TAt89s5x1::ProgramByte(uint8_t b)
{
    PutData(b);
    H(28);
    L(30);
    link.LinkDelay(1);
    H(30);
    link.LinkDelay(speedIndex() + 1);
    L(28);
}

void TAt89s5x1::eraseBody()
{
    if (!ProbeChip())
        return;
    PowerUp();
    setMessage(kErasing);
    enterMode("erase");
    vppOn();
    link.LinkDelay(100);
    L(30);
    H(30);
    link.LinkDelay(4000);
    // Vpp leaves before Vcc and comes back after it.
    link.RouteVpp(0);
    link.RouteVcc(0);
    link.LinkDelay(100);
    link.RouteVcc(pins_.vcc);
    link.LinkDelay(100);
    vppOn();
    link.LinkDelay(100);
    L(30);
    H(30);
    link.LinkDelay(2000);
    link.RouteVpp(0);
    link.RouteVcc(0);
    succeed(kOk1);
}

void TAt89s5x1::lockCheck()
{
    if (lockIndex() == 0) {
        setMessage(kLockDone);
        return;
    }
    // Bit 2 stops reading: check it took before saying the lock is done.
    PowerUp();
    enterMode("read");
    SetAddress(0);
    if (lockReadBack())
        succeed("end");
    link.RouteVcc(0);
}

} // namespace pontvex

#include "families/mcu51/TP2051x.h"

#include "families/mcu51/Mcu51Texts.h"

namespace pontvex {

using namespace mcu51text;

namespace {
// RST/Vpp 11, PROG 16 (P3.2), XTAL1 15 (the address clock).
constexpr int kVppPin = 11;
constexpr int kProgPin = 16;
constexpr int kClockPin = 15;
} // namespace

TP2051x::TP2051x(ProgrammerLink& link, FamilyHost& host) : Mcu2051Window("TP2051x", link, host, true)
{
    setCaption("P205x");
    findButton(Role::Erase)->enabled = true;
    using enum Lv;
    modes_ =
        withModes(modes_, {
                              {"program", 0, {{16, H}, {17, L}, {18, L}, {19, H}, {21, H}}},
                              // The pins before the pulse, the pulse's own (RST back high) and the check's.
                              {"erase-setup", 0, {{16, H}, {17, L}, {18, H}, {19, H}, {21, H}}},
                              {"erase", 0, {{17, H}, {18, L}, {19, L}, {21, L}, {11, H}}},
                              {"erase-check", 0, {{17, L}, {18, L}, {19, H}, {21, H}}},
                          });
    FillVariantTable();
}

void TP2051x::FillVariantTable()
{
    rows_ = {
        {"Exit", 0, 0, 0},
        {"1: 89C1051 (1k)", 0, 1023, 0},
        {"2: 89C2051 (2k)", 0, 2047, 0},
        {"3: 89C4051 (4k)", 0, 4095, 0},
    };
}

void TP2051x::PowerUp()
{
    link.SetVppVoltage(pins_.vppMillivolts);
    link.LinkDelay(100);
    link.SetBusMode(9);
    link.SetPin(14, 1);
    link.SetPin(kClockPin, 0);
    link.RouteGnd(20);
    link.RouteVcc(0);
    L(30);
    link.RouteVcc(30);
    L(kVppPin);
    L(kClockPin);
    link.LinkDelay(100);
    // RST rising from 0 clears the chip's address counter.
    H(kVppPin);
    H(kProgPin);
}

void TP2051x::NextAddress()
{
    H(kClockPin);
    L(kClockPin);
    CurrentAddress += 1;
}

void TP2051x::ProgramByte(uint8_t b)
{
    H(18);
    link.RouteVpp(kVppPin);
    PutData(b);
    L(kProgPin);
    H(kProgPin);
    link.RouteVpp(0);
    L(18);
    for (int i = 0; i <= speedIndex(); ++i)
        link.LinkDelay(20);
}

void TP2051x::eraseBody()
{
    if (!ProbeChip())
        return;
    setMessage(kErasing);
    PowerUp();
    enterMode("erase-setup");
    link.RouteVpp(kVppPin);
    link.LinkDelay(1000);
    // The erase pulse powers the chip up again; 12 V must not sit on RST
    // while its Vcc is off, so the programming voltage leaves first.
    link.RouteVpp(0);
    link.SetBusMode(15);
    PowerUp();
    enterMode("erase");
    link.RouteVpp(kVppPin);
    L(kProgPin);
    link.LinkDelay(5000);
    H(kProgPin);
    link.RouteVpp(0);
    link.RouteVcc(0);
    link.LinkDelay(1000);
    PowerUp();
    enterMode("erase-check");
    link.SetBusMode(9);
    setOutcome(Outcome::Ok);
    setMessage(kEraseOk2051);
    for (int i = 0; i < 129; ++i)
        if (ReadBus() != 0xFF) {
            setOutcome(Outcome::Failed, 2);
            setMessage(kEraseIncomplete);
            break;
        }
    link.RouteVcc(0);
}

void TP2051x::LockPulse(int bit)
{
    PowerUp();
    link.RouteVpp(kVppPin);
    link.SetBusMode(15);
    link.WriteLatch(3, 0xFF);
    link.WriteLatch(2, bit == 1 ? 0xFF : 0xF3);
    link.WriteLatch(1, 0xFF);
    enterMode(bit == 1 ? "lock1" : "lock2");
    L(kProgPin);
    link.LinkDelay(500);
    H(kProgPin);
    link.RouteVpp(0);
}

void TP2051x::lockPulses()
{
    LockPulse(1);
    LockPulse(2);
}

} // namespace pontvex

#include "families/mcu51/TSST89c5x.h"

#include "families/mcu51/Mcu51Texts.h"

namespace pontvex {

using namespace mcu51text;

TSST89c5x::TSST89c5x(ProgrammerLink& link, FamilyHost& host) : Mcu51Window("TSST89c5x", link, host)
{
    setCaption("SST89C5x");
    // The 5 V parts take EA at logic level: Vpp code 0.
    pins_.vppMillivolts = 5000;
    // 64 K rows need A15; P3.5 carries it (A13 on P2.5, A14 on P3.0 as on the other parts).
    highAddressPins_ = {26, 10, 15};
    // The mode pins as one tuple (P3.7 17, P3.6 16, P2.6 27, P2.7 28), P3.3 latched high.
    using enum Lv;
    modes_ = {
        {"read", 7, {{9, H}, {29, L}, {30, H}, {31, H}, {13, Set}, {17, H}, {16, H}, {27, L}, {28, L}}},
        {"signature", 7, {{9, H}, {29, L}, {30, H}, {31, H}, {13, Set}, {17, L}, {16, L}, {27, L}, {28, L}}},
        {"program", 15, {{9, H}, {29, L}, {30, H}, {31, H}, {13, Set}, {17, H}, {16, H}, {27, L}, {28, H}}},
        {"erase", 15, {{9, H}, {29, L}, {30, H}, {31, H}, {13, Set}, {17, L}, {16, L}, {27, H}, {28, L}}},
        {"lock", 15, {}},
    };
    endOfWriteText_ = kDone17;
    declareControls(true);
    // ReadIDClick is this window's name for the ID button.
    if (ButtonControl* id = findButton(Role::Id))
        id->handler = "ReadIDClick";
    // Each security bit, when its box is ticked, by its mode tuple and one
    // programming pulse of 0xFF.
    auto bit = [](std::string_view name, Lv p17, Lv p16, Lv p27, Lv p28) {
        return LockBit{{{13, Set}, {17, p17}, {16, p16}, {27, p27}, {28, p28}}, -1, name};
    };
    locks_ = {LockTable::Pick::Ticked,
              {},
              {bit("SB1", H, H, H, H), bit("SB2", L, L, H, H), bit("SB3", L, H, H, L), bit("RB0", H, L, L, L),
               bit("RB1", H, L, H, L)},
              0xFF,
              0};
    for (const LockBit& b : locks_.bits) {
        const std::string name(b.option);
        addOption(name, name, name, {"-", name}, name == "SB1" ? 1 : 0);
    }
    FillVariantTable();
}

void TSST89c5x::FillVariantTable()
{
    rows_ = {
        {"Exit", 0, 0, 0},
        {"1: SST89C54", 0, 0x3FFF, 0},
        {"2: SST89C58", 0, 0x7FFF, 0},
        {"3: SST89E554", 0, 0x7FFF, 0},
        {"4: SST89E564", 0, 0xFFFF, 0},
    };
}

void TSST89c5x::ProgramByte(uint8_t b)
{
    PutData(b);
    link.SetPin(14, 0);
    L(30);
    H(30);
    link.LinkDelay(1);
}

void TSST89c5x::eraseBody()
{
    if (!ProbeChip())
        return;
    setMessage(kErasingSst);
    PowerUp();
    enterMode("erase");
    vppOn();
    link.LinkDelay(100);
    L(30);
    H(30);
    link.LinkDelay(500);
    link.RouteVpp(0);
    link.RouteVcc(0);
    succeed("OK!");
}

void TSST89c5x::lockCheck()
{
    // The security bits cannot be read back.
    link.RouteVcc(0);
    setMessage(kLockDone);
}

} // namespace pontvex

#include "families/mcu51/TP89x8252.h"

namespace pontvex {

TP89x8252::TP89x8252(ProgrammerLink& link, FamilyHost& host) : Mcu51Window("TP89x8252", link, host)
{
    setCaption("AT89X8252");
    // One lock mode for all three bits; the data port says which ones to program
    // (P0.7 bit 1, P0.6 bit 2, P0.5 bit 3; a 0 programs the bit).
    using enum Lv;
    const std::vector<PinLevel> lockMode{{27, H}, {28, L}, {16, H}, {17, L}};
    locks_ = {LockTable::Pick::Selected, {}, {{lockMode, 0x7F}, {lockMode, 0x3F}, {lockMode, 0x1F}}};
    declareControls(true);
    addLockGroup();
    addSpeedGroup();
    FillVariantTable();
}

void TP89x8252::FillVariantTable()
{
    rows_ = {
        {"Exit", 0, 0, 0},
        {"1: AT89S8252", 0, 0x1FFF, 0},
        {"2: AT89LS8252", 0, 0x1FFF, 0},
        {"3: AT89LS53", 0, 0x2FFF, 0},
    };
}

void TP89x8252::ProgramByte(uint8_t b)
{
    PutData(b);
    link.LinkDelay(2);
    H(28);
    L(30);
    H(30);
    link.LinkDelay(20);
}

} // namespace pontvex

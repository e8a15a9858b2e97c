#include "families/mcu51/TP89c5x.h"

namespace pontvex {

TP89c5x::TP89c5x(ProgrammerLink& link, FamilyHost& host) : Mcu51Window("TP89c5x", link, host)
{
    setCaption("89,AT87...");
    declareControls(true);
    addLockGroup();
    addSpeedGroup();
    FillVariantTable();
}

void TP89c5x::FillVariantTable()
{
    rows_ = {
        {"Exit", 0, 0, 0},
        {"1: AT89C51", 20, 0x0FFF, 0},
        {"2: AT89LV51", 20, 0x0FFF, 0},
        {"3: AT89C52", 0, 0x1FFF, 0},
        {"4: AT89LV52", 0, 0x1FFF, 0},
        {"5: AT89C55", 0, 0x4FFF, 0},
        {"6: AT80F51", 0, 0x0FFF, 0},
        {"7: AT80F52", 0, 0x1FFF, 0},
        {"8: AT87F51(OTP)", 0, 0x0FFF, 1},
        {"9: AT87F52(OTP)", 0, 0x1FFF, 1},
    };
}

void TP89c5x::ProgramByte(uint8_t b)
{
    PutData(b);
    H(28);
    L(30);
    if (const Mcu51Row* r = row(); r && r->pulseWidth > 0)
        link.LinkDelay(r->pulseWidth);
    H(30);
    L(28);
    // 10 byte times stand for the millisecond of the speed labels.
    for (int i = 0; i <= speedIndex(); ++i)
        link.LinkDelay(10);
}

} // namespace pontvex

#pragma once

#include "families/mcu51/Mcu2051Window.h"

namespace pontvex {

// 89C1051/2051/4051 flash parts: the address counter is stepped by XTAL1 (15),
// each byte programmed by a PROG pulse on P3.2 with 12 V on RST.
class TP2051x : public Mcu2051Window {
public:
    TP2051x(ProgrammerLink& link, FamilyHost& host);
    void FillVariantTable() override;

protected:
    void PowerUp() override;
    void NextAddress() override;
    void ProgramByte(uint8_t b) override;
    void eraseBody() override;
    void lockPulses() override;
    void LockPulse(int bit);
};

} // namespace pontvex

#pragma once

#include "families/mcu51/Mcu51Window.h"

namespace pontvex {

// AT89C5xWD and AT87F5x RA/RB/RC: lock bits that can be read back.
class TAt89c5xwd : public Mcu51Window {
public:
    TAt89c5xwd(ProgrammerLink& link, FamilyHost& host);
    void FillVariantTable() override;

protected:
    void ProgramByte(uint8_t b) override;
    void eraseBody() override;
    // The lock byte must show every bit asked for.
    void lockCheck() override;
    // Powers up, reads the lock byte (bits 2-4 = lock bits 1-3) and leaves Vcc on.
    uint8_t ReadLockByte();
    void Button2Click();
};

} // namespace pontvex

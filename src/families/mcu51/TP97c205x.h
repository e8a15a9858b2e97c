#pragma once

#include "families/mcu51/Mcu2051Window.h"

namespace pontvex {

// One-time-programmable 97C1051/97C2051: clocked by the box, the counter is
// stepped through P3.0, and the box completes each byte with command 167.
class TP97c205x : public Mcu2051Window {
public:
    TP97c205x(ProgrammerLink& link, FamilyHost& host);
    void FillVariantTable() override;

protected:
    void PowerUp() override;
    void NextAddress() override;
    void ProgramByte(uint8_t b) override;
    bool CheckSignature() override;
    void lockPulses() override;

    int steps_ = 0;
};

} // namespace pontvex

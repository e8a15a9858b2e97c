#pragma once

#include "families/mcu51/Mcu51Window.h"

namespace pontvex {

// AT89C51/52/55, their LV versions, AT80F5x and the AT87F5x one-time parts.
class TP89c5x : public Mcu51Window {
public:
    TP89c5x(ProgrammerLink& link, FamilyHost& host);
    void FillVariantTable() override;

protected:
    void ProgramByte(uint8_t b) override;
};

} // namespace pontvex

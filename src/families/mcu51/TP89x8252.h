#pragma once

#include "families/mcu51/Mcu51Window.h"

namespace pontvex {

// AT89S8252, AT89LS8252 and AT89LS53 in parallel programming mode.
class TP89x8252 : public Mcu51Window {
public:
    TP89x8252(ProgrammerLink& link, FamilyHost& host);
    void FillVariantTable() override;

protected:
    void ProgramByte(uint8_t b) override;
};

} // namespace pontvex

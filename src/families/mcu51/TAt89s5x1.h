#pragma once

#include "families/mcu51/Mcu51Window.h"

namespace pontvex {

// AT89S51, AT89S52, AT89S53 in parallel programming mode (box V5.0 and later).
class TAt89s5x1 : public Mcu51Window {
public:
    TAt89s5x1(ProgrammerLink& link, FamilyHost& host);
    void FillVariantTable() override;

protected:
    void ProgramByte(uint8_t b) override;
    int signatureBytesCompared() const override { return 3; }
    std::vector<uint32_t> signatureAddresses() const override;
    bool ProbeChip() override;
    void eraseBody() override;
    void lockCheck() override;
};

} // namespace pontvex

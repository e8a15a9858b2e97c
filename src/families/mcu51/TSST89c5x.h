#pragma once

#include "families/mcu51/Mcu51Window.h"

namespace pontvex {

// SST89C54/58 and SST89E554/564: 5 V programming, mode pins set as one tuple,
// five security bits.
class TSST89c5x : public Mcu51Window {
public:
    TSST89c5x(ProgrammerLink& link, FamilyHost& host);
    void FillVariantTable() override;

protected:
    void ProgramByte(uint8_t b) override;
    std::vector<uint32_t> signatureAddresses() const override { return {0x30, 0x31}; }
    void eraseBody() override;
    void lockCheck() override;
};

} // namespace pontvex

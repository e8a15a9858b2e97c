#pragma once

#include "families/mcu51/Mcu51Window.h"

namespace pontvex {

// 20-pin 8051 parts (89C1051/2051/4051): chip pin 1 at socket pin 11, no
// address pins; an internal counter is cleared by RST rising and stepped by XTAL1.
class TP2051x : public Mcu51Window {
public:
    TP2051x(ProgrammerLink& link, FamilyHost& host);
    void SelectChip(const ChipSelection& chip) override;
    void FillVariantTable() override;

protected:
    TP2051x(std::string className, ProgrammerLink& link, FamilyHost& host);
    void PowerUp() override;
    // The counter has no address inputs: the loops only step it.
    void SetAddress(uint32_t a) override { CurrentAddress = a; }
    void NextAddress() override;
    uint8_t ReadBus() override;
    uint8_t readBusCommand() const override { return 165; }
    void PutData(uint8_t b) override;
    void ProgramByte(uint8_t b) override;

    void readBody() override;
    void blankBody() override;
    void verifyBody() override;
    void writeBody() override;
    void eraseBody() override;
    void lockBody() override;
    void idBody() override;
    // Reads the signature bytes from the counter's first addresses.
    void readSignature(int count);
    void LockPulse(int bit);
    void lockCheck() override;

    std::string verifyBusyText_;
    int signatureCount_ = 3;
};

} // namespace pontvex

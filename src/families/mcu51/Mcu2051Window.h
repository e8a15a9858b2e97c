#pragma once

#include "families/mcu51/Mcu51Base.h"

namespace pontvex {

// The 20-pin 8051 parts: chip pin 1 at socket pin 11 (RST/Vpp 11, XTAL1 15,
// Vcc 30), data on P1 (22-29) through commands 165/166, and no address pins:
// an internal counter is cleared by RST rising and stepped once per byte.
class Mcu2051Window : public Mcu51Base {
public:
    void SelectChip(const ChipSelection& chip) override;

protected:
    // Declares the controls both windows show; withErase for the flash parts.
    Mcu2051Window(std::string className, ProgrammerLink& link, FamilyHost& host, bool withErase);

    // Powers the chip; RST rising clears its address counter.
    virtual void PowerUp() = 0;
    // The counter has no address inputs: the loops only step it.
    void SetAddress(uint32_t a) override { CurrentAddress = a; }
    // One byte of the programming pass, the program mode set.
    virtual void ProgramByte(uint8_t b) = 0;
    // Both lock bits, between the power-up and the read-back.
    virtual void lockPulses() = 0;

    void readBody() override;
    void blankBody() override;
    void verifyBody() override;
    void writeBody() override;
    void lockBody() override;
    void idBody() override;
    // Reads the signature bytes from the counter's first addresses.
    void readSignature(int count);
    // Reads in read-code mode: in a lock mode the port floats and reads 0xFF whatever the lock.
    void lockCheck();

    std::string verifyBusyText_;
    int verifySettle_ = 0;        // LinkDelay units before a verify powers up
    bool vppThroughPass_ = false; // Vpp stays on RST for the whole programming pass
    int signatureCount_ = 3;
};

} // namespace pontvex

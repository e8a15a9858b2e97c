#pragma once

#include "families/mcu51/Mcu51Base.h"

namespace pontvex {

// One lock (or security) bit: the pins that choose it, set before Vpp comes on.
struct LockBit {
    std::vector<PinLevel> pins;
    int data = -1;                // byte put on P0 with the pins; -1: none
    std::string_view option = {}; // the bit's own option ("SB1"); empty: "Биты защиты" chooses
};

// A window's lock bits as data, programmed by Mcu51Window::lockBody: after the
// lock mode and address 0, the common pins; then for each chosen bit its pins,
// Vpp, the PROG (30) pulse and Vpp off.
struct LockTable {
    enum class Pick {
        UpTo,     // every bit up to the one "Биты защиты" selects
        Selected, // the bit "Биты защиты" selects, alone
        Ticked,   // each bit whose own option is ticked
    };
    Pick pick = Pick::UpTo;
    std::vector<PinLevel> common;
    std::vector<LockBit> bits;
    int pulseData = -1; // byte put on P0 once Vpp has settled; -1: none
    int progLow = 20;   // LinkDelay units PROG stays low; 0: no wait
};

// The 40-pin 8051 parts in parallel programming mode: chip pin 1 at socket
// pin 1, A0-A7 on port 0 (P1), A8-A12 in port 2 with A13 and up pin by pin,
// data on P0 through commands 160/161, Vcc on 40, EA/Vpp on 31.
class Mcu51Window : public Mcu51Base {
public:
    Mcu51Window(std::string className, ProgrammerLink& link, FamilyHost& host);

    void SelectChip(const ChipSelection& chip) override;

    uint8_t HighAddressLatch = 0;

protected:
    void PowerUp();
    void SetAddress(uint32_t a) override;
    void NextAddress() override;
    virtual void ProgramByte(uint8_t b) = 0;
    // Vpp at the family's level onto its pin; removed with RouteVpp(0).
    void vppOn();

    // The mode table of the usual 8051 parts (27 P2.6, 28 P2.7, 16 P3.6, 17 P3.7).
    static const PinModeTable& standardModes();
    // Lock bits 1-3 of the usual parts: 27 and 13 high, then (28, 16, 17) HHH, HLL, LHL.
    static const LockTable& standardLocks();

    // Probes, then reads the signature bytes at signatureAddresses() into
    // ChipSignature and shows "Код ИД =..."; false when the probe was refused.
    bool identify();
    // 1 to go on programming, 0 to stop. Compares signatureBytesCompared() bytes.
    bool CheckSignature() override;
    virtual int signatureBytesCompared() const { return 2; }
    virtual std::vector<uint32_t> signatureAddresses() const { return {0x30, 0x31, 0x32}; }

    void readBody() override;
    void blankBody() override;
    void verifyBody() override;
    void writeBody() override;
    void eraseBody() override;
    void lockBody() override;
    void idBody() override;

    // One bit of locks_: its pins, Vpp, the PROG pulse, Vpp off.
    void LockPulse(const LockBit& bit);
    // What follows the pulses: by default, after "Бит 1" only the message;
    // otherwise back to read-code levels and lockReadBack.
    virtual void lockCheck();

    LockTable locks_ = standardLocks();
    // Pins of A13, A14, A15 set by H/L (address bits above A12).
    std::vector<int> highAddressPins_{26, 10};
    // When set, A8 and up go pin by pin through SetPinDriver instead of port 2.
    std::vector<int> pinAddressPins_;
};

} // namespace pontvex

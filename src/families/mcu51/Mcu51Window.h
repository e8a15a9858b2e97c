#pragma once

#include "catalogue/FamilyWindow.h"
#include "link/ReadAhead.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pontvex {

// Signature bytes read by the last identification of any 8051 window.
std::array<uint8_t, 3>& ChipSignature();

// One chip of an 8051 family table. Families use the fields they need.
struct Mcu51Row {
    std::string name;
    int8_t pulseWidth = 0;    // LinkDelay units PROG stays low per byte
    uint32_t lastAddress = 0; // size - 1
    uint32_t otp = 0;         // 1: one-time programmable, no erase
};

// What the shared 8051 code needs to know about a family's socket use.
struct Mcu51Pins {
    int gnd = 20;
    int vcc = 40;
    int reset = 9;     // pulsed by the probe
    int clockOut = 19; // OscillatorPresenceTest drive pin (XTAL1)
    int clockIn = 18;  // ... and sense pin (XTAL2)
    int vppPin = 31;   // EA/Vpp
    int vppMillivolts = 12000;
    // Pins of A13, A14, A15 set by H/L (address bits above A12).
    std::vector<int> highAddressPins{26, 10};
    // When set, A8 and up go pin by pin through SetPinDriver instead of port 2.
    std::vector<int> pinAddressPins;
};

// A pin level as the mode tables give it: L is DrivePin (the pin follows its
// latch, which these windows keep at 0), H is FloatPin (released, reads high),
// Set is SetPin(pin, 1) (the pin's latch bit).
enum class Lv : uint8_t { L, H, Set };

struct PinLevel {
    int pin;
    Lv level;
};

// One row of a window's mode table: an operation and the levels that select
// it. A row with a bus mode sets it first and then the latches of the clock
// pins 18 and 19, as every mode set-up of the 40-pin parts does.
struct PinMode {
    std::string_view name;
    uint8_t busMode = 0;        // 0: the bus mode stays as it is
    std::vector<PinLevel> pins; // set in this order
};
using PinModeTable = std::vector<PinMode>;

// base with the rows of more: a row of the same name is replaced, others are added.
PinModeTable withModes(PinModeTable base, const PinModeTable& more);

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

// The common base of the 8051 windows in parallel programming mode: probe,
// power-up, address ports, data port, the address loops, the signature check
// and the lock-bit read-back.
class Mcu51Window : public FamilyWindow {
public:
    Mcu51Window(std::string className, ProgrammerLink& link, FamilyHost& host);

    void SelectChip(const ChipSelection& chip) override;
    int rowCount() const override { return static_cast<int>(rows_.size()) - 1; }
    std::string rowName(int index) const override;

    // The row chosen by VariantIndex, or null when the index is outside the table.
    const Mcu51Row* row() const;

    uint32_t CurrentAddress = 0;
    uint8_t HighAddressLatch = 0;

protected:
    // --- building blocks -------------------------------------------------------
    void H(int pin) { link.FloatPin(pin); }
    void L(int pin) { link.DrivePin(pin); }
    void set(int pin, Lv level);
    void setPins(const std::vector<PinLevel>& pins);
    // Sets up the mode of that name from modes_; a name the table lacks is a
    // programming error (std::logic_error).
    void enterMode(std::string_view name);
    // The mode table of the usual 8051 parts (27 P2.6, 28 P2.7, 16 P3.6, 17 P3.7).
    static const PinModeTable& standardModes();
    // Lock bits 1-3 of the usual parts: 27 and 13 high, then (28, 16, 17) HHH, HLL, LHL.
    static const LockTable& standardLocks();

    // Runs first in every command; a refusal sets ErrorFlag.
    virtual bool ProbeChip();
    virtual void PowerUp();
    virtual void SetAddress(uint32_t a);
    virtual void NextAddress();
    virtual uint8_t ReadBus();
    // The command ReadBus sends; the read loops queue it ahead of its reply.
    virtual uint8_t readBusCommand() const { return 160; }
    virtual void PutData(uint8_t b);
    virtual void ProgramByte(uint8_t b) = 0;
    // Vpp at the family's level onto its pin; removed with RouteVpp(0).
    void vppOn();

    // The last address the loops touch: the smaller of the row's and the hex view's.
    int64_t loopLast() const;
    // Walks 0..loopLast(): progress when a % stride == phase, SetAddress every 256,
    // then body(a); NextAddress after it. Stops when body returns false.
    template <typename Body> bool walk(int stride, int phase, Body body);
    // walk for the read loops: the same bytes, with ReadBus queued ahead
    // (ReadAhead); take(a, byte) gets each address's byte in order and stops
    // the walk by returning false.
    template <typename Take> bool walkReads(int stride, int phase, Take take);
    // The Blank and Verify loops over walkReads: false after the first byte
    // that is not 0xFF / not the buffer's, with the failure text shown.
    bool checkErased();
    bool compareWithBuffer();

    // Reads the signature bytes at addrs into ChipSignature; shows "Код ИД =...".
    virtual void identify();
    // 1 to go on programming, 0 to stop. Compares `compared` bytes.
    bool CheckSignature();
    virtual int signatureBytesCompared() const { return 2; }
    virtual std::vector<uint32_t> signatureAddresses() const { return {0x30, 0x31, 0x32}; }

    // Command bodies; each runs inside runCommand, which switches the supplies off.
    virtual void readBody();
    virtual void blankBody();
    virtual void verifyBody();
    virtual void writeBody();
    virtual void eraseBody();
    virtual void lockBody();
    virtual void idBody();
    void command(void (Mcu51Window::*body)());
    bool needHexView();

    // One bit of locks_: its pins, Vpp, the PROG pulse, Vpp off.
    void LockPulse(const LockBit& bit);
    // What follows the pulses: by default, after "Бит 1" only the message;
    // otherwise back to read-code levels and lockReadBack.
    virtual void lockCheck();
    // Reads the data port up to 129 times; all 0xFF = the lock holds.
    bool lockReadBack();

    // Declaration helpers: the buttons, and the Auto steps in Auto's order.
    void declareControls(bool withErase);
    void addLockGroup();
    void addSpeedGroup();
    int speedIndex() const;
    int lockIndex() const;

    std::vector<Mcu51Row> rows_;
    Mcu51Pins pins_;
    PinModeTable modes_ = standardModes();
    LockTable locks_ = standardLocks();
    std::string connectedText_ = "OK ";
    std::string endOfWriteText_ = "Нет пустой микросхемы в прогр! ";
};

template <typename Body> bool Mcu51Window::walk(int stride, int phase, Body body)
{
    const int64_t last = loopLast();
    for (int64_t a = 0; a <= last; ++a) {
        if (a % stride == phase)
            progress(a);
        if (a % 256 == 0)
            SetAddress(static_cast<uint32_t>(a));
        if (!body(static_cast<uint32_t>(a)))
            return false;
        NextAddress();
    }
    if (last >= 0)
        progress(last);
    return true;
}

template <typename Take> bool Mcu51Window::walkReads(int stride, int phase, Take take)
{
    const int64_t last = loopLast();
    ReadAhead ahead(link, [&take](uint32_t a, uint8_t value) { return take(a, value); });
    for (int64_t a = 0; a <= last; ++a) {
        if (a % stride == phase)
            progress(a);
        if (a % 256 == 0) {
            // SetAddress may read port 2 back: its reply must not be taken
            // for one of the queued reads.
            if (!ahead.drain())
                return false;
            SetAddress(static_cast<uint32_t>(a));
        }
        if (!ahead.read({readBusCommand()}, static_cast<uint32_t>(a)))
            return false;
        NextAddress();
    }
    if (!ahead.drain())
        return false;
    if (last >= 0)
        progress(last);
    return true;
}

} // namespace pontvex

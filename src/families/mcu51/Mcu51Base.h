#pragma once

#include "catalogue/FamilyWindow.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pontvex {

// One chip of an 8051 family table. Families use the fields they need.
struct Mcu51Row {
    std::string name;
    int8_t pulseWidth = 0;    // LinkDelay units PROG stays low per byte
    uint32_t lastAddress = 0; // size - 1
    uint32_t otp = 0;         // 1: one-time programmable, no erase
};

// The supplies, probe and programming-voltage pins of a window.
struct Mcu51Pins {
    int gnd = 20;
    int vcc = 40;
    int reset = 9;     // pulsed by the probe
    int clockOut = 19; // OscillatorPresenceTest drive pin (XTAL1)
    int clockIn = 18;  // ... and sense pin (XTAL2)
    int vppPin = 31;   // EA/Vpp
    int vppMillivolts = 12000;
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

// What every 8051 window shares, whatever its socket: the variant rows, pin
// levels and the mode table, the oscillator probe, the walk of a programming
// pass, the code range the frame's read loops take, the lock read-back and the
// controls. The 40-pin parallel parts (Mcu51Window) and the 20-pin counter
// parts (Mcu2051Window) build their commands on it.
class Mcu51Base : public FamilyWindow {
public:
    Mcu51Base(std::string className, ProgrammerLink& link, FamilyHost& host);

    int rowCount() const override { return static_cast<int>(rows_.size()) - 1; }
    std::string rowName(int index) const override;

    // The row chosen by VariantIndex, or null when the index is outside the table.
    const Mcu51Row* row() const;

    uint32_t CurrentAddress = 0;
    // The signature bytes this window read from the chip in the socket last.
    std::array<uint8_t, 3>& ChipSignature() { return chipSignature_; }

protected:
    // --- building blocks -------------------------------------------------------
    void H(int pin) { link.FloatPin(pin); }
    void L(int pin) { link.DrivePin(pin); }
    void set(int pin, Lv level);
    void setPins(const std::vector<PinLevel>& pins);
    // Sets up the mode of that name from modes_; a name the table lacks is a
    // programming error (std::logic_error).
    void enterMode(std::string_view name);

    // Runs first in every command; a refusal sets ErrorFlag.
    virtual bool ProbeChip();
    // Before programming: 1 to go on, 0 to stop.
    virtual bool CheckSignature() { return true; }
    // What every programming pass needs first: a chip that answers and is the
    // chosen one, and an image to program from.
    bool readyToWrite() { return ProbeChip() && CheckSignature() && needHexView(); }
    virtual void SetAddress(uint32_t a) = 0;
    virtual void NextAddress() = 0;
    // The data port: readBusCommand_ answers its levels, putDataCommand_ drives a byte onto it.
    uint8_t ReadBus();
    void PutData(uint8_t b);

    // The last address the loops touch: the smaller of the row's and the hex view's.
    int64_t loopLast() const;
    // Walks 0..loopLast(): progress when a % stride == phase, SetAddress every 256,
    // then body(a); NextAddress after it. Stops when body returns false.
    template <typename Body> bool walk(int stride, int phase, Body body);
    // The code bytes 0..loopLast() for the shared read loops: ReadBus queued
    // ahead, SetAddress every 256 (its port read-back takes the replies owed
    // first), NextAddress after each read, progress every progressEvery and
    // at a failure, which shows failureFormat.
    ReadRange codeRange(int progressEvery, const char* failureFormat = "");
    // Reads the data port up to 129 times; all 0xFF = the lock holds.
    bool lockReadBack();

    // Command bodies; each runs inside runCommand, which switches the supplies off.
    virtual void readBody() = 0;
    virtual void blankBody() = 0;
    virtual void verifyBody() = 0;
    virtual void writeBody() = 0;
    // One-time parts declare no erase.
    virtual void eraseBody() {}
    virtual void lockBody() = 0;
    virtual void idBody() = 0;
    void command(void (Mcu51Base::*body)());
    bool needHexView();
    // Auto: its own probe, then the frame's sequence.
    void autoClick();

    // Declaration helpers: the buttons, and the Auto steps in Auto's order.
    void declareControls(bool withErase);
    void addLockGroup();
    void addSpeedGroup();
    int speedIndex() const;
    int lockIndex() const;

    std::vector<Mcu51Row> rows_;
    Mcu51Pins pins_;
    PinModeTable modes_;
    std::array<uint8_t, 3> chipSignature_{0, 0, 0};
    uint8_t readBusCommand_ = 160;
    uint8_t putDataCommand_ = 161;
    std::string connectedText_ = "OK ";
    std::string endOfWriteText_ = "Нет пустой микросхемы в прогр! ";
};

template <typename Body> bool Mcu51Base::walk(int stride, int phase, Body body)
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

} // namespace pontvex

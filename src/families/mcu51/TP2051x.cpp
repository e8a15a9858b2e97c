#include "families/mcu51/TP2051x.h"

#include "families/mcu51/Mcu51Texts.h"

#include <cstdio>

namespace pontvex {

using namespace mcu51text;

namespace {
// Data port P1.0-P1.7 on socket pins 22-29; RST/Vpp 11, PROG 16, XTAL1 15.
constexpr int kVppPin = 11;
constexpr int kProgPin = 16;
constexpr int kClockPin = 15;
} // namespace

TP2051x::TP2051x(ProgrammerLink& link, FamilyHost& host) : TP2051x("TP2051x", link, host)
{
    setCaption("P205x");
    declareControls(true);
    findButton("erase")->enabled = true;
    if (ButtonControl* id = findButton("id"))
        id->caption = kIdCaption2051;
    addOption("RadioGroup1", kLockGroup, "lock", {kLockBit1, kLockBit12}, 1);
    addOption("RadioGroup2", kSpeedGroup, "speed", {kSpeed2, kSpeed4, kSpeed6}, 1);
    FillVariantTable();
}

TP2051x::TP2051x(std::string className, ProgrammerLink& link, FamilyHost& host)
    : Mcu51Window(std::move(className), link, host)
{
    pins_.vcc = 30;
    pins_.reset = kVppPin;
    pins_.clockOut = kClockPin;
    pins_.clockIn = 14;
    pins_.vppPin = kVppPin;
    pins_.highAddressPins.clear();
    // Port 3 chooses the operation: P3.2 16, P3.3 17, P3.4 18, P3.5 19, P3.7 21 (RST 11).
    using enum Lv;
    modes_ = {
        {"read", 0, {{16, H}, {17, L}, {18, L}, {19, H}, {21, H}}},
        {"signature", 0, {{16, H}, {17, L}, {18, L}, {19, L}, {21, L}}},
        {"program", 0, {{16, H}, {17, L}, {18, L}, {19, H}, {21, H}}},
        // Erase: the pins before the pulse, the pulse's own (RST back high) and the check's.
        {"erase-setup", 0, {{16, H}, {17, L}, {18, H}, {19, H}, {21, H}}},
        {"erase", 0, {{17, H}, {18, L}, {19, L}, {21, L}, {11, H}}},
        {"erase-check", 0, {{17, L}, {18, L}, {19, H}, {21, H}}},
        // Lock bits pin by pin, whoever held those pins before (LockPulse also writes the latches).
        {"lock1", 0, {{17, H}, {18, H}, {19, H}, {21, H}}},
        {"lock2", 0, {{17, H}, {18, H}, {19, L}, {21, L}}},
    };
    verifyBusyText_ = kVerifying2051;
}

void TP2051x::FillVariantTable()
{
    rows_ = {
        {"Exit", 0, 0, 0},
        {"1: 89C1051 (1k)", 0, 1023, 0},
        {"2: 89C2051 (2k)", 0, 2047, 0},
        {"3: 89C4051 (4k)", 0, 4095, 0},
    };
}

void TP2051x::SelectChip(const ChipSelection& chip)
{
    try {
        link.ResetSocket();
        if (!acceptChip(chip))
            return;
        setMessage(link.Connected() ? connectedText_ : kNoLink);
        link.SetVppVoltage(pins_.vppMillivolts);
        host.fileNew();
        FillVariantTable();
        setChipNameText(chip.ChipName);
        const Mcu51Row* r = row();
        setProgressMax(r->lastAddress);
        host.setEndAddress(r->lastAddress);
        host.showPage();
        show();
        link.Flush();
    } catch (const LinkLost&) {
        ErrorFlag = 1;
        setMessage(kNoLink);
        return;
    }
    // Selecting powers the chip; the command frame switches it off again, as
    // after every command, so a chip is never inserted into a live socket.
    if (link.Connected())
        runCommand("", [this] { PowerUp(); });
}

void TP2051x::PowerUp()
{
    link.SetVppVoltage(pins_.vppMillivolts);
    link.LinkDelay(100);
    link.SetBusMode(9);
    link.SetPin(14, 1);
    link.SetPin(kClockPin, 0);
    link.RouteGnd(20);
    link.RouteVcc(0);
    L(30);
    link.RouteVcc(30);
    L(kVppPin);
    L(kClockPin);
    link.LinkDelay(100);
    // RST rising from 0 clears the chip's address counter.
    H(kVppPin);
    H(kProgPin);
}

void TP2051x::NextAddress()
{
    H(kClockPin);
    L(kClockPin);
    CurrentAddress += 1;
}

uint8_t TP2051x::ReadBus()
{
    link.SendByte(165);
    return link.ReceiveByte();
}

void TP2051x::PutData(uint8_t b)
{
    link.SendByte(166);
    link.SendByte(b);
}

void TP2051x::ProgramByte(uint8_t b)
{
    H(18);
    link.RouteVpp(kVppPin);
    PutData(b);
    L(kProgPin);
    H(kProgPin);
    link.RouteVpp(0);
    L(18);
    for (int i = 0; i <= speedIndex(); ++i)
        link.LinkDelay(20);
}

void TP2051x::readBody()
{
    if (!ProbeChip())
        return;
    setMessage(kReading2051);
    PowerUp();
    link.SetBusMode(9);
    enterMode("read");
    walkReads(16, 0, [&](uint32_t a, uint8_t got) {
        buffer[a] = got;
        return true;
    });
    link.RouteVpp(0);
    link.RouteVcc(0);
    succeed(kReadOk2051);
    host.showPage();
}

void TP2051x::blankBody()
{
    if (!ProbeChip())
        return;
    setMessage(kBlanking);
    PowerUp();
    enterMode("read");
    link.SetBusMode(9);
    ErrorFlag = 0;
    const bool blank = checkErased();
    if (blank)
        succeed(kOk2);
}

void TP2051x::verifyBody()
{
    if (!ProbeChip())
        return;
    setMessage(verifyBusyText_);
    PowerUp();
    enterMode("read");
    link.SetBusMode(9);
    const bool same = compareWithBuffer();
    if (same)
        succeed(kVerifyOk2051);
    link.RouteVcc(0);
}

void TP2051x::writeBody()
{
    if (!ProbeChip())
        return;
    if (!needHexView())
        return;
    setMessage(kWriting);
    PowerUp();
    link.SetBusMode(15);
    link.SetPin(13, 1);
    enterMode("program");
    ErrorFlag = 0;
    walk(64, 63, [&](uint32_t a) {
        if (buffer[a] != 0xFF)
            ProgramByte(buffer[a]);
        return true;
    });
    link.RouteVpp(0);
    succeed(endOfWriteText_);
}

void TP2051x::eraseBody()
{
    if (!ProbeChip())
        return;
    setMessage(kErasing);
    PowerUp();
    enterMode("erase-setup");
    link.RouteVpp(kVppPin);
    link.LinkDelay(1000);
    // The erase pulse powers the chip up again; 12 V must not sit on RST
    // while its Vcc is off, so the programming voltage leaves first.
    link.RouteVpp(0);
    link.SetBusMode(15);
    PowerUp();
    enterMode("erase");
    link.RouteVpp(kVppPin);
    L(kProgPin);
    link.LinkDelay(5000);
    H(kProgPin);
    link.RouteVpp(0);
    link.RouteVcc(0);
    link.LinkDelay(1000);
    PowerUp();
    enterMode("erase-check");
    link.SetBusMode(9);
    ErrorFlag = 0;
    setMessage(kEraseOk2051);
    for (int i = 0; i < 129; ++i)
        if (ReadBus() != 0xFF) {
            ErrorFlag = 2;
            setMessage(kEraseIncomplete);
            break;
        }
    link.RouteVcc(0);
}

void TP2051x::LockPulse(int bit)
{
    PowerUp();
    link.RouteVpp(kVppPin);
    link.SetBusMode(15);
    link.WriteLatch(3, 0xFF);
    link.WriteLatch(2, bit == 1 ? 0xFF : 0xF3);
    link.WriteLatch(1, 0xFF);
    enterMode(bit == 1 ? "lock1" : "lock2");
    L(kProgPin);
    link.LinkDelay(500);
    H(kProgPin);
    link.RouteVpp(0);
}

void TP2051x::lockCheck()
{
    PowerUp();
    link.SetBusMode(9);
    // Read-code mode: in a lock mode the port floats and reads 0xFF whatever the lock.
    enterMode("read");
    lockReadBack();
    link.RouteVcc(0);
}

void TP2051x::lockBody()
{
    if (!ProbeChip())
        return;
    setMessage(kLocking);
    PowerUp();
    LockPulse(1);
    LockPulse(2);
    lockCheck();
}

void TP2051x::readSignature(int count)
{
    auto& sig = ChipSignature();
    sig = {0, 0, 0};
    for (int i = 0; i < count; ++i) {
        if (i > 0)
            NextAddress();
        // P1.0-P1.3 are port 2 bits 4-7, P1.4-P1.7 port 3 bits 0-3.
        const uint8_t low = link.ReadPort(2);
        const uint8_t high = link.ReadPort(3);
        sig[static_cast<size_t>(i)] = static_cast<uint8_t>((low >> 4) | (high << 4));
    }
}

void TP2051x::idBody()
{
    PowerUp();
    link.SetBusMode(9);
    link.LinkDelay(5000);
    enterMode("signature");
    readSignature(signatureCount_);
    const auto& sig = ChipSignature();
    char text[32];
    if (signatureCount_ >= 3)
        std::snprintf(text, sizeof text, "%02x,%02x,%02x", sig[0], sig[1], sig[2]);
    else
        std::snprintf(text, sizeof text, "%02x,%02x", sig[0], sig[1]);
    setIdText(text);
    setMessage(text);
    link.RouteVcc(0);
}

} // namespace pontvex

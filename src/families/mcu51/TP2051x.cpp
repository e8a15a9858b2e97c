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
    findButton(Role::Erase)->enabled = true;
    if (ButtonControl* id = findButton(Role::Id))
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
        noteLinkLost();
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

void TP2051x::readCodeMode()
{
    setPins({{16, Lv::H}, {17, Lv::L}, {18, Lv::L}, {19, Lv::H}, {21, Lv::H}});
}

void TP2051x::readSignatureMode()
{
    setPins({{16, Lv::H}, {17, Lv::L}, {18, Lv::L}, {19, Lv::L}, {21, Lv::L}});
}

void TP2051x::programMode()
{
    setPins({{16, Lv::H}, {17, Lv::L}, {18, Lv::L}, {19, Lv::H}, {21, Lv::H}});
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
    readCodeMode();
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
    readCodeMode();
    link.SetBusMode(9);
    setOutcome(Outcome::Ok);
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
    readCodeMode();
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
    programMode();
    setOutcome(Outcome::Ok);
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
    setPins({{16, Lv::H}, {17, Lv::L}, {18, Lv::H}, {19, Lv::H}, {21, Lv::H}});
    link.RouteVpp(kVppPin);
    link.LinkDelay(1000);
    // The erase pulse powers the chip up again; 12 V must not sit on RST
    // while its Vcc is off, so the programming voltage leaves first.
    link.RouteVpp(0);
    link.SetBusMode(15);
    PowerUp();
    setPins({{17, Lv::H}, {18, Lv::L}, {19, Lv::L}, {21, Lv::L}, {kVppPin, Lv::H}});
    link.RouteVpp(kVppPin);
    L(kProgPin);
    link.LinkDelay(5000);
    H(kProgPin);
    link.RouteVpp(0);
    link.RouteVcc(0);
    link.LinkDelay(1000);
    PowerUp();
    setPins({{17, Lv::L}, {18, Lv::L}, {19, Lv::H}, {21, Lv::H}});
    link.SetBusMode(9);
    setOutcome(Outcome::Ok);
    setMessage(kEraseOk2051);
    for (int i = 0; i < 129; ++i)
        if (ReadBus() != 0xFF) {
            setOutcome(Outcome::Failed, 2);
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
    // The same mode pin by pin, whoever held those pins before.
    const Lv low = bit == 1 ? Lv::H : Lv::L;
    setPins({{17, Lv::H}, {18, Lv::H}, {19, low}, {21, low}});
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
    readCodeMode();
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
    readSignatureMode();
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

#include "families/mcu51/Mcu2051Window.h"

#include "core/Text.h"
#include "families/mcu51/Mcu51Texts.h"

namespace pontvex {

using namespace mcu51text;

Mcu2051Window::Mcu2051Window(std::string className, ProgrammerLink& link, FamilyHost& host, bool withErase)
    : Mcu51Base(std::move(className), link, host)
{
    pins_.vcc = 30;
    pins_.reset = 11;
    pins_.clockOut = 15;
    pins_.clockIn = 14;
    pins_.vppPin = 11;
    readBusCommand_ = 165;
    putDataCommand_ = 166;
    // Port 3 chooses the operation: P3.2 16, P3.3 17, P3.4 18, P3.5 19, P3.7 21.
    using enum Lv;
    modes_ = {
        {"read", 0, {{16, H}, {17, L}, {18, L}, {19, H}, {21, H}}},
        {"signature", 0, {{16, H}, {17, L}, {18, L}, {19, L}, {21, L}}},
        // Lock bits pin by pin, whoever held those pins before (the latches are written too).
        {"lock1", 0, {{17, H}, {18, H}, {19, H}, {21, H}}},
        {"lock2", 0, {{17, H}, {18, H}, {19, L}, {21, L}}},
    };
    verifyBusyText_ = kVerifying2051;
    declareControls(withErase);
    declareStandardControls({{Role::Exit}});
    if (ButtonControl* id = findButton(Role::Id))
        id->caption = kIdCaption2051;
    addOption("RadioGroup1", kLockGroup, "lock", {kLockBit1, kLockBit12}, 1);
    addOption("RadioGroup2", kSpeedGroup, "speed", {kSpeed2, kSpeed4, kSpeed6}, 1);
}

void Mcu2051Window::SelectChip(const ChipSelection& chip)
{
    try {
        link.ResetSocket();
        if (!acceptChip(chip))
            return;
        setChipBytes(static_cast<int64_t>(row()->lastAddress) + 1);
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
        // Selecting powers the chip and leaves it powered: Vcc on 30, RST
        // high, no Vpp on any pin. The next command starts from its probe, and
        // its frame switches everything off when it ends.
        PowerUp();
        link.Flush();
    } catch (const LinkLost&) {
        noteLinkLost();
        setMessage(kNoLink);
    }
}

void Mcu2051Window::readBody()
{
    if (!ProbeChip())
        return;
    setMessage(kReading2051);
    PowerUp();
    link.SetBusMode(9);
    enterMode("read");
    readRange(codeRange(16));
    link.RouteVpp(0);
    link.RouteVcc(0);
    succeed(kReadOk2051);
    host.showPage();
}

void Mcu2051Window::blankBody()
{
    if (!ProbeChip())
        return;
    setMessage(kBlanking);
    PowerUp();
    enterMode("read");
    link.SetBusMode(9);
    setOutcome(Outcome::Ok);
    if (blankRange(codeRange(16, kBlankFail)))
        succeed(kOk2);
}

void Mcu2051Window::verifyBody()
{
    if (!ProbeChip())
        return;
    setMessage(verifyBusyText_);
    if (verifySettle_ > 0)
        link.LinkDelay(verifySettle_);
    PowerUp();
    enterMode("read");
    link.SetBusMode(9);
    if (verifyRange(codeRange(32, kVerifyDiff)))
        succeed(kVerifyOk2051);
    link.RouteVcc(0);
}

void Mcu2051Window::writeBody()
{
    if (!readyToWrite())
        return;
    setMessage(kWriting);
    PowerUp();
    link.SetBusMode(15);
    link.SetPin(13, 1);
    enterMode("program");
    if (vppThroughPass_)
        link.RouteVpp(pins_.vppPin);
    setOutcome(Outcome::Ok);
    walk(64, 63, [&](uint32_t a) {
        if (buffer[a] != 0xFF)
            ProgramByte(buffer[a]);
        return true;
    });
    link.RouteVpp(0);
    succeed(endOfWriteText_);
}

void Mcu2051Window::lockCheck()
{
    PowerUp();
    link.SetBusMode(9);
    enterMode("read");
    lockReadBack();
    link.RouteVcc(0);
}

void Mcu2051Window::lockBody()
{
    if (!ProbeChip())
        return;
    setMessage(kLocking);
    PowerUp();
    lockPulses();
    lockCheck();
}

void Mcu2051Window::readSignature(int count)
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

void Mcu2051Window::idBody()
{
    PowerUp();
    link.SetBusMode(9);
    link.LinkDelay(5000);
    enterMode("signature");
    readSignature(signatureCount_);
    const auto& sig = ChipSignature();
    const std::string text = signatureCount_ >= 3 ? format("%02x,%02x,%02x", sig[0], sig[1], sig[2])
                                                  : format("%02x,%02x", sig[0], sig[1]);
    setIdText(text);
    setMessage(text);
    link.RouteVcc(0);
}

} // namespace pontvex

#include "families/mcu51/Mcu51Window.h"

#include "core/Text.h"
#include "families/mcu51/Mcu51Texts.h"

namespace pontvex {

using namespace mcu51text;

Mcu51Window::Mcu51Window(std::string className, ProgrammerLink& link, FamilyHost& host)
    : Mcu51Base(std::move(className), link, host)
{
    modes_ = standardModes();
}

const PinModeTable& Mcu51Window::standardModes()
{
    using enum Lv;
    static const PinModeTable modes{
        {"read", 7, {{27, L}, {28, L}, {16, H}, {17, H}, {9, H}, {29, L}, {30, H}, {31, H}}},
        {"signature", 7, {{27, L}, {28, L}, {16, L}, {17, L}, {9, H}, {29, L}, {30, H}, {31, H}}},
        {"program", 15, {{27, L}, {28, L}, {16, H}, {17, H}, {9, H}, {29, L}, {30, H}, {31, H}, {14, Set}}},
        {"erase", 15, {{27, H}, {28, L}, {16, L}, {17, L}, {13, H}}},
        // The lock bits set their own pins (lockBody).
        {"lock", 15, {}},
        // Read-code levels of the mode pins; RST, PSEN, ALE and EA keep PowerUp's.
        {"lock-check", 7, {{27, L}, {28, L}, {16, H}, {17, H}}},
    };
    return modes;
}

const LockTable& Mcu51Window::standardLocks()
{
    using enum Lv;
    static const LockTable locks{
        LockTable::Pick::UpTo,
        {{27, H}, {13, H}},
        {{{{28, H}, {16, H}, {17, H}}}, {{{28, H}, {16, L}, {17, L}}}, {{{28, L}, {16, H}, {17, L}}}},
    };
    return locks;
}

void Mcu51Window::SelectChip(const ChipSelection& chip)
{
    try {
        link.ResetSocket();
        if (!acceptChip(chip))
            return;
        setChipBytes(static_cast<int64_t>(row()->lastAddress) + 1);
        setChipNameText(chip.ChipName);
        setMessage(link.Connected() ? connectedText_ : kNoLink);
        host.fileNew();
        show();
        FillVariantTable();
        const Mcu51Row* r = row();
        setProgressMax(r->lastAddress);
        host.setEndAddress(r->lastAddress);
        host.showPage();
        if (ButtonControl* erase = findButton(Role::Erase))
            erase->enabled = r->otp == 0;
        if (AutoStep* erase = findAutoStep(Role::Erase))
            erase->enabled = r->otp == 0;
        changed();
        // The programming level is set where Vpp is routed (vppOn): between
        // commands the socket stays idle, Vpp level 0 included.
        link.Flush();
    } catch (const LinkLost&) {
        noteLinkLost();
        setMessage(kNoLink);
    }
}

void Mcu51Window::PowerUp()
{
    link.WriteAllLatches(0);
    link.LinkDelay(200);
    link.SetBusMode(15);
    link.SetPin(14, 1);
    link.RouteGnd(20);
    link.RouteVcc(40);
    link.WriteAllLatches(255);
    link.SetBusMode(7);
    link.SetVccVoltage(5);
    link.SetPin(18, 1);
    link.LinkDelay(10);
    link.SetPin(19, 1);
    link.RouteClock(19);
    link.LinkDelay(1000);
    link.RouteVpp(0);
    link.LinkDelay(200);
    setPins({{9, Lv::H}, {29, Lv::L}, {30, Lv::H}, {31, Lv::H}});
}

void Mcu51Window::SetAddress(uint32_t a)
{
    if (!pinAddressPins_.empty()) {
        // A8 and up one pin each: H for a 1, L for a 0.
        for (size_t i = 0; i < pinAddressPins_.size(); ++i)
            link.SetPinDriver((a >> (8 + i)) & 1u, pinAddressPins_[i]);
        CurrentAddress = a;
        link.WriteLatch(0, static_cast<uint8_t>(a & 0xFF));
        return;
    }
    // Pins 17-19 share port 2 with A8-A12: keep the levels they have.
    const uint8_t keep = link.ReadPort(2) & 0x07;
    HighAddressLatch = static_cast<uint8_t>(keep | (((a >> 8) & 0x1F) << 3));
    for (size_t i = 0; i < highAddressPins_.size(); ++i)
        set(highAddressPins_[i], ((a >> (13 + i)) & 1u) ? Lv::H : Lv::L);
    CurrentAddress = a;
    link.WriteLatch(0, static_cast<uint8_t>(a & 0xFF));
    link.WriteLatch(2, HighAddressLatch);
}

void Mcu51Window::NextAddress()
{
    CurrentAddress += 1;
    link.WriteLatch(0, static_cast<uint8_t>(CurrentAddress & 0xFF));
}

void Mcu51Window::vppOn()
{
    // The supplies guard drops the level after every command, so set it again here.
    link.SetVppVoltage(pins_.vppMillivolts);
    link.RouteVpp(pins_.vppPin);
}

bool Mcu51Window::identify()
{
    setMessage(kDetecting);
    if (!ProbeChip())
        return false;
    PowerUp();
    enterMode("signature");
    auto& sig = ChipSignature();
    const std::vector<uint32_t> addresses = signatureAddresses();
    sig = {0, 0, 0};
    for (size_t i = 0; i < addresses.size() && i < sig.size(); ++i) {
        SetAddress(addresses[i]);
        sig[i] = ReadBus();
    }
    link.LinkDelay(100);
    link.WriteAllLatches(255);
    link.RouteVpp(0);
    link.RouteVcc(0);
    const std::string text =
        addresses.size() >= 3 ? format(kIdText3, sig[0], sig[1], sig[2]) : format(kIdText2, sig[0], sig[1]);
    setIdText(text);
    setMessage(text);
    return true;
}

bool Mcu51Window::CheckSignature()
{
    if (!identify())
        return false;
    const auto& sig = ChipSignature();
    const auto& want = chip_.ExpectedSignature;
    const int n = signatureBytesCompared();
    if (n >= 3)
        setMessage(format(kRS3, sig[0], sig[1], sig[2], want[0], want[1], want[2]));
    else
        setMessage(format(kRS2, sig[0], sig[1], want[0], want[1]));
    if (want[0] == 0)
        return true;
    bool allFF = true, same = true;
    for (int i = 0; i < n; ++i) {
        allFF = allFF && sig[static_cast<size_t>(i)] == 0xFF;
        same = same && sig[static_cast<size_t>(i)] == want[static_cast<size_t>(i)];
    }
    if (allFF) {
        if (prompt().askYesNo(kAskIdMismatch))
            return true;
        setOutcome(Outcome::Refused);
        return false;
    }
    if (same)
        return true;
    if (prompt().askYesNo(kAskNoChip))
        return true;
    setOutcome(Outcome::Refused);
    return false;
}

void Mcu51Window::readBody()
{
    if (!ProbeChip())
        return;
    PowerUp();
    setMessage(kReading);
    link.LinkDelay(100);
    enterMode("read");
    SetAddress(0);
    readRange(codeRange(16));
    link.RouteVcc(0);
    succeed("OK");
    host.showPage();
}

void Mcu51Window::blankBody()
{
    // The identification probes again before it powers the chip.
    if (!ProbeChip() || !identify())
        return;
    const auto& sig = ChipSignature();
    if (sig[0] == 0xFF && sig[1] == 0xFF && !prompt().askYesNo(kAskIdFactory)) {
        setOutcome(Outcome::Refused);
        return;
    }
    setMessage(kBlanking);
    PowerUp();
    enterMode("read");
    SetAddress(0);
    if (blankRange(codeRange(16, kBlankFail)))
        succeed(kOk2);
}

void Mcu51Window::verifyBody()
{
    if (!ProbeChip())
        return;
    setMessage(kVerifying);
    PowerUp();
    enterMode("read");
    SetAddress(0);
    if (verifyRange(codeRange(32, kVerifyDiff)))
        succeed(kOk2);
    link.RouteVcc(0);
}

void Mcu51Window::writeBody()
{
    if (!readyToWrite())
        return;
    setMessage(kWriting);
    PowerUp();
    enterMode("program");
    SetAddress(0);
    vppOn();
    link.LinkDelay(100);
    walk(16, 15, [&](uint32_t a) {
        if (buffer[a] != 0xFF)
            ProgramByte(buffer[a]);
        return true;
    });
    link.RouteVpp(0);
    link.RouteVcc(0);
    succeed(endOfWriteText_);
}

void Mcu51Window::idBody()
{
    identify();
}

void Mcu51Window::LockPulse(const LockBit& bit)
{
    setPins(bit.pins);
    if (bit.data >= 0)
        PutData(static_cast<uint8_t>(bit.data));
    vppOn();
    link.LinkDelay(100);
    if (locks_.pulseData >= 0)
        PutData(static_cast<uint8_t>(locks_.pulseData));
    L(30);
    if (locks_.progLow > 0)
        link.LinkDelay(locks_.progLow);
    H(30);
    link.LinkDelay(20);
    link.RouteVpp(0);
}

void Mcu51Window::lockBody()
{
    if (!ProbeChip())
        return;
    setMessage(kLocking);
    PowerUp();
    enterMode("lock");
    SetAddress(0);
    setPins(locks_.common);
    const int k = lockIndex();
    for (size_t i = 0; i < locks_.bits.size(); ++i) {
        const LockBit& bit = locks_.bits[i];
        const bool chosen = locks_.pick == LockTable::Pick::UpTo       ? static_cast<int>(i) <= k
                            : locks_.pick == LockTable::Pick::Selected ? static_cast<int>(i) == k
                                                                       : option(std::string(bit.option)) == 1;
        if (chosen)
            LockPulse(bit);
    }
    lockCheck();
}

void Mcu51Window::lockCheck()
{
    if (lockIndex() == 0) {
        setMessage(kLockDone);
        return;
    }
    PowerUp();
    link.RouteVcc(pins_.vcc);
    // The address stays where PowerUp left it (every line high): the check
    // reads that one cell.
    enterMode("lock-check");
    lockReadBack();
    link.RouteVcc(0);
}

void Mcu51Window::eraseBody()
{
    if (!ProbeChip())
        return;
    PowerUp();
    setMessage(kErasing);
    enterMode("erase");
    vppOn();
    link.LinkDelay(100);
    L(30);
    link.LinkDelay(200);
    H(30);
    link.LinkDelay(5000);
    link.RouteVpp(0);
    link.RouteVcc(0);
    succeed(kOk1);
}

} // namespace pontvex

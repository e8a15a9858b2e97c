#include "families/mcu51/Mcu51Window.h"

#include "families/mcu51/Mcu51Texts.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

namespace pontvex {

using namespace mcu51text;

std::array<uint8_t, 3>& ChipSignature()
{
    static std::array<uint8_t, 3> signature{0, 0, 0};
    return signature;
}

namespace {
std::string format(const char* fmt, int a = 0, int b = 0, int c = 0, int d = 0, int e = 0, int f = 0)
{
    char text[160];
    std::snprintf(text, sizeof text, fmt, a, b, c, d, e, f);
    return text;
}
} // namespace

Mcu51Window::Mcu51Window(std::string className, ProgrammerLink& link, FamilyHost& host)
    : FamilyWindow(std::move(className), link, host)
{
    setAddressDigits(4);
}

std::string Mcu51Window::rowName(int index) const
{
    if (index < 0 || index >= static_cast<int>(rows_.size()))
        return {};
    return rows_[static_cast<size_t>(index)].name;
}

const Mcu51Row* Mcu51Window::row() const
{
    const int index = chip_.VariantIndex;
    if (index < 1 || index > rowCount())
        return nullptr;
    return &rows_[static_cast<size_t>(index)];
}

PinModeTable withModes(PinModeTable base, const PinModeTable& more)
{
    for (const PinMode& mode : more) {
        auto same =
            std::find_if(base.begin(), base.end(), [&](const PinMode& m) { return m.name == mode.name; });
        if (same != base.end())
            *same = mode;
        else
            base.push_back(mode);
    }
    return base;
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

void Mcu51Window::set(int pin, Lv level)
{
    switch (level) {
    case Lv::L:
        L(pin);
        break;
    case Lv::H:
        H(pin);
        break;
    case Lv::Set:
        link.SetPin(pin, 1);
        break;
    }
}

void Mcu51Window::setPins(const std::vector<PinLevel>& pins)
{
    for (const PinLevel& p : pins)
        set(p.pin, p.level);
}

void Mcu51Window::enterMode(std::string_view name)
{
    auto mode = std::find_if(modes_.begin(), modes_.end(), [&](const PinMode& m) { return m.name == name; });
    if (mode == modes_.end())
        throw std::logic_error(className() + " has no pin mode " + std::string(name));
    if (mode->busMode != 0) {
        link.SetBusMode(mode->busMode);
        link.SetPin(18, 1);
        link.SetPin(19, 1);
    }
    setPins(mode->pins);
}

int Mcu51Window::speedIndex() const
{
    const int k = option("speed");
    return k < 0 ? 0 : k;
}

int Mcu51Window::lockIndex() const
{
    const int k = option("lock");
    return k < 0 ? 0 : k;
}

int64_t Mcu51Window::loopLast() const
{
    const Mcu51Row* r = row();
    if (!r)
        return -1;
    return std::min<int64_t>(r->lastAddress, host.endAddress());
}

// --- selection ------------------------------------------------------------------

void Mcu51Window::SelectChip(const ChipSelection& chip)
{
    try {
        link.ResetSocket();
        if (!acceptChip(chip))
            return;
        setChipNameText(chip.ChipName);
        setMessage(link.Connected() ? connectedText_ : kNoLink);
        host.fileNew();
        show();
        FillVariantTable();
        const Mcu51Row* r = row();
        setProgressMax(r->lastAddress);
        host.setEndAddress(r->lastAddress);
        host.showPage();
        if (ButtonControl* erase = findButton("erase"))
            erase->enabled = r->otp == 0;
        if (AutoStep* erase = findAutoStep("erase"))
            erase->enabled = r->otp == 0;
        changed();
        // The programming level is set where Vpp is routed (vppOn): between
        // commands the socket stays idle, Vpp level 0 included.
        link.Flush();
    } catch (const LinkLost&) {
        ErrorFlag = 1;
        setMessage(kNoLink);
    }
}

// --- building blocks ----------------------------------------------------------------

bool Mcu51Window::ProbeChip()
{
    link.RouteGnd(pins_.gnd);
    link.RouteVcc(pins_.vcc);
    H(pins_.reset);
    L(pins_.reset);
    const bool present = link.OscillatorPresenceTest(pins_.clockOut, pins_.clockIn);
    // A refused probe stops Auto too; nothing was done to the chip.
    if (!present)
        ErrorFlag = 1;
    return present;
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
    if (!pins_.pinAddressPins.empty()) {
        // A8 and up one pin each: H for a 1, L for a 0.
        for (size_t i = 0; i < pins_.pinAddressPins.size(); ++i)
            link.SetPinDriver((a >> (8 + i)) & 1u, pins_.pinAddressPins[i]);
        CurrentAddress = a;
        link.WriteLatch(0, static_cast<uint8_t>(a & 0xFF));
        return;
    }
    // Pins 17-19 share port 2 with A8-A12: keep the levels they have.
    const uint8_t keep = link.ReadPort(2) & 0x07;
    HighAddressLatch = static_cast<uint8_t>(keep | (((a >> 8) & 0x1F) << 3));
    for (size_t i = 0; i < pins_.highAddressPins.size(); ++i)
        set(pins_.highAddressPins[i], ((a >> (13 + i)) & 1u) ? Lv::H : Lv::L);
    CurrentAddress = a;
    link.WriteLatch(0, static_cast<uint8_t>(a & 0xFF));
    link.WriteLatch(2, HighAddressLatch);
}

void Mcu51Window::NextAddress()
{
    CurrentAddress += 1;
    link.WriteLatch(0, static_cast<uint8_t>(CurrentAddress & 0xFF));
}

uint8_t Mcu51Window::ReadBus()
{
    link.SendByte(160);
    return link.ReceiveByte();
}

void Mcu51Window::PutData(uint8_t b)
{
    link.SendByte(161);
    link.SendByte(b);
}

void Mcu51Window::vppOn()
{
    // The supplies guard drops the level after every command, so set it again here.
    link.SetVppVoltage(pins_.vppMillivolts);
    link.RouteVpp(pins_.vppPin);
}

// --- identification and signature check ------------------------------------------

void Mcu51Window::identify()
{
    setMessage(kDetecting);
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
}

bool Mcu51Window::CheckSignature()
{
    identify();
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
        ErrorFlag = 1;
        return false;
    }
    if (same)
        return true;
    if (prompt().askYesNo(kAskNoChip))
        return true;
    ErrorFlag = 1;
    return false;
}

// --- standard command bodies ---------------------------------------------------------

bool Mcu51Window::needHexView()
{
    if (host.hexViewExists())
        return true;
    ErrorFlag = 1;
    prompt().showMessage(kNeedFile);
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
    walkReads(16, 0, [&](uint32_t a, uint8_t got) {
        buffer[a] = got;
        return true;
    });
    link.RouteVcc(0);
    succeed("OK");
    host.showPage();
}

void Mcu51Window::blankBody()
{
    if (!ProbeChip())
        return;
    identify();
    const auto& sig = ChipSignature();
    if (sig[0] == 0xFF && sig[1] == 0xFF && !prompt().askYesNo(kAskIdFactory)) {
        ErrorFlag = 1;
        return;
    }
    setMessage(kBlanking);
    PowerUp();
    enterMode("read");
    SetAddress(0);
    const bool blank = checkErased();
    if (blank)
        succeed(kOk2);
}

bool Mcu51Window::checkErased()
{
    return walkReads(16, 0, [&](uint32_t a, uint8_t got) {
        if (got == 0xFF)
            return true;
        fail(kBlankFail);
        progress(a);
        return false;
    });
}

bool Mcu51Window::compareWithBuffer()
{
    return walkReads(32, 0, [&](uint32_t a, uint8_t got) {
        if (got == buffer[a])
            return true;
        fail(format(kVerifyDiff, static_cast<int>(a), buffer[a], got));
        progress(a);
        return false;
    });
}

void Mcu51Window::verifyBody()
{
    if (!ProbeChip())
        return;
    setMessage(kVerifying);
    PowerUp();
    enterMode("read");
    SetAddress(0);
    const bool same = compareWithBuffer();
    if (same)
        succeed(kOk2);
    link.RouteVcc(0);
}

void Mcu51Window::writeBody()
{
    if (!ProbeChip())
        return;
    if (!CheckSignature())
        return;
    if (!needHexView())
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

bool Mcu51Window::lockReadBack()
{
    for (int i = 0; i < 129; ++i)
        if (ReadBus() != 0xFF) {
            fail(kLockFail);
            return false;
        }
    succeed(kLockOk);
    return true;
}

void Mcu51Window::command(void (Mcu51Window::*body)())
{
    runCommand("", [this, body] {
        // No row chosen (a list entry past the table): nothing to work on.
        if (!row()) {
            fail(format("Нет типа %d в таблице!", chip_.VariantIndex));
            return;
        }
        (this->*body)();
    });
}

void Mcu51Window::declareControls(bool withErase)
{
    addButton("Read1", "ReadRom", kReadCaption, "read", [this] { command(&Mcu51Window::readBody); });
    addButton("Write", "WriteClick", kWriteCaption, "write", [this] { command(&Mcu51Window::writeBody); });
    addButton("Blank", "BlankClick", kBlankCaption, "blank", [this] { command(&Mcu51Window::blankBody); });
    if (withErase)
        addButton("Erase", "EraseClick", kEraseCaption, "erase", [this] {
            command(&Mcu51Window::eraseBody);
        }).enabled = false;
    addButton("Verify", "VerifyClick", kVerifyCaption, "verify",
              [this] { command(&Mcu51Window::verifyBody); });
    addButton("Secrity", "SecrityClick", kLockCaption, "lock", [this] { command(&Mcu51Window::lockBody); });
    addButton("ID", "IDClick", kIdCaption, "id", [this] { command(&Mcu51Window::idBody); });
    if (withErase)
        addAutoStep("CheckBox1", kEraseCaption, "erase", true, [this] {
            // One-time parts have nothing to erase; the step is skipped, not failed.
            const Mcu51Row* r = row();
            if (r && r->otp != 0)
                return;
            command(&Mcu51Window::eraseBody);
        });
    addAutoStep("CheckBox2", kBlankCaption, "blank", true, [this] { command(&Mcu51Window::blankBody); });
    addAutoStep("CheckBox3", kWriteCaption, "write", true, [this] { command(&Mcu51Window::writeBody); });
    addAutoStep("CheckBox4", kVerifyCaption, "verify", true, [this] { command(&Mcu51Window::verifyBody); });
    addAutoStep("CheckBox5", kLockCaption, "lock", true, [this] { command(&Mcu51Window::lockBody); });
}

void Mcu51Window::addLockGroup()
{
    addOption("RadioGroup1", kLockGroup, "lock", {kLockBit1, kLockBit12, kLockBit123}, 1);
}

void Mcu51Window::addSpeedGroup()
{
    addOption("RadioGroup2", kSpeedGroup, "speed", {kSpeed1, kSpeed2, kSpeed3}, 0);
}

void Mcu51Window::idBody()
{
    setMessage(kDetecting);
    if (!ProbeChip())
        return;
    identify();
}

// --- lock bits and erase of the usual 8051 table -------------------------------------

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
    enterMode("lock-check");
    // PowerUp left every address line high; the check reads address 0, where
    // a program starts, not the top cell that is most often still erased.
    SetAddress(0);
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

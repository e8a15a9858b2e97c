#include "families/serialeeprom/Microwire93Window.h"

#include "families/serialeeprom/SerialEepromTexts.h"

namespace pontvex {

using namespace serialtext;

namespace {

constexpr int kCs = 17, kSk = 18, kDi = 19, kDo = 20, kGnd = 21, kOrg = 22, kPin7 = 23, kVcc = 24;
// SerialLatch bits (port 2 holds pins 17..25 without 20).
constexpr uint8_t kCsBit = 0x01, kDiBit = 0x04, kOrgBit = 0x10;
constexpr uint8_t kIdleLatch = 0xE4;
// Single-byte pin commands: H floats a pin, L drives it low.
constexpr uint8_t kSkH = 31 + kSk, kSkL = 79 + kSk, kCsH = 31 + kCs;
// ReadPin(20): the status command and its three-unit wait; DO is bit 7.
constexpr uint8_t kStatus = 7, kNoOperation = 30;

} // namespace

const std::vector<MicrowireRow>& Microwire93Window::Table()
{
    static const std::vector<MicrowireRow> rows = {
        {"Exit", 0, 8, 0, 0},
        {"1: 93c46    128x8", 7, 8, 127, 127},
        {"2: 93c56  256x8", 9, 8, 255, 255},
        {"3: 93c66    512x8", 9, 8, 511, 511},
        {"4: 93c46    64x16", 6, 16, 63, 127},
        {"5: 93c56  128x16", 8, 16, 127, 255},
        {"6: 93c66    256x16", 8, 16, 255, 511},
        {"7: 93c57  256x8", 8, 8, 255, 511},
        {"8: 93c86   2Kx8", 11, 8, 2047, 2047},
        {"9: 93c86   1Kx16", 10, 16, 1023, 2047},
    };
    return rows;
}

Microwire93Window::Microwire93Window(std::string className, ProgrammerLink& link, FamilyHost& host,
                                     bool words)
    : FamilyWindow(std::move(className), link, host), words_(words)
{
    setCaption("93c x 8 & x16");
    setAddressDigits(4);
    declareStandardControls({{Role::Read, [this] { ReadRom(); }},
                             {Role::Write, [this] { WriteClick(); }},
                             {Role::Verify, [this] { VerifyClick(); }},
                             {Role::Erase, [this] { EraseClick(); }},
                             {Role::Blank, [this] { BlankClick(); }},
                             {Role::Auto},
                             {Role::Exit}});
    addOption("Speed", kSpeedGroup, "speed", {std::begin(kSpeeds), std::end(kSpeeds)}, kDefaultSpeed);
    declareAutoSteps({{Role::Erase, true}, {Role::Blank, true}, {Role::Write, true}, {Role::Verify, true}});
    FillVariantTable();
}

void Microwire93Window::FillVariantTable()
{
    rows_ = Table();
}

std::string Microwire93Window::rowName(int index) const
{
    if (index < 0 || index >= static_cast<int>(rows_.size()))
        return {};
    return rows_[static_cast<size_t>(index)].name;
}

std::string Microwire93Window::connectionErrorText() const
{
    return kNoLink93;
}

const MicrowireRow& Microwire93Window::row() const
{
    const int index = chip_.VariantIndex;
    if (index < 1 || index > rowCount())
        return rows_.front();
    return rows_[static_cast<size_t>(index)];
}

void Microwire93Window::SelectChip(const ChipSelection& chip)
{
    try {
        link.ResetSocket();
        if (!acceptChip(chip))
            return;
        FillVariantTable();
        setChipBytes(static_cast<int64_t>(lastAddress()) + 1);
        setMessage(link.Connected() ? kConnected : kNoLink93);
        host.fileNew();
        setProgressMax(lastAddress());
        host.setEndAddress(lastAddress());
        host.showPage();
        show();
        setChipNameText(chip.ChipName);
        link.Flush();
    } catch (const LinkLost&) {
        noteLinkLost();
        setMessage(kNoLink93);
    }
}

bool Microwire93Window::needHexView(const char* text)
{
    if (host.hexViewExists())
        return true;
    setOutcome(Outcome::Refused);
    prompt().showMessage(text);
    return false;
}

void Microwire93Window::PowerUpSerial()
{
    serialLatch_ = kIdleLatch;
    link.WriteLatch(2, serialLatch_);
    if (row().dataBits == 16)
        serialLatch_ |= kOrgBit;
    link.RouteVpp(0);
    link.WriteAllLatches(255);
    link.SetPin(kDi, 0);
    link.SetPin(kDo, 1);
    link.FloatPin(kPin7);
    link.FloatPin(kOrg);
    link.DrivePin(kSk);
    link.FloatPin(kCs);
    link.RouteGnd(kGnd);
    link.RouteVcc(kVcc);
    link.LinkDelay(100);
}

void Microwire93Window::ShiftOut(uint32_t v, int n)
{
    for (int i = n - 1; i >= 0; --i) {
        serialLatch_ = static_cast<uint8_t>((serialLatch_ & ~kDiBit) | (((v >> i) & 1u) ? kDiBit : 0));
        link.WriteLatch(2, serialLatch_);
        link.FloatPin(kSk);
        link.DrivePin(kSk);
    }
}

void Microwire93Window::BeginRead(uint32_t wordAddress)
{
    // The driven CS pin goes high with the port write of the first bit.
    link.DrivePin(kCs);
    serialLatch_ |= kCsBit;
    ShiftOut(6, 3);
    ShiftOut(wordAddress, row().addressBits);
}

uint32_t Microwire93Window::ReadWord(uint32_t wordAddress)
{
    BeginRead(wordAddress);
    uint32_t v = 0;
    for (int i = 0; i < row().dataBits; ++i) {
        link.FloatPin(kSk);
        link.DrivePin(kSk);
        v = (v << 1) | (link.ReadPin(kDo) ? 1u : 0u);
    }
    link.FloatPin(kCs);
    return v;
}

void Microwire93Window::MicrowireCommand(int code)
{
    link.DrivePin(kCs);
    serialLatch_ |= kCsBit;
    ShiftOut(static_cast<uint32_t>(code | 16), 5);
    ShiftOut(0, row().addressBits - 2);
    link.FloatPin(kCs);
}

void Microwire93Window::WriteWord(uint32_t wordAddress, uint32_t value)
{
    serialLatch_ = static_cast<uint8_t>(kIdleLatch | (row().dataBits == 16 ? kOrgBit : 0));
    link.WriteLatch(2, serialLatch_);
    serialLatch_ |= kCsBit;
    ShiftOut(5, 3);
    ShiftOut(wordAddress, row().addressBits);
    ShiftOut(value, row().dataBits);
    // CS low starts the self-timed write; the chip is not polled.
    link.WriteLatch(2, static_cast<uint8_t>(serialLatch_ & ~kCsBit));
    link.LinkDelay(100 * kWriteCycle[option("speed")]);
}

uint32_t Microwire93Window::bufferValue(uint32_t a) const
{
    const uint8_t* data = buffer.data();
    if (!words_)
        return data[a];
    return data[a] | (uint32_t{data[a + 1]} << 8);
}

// One READ per chip address: the instruction goes out as the address is set,
// the data clocks with their DO reads and CS back high are the unit queued
// ahead of its replies.
ReadRange Microwire93Window::range()
{
    ReadRange r;
    r.first = 0;
    r.last = lastAddress();
    r.step = words_ ? 2 : 1;
    r.unitBytes = words_ ? 2 : 1;
    // TP93cxx keeps the low byte of a 16-bit word.
    r.mask = words_ ? 0xFFFF : 0xFF;
    r.addressEvery = 1;
    r.setAddress = [this](uint32_t a) { BeginRead(words_ ? a >> 1 : a); };
    const int bits = row().dataBits;
    r.unit.command.clear();
    for (int i = 0; i < bits; ++i)
        r.unit.command.insert(r.unit.command.end(),
                              {kSkH, kSkL, kStatus, kNoOperation, kNoOperation, kNoOperation});
    r.unit.command.push_back(kCsH);
    r.unit.replies = bits;
    r.unit.value = [bits](const uint8_t* replies) {
        uint32_t v = 0;
        for (int i = 0; i < bits; ++i)
            v = (v << 1) | ((replies[i] >> 7) & 1u);
        return v;
    };
    r.progress.every = 1;
    return r;
}

void Microwire93Window::ReadRom()
{
    runCommand(kReading, [this] {
        PowerUpSerial();
        link.LinkDelay(100);
        if (!readRange(range()))
            return;
        link.RouteVcc(0);
        succeed(kReadOk);
        host.showPage();
    });
}

void Microwire93Window::EraseClick()
{
    runCommand(kErasing, [this] {
        PowerUpSerial();
        MicrowireCommand(kEwen);
        MicrowireCommand(kEral);
        MicrowireCommand(kEwds);
        PowerUpSerial();
        // Only address 0 is looked at; Blank checks the rest.
        if (ReadWord(0) == ones())
            succeed(kEraseOk);
        else
            fail(kNotErased);
        link.RouteVcc(0);
        link.LinkDelay(10000);
    });
}

void Microwire93Window::BlankClick()
{
    runCommand(kBlanking, [this] {
        PowerUpSerial();
        ReadRange r = range();
        // Every data bit erased; a 16-bit word with a programmed high byte is no blank word.
        r.mask = 0xFFFFFFFF;
        r.erased = ones();
        r.failureFormat = kNotBlank;
        r.progress.atFailure = true;
        // A bad chip fails the command (ErrorFlag 1), so Auto stops there; the
        // frame switches the supplies off.
        if (!blankRange(r))
            return;
        succeed(kBlankOk);
        link.RouteVcc(0);
    });
}

void Microwire93Window::WriteClick()
{
    runCommand(kWriting, [this] {
        if (!needHexView(kNeedFileWrite))
            return;
        PowerUpSerial();
        MicrowireCommand(kEwen);
        const uint32_t last = lastAddress();
        const uint32_t step = words_ ? 2 : 1;
        for (uint32_t a = 0; a <= last; a += step) {
            progress(a);
            WriteWord(words_ ? a >> 1 : a, bufferValue(a));
        }
        MicrowireCommand(kEwds);
        PowerUpSerial();
        const uint32_t mask = words_ ? 0xFFFF : 0xFF;
        if ((ReadWord(0) & mask) == bufferValue(0))
            succeed(kWriteOk);
        else
            // The read-back of the first address differs: a failure, in the
            // family's verify text, never a success-looking one.
            fail(kDiffers93);
        progress(last);
        link.RouteVcc(0);
    });
}

void Microwire93Window::VerifyClick()
{
    runCommand(kVerifying93, [this] {
        if (!needHexView(kNeedFileVerify))
            return;
        PowerUpSerial();
        ReadRange r = range();
        r.failureFormat = kDiffers93;
        r.progress.atFailure = true;
        if (verifyRange(r))
            succeed(kVerifyOk);
        link.RouteVcc(0);
    });
}

} // namespace pontvex

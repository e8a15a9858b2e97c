#include "families/memory/EpromWindow.h"

#include "core/Text.h"

#include <algorithm>
#include <cstdio>

namespace pontvex {

namespace {

constexpr int kCePin = 26;
constexpr int kOePin = 28;
constexpr int kGroundPin = 20;

inline uint8_t bit(uint32_t a, int n)
{
    return (a >> n) & 1u;
}

} // namespace

std::array<uint8_t, 5> EpromPortLatchValues(uint32_t address, uint32_t highMask, int vccPin)
{
    const uint32_t a = address | highMask;
    std::array<uint8_t, 5> port{};
    uint8_t low = 0; // A0 in bit 7 .. A7 in bit 0: pin 16 carries A0
    for (int n = 0; n < 8; ++n)
        low |= bit(a, n) << (7 - n);
    port[1] = low;
    port[2] = 0xFF;
    port[3] = static_cast<uint8_t>(0x01 | bit(a, 10) << 1 | bit(a, 11) << 3 | bit(a, 9) << 4 |
                                   bit(a, 8) << 5 | bit(a, 13) << 6 | bit(a, 14) << 7);
    if (vccPin == 34) {
        port[0] = static_cast<uint8_t>(0x1F | bit(a, 12) << 7 | bit(a, 15) << 6);
        port[4] = static_cast<uint8_t>(0x02 | bit(a, 12) << 5 | bit(a, 15) << 4);
    } else {
        port[0] = static_cast<uint8_t>(0x0F | bit(a, 12) << 7 | bit(a, 15) << 6 | bit(a, 16) << 5 |
                                       bit(a, 19) << 4);
        port[4] = static_cast<uint8_t>(bit(a, 12) << 5 | bit(a, 15) << 4 | bit(a, 17) | bit(a, 18) << 1);
    }
    return port;
}

EpromWindow::EpromWindow(std::string className, ProgrammerLink& link, FamilyHost& host)
    : FamilyWindow(std::move(className), link, host)
{
}

void EpromWindow::declareControls(bool withErase)
{
    declareStandardControls({{Role::Read, [this] { ReadClick(); }},
                             {Role::Write, [this] { WriteClick(); }},
                             {Role::Verify, [this] { VerifyClick(); }},
                             {Role::Blank, [this] { BlankClick(); }}});
    if (withErase)
        declareStandardControls({{Role::Erase, [this] { EraseClick(); }}});
    declareStandardControls({{Role::CheckSum, [this] { CheckSumClick(); }},
                             {Role::Id, [this] { readId(); }},
                             {Role::Auto},
                             {Role::Exit}});
    if (withErase)
        declareAutoSteps({{Role::Erase, true}});
    declareAutoSteps({{Role::Blank, true}, {Role::Write, true}, {Role::Verify, false}});
    declareStandardFields();
}

void EpromWindow::OnClose()
{
    FamilyWindow::OnClose();
    try {
        link.SetVppVoltage(0);
        link.RouteVpp(0);
        link.WriteAllLatches(0);
        link.Flush();
    } catch (const LinkLost&) {
        noteLinkLost();
    }
}

void EpromWindow::readId()
{
    MFGClick();
    // The ID reader leaves its 12.5 V level selected; the socket rests at 0 V.
    try {
        if (link.Connected()) {
            suppliesOff();
            link.Flush();
        }
    } catch (const LinkLost&) {
        noteLinkLost();
    }
}

const EpromRow& EpromWindow::row() const
{
    return rowAt(rowIndex_);
}

std::string EpromWindow::rowName(int index) const
{
    if (index < 0 || index >= tableSize())
        return {};
    return rowAt(index).name;
}

int EpromWindow::packageVccPin() const
{
    // The stored choice, not the row in use: a refused choice leaves no package.
    const int index = chip().VariantIndex;
    return variantValid(index) ? rowAt(index).VccPin : 0;
}

void EpromWindow::SelectChip(const ChipSelection& chip)
{
    selectRangeChip(chip, [this](int index) {
        rowIndex_ = index;
        RangeChip r;
        if (index == 0)
            return r;
        r.addressMask = row().AddressMask;
        r.groundPin = kGroundPin;
        r.readyText = eprom_text::kSelectOk;
        r.shown = [this] {
            FillVariantTable();
            WriteBusMode = 15;
            ReadBusMode = 12;
        };
        return r;
    });
}

bool EpromWindow::rowChosen()
{
    if (rowIndex_ != 0)
        return true;
    refuse(format(eprom_text::kNoRow, chip_.VariantIndex));
    return false;
}

void EpromWindow::SetEpromAddress(uint32_t address)
{
    const EpromRow& r = row();
    PortLatchValues = EpromPortLatchValues(address, r.AddressHighMask, r.VccPin);
    for (int k = 0; k < 5; ++k)
        link.WriteLatch(k, PortLatchValues[static_cast<size_t>(k)]);
}

uint8_t EpromWindow::ProgramEpromByte(uint8_t data)
{
    link.SendByte(activePlan_.command);
    link.SendByte(data);
    const uint8_t reply = link.ReceiveByte();
    return activePlan_.compareEveryByte ? reply : data;
}

int64_t EpromWindow::rangeLength()
{
    const int64_t chipStart = ChipStart();
    const int64_t bufferStart = BufferStart();
    const int64_t mask = row().AddressMask;
    if (chipStart < 0 || bufferStart < 0 || chipStart > mask || LastAddress() < 0)
        return 0;
    const int64_t length = std::min(LastAddress() + 1, mask - chipStart + 1);
    if (bufferStart + length - 1 > DeviceBuffer::kLastAddress) {
        // Refuse the whole range rather than program a part of it.
        refuse(format(eprom_text::kOutsideBuffer, static_cast<unsigned>(DeviceBuffer::kSize)));
        return -1;
    }
    return length;
}

void EpromWindow::ReadClick()
{
    runCommand(eprom_text::kRead, [this] {
        if (!rowChosen())
            return;
        const EpromRow& r = row();
        link.DrivePin(kCePin);
        link.DrivePin(kOePin);
        link.LinkDelay(100);
        link.RouteVcc(r.VccPin);
        if (groundsThroughSwitch())
            link.RouteGnd(kGroundPin);
        link.LinkDelay(1000);
        link.SetBusMode(ReadBusMode);
        SetEpromAddress(0);
        ReadRange range;
        range.last = std::clamp<int64_t>(LastAddress(), 0, static_cast<int64_t>(r.AddressMask));
        range.setAddress = [this](uint32_t a) { SetEpromAddress(a); };
        // Each block shows its last address as it starts.
        range.progress.shift = 255;
        readRange(range);
        link.WriteAllLatches(255);
        link.RouteVcc(0);
        host.showPage();
        show();
        succeed(eprom_text::kReadOk);
    });
}

void EpromWindow::WriteClick()
{
    runCommand(eprom_text::kWrite, [this] { runWrite(); });
    if (ErrorFlag() == 0 && activePlan_.checkSumAfter)
        CheckSumClick();
}

void EpromWindow::runWrite()
{
    if (!rowChosen())
        return;
    const int64_t length = rangeLength();
    if (length < 0)
        return;
    const EpromRow& r = row();
    activePlan_ = writePlan();
    link.SetPulseLength(std::min(activePlan_.pulseParameter, 255));
    link.SetVppVoltage(activePlan_.vppMillivolts);
    link.RouteVcc(r.VccPin);
    if (activePlan_.groundAfterVcc)
        link.RouteGnd(kGroundPin);
    link.LinkDelay(1000);
    link.SetBusMode(WriteBusMode);
    const uint32_t chipStart = static_cast<uint32_t>(ChipStart());
    const uint32_t bufferStart = static_cast<uint32_t>(BufferStart());
    SetEpromAddress(chipStart);
    link.FloatPin(35);
    link.DrivePin(kOePin);
    link.FloatPin(kCePin);
    if (r.VppPin == 29) // 2716: CE rests low, the box pulses it high
        link.DrivePin(kCePin);
    link.RouteVpp(r.VppPin);
    link.RouteClock(0);

    auto switchOff = [this] {
        link.RouteVpp(0);
        link.RouteVcc(0);
        link.RouteClock(0);
        link.SetVppVoltage(0);
    };
    uint32_t a = chipStart;
    for (uint32_t i = 0; i < length; ++i) {
        a = chipStart + i;
        // Again at the first byte: FloatPin 35 above has released A18 of the
        // 512 K and 1 M parts, which only a port write takes back.
        if ((a & 0xFF) == 0 || i == 0) {
            SetEpromAddress(a);
            progress(a);
        }
        const uint8_t data = buffer[bufferStart + i];
        const uint8_t result = ProgramEpromByte(data);
        if (result != data) {
            switchOff();
            progress(a);
            fail(format(eprom_text::kMismatch, a, data, result));
            return;
        }
    }
    progress(a);
    succeed(eprom_text::kWriteOk);
    switchOff();
}

void EpromWindow::VerifyClick()
{
    runCommand(eprom_text::kVerify, [this] {
        if (!rowChosen())
            return;
        const int64_t length = rangeLength();
        if (length < 0)
            return;
        const EpromRow& r = row();
        link.RouteVcc(r.VccPin);
        link.LinkDelay(1000);
        link.SetBusMode(ReadBusMode);
        link.DrivePin(kCePin);
        link.DrivePin(kOePin);
        link.LinkDelay(100);
        const uint32_t chipStart = static_cast<uint32_t>(ChipStart());
        const uint32_t bufferStart = static_cast<uint32_t>(BufferStart());
        SetEpromAddress(chipStart);
        ReadRange range;
        range.first = chipStart;
        range.last = static_cast<int64_t>(chipStart) + length - 1;
        range.bufferStart = bufferStart;
        range.setAddress = [this](uint32_t a) { SetEpromAddress(a); };
        range.progress.every = 512;
        range.progress.fromFirst = true;
        range.failureFormat = eprom_text::kMismatch;
        if (!verifyRange(range)) {
            link.RouteVcc(0);
            return;
        }
        succeed(eprom_text::kVerifyOk);
        link.WriteAllLatches(255);
        link.RouteVcc(0);
    });
}

void EpromWindow::BlankClick()
{
    runCommand(eprom_text::kBlank, [this] {
        if (!rowChosen())
            return;
        const EpromRow& r = row();
        link.LinkDelay(100);
        link.RouteVcc(r.VccPin);
        link.LinkDelay(1000);
        link.SetBusMode(ReadBusMode);
        link.DrivePin(kCePin);
        link.DrivePin(kOePin);
        // The firmware checks 256 bytes a command; its second reply is 0 when one was not 0xFF.
        ReadRange range;
        range.last = r.AddressMask;
        range.step = 256;
        range.unit.command = {129};
        range.unit.replies = 2;
        range.unit.value = [](const uint8_t* replies) { return replies[1]; };
        range.blankWhen = [](uint32_t value) { return value != 0; };
        range.setAddress = [this](uint32_t a) { SetEpromAddress(a); };
        range.progress.every = 4096;
        range.failureFormat = eprom_text::kNotBlank;
        if (!blankRange(range)) {
            link.RouteVcc(0);
            return;
        }
        succeed(eprom_text::kBlankOk);
        link.WriteAllLatches(255);
        link.RouteVcc(0);
    });
}

void EpromWindow::CheckSumClick()
{
    runCommand(eprom_text::kCheckSum, [this] {
        if (!rowChosen())
            return;
        const EpromRow& r = row();
        link.RouteVcc(r.VccPin);
        link.SetBusMode(ReadBusMode);
        ReadRange range;
        range.last = r.AddressMask;
        range.step = 256;
        range.unit.command = {130};
        range.unit.replies = 2;
        range.unit.value = [](const uint8_t* replies) { return replies[0] + 256u * replies[1]; };
        range.setAddress = [this](uint32_t a) { SetEpromAddress(a); };
        range.progress.every = 4096;
        uint32_t sum = 0;
        scanRange(range, [&sum](uint32_t, uint32_t blockSum) {
            sum += blockSum;
            return true;
        });
        setMessage(format(eprom_text::kCheckSumResult, sum));
        link.RouteVcc(0);
    });
}

void EpromWindow::EraseClick()
{
    runCommand(eprom_text::kErase, [this] {
        if (!rowChosen())
            return;
        eraseSequence();
        succeed(eprom_text::kEraseOk);
    });
}

} // namespace pontvex

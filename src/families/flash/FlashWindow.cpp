#include "families/flash/FlashWindow.h"

#include "core/Text.h"
#include "link/ReadAhead.h"

#include <algorithm>

namespace pontvex {

namespace {

constexpr int kCePin = 26;
constexpr int kOePin = 28;
constexpr int kWePin = 35;
constexpr int kGroundPin = 20;

inline uint8_t bit(uint32_t a, int n)
{
    return (a >> n) & 1u;
}

} // namespace

std::array<uint8_t, 5> FlashPortLatchValues(uint32_t address, uint32_t highMask)
{
    const uint32_t a = address | highMask;
    std::array<uint8_t, 5> port{};
    uint8_t low = 0; // A0 in bit 7: pin 16 carries A0
    for (int n = 0; n < 8; ++n)
        low |= bit(a, n) << (7 - n);
    port[1] = low;
    port[2] = 0xFF;
    port[3] = static_cast<uint8_t>(0x01 | bit(a, 10) << 1 | bit(a, 11) << 3 | bit(a, 9) << 4 |
                                   bit(a, 8) << 5 | bit(a, 13) << 6 | bit(a, 14) << 7);
    // Pins 3 and 4, above a 32-pin chip, carry A18 and A19 of the parts on a
    // 40-pin footprint (1 MiB, and 512 K with Vpp on pin 5); the high mask
    // keeps them at 1 for every smaller part.
    port[0] = static_cast<uint8_t>(0x03 | bit(a, 12) << 7 | bit(a, 15) << 6 | bit(a, 16) << 5 |
                                   bit(a, 18) << 4 | bit(a, 19) << 3 | bit(a, 18) << 2);
    port[4] = static_cast<uint8_t>(0x02 | bit(a, 12) << 5 | bit(a, 15) << 4 | bit(a, 17));
    return port;
}

FlashWindow::FlashWindow(std::string className, ProgrammerLink& link, FamilyHost& host)
    : FamilyWindow(std::move(className), link, host)
{
}

void FlashWindow::declareControls(const char* unprotectCaption)
{
    declareStandardControls({{Role::Read, [this] { ReadClick(); }},
                             {Role::Write, [this] { WriteClick(); }},
                             {Role::Verify, [this] { VerifyClick(); }},
                             {Role::Blank, [this] { BlankClick(); }},
                             {Role::Erase, [this] { EraseClick(); }},
                             {Role::CheckSum, [this] { CheckSumClick(); }}});
    if (unprotectCaption)
        addButton("UnProtectChip", "UnProtectChipClick", unprotectCaption, "unprotect",
                  [this] { UnProtectChipClick(); });
    declareStandardControls({{Role::Auto}, {Role::Exit}});
    declareAutoSteps({{Role::Erase, true}, {Role::Blank, true}, {Role::Write, true}, {Role::Verify, false}});
    declareStandardFields();
}

void FlashWindow::OnClose()
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

std::string FlashWindow::rowName(int index) const
{
    if (index < 0 || index >= tableSize())
        return {};
    return rowAt(index).name;
}

int FlashWindow::packageVccPin() const
{
    const int index = chip().VariantIndex;
    return variantValid(index) ? rowAt(index).VccPin : 0;
}

void FlashWindow::SelectChip(const ChipSelection& chip)
{
    selectRangeChip(chip, [this](int index) {
        rowIndex_ = index;
        RangeChip r;
        if (index == 0)
            return r;
        r.addressMask = row().AddressMask;
        r.groundPin = kGroundPin;
        r.readyText = flash_text::kSelectOk;
        return r;
    });
}

bool FlashWindow::rowChosen()
{
    if (rowIndex_ != 0)
        return true;
    refuse(format(flash_text::kNoRow, chip_.VariantIndex));
    return false;
}

int64_t FlashWindow::rangeLength()
{
    const int64_t chipStart = ChipStart();
    const int64_t bufferStart = BufferStart();
    const int64_t mask = row().AddressMask;
    if (chipStart < 0 || bufferStart < 0 || chipStart > mask || LastAddress() < 0)
        return 0;
    // A range running past the chip's last address stops there.
    const int64_t length = std::min(LastAddress() + 1, mask - chipStart + 1);
    if (bufferStart + length - 1 > DeviceBuffer::kLastAddress) {
        refuse(format(flash_text::kOutsideBuffer, static_cast<unsigned>(DeviceBuffer::kSize)));
        return -1;
    }
    return length;
}

void FlashWindow::SetFlashAddress(uint32_t address)
{
    const auto port = FlashPortLatchValues(address, row().AddressHighMask);
    for (int k : {1, 3, 0, 4})
        link.WriteLatch(k, port[static_cast<size_t>(k)]);
}

void FlashWindow::WriteCommandCycle(uint32_t address, uint8_t data)
{
    SetFlashAddress(address);
    link.FloatPin(kOePin);
    link.WriteLatch(2, data);
    link.DrivePin(kCePin);
    link.DrivePin(kWePin);
    link.FloatPin(kWePin);
    link.FloatPin(kCePin);
}

void FlashWindow::PrepareIdle()
{
    link.RouteVpp(0);
    link.RouteVcc(0);
    link.WriteAllLatches(0);
    link.LinkDelay(10);
    link.WriteAllLatches(255);
}

void FlashWindow::ReadClick()
{
    runCommand(flash_text::kRead, [this] {
        if (!rowChosen())
            return;
        const FlashRow& r = row();
        PrepareIdle();
        link.DrivePin(kCePin);
        link.DrivePin(kOePin);
        link.LinkDelay(100);
        link.RouteVcc(r.VccPin);
        link.RouteGnd(kGroundPin);
        link.LinkDelay(1000);
        link.SetBusMode(12);
        SetFlashAddress(0);
        ReadRange range;
        range.last = std::clamp<int64_t>(LastAddress(), 0, static_cast<int64_t>(r.AddressMask));
        range.setAddress = [this](uint32_t a) { SetFlashAddress(a); };
        range.progress.shift = 255;
        readRange(range);
        PrepareIdle();
        host.showPage();
        show();
        succeed(flash_text::kReadOk);
    });
}

void FlashWindow::VerifyClick()
{
    runCommand(flash_text::kVerify, [this] {
        if (!rowChosen())
            return;
        const int64_t length = rangeLength();
        if (length < 0)
            return;
        const FlashRow& r = row();
        PrepareIdle();
        link.SetPageWriteMode(r.VccPin == 34 ? 64 : 128);
        link.RouteVcc(r.VccPin);
        link.RouteGnd(kGroundPin);
        link.LinkDelay(1000);
        link.SetBusMode(12);
        link.DrivePin(kCePin);
        link.DrivePin(kOePin);
        link.LinkDelay(100);
        const uint32_t chipStart = static_cast<uint32_t>(ChipStart());
        SetFlashAddress(chipStart);
        ReadRange range;
        range.first = chipStart;
        range.last = static_cast<int64_t>(chipStart) + length - 1;
        range.bufferStart = BufferStart();
        range.setAddress = [this](uint32_t a) { SetFlashAddress(a); };
        range.progress.every = 256;
        range.progress.fromFirst = true;
        range.failureFormat = mismatchFormat();
        if (!verifyRange(range)) {
            PrepareIdle();
            return;
        }
        PrepareIdle();
        succeed(flash_text::kVerifyOk);
    });
}

void FlashWindow::BlankClick()
{
    runCommand(flash_text::kBlank, [this] {
        if (!rowChosen())
            return;
        const FlashRow& r = row();
        PrepareIdle();
        link.LinkDelay(100);
        link.RouteVcc(r.VccPin);
        link.RouteGnd(kGroundPin);
        link.LinkDelay(1000);
        link.SetBusMode(12);
        link.DrivePin(kCePin);
        link.DrivePin(kOePin);
        // 256 bytes a command; the second reply is 0 when one of them was not 0xFF.
        ReadRange range;
        range.last = std::clamp<int64_t>(LastAddress(), 0, static_cast<int64_t>(r.AddressMask));
        range.step = 256;
        range.unit.command = {129};
        range.unit.replies = 2;
        range.unit.value = [](const uint8_t* replies) { return replies[1]; };
        range.blankWhen = [](uint32_t value) { return value != 0; };
        range.setAddress = [this](uint32_t a) { SetFlashAddress(a); };
        range.progress.every = 4096;
        range.failureFormat = flash_text::kNotBlank;
        if (!blankRange(range)) {
            PrepareIdle();
            return;
        }
        PrepareIdle();
        succeed(flash_text::kBlankOk);
    });
}

void FlashWindow::CheckSumClick()
{
    runCommand(flash_text::kCheckSum, [this] {
        if (!rowChosen())
            return;
        const FlashRow& r = row();
        PrepareIdle();
        link.RouteVcc(r.VccPin);
        link.RouteGnd(kGroundPin);
        link.LinkDelay(1000);
        link.SetBusMode(12);
        ReadRange range;
        range.last = r.AddressMask;
        range.step = 256;
        range.unit.command = {130};
        range.unit.replies = 2;
        range.unit.value = [](const uint8_t* replies) { return replies[0] + 256u * replies[1]; };
        range.setAddress = [this](uint32_t a) { SetFlashAddress(a); };
        range.progress.every = 4096;
        uint32_t sum = 0;
        scanRange(range, [&sum](uint32_t, uint32_t blockSum) {
            sum += blockSum;
            return true;
        });
        PrepareIdle();
        setMessage(format(flash_text::kCheckSumResult, sum));
    });
}

void FlashWindow::EraseClick()
{
    runCommand(flash_text::kErase, [this] {
        if (!rowChosen())
            return;
        eraseSequence();
    });
    if (ErrorFlag() == 0 && blankAfterErase())
        BlankClick();
}

void FlashWindow::WriteClick()
{
    runCommand(writeBusyText(), [this] {
        if (!rowChosen())
            return;
        const int64_t length = rangeLength();
        if (length < 0)
            return;
        writeSequence(static_cast<uint32_t>(ChipStart()), static_cast<uint32_t>(BufferStart()),
                      static_cast<uint32_t>(length));
    });
}

void FlashWindow::UnProtectChipClick()
{
    runCommand(flash_text::kUnprotect, [this] {
        if (!rowChosen())
            return;
        unprotectSequence();
    });
}

void FlashWindow::suppliesOff()
{
    link.RouteVpp(0);
    link.SetVppVoltage(0);
    link.RouteVcc(0);
}

uint8_t FlashWindow::chipErase(const ChipEraseLoop& loop)
{
    constexpr uint8_t kDq6 = 0x40, kDq7 = 0x80;
    const FlashRow& r = row();
    PrepareIdle();
    link.LinkDelay(100);
    link.RouteVcc(r.VccPin);
    // The row's own level, not whatever the previous command left selected.
    link.SetVppVoltage(r.VppMillivolts);
    if (r.VppPin != 0)
        link.RouteVpp(r.VppPin);
    if (loop.pageModeAndPulse) {
        link.SetPageWriteMode(r.VccPin == 34 ? 64 : 128);
        link.SetPulseLength(10);
    }
    SetFlashAddress(0);
    link.LinkDelay(100);
    uint8_t data = 0;
    for (int attempt = 0; attempt < loop.attempts; ++attempt) {
        if (loop.messageEachAttempt)
            setMessage(format(flash_text::kEraseAttempt, attempt));
        link.SetBusMode(15);
        link.FloatPin(kOePin);
        for (const auto& [address, value] : {std::pair<uint32_t, uint8_t>{0x5555, 0xAA},
                                             {0x2AAA, 0x55},
                                             {0x5555, 0x80},
                                             {0x5555, 0xAA},
                                             {0x2AAA, 0x55},
                                             {0x5555, 0x10}})
            WriteCommandCycle(address, value);
        link.LinkDelay(1000);
        link.SetBusMode(12);
        link.DrivePin(kOePin);
        link.DrivePin(kCePin);
        data = link.ReadPort(2);
        for (int wait = 0; loop.waitForDq6 && wait < 10 && (data & kDq6) == 0; ++wait) {
            link.LinkDelay(1000);
            data = link.ReadPort(2);
        }
        const bool erased = (data & kDq7) != 0;
        if (!erased || loop.progressAfterSuccess)
            progress(0);
        if (erased)
            break;
    }
    return data;
}

void FlashWindow::programBytes145(uint32_t chipStart, uint32_t bufferStart, uint32_t length)
{
    ReadAhead ahead(link, [](uint32_t, uint8_t) { return true; });
    for (uint32_t i = 0; i < length; ++i) {
        const uint32_t a = chipStart + i;
        if ((a & 0xFF) == 0) {
            SetFlashAddress(a);
            progress(a);
        }
        ahead.read({145, buffer[bufferStart + i]}, a);
    }
    ahead.drain();
}

} // namespace pontvex

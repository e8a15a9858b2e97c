#include "families/ramtest/TDsRAM.h"

#include "core/Text.h"

#include <algorithm>

namespace pontvex {

namespace {

constexpr int kCePin = 26;
constexpr int kOePin = 28;
constexpr int kGroundPin = 20;
constexpr uint8_t kStepAddress = 147;
constexpr uint8_t kBlockSum = 130;

constexpr TDsRAM::VariantRecord Row(const char* name, uint32_t size, uint32_t pageMask, uint8_t vcc,
                                    uint8_t we)
{
    return {name, static_cast<int32_t>(size - 1), pageMask, size == 0 ? 0 : 0u - size, vcc, we};
}

inline uint8_t bit(uint32_t a, int n)
{
    return (a >> n) & 1u;
}

} // namespace

const std::vector<TDsRAM::VariantRecord>& TDsRAM::Table()
{
    static const std::vector<VariantRecord> table = {
        {"???", 0, 0, 0, 0, 0},
        Row("DS1220AB (2Kx8)", 0x800, 0, 32, 29),
        Row("DS1225AB/AD (8Kx8)", 0x2000, 0, 34, 33),
        Row("W24129 (16Kx8)", 0x4000, 0, 34, 33),
        Row("DS1230Y/AB (32Kx8)", 0x8000, 63, 34, 33),
        Row("62512 (64Kx8)", 0x10000, 127, 36, 33),
        Row("DS1245Y (128Kx8)", 0x20000, 127, 36, 33),
        Row("DS1249 (256Kx8)", 0x40000, 127, 36, 33),
        Row("DS1250Y (512Kx8)", 0x80000, 127, 36, 33),
    };
    return table;
}

std::array<uint8_t, 5> TDsRAM::AddressLatches(uint32_t address, uint32_t highMask)
{
    const uint32_t v = address | highMask;
    std::array<uint8_t, 5> l{};
    uint8_t low = 0; // A0 in bit 7: pin 16 carries A0
    for (int n = 0; n < 8; ++n)
        low |= static_cast<uint8_t>(bit(v, n) << (7 - n));
    l[1] = low;
    l[0] = static_cast<uint8_t>(0x0F | bit(v, 12) << 7 | bit(v, 14) << 6 | bit(v, 16) << 5 | bit(v, 18) << 4);
    l[2] = 0;
    l[3] = static_cast<uint8_t>(0x81 | bit(v, 13) << 6 | bit(v, 8) << 5 | bit(v, 9) << 4 | bit(v, 11) << 3 |
                                bit(v, 10) << 1);
    l[4] = static_cast<uint8_t>(0xCC | bit(v, 12) << 5 | bit(v, 14) << 4 | bit(v, 15) << 1 | bit(v, 17));
    return l;
}

uint32_t TDsRAM::PatternSum(uint32_t size)
{
    uint32_t sum = 0;
    int p = 0x5A;
    for (uint32_t a = 0; a < size; ++a) {
        if (++p > 100)
            p = 1;
        sum += static_cast<uint32_t>(p);
    }
    return sum;
}

TDsRAM::TDsRAM(ProgrammerLink& link, FamilyHost& host) : FamilyWindow("TDsRAM", link, host)
{
    declareStandardControls({{Role::Read, [this] { ReadClick(); }},
                             {Role::Write, [this] { WriteClick(); }},
                             {Role::Verify, [this] { VerifyClick(); }},
                             {Role::CheckSum, [this] { CheckSumClick(); }, "КСумм"}});
    addButton("Button3", "Button3Click", "Тест", "test", [this] { Button3Click(); });
    declareStandardControls({{Role::Auto}, {Role::Exit}});
    declareAutoSteps({{Role::Write, true}, {Role::Verify, true}});
    declareStandardFields();
    setCaption("Dallas RAM");
}

std::string TDsRAM::rowName(int index) const
{
    if (index < 0 || index >= static_cast<int>(Table().size()))
        return {};
    return Table()[static_cast<size_t>(index)].name;
}

int TDsRAM::packageVccPin() const
{
    const int index = chip().VariantIndex;
    return variantValid(index) ? Table()[static_cast<size_t>(index)].VccPin : 0;
}

void TDsRAM::SelectChip(const ChipSelection& chip)
{
    if (!acceptChip(chip)) {
        rowIndex_ = 0;
        return;
    }
    rowIndex_ = chip.VariantIndex;
    setChipBytes(static_cast<int64_t>(row().AddressMask) + 1);
    try {
        link.ResetSocket();
        if (!link.Connected()) {
            setMessage(connectionErrorText());
            return;
        }
        setMessage(ram_text::kSelectOk);
        host.fileNew();
        show();
        WriteBusMode = 15;
        ReadBusMode = 12;
        const VariantRecord& r = row();
        setCaption(format("0 to %x", r.AddressMask));
        host.setEndAddress(r.AddressMask);
        host.showPage();
        link.SetVppVoltage(0);
        link.InitSocket();
        setProgressMax(r.AddressMask);
        setFieldValue(Role::BufferStart, fieldValue(Role::BufferStart));
        setFieldValue(Role::ChipStart, fieldValue(Role::ChipStart));
        setFieldValue(Role::Length, r.AddressMask);
        link.SetPageWriteMode(0);
        link.RouteGnd(kGroundPin);
        setChipNameText(chip.ChipName);
        link.Flush();
    } catch (const LinkLost&) {
        noteLinkLost();
        setMessage(connectionErrorText());
    }
}

bool TDsRAM::rowChosen()
{
    if (rowIndex_ != 0)
        return true;
    refuse(format(ram_text::kNoRow, chip_.VariantIndex));
    return false;
}

// Bytes Write and Verify touch from ChipStart, stopping at the chip's end; -1
// after refusing a range that would run past the buffer.
int64_t TDsRAM::rangeLength()
{
    const int64_t chipStart = fieldValue(Role::ChipStart);
    const int64_t bufferStart = fieldValue(Role::BufferStart);
    const int64_t mask = row().AddressMask;
    const int64_t last = fieldValue(Role::Length);
    if (chipStart < 0 || bufferStart < 0 || chipStart > mask || last < 0)
        return 0;
    const int64_t length = std::min(last + 1, mask - chipStart + 1);
    if (bufferStart + length - 1 > DeviceBuffer::kLastAddress) {
        refuse(format(ram_text::kOutsideBuffer, static_cast<unsigned>(DeviceBuffer::kSize)));
        return -1;
    }
    return length;
}

// The socket rests with its drivers low, which is /CE and /WE asserted: the
// chip would take whatever the bus holds as soon as Vcc arrives. Deselect it
// and release /WE before powering it.
void TDsRAM::powerUp()
{
    const VariantRecord& r = row();
    link.FloatPin(kCePin);
    link.FloatPin(r.WePin);
    link.RouteVcc(r.VccPin);
    link.RouteGnd(kGroundPin);
}

void TDsRAM::SetAddress(uint32_t address)
{
    PortLatchValues = AddressLatches(address, row().AddressHighMask);
    // Port 2 is the data bus and is not sent.
    for (int k : {1, 3, 0, 4})
        link.WriteLatch(k, PortLatchValues[static_cast<size_t>(k)]);
}

void TDsRAM::ReadClick()
{
    runCommand(ram_text::kRead, [this] {
        if (!rowChosen())
            return;
        const VariantRecord& r = row();
        powerUp();
        link.LinkDelay(1000);
        link.SetBusMode(ReadBusMode);
        link.SetPageWriteMode(0);
        SetAddress(0);
        link.FloatPin(35);
        link.FloatPin(33);
        link.DrivePin(kOePin);
        link.DrivePin(kCePin);
        ReadRange range;
        range.last = std::clamp<int64_t>(fieldValue(Role::Length), 0, r.AddressMask);
        // The data bus, then the firmware steps the low address byte.
        range.unit.command = {3, kStepAddress};
        range.setAddress = [this](uint32_t a) {
            SetAddress(a);
            // The port writes took the strobes back; pull them low again.
            link.DrivePin(kCePin);
            link.DrivePin(kOePin);
        };
        if (!readRange(range))
            return;
        link.WriteAllLatches(255);
        SetAddress(static_cast<uint32_t>(range.last));
        host.showPage();
        succeed(ram_text::kReadOk);
    });
}

bool TDsRAM::writeByte(uint32_t address, uint8_t value, uint8_t& readBack)
{
    const VariantRecord& r = row();
    link.WriteLatch(2, value);
    link.DrivePin(r.WePin);
    link.FloatPin(r.WePin);
    if ((address & 0xFF) == 0) {
        link.SetBusMode(ReadBusMode);
        link.DrivePin(kOePin);
        readBack = link.ReadPort(2);
        if (readBack != value)
            return false;
        link.SetBusMode(WriteBusMode);
        link.FloatPin(kOePin);
    }
    link.SendByte(kStepAddress);
    return true;
}

void TDsRAM::WriteClick()
{
    runCommand(ram_text::kWrite, [this] {
        if (!rowChosen())
            return;
        const int64_t length = rangeLength();
        if (length < 0)
            return;
        const VariantRecord& r = row();
        powerUp();
        link.LinkDelay(1000);
        link.SetPageLength(static_cast<int>(r.PageMask + 1));
        link.SetPulseLength(1);
        link.SetPageWriteMode(0);
        link.SetBusMode(WriteBusMode);
        const uint32_t chipStart = static_cast<uint32_t>(fieldValue(Role::ChipStart));
        const uint32_t bufferStart = static_cast<uint32_t>(fieldValue(Role::BufferStart));
        SetAddress(chipStart);
        link.FloatPin(r.WePin);
        link.FloatPin(kOePin);
        link.DrivePin(kCePin);
        uint32_t a = chipStart;
        for (int64_t count = 0; count < length; ++count) {
            a = chipStart + static_cast<uint32_t>(count);
            if ((a & 0xFF) == 0) {
                SetAddress(a);
                progress(a);
                link.FloatPin(kOePin);
                link.DrivePin(kCePin);
            }
            const uint8_t b = buffer[bufferStart + static_cast<uint32_t>(count)];
            uint8_t readBack = b;
            if (!writeByte(a, b, readBack)) {
                // A byte that does not stay written is a failure, with where and what.
                link.DrivePin(kOePin);
                link.FloatPin(kCePin);
                progress(a);
                fail(format(ram_text::kMismatch, a, b, readBack));
                return;
            }
        }
        progress(a);
        link.DrivePin(kOePin);
        link.FloatPin(kCePin);
        succeed(ram_text::kWriteOk);
    });
}

void TDsRAM::VerifyClick()
{
    runCommand(ram_text::kVerify, [this] {
        if (!rowChosen())
            return;
        const int64_t length = rangeLength();
        if (length < 0)
            return;
        const VariantRecord& r = row();
        powerUp();
        link.LinkDelay(1000);
        link.SetBusMode(ReadBusMode);
        link.FloatPin(r.WePin);
        link.SetPageWriteMode(0);
        const uint32_t chipStart = static_cast<uint32_t>(fieldValue(Role::ChipStart));
        SetAddress(chipStart);
        link.DrivePin(kCePin);
        link.DrivePin(kOePin);
        link.LinkDelay(100);
        ReadRange range;
        range.first = chipStart;
        range.last = static_cast<int64_t>(chipStart) + length - 1;
        range.bufferStart = fieldValue(Role::BufferStart);
        range.unit.command = {3, kStepAddress};
        range.setAddress = [this](uint32_t a) {
            SetAddress(a);
            link.DrivePin(kCePin);
            link.DrivePin(kOePin);
        };
        range.progress.atFailure = true;
        range.failureFormat = ram_text::kMismatch;
        if (verifyRange(range))
            succeed(ram_text::kVerifyOk);
    });
}

std::optional<uint32_t> TDsRAM::chipSum()
{
    const VariantRecord& r = row();
    powerUp();
    link.SetBusMode(ReadBusMode);
    ReadRange range;
    range.last = r.AddressMask;
    range.step = 256;
    range.unit.command = {kBlockSum};
    range.unit.replies = 2;
    range.unit.value = [](const uint8_t* replies) { return replies[0] + 256u * replies[1]; };
    range.setAddress = [this](uint32_t a) { SetAddress(a); };
    range.progress.every = 4096;
    range.progress.shift = 0xFFF;
    uint32_t sum = 0;
    if (!scanRange(range, [&sum](uint32_t, uint32_t blockSum) {
            sum += blockSum;
            return true;
        }))
        return std::nullopt;
    return sum;
}

void TDsRAM::CheckSumClick()
{
    runCommand(ram_text::kCheckSum, [this] {
        if (!rowChosen())
            return;
        const auto sum = chipSum();
        if (!sum)
            return;
        succeed(format(ram_text::kCheckSumResult, *sum));
        link.RouteVcc(0);
    });
}

void TDsRAM::Button3Click()
{
    runCommand(ram_text::kTest, [this] {
        if (!rowChosen())
            return;
        const VariantRecord& r = row();
        powerUp();
        link.LinkDelay(1000);
        link.SetPageLength(static_cast<int>(r.PageMask + 1));
        link.SetPulseLength(1);
        link.SetPageWriteMode(0);
        link.SetBusMode(WriteBusMode);
        SetAddress(0);
        link.FloatPin(r.WePin);
        link.FloatPin(kOePin);
        link.DrivePin(kCePin);
        // Each byte's value follows from its address, so an address line that
        // is stuck or shorted makes bytes land on others and the sums differ.
        int p = 0x5A;
        uint32_t expected = 0;
        for (uint32_t a = 0; a <= static_cast<uint32_t>(r.AddressMask); ++a) {
            if ((a & 0xFF) == 0) {
                SetAddress(a);
                progress(a);
                link.FloatPin(kOePin);
                link.DrivePin(kCePin);
            }
            if (++p > 100)
                p = 1;
            expected += static_cast<uint32_t>(p);
            uint8_t readBack = 0;
            if (!writeByte(a, static_cast<uint8_t>(p), readBack)) {
                link.DrivePin(kOePin);
                link.FloatPin(kCePin);
                fail(ram_text::kTestWriteFailed);
                return;
            }
        }
        const auto sum = chipSum();
        if (!sum)
            return;
        progress(r.AddressMask);
        link.DrivePin(kOePin);
        link.FloatPin(kCePin);
        if (*sum == expected)
            succeed(ram_text::kTestOk);
        else
            fail(format(ram_text::kTestShort, expected, *sum));
    });
}

} // namespace pontvex

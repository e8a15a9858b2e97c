#include "families/serialeeprom/TP24c0x.h"

#include "families/serialeeprom/SerialEepromTexts.h"

namespace pontvex {

using namespace serialtext;

namespace {

constexpr int kSda = 21, kScl = 22;
// Single-byte pin commands, as the link sends them: H floats a pin, L drives it low.
constexpr uint8_t kSdaH = 31 + kSda, kSclH = 31 + kScl, kSdaL = 79 + kSda, kSclL = 79 + kScl;
// ReadPort(2): SDA is bit 3 of the reply.
constexpr uint8_t kReadPort2 = 3;
constexpr uint8_t kShiftByte = 176;

constexpr std::array<int, 8> kPins = {21, 22, 24, 20, 23, 17, 18, 19};
constexpr std::array<int, 8> kOldPins = {21, 22, 24, 20, 0, 0, 0, 0};

} // namespace

const std::vector<I2cRow>& TP24c0x::Table()
{
    static const std::vector<I2cRow> rows = {
        {"Exit", 0, {}},
        {"1: 24c01A  128x8", 127, kPins},
        {"2: 24c02   256x8", 255, kPins},
        {"3: 24c04   512x8", 511, kPins},
        {"4: 24c08   1024x8", 1023, kPins},
        {"5: 24c16   2048x8", 2047, kPins},
        {"6: 24c32   4kx8", 4095, kPins},
        {"7: 24c64   8kx8", 8191, kPins},
        {"8: 24c128   16kx8", 16383, kPins},
        {"9: 24c256   32kx8", 32767, kPins},
        {"10: 24c512   64kx8", 65535, kPins},
        {"11: X24c01  128x8", 127, kOldPins},
    };
    return rows;
}

TP24c0x::TP24c0x(ProgrammerLink& link, FamilyHost& host) : FamilyWindow("TP24c0x", link, host)
{
    setCaption("24c01-24c512");
    setAddressDigits(4);
    declareStandardControls({{Role::Read, [this] { ReadRom(); }},
                             {Role::Write, [this] { WriteClick(); }},
                             {Role::Verify, [this] { VerifyClick(); }},
                             {Role::Exit}});
    addOption("Speed", kSpeedGroup, "speed", {std::begin(kSpeeds), std::end(kSpeeds)}, kDefaultSpeed);
    FillVariantTable();
}

void TP24c0x::FillVariantTable()
{
    rows_ = Table();
}

std::string TP24c0x::rowName(int index) const
{
    if (index < 0 || index >= static_cast<int>(rows_.size()))
        return {};
    return rows_[static_cast<size_t>(index)].name;
}

std::string TP24c0x::connectionErrorText() const
{
    return kNoDevice;
}

const I2cRow& TP24c0x::row() const
{
    const int index = chip_.VariantIndex;
    if (index < 1 || index > rowCount())
        return rows_.front();
    return rows_[static_cast<size_t>(index)];
}

void TP24c0x::SelectChip(const ChipSelection& chip)
{
    try {
        link.ResetSocket();
        sdaLatchHigh_ = false;
        if (!acceptChip(chip))
            return;
        setChipBytes(static_cast<int64_t>(row().lastAddress) + 1);
        setMessage(link.Connected() ? kConnected : kNoDevice);
        host.fileNew();
        show();
        FillVariantTable();
        setProgressMax(row().lastAddress);
        host.setEndAddress(row().lastAddress);
        host.showPage();
        setChipNameText(chip.ChipName);
        link.Flush();
    } catch (const LinkLost&) {
        noteLinkLost();
        setMessage(kNoDevice);
    }
}

bool TP24c0x::needHexView(const char* text)
{
    if (host.hexViewExists())
        return true;
    setOutcome(Outcome::Refused);
    prompt().showMessage(text);
    return false;
}

void TP24c0x::setSdaLatch(int level)
{
    link.SetPin(kSda, level);
    sdaLatchHigh_ = level != 0;
}

void TP24c0x::PowerUpSerial()
{
    const I2cRow& r = row();
    // A read that was stopped left SDA's latch at 1, where "SDA L" would not
    // pull the line low and no START could be made.
    if (sdaLatchHigh_)
        setSdaLatch(0);
    link.RouteVpp(0);
    link.RouteVcc(0);
    link.WriteAllLatches(0);
    link.LinkDelay(100);
    link.WriteAllLatches(255);
    link.RouteVcc(r.pins[2]);
    link.RouteGnd(r.pins[3]);
    // A0..A2 and WP low; the old part's row has no such pins and sends nothing.
    for (int k : {5, 6, 7, 4})
        link.DrivePin(r.pins[static_cast<size_t>(k)]);
}

void TP24c0x::BusStart()
{
    for (uint8_t c : {kSdaL, kSdaH, kSclH, kSdaL, kSclL})
        link.SendByte(c);
}

void TP24c0x::BusStop()
{
    for (uint8_t c : {kSdaL, kSclH, kSdaH})
        link.SendByte(c);
}

void TP24c0x::BusAckClock()
{
    // The acknowledge is clocked, never read: a refused byte shows in the verify.
    for (uint8_t c : {kSdaH, kSclH, kSclL})
        link.SendByte(c);
}

void TP24c0x::BusSendByte(uint8_t b)
{
    link.SendByte(kShiftByte);
    link.SendByte(b);
}

void TP24c0x::BeginRead(uint32_t a)
{
    setSdaLatch(0);
    if (x24c01()) {
        BusStart();
        BusSendByte(static_cast<uint8_t>(((a * 2) & 0xFF) | 1));
        BusAckClock();
    } else if (row().lastAddress > 2047) {
        BusStart();
        BusSendByte(0xA0);
        BusAckClock();
        BusSendByte(static_cast<uint8_t>(a >> 8));
        BusAckClock();
        BusSendByte(static_cast<uint8_t>(a));
        BusAckClock();
        BusStart();
        BusSendByte(0xA1);
        BusAckClock();
    } else {
        const auto d = static_cast<uint8_t>(0xA0 | ((a >> 7) & 0x0E));
        BusStart();
        BusSendByte(d);
        BusAckClock();
        BusSendByte(static_cast<uint8_t>(a));
        BusAckClock();
        BusStart();
        BusSendByte(d | 1);
        BusAckClock();
    }
    setSdaLatch(1);
}

void TP24c0x::EepromWriteByte(uint32_t a, uint8_t b)
{
    BusStart();
    if (x24c01()) {
        BusSendByte(static_cast<uint8_t>((a * 2) & 0xFF));
        BusAckClock();
    } else if (row().lastAddress > 2047) {
        BusSendByte(0xA0);
        BusAckClock();
        BusSendByte(static_cast<uint8_t>(a >> 8));
        BusAckClock();
        BusSendByte(static_cast<uint8_t>(a));
        BusAckClock();
    } else {
        BusSendByte(static_cast<uint8_t>(0xA0 | ((a >> 7) & 0x0E)));
        BusAckClock();
        BusSendByte(static_cast<uint8_t>(a));
        BusAckClock();
    }
    BusSendByte(b);
    BusAckClock();
    BusStop();
    // No polling: the selected wait is the only pacing of the write cycle.
    link.LinkDelay(10 * kWriteCycle[option("speed")]);
}

// One random read per address: the transaction up to the data goes out as the
// address is set, the eight data clocks with their SDA reads and the STOP are
// the unit queued ahead of its replies. The SDA latch goes back to 0 as the
// next address is set (and after the last one), as in a byte-by-byte loop.
ReadRange TP24c0x::readRangeOf(int progressEvery)
{
    ReadRange range;
    range.first = 0;
    range.last = row().lastAddress;
    range.addressEvery = 1;
    range.setAddress = [this](uint32_t a) { BeginRead(a); };
    range.unit.command.clear();
    for (int i = 0; i < 8; ++i)
        range.unit.command.insert(range.unit.command.end(), {kSclH, kReadPort2, kSclL});
    // STOP without an acknowledge clock: SDA's latch is 1, so its "L" does
    // not pull it down and the chip sees a no-acknowledge before the STOP.
    range.unit.command.insert(range.unit.command.end(), {kSdaL, kSclH, kSdaH});
    range.unit.replies = 8;
    range.unit.value = [](const uint8_t* replies) {
        uint32_t v = 0;
        for (int i = 0; i < 8; ++i)
            v = (v << 1) | ((replies[i] >> 3) & 1u);
        return v;
    };
    range.progress.every = progressEvery;
    return range;
}

void TP24c0x::ReadRom()
{
    runCommand(kReading, [this] {
        PowerUpSerial();
        setSdaLatch(1);
        link.LinkDelay(100);
        const bool read = readRange(readRangeOf(16));
        setSdaLatch(0);
        if (!read)
            return;
        succeed(kReadOk);
        host.showPage();
    });
}

void TP24c0x::verifyPass()
{
    setMessage(kVerifying24);
    PowerUpSerial();
    setSdaLatch(1);
    link.LinkDelay(100);
    ReadRange range = readRangeOf(32);
    range.failureFormat = kDiffers24;
    range.progress.atFailure = true;
    // After a difference the reads already queued have left the latch at 1 too.
    const bool same = verifyRange(range);
    setSdaLatch(0);
    if (same)
        succeed(kVerifyOk);
    link.RouteVcc(0);
}

void TP24c0x::VerifyClick()
{
    runCommand(kVerifying24, [this] {
        if (!needHexView(kNeedFileVerify))
            return;
        verifyPass();
    });
}

void TP24c0x::WriteClick()
{
    runCommand(kWriting, [this] {
        if (!needHexView(kNeedFileWrite))
            return;
        PowerUpSerial();
        const uint32_t last = row().lastAddress;
        const uint8_t* data = buffer.data();
        for (uint32_t a = 0; a <= last; ++a) {
            if (a % 16 == 0)
                progress(a);
            EepromWriteByte(a, data[a]);
        }
        link.RouteVcc(0);
        link.DrivePin(row().pins[2]);
        verifyPass();
        progress(last);
        link.RouteVcc(0);
    });
}

} // namespace pontvex

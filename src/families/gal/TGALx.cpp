#include "families/gal/TGALx.h"

#include "core/Text.h"

#include <algorithm>

namespace pontvex {

namespace {

constexpr int kGroundPin = 20;
// The PLD view holds this many fuses whatever the chip: the largest map and more.
constexpr uint32_t kMapFill = 6000;

inline int bit(int a, int n)
{
    return (a >> n) & 1;
}

} // namespace

const std::vector<TGALx::VariantRecord>& TGALx::Table()
{
    static const std::vector<VariantRecord> table = {
        {"0:   ", 0, 0, 0, 0, 0, 0},
        {"1: 16V8 16.5V", 16500, 12, 30, 1, 32, 64},
        {"2: 16V8A 12V", 12000, 12, 30, 1, 32, 64},
        {"3: 16V8B 12V", 12000, 12, 30, 1, 32, 64},
        {"4: 20V8 16.5V", 16500, 10, 32, 2, 40, 64},
        {"5: 20V8A 12V", 12000, 10, 32, 2, 40, 64},
        {"6: 20V8B 12V", 12000, 10, 32, 2, 40, 64},
        {"7: 22V10A 12V", 12000, 10, 32, 3, 44, 132},
        {"8: ATF16V8 12.0V", 12000, 12, 30, 1, 32, 64},
        {"9: ATF20V8 12.0V", 12000, 10, 32, 2, 40, 64},
        {"10: GAL16V8D 10.0V", 12000, 12, 30, 1, 32, 64},
    };
    return table;
}

int TGALx::ArchitectureFuse(int b, int base)
{
    if (b >= 0 && b <= 3)
        return base + b; // XOR 0..3
    if (b == 4)
        return base + 145; // AC0
    if (b >= 5 && b <= 8)
        return base + 72 + (b - 5); // AC1 0..3
    if (b >= 73 && b <= 76)
        return base + 76 + (b - 73); // AC1 4..7
    if (b == 77)
        return base + 144; // SYN
    if (b >= 78 && b <= 81)
        return base + 4 + (b - 78); // XOR 4..7
    return -1;                      // product-term disable bits
}

TGALx::TGALx(ProgrammerLink& link, FamilyHost& host) : FamilyWindow("TGALx", link, host)
{
    declareStandardControls({{Role::Read, [this] { ReadRom(); }},
                             {Role::Write, [this] { WriteClick(); }},
                             {Role::Blank, [this] { BlankClick(); }},
                             {Role::Erase, [this] { EraseClick(); }},
                             {Role::Verify, [this] { VerifyClick(); }},
                             {Role::Lock, [this] { SecrityClick(); }},
                             {Role::Auto},
                             {Role::Exit}});
    declareAutoSteps({{Role::Erase, false},
                      {Role::Blank, true},
                      {Role::Write, true},
                      {Role::Verify, true},
                      {Role::Lock, false}});
    setCaption("PLD 16v8,20v8");
    setAddressDigits(4);
}

std::string TGALx::rowName(int index) const
{
    if (index < 0 || index >= static_cast<int>(Table().size()))
        return {};
    return Table()[static_cast<size_t>(index)].name;
}

int TGALx::packageVccPin() const
{
    const int index = chip().VariantIndex;
    return variantValid(index) ? Table()[static_cast<size_t>(index)].VccPin : 0;
}

bool TGALx::writeSourceExists() const
{
    return host.pldViewExists();
}

void TGALx::fillMap(char fuse)
{
    std::fill_n(buffer.data(), kMapFill, static_cast<uint8_t>(fuse));
}

void TGALx::showMap()
{
    host.openPldView(row().RowLength, row().RowBits);
}

bool TGALx::fuse(int n) const
{
    return (buffer.data()[n] & 1) != 0;
}

int TGALx::fuseEnd() const
{
    return row().Type == 3 ? 5891 : base() + 145;
}

void TGALx::SelectChip(const ChipSelection& chip)
{
    if (!acceptChip(chip)) {
        rowIndex_ = 0;
        return;
    }
    rowIndex_ = chip.VariantIndex;
    // One buffer byte a fuse.
    setChipBytes(static_cast<int64_t>(fuseEnd()) + 1);
    try {
        link.ResetSocket();
        setMessage(link.Connected() ? gal_text::kSelectOk : gal_text::kConnectionError);
        if (link.Connected()) {
            link.RouteGnd(kGroundPin);
            link.SetVccVoltage(5);
            link.Flush();
        }
    } catch (const LinkLost&) {
        noteLinkLost();
        setMessage(gal_text::kConnectionError);
    }
    // A new map starts unprogrammed: every fuse '0', so nothing the user did
    // not load is written as a kept connection.
    if (!host.pldViewExists())
        fillMap('0');
    // The end of the chip's fuse list, as a JEDEC file of it counts its fuses.
    host.setEndAddress(fuseEnd());
    setChipNameText(chip.ChipName);
    setCaption(row().name);
    setProgressMax(static_cast<int64_t>(row().RowLength) * row().RowBits);
    showMap();
    show();
}

// The 22V10 has another signal set; doing nothing and saying OK would
// report a chip programmed that was never touched.
bool TGALx::typeSupported()
{
    if (row().Type == 1 || row().Type == 2)
        return true;
    refuse(gal_text::kNot22V10);
    return false;
}

void TGALx::PowerUpGal()
{
    link.WriteAllLatches(255);
    link.RouteGnd(kGroundPin);
    link.LinkDelay(100);
    link.RouteVcc(row().VccPin);
    link.LinkDelay(100);
    // The level is chosen here, not at selection: between commands the
    // socket rests with Vpp at 0, and the guard of every command takes it down.
    link.SetVppVoltage(static_cast<int>(row().VppMillivolts));
    link.RouteVpp(row().VppPin);
}

void TGALx::powerOff()
{
    link.RouteVpp(0);
    link.RouteVcc(0);
}

static uint8_t addressLatch1(int type, int a)
{
    if (type == 1)
        return static_cast<uint8_t>(16 * bit(a, 1) + 32 * bit(a, 2) + 64 * bit(a, 3) + 128 * bit(a, 4));
    return static_cast<uint8_t>(4 * bit(a, 1) + 8 * bit(a, 2) + 16 * bit(a, 3) + 128 * bit(a, 4));
}

void TGALx::WriteRow(int a, const std::string& bits)
{
    const int type = row().Type;
    if (type == 1) {
        link.SetPin(22, 1);
        link.WriteLatch(2, static_cast<uint8_t>(28 + bit(a, 5)));
        link.WriteLatch(1, addressLatch1(1, a));
        link.WriteLatch(3, static_cast<uint8_t>(8 + 4 * bit(a, 0)));
        for (char c : bits) {
            if ((c & 1) != 0)
                link.FloatPin(19);
            else
                link.DrivePin(19);
            link.FloatPin(18);
            link.DrivePin(18);
        }
        link.DrivePin(21);
        link.LinkDelay(100);
        link.FloatPin(21);
    } else if (type == 2) {
        int l = 40 + bit(a, 5);
        link.WriteLatch(1, addressLatch1(2, a));
        link.WriteLatch(2, static_cast<uint8_t>(l));
        link.WriteLatch(3, static_cast<uint8_t>(16 + 8 * bit(a, 0)));
        for (char c : bits) {
            l = (c & 1) != 0 ? (l | 4) : (l & ~4);
            link.WriteLatch(2, static_cast<uint8_t>(l));
            link.WriteLatch(2, static_cast<uint8_t>(l + 2));
            link.WriteLatch(2, static_cast<uint8_t>(l));
        }
        link.WriteLatch(2, static_cast<uint8_t>(l - 8));
        link.LinkDelay(100);
        link.WriteLatch(2, static_cast<uint8_t>(l));
    }
}

void TGALx::queueRowRead(const RowRead& r)
{
    const int a = r.address;
    if (row().Type == 1) {
        link.WriteLatch(1, addressLatch1(1, a));
        link.WriteLatch(3, static_cast<uint8_t>(4 * bit(a, 0)));
        link.WriteLatch(2, static_cast<uint8_t>(24 + bit(a, 5)));
        link.WriteLatch(2, static_cast<uint8_t>(16 + bit(a, 5)));
        link.WriteLatch(2, static_cast<uint8_t>(24 + bit(a, 5)));
        link.SetPin(22, 1);
        for (int i = 0; i < r.bits; ++i) {
            link.QueueCommand({3}, 1); // port 2: pin 22 is bit 4
            link.FloatPin(18);
            link.DrivePin(18);
        }
    } else {
        const int l = 40 + bit(a, 5);
        link.WriteLatch(1, addressLatch1(2, a));
        link.WriteLatch(3, static_cast<uint8_t>(8 * bit(a, 0)));
        link.WriteLatch(2, static_cast<uint8_t>(l));
        link.WriteLatch(2, static_cast<uint8_t>(l - 8));
        link.WriteLatch(2, static_cast<uint8_t>(l));
        link.SetPin(23, 1);
        for (int i = 0; i < r.bits; ++i) {
            link.QueueCommand({3}, 1); // port 2: pin 23 is bit 5
            link.WriteLatch(2, static_cast<uint8_t>(l + 2));
            link.WriteLatch(2, static_cast<uint8_t>(l));
        }
    }
}

std::string TGALx::collectRow(int bits)
{
    const int shift = row().Type == 1 ? 4 : 5;
    std::string out(static_cast<size_t>(bits), '1');
    for (int i = 0; i < bits; ++i)
        out[static_cast<size_t>(i)] = ((link.ReceiveByte() >> shift) & 1) != 0 ? '1' : '0';
    return out;
}

bool TGALx::readRows(const std::vector<RowRead>& rows,
                     const std::function<bool(size_t, const std::string&)>& take)
{
    if (rows.empty())
        return true;
    queueRowRead(rows[0]);
    for (size_t i = 0; i < rows.size(); ++i) {
        if (i + 1 < rows.size())
            queueRowRead(rows[i + 1]);
        const std::string bits = collectRow(rows[i].bits);
        if (!take(i, bits)) {
            link.DiscardReplies();
            return false;
        }
    }
    return true;
}

void TGALx::ReadRom()
{
    runCommand(gal_text::kRead, [this] {
        if (!typeSupported())
            return;
        const VariantRecord& r = row();
        showMap();
        PowerUpGal();
        // Fuses no row gives back (the product-term disable bits) stay '1'.
        fillMap('1');
        std::vector<RowRead> rows;
        for (int a = 0; a < r.RowLength; ++a)
            rows.push_back({a, r.RowBits});
        rows.push_back({kArchitectureRow, kArchitectureBits});
        rows.push_back({r.RowLength, r.RowBits});
        const int b = base();
        uint8_t* map = buffer.data();
        readRows(rows, [&](size_t i, const std::string& bits) {
            const int a = rows[i].address;
            if (a == kArchitectureRow) {
                for (int k = 0; k < kArchitectureBits; ++k)
                    if (const int f = ArchitectureFuse(k, b); f >= 0)
                        map[f] = static_cast<uint8_t>(bits[static_cast<size_t>(k)]);
            } else if (i == rows.size() - 1) {
                for (int k = 0; k < r.RowBits; ++k)
                    map[b + 8 + k] = static_cast<uint8_t>(bits[static_cast<size_t>(k)]);
            } else {
                progress(static_cast<int64_t>(a) * r.RowBits);
                for (int c = 0; c < r.RowBits; ++c)
                    map[c * r.RowLength + a] = static_cast<uint8_t>(bits[static_cast<size_t>(c)]);
            }
            return true;
        });
        powerOff();
        succeed(gal_text::kReadOk);
        showMap();
    });
}

void TGALx::WriteClick()
{
    if (!host.pldViewExists()) {
        setOutcome(Outcome::Refused);
        prompt().showBox(gal_text::kNoMapForWrite);
        return;
    }
    runCommand(gal_text::kWrite, [this] {
        if (!typeSupported())
            return;
        const VariantRecord& r = row();
        const int b = base();
        PowerUpGal();
        for (int a = 0; a < r.RowLength; ++a) {
            progress(static_cast<int64_t>(a) * r.RowBits);
            RowBits.assign(static_cast<size_t>(r.RowBits), '1');
            for (int c = 0; c < r.RowBits; ++c)
                RowBits[static_cast<size_t>(c)] = fuse(c * r.RowLength + a) ? '1' : '0';
            WriteRow(a, RowBits);
        }
        RowBits.assign(kArchitectureBits, '1');
        for (int k = 0; k < kArchitectureBits; ++k)
            if (const int f = ArchitectureFuse(k, b); f >= 0)
                RowBits[static_cast<size_t>(k)] = fuse(f) ? '1' : '0';
        WriteRow(kArchitectureRow, RowBits);
        RowBits.assign(static_cast<size_t>(r.RowBits), '1');
        for (int i = 0; i < r.RowBits; ++i)
            RowBits[static_cast<size_t>(i)] = fuse(b + 8 + i) ? '1' : '0';
        WriteRow(r.RowLength, RowBits);
        powerOff();
        succeed(gal_text::kDone);
    });
}

void TGALx::BlankClick()
{
    runCommand(gal_text::kBlank, [this] {
        if (!typeSupported())
            return;
        const VariantRecord& r = row();
        PowerUpGal();
        std::vector<RowRead> rows;
        for (int a = 0; a < r.RowLength; ++a)
            rows.push_back({a, r.RowBits});
        const bool blank = readRows(rows, [&](size_t i, const std::string& bits) {
            const auto c = bits.find('0');
            if (c == std::string::npos)
                return true;
            progress(static_cast<int64_t>(r.RowBits) * static_cast<int64_t>(c) + static_cast<int64_t>(i));
            fail(gal_text::kNotBlank);
            return false;
        });
        powerOff();
        if (blank)
            succeed(gal_text::kBlankOk);
    });
}

void TGALx::VerifyClick()
{
    runCommand(gal_text::kVerify, [this] {
        if (!typeSupported())
            return;
        const VariantRecord& r = row();
        const int b = base();
        PowerUpGal();
        std::vector<RowRead> rows;
        for (int a = 0; a < r.RowLength; ++a)
            rows.push_back({a, r.RowBits});
        rows.push_back({kArchitectureRow, kArchitectureBits});
        bool architectureEqual = true;
        const bool arrayEqual = readRows(rows, [&](size_t i, const std::string& bits) {
            if (rows[i].address == kArchitectureRow) {
                for (int k = 0; k < kArchitectureBits; ++k)
                    if (const int f = ArchitectureFuse(k, b); f >= 0)
                        architectureEqual =
                            architectureEqual && (fuse(f) ? '1' : '0') == bits[static_cast<size_t>(k)];
                return true;
            }
            const int a = rows[i].address;
            for (int c = 0; c < r.RowBits; ++c) {
                const char expected = fuse(c * r.RowLength + a) ? '1' : '0';
                const char got = bits[static_cast<size_t>(c)];
                if (expected != got) {
                    progress(static_cast<int64_t>(r.RowBits) * a + c);
                    fail(format(gal_text::kMismatch, static_cast<unsigned>(expected),
                                static_cast<unsigned>(got)));
                    return false;
                }
            }
            return true;
        });
        powerOff();
        if (!arrayEqual)
            return;
        if (architectureEqual)
            succeed(gal_text::kVerifyOk);
        else
            fail(gal_text::kArchitectureMismatch);
    });
}

void TGALx::EraseClick()
{
    runCommand(gal_text::kErase, [this] {
        if (!typeSupported())
            return;
        PowerUpGal();
        RowBits = "1";
        WriteRow(kEraseRow, RowBits);
        link.LinkDelay(5000);
        powerOff();
        succeed(gal_text::kEraseOk);
    });
}

void TGALx::SecrityClick()
{
    runCommand(gal_text::kDone, [this] {
        if (!typeSupported())
            return;
        PowerUpGal();
        RowBits = "0";
        WriteRow(kSecurityRow, RowBits);
        powerOff();
        succeed(gal_text::kDone);
    });
}

} // namespace pontvex

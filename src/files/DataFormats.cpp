#include "files/DataFormats.h"

#include <algorithm>
#include <cstring>

namespace pontvex {

const std::array<LaneMode, 8> ModeTable = {{
    {"All", 0, 0},
    {"Defualt", 0, 0},
    {"1th char of word16", 1, 0},
    {"2th char of word16", 1, 1},
    {"1th char of word32", 3, 0},
    {"2th char of word32", 3, 1},
    {"3th char of word32", 3, 2},
    {"4th char of word32", 3, 3},
}};

// ---------------------------------------------------------------------------
// Binary and CDS

BinLoadReport StoreBinBytes(std::span<const uint8_t> file, std::span<uint8_t> image, int64_t loadStart,
                            uint32_t laneMask, uint32_t laneValue)
{
    laneMask &= 3;
    laneValue &= 3;
    BinLoadReport report;
    report.LoadEnd = loadStart - 1;
    const uint64_t fileBytes = std::min<uint64_t>(file.size(), kMaxBinFileBytes);
    report.fileCut = file.size() > kMaxBinFileBytes;

    const auto taken = [&](uint64_t i) { return (i & laneMask) == laneValue; };
    if (loadStart < 0 || static_cast<uint64_t>(loadStart) >= image.size()) {
        for (uint64_t i = 0; i < std::min<uint64_t>(fileBytes, 4); ++i)
            report.bufferEnd = report.bufferEnd || taken(i);
        return report;
    }

    uint64_t d = static_cast<uint64_t>(loadStart);
    if (laneMask == 0) {
        if (laneValue == 0) {
            const uint64_t n = std::min<uint64_t>(fileBytes, image.size() - d);
            if (n > 0)
                std::memcpy(image.data() + d, file.data(), n);
            d += n;
            report.bufferEnd = n < fileBytes;
        }
    } else {
        for (uint64_t i = 0; i < fileBytes; ++i) {
            if (!taken(i))
                continue;
            if (d >= image.size()) {
                report.bufferEnd = true;
                break;
            }
            image[d++] = file[i];
        }
    }
    report.stored = d - static_cast<uint64_t>(loadStart);
    report.LoadEnd = static_cast<int64_t>(d) - 1;
    return report;
}

BinLoadReport StoreCdsBytes(std::span<const uint8_t> file, std::span<uint8_t> image)
{
    if (file.size() < kCdsHeaderBytes) {
        BinLoadReport report;
        report.noHeader = true;
        return report;
    }
    // Skipping the header while storing puts the image at address 0 in one
    // pass, so nothing past the file's own bytes is read or moved.
    return StoreBinBytes(file.subspan(kCdsHeaderBytes), image, 0, 0, 0);
}

// ---------------------------------------------------------------------------
// Record scanner shared by the Intel HEX and S-record readers

namespace {

constexpr int8_t kNotHex = -1;

constexpr std::array<int8_t, 256> makeHexTable()
{
    std::array<int8_t, 256> t{};
    for (auto& v : t)
        v = kNotHex;
    for (int c = '0'; c <= '9'; ++c)
        t[c] = static_cast<int8_t>(c - '0');
    for (int c = 'A'; c <= 'F'; ++c)
        t[c] = static_cast<int8_t>(c - 'A' + 10);
    for (int c = 'a'; c <= 'f'; ++c)
        t[c] = static_cast<int8_t>(c - 'a' + 10);
    return t;
}

constexpr std::array<int8_t, 256> kHexValue = makeHexTable();

// A line end where a digit belongs cuts the record short; anything else is a
// wrong character.
HexFault badCharacter(uint8_t c)
{
    return c == '\r' || c == '\n' ? HexFault::Truncated : HexFault::BadDigit;
}

// Walks the text record by record. A record's start character counts only at
// the start of the text or after a control character; everything else between
// records is passed over. Format names the start character and decodes what
// follows it through character() and bytes(); the scanner counts the lines
// and checks that nothing but blanks follows a record.
template <class Format> class RecordScanner {
public:
    using Record = typename Format::Record;

    explicit RecordScanner(std::span<const uint8_t> text) : p_(text.data()), n_(text.size()) {}

    // The next record, or false at the end of the text or at a faulty record
    // (then fault() says why and line() names its line).
    bool next(Record& record)
    {
        while (pos_ < n_) {
            const uint8_t c = p_[pos_++];
            if (Format::starts(c) && prev_ < 0x20)
                return parse(record);
            noteBreak(c);
            if (c > 0x20 && contentLine_ == 0)
                contentLine_ = line_;
            prev_ = c;
        }
        return false;
    }

    HexFault fault() const { return fault_; }
    int line() const { return line_; }
    int contentLine() const { return contentLine_; }

    // For the decoders: stop at a fault (always false).
    bool fail(HexFault fault)
    {
        fault_ = fault;
        return false;
    }

    // One character as it stands.
    bool character(uint8_t& out)
    {
        if (pos_ >= n_)
            return fail(HexFault::Truncated);
        out = p_[pos_++];
        return true;
    }

    // count hex pairs into out, each added to sum.
    bool bytes(uint8_t* out, int count, uint8_t& sum)
    {
        for (int k = 0; k < count; ++k) {
            if (!pair(out[k]))
                return false;
            sum = static_cast<uint8_t>(sum + out[k]);
        }
        return true;
    }

private:
    void noteBreak(uint8_t c)
    {
        // CR LF, LF and a lone CR each end one line.
        if (c == '\n' || (c == '\r' && (pos_ >= n_ || p_[pos_] != '\n')))
            ++line_;
    }

    // Two hex digits at pos_ into one byte, or a fault.
    bool pair(uint8_t& out)
    {
        for (int k = 0; k < 2; ++k) {
            if (pos_ + k >= n_)
                return fail(HexFault::Truncated);
            const uint8_t c = p_[pos_ + k];
            if (kHexValue[c] == kNotHex)
                return fail(badCharacter(c));
        }
        out = static_cast<uint8_t>((kHexValue[p_[pos_]] << 4) | kHexValue[p_[pos_ + 1]]);
        pos_ += 2;
        return true;
    }

    bool parse(Record& record)
    {
        record.line = line_;
        if (!Format::decode(*this, record))
            return false;
        if (pos_ < n_ && p_[pos_] > 0x20)
            return fail(HexFault::ExtraText);
        prev_ = p_[pos_ - 1];
        return true;
    }

    const uint8_t* p_;
    size_t n_;
    size_t pos_ = 0;
    uint8_t prev_ = 0;
    int line_ = 1;
    int contentLine_ = 0;
    HexFault fault_ = HexFault::None;
};

// The scanner stopped: at a faulty record, or at the end of a text that held
// something but no record.
template <class Scanner> void noteScanEnd(const Scanner& scanner, HexReadReport& report)
{
    if (scanner.fault() != HexFault::None) {
        report.stop = HexStop::BadRecord;
        report.fault = scanner.fault();
        report.line = scanner.line();
    } else if (report.records == 0 && scanner.contentLine() != 0) {
        report.stop = HexStop::BadRecord;
        report.fault = HexFault::NoRecords;
        report.line = scanner.contentLine();
    }
}

// Stores the data of the record on line `line` from address on. False when the
// reading stops in it (report says why); firstUnread() then names the first
// data address of the records after it, or -1.
template <class FirstUnread>
bool storeData(HexReadReport& report, std::span<uint8_t> image, uint64_t imageEnd, uint64_t address,
               const uint8_t* data, int count, int line, FirstUnread firstUnread)
{
    for (int k = 0; k < count; ++k) {
        const uint64_t a = address + static_cast<uint64_t>(k);
        if (a >= imageEnd) {
            report.stop = HexStop::AddressLimit;
            report.line = line;
            report.dataLeft = true;
            report.firstLeft = static_cast<int64_t>(a);
            return false;
        }
        image[a] = data[k];
        ++report.stored;
        report.last = std::max<int64_t>(report.last, static_cast<int64_t>(a));
        if (static_cast<int64_t>(a) > kHexLastAddress) {
            report.stop = HexStop::MemoryLimit;
            report.line = line;
            report.firstLeft = k + 1 < count ? static_cast<int64_t>(a + 1) : firstUnread();
            report.dataLeft = report.firstLeft >= 0;
            return false;
        }
    }
    return true;
}

} // namespace

// ---------------------------------------------------------------------------
// Intel HEX reader

namespace {

struct HexRecord {
    uint8_t bytes[5 + 255]; // count, address high, address low, type, data..., checksum
    int line = 0;
    uint8_t count() const { return bytes[0]; }
    uint32_t offset() const { return (uint32_t{bytes[1]} << 8) | bytes[2]; }
    int8_t type() const { return static_cast<int8_t>(bytes[3]); }
    const uint8_t* data() const { return bytes + 4; }
};

struct HexFormat {
    using Record = HexRecord;

    static bool starts(uint8_t c) { return c == ':'; }

    // Count, address, type, data and checksum, which makes the sum 0.
    template <class Scanner> static bool decode(Scanner& scanner, HexRecord& record)
    {
        uint8_t sum = 0;
        if (!scanner.bytes(record.bytes, 1, sum) || !scanner.bytes(record.bytes + 1, 4 + record.count(), sum))
            return false;
        return sum == 0 || scanner.fail(HexFault::BadChecksum);
    }
};

using HexScanner = RecordScanner<HexFormat>;

// After a stop at the address limits: is there a data record that was not read?
// Returns its first address, or -1.
int64_t firstUnreadData(HexScanner& scanner, uint64_t base)
{
    HexRecord record;
    while (scanner.next(record)) {
        const int8_t type = record.type();
        if (record.count() == 0 || type == 1)
            break;
        if (type == 0)
            return static_cast<int64_t>(base + record.offset());
        if (type == 4 && record.count() >= 2)
            base = ((uint64_t{record.data()[0]} << 8) | record.data()[1]) << 16;
        else if (type == 2 && record.count() >= 2)
            base = ((uint64_t{record.data()[0]} << 8) | record.data()[1]) << 4;
    }
    return -1;
}

} // namespace

HexReadReport ReadHexRecords(std::span<const uint8_t> text, std::span<uint8_t> image)
{
    HexReadReport report;
    HexScanner scanner(text);
    const uint64_t imageEnd = std::min<uint64_t>(image.size(), DeviceBuffer::kSize);
    uint64_t base = 0;
    HexRecord record;

    const auto stop = [&](HexStop why) {
        report.stop = why;
        report.line = record.line;
    };

    for (;;) {
        if (!scanner.next(record)) {
            noteScanEnd(scanner, report);
            return report;
        }
        const uint8_t count = record.count();
        if (count == 0) {
            stop(HexStop::EndRecord);
            return report;
        }
        const int8_t type = record.type();
        if (type >= 6) {
            stop(HexStop::BadRecord);
            report.fault = HexFault::UnknownType;
            return report;
        }
        ++report.records;
        if (type == 1) {
            stop(HexStop::EndRecord);
            return report;
        }
        const uint64_t address = base + record.offset();
        if (address >= imageEnd) {
            // The data of this and later records lies outside the buffer.
            stop(HexStop::AddressLimit);
            report.firstLeft = type == 0 ? static_cast<int64_t>(address) : firstUnreadData(scanner, base);
            report.dataLeft = report.firstLeft >= 0;
            return report;
        }
        if (type == 4 || type == 2) {
            if (count < 2) {
                stop(HexStop::BadRecord);
                report.fault = HexFault::BadLength;
                return report;
            }
            const uint64_t value = (uint64_t{record.data()[0]} << 8) | record.data()[1];
            base = type == 4 ? value << 16 : value << 4;
            continue;
        }
        if (type != 0)
            continue; // start addresses (03, 05) and types 80..FF

        if (!storeData(report, image, imageEnd, address, record.data(), count, record.line,
                       [&] { return firstUnreadData(scanner, base); }))
            return report;
    }
}

// ---------------------------------------------------------------------------
// Intel HEX writer

namespace {

constexpr char kDigits[] = "0123456789ABCDEF";

inline char* putByte(char* out, uint8_t value)
{
    out[0] = kDigits[value >> 4];
    out[1] = kDigits[value & 15];
    return out + 2;
}

} // namespace

void WriteHexRecords(std::string& out, std::span<const uint8_t> image, int64_t end)
{
    static constexpr char kEndRecord[] = ":00000001FF";
    static constexpr size_t kRecordChars = 1 + 2 + 4 + 2 + 64 + 2 + 2;
    static constexpr size_t kAddressRecordChars = 17;

    end = std::min<int64_t>(end, static_cast<int64_t>(image.size()) - 1);
    const uint64_t bytes = end >= 0 ? static_cast<uint64_t>(end) + 1 : 0;
    const size_t oldSize = out.size();
    out.resize(oldSize + (bytes + 31) / 32 * kRecordChars + (bytes >> 16) * kAddressRecordChars +
               sizeof kEndRecord);
    char* w = out.data() + oldSize;

    for (uint64_t a = 0; a < bytes; a += 32) {
        const uint64_t n = std::min<uint64_t>(32, bytes - a);
        if ((a & 0xFFFF) == 0 && a > 0xFFFF) {
            const auto high = static_cast<uint8_t>(a >> 24);
            const auto low = static_cast<uint8_t>(a >> 16);
            std::memcpy(w, ":02000004", 9);
            w = putByte(putByte(w + 9, high), low);
            w = putByte(w, static_cast<uint8_t>(0x100 - ((6 + high + low) & 0xFF)));
            *w++ = '\r';
            *w++ = '\n';
        }
        const auto high = static_cast<uint8_t>(a >> 8);
        const auto low = static_cast<uint8_t>(a);
        uint8_t sum = static_cast<uint8_t>(n + high + low);
        *w++ = ':';
        w = putByte(w, static_cast<uint8_t>(n));
        w = putByte(putByte(w, high), low);
        w = putByte(w, 0);
        for (uint64_t k = 0; k < n; ++k) {
            const uint8_t b = image[a + k];
            sum = static_cast<uint8_t>(sum + b);
            w = putByte(w, b);
        }
        w = putByte(w, static_cast<uint8_t>(0x100 - sum));
        *w++ = '\r';
        *w++ = '\n';
    }
    std::memcpy(w, kEndRecord, sizeof kEndRecord - 1);
    w += sizeof kEndRecord - 1;
    out.resize(static_cast<size_t>(w - out.data()));
}

const char* describe(HexFault fault)
{
    switch (fault) {
    case HexFault::None:
        return "no fault";
    case HexFault::UnknownType:
        return "unknown record type";
    case HexFault::BadDigit:
        return "character that is no hexadecimal digit";
    case HexFault::Truncated:
        return "record cut short";
    case HexFault::BadChecksum:
        return "bad checksum";
    case HexFault::ExtraText:
        return "record longer than its count";
    case HexFault::BadLength:
        return "address record too short";
    case HexFault::NoRecords:
        return "no records";
    case HexFault::BadCount:
        return "record count does not match";
    }
    return "?";
}

// ---------------------------------------------------------------------------
// Motorola S-records

namespace {

// Address bytes of each record type S0..S9; 0 for the reserved S4.
constexpr int kSrecAddressBytes[10] = {2, 2, 3, 4, 0, 2, 3, 4, 3, 2};

// One record line as bytes: count, address, data, checksum.
struct SRecord {
    int type = 0;
    uint8_t bytes[256];
    int line = 0;
    int count() const { return bytes[0]; }
    int addressBytes() const { return kSrecAddressBytes[type]; }
    uint64_t address() const
    {
        uint64_t a = 0;
        for (int k = 0; k < addressBytes(); ++k)
            a = (a << 8) | bytes[1 + k];
        return a;
    }
    int dataCount() const { return count() - addressBytes() - 1; }
    const uint8_t* data() const { return bytes + 1 + addressBytes(); }
};

// Anything that does not start a line with "S" is passed over, as the HEX
// reader passes over text between records.
struct SrecFormat {
    using Record = SRecord;

    static bool starts(uint8_t c) { return c == 'S' || c == 's'; }

    // Type digit, then the count and as many bytes (address, data, checksum),
    // which make the sum FF.
    template <class Scanner> static bool decode(Scanner& scanner, SRecord& record)
    {
        uint8_t t = 0;
        if (!scanner.character(t))
            return false;
        if (t < '0' || t > '9')
            return scanner.fail(badCharacter(t));
        record.type = t - '0';
        if (record.type == 4)
            return scanner.fail(HexFault::UnknownType);
        uint8_t sum = 0;
        if (!scanner.bytes(record.bytes, 1, sum) || !scanner.bytes(record.bytes + 1, record.count(), sum))
            return false;
        // The count covers address, data and checksum.
        if (record.count() < record.addressBytes() + 1)
            return scanner.fail(HexFault::BadLength);
        return sum == 0xFF || scanner.fail(HexFault::BadChecksum);
    }
};

using SrecScanner = RecordScanner<SrecFormat>;

bool isSrecData(int type)
{
    return type >= 1 && type <= 3;
}

} // namespace

HexReadReport ReadSRecords(std::span<const uint8_t> text, std::span<uint8_t> image)
{
    HexReadReport report;
    SrecScanner scanner(text);
    const uint64_t imageEnd = std::min<uint64_t>(image.size(), DeviceBuffer::kSize);
    uint64_t dataRecords = 0;
    SRecord record;

    const auto stop = [&](HexStop why) {
        report.stop = why;
        report.line = record.line;
    };
    // After an address stop: the first data address left unread, or -1.
    const auto firstUnread = [&]() -> int64_t {
        SRecord r;
        while (scanner.next(r)) {
            if (r.type >= 7)
                break;
            if (isSrecData(r.type) && r.dataCount() > 0)
                return static_cast<int64_t>(r.address());
        }
        return -1;
    };

    for (;;) {
        if (!scanner.next(record)) {
            noteScanEnd(scanner, report);
            return report;
        }
        ++report.records;
        if (record.type >= 7) {
            stop(HexStop::EndRecord);
            return report;
        }
        if (record.type == 5 || record.type == 6) {
            // The count holds as many low bits of the number as its address has room for.
            const uint64_t mask = record.type == 5 ? 0xFFFF : 0xFFFFFF;
            if (record.dataCount() != 0 || record.address() != (dataRecords & mask)) {
                stop(HexStop::BadRecord);
                report.fault = HexFault::BadCount;
                return report;
            }
            continue;
        }
        if (!isSrecData(record.type))
            continue; // S0: a header
        ++dataRecords;
        if (!storeData(report, image, imageEnd, record.address(), record.data(), record.dataCount(),
                       record.line, firstUnread))
            return report;
    }
}

void WriteSRecords(std::string& out, std::span<const uint8_t> image, int64_t end)
{
    end = std::min<int64_t>(end, static_cast<int64_t>(image.size()) - 1);
    const uint64_t bytes = end >= 0 ? static_cast<uint64_t>(end) + 1 : 0;
    out.reserve(out.size() + (bytes + 31) / 32 * 80 + 64);

    // One record: type, address of addressBytes bytes, data.
    const auto record = [&out](char type, int addressBytes, uint64_t address, const uint8_t* data, size_t n) {
        char line[2 + 2 + 8 + 2 * 255 + 2];
        char* w = line;
        *w++ = 'S';
        *w++ = type;
        const auto count = static_cast<uint8_t>(addressBytes + n + 1);
        uint8_t sum = count;
        w = putByte(w, count);
        for (int k = addressBytes - 1; k >= 0; --k) {
            const auto b = static_cast<uint8_t>(address >> (8 * k));
            sum = static_cast<uint8_t>(sum + b);
            w = putByte(w, b);
        }
        for (size_t k = 0; k < n; ++k) {
            sum = static_cast<uint8_t>(sum + data[k]);
            w = putByte(w, data[k]);
        }
        w = putByte(w, static_cast<uint8_t>(~sum));
        out.append(line, static_cast<size_t>(w - line));
    };
    static constexpr uint8_t kHeader[] = {'p', 'o', 'n', 't', 'v', 'e', 'x'};
    record('0', 2, 0, kHeader, sizeof kHeader);

    uint64_t records = 0;
    bool wide = false;
    for (uint64_t a = 0; a < bytes; a += 32) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(32, bytes - a));
        out += "\r\n";
        if (a > 0xFFFF) {
            wide = true;
            record('2', 3, a, image.data() + a, n);
        } else {
            record('1', 2, a, image.data() + a, n);
        }
        ++records;
    }
    out += "\r\n";
    if (records > 0xFFFF)
        record('6', 3, records, nullptr, 0);
    else
        record('5', 2, records, nullptr, 0);
    out += "\r\n";
    if (wide)
        record('8', 3, 0, nullptr, 0);
    else
        record('9', 2, 0, nullptr, 0);
}

// ---------------------------------------------------------------------------
// Format from the content

namespace {

// Is line (without its line end, blanks after it allowed) one valid record?
bool validHexLine(std::span<const uint8_t> line)
{
    // A record whose address lies past the scratch image is valid all the same.
    uint8_t scratch[16];
    const HexReadReport r = ReadHexRecords(line, scratch);
    return r.fault == HexFault::None &&
           (r.records == 1 || r.stop == HexStop::EndRecord || r.stop == HexStop::AddressLimit);
}

bool validSrecLine(std::span<const uint8_t> line)
{
    uint8_t scratch[16];
    const HexReadReport r = ReadSRecords(line, scratch);
    return r.fault == HexFault::None && (r.records == 1 || r.stop == HexStop::AddressLimit);
}

} // namespace

ContentFormat DetectContentFormat(std::span<const uint8_t> file)
{
    size_t begin = 0;
    while (begin < file.size() &&
           (file[begin] == ' ' || file[begin] == '\t' || file[begin] == '\r' || file[begin] == '\n'))
        ++begin;
    // A record line is at most 11 + 2 * 255 characters; a longer first line is no record.
    size_t stop = begin;
    while (stop < file.size() && file[stop] != '\r' && file[stop] != '\n' && stop - begin < 600)
        ++stop;
    if (begin >= file.size())
        return ContentFormat::Binary;
    const std::span<const uint8_t> line = file.subspan(begin, stop - begin);
    if (line[0] == ':' && validHexLine(line))
        return ContentFormat::IntelHex;
    if ((line[0] == 'S' || line[0] == 's') && validSrecLine(line))
        return ContentFormat::SRecords;
    return ContentFormat::Binary;
}

} // namespace pontvex

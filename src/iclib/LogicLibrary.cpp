#include "iclib/LogicLibrary.h"

namespace pontvex::iclib {

namespace {

constexpr uint8_t kRepeat = 0x40;
constexpr uint8_t kEnd = 'E';

LibraryResult refuse(int record, std::string reason)
{
    LibraryResult r;
    r.record = record;
    r.reason = std::move(reason);
    return r;
}

void convertPair(uint8_t& high, uint8_t& low)
{
    // low holds pins 17..24, high 25..32; pin 20 (bit 3 of low) has no port bit.
    const uint8_t l = low, h = high;
    low = static_cast<uint8_t>((l & 7) | ((l >> 1) & 0x78) | ((h & 1) ? 0x80 : 0));
    high = static_cast<uint8_t>(h >> 1);
}

} // namespace

int headerNumber(std::span<const uint8_t> header)
{
    int n = 0;
    for (size_t i = 0; i < header.size() && header[i] >= '0' && header[i] <= '9'; ++i) {
        if (n > 100000000)
            break; // more digits than any type has; %d would overflow
        n = n * 10 + (header[i] - '0');
    }
    return n;
}

int packageVccPin(uint8_t byte1, uint8_t byte2)
{
    int pin = 0;
    if (byte2 & 0x40)
        pin = 27;
    if (byte2 & 0x80)
        pin = 28;
    if (byte1 & 0x01)
        pin = 29;
    if (byte1 & 0x02)
        pin = 30;
    if (byte1 & 0x04)
        pin = 32;
    if (byte1 & 0x08)
        pin = 34;
    return pin;
}

void convertVector(uint8_t* v)
{
    convertPair(v[3], v[4]);
    convertPair(v[6], v[7]);
}

LibraryResult readLogicLibrary(std::span<const uint8_t> bytes)
{
    if (bytes.size() > kMaxLibraryBytes)
        return refuse(0, "more than 30000 bytes");
    LogicLibrary lib;
    lib.image.assign(bytes.begin(), bytes.end());
    size_t at = 0;
    bool ended = false;
    while (at < bytes.size()) {
        const int record = static_cast<int>(lib.entries.size());
        if (bytes[at] == kEnd) {
            ended = true;
            break;
        }
        if (lib.entries.size() >= kMaxLibraryRecords)
            return refuse(record, "more than 1000 records");
        if (bytes.size() - at < kHeaderBytes)
            return refuse(record, "truncated header");
        LibraryEntry e;
        e.number = headerNumber(bytes.subspan(at, 5));
        e.count = bytes[at + 5];
        e.position = static_cast<uint32_t>(at + kHeaderBytes);
        if (bytes.size() - e.position < size_t{e.count} * kVectorBytes)
            return refuse(record, "truncated vectors");
        for (uint32_t i = 0; i < e.count; ++i) {
            if (!(bytes[e.position + i * kVectorBytes] & kRepeat))
                continue;
            const auto repeatAt = [&](uint32_t k) {
                return (bytes[e.position + k * kVectorBytes] & kRepeat) != 0;
            };
            if (i < 2 || repeatAt(i - 1) || repeatAt(i - 2))
                return refuse(record, "repeat vector before two plain vectors");
        }
        if (e.count > 0)
            e.vccPin = packageVccPin(bytes[e.position + 1], bytes[e.position + 2]);
        lib.entries.push_back(e);
        at = e.position + size_t{e.count} * kVectorBytes;
    }
    if (!ended)
        return refuse(static_cast<int>(lib.entries.size()), "no closing \"E\" record");
    // An empty record stands for the type after it; the last one keeps no pin.
    for (size_t k = lib.entries.size(); k-- > 0;) {
        if (lib.entries[k].count == 0 && k + 1 < lib.entries.size()) {
            lib.entries[k].position = lib.entries[k + 1].position;
            lib.entries[k].vccPin = lib.entries[k + 1].vccPin;
        }
    }
    for (const LibraryEntry& e : lib.entries)
        for (uint32_t i = 0; i < e.count; ++i) {
            uint8_t* v = lib.image.data() + e.position + i * kVectorBytes;
            if (!(v[0] & kRepeat))
                convertVector(v);
        }
    LibraryResult r;
    r.ok = true;
    r.library = std::move(lib);
    return r;
}

} // namespace pontvex::iclib

#pragma once

// JEDEC fuse files as pure functions over text and a fuse map (one byte per
// fuse, '0' or '1', fuse n at byte n). Like the other image formats they never
// touch files or the user; the callers turn the report into messages.

#include <cstdint>
#include <span>
#include <string>

namespace pontvex {

// Fuses pre-filled when no device is chosen, so a map of any GAL fits.
inline constexpr int64_t kJedecDefaultFuses = 6000;

struct JedecReadReport {
    int64_t MapSize = 0;    // QF when given, else one past the highest fuse named
    int64_t fuseCount = -1; // the QF field, -1 without one
    int defaultFuse = -1;   // the F field (0 or 1), -1 without one
    bool hasChecksum = false;
    uint16_t checksum = 0;     // the C field
    uint16_t computed = 0;     // the fuse checksum of the map as read, over MapSize fuses
    bool noHeader = false;     // no "*" at all: the design header never ends
    bool unterminated = false; // the last field has no closing "*"
    bool badField = false;     // an L, K, F, QF or C field that holds something else
    bool outside = false;      // fuses addressed beyond the map were dropped
    int64_t fuses = 0;         // fuses named by L and K fields
    bool checksumWrong() const { return hasChecksum && checksum != computed; }
};

// 16-bit sum of the bytes formed by every eight fuses of map[0, count), the
// lowest fuse in bit 0; only bit 0 of a map byte counts.
uint16_t JedecFuseChecksum(std::span<const uint8_t> map, int64_t count);

// Reads the fields of a JEDEC file into map. Fuses the file does not name take
// the F state (else '0') over the first max(minFuses, MapSize) fuses of the map.
// Fields other than L, K, F, QF and C are skipped whole.
JedecReadReport ReadJedecFuses(std::span<const uint8_t> text, std::span<uint8_t> map,
                               int64_t minFuses = kJedecDefaultFuses);

struct JedecWriteLayout {
    std::string device; // device line before the header ("" for none)
    int64_t fuses = 0;  // fuses written from fuse 0, also the QF field
    int rowLength = 32; // fuses per line of the fuse list
};

// The device line and fuse count for a map of the chosen device: a 16V8
// type writes "GAL16V8" and its 2194 fuses, a 20V8 type "GAL20V8" and 2706, a
// 22V10 type no device line and 5892; any other device, or none, writes
// mapSize fuses without a device line.
JedecWriteLayout JedecLayoutFor(const std::string& deviceName, int rowLength, int64_t mapSize);

// Standard fuse count of a device named like "GAL16V8", "ATF20V8B" or
// "GAL22V10"; 0 when the name is none of them.
int64_t JedecStandardFuses(const std::string& deviceName);

// Appends a whole JEDEC transmission: STX, device line, header, QF, F0, the
// fuse list from L0000 in lines of rowLength, the fuse checksum, ETX and the
// transmission checksum. Fuses past the map are written as '0'.
void WriteJedecFuses(std::string& out, std::span<const uint8_t> map, const JedecWriteLayout& layout);

} // namespace pontvex

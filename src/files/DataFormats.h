#pragma once

// Binary, Intel HEX and CDS images as pure functions over bytes and an image
// buffer (normally the whole of DeviceBuffer). They never touch files or the
// user: the load and save commands, the command line and the fuzzers share
// them and turn the returned report into messages.

#include "core/DeviceBuffer.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>

namespace pontvex {

// One load mode of a binary load: file byte i is stored when
// (i AND LaneMask) = LaneValue, both taken modulo 4.
struct LaneMode {
    const char* text; // the format dialog's item
    uint32_t LaneMask;
    uint32_t LaneValue;
};

extern const std::array<LaneMode, 8> ModeTable;

// The whole 8 MiB device buffer as a span, for the functions below.
inline std::span<uint8_t> imageOf(DeviceBuffer& buffer)
{
    return {buffer.data(), DeviceBuffer::kSize};
}
inline std::span<const uint8_t> imageOf(const DeviceBuffer& buffer)
{
    return {buffer.data(), DeviceBuffer::kSize};
}

// ---------------------------------------------------------------------------
// Binary and CDS

struct BinLoadReport {
    int64_t LoadEnd = -1;   // last address stored; LoadStart - 1 when nothing was
    uint64_t stored = 0;    // bytes stored
    bool bufferEnd = false; // bytes to store were left because the image ended
    bool fileCut = false;   // the file is longer than the 8 MiB that a load reads
    bool noHeader = false;  // CDS only: the file is shorter than its header
    bool dataLeft() const { return bufferEnd || fileCut; }
};

// Largest number of file bytes one binary load reads.
inline constexpr uint64_t kMaxBinFileBytes = 0x800000;

// Stores the file bytes of the chosen lane from loadStart on. A loadStart
// outside the image stores nothing (bufferEnd is set when there was
// something to store).
BinLoadReport StoreBinBytes(std::span<const uint8_t> file, std::span<uint8_t> image, int64_t loadStart,
                            uint32_t laneMask, uint32_t laneValue);

// A CDS file is a two-byte header (not interpreted) followed by the image,
// which is stored from address 0. LoadEnd is the last image byte.
inline constexpr uint64_t kCdsHeaderBytes = 2;
BinLoadReport StoreCdsBytes(std::span<const uint8_t> file, std::span<uint8_t> image);

// ---------------------------------------------------------------------------
// Intel HEX

enum class HexStop {
    EndOfText,    // ran out of text (no end record)
    EndRecord,    // type 01 or a record with count 0
    AddressLimit, // a data record above the image
    MemoryLimit,  // stored a byte above 0xFFFFF, the last address a HEX load fills
    BadRecord,    // see HexFault
};

enum class HexFault {
    None,
    UnknownType, // type 06..7F (05 and 03 are start addresses and skipped)
    BadDigit,    // a character inside the record that is no hexadecimal digit
    Truncated,   // the text ends inside a record
    BadChecksum,
    ExtraText, // more digits on the line than the count says
    BadLength, // an address record with fewer than two data bytes
    NoRecords, // text that holds no record at all
    BadCount,  // S-records: an S5/S6 count that differs from the data records read
};

struct HexReadReport {
    int64_t last = 0; // highest address stored, 0 when none
    uint64_t stored = 0;
    uint32_t records = 0; // records accepted, of any type
    HexStop stop = HexStop::EndOfText;
    HexFault fault = HexFault::None;
    int line = 0;           // line of the record that ended reading (1-based), 0 at end of text
    bool dataLeft = false;  // the 1 MiB or buffer stop left data records unread
    int64_t firstLeft = -1; // with dataLeft: the first address that was not stored
};

inline constexpr int64_t kHexLastAddress = 0xFFFFF;

// Reads records into image. Bytes of records before a faulty one stay; the
// faulty record stores nothing.
HexReadReport ReadHexRecords(std::span<const uint8_t> text, std::span<uint8_t> image);

// Appends image bytes 0..end as 32-byte data records with an extended linear
// address record at every 64 KiB above the first, each line ended by CR LF,
// then ":00000001FF" without a line end. An end below 0 writes only the end
// record; an end past the image stops at the image's last byte.
void WriteHexRecords(std::string& out, std::span<const uint8_t> image, int64_t end);

// Short English name of a fault for the command line ("bad checksum").
const char* describe(HexFault fault);

// ---------------------------------------------------------------------------
// Motorola S-records

// Reads S-records into image with the HEX reader's report: S0 is skipped,
// S1/S2/S3 store data, S5/S6 counts are checked, S7/S8/S9 end reading (stop
// EndRecord), every checksum is checked, and the same 1 MiB and image stops
// apply. A record starts with "S" at the start of a line.
HexReadReport ReadSRecords(std::span<const uint8_t> text, std::span<uint8_t> image);

// Appends an S0 header "pontvex", image bytes 0..end as 32-byte S1 records
// (S2 from 64 KiB on), an S5 count (S6 above 65535 records) and an S9 end
// (S8 when S2 records were written), upper case, CR LF between records and
// none after the last, as the HEX writer ends its lines.
void WriteSRecords(std::string& out, std::span<const uint8_t> image, int64_t end);

// ---------------------------------------------------------------------------
// Format from the content

enum class ContentFormat { Binary, IntelHex, SRecords };

// Intel HEX when the first non-blank line is a valid HEX record, S-records
// when it is a valid S-record, binary otherwise; the name plays no part.
ContentFormat DetectContentFormat(std::span<const uint8_t> file);

} // namespace pontvex

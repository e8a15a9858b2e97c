#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace pontvex::iclib {

// One type of a logic library: where its record's vectors start in the image
// (at its first vector), how many there are, and the socket pin its Vcc goes to.
struct LibraryEntry {
    int vccPin = 0;
    uint32_t position = 0;
    uint32_t count = 0;
    int number = 0;
};

// A library read whole: the image with its vectors converted to the box's
// port layout, and one entry per record.
struct LogicLibrary {
    std::vector<uint8_t> image;
    std::vector<LibraryEntry> entries;
};

constexpr size_t kMaxLibraryBytes = 30000;
constexpr size_t kMaxLibraryRecords = 1000;
constexpr size_t kHeaderBytes = 7;
constexpr size_t kVectorBytes = 9;

struct LibraryResult {
    bool ok = false;
    LogicLibrary library;
    // Refusals: the record (0-based) that is at fault and why.
    int record = -1;
    std::string reason;
};

// Reads a library. A file over 30000 bytes or 1000 records, without its
// closing "E" record, with a truncated record, or with a repeat vector that
// does not follow two plain vectors of its record is refused: the tester
// would read past the image or apply a repeat count as pin levels.
LibraryResult readLogicLibrary(std::span<const uint8_t> bytes);

// The type number of a header: decimal digits from byte 0.
int headerNumber(std::span<const uint8_t> header);

// Socket pin of Vcc from the package bits of a record's first vector; the
// last bit set wins, 0 when none is.
int packageVccPin(uint8_t byte1, uint8_t byte2);

// A vector's pin bytes from the file layout to the port layout (pin 20 has no bit).
void convertVector(uint8_t* vector);

} // namespace pontvex::iclib

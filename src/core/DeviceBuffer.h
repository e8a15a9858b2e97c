#pragma once

#include <cstddef>
#include <cstdint>

namespace pontvex {

// The chip image: one static 8 MiB array for the whole process. Nothing copies
// or reallocates it; every reader, writer and family works on it in place.
class DeviceBuffer {
public:
    static constexpr uint32_t kSize = 0x800000;
    static constexpr uint32_t kLastAddress = kSize - 1;
    static constexpr uint32_t kInitialFill = 0x100000; // bytes set to 0xFF at start

    static DeviceBuffer& instance();

    uint8_t* data() { return bytes_; }
    const uint8_t* data() const { return bytes_; }
    uint8_t& operator[](uint32_t address) { return bytes_[address & kLastAddress]; }
    uint8_t operator[](uint32_t address) const { return bytes_[address & kLastAddress]; }

    // The start-up state: 0..0xFFFFF hold 0xFF, the rest 0.
    void reset();

    // Unsigned 32-bit sum of bytes 0..endAddress; an end address below 0 sums nothing.
    uint32_t checksum(int64_t endAddress) const;

    static bool contains(int64_t address) { return address >= 0 && address <= kLastAddress; }

private:
    DeviceBuffer();
    static uint8_t bytes_[kSize];
};

} // namespace pontvex

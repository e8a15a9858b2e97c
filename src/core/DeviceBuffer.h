#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace pontvex {

// The chip image: 8 MiB on the heap, owned by the program's main() (a test
// builds its own) and handed to every reader, writer, view and family, which
// work on it in place. Nothing copies or reallocates it.
class DeviceBuffer {
public:
    static constexpr uint32_t kSize = 0x800000;
    static constexpr uint32_t kLastAddress = kSize - 1;
    static constexpr uint32_t kInitialFill = 0x100000; // bytes set to 0xFF at start

    DeviceBuffer();
    DeviceBuffer(const DeviceBuffer&) = delete;
    DeviceBuffer& operator=(const DeviceBuffer&) = delete;

    uint8_t* data() { return bytes_.get(); }
    const uint8_t* data() const { return bytes_.get(); }
    uint8_t& operator[](uint32_t address) { return bytes_[address & kLastAddress]; }
    uint8_t operator[](uint32_t address) const { return bytes_[address & kLastAddress]; }

    // The start-up state: 0..0xFFFFF hold 0xFF, the rest 0.
    void reset();

    // Unsigned 32-bit sum of bytes 0..endAddress; an end address below 0 sums nothing.
    uint32_t checksum(int64_t endAddress) const;

    static bool contains(int64_t address) { return address >= 0 && address <= kLastAddress; }

private:
    std::unique_ptr<uint8_t[]> bytes_;
};

} // namespace pontvex

#include "core/DeviceBuffer.h"

#include <algorithm>
#include <cstring>

namespace pontvex {

uint8_t DeviceBuffer::bytes_[DeviceBuffer::kSize];

DeviceBuffer::DeviceBuffer()
{
    reset();
}

DeviceBuffer& DeviceBuffer::instance()
{
    static DeviceBuffer buffer;
    return buffer;
}

void DeviceBuffer::reset()
{
    std::memset(bytes_, 0xFF, kInitialFill);
    std::memset(bytes_ + kInitialFill, 0, kSize - kInitialFill);
}

uint32_t DeviceBuffer::checksum(int64_t endAddress) const
{
    if (endAddress < 0)
        return 0;
    const uint32_t last = static_cast<uint32_t>(std::min<int64_t>(endAddress, kLastAddress));
    uint32_t sum = 0;
    for (uint32_t a = 0; a <= last; ++a)
        sum += bytes_[a];
    return sum;
}

} // namespace pontvex

#include "core/DeviceBuffer.h"

#include <algorithm>
#include <cstring>

namespace pontvex {

DeviceBuffer::DeviceBuffer() : bytes_(std::make_unique_for_overwrite<uint8_t[]>(kSize))
{
    reset();
}

void DeviceBuffer::reset()
{
    std::memset(bytes_.get(), 0xFF, kInitialFill);
    std::memset(bytes_.get() + kInitialFill, 0, kSize - kInitialFill);
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

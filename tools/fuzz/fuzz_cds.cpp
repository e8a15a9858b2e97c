// libFuzzer target: CDS loads into the whole buffer and into a small image.
#include "files/DataFormats.h"

#include <cstdlib>
#include <cstring>

using namespace pontvex;

// As large as the device buffer, without the program's buffer object.
static uint8_t wholeBuffer[DeviceBuffer::kSize];

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::span<const uint8_t> file(data, size);
    const BinLoadReport full = StoreCdsBytes(file, wholeBuffer);
    if (full.noHeader != (size < 2))
        std::abort();

    static uint8_t small[256];
    const BinLoadReport part = StoreCdsBytes(file, small);
    if (part.LoadEnd >= static_cast<int64_t>(sizeof small))
        std::abort();
    // The image is the file without its header, from address 0.
    if (part.stored > 0 && std::memcmp(small, data + 2, part.stored) != 0)
        std::abort();
    if (size >= 2 && part.bufferEnd != (size - 2 > sizeof small))
        std::abort();
    return 0;
}

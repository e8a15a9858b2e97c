// libFuzzer target: binary loads in every lane mode and from any start
// address, chosen by the first three input bytes; the rest is the file.
#include "files/DataFormats.h"

#include <cstdlib>

using namespace pontvex;

// As large as the device buffer, without the program's buffer object.
static uint8_t wholeBuffer[DeviceBuffer::kSize];

namespace {

void check(const BinLoadReport& r, int64_t loadStart, size_t imageSize)
{
    if (r.LoadEnd >= static_cast<int64_t>(imageSize))
        std::abort();
    if (r.stored > 0 && r.LoadEnd - loadStart + 1 != static_cast<int64_t>(r.stored))
        std::abort();
    if (r.stored == 0 && r.LoadEnd != loadStart - 1)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 3)
        return 0;
    const LaneMode& mode = ModeTable[data[0] & 7];
    const int64_t offset = (int64_t{data[1]} << 8) | data[2];
    const std::span<const uint8_t> file(data + 3, size - 3);

    // Near the start, near the end and past the end of the buffer.
    const int64_t starts[] = {offset, int64_t{DeviceBuffer::kSize} - offset, -offset};
    for (const int64_t start : starts)
        check(StoreBinBytes(file, wholeBuffer, start, mode.LaneMask, mode.LaneValue), start,
              DeviceBuffer::kSize);

    static uint8_t small[1024];
    check(StoreBinBytes(file, small, offset & 0x3FF, data[0] >> 3, data[0] >> 5), offset & 0x3FF,
          sizeof small);
    return 0;
}

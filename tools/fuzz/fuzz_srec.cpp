// libFuzzer target: the S-record reader and the format detection over
// arbitrary text, into the whole device buffer and into a small image.
#include "files/DataFormats.h"

#include <cstdlib>

using namespace pontvex;

// As large as the device buffer, without the program's buffer object.
static uint8_t wholeBuffer[DeviceBuffer::kSize];

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::span<const uint8_t> text(data, size);
    const ContentFormat looks = DetectContentFormat(text);
    if (looks != ContentFormat::Binary && looks != ContentFormat::IntelHex &&
        looks != ContentFormat::SRecords)
        std::abort();

    const HexReadReport full = ReadSRecords(text, wholeBuffer);
    if (full.last < 0 || full.last > DeviceBuffer::kLastAddress || (full.stored == 0 && full.last != 0))
        std::abort();
    if ((full.fault != HexFault::None) != (full.stop == HexStop::BadRecord))
        std::abort();

    static uint8_t small[4096];
    const HexReadReport part = ReadSRecords(text, small);
    if (part.last >= static_cast<int64_t>(sizeof small))
        std::abort();

    // What was read, written again, reads back to the same bytes.
    if (part.stored > 0 && part.fault == HexFault::None) {
        static uint8_t copy[sizeof small];
        std::string again;
        WriteSRecords(again, small, part.last);
        const std::span<const uint8_t> written(reinterpret_cast<const uint8_t*>(again.data()), again.size());
        if (DetectContentFormat(written) != ContentFormat::SRecords)
            std::abort();
        const HexReadReport back = ReadSRecords(written, copy);
        if (back.fault != HexFault::None || back.stop != HexStop::EndRecord || back.last != part.last)
            std::abort();
        for (int64_t a = 0; a <= part.last; ++a)
            if (copy[a] != small[a])
                std::abort();
    }
    return 0;
}

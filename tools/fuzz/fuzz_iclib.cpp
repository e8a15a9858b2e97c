// libFuzzer target: the logic tester's library reader never hands the tester
// a vector outside the image or a repeat it cannot replay.
#include "iclib/LogicLibrary.h"

#include <cstdlib>

using namespace pontvex::iclib;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const LibraryResult r = readLogicLibrary(std::span<const uint8_t>(data, size));
    if (!r.ok) {
        if (r.record < 0 || r.reason.empty())
            std::abort();
        return 0;
    }
    const LogicLibrary& lib = r.library;
    if (lib.image.size() > kMaxLibraryBytes || lib.entries.size() > kMaxLibraryRecords ||
        lib.image.size() != size)
        std::abort();
    for (const LibraryEntry& e : lib.entries) {
        if (e.position + size_t{e.count} * kVectorBytes > lib.image.size())
            std::abort();
        for (uint32_t i = 0; i < e.count; ++i)
            if ((lib.image[e.position + i * kVectorBytes] & 0x40) &&
                (i < 2 || (lib.image[e.position + (i - 1) * kVectorBytes] & 0x40) ||
                 (lib.image[e.position + (i - 2) * kVectorBytes] & 0x40)))
                std::abort();
    }
    return 0;
}

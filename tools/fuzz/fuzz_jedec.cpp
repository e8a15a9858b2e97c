// libFuzzer target: the JEDEC reader over arbitrary text, into a map of a
// GAL's size and into a tiny one whose end is easy to pass.
#include "files/Jedec.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

using namespace pontvex;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::span<const uint8_t> text(data, size);

    static std::vector<uint8_t> map(8192);
    const JedecReadReport report = ReadJedecFuses(text, map);
    if (report.MapSize < 0 || report.MapSize > static_cast<int64_t>(map.size()))
        std::abort();
    const int64_t filled = std::max<int64_t>(kJedecDefaultFuses, report.MapSize);
    for (int64_t i = 0; i < filled; ++i)
        if (map[static_cast<size_t>(i)] != '0' && map[static_cast<size_t>(i)] != '1')
            std::abort();

    static std::vector<uint8_t> tiny(16);
    const JedecReadReport small = ReadJedecFuses(text, tiny, 0);
    if (small.MapSize > static_cast<int64_t>(tiny.size()))
        std::abort();

    // What was read, written again, reads back to the same fuses.
    std::string again;
    WriteJedecFuses(again, map, {"GAL16V8", report.MapSize, 32});
    static std::vector<uint8_t> copy(8192);
    const JedecReadReport back =
        ReadJedecFuses({reinterpret_cast<const uint8_t*>(again.data()), again.size()}, copy);
    if (back.MapSize != report.MapSize || back.badField || back.unterminated || back.checksumWrong())
        std::abort();
    for (int64_t i = 0; i < report.MapSize; ++i)
        if (copy[static_cast<size_t>(i)] != map[static_cast<size_t>(i)])
            std::abort();
    return 0;
}

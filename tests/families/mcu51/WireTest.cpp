#include "support/FamilyBench.h"

#include <cstdio>

namespace pontvex::mcu51_test {

namespace {

// FNV-1a, 64 bits: a short fingerprint of a byte stream.
uint64_t fingerprint(const std::vector<uint8_t>& bytes)
{
    uint64_t h = 0xcbf29ce484222325ull;
    for (uint8_t b : bytes)
        h = (h ^ b) * 0x100000001b3ull;
    return h;
}

// Bytes [from, from + n) as "63 1b 47".
std::string listing(const std::vector<uint8_t>& bytes, size_t from, size_t n)
{
    std::string text;
    for (size_t i = from; i < from + n && i < bytes.size(); ++i) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%02x ", bytes[i]);
        text += hex;
    }
    if (!text.empty())
        text.pop_back();
    return text;
}

struct Golden {
    const char* key;
    int variant;
    const char* chip;
    const char* press;
    size_t length;
    uint64_t hash;
    const char* first; // the first 16 bytes
    const char* last;  // the last 16 bytes
};

void PrintTo(const Golden& g, std::ostream* os)
{
    *os << g.chip << " " << g.press;
}

class Wire : public testing::TestWithParam<Golden> {};

} // namespace

// One command of each window on a blank chip, over the first 256 bytes of a
// random image: the bytes the box receives are the ones the programming
// sequences of these parts fix (probe, power-up, mode pins, strobes, delays).
TEST_P(Wire, CommandSendsTheRecordedBytes)
{
    const Golden& g = GetParam();
    FamilyBench bench(g.key, g.variant, g.chip);
    bench.host.setEndAddress(0xFF);
    const auto image = randomBytes(0x100, 7);
    std::copy(image.begin(), image.end(), bench.buffer().data());
    bench.sent->clear();
    bench.press(g.press);
    bench.link.Flush();
    const std::vector<uint8_t>& sent = *bench.sent;
    EXPECT_EQ(bench.w().ErrorFlag(), 0) << bench.w().message();
    EXPECT_EQ(listing(sent, 0, 16), g.first);
    EXPECT_EQ(listing(sent, sent.size() < 16 ? 0 : sent.size() - 16, 16), g.last);
    EXPECT_EQ(sent.size(), g.length);
    EXPECT_EQ(fingerprint(sent), g.hash) << std::hex << "0x" << fingerprint(sent);
    EXPECT_EQ(bench.box->errorReport(), "");
}

const Golden kGolden[] = {
    {"P89C51", 3, "AT89C52", "write", 9414, 0x55fae2b386b8a350ull,
     "63 1b 47 1e 1e 1e 1e 1e 1e 1e 1e 1e 1e 47 1a ff", "16 60 0e 0f 16 70 1e 1e 1e 1e 1e 1e 1e 1e 1e 1e"},
    {"SST895x", 2, "SST89C58", "erase", 2897, 0x2587ba4f2077efeeull,
     "63 1b 47 1e 1e 1e 1e 1e 1e 1e 1e 1e 1e 47 1a ff", "1e 1e 0e 0f 16 70 1e 1e 1e 1e 1e 1e 1e 1e 1e 1e"},
    {"AT89X8252", 1, "AT89S8252", "write", 12230, 0x1718a5aa0f7a879eull,
     "63 1b 47 1e 1e 1e 1e 1e 1e 1e 1e 1e 1e 47 1a ff", "16 60 0e 0f 16 70 1e 1e 1e 1e 1e 1e 1e 1e 1e 1e"},
    {"P89C5WD", 5, "AT89C55WD", "write", 7622, 0xf85e30274e43ea9eull,
     "63 1b 47 1e 1e 1e 1e 1e 1e 1e 1e 1e 1e 47 1a ff", "16 60 0e 0f 16 70 1e 1e 1e 1e 1e 1e 1e 1e 1e 1e"},
    {"AT89S5X", 2, "AT89S52", "erase", 8773, 0x530929dd5bc77681ull,
     "77 07 63 1b 47 1e 1e 1e 1e 1e 1e 1e 1e 1e 1e 47", "16 60 0e 0f 16 70 1e 1e 1e 1e 1e 1e 1e 1e 1e 1e"},
    {"P2051", 2, "AT89C2051", "lock", 2567, 0xa6fc10dd11bdd056ull,
     "63 1b 47 1e 1e 1e 1e 1e 1e 1e 1e 1e 1e 3d 1a df", "1b 47 1e 1e 1e 1e 1e 1e 1e 1e 1e 1e 0e 0f 16 70"},
    {"P97C2051", 2, "97C2051", "lock", 1677, 0xfb9c12d4c088a0eeull,
     "63 1b 47 1e 1e 1e 1e 1e 1e 1e 1e 1e 1e 3d 1a df", "16 50 0e 0f 16 70 1e 1e 1e 1e 1e 1e 1e 1e 1e 1e"},
};
INSTANTIATE_TEST_SUITE_P(OnePerWindow, Wire, testing::ValuesIn(kGolden));

} // namespace pontvex::mcu51_test

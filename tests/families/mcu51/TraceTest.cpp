#include "support/FamilyBench.h"

#include "boxsim/chips/Mcu51Chip.h"

#include <cstdio>

namespace pontvex::mcu51_test {

namespace {

using Bytes = std::vector<int>; // -1 stands for any byte (a latch value the pattern does not fix)

void add(Bytes& out, std::initializer_list<int> values)
{
    out.insert(out.end(), values);
}

void delay(Bytes& out, int n)
{
    out.insert(out.end(), static_cast<size_t>(n), 30);
}

std::string show(const std::vector<uint8_t>& bytes, size_t from, size_t n)
{
    std::string text;
    for (size_t i = from; i < from + n && i < bytes.size(); ++i) {
        char b[8];
        std::snprintf(b, sizeof b, "%d ", bytes[i]);
        text += b;
    }
    return text;
}

bool matches(const std::vector<uint8_t>& sent, size_t at, const Bytes& pattern)
{
    if (at + pattern.size() > sent.size())
        return false;
    for (size_t i = 0; i < pattern.size(); ++i)
        if (pattern[i] >= 0 && sent[at + i] != pattern[i])
            return false;
    return true;
}

size_t find(const std::vector<uint8_t>& sent, const Bytes& pattern, size_t from = 0)
{
    for (size_t at = from; at + pattern.size() <= sent.size(); ++at)
        if (matches(sent, at, pattern))
            return at;
    return std::string::npos;
}

// How often the probe's reset pulse (H then L on the reset pin) was sent.
int probes(const std::vector<uint8_t>& sent, int resetPin)
{
    int n = 0;
    for (size_t at = find(sent, {31 + resetPin, 79 + resetPin}); at != std::string::npos;
         at = find(sent, {31 + resetPin, 79 + resetPin}, at + 1))
        ++n;
    return n;
}

} // namespace

// --- one programming pass per window: the bytes of one byte ------------------------

struct ByteTrace {
    const char* key;
    int variant;
    const char* chip;
    Bytes oneByte; // from the strobe of byte 0 up to that of byte 1
    size_t lead;   // bytes of it before its data command (161 or 166)
};

void PrintTo(const ByteTrace& t, std::ostream* os)
{
    *os << t.chip;
}

class WriteTrace : public testing::TestWithParam<ByteTrace> {};

// A programming pass over four bytes: what goes to the box for byte 0, from
// its data command to the data command of byte 1, is the window's strobe as
// its table fixes it (pins, pulse, wait at the default speed) and the step of
// the address.
TEST_P(WriteTrace, OneByteIsTheStrobeAndTheStep)
{
    const ByteTrace& t = GetParam();
    FamilyBench bench(t.key, t.variant, t.chip);
    bench.host.setEndAddress(3);
    const uint8_t image[4] = {0x12, 0x34, 0x56, 0x78};
    std::copy(std::begin(image), std::end(image), bench.buffer().data());
    bench.take();
    bench.press("write");
    const auto sent = bench.take();
    const int data = t.oneByte[t.lead];
    size_t first = find(sent, {data, 0x12});
    ASSERT_NE(first, std::string::npos);
    size_t second = find(sent, {data, 0x34}, first);
    ASSERT_NE(second, std::string::npos);
    ASSERT_GE(first, t.lead);
    first -= t.lead;
    second -= t.lead;
    EXPECT_EQ(second - first, t.oneByte.size()) << show(sent, first, second - first);
    EXPECT_TRUE(matches(sent, first, t.oneByte)) << show(sent, first, second - first);
    EXPECT_EQ(bench.chipImage()[3], 0x78);
    EXPECT_EQ(bench.box->errorReport(), "");
}

ByteTrace trace(const char* key, int variant, const char* chip, std::initializer_list<Bytes> parts,
                size_t lead = 0)
{
    ByteTrace t{key, variant, chip, {}, lead};
    for (const Bytes& p : parts)
        t.oneByte.insert(t.oneByte.end(), p.begin(), p.end());
    return t;
}

Bytes units(int n)
{
    return Bytes(static_cast<size_t>(n), 30);
}

const ByteTrace kByteTraces[] = {
    // 161 and the byte; P2.7 H, PROG L for the row's 20 units, PROG H, P2.7 L; 1 ms; the low address.
    trace("P89C51", 1, "AT89C51", {{161, 0x12, 59, 109}, units(20), {61, 107}, units(10), {16, 0x01}}),
    // SetPin(14, 0); PROG L then H; 1 unit; no speed wait.
    trace("SST895x", 2, "SST89C58", {{161, 0x12, 9, -1, 109, 61}, units(1), {16, 0x01}}),
    // 2 units; P2.7 H; PROG L then H; 20 units (P2.7 stays high, as the table gives it).
    trace("AT89X8252", 1, "AT89S8252", {{161, 0x12}, units(2), {59, 109, 61}, units(20), {16, 0x01}}),
    // SetPin(14, 0); P2.7 H; PROG L then H; k + 1 units; P2.7 L.
    trace("P89C5WD", 1, "AT89C51WD", {{161, 0x12, 9, -1, 59, 109, 61}, units(1), {107, 16, 0x01}}),
    // P2.7 H; PROG L, 1 unit, H; k + 1 units; P2.7 L.
    trace("AT89S5X", 1, "AT89S51", {{161, 0x12, 59, 109}, units(1), {61}, units(1), {107, 16, 0x01}}),
    // P3.4 H; 12 V onto RST (route A bit 5); 166 and the byte; PROG L, H; Vpp off; P3.4 L;
    // (k + 1) x 20 units at "4 мсек/байт"; one XTAL1 pulse steps the counter.
    trace("P2051", 2, "AT89C2051",
          {{49, 24, 0x20},
           units(3),
           {25, 0x80},
           units(3),
           {166, 0x12, 95, 47, 24, 0x00},
           units(3),
           {25, 0x80},
           units(3),
           {97},
           units(40),
           {46, 94}},
          11),
    // 166 and the byte, 167 (the box's train), then P3.0 H: the first step.
    trace("P97C2051", 2, "97C2051", {{166, 0x12, 167, 43}}),
};
INSTANTIATE_TEST_SUITE_P(OnePerWindow, WriteTrace, testing::ValuesIn(kByteTraces));

// --- the window fixes -------------------------------------------------------------------

// The 40-pin lock check reads the data port where the check's power-up left
// the address: it sets no new one. From Vcc on to the supplies going off:
// RouteVcc(40), read-code mode, 129 reads, RouteVcc(0), then the frame.
TEST(Mcu51Trace, LockCheckSetsNoAddress)
{
    FamilyBench bench("P89C51", 1, "AT89C51");
    bench.w().findOption("lock")->selected = 1; // "Бит 1,2"
    bench.take();
    bench.press("lock");
    ASSERT_EQ(bench.w().message(), "Защт.ОК! ");
    const auto sent = bench.take();
    Bytes tail;
    add(tail, {71, 26, 0xFF});
    delay(tail, 10);
    add(tail, {27, 0x45});
    delay(tail, 10);
    add(tail, {10, 0x7F, 12, 0x03, 11, 0x06, 11, 0x06}); // SetBusMode(7), SetPin(18, 1), SetPin(19, 1)
    add(tail, {79 + 27, 79 + 28, 31 + 16, 31 + 17});     // 27 L, 28 L, 16 H, 17 H
    tail.insert(tail.end(), 129, 160);
    add(tail, {26, 0xFF});
    delay(tail, 10);
    add(tail, {27, 0x47});
    delay(tail, 10);
    const size_t at = sent.size() - tail.size() - 18; // the frame's SetVppVoltage(0) and RouteClock(0)
    EXPECT_TRUE(matches(sent, at, tail)) << show(sent, at, 60);
    EXPECT_TRUE(matches(sent, sent.size() - 18, {14, 0x0F, 22, 0x60, 14, 0x0F, 22, 0x70}))
        << show(sent, sent.size() - 18, 18);
}

// Auto probes the socket itself before its steps, and each step probes again.
TEST(Mcu51Trace, AutoRunsItsOwnProbeFirst)
{
    for (const auto& [key, chip, reset] : {std::tuple{"P89C51", "AT89C51", 9},
                                           {"P2051", "AT89C2051", 11},
                                           {"P97C2051", "97C2051", 11},
                                           {"SST895x", "SST89C58", 9}}) {
        SCOPED_TRACE(key);
        FamilyBench bench(key, 1, chip);
        for (auto& step : bench.w().autoSteps())
            step.checked = step.shortName == "verify";
        std::fill_n(bench.buffer().data(), 0x10000, 0xFF);
        bench.take();
        bench.press("auto");
        EXPECT_EQ(bench.w().message(), "Авто ОК!");
        const auto sent = bench.take();
        // RouteGnd(20) is the first thing Auto sends.
        EXPECT_TRUE(matches(sent, 0, {99, 27})) << show(sent, 0, 8);
        EXPECT_EQ(probes(sent, reset), 2);
    }
}

// Auto stops at a refused probe of its own, before any step.
TEST(Mcu51Trace, AutoStopsAtItsOwnRefusedProbe)
{
    FamilyBench bench("P89C51", 1, "", {.seated = false});
    bench.take();
    bench.press("auto");
    EXPECT_EQ(bench.host.script().questions.size(), 1u);
    EXPECT_EQ(bench.w().ErrorFlag(), 1);
    EXPECT_EQ(probes(bench.take(), 9), 1);
}

// Blank check and the signature check before programming run the probe and
// then the identification, which probes again; the ID button probes once.
TEST(Mcu51Trace, BlankAndSignatureCheckProbeTwice)
{
    for (const auto& [press, count] : {std::pair{"blank", 2}, {"write", 2}, {"id", 1}, {"read", 1}}) {
        SCOPED_TRACE(press);
        FamilyBench bench("P89C51", 1, "AT89C51", {.expectedSignature = {0x1E, 0x51, 0xFF}});
        bench.host.setEndAddress(0x0F);
        std::fill_n(bench.buffer().data(), 0x10, 0x00);
        bench.take();
        bench.press(press);
        EXPECT_EQ(bench.w().ErrorFlag(), 0) << bench.w().message();
        EXPECT_EQ(probes(bench.take(), 9), count);
    }
}

// Selecting a 20-pin part powers it up and leaves it so: the power-up's last
// steps are the last bytes sent, Vcc stays on 30 and RST high, no Vpp on a pin.
TEST(Mcu51Trace, TwentyPinSelectionLeavesTheChipPowered)
{
    for (const auto& [key, chip, last] : {std::tuple{"P2051", "AT89C2051", Bytes{90, 94, -2, 42, 47}},
                                          {"P97C2051", "97C2051", Bytes{42, 91, -3}}}) {
        SCOPED_TRACE(key);
        FamilyBench bench(key, 2, chip);
        Bytes tail;
        for (int b : last) {
            if (b == -2)
                delay(tail, 100);
            else if (b == -3)
                delay(tail, 120);
            else
                tail.push_back(b);
        }
        const auto sent = bench.take();
        EXPECT_TRUE(matches(sent, sent.size() - tail.size(), tail)) << show(sent, sent.size() - 20, 20);
        EXPECT_EQ(bench.box->vccPin(), 30);
        EXPECT_EQ(bench.box->gndPin(), 20);
        EXPECT_TRUE(bench.box->vppRoutedPins().empty());
        EXPECT_EQ(bench.box->pinLevel(11), 1);
        EXPECT_TRUE(bench.box->chipPowered());
        // The next command starts from its probe and ends with the socket idle.
        bench.press("id");
        bench.expectIdle();
    }
}

TEST(Mcu51Controls, TwentyPinWindowsHaveTheirExitButton)
{
    for (const auto& [key, chip] : {std::pair{"P2051", "AT89C2051"}, {"P97C2051", "97C2051"}}) {
        SCOPED_TRACE(key);
        FamilyBench bench(key, 2, chip);
        const ButtonControl* exit = bench.w().findButton(Role::Exit);
        ASSERT_NE(exit, nullptr);
        EXPECT_EQ(exit->caption, "Выход");
        EXPECT_EQ(exit->handler, "CancelBtnClick");
        bench.press("exit");
        EXPECT_FALSE(bench.w().visible());
    }
}

// The SST window has no speed group: its table gives a fixed per-byte strobe.
TEST(Mcu51Controls, SstWindowHasNoSpeedGroup)
{
    FamilyBench bench("SST895x", 1, "SST89C54");
    EXPECT_EQ(bench.w().findOption("speed"), nullptr);
}

} // namespace pontvex::mcu51_test

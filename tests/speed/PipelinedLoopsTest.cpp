// The read loops of the families with their reads queued ahead (the default
// reply window) against the same loops done send-then-read (window 0), on a simulated
// box behind a 16 ms USB adapter: same buffer, same box, same bytes to the box;
// after a first mismatch, only reads of the next addresses may have gone out
// in between, and the stop itself sends exactly what the plain loop sends.

#include "support/FamilyBench.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace pontvex {
namespace {

using Bytes = std::vector<uint8_t>;

struct Part {
    const char* key;
    int variant;
    const char* chip;
    uint32_t size;
};

int defaultWindow()
{
    return ProgrammerLink().ReplyWindow();
}

const Part kEprom{"P27", 13, "27C256", 0x8000};
const Part kMcu51{"P89C51", 3, "AT89C52", 0x2000};
const Part kMcu2051{"P2051", 2, "AT89C2051", 0x800};

// Everything a command leaves behind that the two loops must agree on.
struct Outcome {
    Bytes sent;
    Bytes buffer;
    Bytes registers; // pin and port latches, routes, aux, low address
    Bytes chip;
    std::string message;
    int errorFlag = 0;
    std::string boxErrors;
    uint64_t lost = 0;
};

Outcome run(const Part& part, int window, const Bytes& chipImage, const Bytes& bufferImage,
            const char* command)
{
    BenchSetup setup;
    setup.line.latencyMs = 16;
    setup.replyWindow = window;
    setup.answerYes = true;
    FamilyBench bench(part.key, part.variant, part.chip, setup);
    auto& box = bench.box;
    EXPECT_TRUE(box->chip()->loadImage(chipImage));
    bench.host.setEndAddress(part.size - 1);

    DeviceBuffer& buffer = bench.buffer();
    std::copy(bufferImage.begin(), bufferImage.end(), buffer.data());
    bench.take();
    FamilyWindow* family = &bench.w();
    EXPECT_TRUE(family->press(command));

    Outcome o;
    o.sent = bench.take();
    o.buffer.assign(buffer.data(), buffer.data() + part.size);
    for (int k = 0; k < 7; ++k)
        o.registers.push_back(box->pinLatch(k));
    for (int k = 0; k < 5; ++k)
        o.registers.push_back(box->portLatch(k));
    for (uint8_t r : {box->aux(), box->vppRouteA(), box->vppRouteB(), box->vccRouteA(), box->vccGndRoute(),
                      box->lowAddress()})
        o.registers.push_back(r);
    for (int pin = 1; pin <= 40; ++pin)
        o.registers.push_back(static_cast<uint8_t>(box->pinMode(pin)));
    o.chip = box->chip()->image();
    o.message = family->message();
    o.errorFlag = family->ErrorFlag();
    o.boxErrors = box->errorReport();
    o.lost = bench.simulator->line().lost();
    return o;
}

// The 8051 windows read port 2 back before each page's address write and
// keep bits 0-2 (pins 17-19). With the box's clock on XTAL1 those are the
// oscillator's pins, whose levels depend on the moment of the read, not on
// the loop: the operand of a port 2 write may differ there and nowhere else.
bool sameBytes(const Bytes& a, size_t aFrom, const Bytes& b, size_t bFrom, size_t n)
{
    if (aFrom + n > a.size() || bFrom + n > b.size())
        return false;
    for (size_t k = 0; k < n; ++k) {
        const size_t i = aFrom + k, j = bFrom + k;
        if (a[i] == b[j])
            continue;
        const bool portTwoWrite = i > 0 && j > 0 && a[i - 1] == 18 && b[j - 1] == 18;
        if (!portTwoWrite || (a[i] & ~7) != (b[j] & ~7))
            return false;
    }
    return true;
}

bool sameStream(const Bytes& a, const Bytes& b)
{
    return a.size() == b.size() && sameBytes(a, 0, b, 0, a.size());
}

size_t commonPrefix(const Bytes& a, const Bytes& b)
{
    size_t n = 0;
    while (n < a.size() && n < b.size() && sameBytes(a, n, b, n, 1))
        ++n;
    return n;
}

// Registers to compare; bits 0-2 of port latch 2 are the read-back clock pins.
Bytes registersToCompare(Bytes r)
{
    r[9] &= static_cast<uint8_t>(~7);
    return r;
}

// Both loops from the same start; on success everything is the same.
void expectSameSuccess(const Part& part, const Bytes& chip, const Bytes& buffer, const char* command)
{
    SCOPED_TRACE(std::string(part.chip) + " " + command);
    const Outcome plain = run(part, 0, chip, buffer, command);
    const Outcome piped = run(part, defaultWindow(), chip, buffer, command);
    EXPECT_EQ(plain.errorFlag, 0) << plain.message;
    EXPECT_EQ(piped.message, plain.message);
    EXPECT_EQ(piped.errorFlag, plain.errorFlag);
    EXPECT_TRUE(sameStream(piped.sent, plain.sent)) << "bytes to the box differ";
    EXPECT_TRUE(piped.buffer == plain.buffer);
    EXPECT_TRUE(registersToCompare(piped.registers) == registersToCompare(plain.registers));
    EXPECT_TRUE(piped.chip == plain.chip);
    EXPECT_EQ(piped.boxErrors, "");
    EXPECT_EQ(piped.lost, 0u);
}

// A first-mismatch path: the message, buffer, chip and supplies are those of
// the plain loop. The bytes the pipelined loop sent are the plain loop's,
// with at most a window of the reads that follow the bad one (as a good chip
// would have had them) between the bad read and the stop sequence.
// Returns how many bytes the pipelined loop sent beyond the plain one.
size_t expectSameStop(const Part& part, const Bytes& chip, const Bytes& buffer, const char* command,
                      const Bytes& goodChip, const Bytes& goodBuffer, size_t bytesPerRead)
{
    SCOPED_TRACE(std::string(part.chip) + " " + command + " stop");
    const Outcome plain = run(part, 0, chip, buffer, command);
    const Outcome piped = run(part, defaultWindow(), chip, buffer, command);
    const Outcome through = run(part, 0, goodChip, goodBuffer, command);
    EXPECT_EQ(plain.errorFlag, 1);
    EXPECT_EQ(through.errorFlag, 0);
    EXPECT_EQ(piped.message, plain.message);
    EXPECT_EQ(piped.errorFlag, 1);
    EXPECT_TRUE(piped.buffer == plain.buffer);
    EXPECT_TRUE(piped.chip == plain.chip);
    EXPECT_EQ(piped.boxErrors, "");
    EXPECT_EQ(piped.lost, 0u);
    // Supplies, routes and pin latches as after the plain stop; only the
    // address latches may stand further on.
    for (size_t k : {0u, 1u, 2u, 3u, 4u, 5u, 6u, 12u, 13u, 14u, 15u, 16u})
        EXPECT_EQ(piped.registers[k], plain.registers[k]) << "register " << k;
    EXPECT_TRUE(std::equal(piped.registers.begin() + 18, piped.registers.end(), plain.registers.begin() + 18))
        << "pin drivers differ";

    // Where the plain stop leaves the path of a good chip.
    const size_t common = commonPrefix(plain.sent, through.sent);
    if (piped.sent.size() < plain.sent.size()) {
        ADD_FAILURE() << "the pipelined loop sent less";
        return 0;
    }
    const size_t extra = piped.sent.size() - plain.sent.size();
    EXPECT_LE(extra, (defaultWindow() + 1) * bytesPerRead + 16) << "read further ahead than the window";
    EXPECT_TRUE(sameBytes(plain.sent, 0, piped.sent, 0, common));
    EXPECT_TRUE(sameBytes(piped.sent, common, through.sent, common, extra))
        << "sent something a good chip's loop would not have sent next";
    EXPECT_TRUE(sameBytes(plain.sent, common, piped.sent, common + extra, plain.sent.size() - common))
        << "the stop sequence differs";
    return extra;
}

TEST(PipelinedLoops, EpromReadVerifyBlankCheckSumMatchThePlainLoops)
{
    const Bytes image = randomBytes(kEprom.size, 1);
    const Bytes blank(kEprom.size, 0xFF);
    const Bytes stale = randomBytes(kEprom.size, 2);
    expectSameSuccess(kEprom, image, stale, "read");
    expectSameSuccess(kEprom, image, image, "verify");
    expectSameSuccess(kEprom, blank, stale, "blank");
    expectSameSuccess(kEprom, image, stale, "checksum");
}

TEST(PipelinedLoops, EpromVerifyAndBlankStopLikeThePlainLoops)
{
    const Bytes image = randomBytes(kEprom.size, 3);
    // First byte, inside a block, last byte of a block (the read-ahead then
    // runs into the next block's address), last byte of the chip.
    for (uint32_t bad : {0x0000u, 0x1234u, 0x12FFu, 0x7FFFu}) {
        SCOPED_TRACE(bad);
        Bytes buffer = image;
        buffer[bad] ^= 0x10;
        const size_t ahead = expectSameStop(kEprom, image, buffer, "verify", image, image, 1);
        if (bad != kEprom.size - 1) {
            EXPECT_GT(ahead, 0u) << "the test did not read ahead";
        }
    }
    const Bytes blank(kEprom.size, 0xFF);
    for (uint32_t bad : {0x0000u, 0x2345u, 0x7FFFu}) {
        SCOPED_TRACE(bad);
        Bytes chip = blank;
        chip[bad] = 0xFE;
        const size_t ahead = expectSameStop(kEprom, chip, image, "blank", blank, image, 1);
        // A blank check is taken once the next block is queued: a stop has
        // sent at most that block more, its five address latches and command.
        constexpr size_t kBlockBytes = 5 * 2 + 1;
        EXPECT_EQ(ahead, bad / 256 == kEprom.size / 256 - 1 ? 0u : kBlockBytes);
    }
}

TEST(PipelinedLoops, Mcu51LoopsMatchThePlainLoops)
{
    for (const Part& part : {kMcu51, kMcu2051}) {
        const Bytes image = randomBytes(part.size, 4);
        const Bytes blank(part.size, 0xFF);
        expectSameSuccess(part, image, blank, "read");
        expectSameSuccess(part, image, image, "verify");
        expectSameSuccess(part, blank, image, "blank");
        // Inside a page, and the last byte of one (the next page's address
        // write reads port 2 back, which must not be taken for a data byte).
        for (uint32_t bad : {0x0005u, 0x01FFu, part.size - 1}) {
            SCOPED_TRACE(bad);
            Bytes buffer = image;
            buffer[bad] ^= 0x01;
            expectSameStop(part, image, buffer, "verify", image, image, 3);
            Bytes chip = blank;
            chip[bad] = 0x7F;
            expectSameStop(part, chip, image, "blank", blank, image, 3);
        }
    }
}

} // namespace
} // namespace pontvex

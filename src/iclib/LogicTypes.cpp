#include "iclib/LogicTypes.h"

#include <algorithm>
#include <stdexcept>

namespace pontvex::iclib {

namespace {

using Gates = std::vector<Element>;

int word(const std::vector<int>& in, size_t from, size_t bits)
{
    int v = 0;
    for (size_t i = 0; i < bits; ++i)
        v |= in[from + i] << i;
    return v;
}

Gates gates(Op op, std::vector<std::vector<int>> pins)
{
    Gates g;
    for (auto& p : pins) {
        const int out = p.back();
        p.pop_back();
        g.push_back({op, p, out, 0});
    }
    return g;
}

// The pinouts shared by many types, as the function tables draw them.
Gates quad74(Op op)
{
    return gates(op, {{1, 2, 3}, {4, 5, 6}, {9, 10, 8}, {12, 13, 11}});
}
Gates quad4000(Op op)
{
    return gates(op, {{1, 2, 3}, {5, 6, 4}, {8, 9, 10}, {12, 13, 11}});
}
Gates hexInverter()
{
    return gates(Op::Not, {{1, 2}, {3, 4}, {5, 6}, {9, 8}, {11, 10}, {13, 12}});
}
Gates triple3(Op op)
{
    return gates(op, {{1, 2, 13, 12}, {3, 4, 5, 6}, {9, 10, 11, 8}});
}
Gates dual4(Op op)
{
    return gates(op, {{1, 2, 4, 5, 6}, {9, 10, 12, 13, 8}});
}
Gates quadBuffer(Op op)
{
    return gates(op, {{2, 1, 3}, {5, 4, 6}, {9, 10, 8}, {12, 13, 11}});
}

// D, CLK, /PRE, /CLR: clear from any state, clock a 1 and a 0 in (data and
// clock never change in the same step), preset, both asynchronous inputs low.
const std::vector<std::vector<int>> kDffLowSteps = {
    {0, 0, 1, 0}, {0, 0, 1, 1}, {1, 0, 1, 1}, {1, 1, 1, 1}, {0, 1, 1, 1}, {0, 0, 1, 1},
    {0, 1, 1, 1}, {0, 0, 1, 1}, {0, 0, 0, 1}, {0, 0, 1, 1}, {0, 0, 0, 1}, {0, 0, 0, 0},
    {0, 0, 0, 1}, {0, 0, 1, 1}, {0, 0, 1, 0}, {0, 0, 1, 1},
};
// D, CLK, SET, RESET, active high.
const std::vector<std::vector<int>> kDffHighSteps = {
    {0, 0, 0, 1}, {0, 0, 0, 0}, {1, 0, 0, 0}, {1, 1, 0, 0}, {0, 1, 0, 0}, {0, 0, 0, 0},
    {0, 1, 0, 0}, {0, 0, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 0}, {0, 0, 1, 0}, {0, 0, 1, 1},
    {0, 0, 1, 0}, {0, 0, 0, 0}, {0, 0, 0, 1}, {0, 0, 0, 0},
};

// CLK, EN, RESET: reset, 12 clocks on CLK, 5 on falling EN, reset again.
std::vector<std::vector<int>> counterSteps()
{
    std::vector<std::vector<int>> s = {{0, 1, 1}, {0, 1, 0}};
    for (int i = 0; i < 12; ++i) {
        s.push_back({1, 1, 0});
        s.push_back({0, 1, 0});
    }
    for (int i = 0; i < 5; ++i) {
        s.push_back({0, 0, 0});
        s.push_back({0, 1, 0});
    }
    s.push_back({0, 1, 1});
    s.push_back({0, 1, 0});
    return s;
}

Gates dualCounter(Op op)
{
    return {{op, {1, 2, 7}, 0, 0, {3, 4, 5, 6}}, {op, {9, 10, 15}, 0, 0, {11, 12, 13, 14}}};
}

Gates one(Op op, std::vector<int> in, std::vector<int> outs)
{
    return {{op, std::move(in), 0, 0, std::move(outs)}};
}

Gates one(Op op, std::vector<int> in, int out)
{
    return {{op, std::move(in), out, 0, {}}};
}

// The two halves of a 153 share A and B; the four sections of a 157 share S and /G.
Gates dual153(Op op)
{
    return {{op, {14, 2, 1, 6, 5, 4, 3}, 7, 0, {}}, {op, {14, 2, 15, 10, 11, 12, 13}, 9, 0, {}}};
}
Gates quad157(Op op)
{
    return {{op, {1, 15, 2, 3}, 4, 0, {}},
            {op, {1, 15, 5, 6}, 7, 0, {}},
            {op, {1, 15, 11, 10}, 9, 0, {}},
            {op, {1, 15, 14, 13}, 12, 0, {}}};
}

// P and Q equal over several values, then one bit apart, enabled and not.
std::vector<std::vector<int>> compare688Steps()
{
    std::vector<std::vector<int>> steps;
    const auto step = [&steps](int p, int q, int g) {
        std::vector<int> s;
        for (int i = 0; i < 8; ++i)
            s.push_back((p >> i) & 1);
        for (int i = 0; i < 8; ++i)
            s.push_back((q >> i) & 1);
        s.push_back(g);
        steps.push_back(s);
    };
    for (int v : {0x00, 0xFF, 0x55, 0xAA, 0x0F, 0xF0}) {
        step(v, v, 0);
        step(v, v, 1);
    }
    for (int i = 0; i < 8; ++i) {
        step(1 << i, 0, 0);
        step(0, 1 << i, 0);
        step(0xFF, 0xFF ^ (1 << i), 0);
    }
    return steps;
}

// D, CLK, /CLR: clear, clock a 1 and a 0 in, clear with the clock high.
const std::vector<std::vector<int>> kRegisterSteps = {
    {0, 0, 0}, {0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}, {0, 0, 1}, {0, 1, 1},
    {1, 1, 1}, {1, 0, 1}, {1, 1, 1}, {1, 1, 0}, {1, 1, 1}, {1, 0, 1},
};
// D, CLK, /OE: a 0 clocked in while off, then shown; a 1 clocked in while off.
const std::vector<std::vector<int>> kRegisterOeSteps = {
    {0, 0, 1}, {0, 1, 1}, {0, 0, 1}, {0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0},
    {0, 0, 0}, {0, 1, 0}, {0, 1, 1}, {1, 1, 1}, {1, 0, 1}, {1, 1, 1}, {1, 1, 0},
};
// D, LE, /OE: loaded while transparent, held while latched, loaded while off.
const std::vector<std::vector<int>> kLatchOeSteps = {
    {0, 1, 1}, {0, 1, 0}, {1, 1, 0}, {1, 0, 0}, {0, 0, 0}, {0, 1, 0},
    {0, 0, 0}, {1, 0, 0}, {1, 0, 1}, {1, 1, 1}, {1, 0, 1}, {1, 0, 0},
};

// A, B, CLK, /CLR: clear, shift 1 0 1 1 0 0 1 0 1 in, once with B low.
std::vector<std::vector<int>> shiftSteps()
{
    std::vector<std::vector<int>> s = {{0, 1, 0, 0}, {0, 1, 0, 1}};
    for (int bit : {1, 0, 1, 1, 0, 0, 1, 0, 1}) {
        s.push_back({bit, 1, 0, 1});
        s.push_back({bit, 1, 1, 1});
        s.push_back({bit, 1, 0, 1});
    }
    s.push_back({1, 0, 0, 1});
    s.push_back({1, 0, 1, 1});
    s.push_back({1, 0, 0, 1});
    s.push_back({1, 0, 0, 0});
    return s;
}

// CLK, /CLR, /LOAD, ENP, ENT, A, B, C, D: clear (on a clock too), count
// through 15 and round, hold on ENP or ENT low, load 5, clear with the clock low.
std::vector<std::vector<int>> counter161Steps()
{
    std::vector<std::vector<int>> s = {{0, 0, 1, 1, 1, 0, 0, 0, 0},
                                       {1, 0, 1, 1, 1, 0, 0, 0, 0},
                                       {0, 0, 1, 1, 1, 0, 0, 0, 0},
                                       {0, 1, 1, 1, 1, 0, 0, 0, 0}};
    const auto clock = [&s] {
        std::vector<int> v = s.back();
        v[0] = 1;
        s.push_back(v);
        v[0] = 0;
        s.push_back(v);
    };
    const auto set = [&s](size_t input, int level) {
        std::vector<int> v = s.back();
        v[input] = level;
        s.push_back(v);
    };
    for (int i = 0; i < 17; ++i)
        clock();
    set(3, 0);
    clock();
    set(3, 1);
    set(4, 0);
    clock();
    set(4, 1);
    set(5, 1);
    set(7, 1);
    set(2, 0);
    clock();
    set(2, 1);
    set(1, 0);
    clock();
    set(1, 1);
    return s;
}

// CP0, /CP1, MR: reset, 12 clocks on CP0, 3 on /CP1 falling, held by /CP1 high, reset.
std::vector<std::vector<int>> decadeSteps()
{
    std::vector<std::vector<int>> s = {{0, 0, 1}, {0, 0, 0}};
    for (int i = 0; i < 12; ++i) {
        s.push_back({1, 0, 0});
        s.push_back({0, 0, 0});
    }
    s.push_back({1, 0, 0});
    for (int i = 0; i < 3; ++i) {
        s.push_back({1, 1, 0});
        s.push_back({1, 0, 0});
    }
    s.push_back({1, 1, 0});
    s.push_back({0, 1, 0});
    s.push_back({1, 1, 0});
    s.push_back({1, 1, 1});
    return s;
}

// Steps built one change at a time: a clock never moves with another input.
class StepList {
public:
    explicit StepList(std::vector<int> first) { steps_.push_back(std::move(first)); }
    StepList& set(size_t input, int level)
    {
        std::vector<int> v = steps_.back();
        v[input] = level;
        steps_.push_back(std::move(v));
        return *this;
    }
    // Several data inputs in one step, bit 0 first, while nothing is clocked.
    StepList& word(size_t from, size_t bits, int value)
    {
        std::vector<int> v = steps_.back();
        for (size_t i = 0; i < bits; ++i)
            v[from + i] = (value >> i) & 1;
        steps_.push_back(std::move(v));
        return *this;
    }
    // The input away from its level and back.
    StepList& pulse(size_t input)
    {
        const int idle = steps_.back()[input];
        return set(input, !idle).set(input, idle);
    }
    std::vector<std::vector<int>> steps() const { return steps_; }

private:
    std::vector<std::vector<int>> steps_;
};

// J, CLK, K, /CLR (the 107) or J, CLK, K, /PRE, /CLR: clear, set, reset,
// toggle, hold on the falling clock, and nothing on the rising one.
std::vector<std::vector<int>> jkSteps(bool preset, bool activeLowK)
{
    const size_t clr = preset ? 4 : 3;
    std::vector<int> first = {0, 1, activeLowK ? 1 : 0, 1};
    if (preset)
        first.push_back(1);
    first[clr] = 0;
    StepList s(first);
    s.set(clr, 1);
    // K held off: J high sets, J low with K on resets, both on toggle.
    const int kOff = activeLowK ? 1 : 0, kOn = !kOff;
    const bool rising = activeLowK;
    if (!rising) {
        // J high, then a rising edge: no clock for these.
        s.set(1, 0).set(0, 1).set(1, 1);
    } else {
        s.set(1, 0).set(0, 1);
    }
    s.pulse(1);
    s.set(0, 0).set(2, kOn).pulse(1);
    s.set(0, 1).pulse(1).pulse(1).pulse(1);
    s.set(0, 0).set(2, kOff).pulse(1).pulse(1);
    s.set(clr, 0).set(clr, 1);
    if (preset) {
        s.set(3, 0).set(3, 1).set(clr, 0).set(3, 0).set(clr, 1).set(clr, 0).set(3, 1).set(clr, 1);
    }
    return s.steps();
}

// SH/LD, CLK, CLK INH, SER, A..H: load, shift eight bits through, held by
// CLK INH, load again.
std::vector<std::vector<int>> shift165Steps()
{
    StepList s({0, 0, 0, 0, 0, 1, 0, 0, 1, 1, 0, 1});
    s.set(0, 1);
    for (int bit : {1, 0, 0, 1, 1, 0, 1, 0, 1})
        s.set(3, bit).pulse(1);
    // CLK INH high while CLK is high: the clock that follows does nothing.
    s.set(1, 1).set(2, 1).set(1, 0).set(1, 1).set(2, 0).set(1, 0);
    s.word(4, 8, 0x6A).set(0, 0).word(4, 8, 0x95).set(0, 1).set(3, 0).pulse(1).pulse(1);
    return s.steps();
}

// SH/LD, CLK, CLK INH, SER, /CLR, A..H: clear, load on the clock, shift
// eight bits through, held by CLK INH, clear with the clock high.
std::vector<std::vector<int>> shift166Steps()
{
    StepList s({1, 0, 0, 0, 0, 1, 0, 1, 1, 0, 0, 1, 0});
    s.set(4, 1).set(0, 0).pulse(1).set(0, 1);
    for (int bit : {0, 1, 1, 0, 1, 0, 0, 1, 1})
        s.set(3, bit).pulse(1);
    s.set(1, 1).set(2, 1).set(1, 0).set(1, 1).set(2, 0).set(1, 0);
    s.word(5, 8, 0x80).set(0, 0).pulse(1).set(0, 1).set(1, 1).set(4, 0).set(4, 1).set(1, 0);
    return s.steps();
}

// /LOAD, CLK, /CTEN, D/U, A..D: load 0, count up through 15 and round,
// down (direction changed with the clock high) through 0, held by /CTEN,
// load 9.
std::vector<std::vector<int>> counter191Steps()
{
    StepList s({0, 0, 0, 0, 0, 0, 0, 0});
    s.set(0, 1);
    for (int i = 0; i < 17; ++i)
        s.pulse(1);
    s.set(1, 1).set(3, 1).set(1, 0);
    for (int i = 0; i < 17; ++i)
        s.pulse(1);
    s.set(1, 1).set(2, 1).set(1, 0).set(1, 1).set(2, 0).set(1, 0);
    s.word(4, 4, 9).set(0, 0).set(0, 1).pulse(1).set(1, 1).set(3, 0).set(1, 0).pulse(1);
    return s.steps();
}

// /LOAD, UP, DOWN, CLR, A..D: clear, count up through 15 and round, down
// through 0, load 6, a clear beats a load.
std::vector<std::vector<int>> counter193Steps()
{
    StepList s({1, 1, 1, 1, 0, 0, 0, 0});
    s.set(3, 0);
    for (int i = 0; i < 17; ++i)
        s.set(1, 0).set(1, 1);
    for (int i = 0; i < 18; ++i)
        s.set(2, 0).set(2, 1);
    s.word(4, 4, 6).set(0, 0).set(0, 1).set(1, 0).set(1, 1);
    s.word(4, 4, 9).set(0, 0).set(3, 1).set(3, 0).set(0, 1).set(2, 0).set(2, 1);
    return s.steps();
}

// /CLR, CLK, S0, S1, SR, SL, A..D: clear, load 5, hold, shift right four
// bits in, shift left four bits in, clear with the clock high. Modes change
// while the clock is high.
std::vector<std::vector<int>> shift194Steps()
{
    StepList s({0, 1, 0, 0, 0, 0, 0, 0, 0, 0});
    s.set(0, 1).word(6, 4, 5).set(2, 1).set(3, 1).pulse(1).set(2, 0).set(3, 0).word(6, 4, 10).pulse(1);
    s.set(2, 1);
    for (int bit : {1, 0, 1, 1, 0})
        s.set(4, bit).pulse(1);
    s.set(2, 0).set(3, 1);
    for (int bit : {0, 1, 1, 0, 1})
        s.set(5, bit).pulse(1);
    s.set(0, 0).set(0, 1);
    return s.steps();
}

// SER, SRCLK, /SRCLR, RCLK, /OE: clear and store while off, shown; eight
// bits shifted in while the outputs hold, stored, off, more bits shifted
// while off, stored and shown, a clear of the shift register alone.
std::vector<std::vector<int>> shift595Steps()
{
    StepList s({0, 0, 0, 0, 1});
    s.pulse(3).set(4, 0).set(2, 1);
    for (int bit : {1, 0, 1, 1, 0, 0, 1, 0})
        s.set(0, bit).pulse(1);
    s.pulse(3).set(4, 1);
    for (int bit : {0, 1, 1})
        s.set(0, bit).pulse(1);
    s.pulse(3).set(4, 0).set(2, 0).set(2, 1).pulse(3).set(0, 1).pulse(1);
    return s.steps();
}

Gates registerBits(Op op, int clock, int control, std::vector<std::vector<int>> bits)
{
    Gates g;
    for (const auto& b : bits)
        g.push_back({op, {b[0], clock, control}, b[1], b.size() > 2 ? b[2] : 0, {}});
    return g;
}
const std::vector<std::vector<int>> kOctal273 = {{3, 2},   {4, 5},   {7, 6},   {8, 9},
                                                 {13, 12}, {14, 15}, {17, 16}, {18, 19}};
const std::vector<std::vector<int>> kOctal574 = {{2, 19}, {3, 18}, {4, 17}, {5, 16},
                                                 {6, 15}, {7, 14}, {8, 13}, {9, 12}};

// RESET, CLK: reset, then count with a check at 2^k - 1 and 2^k for every
// stage k (the last wraps to 0); the counts between come from repeat vectors
// of an unchecked pair.
std::vector<std::vector<int>> rippleSteps(int stages)
{
    std::vector<std::vector<int>> s = {{1, 0}, {1, 1}, {0, 1}};
    int count = 0;
    const auto pair = [&s] {
        s.push_back({0, 0});
        s.push_back({0, 1});
    };
    for (int k = 1; k <= stages; ++k)
        for (int target : {(1 << k) - 1, 1 << k}) {
            // A repeat replays a pair of its own: the checked pair before it
            // would be read back on every replay.
            if (target - count > 2) {
                pair();
                s.push_back({-(target - count - 2)});
            } else if (target - count == 2) {
                pair();
            }
            pair();
            count = target;
        }
    return s;
}

// J, CLK, SET, RESET, K: reset, set by J, reset by K, toggle three times,
// hold, then the asynchronous inputs alone and together.
std::vector<std::vector<int>> jkSteps()
{
    std::vector<std::vector<int>> s = {{0, 0, 0, 1, 0}, {0, 0, 0, 0, 0}};
    const auto set = [&s](size_t input, int level) {
        std::vector<int> v = s.back();
        v[input] = level;
        s.push_back(v);
    };
    const auto clock = [&] {
        set(1, 1);
        set(1, 0);
    };
    set(0, 1);
    clock();
    set(0, 0);
    set(4, 1);
    clock();
    set(0, 1);
    for (int i = 0; i < 3; ++i)
        clock();
    set(0, 0);
    set(4, 0);
    clock();
    set(3, 1);
    set(3, 0);
    set(2, 1);
    set(3, 1);
    set(3, 0);
    set(2, 0);
    set(3, 1);
    set(3, 0);
    return s;
}

// STROBE, CLK, DATA, OE: eight bits shifted in unseen (the register is
// unknown until then), stored, shown, held while more shift, followed while
// STROBE is high, then off.
std::vector<std::vector<int>> shift4094Steps(int& unchecked)
{
    std::vector<std::vector<int>> s = {{0, 0, 0, 0}};
    const auto set = [&s](size_t input, int level) {
        std::vector<int> v = s.back();
        v[input] = level;
        s.push_back(v);
    };
    const auto shift = [&](int bit) {
        set(2, bit);
        set(1, 1);
        set(1, 0);
    };
    for (int bit : {1, 0, 1, 1, 0, 0, 1, 0})
        shift(bit);
    unchecked = static_cast<int>(s.size());
    set(0, 1);
    set(3, 1);
    set(0, 0);
    for (int bit : {1, 1, 0})
        shift(bit);
    set(0, 1);
    for (int bit : {0, 1, 0, 0, 1})
        shift(bit);
    set(3, 0);
    shift(1);
    set(3, 1);
    return s;
}

// PE, CLK, RESET, UP, /CI, P1..P4: reset, count up round once, held by /CI,
// down through 0, load 5, down and up from it, reset.
std::vector<std::vector<int>> upDownSteps(int modulus)
{
    std::vector<std::vector<int>> s = {{0, 0, 1, 1, 0, 0, 0, 0, 0}, {0, 0, 0, 1, 0, 0, 0, 0, 0}};
    const auto set = [&s](size_t input, int level) {
        std::vector<int> v = s.back();
        v[input] = level;
        s.push_back(v);
    };
    const auto clock = [&] {
        set(1, 1);
        set(1, 0);
    };
    for (int i = 0; i <= modulus; ++i)
        clock();
    set(4, 1);
    clock();
    set(4, 0);
    set(3, 0);
    for (int i = 0; i < 3; ++i)
        clock();
    set(5, 1);
    set(7, 1);
    set(0, 1);
    set(0, 0);
    clock();
    set(3, 1);
    clock();
    clock();
    set(4, 1);
    set(2, 1);
    set(2, 0);
    return s;
}

// A, B, C, D, LE (LD), blanking, lamp test or phase: every code while the
// latch follows, the control inputs, a code held while the inputs change.
// active is the level of LE/LD that lets the latch follow.
std::vector<std::vector<int>> segmentSteps(int follow, int blankOff, int third)
{
    std::vector<std::vector<int>> s;
    const auto code = [&](int v, int le, int blank, int t) {
        s.push_back({v & 1, (v >> 1) & 1, (v >> 2) & 1, (v >> 3) & 1, le, blank, t});
    };
    for (int v = 0; v < 16; ++v)
        code(v, follow, blankOff, third);
    code(15, follow, blankOff, !third);
    code(8, follow, blankOff, !third);
    code(8, follow, !blankOff, third);
    code(8, follow, !blankOff, !third);
    code(3, follow, blankOff, third);
    code(3, !follow, blankOff, third);
    code(8, !follow, blankOff, third);
    code(8, !follow, blankOff, !third);
    code(8, follow, blankOff, !third);
    code(6, follow, blankOff, !third);
    code(9, follow, blankOff, !third);
    return s;
}

std::vector<LogicType> makeTypes()
{
    const Series T = Series::Ttl74, C = Series::Cmos40, C45 = Series::Cmos45;
    std::vector<LogicType> t = {
        {T, 0, 14, "7400", quad74(Op::Nand), {}, {}},
        {T, 2, 14, "7402", gates(Op::Nor, {{2, 3, 1}, {5, 6, 4}, {8, 9, 10}, {11, 12, 13}}), {}, {}},
        {T, 4, 14, "7404", hexInverter(), {}, {"7414"}},
        {T, 8, 14, "7408", quad74(Op::And), {}, {}},
        {T, 10, 14, "7410", triple3(Op::Nand), {}, {}},
        {T, 11, 14, "7411", triple3(Op::And), {}, {}},
        {T, 14, 14, "7414", hexInverter(), {}, {"7404"}},
        {T, 20, 14, "7420", dual4(Op::Nand), {}, {}},
        {T, 21, 14, "7421", dual4(Op::And), {}, {}},
        {T, 27, 14, "7427", triple3(Op::Nor), {}, {}},
        {T, 30, 14, "7430", gates(Op::Nand, {{1, 2, 3, 4, 5, 6, 11, 12, 8}}), {}, {}},
        {T, 32, 14, "7432", quad74(Op::Or), {}, {}},
        {T,
         74,
         14,
         "7474",
         {{Op::DffLow, {2, 3, 4, 1}, 5, 6}, {Op::DffLow, {12, 11, 10, 13}, 9, 8}},
         kDffLowSteps,
         {}},
        {T, 86, 14, "7486", quad74(Op::Xor), {}, {}},
        {T, 42, 16, "7442", one(Op::Decoder42, {15, 14, 13, 12}, {1, 2, 3, 4, 5, 6, 7, 9, 10, 11}), {}, {}},
        {T, 85, 16, "7485", one(Op::Compare85, {10, 12, 13, 15, 9, 11, 14, 1, 2, 3, 4}, {7, 6, 5}), {}, {}},
        {T,
         138,
         16,
         "74138",
         one(Op::Decoder138, {1, 2, 3, 6, 4, 5}, {15, 14, 13, 12, 11, 10, 9, 7}),
         {},
         {}},
        {T,
         139,
         16,
         "74139",
         {{Op::Decoder139, {2, 3, 1}, 0, 0, {4, 5, 6, 7}},
          {Op::Decoder139, {14, 13, 15}, 0, 0, {12, 11, 10, 9}}},
         {},
         {}},
        {T, 151, 16, "74151", one(Op::Mux151, {11, 10, 9, 7, 4, 3, 2, 1, 15, 14, 13, 12}, {5, 6}), {}, {}},
        {T, 153, 16, "74153", dual153(Op::Mux153), {}, {}},
        {T, 157, 16, "74157", quad157(Op::Mux157), {}, {}},
        {T, 158, 16, "74158", quad157(Op::Mux158), {}, {}},
        {T, 251, 16, "74251", one(Op::Mux251, {11, 10, 9, 7, 4, 3, 2, 1, 15, 14, 13, 12}, {5, 6}), {}, {}},
        {T, 253, 16, "74253", dual153(Op::Mux253), {}, {}},
        {T, 257, 16, "74257", quad157(Op::Mux257), {}, {}},
        {T, 283, 16, "74283", one(Op::Adder283, {5, 3, 14, 12, 6, 2, 15, 11, 7}, {4, 1, 13, 10, 9}), {}, {}},
        {T,
         688,
         20,
         "74688",
         one(Op::Compare688, {2, 4, 6, 8, 11, 13, 15, 17, 3, 5, 7, 9, 12, 14, 16, 18, 1}, 19),
         compare688Steps(),
         {}},
        {T,
         161,
         16,
         "74161",
         one(Op::Counter161, {2, 1, 9, 7, 10, 3, 4, 5, 6}, {14, 13, 12, 11, 15}),
         counter161Steps(),
         {}},
        {T,
         163,
         16,
         "74163",
         one(Op::Counter163, {2, 1, 9, 7, 10, 3, 4, 5, 6}, {14, 13, 12, 11, 15}),
         counter161Steps(),
         {},
         1},
        {T,
         164,
         14,
         "74164",
         one(Op::Shift164, {1, 2, 8, 9}, {3, 4, 5, 6, 10, 11, 12, 13}),
         shiftSteps(),
         {}},
        {T,
         174,
         16,
         "74174",
         registerBits(Op::DReg, 9, 1, {{3, 2}, {4, 5}, {6, 7}, {11, 10}, {13, 12}, {14, 15}}),
         kRegisterSteps,
         {}},
        {T,
         175,
         16,
         "74175",
         registerBits(Op::DReg, 9, 1, {{4, 2, 3}, {5, 7, 6}, {12, 10, 11}, {13, 15, 14}}),
         kRegisterSteps,
         {}},
        {T, 273, 20, "74273", registerBits(Op::DReg, 11, 1, kOctal273), kRegisterSteps, {}},
        {T, 373, 20, "74373", registerBits(Op::DLatchOe, 11, 1, kOctal273), kLatchOeSteps, {}},
        {T, 374, 20, "74374", registerBits(Op::DRegOe, 11, 1, kOctal273), kRegisterOeSteps, {}},
        {T, 573, 20, "74573", registerBits(Op::DLatchOe, 11, 1, kOctal574), kLatchOeSteps, {}},
        {T, 574, 20, "74574", registerBits(Op::DRegOe, 11, 1, kOctal574), kRegisterOeSteps, {}},
        {T, 125, 14, "74125", quadBuffer(Op::BufOeLow), {}, {}},
        {T, 126, 14, "74126", quadBuffer(Op::BufOeHigh), {}, {}},
        // 74xx, second set.
        {T,
         107,
         14,
         "74107",
         {{Op::Jk107, {1, 12, 4, 13}, 3, 2}, {Op::Jk107, {8, 9, 11, 10}, 5, 6}},
         jkSteps(false, false),
         {}},
        {T,
         109,
         16,
         "74109",
         {{Op::Jk109, {2, 4, 3, 5, 1}, 6, 7}, {Op::Jk109, {14, 12, 13, 11, 15}, 10, 9}},
         jkSteps(true, true),
         {}},
        {T,
         112,
         16,
         "74112",
         {{Op::Jk112, {3, 1, 2, 4, 15}, 5, 6}, {Op::Jk112, {11, 13, 12, 10, 14}, 9, 7}},
         jkSteps(true, false),
         {}},
        {T,
         165,
         16,
         "74165",
         one(Op::Shift165, {1, 2, 15, 10, 11, 12, 13, 14, 3, 4, 5, 6}, {9, 7}),
         shift165Steps(),
         {}},
        {T,
         166,
         16,
         "74166",
         {{Op::Shift166, {15, 7, 6, 1, 9, 2, 3, 4, 5, 10, 11, 12, 14}, 0, 0, {13}}},
         shift166Steps(),
         {}},
        {T,
         191,
         16,
         "74191",
         one(Op::Counter191, {11, 14, 4, 5, 15, 1, 10, 9}, {3, 2, 6, 7, 12, 13}),
         counter191Steps(),
         {}},
        {T,
         193,
         16,
         "74193",
         one(Op::Counter193, {11, 5, 4, 14, 15, 1, 10, 9}, {3, 2, 6, 7, 12, 13}),
         counter193Steps(),
         {}},
        {T,
         194,
         16,
         "74194",
         one(Op::Shift194, {1, 11, 9, 10, 2, 7, 3, 4, 5, 6}, {15, 14, 13, 12}),
         shift194Steps(),
         {}},
        {T,
         595,
         16,
         "74595",
         one(Op::Shift595, {14, 11, 10, 12, 13}, {15, 1, 2, 3, 4, 5, 6, 7, 9}),
         shift595Steps(),
         {}},
        {C, 1, 14, "4001", quad4000(Op::Nor), {}, {}},
        {C, 11, 14, "4011", quad4000(Op::Nand), {}, {"4093"}},
        {C,
         13,
         14,
         "4013",
         {{Op::DffHigh, {5, 3, 6, 4}, 1, 2}, {Op::DffHigh, {9, 11, 8, 10}, 13, 12}},
         kDffHighSteps,
         {}},
        {C,
         17,
         16,
         "4017",
         one(Op::Decade4017, {14, 13, 15}, {3, 2, 4, 7, 10, 1, 5, 6, 9, 11, 12}),
         decadeSteps(),
         {}},
        {C, 69, 14, "4069", hexInverter(), {}, {}},
        {C, 70, 14, "4070", quad4000(Op::Xor), {}, {}},
        {C, 71, 14, "4071", quad4000(Op::Or), {}, {}},
        {C, 81, 14, "4081", quad4000(Op::And), {}, {}},
        {C, 93, 14, "4093", quad4000(Op::Nand), {}, {"4011"}},
        {C45, 18, 16, "4518", dualCounter(Op::Counter10), counterSteps(), {}},
        {C45, 20, 16, "4520", dualCounter(Op::Counter16), counterSteps(), {}},
        // 4000 series, second set: pinouts and function tables from the datasheets.
        {C,
         20,
         16,
         "4020",
         one(Op::RippleFall, {11, 10}, {9, 0, 0, 7, 5, 4, 6, 13, 12, 14, 15, 1, 2, 3}),
         rippleSteps(14),
         {}},
        {C, 24, 14, "4024", one(Op::RippleFall, {2, 1}, {12, 11, 9, 6, 5, 4, 3}), rippleSteps(7), {}},
        {C,
         27,
         16,
         "4027",
         {{Op::Jk4027, {10, 13, 9, 12, 11}, 15, 14}, {Op::Jk4027, {6, 3, 7, 4, 5}, 1, 2}},
         jkSteps(),
         {}},
        {C,
         40,
         16,
         "4040",
         one(Op::RippleFall, {11, 10}, {9, 7, 6, 5, 3, 2, 4, 13, 12, 14, 15, 1}),
         rippleSteps(12),
         {}},
        {C,
         60,
         16,
         "4060",
         {{Op::Osc4060, {12, 11}, 10, 9, {0, 0, 0, 7, 5, 4, 6, 14, 13, 15, 0, 1, 2, 3}}},
         rippleSteps(14),
         {},
         2},
        {C,
         66,
         14,
         "4066",
         gates(Op::Switch4066, {{1, 2, 13, 0}, {4, 3, 5, 0}, {8, 9, 6, 0}, {11, 10, 12, 0}}),
         {},
         {}},
        {C, 94, 16, "4094", one(Op::Shift4094, {1, 3, 2, 15}, {4, 5, 6, 7, 14, 13, 12, 11, 9, 10}), {}, {}},
        {C45,
         10,
         16,
         "4510",
         one(Op::UpDown4510, {1, 15, 9, 10, 5, 4, 12, 13, 3}, {6, 11, 14, 2, 7}),
         upDownSteps(10),
         {}},
        {C45,
         11,
         16,
         "4511",
         one(Op::Seg4511, {7, 1, 2, 6, 5, 4, 3}, {13, 12, 11, 10, 9, 15, 14}),
         segmentSteps(0, 1, 1),
         {}},
        {C45,
         16,
         16,
         "4516",
         one(Op::UpDown4516, {1, 15, 9, 10, 5, 4, 12, 13, 3}, {6, 11, 14, 2, 7}),
         upDownSteps(16),
         {}},
        {C45,
         43,
         16,
         "4543",
         one(Op::Seg4543, {5, 3, 2, 4, 1, 7, 6}, {9, 10, 11, 12, 13, 14, 15}),
         segmentSteps(1, 0, 0),
         {}},
    };
    for (LogicType& type : t)
        if (type.name == "4094")
            type.steps = shift4094Steps(type.uncheckedSteps);
    return t;
}

int socketPin(const LogicType& type, int chipPin)
{
    return chipPin + (40 - type.pins) / 2;
}

void setBit(std::vector<uint8_t>& record, size_t at, int pin, int level)
{
    // Bytes at+0, +1, +2 carry pins 25..32, 17..24 and 9..16.
    if (pin < 9 || pin > 32)
        return;
    const size_t byte = pin >= 25 ? at : pin >= 17 ? at + 1 : at + 2;
    const int bit = (pin - 9) % 8;
    if (level)
        record[byte] = static_cast<uint8_t>(record[byte] | (1 << bit));
    else
        record[byte] = static_cast<uint8_t>(record[byte] & ~(1 << bit));
}

void appendHeader(std::vector<uint8_t>& out, int number, size_t vectors)
{
    const std::string digits = std::to_string(number);
    for (size_t i = 0; i < 5; ++i)
        out.push_back(i < digits.size() ? static_cast<uint8_t>(digits[i]) : 0);
    out.push_back(static_cast<uint8_t>(vectors));
    out.push_back(0);
}

void appendPackage(std::vector<uint8_t>& out, size_t vector, int pins)
{
    uint8_t& b1 = out[vector + 1];
    uint8_t& b2 = out[vector + 2];
    switch (pins) {
    case 14:
        b2 = 0x40;
        break;
    case 16:
        b2 = 0x80;
        break;
    case 20:
        b1 = 0x02;
        break;
    default:
        b1 = 0x04;
        break;
    }
}

} // namespace

const std::vector<LogicType>& logicTypes()
{
    static const std::vector<LogicType> all = makeTypes();
    return all;
}

const LogicType* findLogicType(const std::string& name)
{
    for (const LogicType& t : logicTypes())
        if (t.name == name)
            return &t;
    return nullptr;
}

const std::vector<UnfitType>& unfitTypes()
{
    // Pinouts from the datasheets: the 74 types ground a middle pin, the
    // 4049 and 4050 take Vcc on pin 1 (16 is not connected).
    static const std::vector<UnfitType> all = {
        {Series::Ttl74, 73, "7473", 4, 11}, {Series::Ttl74, 75, "7475", 5, 12},
        {Series::Ttl74, 76, "7476", 5, 13}, {Series::Ttl74, 83, "7483", 5, 12},
        {Series::Ttl74, 90, "7490", 5, 10}, {Series::Ttl74, 93, "7493", 5, 10},
        {Series::Cmos40, 49, "4049", 1, 8}, {Series::Cmos40, 50, "4050", 1, 8},
    };
    return all;
}

const char* seriesLibraryName(Series series)
{
    switch (series) {
    case Series::Ttl74:
        return "TTL74.LIB";
    case Series::Cmos40:
        return "CMOS40.LIB";
    default:
        return "CMOS45.LIB";
    }
}

void evaluate(const Element& e, const std::vector<int>& in, ElementState& state, std::vector<PinDrive>& out)
{
    const auto push = [&out](int pin, int level, bool driven = true) { out.push_back({pin, level, driven}); };
    // A counter or register shows its state on its first n outputs, lowest bit first.
    const auto pushState = [&](size_t n) {
        for (size_t i = 0; i < n; ++i)
            push(e.outs[i], (state.q >> i) & 1);
    };
    int all = 1, any = 0, parity = 0;
    for (int v : in) {
        all &= v;
        any |= v;
        parity ^= v;
    }
    switch (e.op) {
    case Op::Nand:
        push(e.out, !all);
        return;
    case Op::Nor:
        push(e.out, !any);
        return;
    case Op::And:
        push(e.out, all);
        return;
    case Op::Or:
        push(e.out, any);
        return;
    case Op::Xor:
        push(e.out, parity);
        return;
    case Op::Not:
        push(e.out, !in[0]);
        return;
    case Op::BufOeLow:
        push(e.out, in[0], in[1] == 0);
        return;
    case Op::BufOeHigh:
        push(e.out, in[0], in[1] == 1);
        return;
    case Op::DffLow:
    case Op::DffHigh: {
        const bool low = e.op == Op::DffLow;
        const bool set = low ? in[2] == 0 : in[2] == 1;
        const bool reset = low ? in[3] == 0 : in[3] == 1;
        const bool rose = state.clock == 0 && in[1] == 1;
        state.clock = in[1];
        if (set && reset) {
            push(e.out, 1);
            push(e.out2, 1);
            return;
        }
        if (set)
            state.q = 1;
        else if (reset)
            state.q = 0;
        else if (rose)
            state.q = in[0];
        push(e.out, state.q);
        push(e.out2, !state.q);
        return;
    }
    case Op::Counter16:
    case Op::Counter10: {
        const int modulus = e.op == Op::Counter16 ? 16 : 10;
        const bool rose = state.clock == 0 && in[0] == 1 && in[1] == 1;
        const bool enableFell = state.enable == 1 && in[1] == 0 && in[0] == 0;
        state.clock = in[0];
        state.enable = in[1];
        if (in[2] == 1)
            state.q = 0;
        else if (rose || enableFell)
            state.q = (state.q + 1) % modulus;
        pushState(e.outs.size());
        return;
    }
    case Op::Decoder42:
    case Op::Decoder138:
    case Op::Decoder139: {
        const int bits = e.op == Op::Decoder42 ? 4 : e.op == Op::Decoder138 ? 3 : 2;
        const int value = word(in, 0, bits);
        const bool enabled = e.op == Op::Decoder138   ? in[3] == 1 && in[4] == 0 && in[5] == 0
                             : e.op == Op::Decoder139 ? in[2] == 0
                                                      : true;
        for (size_t i = 0; i < e.outs.size(); ++i)
            push(e.outs[i], !(enabled && value == static_cast<int>(i)));
        return;
    }
    case Op::Mux151:
    case Op::Mux251: {
        const int y = in[4 + static_cast<size_t>(word(in, 0, 3))];
        const bool strobe = in[3] == 0;
        if (e.op == Op::Mux151) {
            push(e.outs[0], strobe && y);
            push(e.outs[1], !(strobe && y));
        } else {
            push(e.outs[0], y, strobe);
            push(e.outs[1], !y, strobe);
        }
        return;
    }
    case Op::Mux153:
    case Op::Mux253: {
        const int y = in[3 + static_cast<size_t>(word(in, 0, 2))];
        const bool strobe = in[2] == 0;
        if (e.op == Op::Mux153)
            push(e.out, strobe && y);
        else
            push(e.out, y, strobe);
        return;
    }
    case Op::Mux157:
    case Op::Mux158:
    case Op::Mux257: {
        const int y = in[0] ? in[3] : in[2];
        const bool strobe = in[1] == 0;
        if (e.op == Op::Mux157)
            push(e.out, strobe && y);
        else if (e.op == Op::Mux158)
            push(e.out, !(strobe && y));
        else
            push(e.out, y, strobe);
        return;
    }
    case Op::Adder283: {
        const int sum = word(in, 0, 4) + word(in, 4, 4) + in[8];
        for (size_t i = 0; i < 5; ++i)
            push(e.outs[i], (sum >> i) & 1);
        return;
    }
    case Op::Compare85: {
        const int a = word(in, 0, 4), b = word(in, 4, 4);
        int lt = a<b, eq = 0, gt = a> b;
        if (a == b) {
            // The cascade inputs decide, as the function table gives them.
            eq = in[9];
            lt = eq ? 0 : !in[10];
            gt = eq ? 0 : !in[8];
        }
        push(e.outs[0], lt);
        push(e.outs[1], eq);
        push(e.outs[2], gt);
        return;
    }
    case Op::Compare688:
        push(e.out, !(in[16] == 0 && word(in, 0, 8) == word(in, 8, 8)));
        return;
    case Op::DReg:
    case Op::DRegOe:
    case Op::DLatchOe: {
        const bool rose = state.clock == 0 && in[1] == 1;
        state.clock = in[1];
        if (e.op == Op::DReg && in[2] == 0)
            state.q = 0;
        else if (e.op == Op::DLatchOe ? in[1] == 1 : rose)
            state.q = in[0];
        const bool on = e.op == Op::DReg || in[2] == 0;
        push(e.out, state.q, on);
        if (e.out2)
            push(e.out2, !state.q, on);
        return;
    }
    case Op::Counter161:
    case Op::Counter163: {
        const bool rose = state.clock == 0 && in[0] == 1;
        state.clock = in[0];
        if (e.op == Op::Counter161 && in[1] == 0)
            state.q = 0;
        else if (rose && in[1] == 0)
            state.q = 0;
        else if (rose && in[2] == 0)
            state.q = word(in, 5, 4);
        else if (rose && in[3] == 1 && in[4] == 1)
            state.q = (state.q + 1) & 15;
        pushState(4);
        push(e.outs[4], in[4] == 1 && state.q == 15);
        return;
    }
    case Op::Decade4017: {
        const bool rose = state.clock == 0 && in[0] == 1 && in[1] == 0;
        const bool enableFell = state.enable == 1 && in[1] == 0 && in[0] == 1;
        state.clock = in[0];
        state.enable = in[1];
        if (in[2] == 1)
            state.q = 0;
        else if (rose || enableFell)
            state.q = (state.q + 1) % 10;
        for (size_t i = 0; i < 10; ++i)
            push(e.outs[i], state.q == static_cast<int>(i));
        push(e.outs[10], state.q < 5);
        return;
    }
    case Op::RippleFall:
    case Op::Osc4060: {
        const bool fell = state.clock == 1 && in[1] == 0;
        state.clock = in[1];
        if (in[0] == 1)
            state.q = 0;
        else if (fell)
            state.q = (state.q + 1) & ((1 << e.outs.size()) - 1);
        for (size_t i = 0; i < e.outs.size(); ++i)
            if (e.outs[i] > 0)
                push(e.outs[i], (state.q >> i) & 1);
        if (e.op == Op::Osc4060) {
            push(e.out, !in[1]);
            push(e.out2, in[1]);
        }
        return;
    }
    case Op::Jk4027: {
        const bool rose = state.clock == 0 && in[1] == 1;
        state.clock = in[1];
        if (in[2] == 1 && in[3] == 1) {
            push(e.out, 1);
            push(e.out2, 1);
            return;
        }
        if (in[2] == 1)
            state.q = 1;
        else if (in[3] == 1)
            state.q = 0;
        else if (rose && in[0] == 1 && in[4] == 1)
            state.q = !state.q;
        else if (rose && (in[0] == 1 || in[4] == 1))
            state.q = in[0];
        push(e.out, state.q);
        push(e.out2, !state.q);
        return;
    }
    case Op::Switch4066:
        if (in[2] == 1 && in[0] == 0)
            push(e.in[1], 0);
        if (in[2] == 1 && in[1] == 0)
            push(e.in[0], 0);
        return;
    case Op::Shift4094: {
        // q: the register in bits 0..7, the store in 8..15, Q'S in bit 16.
        const bool rose = state.clock == 0 && in[1] == 1;
        const bool fell = state.clock == 1 && in[1] == 0;
        state.clock = in[1];
        int shift = state.q & 0xFF, store = (state.q >> 8) & 0xFF, late = (state.q >> 16) & 1;
        if (rose)
            shift = ((shift << 1) | in[2]) & 0xFF;
        if (fell)
            late = (shift >> 7) & 1;
        if (in[0] == 1)
            store = shift;
        state.q = shift | (store << 8) | (late << 16);
        for (size_t i = 0; i < 8; ++i)
            push(e.outs[i], (store >> i) & 1, in[3] == 1);
        push(e.outs[8], (shift >> 7) & 1);
        push(e.outs[9], late);
        return;
    }
    case Op::UpDown4510:
    case Op::UpDown4516: {
        const int modulus = e.op == Op::UpDown4510 ? 10 : 16;
        const bool rose = state.clock == 0 && in[1] == 1;
        state.clock = in[1];
        if (in[2] == 1)
            state.q = 0;
        else if (in[0] == 1)
            state.q = word(in, 5, 4);
        else if (rose && in[4] == 0)
            state.q = in[3] == 1 ? (state.q + 1) % modulus : (state.q + modulus - 1) % modulus;
        pushState(4);
        push(e.outs[4], !(in[4] == 0 && state.q == (in[3] == 1 ? modulus - 1 : 0)));
        return;
    }
    case Op::Seg4511:
    case Op::Seg4543: {
        // Segments a..g in bits 0..6 for 0..9.
        static const int k4511[10] = {0x3F, 0x06, 0x5B, 0x4F, 0x66, 0x6D, 0x7C, 0x07, 0x7F, 0x67};
        static const int k4543[10] = {0x3F, 0x06, 0x5B, 0x4F, 0x66, 0x6D, 0x7D, 0x07, 0x7F, 0x6F};
        const bool is4511 = e.op == Op::Seg4511;
        if (in[4] == (is4511 ? 0 : 1))
            state.q = word(in, 0, 4);
        const int* table = is4511 ? k4511 : k4543;
        int segments = state.q < 10 ? table[state.q] : 0;
        if (is4511) {
            if (in[6] == 0)
                segments = 0x7F;
            else if (in[5] == 0)
                segments = 0;
        } else {
            if (in[5] == 1)
                segments = 0;
            if (in[6] == 1)
                segments ^= 0x7F;
        }
        for (size_t i = 0; i < 7; ++i)
            push(e.outs[i], (segments >> i) & 1);
        return;
    }
    case Op::Shift164: {
        const bool rose = state.clock == 0 && in[2] == 1;
        state.clock = in[2];
        if (in[3] == 0)
            state.q = 0;
        else if (rose)
            state.q = ((state.q << 1) | (in[0] & in[1])) & 0xFF;
        pushState(e.outs.size());
        return;
    }
    case Op::Jk107:
    case Op::Jk109:
    case Op::Jk112: {
        const bool rising = e.op == Op::Jk109;
        const bool edge = rising ? state.clock == 0 && in[1] == 1 : state.clock == 1 && in[1] == 0;
        state.clock = in[1];
        const bool preset = e.op != Op::Jk107 && in[3] == 0;
        const bool clear = in[e.op == Op::Jk107 ? 3 : 4] == 0;
        if (preset && clear) {
            push(e.out, 1);
            push(e.out2, 1);
            return;
        }
        // The 109's K input is active low: J /K = 1 0 toggles, 0 1 holds.
        const int j = in[0], k = rising ? !in[2] : in[2];
        if (preset)
            state.q = 1;
        else if (clear)
            state.q = 0;
        else if (edge)
            state.q = j && k ? !state.q : j ? 1 : k ? 0 : state.q;
        push(e.out, state.q);
        push(e.out2, !state.q);
        return;
    }
    case Op::Shift165:
    case Op::Shift166: {
        const bool is165 = e.op == Op::Shift165;
        const size_t data = is165 ? 4 : 5;
        const int clock = in[1] | in[2];
        const bool rose = state.clock == 0 && clock == 1;
        state.clock = clock;
        if (is165 && in[0] == 0)
            state.q = word(in, data, 8);
        else if (!is165 && in[4] == 0)
            state.q = 0;
        else if (rose && !is165 && in[0] == 0)
            state.q = word(in, data, 8);
        else if (rose)
            state.q = ((state.q << 1) | in[3]) & 0xFF;
        push(e.outs[0], (state.q >> 7) & 1);
        if (is165)
            push(e.outs[1], !((state.q >> 7) & 1));
        return;
    }
    case Op::Counter191: {
        const bool rose = state.clock == 0 && in[1] == 1;
        state.clock = in[1];
        const bool down = in[3] == 1;
        if (in[0] == 0)
            state.q = word(in, 4, 4);
        else if (rose && in[2] == 0)
            state.q = (state.q + (down ? 15 : 1)) & 15;
        pushState(4);
        const int maxMin = down ? state.q == 0 : state.q == 15;
        push(e.outs[4], maxMin);
        push(e.outs[5], !(in[1] == 0 && in[2] == 0 && maxMin));
        return;
    }
    case Op::Counter193: {
        const bool up = state.clock == 0 && in[1] == 1 && in[2] == 1;
        const bool down = state.enable == 0 && in[2] == 1 && in[1] == 1;
        state.clock = in[1];
        state.enable = in[2];
        if (in[3] == 1)
            state.q = 0;
        else if (in[0] == 0)
            state.q = word(in, 4, 4);
        else if (up)
            state.q = (state.q + 1) & 15;
        else if (down)
            state.q = (state.q + 15) & 15;
        pushState(4);
        push(e.outs[4], !(in[1] == 0 && state.q == 15));
        push(e.outs[5], !(in[2] == 0 && state.q == 0));
        return;
    }
    case Op::Shift194: {
        const bool rose = state.clock == 0 && in[1] == 1;
        state.clock = in[1];
        const int mode = in[2] | (in[3] << 1);
        if (in[0] == 0)
            state.q = 0;
        else if (rose && mode == 1)
            state.q = ((state.q << 1) | in[4]) & 15;
        else if (rose && mode == 2)
            state.q = (state.q >> 1) | (in[5] << 3);
        else if (rose && mode == 3)
            state.q = word(in, 6, 4);
        pushState(4);
        return;
    }
    case Op::Shift595: {
        // Bits 0..7: the shift register (QA' first); 8..15: the storage register.
        int shift = state.q & 0xFF, storage = (state.q >> 8) & 0xFF;
        const bool shiftRose = state.clock == 0 && in[1] == 1;
        const bool storeRose = state.enable == 0 && in[3] == 1;
        state.clock = in[1];
        state.enable = in[3];
        // Both clocks together: the storage register takes the stages before the shift.
        if (storeRose)
            storage = shift;
        if (in[2] == 0)
            shift = 0;
        else if (shiftRose)
            shift = ((shift << 1) | in[0]) & 0xFF;
        state.q = shift | (storage << 8);
        for (size_t i = 0; i < 8; ++i)
            push(e.outs[i], (storage >> i) & 1, in[4] == 0);
        push(e.outs[8], (shift >> 7) & 1);
        return;
    }
    }
}

std::vector<ChipVector> chipVectors(const LogicType& type)
{
    size_t inputs = 0;
    for (const Element& e : type.elements)
        inputs = std::max(inputs, e.in.size());
    // Input levels of every element, step by step.
    std::vector<std::vector<int>> steps = type.steps;
    if (!type.sequential()) {
        if (inputs <= 7) {
            for (int combo = 0; combo < (1 << inputs); ++combo) {
                std::vector<int> s;
                for (size_t j = 0; j < inputs; ++j)
                    s.push_back((combo >> j) & 1);
                steps.push_back(s);
            }
        } else {
            // Wide gates: all high, each input low alone, all low.
            steps.push_back(std::vector<int>(inputs, 1));
            for (size_t j = 0; j < inputs; ++j) {
                std::vector<int> s(inputs, 1);
                s[j] = 0;
                steps.push_back(s);
            }
            steps.push_back(std::vector<int>(inputs, 0));
            // And a fixed pseudo-random sample of the rest.
            uint32_t seed = 0x2545F491u;
            for (int n = 0; n < 64; ++n) {
                std::vector<int> s;
                for (size_t j = 0; j < inputs; ++j) {
                    seed = seed * 1103515245u + 12345u;
                    s.push_back(static_cast<int>((seed >> 16) & 1));
                }
                steps.push_back(s);
            }
        }
    }
    // Four power-up states (stored bit and clock level) that must agree.
    std::vector<std::vector<ElementState>> states;
    for (int q = 0; q < 2; ++q)
        for (int clock = 0; clock < 2; ++clock)
            states.push_back(std::vector<ElementState>(type.elements.size(), ElementState{q, clock}));
    std::vector<ChipVector> vectors;
    // The steps behind the last two vectors, for a repeat to replay.
    std::vector<const std::vector<int>*> behind;
    for (const std::vector<int>& step : steps) {
        const int index = static_cast<int>(&step - steps.data());
        if (step.size() == 1 && step[0] < 0) {
            // The tester replays the two vectors before a repeat unchecked, so
            // both must be plain ones of one step each.
            if (behind.size() < 2 || behind[behind.size() - 1] == nullptr ||
                behind[behind.size() - 2] == nullptr)
                throw std::logic_error(type.name + ": a repeat needs two plain steps before it");
            const std::vector<int>* pair[2] = {behind[behind.size() - 2], behind[behind.size() - 1]};
            for (int n = 0; n < -step[0]; ++n)
                for (const std::vector<int>* replay : pair)
                    for (auto& state : states)
                        for (size_t k = 0; k < type.elements.size(); ++k) {
                            const Element& e = type.elements[k];
                            std::vector<int> in(replay->begin(),
                                                replay->begin() + static_cast<std::ptrdiff_t>(e.in.size()));
                            std::vector<PinDrive> out;
                            evaluate(e, in, state[k], out);
                        }
            // Replayed unchecked, so looked at never: the tester would read
            // the box back for every replay of a checked vector.
            vectors[vectors.size() - 1].check = false;
            vectors[vectors.size() - 2].check = false;
            ChipVector r;
            r.repeat = -step[0];
            r.check = false;
            vectors.push_back(r);
            behind.push_back(nullptr);
            continue;
        }
        ChipVector v;
        v.drive.assign(static_cast<size_t>(type.pins) + 1, 1);
        for (const Element& e : type.elements)
            for (size_t j = 0; j < e.in.size(); ++j)
                v.drive[static_cast<size_t>(e.in[j])] = step[j];
        v.expect = v.drive;
        std::vector<int> off;
        for (size_t s = 0; s < states.size(); ++s) {
            std::vector<int> expect = v.drive;
            for (size_t k = 0; k < type.elements.size(); ++k) {
                const Element& e = type.elements[k];
                std::vector<int> in(step.begin(), step.begin() + static_cast<std::ptrdiff_t>(e.in.size()));
                std::vector<PinDrive> out;
                evaluate(e, in, states[s][k], out);
                for (const PinDrive& d : out)
                    if (!d.driven && s == 0)
                        off.push_back(d.pin);
                for (const PinDrive& d : out)
                    expect[static_cast<size_t>(d.pin)] = d.driven ? d.level : 0;
            }
            if (s == 0)
                v.expect = expect;
            else if (expect != v.expect && index >= type.uncheckedSteps)
                throw std::logic_error(type.name + ": a step depends on the power-up state");
        }
        v.check = index >= type.uncheckedSteps;
        if (!v.check) {
            // Not looked at: outputs released, expected as the pull-up.
            for (const Element& e : type.elements)
                for (int pin : e.outs)
                    v.drive[static_cast<size_t>(pin)] = v.expect[static_cast<size_t>(pin)] = 1;
            vectors.push_back(v);
            behind.push_back(&step);
            continue;
        }
        // A driven output is pulled the other way through the box's weak port
        // level: the chip's output wins, where an output that is off would not.
        for (const Element& e : type.elements)
            for (int pin : {e.out, e.out2})
                if (pin > 0 && std::find(off.begin(), off.end(), pin) == off.end())
                    v.drive[static_cast<size_t>(pin)] = !v.expect[static_cast<size_t>(pin)];
        for (const Element& e : type.elements)
            for (int pin : e.outs)
                v.drive[static_cast<size_t>(pin)] = !v.expect[static_cast<size_t>(pin)];
        if (off.empty()) {
            vectors.push_back(v);
            behind.push_back(&step);
            continue;
        }
        // An output that is off follows the box both ways: pulled low it
        // reads low (no gate driving high), released it reads high (none
        // driving low).
        for (int pin : off)
            v.drive[static_cast<size_t>(pin)] = 0;
        vectors.push_back(v);
        for (int pin : off)
            v.drive[static_cast<size_t>(pin)] = v.expect[static_cast<size_t>(pin)] = 1;
        vectors.push_back(v);
        // Two vectors of one step: a repeat right after would replay half of it.
        behind.push_back(nullptr);
        behind.push_back(nullptr);
    }
    return vectors;
}

std::vector<uint8_t> typeRecord(const LogicType& type)
{
    const std::vector<ChipVector> vectors = chipVectors(type);
    if (vectors.empty() || vectors.size() > 255)
        throw std::logic_error(type.name + ": a record holds 1 to 255 vectors");
    std::vector<uint8_t> out;
    appendHeader(out, type.number, vectors.size());
    for (size_t i = 0; i < vectors.size(); ++i) {
        const size_t at = out.size();
        out.resize(at + 9, 0);
        if (vectors[i].repeat > 0) {
            if (i < 2 || vectors[i].repeat > 0xFFFF)
                throw std::logic_error(type.name + ": a repeat needs two vectors before it");
            out[at] = 0x40;
            out[at + 4] = static_cast<uint8_t>(vectors[i].repeat >> 8);
            out[at + 5] = static_cast<uint8_t>(vectors[i].repeat & 0xFF);
            continue;
        }
        out[at] = vectors[i].check ? 0x00 : 0x80;
        if (i == 0)
            appendPackage(out, at, type.pins);
        // Pins outside the chip and the ground bit are released and expected high.
        for (int pin = 9; pin <= 32; ++pin) {
            setBit(out, at + 3, pin, 1);
            setBit(out, at + 6, pin, 1);
        }
        for (int c = 1; c <= type.pins; ++c) {
            if (c == type.gndPin())
                continue;
            setBit(out, at + 3, socketPin(type, c), vectors[i].drive[static_cast<size_t>(c)]);
            setBit(out, at + 6, socketPin(type, c), vectors[i].expect[static_cast<size_t>(c)]);
        }
    }
    return out;
}

std::vector<uint8_t> buildLibrary(Series series)
{
    std::vector<uint8_t> out;
    // The search skips the first entry and the last two: a dummy first, and
    // two at the end whose one vector expects a low on pin 9, outside every
    // chip, where the pull-up always reads high.
    const auto dummy = [&out](int number, bool check) {
        appendHeader(out, number, 1);
        const size_t at = out.size();
        out.resize(at + 9, 0xFF);
        out[at] = check ? 0x00 : 0x80;
        out[at + 1] = 0x00;
        out[at + 2] = 0x40;
        out[at + 8] = 0xFE;
    };
    dummy(9990, false);
    for (const LogicType& t : logicTypes())
        if (t.series == series) {
            const auto r = typeRecord(t);
            out.insert(out.end(), r.begin(), r.end());
        }
    dummy(9998, true);
    dummy(9999, true);
    out.push_back('E');
    out.insert(out.end(), 6, 0x00);
    return out;
}

} // namespace pontvex::iclib

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
    };
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
        for (size_t i = 0; i < e.outs.size(); ++i)
            push(e.outs[i], (state.q >> i) & 1);
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
        for (size_t i = 0; i < 4; ++i)
            push(e.outs[i], (state.q >> i) & 1);
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
    case Op::Shift164: {
        const bool rose = state.clock == 0 && in[2] == 1;
        state.clock = in[2];
        if (in[3] == 0)
            state.q = 0;
        else if (rose)
            state.q = ((state.q << 1) | (in[0] & in[1])) & 0xFF;
        for (size_t i = 0; i < e.outs.size(); ++i)
            push(e.outs[i], (state.q >> i) & 1);
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
    for (const std::vector<int>& step : steps) {
        const int index = static_cast<int>(&step - steps.data());
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

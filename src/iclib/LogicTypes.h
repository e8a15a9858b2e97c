#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pontvex::iclib {

// The logic chips the tester knows, as their function tables give them. The
// library generator turns each into test vectors, and the simulator runs the
// same elements as chips, so a vector and a model can only agree when both
// follow the table.

enum class Op : uint8_t {
    Nand,
    Nor,
    And,
    Or,
    Xor,
    Not,
    BufOeLow,  // in = {A, /OE}: Y = A while /OE is low, else off
    BufOeHigh, // in = {A, OE}: Y = A while OE is high, else off
    DffLow,    // in = {D, CLK, /PRE, /CLR}; out = Q, out2 = /Q; both low: Q = /Q = 1
    DffHigh,   // in = {D, CLK, SET, RESET}; out = Q, out2 = /Q; both high: Q = /Q = 1
    // in = {CLK, EN, RESET}; outs = Q1..Q4. Counts on a rising CLK with EN
    // high or a falling EN with CLK low; RESET high clears.
    Counter16,
    Counter10,
};

// One gate or flip-flop of a package, in chip pin numbers.
struct Element {
    Op op;
    std::vector<int> in;
    int out = 0;
    int out2 = 0;
    std::vector<int> outs = {};
};

enum class Series : uint8_t { Ttl74 = 0, Cmos40 = 1, Cmos45 = 2 };

struct LogicType {
    Series series;
    int number;       // the library's type number: 138 for 74138, 11 for 4011
    int pins;         // 14, 16, 20 or 24; ground on pin pins/2, Vcc on pin pins
    std::string name; // "7400", "4011"
    std::vector<Element> elements;
    // Sequential types: the input levels, step by step, each step one list
    // of every element's inputs in Element::in order. The first step puts
    // every element into a known state.
    std::vector<std::vector<int>> steps;
    // Types whose vectors cannot tell them apart from this one (same function
    // on the same pins).
    std::vector<std::string> sameAs;

    int gndPin() const { return pins / 2; }
    int vccPin() const { return pins; }
    bool sequential() const { return !steps.empty(); }
};

// Every shipped type, series by series in library order.
const std::vector<LogicType>& logicTypes();
const LogicType* findLogicType(const std::string& name);
const char* seriesLibraryName(Series series);

// Output state of one element pin: driven level or off (three-state).
struct PinDrive {
    int pin = 0;
    int level = 1;
    bool driven = false;
};

// A flip-flop's stored bit; combinational elements keep none.
struct ElementState {
    int q = 0;
    int clock = 1;
    int enable = 0;
};

// The outputs of an element for its input levels (indexed like Element::in);
// a clock edge from state.clock to the new clock level updates state.
void evaluate(const Element& e, const std::vector<int>& inputs, ElementState& state,
              std::vector<PinDrive>& out);

// One test step at the chip's pins: levels driven (inputs; outputs given as 1)
// and levels expected (inputs as driven, outputs as the chip gives).
struct ChipVector {
    std::vector<int> drive;  // index = chip pin, 1..pins
    std::vector<int> expect; // index = chip pin
    bool check = true;
};

// The vectors of a type at its chip pins. Sequential types are simulated
// from both power-up states; a step whose outputs depend on that state is
// a fault of the table and throws std::logic_error.
std::vector<ChipVector> chipVectors(const LogicType& type);

// The library file of a series, in the tester's record format: a dummy
// 14-pin record first, the types, two never-passing records and the closing
// "E".
std::vector<uint8_t> buildLibrary(Series series);

// One record of a type: header and its vectors in socket layout.
std::vector<uint8_t> typeRecord(const LogicType& type);

} // namespace pontvex::iclib

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
    // Decoders, active-low outputs Y0.. in outs.
    Decoder42,  // in = {A, B, C, D}; outs 0..9
    Decoder138, // in = {A, B, C, G1, /G2A, /G2B}; outs Y0..Y7
    Decoder139, // in = {A, B, /G}; outs Y0..Y3
    // Multiplexers: select bits first, then the strobe, then the data.
    Mux151,     // in = {A, B, C, /G, D0..D7}; outs = {Y, W}
    Mux251,     // as 151, /OE off when high
    Mux153,     // in = {A, B, /G, C0..C3}; out = Y
    Mux253,     // as 153, /OE off when high
    Mux157,     // in = {S, /G, A, B}; out = Y
    Mux158,     // as 157, inverted
    Mux257,     // as 157, /OE off when high
    Adder283,   // in = {A1..A4, B1..B4, C0}; outs = {S1..S4, C4}
    Compare85,  // in = {A0..A3, B0..B3, IA<B, IA=B, IA>B}; outs = {A<B, A=B, A>B}
    Compare688, // in = {P0..P7, Q0..Q7, /G}; out = /(P=Q)
    // One bit of a register, rising clock; several share CLK and /CLR or /OE.
    DReg,     // in = {D, CLK, /CLR}; out = Q, out2 = /Q (0 when none)
    DRegOe,   // in = {D, CLK, /OE}; out = Q, off while /OE is high
    DLatchOe, // in = {D, LE, /OE}; Q follows D while LE is high, off while /OE is high
    Shift164, // in = {A, B, CLK, /CLR}; outs = QA..QH; A AND B shifts in on a rising CLK
    // in = {CLK, /CLR, /LOAD, ENP, ENT, A, B, C, D}; outs = {QA..QD, RCO};
    // the 161 clears at once, the 163 on the clock.
    Counter161,
    Counter163,
    // in = {CP0, /CP1, MR}; outs = {Q0..Q9, CO}: counts on a rising CP0 with
    // /CP1 low or a falling /CP1 with CP0 high; one Q high, CO high for 0..4.
    Decade4017,
    // 74xx, second set. The clock is always in[1].
    Jk107, // in = {J, CLK, K, /CLR}; falling CLK; out = Q, out2 = /Q
    Jk109, // in = {J, CLK, /K, /PRE, /CLR}; rising CLK; both low: Q = /Q = 1
    Jk112, // in = {J, CLK, K, /PRE, /CLR}; falling CLK; both low: Q = /Q = 1
    // in = {SH/LD, CLK, CLK INH, SER, A..H}; outs = {QH, /QH}; the clock is
    // CLK OR CLK INH; SH/LD low loads at once.
    Shift165,
    // in = {SH/LD, CLK, CLK INH, SER, /CLR, A..H}; out = QH; SH/LD low
    // loads on the clock, /CLR clears at once.
    Shift166,
    // in = {/LOAD, CLK, /CTEN, D/U, A..D}; outs = {QA..QD, MAX/MIN, /RCO}.
    Counter191,
    // in = {/LOAD, UP, DOWN, CLR, A..D}; outs = {QA..QD, /CO, /BO}; counts
    // up on a rising UP with DOWN high, down on a rising DOWN with UP high.
    Counter193,
    // in = {/CLR, CLK, S0, S1, SR, SL, A..D}; outs = QA..QD; S1 S0: hold,
    // shift right (towards QD), shift left, load.
    Shift194,
    // in = {SER, SRCLK, /SRCLR, RCLK, /OE}; outs = {QA..QH, QH'}; QA..QH
    // show the storage register, off while /OE is high.
    Shift595,
    // 4000 series, second set
    // in = {RESET, CLK}; outs = Q1.. (0 for a stage without a pin); counts on
    // a falling CLK, RESET high clears.
    RippleFall,
    // As RippleFall with the oscillator's inverters: in = {RESET, PHI_I},
    // out = /PHI_O (not PHI_I), out2 = PHI_O (as PHI_I).
    Osc4060,
    // in = {J, CLK, SET, RESET, K}; out = Q, out2 = /Q; rising CLK; SET and
    // RESET both high: Q = /Q = 1.
    Jk4027,
    // in = {X, Y, CONTROL}: while CONTROL is high a low on one side (from the
    // box, not from the switch) pulls the other side low.
    Switch4066,
    // in = {STROBE, CLK, DATA, OE}; outs = {Q1..Q8, QS, Q'S}: shifts on a
    // rising CLK, the store follows the register while STROBE is high, Q1..Q8
    // off while OE is low, Q'S takes QS on a falling CLK.
    Shift4094,
    // in = {PE, CLK, RESET, UP, /CI, P1..P4}; outs = {Q1..Q4, /CO}; counts on a
    // rising CLK while /CI is low; PE loads and RESET clears at once.
    UpDown4510,
    UpDown4516,
    // in = {A, B, C, D, LE, /BL, /LT}; outs = a..g: latched while LE is high;
    // 6 and 9 without tails, 10..15 blank.
    Seg4511,
    // in = {A, B, C, D, LD, BI, PH}; outs = a..g: latched while LD is low; 6
    // and 9 with tails, 10..15 and BI high blank; PH high inverts every segment.
    Seg4543,
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
    // A step {-n} is a repeat vector: the two steps before it n times more.
    // Leading steps applied without checking: a synchronous reset needs its
    // clock before the outputs are known.
    int uncheckedSteps = 0;

    int gndPin() const { return pins / 2; }
    int vccPin() const { return pins; }
    bool sequential() const { return !steps.empty(); }
};

// Every shipped type, series by series in library order.
const std::vector<LogicType>& logicTypes();
const LogicType* findLogicType(const std::string& name);
const char* seriesLibraryName(Series series);

// Types whose supply pins are not on the package corners the socket feeds:
// a record's Vcc pin follows from its package and ground is socket pin 20,
// the end of a row, so only a corner pin of the chip can sit on it.
struct UnfitType {
    Series series;
    int number;
    const char* name;
    int vccPin; // chip pins
    int gndPin;
};
const std::vector<UnfitType>& unfitTypes();

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
    // A repeat vector: the two vectors before it replayed this many times.
    int repeat = 0;
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

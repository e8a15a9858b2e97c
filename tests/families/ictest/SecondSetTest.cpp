// The second set of 74xx types against rows of their datasheets' function
// tables: the library's vectors and the chip models both come from these
// elements, so only a check against the datasheet catches a wrong one.
#include "iclib/LogicTypes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

using namespace pontvex::iclib;

namespace {

// Runs one element of a type through input steps from a given stored state
// and gives the levels (-1: off) of its output pins after the last one.
class Element1 {
public:
    Element1(const char* type, size_t element = 0)
        : e_(findLogicType(type)->elements.at(element)), state_{0, 0, 0}
    {
    }
    Element1& step(std::vector<int> in)
    {
        out_.clear();
        evaluate(e_, in, state_, out_);
        return *this;
    }
    int pin(int p) const
    {
        for (const PinDrive& d : out_)
            if (d.pin == p)
                return d.driven ? d.level : -1;
        ADD_FAILURE() << "no output on pin " << p;
        return -2;
    }

private:
    const Element& e_;
    ElementState state_;
    std::vector<PinDrive> out_;
};

} // namespace

TEST(SecondSet, JkFlipFlopsToggleOnTheirOwnEdgeAndHonourPresetAndClear)
{
    // 74107: J CLK K /CLR, Q on 3, /Q on 2; the falling clock counts.
    Element1 f107("74107");
    f107.step({0, 1, 0, 0});
    EXPECT_EQ(f107.pin(3), 0);
    f107.step({1, 1, 1, 1}).step({1, 0, 1, 1});
    EXPECT_EQ(f107.pin(3), 1) << "J = K = 1 toggles on the falling edge";
    f107.step({1, 1, 1, 1});
    EXPECT_EQ(f107.pin(3), 1) << "the rising edge changes nothing";
    f107.step({1, 0, 1, 1});
    EXPECT_EQ(f107.pin(3), 0);
    EXPECT_EQ(f107.pin(2), 1);

    // 74109: J CLK /K /PRE /CLR; J /K = 1 0 toggles, 0 1 holds on the rising clock.
    Element1 f109("74109");
    f109.step({0, 0, 1, 1, 0}).step({1, 0, 0, 1, 1}).step({1, 1, 0, 1, 1});
    EXPECT_EQ(f109.pin(6), 1);
    f109.step({0, 0, 1, 1, 1}).step({0, 1, 1, 1, 1});
    EXPECT_EQ(f109.pin(6), 1) << "J = 0, /K = 1 holds";
    f109.step({0, 0, 0, 1, 1}).step({0, 1, 0, 1, 1});
    EXPECT_EQ(f109.pin(6), 0) << "J = 0, /K = 0 resets";
    f109.step({0, 1, 0, 0, 0});
    EXPECT_EQ(f109.pin(6), 1);
    EXPECT_EQ(f109.pin(7), 1) << "preset and clear together: both outputs high";

    // 74112: J CLK K /PRE /CLR, falling clock; the second flip-flop's /Q is pin 7.
    Element1 f112("74112", 1);
    f112.step({0, 1, 0, 0, 1});
    EXPECT_EQ(f112.pin(9), 1);
    f112.step({0, 1, 1, 1, 1}).step({0, 0, 1, 1, 1});
    EXPECT_EQ(f112.pin(9), 0);
    EXPECT_EQ(f112.pin(7), 1);
}

TEST(SecondSet, ParallelInShiftRegistersLoadAsTheirDatasheetsSay)
{
    // 74165: SH/LD CLK INH SER A..H; a low SH/LD loads at once, QH on 9, /QH on 7.
    Element1 r165("74165");
    r165.step({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1});
    EXPECT_EQ(r165.pin(9), 1);
    EXPECT_EQ(r165.pin(7), 0);
    r165.step({1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0}).step({1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0});
    EXPECT_EQ(r165.pin(9), 0) << "G shifted into H";
    r165.step({1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 1, 0}).step({1, 0, 1, 0, 0, 0, 0, 0, 0, 0, 1, 0});
    r165.step({1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 1, 0});
    EXPECT_EQ(r165.pin(9), 0) << "CLK INH high holds";

    // 74166: SH/LD CLK INH SER /CLR A..H; the load waits for the clock.
    Element1 r166("74166");
    r166.step({0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 1});
    EXPECT_EQ(r166.pin(13), 0) << "a synchronous load: nothing before the clock";
    r166.step({0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 1});
    EXPECT_EQ(r166.pin(13), 1);
    r166.step({0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1});
    EXPECT_EQ(r166.pin(13), 0) << "/CLR clears at once";
}

TEST(SecondSet, UpDownCountersCountAndFlagTheirEnds)
{
    // 74191: /LOAD CLK /CTEN D/U A..D; MAX/MIN on 12, /RCO on 13.
    Element1 c191("74191");
    c191.step({0, 0, 0, 0, 1, 1, 1, 0}).step({1, 0, 0, 0, 1, 1, 1, 0});
    EXPECT_EQ(c191.pin(7), 0);
    c191.step({1, 1, 0, 0, 1, 1, 1, 0});
    EXPECT_EQ(c191.pin(7), 1) << "7 + 1 = 8";
    c191.step({1, 1, 0, 1, 0, 0, 0, 0}).step({1, 0, 0, 1, 0, 0, 0, 0});
    for (int i = 0; i < 8; ++i)
        c191.step({1, 1, 0, 1, 0, 0, 0, 0}).step({1, 0, 0, 1, 0, 0, 0, 0});
    EXPECT_EQ(c191.pin(12), 1) << "down to 0";
    EXPECT_EQ(c191.pin(13), 0) << "/RCO low while the clock is low";
    c191.step({1, 1, 0, 1, 0, 0, 0, 0});
    EXPECT_EQ(c191.pin(3), 1) << "0 - 1 = 15";
    EXPECT_EQ(c191.pin(13), 1);

    // 74193: /LOAD UP DOWN CLR A..D; /CO on 12, /BO on 13.
    Element1 c193("74193");
    c193.step({0, 1, 1, 0, 1, 1, 1, 1});
    EXPECT_EQ(c193.pin(12), 1);
    c193.step({1, 0, 1, 0, 1, 1, 1, 1});
    EXPECT_EQ(c193.pin(12), 0) << "15 with UP low";
    c193.step({1, 1, 1, 0, 1, 1, 1, 1});
    EXPECT_EQ(c193.pin(3), 0) << "15 + 1 = 0";
    c193.step({1, 1, 0, 0, 1, 1, 1, 1});
    EXPECT_EQ(c193.pin(13), 0) << "0 with DOWN low";
    c193.step({0, 1, 0, 1, 1, 1, 1, 1});
    EXPECT_EQ(c193.pin(7), 0) << "CLR beats /LOAD";
}

TEST(SecondSet, UniversalAndLatchedShiftRegisters)
{
    // 74194: /CLR CLK S0 S1 SR SL A..D; QA 15 .. QD 12.
    Element1 s194("74194");
    s194.step({0, 1, 0, 0, 0, 0, 0, 0, 0, 0}).step({1, 0, 1, 0, 1, 0, 0, 0, 0, 0});
    s194.step({1, 1, 1, 0, 1, 0, 0, 0, 0, 0});
    EXPECT_EQ(s194.pin(15), 1) << "shift right: SR into QA";
    s194.step({1, 0, 0, 1, 0, 0, 0, 0, 0, 0}).step({1, 1, 0, 1, 0, 1, 0, 0, 0, 0});
    EXPECT_EQ(s194.pin(12), 1) << "shift left: SL into QD";
    EXPECT_EQ(s194.pin(15), 0);

    // 74595: SER SRCLK /SRCLR RCLK /OE; QA 15, QH' 9.
    Element1 s595("74595");
    s595.step({1, 0, 1, 0, 0}).step({1, 1, 1, 0, 0});
    EXPECT_EQ(s595.pin(15), 0) << "the outputs wait for RCLK";
    s595.step({1, 1, 1, 1, 0});
    EXPECT_EQ(s595.pin(15), 1);
    s595.step({1, 1, 1, 1, 1});
    EXPECT_EQ(s595.pin(15), -1) << "/OE high: off";
    for (int i = 0; i < 7; ++i)
        s595.step({1, 0, 1, 1, 1}).step({1, 1, 1, 1, 1});
    EXPECT_EQ(s595.pin(9), 1) << "QH' is driven while the outputs are off";
    s595.step({1, 1, 0, 1, 0});
    EXPECT_EQ(s595.pin(9), 0) << "/SRCLR clears the shift register";
    EXPECT_EQ(s595.pin(15), 1) << "and not the storage register";
}

TEST(SecondSet, NoStepMovesAClockTogetherWithAnotherInput)
{
    // The box writes a vector's ports one after another: a clock changed in
    // the same step as its data would see either.
    const std::map<std::string, std::vector<size_t>> clocks = {
        {"74107", {1}}, {"74109", {1}},    {"74112", {1}}, {"74165", {1, 2}}, {"74166", {1, 2}},
        {"74191", {1}}, {"74193", {1, 2}}, {"74194", {1}}, {"74595", {1, 3}},
    };
    for (const auto& [name, inputs] : clocks) {
        const LogicType& type = *findLogicType(name);
        ASSERT_TRUE(type.sequential()) << name;
        for (size_t i = 1; i < type.steps.size(); ++i) {
            int changes = 0;
            bool clock = false;
            for (size_t j = 0; j < type.steps[i].size(); ++j)
                if (type.steps[i][j] != type.steps[i - 1][j]) {
                    ++changes;
                    clock = clock || std::find(inputs.begin(), inputs.end(), j) != inputs.end();
                }
            EXPECT_FALSE(clock && changes > 1) << name << " step " << i;
        }
    }
}

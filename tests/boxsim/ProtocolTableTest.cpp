// The one command table against the simulated box and the link: every byte the
// box executes is a row and every row is executed as the row says.

#include "BoxTestSupport.h"

#include "link/BoxCommands.h"

#include <set>

namespace pontvex::boxsim {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(ProtocolTable, RowsAreOrderedRunsWithoutOverlapAndUseEveryAction)
{
    int previous = -1;
    std::set<BoxAction> actions;
    for (const BoxCommand& row : boxCommands()) {
        EXPECT_GT(row.first, previous) << row.name;
        EXPECT_LE(row.first, row.last) << row.name;
        previous = row.last;
        EXPECT_NE(std::string(row.name), "");
        EXPECT_NE(std::string(row.description), "");
        EXPECT_GE(row.replies, 0) << row.name;
        EXPECT_TRUE(row.operands >= 0 || row.operands == kPageLengthOperands) << row.name;
        for (int c = row.first; c <= row.last; ++c) {
            EXPECT_EQ(findBoxCommand(static_cast<uint8_t>(c)), &row) << c;
        }
        actions.insert(row.action);
    }
    // An action no row names would be a branch of the simulator nothing reaches.
    EXPECT_EQ(actions.size(), static_cast<size_t>(BoxAction::SerialNumber) + 1);
}

TEST(ProtocolTable, TheBoxExecutesExactlyTheRowsWithTheirOperandAndReplyCounts)
{
    for (int c = 0; c < 256; ++c) {
        const auto command = static_cast<uint8_t>(c);
        const BoxCommand* row = findBoxCommand(command);
        Box box;
        box.feed({131, 3}); // page length for the commands whose data follow them
        Bytes in{command};
        if (row) {
            const int operands = row->operands == kPageLengthOperands ? 3 : row->operands;
            in.insert(in.end(), static_cast<size_t>(operands), 0x00);
        }
        // A status request right after proves the operands were all taken.
        in.push_back(7);
        const Bytes out = box.feed(std::span<const uint8_t>(in));
        ASSERT_FALSE(out.empty()) << c;
        EXPECT_EQ(out.back() & 0x3F, 37) << "command " << c;
        const bool undefined =
            box.errorReport().find("undefined command byte " + std::to_string(c) + "\n") != std::string::npos;
        if (!row) {
            EXPECT_TRUE(undefined) << "the box executes byte " << c << ", which the table does not know";
            EXPECT_EQ(out.size(), 1u) << c;
            EXPECT_EQ(describeBoxCommand(command, {}), "undefined command " + std::to_string(c));
            continue;
        }
        EXPECT_EQ(box.errorReport(), "") << row->name << " " << c;
        EXPECT_EQ(out.size(), static_cast<size_t>(row->replies + 1)) << row->name << " " << c;
        EXPECT_EQ(box.shape(command).replies, row->replies) << c;
        EXPECT_EQ(describeBoxCommand(command, {}).find("undefined"), std::string::npos) << c;
    }
}

TEST(ProtocolTable, TheLinkWaitsBehindExactlyTheLongRows)
{
    std::set<int> long_;
    for (int c = 0; c < 256; ++c) {
        const BoxCommand* row = findBoxCommand(static_cast<uint8_t>(c));
        EXPECT_EQ(ProgrammerLink::IsLongCommand(static_cast<uint8_t>(c)), row && row->longCommand) << c;
        if (row && row->longCommand) {
            long_.insert(c);
        }
    }
    // The firmware commands that keep the box busy: blank check, sum, the
    // program commands, page and block writes.
    EXPECT_EQ(long_, (std::set<int>{129, 130, 136, 137, 140, 141, 142, 143, 144, 145, 146, 150}));
}

TEST(ProtocolTable, TraceTextsOfRunsAndOperands)
{
    const uint8_t one[] = {0xC2};
    const uint8_t two[] = {0x20, 0xD0};
    EXPECT_EQ(describeBoxCommand(3, {}), "read port 2");
    EXPECT_EQ(describeBoxCommand(10, one), "pin latch 2 := C2");
    EXPECT_EQ(describeBoxCommand(10, {}), "pin latch 2 := ??");
    EXPECT_EQ(describeBoxCommand(71, {}), "driver off pin 40");
    EXPECT_EQ(describeBoxCommand(80, {}), "driver on pin 1");
    EXPECT_EQ(describeBoxCommand(143, one), "program EPROM byte C2 (strobe of 143)");
    EXPECT_EQ(describeBoxCommand(133, two), "two command cycles 20 D0");
    EXPECT_EQ(describeBoxCommand(136, two), "page write, 2 bytes");
    EXPECT_EQ(describeBoxCommand(170, two), "family command 170 20 D0");
    EXPECT_EQ(describeBoxCommand(160, {}), "family command 160");
    EXPECT_EQ(boxCommandName(3), "ReadPort (command 3)");
    EXPECT_THROW(boxCommand(6), LinkMisuse);
}

} // namespace
} // namespace pontvex::boxsim

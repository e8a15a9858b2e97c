#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>

namespace pontvex {

// What the box does with a command. The link does not care; the box simulator
// dispatches on it, so every action here is one branch there.
enum class BoxAction : uint8_t {
    PowerDown,
    ReadPort,
    Status,
    WritePinLatch,
    Identity,
    WritePort,
    WriteAux,
    WriteVppRouteA,
    WriteVppRouteB,
    WriteVccRouteA,
    WriteVccGndRoute,
    NoOperation,
    DriverOff,
    DriverOn,
    ReadData,
    BlankCheck,
    Sum,
    PageLength,
    PulseParameter,
    TwoCommandCycles,
    PageWriteMode,
    PageData,
    ProgramFlashStatus,
    WriteCycle2AAA,
    WriteCycle5555,
    ProgramEprom,
    ProgramFlash,
    StepAddress,
    ReadPort0Pins,
    WritePort0Pins,
    ReadLowPins,
    WriteLowPins,
    TwoWireByte,
    ChipModel, // a chip's own firmware routine: only the chip model can answer
    SerialNumber,
};

// The box's input buffer, in bytes: it has no flow control, so a byte that
// arrives while the buffer is full is lost. The real buffer's size is not
// documented; 16 is the design limit the link keeps to and the simulator
// models.
constexpr std::size_t kBoxInputBuffer = 16;

// The operand count of the commands whose data follow them: as many bytes as
// the page length set with command 131 (0 meaning 256).
constexpr int kPageLengthOperands = -1;

// One row of the box's command table: a command byte, or a run of command
// bytes that differ only by an index (read port 0..4, driver off pin 1..40).
struct BoxCommand {
    uint8_t first;
    uint8_t last;
    const char* name;
    int operands; // or kPageLengthOperands
    int replies;
    // Keeps the box busy for long: it does not read its input meanwhile, so
    // what is sent after it waits in the box's input buffer until its reply.
    bool longCommand;
    BoxAction action;
    // The trace's text. {i} is the index in the run (command - first), {p} the
    // pin (index + 1), {c} the command byte in decimal, {0} and {1} the
    // operands in hex ("??" when missing), {n} the operand count and {ops} " XX"
    // per operand.
    const char* description;
};

// Every command the box knows, in command order.
std::span<const BoxCommand> boxCommands();
// The row of a command byte, or null for a byte that is no command.
const BoxCommand* findBoxCommand(uint8_t command);
// The row of a command byte; a byte that is no command is a programming error.
const BoxCommand& boxCommand(uint8_t command);
// The trace's text for a command and its operands; "undefined command N" for a
// byte that is no command.
std::string describeBoxCommand(uint8_t command, std::span<const uint8_t> operands);
// "ReadPort (command 3)": how an error names a command.
std::string boxCommandName(uint8_t command);

// A command sent where the protocol allows none (an undefined byte as a
// command, a blocking read while queued replies are still owed). Raised by
// program errors only; tests make it fail loudly.
class LinkMisuse : public std::logic_error {
public:
    using std::logic_error::logic_error;
};

} // namespace pontvex

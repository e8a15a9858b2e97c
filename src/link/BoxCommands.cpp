#include "link/BoxCommands.h"

#include <array>
#include <cstdio>

namespace pontvex {

namespace {

using A = BoxAction;
constexpr int kPage = kPageLengthOperands;

// The box's command table, written once: the link takes its long-command flag
// from here, the simulator its operand and reply counts, its dispatch and its
// trace text.
constexpr BoxCommand kCommands[] = {
    {0, 0, "PowerDown", 0, 0, false, A::PowerDown, "power down"},
    {1, 5, "ReadPort", 0, 1, false, A::ReadPort, "read port {i}"},
    {7, 7, "Status", 0, 1, false, A::Status, "status"},
    {8, 14, "WritePinLatch", 1, 0, false, A::WritePinLatch, "pin latch {i} := {0}"},
    {15, 15, "Identity", 0, 9, false, A::Identity, "identity"},
    {16, 20, "WriteLatch", 1, 0, false, A::WritePort, "port {i} := {0}"},
    {22, 22, "WriteAux", 1, 0, false, A::WriteAux, "aux := {0}"},
    {24, 24, "VppRouteA", 1, 0, false, A::WriteVppRouteA, "Vpp route A := {0}"},
    {25, 25, "VppRouteB", 1, 0, false, A::WriteVppRouteB, "Vpp route B := {0}"},
    {26, 26, "VccRouteA", 1, 0, false, A::WriteVccRouteA, "Vcc route A := {0}"},
    {27, 27, "VccGndRoute", 1, 0, false, A::WriteVccGndRoute, "Vcc/GND route := {0}"},
    {30, 30, "NoOperation", 0, 0, false, A::NoOperation, "no-op"},
    {31, 31, "FloatPin0", 0, 0, false, A::NoOperation, "driver off pin 0 (nothing)"},
    {32, 71, "FloatPin", 0, 0, false, A::DriverOff, "driver off pin {p}"},
    {79, 79, "DrivePin0", 0, 0, false, A::NoOperation, "driver on pin 0 (nothing)"},
    {80, 119, "DrivePin", 0, 0, false, A::DriverOn, "driver on pin {p}"},
    {128, 128, "ReadDataByte", 0, 1, false, A::ReadData, "read data, step address"},
    {129, 129, "BlankCheck256", 0, 2, true, A::BlankCheck, "blank check 256"},
    {130, 130, "Sum256", 0, 2, true, A::Sum, "sum 256"},
    {131, 131, "SetPageLength", 1, 0, false, A::PageLength, "page length := {0}"},
    {132, 132, "SetPulseLength", 1, 0, false, A::PulseParameter, "pulse parameter := {0}"},
    {133, 133, "TwoCommandCycles", 2, 0, false, A::TwoCommandCycles, "two command cycles {0} {1}"},
    {135, 135, "SetPageWriteMode", 1, 0, false, A::PageWriteMode, "page-write mode := {0}"},
    {136, 136, "PageWrite", kPage, 0, true, A::PageData, "page write, {n} bytes"},
    {137, 137, "ProgramFlashStatus", 1, 1, true, A::ProgramFlashStatus, "program flash byte {0} (status)"},
    {138, 138, "WriteCycle2AAA", 1, 0, false, A::WriteCycle2AAA, "write cycle {0} at 2AAA"},
    {139, 139, "WriteCycle5555", 1, 0, false, A::WriteCycle5555, "write cycle {0} at 5555"},
    {140, 144, "ProgramEpromByte", 1, 1, true, A::ProgramEprom, "program EPROM byte {0} (strobe of {c})"},
    {145, 145, "ProgramFlashByte", 1, 1, true, A::ProgramFlash, "program flash byte {0}"},
    {146, 146, "PageBlock146", kPage, 0, true, A::PageData, "page block (146), {n} bytes"},
    {147, 147, "StepAddress", 0, 0, false, A::StepAddress, "step address"},
    {150, 150, "PageBlock150", kPage, 0, true, A::PageData, "page block (150), {n} bytes"},
    {160, 160, "ReadPort0Pins", 0, 1, false, A::ReadPort0Pins, "family command {c}{ops}"},
    {161, 161, "WritePort0Pins", 1, 0, false, A::WritePort0Pins, "family command {c}{ops}"},
    {165, 165, "ReadLowPins", 0, 1, false, A::ReadLowPins, "family command {c}{ops}"},
    {166, 166, "WriteLowPins", 1, 0, false, A::WriteLowPins, "family command {c}{ops}"},
    {167, 167, "Family167", 0, 1, false, A::ChipModel, "family command {c}{ops}"},
    {168, 168, "Family168", 1, 0, false, A::ChipModel, "family command {c}{ops}"},
    {169, 169, "Family169", 1, 2, false, A::ChipModel, "family command {c}{ops}"},
    {170, 170, "Family170", 3, 0, false, A::ChipModel, "family command {c}{ops}"},
    {171, 171, "Family171", 2, 0, false, A::ChipModel, "family command {c}{ops}"},
    {172, 172, "Family172", 0, 2, false, A::ChipModel, "family command {c}{ops}"},
    {173, 173, "Family173", 2, 0, false, A::ChipModel, "family command {c}{ops}"},
    {174, 174, "Family174", 0, 2, false, A::ChipModel, "family command {c}{ops}"},
    {176, 176, "TwoWireByte", 1, 0, false, A::TwoWireByte, "family command {c}{ops}"},
    {177, 177, "Family177", 1, 0, false, A::ChipModel, "family command {c}{ops}"},
    {178, 178, "Family178", 0, 1, false, A::ChipModel, "family command {c}{ops}"},
    {184, 184, "SerialNumber", 0, 16, false, A::SerialNumber, "serial number"},
};

constexpr int kNoRow = -1;

constexpr std::array<int, 256> makeIndex()
{
    std::array<int, 256> index{};
    index.fill(kNoRow);
    for (int row = 0; row < static_cast<int>(std::size(kCommands)); ++row) {
        for (int c = kCommands[row].first; c <= kCommands[row].last; ++c) {
            index[static_cast<size_t>(c)] = row;
        }
    }
    return index;
}

constexpr std::array<int, 256> kIndex = makeIndex();

std::string hex2(uint8_t v)
{
    char buf[4];
    std::snprintf(buf, sizeof buf, "%02X", v);
    return buf;
}

} // namespace

std::span<const BoxCommand> boxCommands()
{
    return kCommands;
}

const BoxCommand* findBoxCommand(uint8_t command)
{
    const int row = kIndex[command];
    return row == kNoRow ? nullptr : &kCommands[row];
}

const BoxCommand& boxCommand(uint8_t command)
{
    const BoxCommand* row = findBoxCommand(command);
    if (!row) {
        throw LinkMisuse("byte " + std::to_string(command) + " is no command of the box");
    }
    return *row;
}

std::string boxCommandName(uint8_t command)
{
    const BoxCommand* row = findBoxCommand(command);
    return std::string(row ? row->name : "undefined") + " (command " + std::to_string(command) + ")";
}

std::string describeBoxCommand(uint8_t command, std::span<const uint8_t> operands)
{
    const BoxCommand* row = findBoxCommand(command);
    if (!row) {
        return "undefined command " + std::to_string(command);
    }
    const std::string_view text = row->description;
    std::string out;
    for (size_t at = 0; at < text.size();) {
        if (text[at] != '{') {
            out += text[at++];
            continue;
        }
        const size_t end = text.find('}', at);
        const std::string_view key = text.substr(at + 1, end - at - 1);
        at = end + 1;
        const int index = command - row->first;
        if (key == "i") {
            out += std::to_string(index);
        } else if (key == "p") {
            out += std::to_string(index + 1);
        } else if (key == "c") {
            out += std::to_string(command);
        } else if (key == "n") {
            out += std::to_string(operands.size());
        } else if (key == "ops") {
            for (uint8_t b : operands) {
                out += " " + hex2(b);
            }
        } else {
            const size_t i = static_cast<size_t>(key[0] - '0');
            out += i < operands.size() ? hex2(operands[i]) : std::string("??");
        }
    }
    return out;
}

} // namespace pontvex

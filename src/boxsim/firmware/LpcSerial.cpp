#include "boxsim/Box.h"

namespace pontvex::boxsim {

bool Box::lpcCommand(uint8_t command, std::span<const uint8_t> operands, std::vector<uint8_t>& reply)
{
    (void)command;
    (void)operands;
    (void)reply;
    return false; // not built yet
}

} // namespace pontvex::boxsim

#include "boxsim/Box.h"

namespace pontvex::boxsim {

bool Box::serialCommand(uint8_t command, std::span<const uint8_t> operands, std::vector<uint8_t>& reply)
{
    switch (command) {
    case 167:
        return prog97Command(reply);
    case 168:
    case 169:
    case 170:
        return picCommand(command, operands, reply);
    case 177:
    case 178:
        return lpcCommand(command, operands, reply);
    default:
        return false;
    }
}

} // namespace pontvex::boxsim

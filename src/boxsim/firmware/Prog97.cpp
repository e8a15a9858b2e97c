#include "boxsim/Box.h"

namespace pontvex::boxsim {

bool Box::prog97Command(std::vector<uint8_t>& reply)
{
    (void)reply;
    return false; // not built yet
}

} // namespace pontvex::boxsim

#include "boxsim/chips/PicSerialCore.h"
#include "boxsim/chips/Registry.h"

#include <memory>

namespace pontvex::boxsim {

namespace {

// DIP18 16F8x: MCLR 4, Vss 5, RB6 12, RB7 13, Vdd 14.
constexpr PicPins kDip18{4, 14, 5, 12, 13};

// PIC16F84A: 1K words of flash, 64 bytes of data EEPROM; configuration bits
// 13..4 are one code-protection field (0 = protected), PWRTE 3, WDTE 2, FOSC
// 1..0; device ID 0x0560 + revision at 0x2006; a cell's erase/write takes
// 4 ms, a bulk erase 10 ms.
PicDevice pic16F84A()
{
    return {"PIC16F84A",        18,   kDip18, 1024, 64, 0x3FFF, 0x3FF0, 0x0560,
            pic16F8xCommands(), 4000, 10000,  false};
}

} // namespace

void addPicOffers(std::vector<ChipOffer>& offers)
{
    offers.push_back({"PIC16F84A", {{"P16C84", 5}}, "PIC16F84A flash PIC, serial programming on RB6/RB7", [] {
                          return std::make_unique<PicSerialCore>(pic16F84A());
                      }});
}

} // namespace pontvex::boxsim

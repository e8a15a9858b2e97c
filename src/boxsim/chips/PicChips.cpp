#include "boxsim/chips/PicSerialCore.h"
#include "boxsim/chips/Registry.h"

#include <memory>

namespace pontvex::boxsim {

namespace {

// DIP18 16C8x/16F8x: MCLR 4, Vss 5, RB6 12, RB7 13, Vdd 14.
constexpr PicPins kDip18{4, 14, 5, 12, 13};
// DIP28 16F873/876: MCLR 1, Vss 19 (and 8), Vdd 20, RB6 27, RB7 28.
constexpr PicPins kDip28{1, 20, 19, 27, 28};
// DIP40 16F874/877: MCLR 1, Vss 31 (and 12), Vdd 32 (and 11), RB6 39, RB7 40.
constexpr PicPins kDip40{1, 32, 31, 39, 40};

// Flash 16F83/84/84A: configuration bits 13..4 are one code-protection field
// (0 = protected), PWRTE 3 (0 = timer on), WDTE 2, FOSC 1..0; 64 bytes of
// data EEPROM; a cell's erase/write 4 ms, a bulk erase 10 ms. Only the 84A
// has a device ID (0x0560 + revision at 0x2006).
PicDevice pic16F8x(std::string name, uint32_t words, uint16_t deviceId)
{
    return {std::move(name),    18,   kDip18, words, 64, 0x3FFF, 0x3FF0, deviceId,
            pic16F8xCommands(), 4000, 10000,  false};
}

// EEPROM 16C84: bits 13..5 are not there and read 1; CP is bit 4 alone,
// PWRTE 3 is active high; program memory is EEPROM, so every begin command
// erases the cell before it writes (there is no program-only cycle); 64
// bytes of data EEPROM. The 16C83 and 16C86 rows are the same part with the
// row's program size.
PicDevice pic16C8x(std::string name, uint32_t words)
{
    return {std::move(name),    18,   kDip18, words, 64, 0x001F, 0x0010, 0,
            pic16C84Commands(), 4000, 10000,  false};
}

// Flash 16F87x: CP1:CP0 in bits 13:12 and again in 5:4 (00 = all
// protected), DEBUG 11, bit 10 not there, WRT 9, CPD 8 (data EEPROM
// protected when 0), LVP 7, BODEN 6, PWRTE 3, WDTE 2, FOSC 1..0; device IDs
// 0x0960 (873), 0x0920 (874), 0x09E0 (876), 0x09A0 (877) at 0x2006; an
// erase/program cycle 4 ms, a chip erase 8 ms.
PicDevice pic16F87x(std::string name, int pins, PicPins map, uint32_t words, uint32_t eeprom,
                    uint16_t deviceId)
{
    PicDevice d{std::move(name),     pins, map,  words, eeprom, 0x3BFF, 0x3030, deviceId,
                pic16F87xCommands(), 4000, 8000, false};
    d.dataProtectMask = 0x0100;
    return d;
}

template <class Make>
ChipOffer offer(std::string name, std::vector<ChipRow> rows, std::string what, Make make)
{
    return {std::move(name), std::move(rows), std::move(what),
            [make] { return std::make_unique<PicSerialCore>(make()); }};
}

} // namespace

void addPicOffers(std::vector<ChipOffer>& offers)
{
    const std::string serial = ", serial programming on RB6/RB7";
    offers.push_back(offer("PIC16F84A", {{"P16C84", 5}, {"P16C84", 2}}, "PIC16F84A flash PIC" + serial,
                           [] { return pic16F8x("PIC16F84A", 1024, 0x0560); }));
    offers.push_back(offer("PIC16F84", {{"P16C84", 5}, {"P16C84", 2}}, "PIC16F84 flash PIC" + serial,
                           [] { return pic16F8x("PIC16F84", 1024, 0); }));
    offers.push_back(offer("PIC16F83", {{"P16C84", 4}}, "PIC16F83 flash PIC" + serial,
                           [] { return pic16F8x("PIC16F83", 512, 0); }));
    offers.push_back(offer("PIC16C84", {{"P16C84", 2}}, "PIC16C84 EEPROM PIC" + serial,
                           [] { return pic16C8x("PIC16C84", 1024); }));
    offers.push_back(offer("PIC16C83", {{"P16C84", 1}}, "PIC16C83 EEPROM PIC, 512 words" + serial,
                           [] { return pic16C8x("PIC16C83", 512); }));
    offers.push_back(offer("PIC16C86", {{"P16C84", 3}, {"P16C84", 6}},
                           "PIC16C86 EEPROM PIC, 2K words" + serial,
                           [] { return pic16C8x("PIC16C86", 2048); }));
    offers.push_back(offer("PIC16F873", {{"P16C84", 7}}, "PIC16F873 flash PIC, DIP28" + serial,
                           [] { return pic16F87x("PIC16F873", 28, kDip28, 4096, 128, 0x0960); }));
    offers.push_back(offer("PIC16F874", {{"P16C84", 8}}, "PIC16F874 flash PIC, DIP40" + serial,
                           [] { return pic16F87x("PIC16F874", 40, kDip40, 4096, 128, 0x0920); }));
    offers.push_back(offer("PIC16F876", {{"P16C84", 9}}, "PIC16F876 flash PIC, DIP28" + serial,
                           [] { return pic16F87x("PIC16F876", 28, kDip28, 8192, 256, 0x09E0); }));
    offers.push_back(offer("PIC16F877", {{"P16C84", 10}}, "PIC16F877 flash PIC, DIP40" + serial,
                           [] { return pic16F87x("PIC16F877", 40, kDip40, 8192, 256, 0x09A0); }));
}

} // namespace pontvex::boxsim

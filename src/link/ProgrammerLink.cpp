#include "link/ProgrammerLink.h"

#include <array>

namespace pontvex {

namespace {

const char* const kNoProgrammer = "Программатор отсутствует!\n\nПродолжать ?    ";
const char* const kRaisedSupplyFirmware = "kelm3v52";
const char* const kDeviceListFirmware = "kelu3v13";

constexpr std::array<uint8_t, 256> makeBitReverseTable()
{
    std::array<uint8_t, 256> table{};
    for (int i = 0; i < 256; ++i) {
        int r = 0;
        for (int bit = 0; bit < 8; ++bit) {
            if (i & (1 << bit)) {
                r |= 0x80 >> bit;
            }
        }
        table[i] = static_cast<uint8_t>(r);
    }
    return table;
}

constexpr std::array<uint8_t, 256> kBitReverseTable = makeBitReverseTable();

// Where a pin lives in the pin latches: latch index and bit, or latch -1.
struct LatchBit {
    int latch;
    int bit;
};

LatchBit pinLatchBit(int pin)
{
    if (pin >= 1 && pin <= 8) {
        return {5, pin - 1};
    }
    if (pin >= 9 && pin <= 16) {
        return {1, pin - 9};
    }
    if (pin >= 17 && pin <= 19) {
        return {3, pin - 17};
    }
    if (pin == 20) {
        return {6, 7};
    }
    if (pin >= 21 && pin <= 25) {
        return {3, pin - 18};
    }
    if (pin >= 26 && pin <= 31) {
        return {0, pin - 26};
    }
    if (pin >= 32 && pin <= 33) {
        return {4, pin - 32};
    }
    if (pin >= 34 && pin <= 39) {
        return {2, pin - 34};
    }
    if (pin == 40) {
        return {6, 6};
    }
    return {-1, 0};
}

// Vpp switches: route A (command 24) and route B (command 25) bits per pin.
LatchBit vppSwitch(int pin)
{
    switch (pin) {
    case 1:
        return {0, 0};
    case 5:
        return {0, 1};
    case 7:
        return {0, 2};
    case 9:
        return {0, 3};
    case 10:
        return {0, 4};
    case 11:
        return {0, 5};
    case 12:
        return {0, 6};
    case 15:
        return {0, 7};
    case 20:
        return {1, 0};
    case 28:
        return {1, 1};
    case 29:
        return {1, 2};
    case 30:
        return {1, 3};
    case 31:
        return {1, 4};
    case 34:
        return {1, 5};
    case 40:
        return {1, 6};
    default:
        return {-1, 0};
    }
}

// Vcc switches (active low): route A (command 26) or the Vcc/GND route (27).
LatchBit vccSwitch(int pin)
{
    switch (pin) {
    case 8:
        return {0, 0};
    case 17:
        return {0, 1};
    case 25:
        return {0, 2};
    case 27:
        return {0, 3};
    case 28:
        return {0, 4};
    case 30:
        return {0, 5};
    case 32:
        return {0, 6};
    case 34:
        return {0, 7};
    case 36:
        return {1, 0};
    case 40:
        return {1, 1};
    case 26:
        return {1, 2};
    default:
        return {-1, 0};
    }
}

// Ground switches (active high) in bits 3..7 of the Vcc/GND route.
int gndBit(int pin)
{
    switch (pin) {
    case 25:
        return 3;
    case 10:
        return 4;
    case 16:
        return 5;
    case 20:
        return 6;
    case 31:
        return 7;
    default:
        return -1;
    }
}

uint8_t withBit(uint8_t value, int bit, bool set)
{
    const auto mask = static_cast<uint8_t>(1u << bit);
    return set ? static_cast<uint8_t>(value | mask) : static_cast<uint8_t>(value & ~mask);
}

} // namespace

ProgrammerLink::ProgrammerLink() : Connection(static_cast<ByteLink&>(*this), [this] { bringToIdle(); }) {}

ProgrammerLink::~ProgrammerLink() = default;

ProgrammerLink& ProgrammerLink::instance()
{
    static ProgrammerLink link;
    return link;
}

// The idle state of a box that has just answered; the connection sends it.
void ProgrammerLink::bringToIdle()
{
    SetVppVoltage(0);
    RouteVpp(0);
    RouteVcc(0);
    RouteGnd(0);
    WriteAllLatches(0);
    SetAuxSelect(0);
    SetPin(7, 1);
    SetPin(8, 1);
    InitSocket();
}

uint8_t ProgrammerLink::request(uint8_t command, int delay)
{
    requireNoRepliesOwed(command);
    SendByte(command);
    LinkDelay(delay);
    return ReceiveByte();
}

// --- pin operations -----------------------------------------------------------

void ProgrammerLink::sendPinLatch(int k)
{
    SendByte(static_cast<uint8_t>(8 + k));
    SendByte(shadows_.pinLatch[k]);
}

void ProgrammerLink::SetPin(int pin, int level)
{
    const LatchBit where = pinLatchBit(pin);
    if (where.latch < 0) {
        return;
    }
    uint8_t& latch = shadows_.pinLatch[where.latch];
    latch = withBit(latch, where.bit, level != 0);
    uint8_t sent = latch;
    if (where.latch == 2) {
        // Bits 6 and 7 of latch 2 are no socket pins; a pin write holds them high.
        sent |= 0xC0;
    }
    SendByte(static_cast<uint8_t>(8 + where.latch));
    SendByte(sent);
}

void ProgrammerLink::FloatPin(int pin)
{
    // Only socket pins: 31 + pin for anything else is some other command.
    if (pin >= 1 && pin <= 40) {
        SendByte(static_cast<uint8_t>(31 + pin));
    }
}

void ProgrammerLink::DrivePin(int pin)
{
    if (pin >= 1 && pin <= 40) {
        SendByte(static_cast<uint8_t>(79 + pin));
    }
}

void ProgrammerLink::SetPinDriver(int flag, int pin)
{
    if (flag == 0) {
        DrivePin(pin);
    } else {
        FloatPin(pin);
    }
}

int ProgrammerLink::ReadPin(int pin)
{
    if (pin == 20 || pin == 40) {
        const uint8_t status = request(7, 3);
        return (status >> (pin == 20 ? 7 : 6)) & 1;
    }
    if (pin < 1 || pin > 39) {
        // No such pin: reads like an unconnected one, and nothing is sent.
        return 1;
    }
    const int q = pin < 20 ? pin - 1 : pin - 2;
    return (ReadPort(q / 8) >> (q % 8)) & 1;
}

uint8_t ProgrammerLink::ReadPort(int index)
{
    if (index < 0 || index > 4) {
        return 255;
    }
    return request(static_cast<uint8_t>(1 + index));
}

void ProgrammerLink::WriteLatch(int index, uint8_t value)
{
    if (index < 0 || index > 4) {
        return;
    }
    SendByte(static_cast<uint8_t>(16 + index));
    SendByte(value);
}

void ProgrammerLink::WriteAllLatches(uint8_t value)
{
    for (int index = 0; index <= 4; ++index) {
        WriteLatch(index, value);
    }
}

void ProgrammerLink::WritePinLatch(int k, uint8_t value)
{
    if (k < 0 || k > 6) {
        return;
    }
    SendByte(static_cast<uint8_t>(8 + k));
    SendByte(value);
}

uint8_t ProgrammerLink::ReadDataByte()
{
    return request(128);
}

void ProgrammerLink::ReadDataBytes(uint8_t* destination, size_t n)
{
    // The collection below takes the oldest replies: they must be these.
    requireNoRepliesOwed(128);
    for (size_t i = 0; i < n; ++i) {
        QueueCommand({128}, 1);
    }
    for (size_t i = 0; i < n; ++i) {
        destination[i] = ReceiveByte();
    }
}

// --- supply operations ----------------------------------------------------------

int ProgrammerLink::VppLevelCode(int millivolts)
{
    switch (millivolts) {
    case 25000:
        return 12;
    case 21000:
        return 7;
    case 16500:
    case 14500:
    case 14000:
    case 13800:
        return 9;
    case 13300:
        return 8;
    case 13000:
    case 12700:
    case 12500:
        return 5;
    case 12000:
        return 4;
    case 10800:
        return 3;
    case 10000:
        return 2;
    default:
        return 0;
    }
}

void ProgrammerLink::SetVppVoltage(int millivolts)
{
    const int code = VppLevelCode(millivolts);
    uint8_t& latch6 = shadows_.pinLatch[6];
    latch6 = static_cast<uint8_t>((latch6 & 0xF0) | (~code & 0x0F));
    SendByte(14);
    SendByte(latch6);
    shadows_.aux = static_cast<uint8_t>(shadows_.aux & 0xF0);
    SendByte(22);
    SendByte(shadows_.aux);
}

void ProgrammerLink::sendVppRoutes()
{
    SendByte(24);
    SendByte(shadows_.vppRouteA);
    LinkDelay(3);
    SendByte(25);
    SendByte(shadows_.vppRouteB);
    LinkDelay(3);
}

void ProgrammerLink::RouteVpp(int pin)
{
    if (pin == 0) {
        shadows_.vppRouteA = 0;
        shadows_.vppRouteB &= 0x80;
    } else if (const LatchBit sw = vppSwitch(pin); sw.latch == 0) {
        shadows_.vppRouteA = withBit(shadows_.vppRouteA, sw.bit, true);
    } else if (sw.latch == 1) {
        shadows_.vppRouteB = withBit(shadows_.vppRouteB, sw.bit, true);
    }
    sendVppRoutes();
}

void ProgrammerLink::UnrouteVpp(int pin)
{
    if (pin == 0) {
        // The pin-40 route stays: only RouteVpp 0 or UnrouteVpp 40 removes it.
        shadows_.vppRouteA = 0;
        shadows_.vppRouteB &= 0xC0;
    } else if (const LatchBit sw = vppSwitch(pin); sw.latch == 0) {
        shadows_.vppRouteA = withBit(shadows_.vppRouteA, sw.bit, false);
    } else if (sw.latch == 1) {
        // Pin 40 included: asking to take Vpp off a pin must take it off.
        shadows_.vppRouteB = withBit(shadows_.vppRouteB, sw.bit, false);
    }
    sendVppRoutes();
}

void ProgrammerLink::RouteVcc(int pin)
{
    if (pin != 0) {
        FloatPin(pin);
    }
    shadows_.vccRouteA = 0xFF;
    shadows_.vccGndRoute |= 0x07;
    if (const LatchBit sw = vccSwitch(pin); sw.latch == 0) {
        shadows_.vccRouteA = withBit(shadows_.vccRouteA, sw.bit, false);
    } else if (sw.latch == 1) {
        shadows_.vccGndRoute = withBit(shadows_.vccGndRoute, sw.bit, false);
    }
    SendByte(26);
    SendByte(shadows_.vccRouteA);
    LinkDelay(10);
    SendByte(27);
    SendByte(shadows_.vccGndRoute);
    LinkDelay(10);
}

void ProgrammerLink::RouteGnd(int pin)
{
    // 79 (pin 0) is a no-operation for the box; other pins get their driver on.
    if (pin >= 0 && pin <= 40) {
        SendByte(static_cast<uint8_t>(79 + pin));
    }
    shadows_.vccGndRoute &= 0x07;
    if (const int bit = gndBit(pin); bit >= 0) {
        shadows_.vccGndRoute = withBit(shadows_.vccGndRoute, bit, true);
    }
    SendByte(27);
    SendByte(shadows_.vccGndRoute);
    LinkDelay(10);
}

void ProgrammerLink::SetVccVoltage(int level)
{
    // Bit 7 of Vpp route B: 0 selects the raised Vcc on pin 40.
    shadows_.vppRouteB = withBit(shadows_.vppRouteB, 7, level != 6);
    SendByte(25);
    SendByte(shadows_.vppRouteB);
    LinkDelay(500);
}

void ProgrammerLink::RouteRaisedSupply(int pin)
{
    if (FirmwareId() == kRaisedSupplyFirmware) {
        RouteVpp(pin);
        LinkDelay(1000);
    } else if (pin == 0) {
        SetVccVoltage(5);
        RouteVcc(0);
    } else {
        SetVccVoltage(6);
        RouteVcc(pin);
    }
}

void ProgrammerLink::SetAuxSelect(int n)
{
    uint8_t& latch6 = shadows_.pinLatch[6];
    latch6 = static_cast<uint8_t>(latch6 & ~0x70);
    SendByte(14);
    SendByte(latch6);
    shadows_.aux = static_cast<uint8_t>((shadows_.aux & ~0x70) | (~(n * 16) & 0x70));
    SendByte(22);
    SendByte(shadows_.aux);
    LinkDelay(10);
}

void ProgrammerLink::RouteClock(int pin)
{
    switch (pin) {
    case 0:
        SetAuxSelect(0);
        break;
    case 19:
        SetAuxSelect(1);
        break;
    case 15:
        SetAuxSelect(2);
        break;
    default:
        break;
    }
}

// --- socket state ---------------------------------------------------------------

void ProgrammerLink::ResetSocket()
{
    for (int pin = 1; pin <= 40; ++pin) {
        SetPin(pin, 0);
    }
    SetVppVoltage(0);
    WriteAllLatches(0);
    RouteGnd(20);
    SetAuxSelect(0);
}

void ProgrammerLink::InitSocket()
{
    // The bit-reverse table is built once at compile time.
    RouteVcc(0);
    RouteClock(0);
    RouteGnd(0);
    SetVppVoltage(0);
    SetBusMode(15);
}

void ProgrammerLink::PowerDown()
{
    SetVppVoltage(0);
    RouteVpp(0);
    RouteVcc(0);
    RouteClock(0);
    SendByte(0);
    // Supplies off must reach the box now, not with the next command.
    Flush();
}

void ProgrammerLink::SetBusMode(int mode)
{
    auto& latch = shadows_.pinLatch;
    switch (mode) {
    case 12:
        latch[3] = 0xFF;
        sendPinLatch(3);
        break;
    case 9:
        latch[3] = 0xF0;
        sendPinLatch(3);
        latch[0] = 0x0F;
        sendPinLatch(0);
        SetPin(13, 1);
        break;
    case 7:
        latch[2] = 0x7F;
        sendPinLatch(2);
        latch[4] = 0x03;
        sendPinLatch(4);
        break;
    case 15:
        latch[3] = 0x00;
        sendPinLatch(3);
        latch[0] &= 0xF0;
        sendPinLatch(0);
        latch[2] &= 0x80;
        sendPinLatch(2);
        latch[4] &= 0xFC;
        sendPinLatch(4);
        SetPin(13, 0);
        break;
    default:
        break;
    }
}

void ProgrammerLink::SetPageWriteMode(int m)
{
    SendByte(135);
    SendByte(static_cast<uint8_t>(m));
    if (m == 64) {
        SetAuxSelect(0);
        SetPin(7, 1);
        SetPin(8, 1);
    } else if (m == 128) {
        SetAuxSelect(4);
        SetPin(7, 0);
        SetPin(8, 1);
    } else {
        SetAuxSelect(4);
        SetPin(7, 0);
        SetPin(8, 0);
    }
}

void ProgrammerLink::SetPageLength(int n)
{
    SendByte(131);
    SendByte(static_cast<uint8_t>(n));
}

void ProgrammerLink::SetPulseLength(int n)
{
    SendByte(132);
    SendByte(static_cast<uint8_t>(n));
}

// --- tests and probes -------------------------------------------------------------

bool ProgrammerLink::PinLoopTest()
{
    // The port test of the system window, outside any command: it ends with
    // everything sent, as it ends on a read today.
    SetPin(1, 0);
    bool passed = true;
    for (int round = 0; round < 101 && passed; ++round) {
        FloatPin(1);
        passed = ReadPin(1) == 1;
        if (passed) {
            DrivePin(1);
            passed = ReadPin(1) == 0;
        }
    }
    Flush();
    return passed;
}

bool ProgrammerLink::OscillatorPresenceTest(int pinA, int pinB)
{
    RouteClock(0);
    SetPin(pinA, 0);
    SetPin(pinB, 1);
    DrivePin(pinA);
    LinkDelay(100);
    for (int round = 0; round < 2; ++round) {
        DrivePin(pinA);
        const int driven = ReadPin(pinB);
        FloatPin(pinA);
        const int released = ReadPin(pinB);
        if (driven == released) {
            RouteVcc(0);
            Flush();
            return prompt() && prompt()->askYesCancel(kNoProgrammer);
        }
    }
    RouteVcc(0);
    return true;
}

int ProgrammerLink::ProbeHardwareModel()
{
    RouteVpp(0);
    RouteVcc(0);
    LinkDelay(50);
    SetPin(31, 1);
    RouteGnd(31);
    const int level = ReadPin(31);
    RouteGnd(0);
    // Runs outside any command (a category change): pin 31 is driven high,
    // so its ground must be off before control goes back to the user.
    Flush();
    if (level != 0) {
        return 97;
    }
    return FirmwareId() == kDeviceListFirmware ? 98 : 99;
}

uint8_t ProgrammerLink::CheckSocketStatus()
{
    const uint8_t status = request(7);
    return (Connected() && (status & 0x7F) != 37) ? 0 : 255;
}

void ProgrammerLink::ReadPortBlock(uint8_t* destination, uint8_t& lowAddress)
{
    // All 512 port reads go out ahead of their replies; the bytes on the line
    // are those of read, read, step, 256 times.
    requireNoRepliesOwed(5);
    uint8_t step = lowAddress;
    for (int i = 0; i < 256; ++i) {
        QueueCommand({5}, 1);
        QueueCommand({4}, 1);
        ++step;
        QueueCommand({16, step}, 0);
    }
    for (int i = 0; i < 256; ++i) {
        uint8_t value = kBitReverseTable[static_cast<uint8_t>(ReceiveByte() * 4)];
        const uint8_t port3 = ReceiveByte();
        if (port3 & 0x80) {
            value = static_cast<uint8_t>(value + 0x40);
        }
        if (port3 & 0x40) {
            value = static_cast<uint8_t>(value + 0x80);
        }
        destination[i] = value;
    }
    lowAddress = step;
}

const std::array<uint8_t, 256>& ProgrammerLink::BitReverseTable()
{
    return kBitReverseTable;
}

} // namespace pontvex

#include "boxsim/SocketMap.h"

namespace pontvex::boxsim::socketmap {

namespace {

// Pin latches 0..6, bit 0 first; 0 = no pin.
const int kLatchPins[7][8] = {
    {26, 27, 28, 29, 30, 31, 0, 0},   {9, 10, 11, 12, 13, 14, 15, 16}, {34, 35, 36, 37, 38, 39, 0, 0},
    {17, 18, 19, 21, 22, 23, 24, 25}, {32, 33, 0, 0, 0, 0, 0, 0},      {1, 2, 3, 4, 5, 6, 7, 8},
    {0, 0, 0, 0, 0, 0, 40, 20},
};

const int kPortPins[5][8] = {
    {1, 2, 3, 4, 5, 6, 7, 8},         {9, 10, 11, 12, 13, 14, 15, 16}, {17, 18, 19, 21, 22, 23, 24, 25},
    {26, 27, 28, 29, 30, 31, 32, 33}, {34, 35, 36, 37, 38, 39, 0, 0},
};

const int kVppA[8] = {1, 5, 7, 9, 10, 11, 12, 15};
const int kVppB[7] = {20, 28, 29, 30, 31, 34, 40};
const int kVccA[8] = {8, 17, 25, 27, 28, 30, 32, 34};
const int kVccC[3] = {36, 40, 26};
const int kGnd[5] = {25, 10, 16, 20, 31};

} // namespace

const int kDataPins[8] = {17, 18, 19, 21, 22, 23, 24, 25};

namespace {
template <int N> int indexIn(const int (&table)[N], int pin)
{
    for (int i = 0; i < N; ++i) {
        if (table[i] == pin) {
            return i;
        }
    }
    return -1;
}

struct PinTables {
    Bit latch[41];
    Bit port[41];
    int vppA[41], vppB[41], vccA[41], vccC[41], gnd[41];
    PinTables()
    {
        for (int p = 0; p <= 40; ++p) {
            vppA[p] = indexIn(kVppA, p);
            vppB[p] = indexIn(kVppB, p);
            vccA[p] = indexIn(kVccA, p);
            vccC[p] = indexIn(kVccC, p);
            int g = indexIn(kGnd, p);
            gnd[p] = g < 0 ? -1 : g + 3;
        }
        for (int k = 0; k < 7; ++k) {
            for (int b = 0; b < 8; ++b) {
                if (int p = kLatchPins[k][b]) {
                    latch[p] = {k, b};
                }
            }
        }
        for (int k = 0; k < 5; ++k) {
            for (int b = 0; b < 8; ++b) {
                if (int p = kPortPins[k][b]) {
                    port[p] = {k, b};
                }
            }
        }
    }
};
const PinTables& tables()
{
    static const PinTables t;
    return t;
}
} // namespace

Bit pinLatchBit(int pin)
{
    return pin >= 1 && pin <= 40 ? tables().latch[pin] : Bit{};
}

Bit portBit(int pin)
{
    return pin >= 1 && pin <= 40 ? tables().port[pin] : Bit{};
}

int portPin(int port, int bit)
{
    return port >= 0 && port < 5 && bit >= 0 && bit < 8 ? kPortPins[port][bit] : 0;
}

int latchPin(int latch, int bit)
{
    return latch >= 0 && latch < 7 && bit >= 0 && bit < 8 ? kLatchPins[latch][bit] : 0;
}

namespace {
bool inSocket(int pin)
{
    return pin >= 1 && pin <= 40;
}
} // namespace

int vppRouteABit(int pin)
{
    return inSocket(pin) ? tables().vppA[pin] : -1;
}
int vppRouteBBit(int pin)
{
    return inSocket(pin) ? tables().vppB[pin] : -1;
}
int vccRouteABit(int pin)
{
    return inSocket(pin) ? tables().vccA[pin] : -1;
}
int vccRouteCBit(int pin)
{
    return inSocket(pin) ? tables().vccC[pin] : -1;
}
int gndRouteBit(int pin)
{
    return inSocket(pin) ? tables().gnd[pin] : -1;
}

} // namespace pontvex::boxsim::socketmap

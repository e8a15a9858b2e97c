#pragma once

#include "core/UserPrompt.h"
#include "link/BoxCommands.h"
#include "link/ByteLink.h"
#include "link/Connection.h"
#include "link/Transport.h"

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <initializer_list>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace pontvex {

// The one link to the programmer box as every family sees it: the socket
// driver's operations by name, with shadows of the box's write-only
// registers. The bytes go through the ByteLink it is; the Connection it offers
// finds the box and brings it to the idle state with the driver's own
// operations. Families, windows and tests keep calling every operation on
// this one object.
class ProgrammerLink : public ByteLink, public Connection {
public:
    ProgrammerLink();
    ~ProgrammerLink();

    static ProgrammerLink& instance();

    // --- pin operations ---------------------------------------------------
    void SetPin(int pin, int level);
    void FloatPin(int pin);
    void DrivePin(int pin);
    void SetPinDriver(int flag, int pin);
    int ReadPin(int pin);
    uint8_t ReadPort(int index);
    void WriteLatch(int index, uint8_t value);
    void WriteAllLatches(uint8_t value);
    void WritePinLatch(int k, uint8_t value);
    // The reads (ReadPin, ReadPort, ReadDataByte, CheckSocketStatus,
    // ReadPortBlock) send and wait for their own reply; called while queued
    // replies are still owed they throw LinkMisuse instead of taking one.
    uint8_t ReadDataByte();
    // n × ReadDataByte with the commands queued ahead of their replies: the
    // same bytes on the line, without a round trip per byte.
    void ReadDataBytes(uint8_t* destination, size_t n);

    // --- supply operations --------------------------------------------------
    void SetVppVoltage(int millivolts);
    void RouteVpp(int pin);
    void UnrouteVpp(int pin);
    void RouteVcc(int pin);
    void RouteGnd(int pin);
    void SetVccVoltage(int level);
    void RouteRaisedSupply(int pin);
    void SetAuxSelect(int n);
    void RouteClock(int pin);

    // --- socket state -------------------------------------------------------
    void ResetSocket();
    void InitSocket();
    void PowerDown();
    void SetBusMode(int mode);
    void SetPageWriteMode(int m);
    void SetPageLength(int n);
    void SetPulseLength(int n);

    // --- tests and probes ---------------------------------------------------
    // The probe and the port test run outside any family command (category
    // change, system window): they return with nothing left unsent.
    bool PinLoopTest();
    bool OscillatorPresenceTest(int pinA, int pinB);
    int ProbeHardwareModel();
    uint8_t CheckSocketStatus();
    void ReadPortBlock(uint8_t* destination, uint8_t& lowAddress);

    // --- shadows --------------------------------------------------------------
    struct Shadows {
        std::array<uint8_t, 7> pinLatch{0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF};
        uint8_t vppRouteA = 0x00;
        uint8_t vppRouteB = 0x80;
        uint8_t vccRouteA = 0xFF;
        uint8_t vccGndRoute = 0x07;
        uint8_t aux = 0x00;
    };
    const Shadows& shadows() const { return shadows_; }
    void resetShadows() { shadows_ = Shadows{}; }

    static const std::array<uint8_t, 256>& BitReverseTable();
    static int VppLevelCode(int millivolts);

private:
    void bringToIdle();
    void sendPinLatch(int k);
    void sendVppRoutes();
    // Sends a one-reply command and waits for its reply; with queued replies
    // still owed that would take one of theirs (LinkMisuse).
    uint8_t request(uint8_t command, int delay = 0);

    Shadows shadows_;
};

} // namespace pontvex

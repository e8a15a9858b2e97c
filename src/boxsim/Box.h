#pragma once

#include "boxsim/ChipModel.h"
#include "boxsim/Trace.h"

#include <array>
#include <cstdint>
#include <deque>
#include <initializer_list>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace pontvex::boxsim {

// Who owns a pin for the pin rule: the last command that named it.
enum class PinMode : uint8_t { Float, Drive, Port };

enum class Severity : uint8_t { Warning, Error };
enum class ProblemKind : uint8_t {
    Protocol, // undefined command byte, command cut short at the end of the stream
    Overflow, // a byte arrived while the input buffer was full and was lost
    Monitor,  // safety monitor: shorts, Vpp where the chip cannot take it, ...
    Chip,     // reported by the chip model (damage, contention)
};
const char* problemKindName(ProblemKind kind);

struct Problem {
    Severity severity = Severity::Error;
    ProblemKind kind = ProblemKind::Protocol;
    SimTime time = 0;
    std::string text;
    int count = 1; // repeats of the same warning are counted, not listed
};

struct BoxOptions {
    std::string firmwareId = "kelu3v13";           // 8 characters answered to command 15
    uint8_t identityTail = 0x00;                   // the ninth byte of the identity answer
    int identityLength = 9;                        // fault injection: 8 = a box that answers short
    std::string serialNumber = "SIMBOX0000000001"; // 16 bytes of command 184
};

// The programmer box: byte interpreter, 40-pin socket with its registers, a
// chip model, safety monitor and trace. Time is the box's own clock: each byte
// takes one unit to handle, long firmware commands keep the box busy longer.
// The line in front of it (buffering, host waits, adapter latency) is
// LineModel's business; feed() is a patient host for unit tests.
class Box {
public:
    explicit Box(BoxOptions options = {});
    ~Box();
    Box(const Box&) = delete;
    Box& operator=(const Box&) = delete;

    const BoxOptions& options() const { return options_; }
    void setFirmwareId(const std::string& id) { options_.firmwareId = id; }
    void setIdentityLength(int n) { options_.identityLength = n; }

    // --- the socket ---------------------------------------------------------
    void insertChip(std::unique_ptr<ChipModel> chip);
    std::unique_ptr<ChipModel> removeChip();
    ChipModel* chip() const { return chip_.get(); }
    // Fault injection on socket lines (wiring faults, bent pins).
    void stickPin(int socketPin, int level);
    void shortPins(int socketPinA, int socketPinB);
    // A supply or ground switch of this pin that never closes (older boxes
    // have no ground switch on pin 31, for instance).
    void breakSwitches(int socketPin);

    // --- bytes in, replies out ------------------------------------------------
    // Handles one byte that the box takes from its input at time `at` (or when
    // it is free, if later). Returns the time the byte was handled.
    SimTime process(uint8_t byte, SimTime at);
    // Time from which the box can take the next byte.
    SimTime readyAt() const { return busyUntil_; }
    // Patient host: each byte arrives when the box is ready. Returns the reply
    // bytes these bytes produced.
    std::vector<uint8_t> feed(std::span<const uint8_t> bytes);
    std::vector<uint8_t> feed(std::initializer_list<int> bytes);
    // Reply bytes not yet taken, with the time the box produced them.
    struct Reply {
        uint8_t value;
        SimTime at;
    };
    std::deque<Reply>& replies() { return replies_; }
    // The host went away: a command still waiting for operands is recorded.
    void endOfStream();
    // Power the box off and on: registers to their power-on values, replies
    // and problems kept.
    void powerCycle();

    // --- state for tests ------------------------------------------------------
    SimTime now() const { return now_; }
    PinLevel pin(int socketPin) const;
    int pinLevel(int socketPin) const { return pin(socketPin).level; }
    PinMode pinMode(int socketPin) const;
    uint8_t pinLatch(int k) const { return pinLatch_.at(static_cast<size_t>(k)); }
    uint8_t portLatch(int k) const { return portLatch_.at(static_cast<size_t>(k)); }
    uint8_t aux() const { return aux_; }
    uint8_t vppRouteA() const { return vppRouteA_; }
    uint8_t vppRouteB() const { return vppRouteB_; }
    uint8_t vccRouteA() const { return vccRouteA_; }
    uint8_t vccGndRoute() const { return vccGndRoute_; }
    std::vector<int> vppRoutedPins() const;
    int vppCode() const { return (~pinLatch_[6]) & 0x0F; }
    std::vector<int> vccRoutedPins() const; // normally none or one
    int vccPin() const;                     // first Vcc-routed pin, 0 when none
    bool vccRaised() const { return (vppRouteB_ & 0x80) == 0; }
    std::vector<int> gndRoutedPins() const;
    int gndPin() const;   // first ground-routed pin, 0 when none
    int clockPin() const; // 19, 15 or 0
    int pulseParameter() const { return pulse_; }
    int pageLength() const { return pageLength_ == 0 ? 256 : pageLength_; }
    int pageMode() const { return pageMode_; }
    bool chipPowered() const;
    // Low address byte as the firmware steps it (port 1, A0 in bit 7).
    uint8_t lowAddress() const;

    // --- problems -------------------------------------------------------------
    const std::vector<Problem>& problems() const { return problems_; }
    // Errors only, one per line; empty when the run was clean. Tests assert
    // EXPECT_EQ(box.errorReport(), "").
    std::string errorReport() const;
    std::string warningReport() const;
    bool clean() const { return errorReport().empty(); }
    void clearProblems() { problems_.clear(); }
    void record(Severity severity, ProblemKind kind, const std::string& text);

    Trace& trace() { return trace_; }

    struct Stats {
        uint64_t bytesIn = 0;
        uint64_t bytesOut = 0;
        uint64_t commands = 0;
        SimTime busy = 0; // units spent beyond one per byte (long commands)
    };
    const Stats& stats() const { return stats_; }

    // --- firmware helpers (the box's own routines; chip hooks may use them) ----
    // Port latch bits of the given socket pins := bits of value (bit n ->
    // pins[n]), those pins PORT-owned; clearLatches also clears their pin-latch
    // bits, as the 8051 data commands do.
    void firmwareWritePins(std::span<const int> socketPins, uint8_t value, bool clearLatches);
    // Levels of the given pins, bit n <- pins[n], after the chip has caught up.
    uint8_t samplePins(std::span<const int> socketPins);
    // Holds a pin at a level for the rest of the command (above drivers and
    // the chip, below supplies); releaseForced() gives it back.
    void forcePin(int socketPin, int level);
    void releaseForced(int socketPin);
    void releaseAllForced();
    // Suspends a Vpp route on one pin during a command (OE/Vpp pins read back).
    void liftVpp(int socketPin, bool lifted);
    // Lets time pass inside a command; the chip sees later edges at later times.
    void advance(SimTime units);
    // Re-resolves the pins and tells the chip and the monitor about changes.
    void settle();
    // Tells the chip about its pins even if nothing changed (a test changed
    // the model's behaviour behind the box's back).
    void refreshChip();
    // A ChipIo for the chip in the socket (valid while it stays in).
    ChipIo& chipIo();
    void stepLowAddress();

    // Operand and reply counts of a command byte (from the link's command
    // table); operands < 0 for undefined bytes, -2 for commands whose operand
    // count is the page length.
    struct CommandShape {
        int operands;
        int replies;
    };
    CommandShape shape(uint8_t command) const;
    static std::string describe(uint8_t command, std::span<const uint8_t> operands);

    // The chip's view of the socket (Box.cpp).
    class Io;

private:
    void execute(uint8_t command, std::span<const uint8_t> operands);
    // The firmware's serial commands, each as pin levels over time
    // (firmware/*.cpp). False for a command the box does not implement.
    bool serialCommand(uint8_t command, std::span<const uint8_t> operands, std::vector<uint8_t>& reply);
    bool prog97Command(std::vector<uint8_t>& reply); // 167
    bool picCommand(uint8_t command, std::span<const uint8_t> operands,
                    std::vector<uint8_t>& reply); // 168..170
    bool lpcCommand(uint8_t command, std::span<const uint8_t> operands,
                    std::vector<uint8_t>& reply); // 177, 178
    void twoWireByte(uint8_t value);
    void readCycle(std::vector<uint8_t>* sample);
    void writeCycle(uint8_t data, int wePin);
    void writeCycleAt(uint16_t address, uint8_t data, int wePin);
    void programEpromByte(uint8_t command, uint8_t data, std::vector<uint8_t>& reply);
    void writePort(int k, uint8_t value);
    void resetRegisters();
    PinLevel resolve(int p, bool withChip) const;
    void updateSwitchMasks();
    void checkMonitor();
    const char* drivenHighBy(int socketPin) const;
    int chipWePin() const;

    BoxOptions options_;
    std::unique_ptr<ChipModel> chip_;
    std::unique_ptr<Io> io_;
    Trace trace_;

    // Registers as the box holds them (the program's shadows are its own).
    std::array<uint8_t, 7> pinLatch_{};
    std::array<uint8_t, 5> portLatch_{};
    uint8_t aux_ = 0x70;
    uint8_t vppRouteA_ = 0x00;
    uint8_t vppRouteB_ = 0x80;
    uint8_t vccRouteA_ = 0xFF;
    uint8_t vccGndRoute_ = 0x07;
    int pulse_ = 1;
    int pageLength_ = 0;
    int pageMode_ = 0;

    std::array<PinMode, 41> mode_{};
    std::array<int8_t, 41> forced_{}; // -1 none, else level
    std::array<bool, 41> vppLifted_{};
    std::array<int8_t, 41> chipDrive_{}; // -1 none, else level (socket pins)
    std::array<int8_t, 41> stuck_{};     // -1 none, else level
    std::vector<std::pair<int, int>> shorts_;
    std::array<PinLevel, 41> level_{}; // last resolved
    // Pins on each kind of switch (bit p), from the route registers.
    uint64_t gndMask_ = 0, vppMask_ = 0, vccMask_ = 0;
    uint64_t brokenSwitches_ = 0;
    uint64_t driveDirty_ = 0;             // pins whose chip output changed since the chip was called
    std::array<PinLevel, 41> chipSeen_{}; // levels at the chip's last notification
    bool chipNotified_ = false;
    // Placement of the chip, cached at insertion (asked in every settle).
    int chipFirst_ = 0, chipLast_ = -1, chipVcc_ = 0, chipGnd_ = 0;
    bool highVoltageOnChip_ = false; // monitor: state after the last check
    bool chipWasPowered_ = false;

    // Command being assembled.
    std::vector<uint8_t> pending_;
    SimTime pendingSince_ = 0;

    SimTime now_ = 0;
    SimTime busyUntil_ = 0;
    std::deque<Reply> replies_;
    std::vector<Problem> problems_;
    Stats stats_;
};

using BoxSimulator = Box;

} // namespace pontvex::boxsim

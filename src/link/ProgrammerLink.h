#pragma once

#include "core/UserPrompt.h"
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

// Thrown when the box stops answering or a byte cannot be written. The link has
// already told the user and gone offline; the running command unwinds (its
// supplies-off guard then sends nothing) and the program keeps its buffer.
class LinkLost : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The one link to the programmer box: serial transport, connection routine,
// and the socket driver's vocabulary with shadows of the box's write-only
// registers. Method names are the operation names every family uses.
class ProgrammerLink {
public:
    ProgrammerLink();
    ~ProgrammerLink();

    // --- connection -------------------------------------------------------
    void setPrompt(UserPrompt* prompt) { prompt_ = prompt; }
    UserPrompt* prompt() const { return prompt_; }
    // Where ports come from (main() owns the serial port opener); none: no port opens.
    void setPortOpener(PortOpener* opener) { opener_ = opener; }
    // Where the port settings file lives (the user's configuration folder on
    // Linux, c:\pontv55.con on Windows).
    void setSettingsPath(const std::string& path) { settingsPath_ = path; }
    const std::string& settingsPath() const { return settingsPath_; }
    static std::string defaultSettingsPath();
    // The port name a settings file's contents give, or "" when they give none
    // (empty, binary, or a first line that is not a port name).
    static std::string PortNameFromSettings(const std::string& contents);

    // The connection routine: question, settings file, probing order, idle state.
    // askFirst = false skips the question (a CLI that has decided already).
    void Connect(bool askFirst = true);
    // Connects to one named port only (a port or device path named on the
    // command line): no question, no probing of other ports. Same reactions,
    // settings file and idle state as Connect.
    bool ConnectTo(const std::string& name);
    // Tries one port; on success sets PortName, FirmwareId and Connected.
    bool OpenProgrammerPort(const std::string& name);
    // Uses an already open transport (simulator, tests) as if it had answered on name.
    bool AttachTransport(std::unique_ptr<Transport> transport, const std::string& name);
    // Goes offline and drops the transport.
    void Disconnect();

    bool Connected() const { return connected_; }
    const std::string& PortName() const { return portName_; }
    const std::string& FirmwareId() const { return firmwareId_; }
    // Text of the status field of the system parameters window.
    const std::string& StatusText() const { return statusText_; }
    Transport* transport() const { return transport_.get(); }

    // --- primitives ---------------------------------------------------------
    void SendByte(uint8_t value);
    uint8_t ReceiveByte();
    void LinkDelay(int n);
    // Hands a run of bytes to the port in one write (page-write families).
    void BlockWrite(const uint8_t* data, size_t n);
    // Sends whatever is queued; called before every read, before any wait on the
    // user and at the end of every operation.
    void Flush();

    // --- reply pipelining ---------------------------------------------------
    // A loop may queue commands and collect their replies later with
    // ReceiveByte (or ReadDataByte and friends), strictly in the order the
    // commands were queued. The bytes the box receives are the same as for
    // send-then-read; only the waiting moves. Two limits keep a real box safe:
    // at most ReplyWindow() reply bytes are owed at any time, and after a long
    // firmware command (IsLongCommand, or longCommand = true for a family's
    // own) nothing more is sent until its reply has arrived.
    //
    //   for (i = 0; i < 256; ++i) link.QueueCommand({128}, 1);   // read-ahead
    //   for (i = 0; i < 256; ++i) buf[i] = link.ReceiveByte();   // collect
    //
    // A loop that stops early (Verify, Blank) calls DiscardReplies before it
    // does anything else, so no stale reply is taken for a later command.
    void QueueCommand(std::initializer_list<uint8_t> bytes, int replyBytes, bool longCommand = false);
    void QueueCommand(const uint8_t* bytes, size_t n, int replyBytes, bool longCommand = false);
    // Reads and drops every reply still owed or not yet collected.
    void DiscardReplies();
    // Reply bytes owed by the box plus those read but not yet collected.
    int PendingReplies() const { return static_cast<int>(owed_ + replies_.size()); }
    // At most this many reply bytes outstanding (default 128); 0 turns
    // pipelining into send-then-read. A USB adapter sends 62 reply bytes a
    // packet; with only one packet's worth in flight the line idles while
    // each packet reaches the host and the next commands go out (USB frames
    // are 1 ms), so the default keeps two packets in flight.
    void setReplyWindow(int bytes) { window_ = bytes > 0 ? static_cast<size_t>(bytes) : 0; }
    int ReplyWindow() const { return static_cast<int>(window_); }
    // Firmware commands that keep the box busy for long (blank check, sum,
    // the program commands, page and block writes).
    static bool IsLongCommand(uint8_t command);
    // Time from the identity request to its complete answer, less the line
    // time of the 10 bytes involved, measured at connection: what the port,
    // driver and adapter add to every round trip. -1 before a connection.
    double RoundTripMs() const { return roundTripMs_; }

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
    [[noreturn]] void loseLink(const std::string& message);
    bool identify(std::unique_ptr<Transport> transport, const std::string& name);
    void bringToIdle();
    void readSettings();
    void writeSettings() const;
    void tell(const std::string& text);
    void sendPinLatch(int k);
    void sendVppRoutes();
    void dropQueues();
    void settleLongCommand();
    void collect(size_t n);

    UserPrompt* prompt_ = nullptr;
    PortOpener* opener_ = nullptr;
    std::unique_ptr<Transport> transport_;
    std::string settingsPath_;
    bool connected_ = false;
    bool portOpened_ = false;
    std::string portName_ = "COM1";
    std::string firmwareId_;
    std::string statusText_;
    Shadows shadows_;
    // Bytes queued for the box; written in one piece before any read, before
    // any question to the user and by Flush.
    std::vector<uint8_t> out_;
    // Pipelining: replies owed by the box, replies read ahead of collection,
    // the window, and whether a long command is among those owed.
    size_t owed_ = 0;
    std::deque<uint8_t> replies_;
    size_t window_ = 128;
    bool longOwed_ = false;
    double roundTripMs_ = -1;
};

} // namespace pontvex

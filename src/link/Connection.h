#pragma once

#include "link/ByteLink.h"
#include "link/Transport.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace pontvex {

// Finding the box and knowing who it is: the question at start, the port
// settings file, the probing order, the identity request with its round-trip
// measure, and the idle state a box is brought to once it has answered. Opens
// and closes the byte link it is given; the idle state is the socket driver's
// sequence, handed in.
class Connection {
public:
    Connection(ByteLink& bytes, std::function<void()> bringToIdle);
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

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
    // Sends what is queued, goes offline and drops the transport.
    void Disconnect();

    // Told the name of each port the connection routine is about to try.
    std::function<void(const std::string& name)> onProbe;
    // The USB serial adapters tried after COM1..COM4, in order; by default
    // the /dev/ttyUSB* and /dev/ttyACM* devices there are (none on Windows).
    std::function<std::vector<std::string>()> adapterPorts = [] { return usbSerialPorts(); };
    static std::vector<std::string> usbSerialPorts();

    const std::string& PortName() const { return portName_; }
    const std::string& FirmwareId() const { return firmwareId_; }
    // Text of the status field of the system parameters window.
    const std::string& StatusText() const { return statusText_; }
    // Time from the identity request to its complete answer, less the line
    // time of the 10 bytes involved, measured at connection: what the port,
    // driver and adapter add to every round trip. -1 before a connection.
    double RoundTripMs() const { return roundTripMs_; }

private:
    bool identify(std::unique_ptr<Transport> transport, const std::string& name);
    // The idle-state sequence, sent before control goes back to the caller.
    void idle();
    void readSettings();
    void writeSettings() const;

    ByteLink& bytes_;
    std::function<void()> bringToIdle_;
    PortOpener* opener_ = nullptr;
    std::string settingsPath_;
    std::string portName_ = "COM1";
    std::string firmwareId_;
    std::string statusText_;
    double roundTripMs_ = -1;
    std::string openFailures_;
};

} // namespace pontvex

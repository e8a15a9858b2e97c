#pragma once

#include "link/ProgrammerLink.h"
#include "link/Transport.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace pontvex {

// What a RecordingTransport saw and will answer. Shared, so a test keeps it
// after the link has dropped the transport.
struct TransportLog {
    // Every byte accepted, in order, and the size of each write call.
    std::vector<uint8_t> written;
    std::vector<size_t> writeSizes;
    // Answers handed out in order, before the responder is asked.
    std::deque<uint8_t> replies;
    // Asked for a reply byte when `replies` is empty; false means nothing
    // arrives (a time-out). Sees everything written so far.
    std::function<bool(const TransportLog& log, uint8_t& reply)> responder;
    // Total bytes the transport accepts; writes beyond it come back short.
    size_t acceptLimit = std::numeric_limits<size_t>::max();
    // Read calls, and purge calls.
    int reads = 0;
    int purges = 0;
    bool closed = false;

    void clear()
    {
        written.clear();
        writeSizes.clear();
    }
    // Replies with the same byte to every read from now on.
    void answerAlways(uint8_t value);
};

// A transport for tests and the box simulator's tests: records every byte
// written and answers reads from a script or a callback.
class RecordingTransport : public Transport {
public:
    explicit RecordingTransport(std::shared_ptr<TransportLog> log = std::make_shared<TransportLog>());
    ~RecordingTransport() override;

    const std::shared_ptr<TransportLog>& log() const { return log_; }

    size_t write(const uint8_t* data, size_t n) override;
    size_t read(uint8_t* data, size_t n, int timeoutMs) override;
    void purge() override;

private:
    std::shared_ptr<TransportLog> log_;
};

// The 9 bytes a box answers to the identity request: the 8 characters of id
// (padded with blanks or cut) and one more byte.
std::vector<uint8_t> IdentityAnswer(const std::string& id);

// Ports for the connection routine's tests: each configured name opens with
// the given result and answers the identity request with the given bytes;
// every other name does not exist. Records the names tried, in order.
class ScriptedPortOpener : public PortOpener {
public:
    struct Port {
        PortOpenResult result = PortOpenResult::Opened;
        std::vector<uint8_t> answer;
    };

    void addPort(const std::string& name, std::vector<uint8_t> answer,
                 PortOpenResult result = PortOpenResult::Opened);
    std::unique_ptr<Transport> open(const std::string& portName, PortOpenResult& result) override;

    // Names tried, in order, whether they existed or not.
    std::vector<std::string> tried;
    // The log of the last transport handed out, per port name.
    std::map<std::string, std::shared_ptr<TransportLog>> logs;

private:
    std::map<std::string, Port> ports_;
};

// Attaches a recording transport to link as if a box with firmwareId had
// answered on "TEST", then forgets the bytes of the connection's idle-state
// sequence. The link's shadows are those the idle state leaves.
std::shared_ptr<TransportLog> AttachRecording(ProgrammerLink& link,
                                              const std::string& firmwareId = "kelu3v13");

} // namespace pontvex

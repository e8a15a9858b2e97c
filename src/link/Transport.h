#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace pontvex {

// The byte pipe under the link: a serial port, the in-process box simulator,
// or a scripted peer in tests. The link cannot tell them apart.
class Transport {
public:
    virtual ~Transport() = default;
    // Queues n bytes for the box; returns how many were accepted (short on failure).
    virtual size_t write(const uint8_t* data, size_t n) = 0;
    // Reads up to n bytes, waiting at most timeoutMs for the whole request;
    // returns how many arrived.
    virtual size_t read(uint8_t* data, size_t n, int timeoutMs) = 0;
    // Drops anything queued in either direction.
    virtual void purge() {}
};

// Result of opening a named port.
// PermissionDenied and Busy: the port is there but the system refused it
// (no access for this user; another program holds it).
enum class PortOpenResult { Opened, NoSuchPort, SettingsRejected, TimeoutsRejected, PermissionDenied, Busy };

// Opens ports by name for the connection routine ("COM1".. or a device path).
class PortOpener {
public:
    virtual ~PortOpener() = default;
    // On Opened or TimeoutsRejected the transport is returned; otherwise null.
    virtual std::unique_ptr<Transport> open(const std::string& portName, PortOpenResult& result) = 0;
};

} // namespace pontvex

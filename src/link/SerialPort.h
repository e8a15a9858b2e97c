#pragma once

#include "link/Transport.h"

#include <memory>
#include <string>

namespace pontvex {

// The device a port name stands for. This is the one place where port names
// become devices on Linux:
//   "COMn" (n = 1..256)  ->  /dev/ttyS(n-1)   (COM1 is /dev/ttyS0)
//   any name with a '/'  ->  used as it is (/dev/ttyUSB0, a simulator's pty)
//   anything else        ->  "" (no such port)
std::string SerialDevicePath(const std::string& portName);

// A serial port on a POSIX terminal device: 115200 baud, 8 data bits, no
// parity, 2 stop bits, raw, opened exclusively. Writes block until the kernel
// has taken every byte; reads wait at most the caller's total time-out and at
// most 2 s between two bytes.
class SerialPort : public Transport {
public:
    ~SerialPort() override;
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // Opens the device; null unless result is Opened.
    static std::unique_ptr<SerialPort> open(const std::string& devicePath, PortOpenResult& result);

    size_t write(const uint8_t* data, size_t n) override;
    size_t read(uint8_t* data, size_t n, int timeoutMs) override;
    void purge() override;

    // Whether the driver accepted the low-latency request (USB adapters then
    // hand over received bytes after about 1 ms instead of their 16 ms timer).
    bool lowLatency() const { return lowLatency_; }

private:
    explicit SerialPort(int fd) : fd_(fd) {}

    int fd_ = -1;
    bool lowLatency_ = false;
};

// Opens ports by name for the connection routine, through SerialDevicePath.
class SerialPortOpener : public PortOpener {
public:
    std::unique_ptr<Transport> open(const std::string& portName, PortOpenResult& result) override;
};

} // namespace pontvex

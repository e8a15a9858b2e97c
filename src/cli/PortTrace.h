#pragma once

#include "boxsim/Trace.h"
#include "link/SerialPort.h"
#include "link/Transport.h"

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace pontvex::cli {

// --trace on a real port: every byte sent and received, with its time in
// milliseconds since the port opened, in the simulated box's trace format
// (one command with its operands per line, its meaning, replies, folded
// no-operations).
class TracingPortOpener : public PortOpener {
public:
    // False when the trace file cannot be written.
    bool open(const std::string& tracePath) { return trace_.toFile(tracePath); }
    std::unique_ptr<Transport> open(const std::string& portName, PortOpenResult& result) override;
    void flush() { trace_.flush(); }

private:
    friend class TracingTransport;
    SerialPortOpener serial_;
    boxsim::Trace trace_;
};

class TracingTransport : public Transport {
public:
    TracingTransport(std::unique_ptr<Transport> inner, boxsim::Trace& trace, const std::string& portName);
    size_t write(const uint8_t* data, size_t n) override;
    size_t read(uint8_t* data, size_t n, int timeoutMs) override;
    void purge() override { inner_->purge(); }

private:
    double now() const;
    // Writes out every command in pending_ whose operands are all there.
    void takeCommands();

    std::unique_ptr<Transport> inner_;
    boxsim::Trace& trace_;
    std::chrono::steady_clock::time_point opened_;
    std::vector<uint8_t> pending_;
    double pendingSince_ = 0;
    int pageLength_ = 256;
};

} // namespace pontvex::cli

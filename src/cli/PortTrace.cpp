#include "cli/PortTrace.h"

#include "link/BoxCommands.h"

namespace pontvex::cli {

std::unique_ptr<Transport> TracingPortOpener::open(const std::string& portName, PortOpenResult& result)
{
    std::unique_ptr<Transport> port = serial_.open(portName, result);
    if (!port)
        return port;
    return std::make_unique<TracingTransport>(std::move(port), trace_, portName);
}

TracingTransport::TracingTransport(std::unique_ptr<Transport> inner, boxsim::Trace& trace,
                                   const std::string& portName)
    : inner_(std::move(inner)), trace_(trace), opened_(std::chrono::steady_clock::now())
{
    trace_.note(0, "port " + portName + " opened; times in ms since");
}

double TracingTransport::now() const
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - opened_).count();
}

size_t TracingTransport::write(const uint8_t* data, size_t n)
{
    const size_t sent = inner_->write(data, n);
    if (pending_.empty())
        pendingSince_ = now();
    pending_.insert(pending_.end(), data, data + sent);
    takeCommands();
    if (sent < n)
        trace_.note(now(), "the port took " + std::to_string(sent) + " of " + std::to_string(n) + " bytes");
    return sent;
}

size_t TracingTransport::read(uint8_t* data, size_t n, int timeoutMs)
{
    const size_t got = inner_->read(data, n, timeoutMs);
    const double at = now();
    if (got > 0)
        trace_.reply(at, {data, got});
    if (got < n)
        trace_.note(at, "read time-out: " + std::to_string(got) + " of " + std::to_string(n) + " bytes");
    return got;
}

void TracingTransport::takeCommands()
{
    size_t at = 0;
    const double t = now();
    while (at < pending_.size()) {
        const uint8_t command = pending_[at];
        const BoxCommand* row = findBoxCommand(command);
        const size_t operands = !row                                   ? 0
                                : row->operands == kPageLengthOperands ? static_cast<size_t>(pageLength_)
                                                                       : static_cast<size_t>(row->operands);
        if (at + 1 + operands > pending_.size())
            break; // the rest of this command comes with a later write
        const std::span<const uint8_t> bytes(pending_.data() + at, 1 + operands);
        if (row && row->action == BoxAction::PageLength && operands == 1)
            pageLength_ = bytes[1] == 0 ? 256 : bytes[1];
        trace_.command(pendingSince_, t, bytes, describeBoxCommand(command, bytes.subspan(1)));
        at += 1 + operands;
        pendingSince_ = t;
    }
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(at));
}

} // namespace pontvex::cli

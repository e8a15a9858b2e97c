#include "support/TestTransports.h"

#include <algorithm>

namespace pontvex {

void TransportLog::answerAlways(uint8_t value)
{
    responder = [value](const TransportLog&, uint8_t& reply) {
        reply = value;
        return true;
    };
}

RecordingTransport::RecordingTransport(std::shared_ptr<TransportLog> log) : log_(std::move(log)) {}

RecordingTransport::~RecordingTransport()
{
    log_->closed = true;
}

size_t RecordingTransport::write(const uint8_t* data, size_t n)
{
    TransportLog& log = *log_;
    const size_t room = log.acceptLimit > log.written.size() ? log.acceptLimit - log.written.size() : 0;
    const size_t accepted = std::min(n, room);
    log.written.insert(log.written.end(), data, data + accepted);
    log.writeSizes.push_back(accepted);
    return accepted;
}

size_t RecordingTransport::read(uint8_t* data, size_t n, int timeoutMs)
{
    (void)timeoutMs;
    TransportLog& log = *log_;
    ++log.reads;
    size_t done = 0;
    while (done < n) {
        if (!log.replies.empty()) {
            data[done++] = log.replies.front();
            log.replies.pop_front();
        } else if (log.responder && log.responder(log, data[done])) {
            ++done;
        } else {
            break;
        }
    }
    return done;
}

void RecordingTransport::purge()
{
    ++log_->purges;
}

std::vector<uint8_t> IdentityAnswer(const std::string& id)
{
    std::vector<uint8_t> answer(id.begin(),
                                id.begin() + static_cast<std::ptrdiff_t>(std::min<size_t>(id.size(), 8)));
    answer.resize(8, ' ');
    answer.push_back(0);
    return answer;
}

void ScriptedPortOpener::addPort(const std::string& name, std::vector<uint8_t> answer, PortOpenResult result)
{
    ports_[name] = Port{result, std::move(answer)};
}

std::unique_ptr<Transport> ScriptedPortOpener::open(const std::string& portName, PortOpenResult& result)
{
    tried.push_back(portName);
    const auto it = ports_.find(portName);
    if (it == ports_.end()) {
        result = PortOpenResult::NoSuchPort;
        return nullptr;
    }
    result = it->second.result;
    if (result != PortOpenResult::Opened && result != PortOpenResult::TimeoutsRejected) {
        return nullptr;
    }
    auto transport = std::make_unique<RecordingTransport>();
    transport->log()->replies.assign(it->second.answer.begin(), it->second.answer.end());
    logs[portName] = transport->log();
    return transport;
}

std::shared_ptr<TransportLog> AttachRecording(ProgrammerLink& link, const std::string& firmwareId)
{
    auto transport = std::make_unique<RecordingTransport>();
    auto log = transport->log();
    const std::vector<uint8_t> answer = IdentityAnswer(firmwareId);
    log->replies.assign(answer.begin(), answer.end());
    link.AttachTransport(std::move(transport), "TEST");
    log->clear();
    log->reads = 0;
    return log;
}

} // namespace pontvex

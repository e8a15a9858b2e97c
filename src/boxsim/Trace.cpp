#include "boxsim/Trace.h"

#include <cstdio>

namespace pontvex::boxsim {

namespace {
std::string stamp(double t)
{
    char buf[32];
    if (t == static_cast<double>(static_cast<long long>(t))) {
        std::snprintf(buf, sizeof buf, "t=%08lld", static_cast<long long>(t));
    } else {
        std::snprintf(buf, sizeof buf, "t=%011.2f", t);
    }
    return buf;
}
} // namespace

Trace::Trace() = default;
Trace::~Trace()
{
    flush();
}

void Trace::keepInMemory(bool on)
{
    memory_ = on;
}

bool Trace::toFile(const std::string& path)
{
    auto f = std::make_unique<std::ofstream>(path, std::ios::out | std::ios::trunc);
    if (!*f) {
        return false;
    }
    file_ = std::move(f);
    stream_ = file_.get();
    return true;
}

void Trace::toStream(std::ostream* stream)
{
    file_.reset();
    stream_ = stream;
}

void Trace::writeLine(const std::string& line)
{
    if (memory_) {
        text_ += line;
        text_ += '\n';
    }
    if (stream_) {
        *stream_ << line << '\n';
    }
}

void Trace::flushNoops()
{
    if (noopRun_ == 0) {
        return;
    }
    std::string line = stamp(noopStart_) + " > 1E";
    if (noopRun_ > 1) {
        line += " x" + std::to_string(noopRun_);
    }
    line.resize(std::max<size_t>(line.size() + 1, 36), ' ');
    writeLine(line + "no-op");
    noopRun_ = 0;
}

void Trace::command(double first, double last, std::span<const uint8_t> bytes, const std::string& meaning)
{
    if (!enabled()) {
        return;
    }
    if (bytes.size() == 1 && bytes[0] == 30) {
        if (noopRun_ == 0) {
            noopStart_ = first;
        }
        ++noopRun_;
        return;
    }
    flushNoops();
    std::string line = stamp(first) + " >";
    char buf[8];
    size_t shown = 0;
    for (uint8_t b : bytes) {
        if (shown == 16) {
            line += " ...";
            break;
        }
        std::snprintf(buf, sizeof buf, " %02X", b);
        line += buf;
        ++shown;
    }
    if (last != first) {
        line += " (to " + stamp(last) + ")";
    }
    line.resize(std::max<size_t>(line.size() + 1, 36), ' ');
    writeLine(line + meaning);
}

void Trace::reply(double at, std::span<const uint8_t> bytes)
{
    if (!enabled()) {
        return;
    }
    flushNoops();
    std::string line = stamp(at) + " <";
    char buf[8];
    for (uint8_t b : bytes) {
        std::snprintf(buf, sizeof buf, " %02X", b);
        line += buf;
    }
    line.resize(std::max<size_t>(line.size() + 1, 36), ' ');
    writeLine(line + "reply");
}

void Trace::note(double at, const std::string& text)
{
    if (!enabled()) {
        return;
    }
    flushNoops();
    writeLine(stamp(at) + " ! " + text);
}

void Trace::flush()
{
    flushNoops();
    if (stream_) {
        stream_->flush();
    }
}

std::string Trace::text()
{
    flushNoops();
    return text_;
}

void Trace::clear()
{
    text_.clear();
    noopRun_ = 0;
}

} // namespace pontvex::boxsim

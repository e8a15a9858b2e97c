#pragma once

#include <cstdint>
#include <fstream>
#include <memory>
#include <ostream>
#include <span>
#include <string>

namespace pontvex::boxsim {

// Every byte to and from the box with its time and meaning, one command per
// line. Runs of no-operation bytes are folded into one line. Off by default.
//
//   t=00000012 > 0A C2        pin latch 2 := C2
//   t=00000013 < 25           reply
//   t=00000014 > 1E x100      no-op
class Trace {
public:
    Trace();
    ~Trace();
    void keepInMemory(bool on);
    bool toFile(const std::string& path);
    void toStream(std::ostream* stream);
    bool enabled() const { return memory_ || stream_ != nullptr; }

    // first/last: time of the command byte and of its last operand.
    void command(double first, double last, std::span<const uint8_t> bytes, const std::string& meaning);
    void reply(double at, std::span<const uint8_t> bytes);
    void note(double at, const std::string& text);
    void flush();

    std::string text();
    void clear();

private:
    void writeLine(const std::string& line);
    void flushNoops();

    bool memory_ = false;
    std::string text_;
    std::ostream* stream_ = nullptr;
    std::unique_ptr<std::ofstream> file_;
    uint64_t noopRun_ = 0;
    double noopStart_ = 0;
};

} // namespace pontvex::boxsim

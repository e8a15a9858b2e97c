#pragma once

#include "boxsim/Box.h"
#include "boxsim/LineModel.h"
#include "link/Transport.h"

#include <memory>

namespace pontvex::boxsim {

// The box as a Transport of the link, in one process. Writes stream at line
// speed from the host's current time; a read is where the host waits, so the
// host's clock jumps to the time the last requested byte is delivered. A read
// that cannot be satisfied costs its whole timeout.
class SimTransport : public pontvex::Transport {
public:
    explicit SimTransport(std::shared_ptr<Box> box, LineOptions options = {});
    ~SimTransport() override;

    size_t write(const uint8_t* data, size_t n) override;
    size_t read(uint8_t* data, size_t n, int timeoutMs) override;
    void purge() override;

    Box& box() { return *box_; }
    std::shared_ptr<Box> sharedBox() const { return box_; }
    LineModel& line() { return line_; }

    struct Stats {
        uint64_t bytesToBox = 0;
        uint64_t bytesFromBox = 0;
        uint64_t hostWaits = 0; // reads that had to wait for the line
        SimTime hostTime = 0;   // modelled time on the host's clock
    };
    const Stats& stats() const { return stats_; }
    SimTime hostTime() const { return stats_.hostTime; }
    // The host waits until the line has carried every byte written and the
    // box has finished with them: a measurement that starts here does not
    // pay for the bytes of the one before.
    void waitUntilIdle();

private:
    std::shared_ptr<Box> box_;
    LineModel line_;
    std::deque<LineModel::Delivered> inbox_;
    Stats stats_;
};

} // namespace pontvex::boxsim

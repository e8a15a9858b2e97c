#pragma once

#include "boxsim/Box.h"
#include "boxsim/ChipModel.h"
#include "link/Transport.h"

#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace pontvex::boxsim {

// Faults for the reliability tests. Line faults act on the byte streams (a
// decorator around any transport, and the pty server); socket and chip faults
// are applied to a Box. Random choices come from the seed, so a failing case
// replays.
struct FaultPlan {
    uint64_t seed = 1;
    long long vanishAfter = -1;                 // box gone after it has taken this many bytes
    long long dropReplyIndex = -1;              // this reply byte (0-based, counted over the run) is lost
    double dropReplyProbability = 0;            // each reply byte is lost with this probability
    bool shortIdentity = false;                 // 8 bytes instead of 9 to command 15
    bool mute = false;                          // the box never answers
    std::vector<std::pair<int, int>> stuckPins; // socket pin, level
    std::vector<std::pair<int, int>> shortedPins;
    std::vector<int> brokenSwitches; // socket pins whose switches never close
    std::vector<StuckCell> stuckCells;

    // Adds one fault written as on the command line:
    //   vanish-after=N  drop-reply=N  drop-rate=P  short-identity  mute
    //   stuck-pin=P:L  short-pins=P:Q  broken-switch=P  stuck-cell=ADDR:MASK:BITS (hex)
    //   seed=N
    bool add(const std::string& text, std::string& error);
    bool lineFaults() const;
    // Identity, socket and chip faults (the chip must be inserted first).
    void applyTo(Box& box) const;
};

// The stream part of a plan, shared by FaultyTransport and the pty server.
class FaultFilter {
public:
    explicit FaultFilter(const FaultPlan& plan);
    // False once the box has vanished: the byte goes nowhere.
    bool passInput();
    // False when this reply byte is lost.
    bool passReply();
    bool vanished() const { return vanished_; }

private:
    FaultPlan plan_;
    std::mt19937_64 random_;
    long long inputs_ = 0;
    long long replies_ = 0;
    bool vanished_ = false;
};

class FaultyTransport : public pontvex::Transport {
public:
    FaultyTransport(std::unique_ptr<pontvex::Transport> inner, const FaultPlan& plan);
    size_t write(const uint8_t* data, size_t n) override;
    size_t read(uint8_t* data, size_t n, int timeoutMs) override;
    void purge() override;
    pontvex::Transport& inner() { return *inner_; }

private:
    std::unique_ptr<pontvex::Transport> inner_;
    FaultFilter filter_;
};

} // namespace pontvex::boxsim

#pragma once

#include "boxsim/Faults.h"
#include "boxsim/SocketFiles.h"
#include "boxsim/chips/Registry.h"

#include <atomic>
#include <ostream>
#include <string>

namespace pontvex::boxsim {

// The box behind a pseudo-terminal, for one program at a time.
struct PtyServerOptions {
    std::string chip;       // chip model name; empty = the row's model, if any
    ChipRow row;            // device-list row whose model goes in (key empty = none)
    SocketFiles files;      // memories filled before the run and saved after it
    std::string firmwareId; // empty = the box's default
    std::string trace;      // trace file
    FaultPlan faults;
    bool realtime = false; // hand replies over at line speed and adapter latency
    double latencyMs = 0;  // adapter latency timer (with realtime)
    size_t inputBuffer = 16;
};

// Opens the pseudo-terminal, writes its device path and a newline to `out`,
// then serves until the peer closes it after having sent something, or until
// `stop` becomes true. Problems go to `err`. Exit status: 0 clean run, 1
// problems recorded (protocol, overflow, monitor, chip), 2 could not start.
int runPtyServer(const PtyServerOptions& options, std::ostream& out, std::ostream& err,
                 const std::atomic<bool>& stop);

} // namespace pontvex::boxsim

#pragma once

#include <string>
#include <vector>

namespace pontvex::cli {

// Told on standard error, once, whenever a run talks to the simulated box.
inline constexpr const char* kSimulatorNotice =
    "pontvex-cli: note: using the simulated box (--simulator), no real chip is touched";

// Why a port (a COM name or a device path) cannot be opened, in the system's
// words ("Permission denied", "No such file or directory"), or "" when it
// opens as a serial port nobody else holds.
std::string portProblem(const std::string& name);

// Where a box is looked for without --port: the port that answered last (as
// the settings file at settingsPath names it), COM1..COM4, then USB serial
// adapters, each once.
std::vector<std::string> probedPorts(const std::string& settingsPath);

} // namespace pontvex::cli

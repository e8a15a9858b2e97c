#pragma once

#include <string>

namespace pontvex {

// What the port, its driver and a USB adapter add to each round trip, as the
// system parameters window shows it. Above this a chip read that must wait
// for the box's answers (write, blank check) slows down noticeably.
constexpr double kSlowRoundTripMs = 4.0;

// "Задержка связи: 1.2 мс", or "" before a connection (a negative time).
std::string RoundTripText(double roundTripMs);

// How to lower the round trip when it is above kSlowRoundTripMs on the named
// port, or "" when it is low enough.
std::string RoundTripAdvice(double roundTripMs, const std::string& portName);

} // namespace pontvex

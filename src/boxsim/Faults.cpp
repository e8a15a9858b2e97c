#include "boxsim/Faults.h"

#include <cstdlib>
#include <sstream>

namespace pontvex::boxsim {

namespace {

bool parseNumber(const std::string& s, long long& out, int base = 10)
{
    if (s.empty()) {
        return false;
    }
    char* end = nullptr;
    out = std::strtoll(s.c_str(), &end, base);
    return end && *end == '\0';
}

std::vector<std::string> split(const std::string& s, char sep)
{
    std::vector<std::string> parts;
    std::stringstream in(s);
    std::string item;
    while (std::getline(in, item, sep)) {
        parts.push_back(item);
    }
    return parts;
}

} // namespace

bool FaultPlan::add(const std::string& text, std::string& error)
{
    auto eq = text.find('=');
    std::string key = text.substr(0, eq);
    std::string value = eq == std::string::npos ? "" : text.substr(eq + 1);
    long long n = 0;
    if (key == "short-identity" && value.empty()) {
        shortIdentity = true;
        return true;
    }
    if (key == "mute" && value.empty()) {
        mute = true;
        return true;
    }
    if (key == "vanish-after" && parseNumber(value, n) && n >= 0) {
        vanishAfter = n;
        return true;
    }
    if (key == "drop-reply" && parseNumber(value, n) && n >= 0) {
        dropReplyIndex = n;
        return true;
    }
    if (key == "broken-switch" && parseNumber(value, n) && n >= 1 && n <= 40) {
        brokenSwitches.push_back(static_cast<int>(n));
        return true;
    }
    if (key == "seed" && parseNumber(value, n)) {
        seed = static_cast<uint64_t>(n);
        return true;
    }
    if (key == "drop-rate") {
        char* end = nullptr;
        double p = std::strtod(value.c_str(), &end);
        if (!value.empty() && end && *end == '\0' && p >= 0 && p <= 1) {
            dropReplyProbability = p;
            return true;
        }
    }
    auto parts = split(value, ':');
    if (key == "stuck-pin" && parts.size() == 2) {
        long long pin = 0, level = 0;
        if (parseNumber(parts[0], pin) && parseNumber(parts[1], level) && pin >= 1 && pin <= 40 &&
            (level == 0 || level == 1)) {
            stuckPins.emplace_back(static_cast<int>(pin), static_cast<int>(level));
            return true;
        }
    }
    if (key == "short-pins" && parts.size() == 2) {
        long long a = 0, b = 0;
        if (parseNumber(parts[0], a) && parseNumber(parts[1], b) && a >= 1 && a <= 40 && b >= 1 && b <= 40 &&
            a != b) {
            shortedPins.emplace_back(static_cast<int>(a), static_cast<int>(b));
            return true;
        }
    }
    if (key == "stuck-cell" && parts.size() == 3) {
        long long a = 0, m = 0, v = 0;
        if (parseNumber(parts[0], a, 16) && parseNumber(parts[1], m, 16) && parseNumber(parts[2], v, 16) &&
            a >= 0 && m >= 0 && m <= 255 && v >= 0 && v <= 255) {
            stuckCells.push_back(
                StuckCell{static_cast<uint32_t>(a), static_cast<uint8_t>(m), static_cast<uint8_t>(v)});
            return true;
        }
    }
    error = "unknown or malformed fault \"" + text +
            "\" (vanish-after=N, drop-reply=N, drop-rate=P, short-identity, mute, stuck-pin=P:L, "
            "short-pins=P:Q, broken-switch=P, stuck-cell=ADDR:MASK:BITS, seed=N)";
    return false;
}

bool FaultPlan::lineFaults() const
{
    return vanishAfter >= 0 || dropReplyIndex >= 0 || dropReplyProbability > 0 || mute;
}

void FaultPlan::applyTo(Box& box) const
{
    if (shortIdentity) {
        box.setIdentityLength(8);
    }
    for (auto [pin, level] : stuckPins) {
        box.stickPin(pin, level);
    }
    for (auto [a, b] : shortedPins) {
        box.shortPins(a, b);
    }
    for (int p : brokenSwitches) {
        box.breakSwitches(p);
    }
    if (box.chip()) {
        for (const StuckCell& c : stuckCells) {
            box.chip()->addStuckCell(c);
        }
    }
}

FaultFilter::FaultFilter(const FaultPlan& plan) : plan_(plan), random_(plan.seed) {}

bool FaultFilter::passInput()
{
    if (plan_.vanishAfter >= 0 && inputs_ >= plan_.vanishAfter) {
        vanished_ = true;
    }
    ++inputs_;
    return !vanished_;
}

bool FaultFilter::passReply()
{
    long long index = replies_++;
    if (vanished_ || plan_.mute) {
        return false;
    }
    if (index == plan_.dropReplyIndex) {
        return false;
    }
    if (plan_.dropReplyProbability > 0) {
        std::uniform_real_distribution<double> u(0.0, 1.0);
        if (u(random_) < plan_.dropReplyProbability) {
            return false;
        }
    }
    return true;
}

FaultyTransport::FaultyTransport(std::unique_ptr<pontvex::Transport> inner, const FaultPlan& plan)
    : inner_(std::move(inner)), filter_(plan)
{
}

size_t FaultyTransport::write(const uint8_t* data, size_t n)
{
    // A vanished box still lets the port take bytes: the cable is there, the
    // box behind it is not.
    for (size_t i = 0; i < n; ++i) {
        if (filter_.passInput()) {
            inner_->write(data + i, 1);
        }
    }
    return n;
}

size_t FaultyTransport::read(uint8_t* data, size_t n, int timeoutMs)
{
    size_t got = 0;
    while (got < n) {
        uint8_t b = 0;
        if (filter_.vanished()) {
            inner_->purge();
            break;
        }
        if (inner_->read(&b, 1, timeoutMs) != 1) {
            break;
        }
        if (filter_.passReply()) {
            data[got++] = b;
        }
    }
    return got;
}

void FaultyTransport::purge()
{
    inner_->purge();
}

} // namespace pontvex::boxsim

// pontvex-boxsim: the programmer box on a pseudo-terminal. Prints the device
// path as its first line, then serves one program until it closes the device.

#include "boxsim/PtyServer.h"
#include "boxsim/chips/Registry.h"

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <iostream>
#include <string>

namespace {

std::atomic<bool> stopRequested{false};

void onSignal(int)
{
    stopRequested.store(true);
}

void usage(std::ostream& out)
{
    out << "usage: pontvex-boxsim [--chip NAME] [--image FILE] [--dump FILE] [--firmware-id ID]\n"
           "                      [--fault FAULT]... [--trace FILE] [--realtime] [--latency-ms N]\n"
           "                      [--input-buffer N] [--list-chips]\n"
           "--latency-ms models a USB-serial adapter and applies with --realtime\n"
           "faults: vanish-after=N drop-reply=N drop-rate=P short-identity mute stuck-pin=P:L\n"
           "        short-pins=P:Q broken-switch=P stuck-cell=ADDR:MASK:BITS seed=N\n"
           "exit status: 0 clean run, 1 problems recorded (listed on stderr), 2 could not start\n";
}

} // namespace

int main(int argc, char** argv)
{
    using namespace pontvex::boxsim;
    PtyServerOptions options;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&](std::string& into) {
            if (i + 1 >= argc) {
                std::cerr << a << " needs a value\n";
                return false;
            }
            into = argv[++i];
            return true;
        };
        std::string v;
        if (a == "--chip") {
            if (!value(options.chip)) {
                return 2;
            }
        } else if (a == "--image") {
            if (!value(options.image)) {
                return 2;
            }
        } else if (a == "--dump") {
            if (!value(options.dump)) {
                return 2;
            }
        } else if (a == "--firmware-id") {
            if (!value(options.firmwareId)) {
                return 2;
            }
        } else if (a == "--trace") {
            if (!value(options.trace)) {
                return 2;
            }
        } else if (a == "--fault") {
            std::string error;
            if (!value(v) || !options.faults.add(v, error)) {
                std::cerr << error << "\n";
                return 2;
            }
        } else if (a == "--realtime") {
            options.realtime = true;
        } else if (a == "--latency-ms" || a == "--input-buffer") {
            if (!value(v)) {
                return 2;
            }
            char* end = nullptr;
            double d = std::strtod(v.c_str(), &end);
            if (v.empty() || *end != '\0' || d < 0 || d > 10000) {
                std::cerr << a << ": bad number \"" << v << "\"\n";
                return 2;
            }
            if (a == "--latency-ms") {
                options.latencyMs = d;
            } else {
                options.inputBuffer = static_cast<size_t>(d);
            }
        } else if (a == "--list-chips") {
            for (auto& n : chipModelNames()) {
                std::cout << n << "\n";
            }
            return 0;
        } else if (a == "--help" || a == "-h") {
            usage(std::cout);
            return 0;
        } else {
            std::cerr << "unknown option " << a << "\n";
            usage(std::cerr);
            return 2;
        }
    }
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    std::signal(SIGPIPE, SIG_IGN);
    return runPtyServer(options, std::cout, std::cerr, stopRequested);
}

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
    out << "usage: pontvex-boxsim [--chip NAME | --row KEY VARIANT] [--socket-image [REGION=]FILE]...\n"
           "                      [--socket-dump [REGION=]FILE]... [--firmware-id ID] [--fault FAULT]...\n"
           "                      [--trace FILE] [--realtime] [--latency-ms N] [--input-buffer N]\n"
           "       pontvex-boxsim --list-chips\n"
           "--chip puts the model of that name in the socket, --row the model of a device-list row\n"
           "(algorithm key and variant); --list-chips lists the models with their rows and memories\n"
           "--socket-image fills a memory of the chip before the run, --socket-dump saves one after\n"
           "it; once per REGION (a memory --list-chips names), the main memory without REGION=;\n"
           "words least significant byte first (--image and --dump are the same options)\n"
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
        } else if (a == "--row") {
            if (i + 2 >= argc) {
                std::cerr << "--row needs KEY VARIANT\n";
                return 2;
            }
            options.row.key = argv[++i];
            v = argv[++i];
            char* end = nullptr;
            const long variant = std::strtol(v.c_str(), &end, 10);
            if (v.empty() || *end != '\0' || variant < 1 || variant > 999) {
                std::cerr << "--row: bad variant \"" << v << "\"\n";
                return 2;
            }
            options.row.variant = static_cast<int>(variant);
        } else if (a == "--socket-image" || a == "--image" || a == "--socket-dump" || a == "--dump") {
            if (!value(v)) {
                return 2;
            }
            const bool image = a == "--socket-image" || a == "--image";
            if (auto error = image ? options.files.addImage(v) : options.files.addDump(v)) {
                std::cerr << error->message << "\n";
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
            std::cout << chipListing();
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
    if (!options.chip.empty() && !options.row.key.empty()) {
        std::cerr << "give either --chip or --row, not both\n";
        return 2;
    }
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    std::signal(SIGPIPE, SIG_IGN);
    return runPtyServer(options, std::cout, std::cerr, stopRequested);
}

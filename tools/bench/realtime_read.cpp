// Wall-clock time of one chip Read over a real serial device, for instance the
// pseudo-terminal of `pontvex-boxsim --realtime --latency-ms 16 --chip 27C256`:
// prints the bytes sent, the wall time, the line limit (bytes sent x 95.49 us)
// and their ratio.
//
// Usage: realtime_read PORT [CHIP [VARIANT [WINDOW]]]   (default 27C256 13 64)
#include "catalogue/HeadlessHost.h"
#include "core/DeviceBuffer.h"
#include "families/memory/TP27x.h"
#include "link/ProgrammerLink.h"
#include "link/SerialPort.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

using namespace pontvex;

namespace {

class Counting : public Transport {
public:
    Counting(std::unique_ptr<Transport> inner, uint64_t& sent) : inner_(std::move(inner)), sent_(sent) {}
    size_t write(const uint8_t* data, size_t n) override
    {
        const size_t written = inner_->write(data, n);
        sent_ += written;
        return written;
    }
    size_t read(uint8_t* data, size_t n, int timeoutMs) override { return inner_->read(data, n, timeoutMs); }
    void purge() override { inner_->purge(); }

private:
    std::unique_ptr<Transport> inner_;
    uint64_t& sent_;
};

class CountingOpener : public PortOpener {
public:
    explicit CountingOpener(uint64_t& sent) : sent_(sent) {}
    std::unique_ptr<Transport> open(const std::string& portName, PortOpenResult& result) override
    {
        std::unique_ptr<Transport> port = serial_.open(portName, result);
        return port ? std::make_unique<Counting>(std::move(port), sent_) : nullptr;
    }

private:
    SerialPortOpener serial_;
    uint64_t& sent_;
};

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: realtime_read PORT [CHIP [VARIANT [WINDOW]]]\n");
        return 2;
    }
    const std::string chip = argc > 2 ? argv[2] : "27C256";
    const int variant = argc > 3 ? std::atoi(argv[3]) : 13;
    uint64_t sent = 0;
    CountingOpener opener(sent);
    ProgrammerLink link;
    link.setSettingsPath("");
    HeadlessHost host;
    host.hexView = true;
    link.setPrompt(&host.script());
    link.setPortOpener(&opener);
    if (!link.ConnectTo(argv[1])) {
        std::fprintf(stderr, "no box on %s\n", argv[1]);
        return 1;
    }
    if (argc > 4)
        link.setReplyWindow(std::atoi(argv[4]));
    std::printf("round trip at connection: %.2f ms\n", link.RoundTripMs());
    TP27x eprom(link, host);
    ChipSelection selection;
    selection.AlgorithmKey = "P27";
    selection.VariantIndex = variant;
    selection.ChipName = chip;
    eprom.SelectChip(selection);
    link.Flush();
    const uint64_t before = sent;
    const auto start = std::chrono::steady_clock::now();
    eprom.press("read");
    link.Flush();
    const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - start;
    const uint64_t bytes = sent - before;
    const double limit = static_cast<double>(bytes) * 11.0 / 115200.0;
    std::printf("%s read, window %d: %llu bytes to the box, %.2f s wall, line limit %.2f s, ratio %.2f; %s\n",
                chip.c_str(), link.ReplyWindow(), static_cast<unsigned long long>(bytes), wall.count(), limit,
                wall.count() / limit, eprom.message().c_str());
    link.Disconnect();
    return eprom.ErrorFlag() == 0 ? 0 : 1;
}

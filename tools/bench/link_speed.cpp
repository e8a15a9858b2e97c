// Speed of the chip commands over the simulated line: the loops of one chip
// per family (kParts: one line each) behind a USB-serial adapter whose latency
// timer is 0 (a native UART), 1 (low-latency mode) and 16 ms (the default of
// common adapters). The line limit of a row is what the line cannot beat: every
// byte to the box takes one frame (95.49 us), and the box is busy on its own
// for the long firmware commands. Times are modelled, not measured.
//
// Usage: link_speed [--window N] [--chip NAME] [--latency MS]
#include "boxsim/Box.h"
#include "boxsim/SimTransport.h"
#include "boxsim/chips/Registry.h"
#include "catalogue/FamilyRegistry.h"
#include "catalogue/HeadlessHost.h"
#include "core/DeviceBuffer.h"
#include "families/Families.h"
#include "link/ProgrammerLink.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

using namespace pontvex;

namespace {

// A device-list entry and the window's commands to time, in order: the chip
// starts erased, and the buffer holds an image with every bit pattern.
struct Part {
    const char* chip; // list name (the simulator's model of its row)
    const char* key;
    int variant;
    std::vector<const char*> commands;
    // A chip model by name in the socket instead of the row's, and an option
    // item chosen before the commands (both optional).
    const char* socket = nullptr;
    const char* option = nullptr;
    const char* item = nullptr;
};

const std::vector<const char*> kMemoryCommands{"blank", "write", "verify", "read", "checksum"};
const std::vector<const char*> kFourLoops{"blank", "write", "verify", "read"};
const Part kParts[] = {
    // An EPROM write reads each byte's program status before it goes on (a
    // retry depends on it): a round trip a byte by nature, as are a flash
    // write's status reads beyond the budget the link keeps behind them.
    {"27C256", "P27", 13, kMemoryCommands},
    {"27C512", "P27", 14, kMemoryCommands},
    {"27C040", "P27", 18, kMemoryCommands},
    {"HM62256", "TESTRAM", 4, {"read", "checksum", "test"}},
    {"DS1230Y", "DSRAM", 4, {"write", "verify", "read"}},
    {"PIC16F877", "P16C84", 10, kFourLoops},
    {"AT24C256", "P24", 9, {"write", "verify", "read"}},
    {"93C86", "P93", 8, {"erase", "blank", "write", "verify", "read"}},
    // The erase's polls are round trips by nature; its row shows their cost.
    {"AM29F010", "P29F", 3, {"erase", "blank", "write", "verify", "read", "checksum"}},
    {"AT49F040", "AT49F", 3, {"erase", "blank", "write", "verify", "read", "checksum"}},
    // 28F: erase and the boot-block write poll the status per block and per byte.
    {"28F010", "PI28F", 4, {"erase", "blank", "write", "verify", "read", "checksum"}},
    {"28F001BX-T", "PI28F001", 1, {"erase", "blank", "write", "verify", "read", "checksum"}},
    // The 1 MiB 29F and 512 K 28F parts, whose top address lines sit above the chip.
    {"29F008T", "P29F", 12, {"erase", "blank", "write", "verify", "read", "checksum"}},
    {"28F040", "PI28F", 6, {"erase", "blank", "write", "verify", "read", "checksum"}},
    {"74xx", "ICTEST", 0, {"test", "search"}},
    {"40xx", "ICTEST", 1, {"test", "search"}, "4020", "type", "4020"},
    {"45xx", "ICTEST", 2, {"test", "search"}, "4516", "type", "4516"},
    // One of the longest 74 records, and a search of the whole library on it.
    {"74xx", "ICTEST", 0, {"test", "search"}, "74161", "type", "74xx161"},
    {"GAL16V8", "GAL3M", 1, kFourLoops},
    {"GAL20V8", "GAL3M", 4, kFourLoops},
};

struct Row {
    uint64_t toBox = 0;
    uint64_t fromBox = 0;
    uint64_t waits = 0;
    double units = 0;
    double busy = 0;
};

void printRow(const char* chip, double latency, const char* command, const Row& r, const std::string& message)
{
    const double seconds = boxsim::unitsToMilliseconds(r.units) / 1000.0;
    const double limit = boxsim::unitsToMilliseconds(static_cast<double>(r.toBox) + r.busy) / 1000.0;
    std::printf("%-7s %5.0f  %-8s %9llu %8llu %7llu %10.2f %9.2f %6.2f  %s\n", chip, latency, command,
                static_cast<unsigned long long>(r.toBox), static_cast<unsigned long long>(r.fromBox),
                static_cast<unsigned long long>(r.waits), seconds, limit, limit > 0 ? seconds / limit : 0.0,
                message.c_str());
}

bool run(const Part& part, double latencyMs, int replyWindow)
{
    auto box = std::make_shared<boxsim::Box>();
    auto chip = part.socket ? boxsim::makeChipModel(part.socket)
                            : boxsim::makeChipForRow(part.key, part.variant, part.chip);
    if (!chip) {
        std::fprintf(stderr, "no simulated model of %s (%s %d)\n", part.chip, part.key, part.variant);
        return false;
    }
    box->insertChip(std::move(chip));
    boxsim::LineOptions line;
    line.latencyMs = latencyMs;
    auto owned = std::make_unique<boxsim::SimTransport>(box, line);
    boxsim::SimTransport* sim = owned.get();
    ProgrammerLink link;
    link.setSettingsPath("");
    HeadlessHost host;
    host.hexView = true;
    link.setPrompt(&host.script());
    if (!link.AttachTransport(std::move(owned), "SIM")) {
        std::fprintf(stderr, "the simulated box did not answer\n");
        return false;
    }
    link.setReplyWindow(replyWindow);
    FamilyRegistry families;
    registerFamilies(families);
    const FamilyFactory* factory = families.factory(part.key);
    if (!factory) {
        std::fprintf(stderr, "no family window for %s\n", part.key);
        return false;
    }
    const std::unique_ptr<FamilyWindow> window = (*factory)(link, host);
    FamilyWindow& family = *window;
    ChipSelection selection;
    selection.AlgorithmKey = part.key;
    selection.VariantIndex = part.variant;
    selection.ChipName = part.chip;
    family.SelectChip(selection);
    if (OptionGroup* group = part.option ? family.findOption(part.option) : nullptr)
        for (size_t i = 0; i < group->items.size(); ++i)
            if (group->items[i] == part.item)
                group->selected = static_cast<int>(i);

    // A blank chip first, then an image with every bit pattern.
    DeviceBuffer& buffer = host.buffer();
    std::mt19937 random(1);
    for (int64_t a = 0; a <= host.endAddress(); ++a)
        buffer[static_cast<uint32_t>(a)] = static_cast<uint8_t>(random());

    bool clean = true;
    for (const char* command : part.commands) {
        link.Flush();
        // The bytes of the command before may still be on the line.
        sim->waitUntilIdle();
        const auto before = sim->stats();
        const double busyBefore = box->stats().busy;
        family.press(command);
        link.Flush();
        const auto after = sim->stats();
        Row r;
        r.toBox = after.bytesToBox - before.bytesToBox;
        r.fromBox = after.bytesFromBox - before.bytesFromBox;
        r.waits = after.hostWaits - before.hostWaits;
        r.units = after.hostTime - before.hostTime;
        r.busy = box->stats().busy - busyBefore;
        printRow(part.socket ? part.socket : part.chip, latencyMs, command, r,
                 family.ErrorFlag() ? "FAILED: " + family.message() : "");
        clean = clean && family.ErrorFlag() == 0;
    }
    const std::string problems = box->errorReport();
    if (!problems.empty()) {
        std::printf("box problems:\n%s", problems.c_str());
        clean = false;
    }
    return clean;
}

} // namespace

int main(int argc, char** argv)
{
    int window = ProgrammerLink().ReplyWindow();
    std::string onlyChip;
    std::vector<double> latencies{0, 1, 16};
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--window" && i + 1 < argc) {
            window = std::atoi(argv[++i]);
        } else if (arg == "--chip" && i + 1 < argc) {
            onlyChip = argv[++i];
        } else if (arg == "--latency" && i + 1 < argc) {
            latencies = {std::atof(argv[++i])};
        } else {
            std::fprintf(stderr, "usage: link_speed [--window N] [--chip NAME] [--latency MS]\n");
            return 2;
        }
    }
    std::printf("reply window %d; times in seconds; ratio = modelled / line limit\n", window);
    std::printf("%-7s %5s  %-8s %9s %8s %7s %10s %9s %6s\n", "chip", "lat", "command", "to box", "back",
                "waits", "modelled", "limit", "ratio");
    bool clean = true;
    for (double latency : latencies) {
        for (const Part& part : kParts) {
            if (!onlyChip.empty() && onlyChip != part.chip && !(part.socket && onlyChip == part.socket))
                continue;
            clean = run(part, latency, window) && clean;
        }
    }
    return clean ? 0 : 1;
}

#include "boxsim/PtyServer.h"

#include "boxsim/Box.h"
#include "boxsim/LineModel.h"
#include "boxsim/chips/Registry.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <limits>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace pontvex::boxsim {

namespace {

class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() { reset(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    void reset(int fd = -1)
    {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = fd;
    }

private:
    int fd_;
};

} // namespace

int runPtyServer(const PtyServerOptions& options, std::ostream& out, std::ostream& err,
                 const std::atomic<bool>& stop)
{
    BoxOptions boxOptions;
    if (!options.firmwareId.empty()) {
        boxOptions.firmwareId = options.firmwareId;
    }
    Box box(boxOptions);
    if (!options.chip.empty()) {
        auto chip = makeChipModel(options.chip);
        if (!chip) {
            err << "unknown chip \"" << options.chip << "\"; known:";
            for (auto& n : chipModelNames()) {
                err << " " << n;
            }
            err << "\n";
            return 2;
        }
        box.insertChip(std::move(chip));
    } else if (!options.row.key.empty()) {
        auto chip = makeChipForRow(options.row.key, options.row.variant);
        if (!chip) {
            err << "no chip model serves the row " << options.row.key << " " << options.row.variant
                << " (see --list-chips)\n";
            return 2;
        }
        box.insertChip(std::move(chip));
    }
    if (!options.files.empty()) {
        if (!box.chip()) {
            err << "--socket-image and --socket-dump need a chip in the socket (--chip or --row)\n";
            return 2;
        }
        std::optional<SocketFileError> error = options.files.checkRegions(*box.chip());
        if (!error)
            error = options.files.loadImages(*box.chip());
        if (error) {
            err << error->message << "\n";
            return 2;
        }
    }
    options.faults.applyTo(box);
    if (!options.trace.empty() && !box.trace().toFile(options.trace)) {
        err << "cannot write trace \"" << options.trace << "\"\n";
        return 2;
    }

    Fd master(::posix_openpt(O_RDWR | O_NOCTTY));
    if (master.get() < 0 || ::grantpt(master.get()) != 0 || ::unlockpt(master.get()) != 0) {
        err << "cannot open a pseudo-terminal: " << std::strerror(errno) << "\n";
        return 2;
    }
    const char* name = ::ptsname(master.get());
    if (!name) {
        err << "cannot name the pseudo-terminal\n";
        return 2;
    }
    const std::string path = name;
    // Hold the terminal side open (raw) until the peer has spoken, so its
    // absence before it opens the device is not taken for a hang-up.
    Fd slave(::open(path.c_str(), O_RDWR | O_NOCTTY));
    if (slave.get() >= 0) {
        termios tio{};
        if (::tcgetattr(slave.get(), &tio) == 0) {
            ::cfmakeraw(&tio);
            ::tcsetattr(slave.get(), TCSANOW, &tio);
        }
    }
    ::fcntl(master.get(), F_SETFL, ::fcntl(master.get(), F_GETFL) | O_NONBLOCK);
    out << path << "\n";
    out.flush();

    LineModel line(box, LineOptions{options.inputBuffer, options.realtime ? options.latencyMs : 0, 62});
    FaultFilter filter(options.faults);
    const auto start = std::chrono::steady_clock::now();
    auto wallUnits = [&] {
        std::chrono::duration<double, std::micro> d = std::chrono::steady_clock::now() - start;
        return d.count() / kUnitMicroseconds;
    };
    SimTime hostTime = 0; // without realtime: time of the last reply handed over
    std::deque<uint8_t> outgoing;
    bool peerSpoke = false;
    bool peerGone = false;

    auto takeReplies = [&](SimTime until, bool closeAll) {
        for (auto& d : line.deliver(until, closeAll)) {
            hostTime = std::max(hostTime, d.at);
            if (filter.passReply()) {
                outgoing.push_back(d.value);
            }
        }
    };

    while (!stop.load() && !peerGone) {
        int timeoutMs = 200;
        if (options.realtime) {
            SimTime next = line.nextDelivery();
            if (next >= 0) {
                double ms = unitsToMilliseconds(next - wallUnits());
                timeoutMs = std::clamp(static_cast<int>(std::ceil(ms)), 0, 200);
            }
        }
        pollfd pfd{master.get(), static_cast<short>(POLLIN | (outgoing.empty() ? 0 : POLLOUT)), 0};
        int r = ::poll(&pfd, 1, timeoutMs);
        if (r < 0 && errno != EINTR) {
            break;
        }
        if (r > 0 && (pfd.revents & POLLIN)) {
            uint8_t buf[512];
            ssize_t n = ::read(master.get(), buf, sizeof buf);
            if (n > 0) {
                if (!peerSpoke) {
                    peerSpoke = true;
                    slave.reset();
                }
                const SimTime at = options.realtime ? wallUnits() : hostTime;
                for (ssize_t i = 0; i < n; ++i) {
                    if (filter.passInput()) {
                        line.hostWrite(buf[i], at);
                    }
                }
                if (!options.realtime) {
                    takeReplies(std::numeric_limits<double>::infinity(), true);
                }
            } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
                peerGone = peerSpoke;
                if (!peerSpoke) {
                    ::usleep(20000);
                }
            }
        } else if (r > 0 && (pfd.revents & POLLHUP) && peerSpoke) {
            peerGone = true;
        }
        if (options.realtime) {
            takeReplies(wallUnits(), false);
        }
        while (!outgoing.empty() && !peerGone) {
            uint8_t chunk[256];
            size_t k = 0;
            while (k < sizeof chunk && k < outgoing.size()) {
                chunk[k] = outgoing[k];
                ++k;
            }
            ssize_t w = ::write(master.get(), chunk, k);
            if (w > 0) {
                outgoing.erase(outgoing.begin(), outgoing.begin() + w);
            } else {
                if (w < 0 && errno != EAGAIN && errno != EINTR) {
                    peerGone = peerSpoke;
                }
                break;
            }
        }
    }

    box.endOfStream();
    int status = 0;
    for (const SocketFileError& error : options.files.saveDumps(box.chip())) {
        err << error.message << "\n";
        status = 1;
    }
    std::string errors = box.errorReport();
    if (!errors.empty()) {
        err << errors;
        status = 1;
    }
    box.trace().flush();
    return status;
}

} // namespace pontvex::boxsim

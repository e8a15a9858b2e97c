// The termios port against a pseudo-terminal standing in for the box.

#include "LinkTestSupport.h"

#include "catalogue/HeadlessHost.h"
#include "link/SerialPort.h"

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace pontvex::linktest {
namespace {

TEST(SerialDevicePath, ComNamesMapToTtySAndPathsStayAsTheyAre)
{
    EXPECT_EQ(SerialDevicePath("COM1"), "/dev/ttyS0");
    EXPECT_EQ(SerialDevicePath("COM4"), "/dev/ttyS3");
    EXPECT_EQ(SerialDevicePath("com12"), "/dev/ttyS11");
    EXPECT_EQ(SerialDevicePath("/dev/ttyUSB0"), "/dev/ttyUSB0");
    for (const char* bad : {"", "COM", "COM0", "COM257", "LPT1", "COM1x", "AAAA", "ttyUSB0"}) {
        EXPECT_EQ(SerialDevicePath(bad), "") << bad;
    }
}

// The master side of a pseudo-terminal: the box end of the line.
class PseudoBox {
public:
    PseudoBox()
    {
        master = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0) {
            path = ::ptsname(master);
            termios tio{};
            ::tcgetattr(master, &tio);
            ::cfmakeraw(&tio);
            ::tcsetattr(master, TCSANOW, &tio);
        }
    }
    ~PseudoBox()
    {
        if (master >= 0) {
            ::close(master);
        }
    }
    Bytes take(size_t n, int timeoutMs = 2000)
    {
        Bytes got;
        while (got.size() < n) {
            pollfd p{master, POLLIN, 0};
            if (::poll(&p, 1, timeoutMs) <= 0) {
                break;
            }
            uint8_t buf[256];
            const ssize_t r = ::read(master, buf, std::min(sizeof buf, n - got.size()));
            if (r <= 0) {
                break;
            }
            got.insert(got.end(), buf, buf + r);
        }
        return got;
    }
    void give(const Bytes& b)
    {
        ASSERT_EQ(::write(master, b.data(), b.size()), static_cast<ssize_t>(b.size()));
    }

    int master = -1;
    std::string path;
};

TEST(SerialPort, OpensExclusivelyAndMovesBytesBothWays)
{
    PseudoBox box;
    ASSERT_FALSE(box.path.empty());
    PortOpenResult result = PortOpenResult::NoSuchPort;
    auto port = SerialPort::open(box.path, result);
    ASSERT_TRUE(port);
    EXPECT_EQ(result, PortOpenResult::Opened);

    PortOpenResult second = PortOpenResult::Opened;
    EXPECT_FALSE(SerialPort::open(box.path, second));
    // Held by the first: busy, so the user is told another program has it.
    EXPECT_EQ(second, PortOpenResult::Busy);

    const Bytes out = {0x00, 0x0A, 0x0D, 0x11, 0x13, 0x7F, 0xFF, 0x03};
    EXPECT_EQ(port->write(out.data(), out.size()), out.size());
    EXPECT_EQ(box.take(out.size()), out);

    box.give({0x0D, 0x0A, 0xFF, 0x00});
    uint8_t in[4] = {};
    EXPECT_EQ(port->read(in, 4, 1000), 4u);
    EXPECT_EQ(Bytes(in, in + 4), bytes({0x0D, 0x0A, 0xFF, 0x00}));
}

TEST(SerialPort, ReadGivesUpAfterItsTimeOut)
{
    PseudoBox box;
    PortOpenResult result{};
    auto port = SerialPort::open(box.path, result);
    ASSERT_TRUE(port);
    box.give({0x55});
    uint8_t in[3] = {};
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(port->read(in, 3, 150), 1u);
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(140));
    EXPECT_LT(waited, std::chrono::milliseconds(1500));
    EXPECT_EQ(in[0], 0x55);
}

TEST(SerialPort, NotATerminalOrMissingIsNoSuchPort)
{
    PortOpenResult result = PortOpenResult::Opened;
    EXPECT_FALSE(SerialPort::open("/dev/null", result));
    EXPECT_EQ(result, PortOpenResult::NoSuchPort);
    EXPECT_FALSE(SerialPort::open("/nonexistent/ttyS99", result));
    EXPECT_EQ(result, PortOpenResult::NoSuchPort);
    EXPECT_FALSE(SerialPort::open("", result));
}

TEST(SerialPort, ConnectsToABoxOnAPseudoTerminal)
{
    PseudoBox box;
    ScriptedPrompt prompt;
    SerialPortOpener ports;
    ProgrammerLink link;
    link.setPortOpener(&ports);
    link.setPrompt(&prompt);
    link.setSettingsPath("");
    std::thread answer([&box] {
        if (box.take(1) == bytes({15})) {
            box.give(IdentityAnswer("kelu3v13"));
        }
    });
    const bool connected = link.ConnectTo(box.path);
    answer.join();
    ASSERT_TRUE(connected);
    EXPECT_EQ(link.FirmwareId(), "kelu3v13");
    // The idle-state sequence reached the box.
    const Bytes idle = box.take(4);
    EXPECT_EQ(idle, bytes({14, 0xFF, 22, 0x00}));
    link.Disconnect();
    EXPECT_TRUE(prompt.messages.empty());
}

} // namespace
} // namespace pontvex::linktest

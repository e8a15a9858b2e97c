#include "link/SerialPort.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#ifdef __linux__
#include <linux/serial.h>
#endif

namespace pontvex {

namespace {

// Once a reply has started, a gap longer than this ends the read.
constexpr int kIntervalTimeoutMs = 2000;
// Writes have no time-out of their own on the line, but a port whose driver
// stops taking bytes (an unplugged adapter, a held handshake line) must not
// hang the program: after this long without progress the write is short.
constexpr int kWriteStallMs = 5000;

using Clock = std::chrono::steady_clock;

int msUntil(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

} // namespace

std::string SerialDevicePath(const std::string& portName)
{
    if (portName.find('/') != std::string::npos) {
        return portName;
    }
    if (portName.size() < 4 || portName.size() > 6) {
        return {};
    }
    for (int i = 0; i < 3; ++i) {
        if ((portName[i] & ~0x20) != "COM"[i]) {
            return {};
        }
    }
    int n = 0;
    for (size_t i = 3; i < portName.size(); ++i) {
        if (portName[i] < '0' || portName[i] > '9') {
            return {};
        }
        n = n * 10 + (portName[i] - '0');
    }
    if (n < 1 || n > 256) {
        return {};
    }
    return "/dev/ttyS" + std::to_string(n - 1);
}

std::unique_ptr<SerialPort> SerialPort::open(const std::string& devicePath, PortOpenResult& result)
{
    result = PortOpenResult::NoSuchPort;
    if (devicePath.empty()) {
        return nullptr;
    }
    // Non-blocking so a port without carrier cannot hang the open; every
    // wait afterwards goes through poll with its own time-out.
    const int fd = ::open(devicePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno == EACCES || errno == EPERM)
            result = PortOpenResult::PermissionDenied;
        else if (errno == EBUSY)
            result = PortOpenResult::Busy;
        return nullptr;
    }
    if (!::isatty(fd)) {
        ::close(fd);
        return nullptr;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::ioctl(fd, TIOCEXCL) != 0) {
        // Somebody else has the port.
        ::close(fd);
        result = PortOpenResult::Busy;
        return nullptr;
    }
    std::unique_ptr<SerialPort> port(new SerialPort(fd));

#ifdef __linux__
    serial_struct serial{};
    if (::ioctl(fd, TIOCGSERIAL, &serial) == 0) {
        serial.flags |= ASYNC_LOW_LATENCY;
        port->lowLatency_ = ::ioctl(fd, TIOCSSERIAL, &serial) == 0;
    }
#endif

    termios tio{};
    if (::tcgetattr(fd, &tio) != 0) {
        result = PortOpenResult::SettingsRejected;
        return nullptr;
    }
    // Raw bytes, 8N2 at 115200; hardware handshake stays as the port has it.
    ::cfmakeraw(&tio);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB);
    tio.c_cflag |= CS8 | CSTOPB | CREAD | CLOCAL;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    if (::cfsetispeed(&tio, B115200) != 0 || ::cfsetospeed(&tio, B115200) != 0 ||
        ::tcsetattr(fd, TCSANOW, &tio) != 0) {
        result = PortOpenResult::SettingsRejected;
        return nullptr;
    }
    port->purge();
    result = PortOpenResult::Opened;
    return port;
}

SerialPort::~SerialPort()
{
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

size_t SerialPort::write(const uint8_t* data, size_t n)
{
    size_t done = 0;
    while (done < n) {
        const ssize_t w = ::write(fd_, data + done, n - done);
        if (w > 0) {
            done += static_cast<size_t>(w);
            continue;
        }
        if (w < 0 && errno == EINTR) {
            continue;
        }
        if (w < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            break;
        }
        pollfd p{fd_, POLLOUT, 0};
        const int ready = ::poll(&p, 1, kWriteStallMs);
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0 || (p.revents & (POLLERR | POLLHUP | POLLNVAL))) {
            break;
        }
    }
    return done;
}

size_t SerialPort::read(uint8_t* data, size_t n, int timeoutMs)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs > 0 ? timeoutMs : 0);
    size_t done = 0;
    while (done < n) {
        int wait = msUntil(deadline);
        if (done > 0 && wait > kIntervalTimeoutMs) {
            wait = kIntervalTimeoutMs;
        }
        pollfd p{fd_, POLLIN, 0};
        const int ready = ::poll(&p, 1, wait);
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0) {
            break;
        }
        if (p.revents & POLLIN) {
            const ssize_t r = ::read(fd_, data + done, n - done);
            if (r > 0) {
                done += static_cast<size_t>(r);
                continue;
            }
            if (r < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) {
                continue;
            }
            break;
        }
        // Hang-up or error without data: the device is gone.
        break;
    }
    return done;
}

void SerialPort::purge()
{
    ::tcflush(fd_, TCIOFLUSH);
}

std::unique_ptr<Transport> SerialPortOpener::open(const std::string& portName, PortOpenResult& result)
{
    return SerialPort::open(SerialDevicePath(portName), result);
}

} // namespace pontvex

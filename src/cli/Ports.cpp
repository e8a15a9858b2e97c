#include "cli/Ports.h"

#include "link/Connection.h"
#include "link/SerialPort.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/file.h>
#include <unistd.h>

namespace pontvex::cli {

std::string portProblem(const std::string& name)
{
    const std::string device = SerialDevicePath(name);
    if (device.empty())
        return "no such port";
    // Opened as the link opens it, so the reason is the one the link met.
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return std::strerror(errno);
    std::string problem;
    if (!::isatty(fd))
        problem = "not a serial port";
    else if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        problem = std::string(std::strerror(EBUSY)) + " (another program has it open)";
    ::close(fd);
    return problem;
}

std::vector<std::string> probedPorts(const std::string& settingsPath)
{
    std::vector<std::string> ports;
    const auto add = [&ports](const std::string& name) {
        if (!name.empty() && std::find(ports.begin(), ports.end(), name) == ports.end())
            ports.push_back(name);
    };
    if (!settingsPath.empty()) {
        std::ifstream in(settingsPath, std::ios::binary);
        std::string contents(4097, '\0');
        in.read(contents.data(), static_cast<std::streamsize>(contents.size()));
        contents.resize(static_cast<size_t>(std::max<std::streamsize>(in.gcount(), 0)));
        add(Connection::PortNameFromSettings(contents));
    }
    for (const char* com : {"COM1", "COM2", "COM3", "COM4"})
        add(com);
    std::vector<std::string> adapters;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/dev", ec)) {
        const std::string file = entry.path().filename().string();
        if (file.rfind("ttyUSB", 0) == 0 || file.rfind("ttyACM", 0) == 0)
            adapters.push_back(entry.path().string());
    }
    std::sort(adapters.begin(), adapters.end());
    for (const auto& a : adapters)
        add(a);
    return ports;
}

} // namespace pontvex::cli

#include "link/Connection.h"

#include "core/AtomicFile.h"
#include "link/SerialPort.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace pontvex {

namespace {

const char* const kConnectQuestion = "Включите питание в Pontvex \n"
                                     "Присоедините кабель RS232 к програм- \nматору и комп.\n"
                                     "<Да>работаем \n<Нет>только прг.";
const char* const kNotFound = "Не найден программатор!\nПрограмматор не PV55 или нет соединен! ";
const char* const kPermissionDenied = "нет доступа (добавьте пользователя в группу dialout: sudo usermod -aG "
                                      "dialout $USER, затем войдите снова)";
const char* const kPortBusy = "порт занят другой программой";
const char* const kSetComBad = "set Com bad";
const char* const kTimeoutsFailed = "SetCommTimeouts failed";
const char* const kStatusFailed = "Ошб.";
const char* const kStatusPrefix = "Ptvex55+";
const char* const kStatusFrom = " from ";

constexpr uint8_t kIdentityRequest = 15;
constexpr size_t kIdentityLength = 9;
constexpr size_t kFirmwareIdLength = 8;
// Read time-out of the identity answer: 1000 ms per byte plus 1000 ms.
constexpr int kIdentityTimeoutMs = static_cast<int>(1000 * kIdentityLength + 1000);
// One 11-bit frame at 115200 baud.
constexpr double kByteTimeMs = 11.0 / 115.2;

// Shown to the user as text: anything but printable ASCII becomes '?', so an
// odd identity byte cannot break the UTF-8 of the status field.
std::string printableId(const uint8_t* bytes, size_t n)
{
    std::string id;
    for (size_t i = 0; i < n; ++i) {
        id += (bytes[i] >= 0x20 && bytes[i] <= 0x7E) ? static_cast<char>(bytes[i]) : '?';
    }
    return id;
}

bool isPseudoTerminal(const std::string& name)
{
    return name.rfind("/dev/pts/", 0) == 0;
}

} // namespace

Connection::Connection(ByteLink& bytes, std::function<void()> bringToIdle)
    : bytes_(bytes), bringToIdle_(std::move(bringToIdle)), settingsPath_(defaultSettingsPath())
{
}

std::string Connection::defaultSettingsPath()
{
#ifdef _WIN32
    return "c:\\pontv55.con";
#else
    std::filesystem::path dir;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/') {
        dir = xdg;
    } else if (const char* home = std::getenv("HOME"); home && *home) {
        dir = std::filesystem::path(home) / ".config";
    } else {
        return {};
    }
    return (dir / "pontvex" / "pontv55.con").string();
#endif
}

std::string Connection::PortNameFromSettings(const std::string& contents)
{
    std::string line = contents.substr(0, contents.find('\n'));
    if (!line.empty() && line.front() == '/') {
        // A device path (named on the command line once): kept whole.
        if (line.size() > 4095) {
            return {};
        }
    } else {
        // The first line, read with a limit of 9 (8 characters), cut to 4.
        line = line.substr(0, 8).substr(0, 4);
    }
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) {
        line.pop_back();
    }
    if (line.empty()) {
        return {};
    }
    for (unsigned char c : line) {
        if (c < 0x20 || c > 0x7E) {
            return {};
        }
    }
    return line;
}

void Connection::readSettings()
{
    if (settingsPath_.empty()) {
        return;
    }
    std::ifstream in(settingsPath_, std::ios::binary);
    if (!in) {
        return;
    }
    // Only the first line matters; never read a huge file whole.
    std::string contents(4097, '\0');
    in.read(contents.data(), static_cast<std::streamsize>(contents.size()));
    contents.resize(static_cast<size_t>(in.gcount()));
    if (std::string name = PortNameFromSettings(contents); !name.empty()) {
        portName_ = name;
    }
}

void Connection::writeSettings() const
{
    // A pseudo-terminal (the box simulator) is gone after this run; probing it
    // next time could write into somebody's terminal.
    if (settingsPath_.empty() || isPseudoTerminal(portName_)) {
        return;
    }
    std::error_code ec;
    const std::filesystem::path path(settingsPath_);
    if (path.has_parent_path()) {
        std::filesystem::create_directories(path.parent_path(), ec);
    }
    // Nobody is told of a failure: the next start probes the ports again.
    std::string error;
    writeFileAtomically(settingsPath_, portName_, error);
}

std::vector<std::string> Connection::usbSerialPorts()
{
    std::vector<std::string> names;
#ifndef _WIN32
    for (const char* stem : {"/dev/ttyUSB", "/dev/ttyACM"}) {
        std::vector<std::pair<int, std::string>> found;
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator("/dev", error)) {
            const std::string path = entry.path().string();
            const std::string prefix(stem);
            if (path.rfind(prefix, 0) != 0 || path.size() == prefix.size() ||
                path.size() > prefix.size() + 6 ||
                path.find_first_not_of("0123456789", prefix.size()) != std::string::npos)
                continue;
            found.emplace_back(std::stoi(path.substr(prefix.size())), path);
        }
        std::sort(found.begin(), found.end());
        for (auto& [number, path] : found)
            names.push_back(path);
    }
#endif
    return names;
}

void Connection::Connect(bool askFirst)
{
    if (askFirst && (!bytes_.prompt() || !bytes_.prompt()->askYesNo(kConnectQuestion))) {
        bytes_.goOffline();
        return;
    }
    readSettings();
    openFailures_.clear();
    std::vector<std::string> names{portName_, "COM1", "COM2", "COM3", "COM4"};
    // Most boxes hang on a USB serial adapter: those come after the COM ports.
    if (adapterPorts)
        for (const std::string& name : adapterPorts())
            if (name != portName_)
                names.push_back(name);
    for (const std::string& name : names) {
        if (onProbe)
            onProbe(name);
        if (OpenProgrammerPort(name)) {
            writeSettings();
            idle();
            return;
        }
    }
    // The system's reasons for ports that are there but would not open.
    bytes_.tell(kNotFound + openFailures_);
    bytes_.goOffline();
}

bool Connection::ConnectTo(const std::string& name)
{
    openFailures_.clear();
    if (!OpenProgrammerPort(name)) {
        bytes_.tell(kNotFound + openFailures_);
        return false;
    }
    writeSettings();
    idle();
    return bytes_.Connected();
}

bool Connection::OpenProgrammerPort(const std::string& name)
{
    bytes_.goOffline();
    if (!opener_) {
        return false;
    }
    PortOpenResult result = PortOpenResult::NoSuchPort;
    std::unique_ptr<Transport> port = opener_->open(name, result);
    if (result == PortOpenResult::SettingsRejected) {
        bytes_.tell(kSetComBad);
        return false;
    }
    if (result == PortOpenResult::TimeoutsRejected) {
        bytes_.tell(kTimeoutsFailed);
    }
    if (result == PortOpenResult::PermissionDenied) {
        openFailures_ += "\n" + name + ": " + kPermissionDenied;
        return false;
    }
    if (result == PortOpenResult::Busy) {
        openFailures_ += "\n" + name + ": " + kPortBusy;
        return false;
    }
    if (!port || result == PortOpenResult::NoSuchPort) {
        return false;
    }
    return identify(std::move(port), name);
}

bool Connection::AttachTransport(std::unique_ptr<Transport> transport, const std::string& name)
{
    bytes_.goOffline();
    if (!transport || !identify(std::move(transport), name)) {
        return false;
    }
    idle();
    return bytes_.Connected();
}

bool Connection::identify(std::unique_ptr<Transport> transport, const std::string& name)
{
    uint8_t answer[kIdentityLength] = {};
    size_t got = 0;
    const auto start = std::chrono::steady_clock::now();
    if (transport->write(&kIdentityRequest, 1) == 1) {
        got = transport->read(answer, kIdentityLength, kIdentityTimeoutMs);
    }
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    if (got < kIdentityLength) {
        statusText_ = kStatusFailed;
        return false;
    }
    roundTripMs_ = std::max(0.0, took.count() - (1 + kIdentityLength) * kByteTimeMs);
    firmwareId_ = printableId(answer, kFirmwareIdLength);
    portName_ = name;
    statusText_ = std::string(kStatusPrefix) + kStatusFrom + portName_;
    bytes_.goOnline(std::move(transport));
    return true;
}

void Connection::idle()
{
    try {
        if (bringToIdle_) {
            bringToIdle_();
        }
        bytes_.Flush();
    } catch (const LinkLost&) {
        // Told and offline already; the program goes on without the box.
    }
}

void Connection::Disconnect()
{
    if (bytes_.Connected()) {
        try {
            bytes_.Flush();
        } catch (const LinkLost&) {
        }
    }
    bytes_.goOffline();
}

} // namespace pontvex

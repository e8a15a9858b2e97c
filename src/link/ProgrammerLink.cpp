#include "link/ProgrammerLink.h"

#include "link/SerialPort.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace pontvex {

namespace {

const char* const kConnectQuestion = "Включите питание в Pontvex \n"
                                     "Присоедините кабель RS232 к програм- \nматору и комп.\n"
                                     "<Да>работаем \n<Нет>только прг.";
const char* const kNotFound = "Не найден программатор!\nПрограмматор не PV55 или нет соединен! ";
const char* const kWriteLost = "通信中断(out)！\nПрогр.выключили после инициализ.!";
const char* const kReadLost = "Потеряна связь\nПрогр.выключили после инициализ.!";
const char* const kSetComBad = "set Com bad";
const char* const kTimeoutsFailed = "SetCommTimeouts failed";
const char* const kStatusFailed = "Ошб.";
const char* const kStatusPrefix = "Ptvex55+";
const char* const kStatusFrom = " from ";
const char* const kNoProgrammer = "Программатор отсутствует!\n\nПродолжать ?    ";
const char* const kRaisedSupplyFirmware = "kelm3v52";
const char* const kDeviceListFirmware = "kelu3v13";

constexpr uint8_t kIdentityRequest = 15;
constexpr uint8_t kNoOperation = 30;
constexpr size_t kIdentityLength = 9;
constexpr size_t kFirmwareIdLength = 8;
// Read time-outs of the line: 1000 ms per byte requested plus 1000 ms.
constexpr int timeoutForBytes(size_t n)
{
    return static_cast<int>(1000 * n + 1000);
}
// A long run of queued bytes (a 10000-unit delay, a page of data) goes out
// once this much has piled up, so the box never idles behind a full queue.
constexpr size_t kFlushThreshold = 4096;
// One 11-bit frame at 115200 baud.
constexpr double kByteTimeMs = 11.0 / 115.2;

constexpr std::array<uint8_t, 256> makeBitReverseTable()
{
    std::array<uint8_t, 256> table{};
    for (int i = 0; i < 256; ++i) {
        int r = 0;
        for (int bit = 0; bit < 8; ++bit) {
            if (i & (1 << bit)) {
                r |= 0x80 >> bit;
            }
        }
        table[i] = static_cast<uint8_t>(r);
    }
    return table;
}

constexpr std::array<uint8_t, 256> kBitReverseTable = makeBitReverseTable();

// Where a pin lives in the pin latches: latch index and bit, or latch -1.
struct LatchBit {
    int latch;
    int bit;
};

LatchBit pinLatchBit(int pin)
{
    if (pin >= 1 && pin <= 8) {
        return {5, pin - 1};
    }
    if (pin >= 9 && pin <= 16) {
        return {1, pin - 9};
    }
    if (pin >= 17 && pin <= 19) {
        return {3, pin - 17};
    }
    if (pin == 20) {
        return {6, 7};
    }
    if (pin >= 21 && pin <= 25) {
        return {3, pin - 18};
    }
    if (pin >= 26 && pin <= 31) {
        return {0, pin - 26};
    }
    if (pin >= 32 && pin <= 33) {
        return {4, pin - 32};
    }
    if (pin >= 34 && pin <= 39) {
        return {2, pin - 34};
    }
    if (pin == 40) {
        return {6, 6};
    }
    return {-1, 0};
}

// Vpp switches: route A (command 24) and route B (command 25) bits per pin.
LatchBit vppSwitch(int pin)
{
    switch (pin) {
    case 1:
        return {0, 0};
    case 5:
        return {0, 1};
    case 7:
        return {0, 2};
    case 9:
        return {0, 3};
    case 10:
        return {0, 4};
    case 11:
        return {0, 5};
    case 12:
        return {0, 6};
    case 15:
        return {0, 7};
    case 20:
        return {1, 0};
    case 28:
        return {1, 1};
    case 29:
        return {1, 2};
    case 30:
        return {1, 3};
    case 31:
        return {1, 4};
    case 34:
        return {1, 5};
    case 40:
        return {1, 6};
    default:
        return {-1, 0};
    }
}

// Vcc switches (active low): route A (command 26) or the Vcc/GND route (27).
LatchBit vccSwitch(int pin)
{
    switch (pin) {
    case 8:
        return {0, 0};
    case 17:
        return {0, 1};
    case 25:
        return {0, 2};
    case 27:
        return {0, 3};
    case 28:
        return {0, 4};
    case 30:
        return {0, 5};
    case 32:
        return {0, 6};
    case 34:
        return {0, 7};
    case 36:
        return {1, 0};
    case 40:
        return {1, 1};
    case 26:
        return {1, 2};
    default:
        return {-1, 0};
    }
}

// Ground switches (active high) in bits 3..7 of the Vcc/GND route.
int gndBit(int pin)
{
    switch (pin) {
    case 25:
        return 3;
    case 10:
        return 4;
    case 16:
        return 5;
    case 20:
        return 6;
    case 31:
        return 7;
    default:
        return -1;
    }
}

uint8_t withBit(uint8_t value, int bit, bool set)
{
    const auto mask = static_cast<uint8_t>(1u << bit);
    return set ? static_cast<uint8_t>(value | mask) : static_cast<uint8_t>(value & ~mask);
}

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

ProgrammerLink::ProgrammerLink() : settingsPath_(defaultSettingsPath()) {}

ProgrammerLink::~ProgrammerLink()
{
    // Whatever is still queued (a PowerDown at exit) must reach the box; a
    // failure here has nobody left to tell.
    if (connected_ && transport_ && !out_.empty()) {
        transport_->write(out_.data(), out_.size());
    }
}

std::string ProgrammerLink::defaultSettingsPath()
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

std::string ProgrammerLink::PortNameFromSettings(const std::string& contents)
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

void ProgrammerLink::tell(const std::string& text)
{
    if (prompt_) {
        prompt_->showMessage(text);
    }
}

void ProgrammerLink::readSettings()
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

void ProgrammerLink::writeSettings() const
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
    const std::filesystem::path temp = path.string() + ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out) {
            return;
        }
        out.write(portName_.data(), static_cast<std::streamsize>(portName_.size()));
        if (!out.flush()) {
            out.close();
            std::filesystem::remove(temp, ec);
            return;
        }
    }
    std::filesystem::rename(temp, path, ec);
    if (ec) {
        std::filesystem::remove(temp, ec);
    }
}

void ProgrammerLink::Connect(bool askFirst)
{
    if (askFirst && (!prompt_ || !prompt_->askYesNo(kConnectQuestion))) {
        connected_ = false;
        return;
    }
    readSettings();
    const std::string first = portName_;
    for (const std::string& name :
         {first, std::string("COM1"), std::string("COM2"), std::string("COM3"), std::string("COM4")}) {
        if (OpenProgrammerPort(name)) {
            writeSettings();
            bringToIdle();
            return;
        }
    }
    tell(kNotFound);
    connected_ = false;
}

bool ProgrammerLink::ConnectTo(const std::string& name)
{
    if (!OpenProgrammerPort(name)) {
        tell(kNotFound);
        return false;
    }
    writeSettings();
    bringToIdle();
    return connected_;
}

bool ProgrammerLink::OpenProgrammerPort(const std::string& name)
{
    connected_ = false;
    dropQueues();
    transport_.reset();
    portOpened_ = false;
    if (!opener_) {
        return false;
    }
    PortOpenResult result = PortOpenResult::NoSuchPort;
    std::unique_ptr<Transport> port = opener_->open(name, result);
    if (result == PortOpenResult::SettingsRejected) {
        tell(kSetComBad);
        return false;
    }
    if (result == PortOpenResult::TimeoutsRejected) {
        tell(kTimeoutsFailed);
    }
    if (!port || result == PortOpenResult::NoSuchPort) {
        return false;
    }
    return identify(std::move(port), name);
}

bool ProgrammerLink::AttachTransport(std::unique_ptr<Transport> transport, const std::string& name)
{
    connected_ = false;
    dropQueues();
    transport_.reset();
    portOpened_ = false;
    if (!transport || !identify(std::move(transport), name)) {
        return false;
    }
    bringToIdle();
    return connected_;
}

bool ProgrammerLink::identify(std::unique_ptr<Transport> transport, const std::string& name)
{
    transport_ = std::move(transport);
    portOpened_ = true;
    uint8_t answer[kIdentityLength] = {};
    size_t got = 0;
    const auto start = std::chrono::steady_clock::now();
    if (transport_->write(&kIdentityRequest, 1) == 1) {
        got = transport_->read(answer, kIdentityLength, timeoutForBytes(kIdentityLength));
    }
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    if (got < kIdentityLength) {
        statusText_ = kStatusFailed;
        transport_.reset();
        portOpened_ = false;
        return false;
    }
    roundTripMs_ = std::max(0.0, took.count() - (1 + kIdentityLength) * kByteTimeMs);
    firmwareId_ = printableId(answer, kFirmwareIdLength);
    statusText_ = firmwareId_;
    portName_ = name;
    statusText_ = std::string(kStatusPrefix) + kStatusFrom + portName_;
    connected_ = true;
    return true;
}

void ProgrammerLink::bringToIdle()
{
    try {
        SetVppVoltage(0);
        RouteVpp(0);
        RouteVcc(0);
        RouteGnd(0);
        WriteAllLatches(0);
        SetAuxSelect(0);
        SetPin(7, 1);
        SetPin(8, 1);
        InitSocket();
        Flush();
    } catch (const LinkLost&) {
        // Told and offline already; the program goes on without the box.
    }
}

void ProgrammerLink::Disconnect()
{
    if (connected_) {
        try {
            Flush();
        } catch (const LinkLost&) {
        }
    }
    connected_ = false;
    dropQueues();
    transport_.reset();
    portOpened_ = false;
}

void ProgrammerLink::dropQueues()
{
    out_.clear();
    replies_.clear();
    owed_ = 0;
    longOwed_ = false;
}

void ProgrammerLink::loseLink(const std::string& message)
{
    dropQueues();
    connected_ = false;
    tell(message);
    throw LinkLost(message);
}

// --- primitives -------------------------------------------------------------

void ProgrammerLink::SendByte(uint8_t value)
{
    if (!connected_) {
        return;
    }
    settleLongCommand();
    out_.push_back(value);
    if (out_.size() >= kFlushThreshold) {
        Flush();
    }
}

uint8_t ProgrammerLink::ReceiveByte()
{
    if (!connected_) {
        return 255;
    }
    if (!replies_.empty()) {
        const uint8_t value = replies_.front();
        replies_.pop_front();
        return value;
    }
    Flush();
    uint8_t value = 0;
    if (transport_->read(&value, 1, timeoutForBytes(1)) != 1) {
        loseLink(kReadLost);
    }
    if (owed_ > 0 && --owed_ == 0) {
        longOwed_ = false;
    }
    return value;
}

void ProgrammerLink::LinkDelay(int n)
{
    if (!portOpened_ || !connected_ || n <= 0) {
        return;
    }
    settleLongCommand();
    out_.insert(out_.end(), static_cast<size_t>(n), kNoOperation);
    if (out_.size() >= kFlushThreshold) {
        Flush();
    }
}

void ProgrammerLink::BlockWrite(const uint8_t* data, size_t n)
{
    if (!connected_ || n == 0) {
        return;
    }
    settleLongCommand();
    out_.insert(out_.end(), data, data + n);
    Flush();
}

// --- reply pipelining -----------------------------------------------------------

bool ProgrammerLink::IsLongCommand(uint8_t command)
{
    return command == 129 || command == 130 || command == 136 || command == 137 ||
           (command >= 140 && command <= 146) || command == 150;
}

void ProgrammerLink::collect(size_t n)
{
    Flush();
    n = std::min(n, owed_);
    while (n > 0) {
        uint8_t chunk[256];
        const size_t want = std::min(n, sizeof chunk);
        const size_t got = transport_->read(chunk, want, timeoutForBytes(want));
        replies_.insert(replies_.end(), chunk, chunk + got);
        owed_ -= got;
        n -= got;
        if (owed_ == 0) {
            longOwed_ = false;
        }
        if (got < want) {
            loseLink(kReadLost);
        }
    }
}

void ProgrammerLink::settleLongCommand()
{
    // A busy box does not read its input; whatever follows a long command
    // waits on our side until the command has answered.
    if (longOwed_) {
        collect(owed_);
    }
}

void ProgrammerLink::QueueCommand(std::initializer_list<uint8_t> bytes, int replyBytes, bool longCommand)
{
    QueueCommand(bytes.begin(), bytes.size(), replyBytes, longCommand);
}

void ProgrammerLink::QueueCommand(const uint8_t* bytes, size_t n, int replyBytes, bool longCommand)
{
    if (!connected_ || n == 0) {
        return;
    }
    const size_t replies = replyBytes > 0 ? static_cast<size_t>(replyBytes) : 0;
    settleLongCommand();
    if (owed_ + replies > window_) {
        collect(owed_ + replies - window_);
    }
    out_.insert(out_.end(), bytes, bytes + n);
    owed_ += replies;
    if (replies > 0 && (longCommand || IsLongCommand(bytes[0]))) {
        longOwed_ = true;
    }
    if (out_.size() >= kFlushThreshold) {
        Flush();
    }
}

void ProgrammerLink::DiscardReplies()
{
    if (connected_) {
        collect(owed_);
    }
    replies_.clear();
}

void ProgrammerLink::Flush()
{
    if (out_.empty()) {
        return;
    }
    if (!connected_ || !transport_) {
        out_.clear();
        return;
    }
    const size_t n = out_.size();
    const size_t written = transport_->write(out_.data(), n);
    out_.clear();
    // A short write loses bytes in the middle of the stream: the box can no
    // longer be trusted to be in the state the shadows say.
    if (written != n) {
        loseLink(kWriteLost);
    }
}

// --- pin operations -----------------------------------------------------------

void ProgrammerLink::sendPinLatch(int k)
{
    SendByte(static_cast<uint8_t>(8 + k));
    SendByte(shadows_.pinLatch[k]);
}

void ProgrammerLink::SetPin(int pin, int level)
{
    const LatchBit where = pinLatchBit(pin);
    if (where.latch < 0) {
        return;
    }
    uint8_t& latch = shadows_.pinLatch[where.latch];
    latch = withBit(latch, where.bit, level != 0);
    uint8_t sent = latch;
    if (where.latch == 2) {
        // Bits 6 and 7 of latch 2 are no socket pins; a pin write holds them high.
        sent |= 0xC0;
    }
    SendByte(static_cast<uint8_t>(8 + where.latch));
    SendByte(sent);
}

void ProgrammerLink::FloatPin(int pin)
{
    // Only socket pins: 31 + pin for anything else is some other command.
    if (pin >= 1 && pin <= 40) {
        SendByte(static_cast<uint8_t>(31 + pin));
    }
}

void ProgrammerLink::DrivePin(int pin)
{
    if (pin >= 1 && pin <= 40) {
        SendByte(static_cast<uint8_t>(79 + pin));
    }
}

void ProgrammerLink::SetPinDriver(int flag, int pin)
{
    if (flag == 0) {
        DrivePin(pin);
    } else {
        FloatPin(pin);
    }
}

int ProgrammerLink::ReadPin(int pin)
{
    if (pin == 20 || pin == 40) {
        SendByte(7);
        LinkDelay(3);
        const uint8_t status = ReceiveByte();
        return (status >> (pin == 20 ? 7 : 6)) & 1;
    }
    if (pin < 1 || pin > 39) {
        // No such pin: reads like an unconnected one, and nothing is sent.
        return 1;
    }
    const int q = pin < 20 ? pin - 1 : pin - 2;
    return (ReadPort(q / 8) >> (q % 8)) & 1;
}

uint8_t ProgrammerLink::ReadPort(int index)
{
    if (index < 0 || index > 4) {
        return 255;
    }
    SendByte(static_cast<uint8_t>(1 + index));
    return ReceiveByte();
}

void ProgrammerLink::WriteLatch(int index, uint8_t value)
{
    if (index < 0 || index > 4) {
        return;
    }
    SendByte(static_cast<uint8_t>(16 + index));
    SendByte(value);
}

void ProgrammerLink::WriteAllLatches(uint8_t value)
{
    for (int index = 0; index <= 4; ++index) {
        WriteLatch(index, value);
    }
}

void ProgrammerLink::WritePinLatch(int k, uint8_t value)
{
    if (k < 0 || k > 6) {
        return;
    }
    SendByte(static_cast<uint8_t>(8 + k));
    SendByte(value);
}

uint8_t ProgrammerLink::ReadDataByte()
{
    SendByte(128);
    return ReceiveByte();
}

void ProgrammerLink::ReadDataBytes(uint8_t* destination, size_t n)
{
    for (size_t i = 0; i < n; ++i) {
        QueueCommand({128}, 1);
    }
    for (size_t i = 0; i < n; ++i) {
        destination[i] = ReceiveByte();
    }
}

// --- supply operations ----------------------------------------------------------

int ProgrammerLink::VppLevelCode(int millivolts)
{
    switch (millivolts) {
    case 25000:
        return 12;
    case 21000:
        return 7;
    case 16500:
    case 14500:
    case 14000:
    case 13800:
        return 9;
    case 13300:
        return 8;
    case 13000:
    case 12700:
    case 12500:
        return 5;
    case 12000:
        return 4;
    case 10800:
        return 3;
    case 10000:
        return 2;
    default:
        return 0;
    }
}

void ProgrammerLink::SetVppVoltage(int millivolts)
{
    const int code = VppLevelCode(millivolts);
    uint8_t& latch6 = shadows_.pinLatch[6];
    latch6 = static_cast<uint8_t>((latch6 & 0xF0) | (~code & 0x0F));
    SendByte(14);
    SendByte(latch6);
    shadows_.aux = static_cast<uint8_t>(shadows_.aux & 0xF0);
    SendByte(22);
    SendByte(shadows_.aux);
}

void ProgrammerLink::sendVppRoutes()
{
    SendByte(24);
    SendByte(shadows_.vppRouteA);
    LinkDelay(3);
    SendByte(25);
    SendByte(shadows_.vppRouteB);
    LinkDelay(3);
}

void ProgrammerLink::RouteVpp(int pin)
{
    if (pin == 0) {
        shadows_.vppRouteA = 0;
        shadows_.vppRouteB &= 0x80;
    } else if (const LatchBit sw = vppSwitch(pin); sw.latch == 0) {
        shadows_.vppRouteA = withBit(shadows_.vppRouteA, sw.bit, true);
    } else if (sw.latch == 1) {
        shadows_.vppRouteB = withBit(shadows_.vppRouteB, sw.bit, true);
    }
    sendVppRoutes();
}

void ProgrammerLink::UnrouteVpp(int pin)
{
    if (pin == 0) {
        // The pin-40 route stays: only RouteVpp 0 or UnrouteVpp 40 removes it.
        shadows_.vppRouteA = 0;
        shadows_.vppRouteB &= 0xC0;
    } else if (const LatchBit sw = vppSwitch(pin); sw.latch == 0) {
        shadows_.vppRouteA = withBit(shadows_.vppRouteA, sw.bit, false);
    } else if (sw.latch == 1) {
        // Pin 40 included: asking to take Vpp off a pin must take it off.
        shadows_.vppRouteB = withBit(shadows_.vppRouteB, sw.bit, false);
    }
    sendVppRoutes();
}

void ProgrammerLink::RouteVcc(int pin)
{
    if (pin != 0) {
        FloatPin(pin);
    }
    shadows_.vccRouteA = 0xFF;
    shadows_.vccGndRoute |= 0x07;
    if (const LatchBit sw = vccSwitch(pin); sw.latch == 0) {
        shadows_.vccRouteA = withBit(shadows_.vccRouteA, sw.bit, false);
    } else if (sw.latch == 1) {
        shadows_.vccGndRoute = withBit(shadows_.vccGndRoute, sw.bit, false);
    }
    SendByte(26);
    SendByte(shadows_.vccRouteA);
    LinkDelay(10);
    SendByte(27);
    SendByte(shadows_.vccGndRoute);
    LinkDelay(10);
}

void ProgrammerLink::RouteGnd(int pin)
{
    // 79 (pin 0) is a no-operation for the box; other pins get their driver on.
    if (pin >= 0 && pin <= 40) {
        SendByte(static_cast<uint8_t>(79 + pin));
    }
    shadows_.vccGndRoute &= 0x07;
    if (const int bit = gndBit(pin); bit >= 0) {
        shadows_.vccGndRoute = withBit(shadows_.vccGndRoute, bit, true);
    }
    SendByte(27);
    SendByte(shadows_.vccGndRoute);
    LinkDelay(10);
}

void ProgrammerLink::SetVccVoltage(int level)
{
    // Bit 7 of Vpp route B: 0 selects the raised Vcc on pin 40.
    shadows_.vppRouteB = withBit(shadows_.vppRouteB, 7, level != 6);
    SendByte(25);
    SendByte(shadows_.vppRouteB);
    LinkDelay(500);
}

void ProgrammerLink::RouteRaisedSupply(int pin)
{
    if (firmwareId_ == kRaisedSupplyFirmware) {
        RouteVpp(pin);
        LinkDelay(1000);
    } else if (pin == 0) {
        SetVccVoltage(5);
        RouteVcc(0);
    } else {
        SetVccVoltage(6);
        RouteVcc(pin);
    }
}

void ProgrammerLink::SetAuxSelect(int n)
{
    uint8_t& latch6 = shadows_.pinLatch[6];
    latch6 = static_cast<uint8_t>(latch6 & ~0x70);
    SendByte(14);
    SendByte(latch6);
    shadows_.aux = static_cast<uint8_t>((shadows_.aux & ~0x70) | (~(n * 16) & 0x70));
    SendByte(22);
    SendByte(shadows_.aux);
    LinkDelay(10);
}

void ProgrammerLink::RouteClock(int pin)
{
    switch (pin) {
    case 0:
        SetAuxSelect(0);
        break;
    case 19:
        SetAuxSelect(1);
        break;
    case 15:
        SetAuxSelect(2);
        break;
    default:
        break;
    }
}

// --- socket state ---------------------------------------------------------------

void ProgrammerLink::ResetSocket()
{
    for (int pin = 1; pin <= 40; ++pin) {
        SetPin(pin, 0);
    }
    SetVppVoltage(0);
    WriteAllLatches(0);
    RouteGnd(20);
    SetAuxSelect(0);
}

void ProgrammerLink::InitSocket()
{
    // The bit-reverse table is built once at compile time.
    RouteVcc(0);
    RouteClock(0);
    RouteGnd(0);
    SetVppVoltage(0);
    SetBusMode(15);
}

void ProgrammerLink::PowerDown()
{
    SetVppVoltage(0);
    RouteVpp(0);
    RouteVcc(0);
    RouteClock(0);
    SendByte(0);
    // Supplies off must reach the box now, not with the next command.
    Flush();
}

void ProgrammerLink::SetBusMode(int mode)
{
    auto& latch = shadows_.pinLatch;
    switch (mode) {
    case 12:
        latch[3] = 0xFF;
        sendPinLatch(3);
        break;
    case 9:
        latch[3] = 0xF0;
        sendPinLatch(3);
        latch[0] = 0x0F;
        sendPinLatch(0);
        SetPin(13, 1);
        break;
    case 7:
        latch[2] = 0x7F;
        sendPinLatch(2);
        latch[4] = 0x03;
        sendPinLatch(4);
        break;
    case 15:
        latch[3] = 0x00;
        sendPinLatch(3);
        latch[0] &= 0xF0;
        sendPinLatch(0);
        latch[2] &= 0x80;
        sendPinLatch(2);
        latch[4] &= 0xFC;
        sendPinLatch(4);
        SetPin(13, 0);
        break;
    default:
        break;
    }
}

void ProgrammerLink::SetPageWriteMode(int m)
{
    SendByte(135);
    SendByte(static_cast<uint8_t>(m));
    if (m == 64) {
        SetAuxSelect(0);
        SetPin(7, 1);
        SetPin(8, 1);
    } else if (m == 128) {
        SetAuxSelect(4);
        SetPin(7, 0);
        SetPin(8, 1);
    } else {
        SetAuxSelect(4);
        SetPin(7, 0);
        SetPin(8, 0);
    }
}

void ProgrammerLink::SetPageLength(int n)
{
    SendByte(131);
    SendByte(static_cast<uint8_t>(n));
}

void ProgrammerLink::SetPulseLength(int n)
{
    SendByte(132);
    SendByte(static_cast<uint8_t>(n));
}

// --- tests and probes -------------------------------------------------------------

bool ProgrammerLink::PinLoopTest()
{
    SetPin(1, 0);
    for (int round = 0; round < 101; ++round) {
        FloatPin(1);
        if (ReadPin(1) != 1) {
            return false;
        }
        DrivePin(1);
        if (ReadPin(1) != 0) {
            return false;
        }
    }
    return true;
}

bool ProgrammerLink::OscillatorPresenceTest(int pinA, int pinB)
{
    RouteClock(0);
    SetPin(pinA, 0);
    SetPin(pinB, 1);
    DrivePin(pinA);
    LinkDelay(100);
    for (int round = 0; round < 2; ++round) {
        DrivePin(pinA);
        const int driven = ReadPin(pinB);
        FloatPin(pinA);
        const int released = ReadPin(pinB);
        if (driven == released) {
            RouteVcc(0);
            Flush();
            return prompt_ && prompt_->askYesCancel(kNoProgrammer);
        }
    }
    RouteVcc(0);
    return true;
}

int ProgrammerLink::ProbeHardwareModel()
{
    RouteVpp(0);
    RouteVcc(0);
    LinkDelay(50);
    SetPin(31, 1);
    RouteGnd(31);
    const int level = ReadPin(31);
    RouteGnd(0);
    if (level != 0) {
        return 97;
    }
    return firmwareId_ == kDeviceListFirmware ? 98 : 99;
}

uint8_t ProgrammerLink::CheckSocketStatus()
{
    SendByte(7);
    const uint8_t status = ReceiveByte();
    return (connected_ && (status & 0x7F) != 37) ? 0 : 255;
}

void ProgrammerLink::ReadPortBlock(uint8_t* destination, uint8_t& lowAddress)
{
    // All 512 port reads go out ahead of their replies; the bytes on the line
    // are those of read, read, step, 256 times.
    uint8_t step = lowAddress;
    for (int i = 0; i < 256; ++i) {
        QueueCommand({5}, 1);
        QueueCommand({4}, 1);
        ++step;
        QueueCommand({16, step}, 0);
    }
    for (int i = 0; i < 256; ++i) {
        uint8_t value = kBitReverseTable[static_cast<uint8_t>(ReceiveByte() * 4)];
        const uint8_t port3 = ReceiveByte();
        if (port3 & 0x80) {
            value = static_cast<uint8_t>(value + 0x40);
        }
        if (port3 & 0x40) {
            value = static_cast<uint8_t>(value + 0x80);
        }
        destination[i] = value;
    }
    lowAddress = step;
}

const std::array<uint8_t, 256>& ProgrammerLink::BitReverseTable()
{
    return kBitReverseTable;
}

} // namespace pontvex

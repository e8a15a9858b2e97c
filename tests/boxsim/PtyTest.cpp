// pontvex-boxsim on a pseudo-terminal, driven by the program's own serial code.

#include "BoxTestSupport.h"
#include "link/SerialPort.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace pontvex::boxsim {
namespace {

namespace fs = std::filesystem;

// One pontvex-boxsim process; its first line of output is the device path.
class BoxProcess {
public:
    explicit BoxProcess(std::vector<std::string> args)
    {
        int out[2], err[2];
        if (::pipe(out) != 0 || ::pipe(err) != 0) {
            return;
        }
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(out[1], 1);
            ::dup2(err[1], 2);
            ::close(out[0]);
            ::close(err[0]);
            std::string exe = std::string(PONTVEX_BINARY_DIR) + "/src/pontvex-boxsim";
            std::vector<char*> argv{exe.data()};
            for (auto& a : args) {
                argv.push_back(a.data());
            }
            argv.push_back(nullptr);
            ::execv(exe.c_str(), argv.data());
            ::_exit(127);
        }
        ::close(out[1]);
        ::close(err[1]);
        out_ = out[0];
        err_ = err[0];
        path_ = readLine(out_, 5000);
    }
    ~BoxProcess()
    {
        if (pid_ > 0 && status_ < 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        ::close(out_);
        ::close(err_);
    }
    const std::string& path() const { return path_; }
    // Exit status, or -1 when it did not end in time (then it is killed).
    int wait(int timeoutMs = 5000)
    {
        for (int waited = 0; waited < timeoutMs; waited += 10) {
            int st = 0;
            if (::waitpid(pid_, &st, WNOHANG) == pid_) {
                status_ = WIFEXITED(st) ? WEXITSTATUS(st) : 128;
                return status_;
            }
            ::usleep(10000);
        }
        return -1;
    }
    void terminate() { ::kill(pid_, SIGTERM); }
    std::string errors()
    {
        std::string s;
        char buf[512];
        ssize_t n;
        ::fcntl(err_, F_SETFL, O_NONBLOCK);
        while ((n = ::read(err_, buf, sizeof buf)) > 0) {
            s.append(buf, static_cast<size_t>(n));
        }
        return s;
    }

private:
    static std::string readLine(int fd, int timeoutMs)
    {
        std::string line;
        char c;
        while (true) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, timeoutMs) <= 0 || ::read(fd, &c, 1) != 1 || c == '\n') {
                return line;
            }
            line += c;
        }
    }
    pid_t pid_ = -1;
    int out_ = -1, err_ = -1;
    int status_ = -1;
    std::string path_;
};

// "COM3" is the simulator's pseudo-terminal; every other name is absent.
class SimOpener : public PortOpener {
public:
    explicit SimOpener(std::string path) : path_(std::move(path)) {}
    std::unique_ptr<Transport> open(const std::string& name, PortOpenResult& result) override
    {
        ++opens;
        if (name != "COM3") {
            result = PortOpenResult::NoSuchPort;
            return nullptr;
        }
        return SerialPortOpener().open(path_, result);
    }
    int opens = 0;

private:
    std::string path_;
};

fs::path tempFile(const std::string& name)
{
    fs::path dir = fs::temp_directory_path() / ("pontvex-boxsim-test-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    return dir / name;
}

TEST(BoxPty, TheConnectionRoutineFindsTheBoxAndThePinLoopPasses)
{
    BoxProcess box({});
    ASSERT_EQ(box.path().rfind("/dev/", 0), 0u) << box.path();
    SimOpener opener(box.path());
    simtest::QuietPrompt prompt;
    fs::path settings = tempFile("port.con");
    {
        std::ofstream(settings, std::ios::binary) << "COM3";
    }
    ProgrammerLink link;
    link.setPrompt(&prompt);
    link.setPortOpener(&opener);
    link.setSettingsPath(settings.string());
    link.Connect(true);
    ASSERT_TRUE(link.Connected()) << (prompt.messages.empty() ? "" : prompt.messages.back());
    EXPECT_EQ(link.FirmwareId(), "kelu3v13");
    EXPECT_EQ(link.PortName(), "COM3");
    EXPECT_EQ(opener.opens, 1);
    EXPECT_TRUE(link.PinLoopTest());
    // The ready code 37 leaves bit 6 clear: it reads as ready only with pin 40 low.
    EXPECT_EQ(link.CheckSocketStatus(), 0);
    link.SetPin(40, 0);
    link.DrivePin(40);
    EXPECT_EQ(link.CheckSocketStatus(), 255);
    link.PowerDown();
    link.Disconnect();
    EXPECT_EQ(box.wait(), 0) << box.errors();
}

TEST(BoxPty, FirmwareIdImageAndDump)
{
    fs::path image = tempFile("image.bin"), dump = tempFile("dump.bin");
    std::vector<char> bytes(0x8000);
    for (size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<char>(i ^ (i >> 8));
    }
    std::ofstream(image, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    fs::remove(dump);
    fs::path trace = tempFile("trace.txt");
    BoxProcess box({"--chip", "TEST28", "--image", image.string(), "--dump", dump.string(), "--firmware-id",
                    "kelm3v52", "--trace", trace.string()});
    SimOpener opener(box.path());
    ProgrammerLink link;
    link.setPortOpener(&opener);
    link.setSettingsPath("");
    ASSERT_TRUE(link.OpenProgrammerPort("COM3"));
    EXPECT_EQ(link.FirmwareId(), "kelm3v52");
    link.Disconnect();
    EXPECT_EQ(box.wait(), 0) << box.errors();
    std::ifstream in(dump, std::ios::binary);
    std::vector<char> back((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(back, bytes);
    std::ifstream t(trace);
    std::string text((std::istreambuf_iterator<char>(t)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("t=00000001 > 0F"), std::string::npos) << text;
    EXPECT_NE(text.find("< 6B 65 6C 6D 33 76 35 32 00"), std::string::npos) << text;
}

TEST(BoxPty, BadInputIsReportedNeverHangs)
{
    BoxProcess box({});
    int fd = ::open(box.path().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    termios tio{};
    ::tcgetattr(fd, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(fd, TCSANOW, &tio);
    const uint8_t bytes[] = {6, 255, 7, 131, 4, 136, 1};
    ASSERT_EQ(::write(fd, bytes, sizeof bytes), static_cast<ssize_t>(sizeof bytes));
    uint8_t status = 0;
    pollfd p{fd, POLLIN, 0};
    ASSERT_EQ(::poll(&p, 1, 3000), 1);
    ASSERT_EQ(::read(fd, &status, 1), 1);
    EXPECT_EQ(status & 0x3F, 37);
    ::close(fd); // mid-command
    EXPECT_EQ(box.wait(), 1);
    std::string err = box.errors();
    EXPECT_NE(err.find("undefined command byte 6"), std::string::npos) << err;
    EXPECT_NE(err.find("undefined command byte 255"), std::string::npos) << err;
    EXPECT_NE(err.find("command 136 cut short: 1 of 4"), std::string::npos) << err;
}

TEST(BoxPty, StartUpFailuresAndStop)
{
    {
        BoxProcess box({"--chip", "NO-SUCH-CHIP"});
        EXPECT_EQ(box.wait(), 2);
        EXPECT_NE(box.errors().find("unknown chip"), std::string::npos);
    }
    {
        BoxProcess box({"--fault", "explode"});
        EXPECT_EQ(box.wait(), 2);
    }
    {
        BoxProcess box({});
        ASSERT_FALSE(box.path().empty());
        box.terminate(); // nobody ever opened it
        EXPECT_EQ(box.wait(), 0);
    }
}

TEST(BoxPty, RealTimePacingHoldsRepliesForTheAdapterTimer)
{
    BoxProcess box({"--realtime", "--latency-ms", "5"});
    SimOpener opener(box.path());
    ProgrammerLink link;
    link.setPortOpener(&opener);
    link.setSettingsPath("");
    ASSERT_TRUE(link.OpenProgrammerPort("COM3"));
    auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < 20; ++i) {
        link.CheckSocketStatus();
    }
    double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_GE(ms, 20 * 5.0);
    // 1000 no-ops take their 95.5 ms on the line before the next reply.
    t0 = std::chrono::steady_clock::now();
    link.LinkDelay(1000);
    link.CheckSocketStatus();
    ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_GE(ms, 95.0);
    link.Disconnect();
    EXPECT_EQ(box.wait(), 0) << box.errors();
}

TEST(BoxPty, FaultsOnTheLine)
{
    BoxProcess box({"--fault", "short-identity"});
    SimOpener opener(box.path());
    ProgrammerLink link;
    link.setPortOpener(&opener);
    link.setSettingsPath("");
    EXPECT_FALSE(link.OpenProgrammerPort("COM3"));
    EXPECT_EQ(link.StatusText(), "Ошб.");
    EXPECT_EQ(box.wait(), 0);
}

} // namespace
} // namespace pontvex::boxsim

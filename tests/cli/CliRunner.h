#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <sys/types.h>
#include <vector>

// Runs the built pontvex-cli as a separate process in a scratch folder and
// collects what it printed and its exit code.
struct CliResult {
    int exitCode = -1;
    std::string out;
    std::string err;          // without the simulator's notice lines
    int simulatorNotices = 0; // how often the run said it used the simulated box
};

// What the program says on standard error whenever it uses the simulated box.
inline constexpr const char* kSimulatorNoticeLine =
    "pontvex-cli: note: using the simulated box (--simulator), no real chip is touched\n";

// A pontvex-cli started in the background, for tests that signal it.
class CliProcess {
public:
    CliProcess(pid_t pid, std::string dir) : pid_(pid), dir_(std::move(dir)) {}
    CliProcess(const CliProcess&) = delete;
    CliProcess& operator=(const CliProcess&) = delete;
    ~CliProcess();
    void signal(int number) const;
    // True while the program has not ended (it is not reaped here).
    bool running() const;
    CliResult wait();

private:
    pid_t pid_;
    std::string dir_;
    bool waited_ = false;
};

class CliSandbox {
public:
    CliSandbox();
    ~CliSandbox();
    CliSandbox(const CliSandbox&) = delete;
    CliSandbox& operator=(const CliSandbox&) = delete;

    const std::string& dir() const { return dir_; }
    std::string path(const std::string& name) const { return dir_ + "/" + name; }

    // Arguments are passed to the program without a shell; stdinFile, when
    // given, becomes its standard input.
    CliResult run(const std::vector<std::string>& args, const std::string& stdinFile = "") const;
    // Starts the program and returns at once. With interruptPending the
    // program starts with a Ctrl-C already waiting for it.
    std::unique_ptr<CliProcess> start(const std::vector<std::string>& args, bool interruptPending = false,
                                      const std::string& stdinFile = "") const;

    void writeFile(const std::string& name, const std::vector<uint8_t>& bytes) const;
    std::vector<uint8_t> readFile(const std::string& name) const;
    bool exists(const std::string& name) const;
    std::vector<std::string> listFiles() const;

private:
    std::string dir_;
};

std::string cliBinary();
std::vector<uint8_t> randomBytes(size_t n, uint32_t seed);
// Runs a command line through the shell; returns its exit status.
int shell(const std::string& command);
bool haveProgram(const std::string& name);

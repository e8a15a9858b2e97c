#include "CliRunner.h"

#include <cstring>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

std::string cliBinary()
{
    return PONTVEX_BINARY_DIR "/src/pontvex-cli";
}

CliSandbox::CliSandbox()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "pontvex-cli-test-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    dir_ = pattern;
}

CliSandbox::~CliSandbox()
{
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
}

namespace {
std::string slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}
} // namespace

CliResult CliSandbox::run(const std::vector<std::string>& args, const std::string& stdinFile) const
{
    return start(args, false, stdinFile)->wait();
}

std::unique_ptr<CliProcess> CliSandbox::start(const std::vector<std::string>& args, bool interruptPending,
                                              const std::string& stdinFile) const
{
    const std::string outPath = dir_ + "/.stdout", errPath = dir_ + "/.stderr";
    pid_t child = fork();
    if (child < 0)
        throw std::runtime_error("fork failed");
    if (child == 0) {
        if (chdir(dir_.c_str()) != 0)
            _exit(125);
        // The port that answered last is remembered per user: not the tester's.
        setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);
        int in = open(stdinFile.empty() ? "/dev/null" : stdinFile.c_str(), O_RDONLY);
        int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || out < 0 || err < 0)
            _exit(125);
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        if (interruptPending) {
            // Blocked and pending across exec: it reaches the program as soon
            // as the program unblocks it, before it can have done anything.
            sigset_t signals;
            sigemptyset(&signals);
            sigaddset(&signals, SIGINT);
            sigprocmask(SIG_BLOCK, &signals, nullptr);
            raise(SIGINT);
        }
        std::vector<char*> argv;
        std::string binary = cliBinary();
        argv.push_back(binary.data());
        std::vector<std::string> copies(args);
        for (auto& a : copies)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(binary.c_str(), argv.data());
        _exit(126);
    }
    return std::make_unique<CliProcess>(child, dir_);
}

CliProcess::~CliProcess()
{
    if (!waited_) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
}

void CliProcess::signal(int number) const
{
    kill(pid_, number);
}

bool CliProcess::running() const
{
    siginfo_t info{};
    return waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
           info.si_pid == 0;
}

CliResult CliProcess::wait()
{
    int status = 0;
    waitpid(pid_, &status, 0);
    waited_ = true;
    CliResult result;
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    const std::string outPath = dir_ + "/.stdout", errPath = dir_ + "/.stderr";
    result.out = slurp(outPath);
    result.err = slurp(errPath);
    // The simulator's notice is counted apart, so tests of the error lines see only those.
    for (size_t at; (at = result.err.find(kSimulatorNoticeLine)) != std::string::npos;) {
        result.err.erase(at, std::strlen(kSimulatorNoticeLine));
        ++result.simulatorNotices;
    }
    std::filesystem::remove(outPath);
    std::filesystem::remove(errPath);
    return result;
}

void CliSandbox::writeFile(const std::string& name, const std::vector<uint8_t>& bytes) const
{
    std::ofstream out(path(name), std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> CliSandbox::readFile(const std::string& name) const
{
    std::string text = slurp(path(name));
    return std::vector<uint8_t>(text.begin(), text.end());
}

bool CliSandbox::exists(const std::string& name) const
{
    return std::filesystem::exists(path(name));
}

std::vector<std::string> CliSandbox::listFiles() const
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir_))
        names.push_back(entry.path().filename().string());
    return names;
}

std::vector<uint8_t> randomBytes(size_t n, uint32_t seed)
{
    std::mt19937 generator(seed);
    std::vector<uint8_t> bytes(n);
    for (auto& b : bytes)
        b = static_cast<uint8_t>(generator());
    return bytes;
}

int shell(const std::string& command)
{
    int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool haveProgram(const std::string& name)
{
    return shell("command -v " + name + " >/dev/null 2>&1") == 0;
}

#include "cli/FileIo.h"

#include "cli/Cli.h"
#include "core/AtomicFile.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace pontvex::cli {

namespace {
std::string systemReason()
{
    return std::strerror(errno);
}

bool writeAll(int fd, const uint8_t* data, size_t n)
{
    while (n > 0) {
        ssize_t done = ::write(fd, data, n);
        if (done < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += done;
        n -= static_cast<size_t>(done);
    }
    return true;
}

bool readAll(int fd, std::vector<uint8_t>& bytes)
{
    uint8_t chunk[65536];
    for (;;) {
        ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (got == 0)
            return true;
        bytes.insert(bytes.end(), chunk, chunk + got);
    }
}
} // namespace

std::vector<uint8_t> readWholeFile(const std::string& path)
{
    std::vector<uint8_t> bytes;
    if (path == "-") {
        if (!readAll(STDIN_FILENO, bytes))
            throw fileError("cannot read standard input: " + systemReason());
        return bytes;
    }
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw fileError("cannot open " + path + ": " + systemReason());
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
        ::close(fd);
        throw fileError("cannot read " + path + ": it is a directory");
    }
    bool ok = readAll(fd, bytes);
    int saved = errno;
    ::close(fd);
    if (!ok) {
        errno = saved;
        throw fileError("cannot read " + path + ": " + systemReason());
    }
    return bytes;
}

void writeFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes)
{
    if (path == "-" || path == "/dev/stdout") {
        if (!writeAll(STDOUT_FILENO, bytes.data(), bytes.size()))
            throw fileError("cannot write standard output: " + systemReason());
        return;
    }
    // Through a symlink the file it names is written, and the link stays.
    std::string target = path;
    std::error_code ec;
    if (std::filesystem::is_symlink(path, ec)) {
        const auto resolved = std::filesystem::weakly_canonical(path, ec);
        if (!ec)
            target = resolved.string();
    }
    struct stat info {};
    const bool exists = ::stat(target.c_str(), &info) == 0;
    if (exists && S_ISDIR(info.st_mode))
        throw fileError("cannot write " + path + ": it is a directory");
    if (exists && !S_ISREG(info.st_mode)) {
        // A pipe or a device cannot be renamed over: it is written as it is.
        const int fd = ::open(target.c_str(), O_WRONLY | O_CLOEXEC);
        if (fd < 0)
            throw fileError("cannot write " + path + ": " + systemReason());
        const bool ok = writeAll(fd, bytes.data(), bytes.size());
        const int saved = errno;
        ::close(fd);
        if (!ok) {
            errno = saved;
            throw fileError("cannot write " + path + ": " + systemReason());
        }
        return;
    }

    std::string reason;
    if (!pontvex::writeFileAtomically(target, bytes, reason))
        throw fileError("cannot write " + path + ": " + reason);
}

void checkWritable(const std::string& path)
{
    if (path == "-" || path == "/dev/stdout")
        return;
    struct stat target {};
    if (::stat(path.c_str(), &target) == 0 && !S_ISDIR(target.st_mode) && !S_ISREG(target.st_mode))
        return; // a pipe or a device, written in place
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
        throw fileError("cannot write " + path + ": it is a directory");
    size_t slash = path.find_last_of('/');
    std::string folder = slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
    if (::access(folder.c_str(), W_OK | X_OK) != 0)
        throw fileError("cannot write " + path + ": " + systemReason());
}

std::string extensionOf(const std::string& path)
{
    size_t slash = path.find_last_of('/');
    size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return {};
    std::string ext = path.substr(dot + 1);
    for (char& c : ext)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext;
}

} // namespace pontvex::cli

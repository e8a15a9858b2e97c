#include "cli/FileIo.h"

#include "cli/Cli.h"
#include "core/AtomicFile.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
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
    if (path == "-") {
        if (!writeAll(STDOUT_FILENO, bytes.data(), bytes.size()))
            throw fileError("cannot write standard output: " + systemReason());
        return;
    }
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
        throw fileError("cannot write " + path + ": it is a directory");

    std::string reason;
    if (!pontvex::writeFileAtomically(path, bytes, reason))
        throw fileError("cannot write " + path + ": " + reason);
}

void checkWritable(const std::string& path)
{
    if (path == "-")
        return;
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

#include "core/AtomicFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace pontvex {

namespace {

bool writeAll(int fd, const char* data, size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// The file a write to path replaces: the target of a symbolic link, so the
// link stays a link.
std::string finalPath(const std::string& path)
{
    std::error_code ec;
    if (!std::filesystem::is_symlink(path, ec))
        return path;
    const auto target = std::filesystem::weakly_canonical(path, ec);
    return ec ? path : target.string();
}

} // namespace

bool writeFileAtomically(const std::string& path, std::string_view bytes, std::string& error)
{
    const std::string target = finalPath(path);
    struct stat info {};
    const bool exists = ::stat(target.c_str(), &info) == 0;
    if (exists && S_ISDIR(info.st_mode)) {
        error = std::strerror(EISDIR);
        return false;
    }

    std::vector<char> name(target.begin(), target.end());
    for (char c : std::string_view(".XXXXXX"))
        name.push_back(c);
    name.push_back('\0');
    const int fd = ::mkstemp(name.data());
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    const std::string temporary = name.data();
    // mkstemp makes the file private; the saved file gets the mode a plain
    // create would give, or keeps the one it had.
    mode_t mode = info.st_mode & 07777;
    if (!exists) {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    ::fchmod(fd, mode);

    bool ok = writeAll(fd, bytes.data(), bytes.size()) && ::fsync(fd) == 0;
    int saved = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        saved = errno;
    }
    if (ok && ::rename(temporary.c_str(), target.c_str()) != 0) {
        ok = false;
        saved = errno;
    }
    if (!ok) {
        ::unlink(temporary.c_str());
        error = std::strerror(saved);
    }
    return ok;
}

bool writeFileAtomically(const std::string& path, std::span<const uint8_t> bytes, std::string& error)
{
    return writeFileAtomically(
        path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), error);
}

} // namespace pontvex

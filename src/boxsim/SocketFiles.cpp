#include "boxsim/SocketFiles.h"

#include "core/AtomicFile.h"
#include "core/Text.h"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pontvex::boxsim {

namespace {

constexpr const char* kImageOption = "--socket-image";
constexpr const char* kDumpOption = "--socket-dump";

SocketFileError usage(std::string message, std::string path)
{
    return {SocketFileError::Kind::Usage, std::move(message), std::move(path)};
}

SocketFileError fileProblem(std::string message, std::string path)
{
    return {SocketFileError::Kind::File, std::move(message), std::move(path)};
}

std::string counted(uint64_t n, const char* one, const char* many)
{
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

bool isRegionName(const std::string& text)
{
    if (text.empty())
        return false;
    for (char c : text)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_' && c != '-')
            return false;
    return true;
}

// How the option was written, for messages: "--socket-dump lock=l.bin".
std::string shown(const char* option, const SocketFile& file)
{
    return std::string(option) + " " + (file.region.empty() ? "" : file.region + "=") + file.path;
}

std::string memoryNames(const ChipModel& model)
{
    std::string names;
    for (const MemoryInfo& m : model.memories())
        names += (names.empty() ? "" : ", ") + m.name;
    return names;
}

// The memory a file goes to or comes from; the usage error when the model has none such.
std::optional<MemoryInfo> resolve(const char* option, const SocketFile& file, const ChipModel& model,
                                  std::optional<SocketFileError>& error)
{
    if (file.region.empty()) {
        const auto all = model.memories();
        if (!all.empty())
            return all.front();
        error = usage(shown(option, file) + ": the simulated " + model.name() + " has no memory", file.path);
        return std::nullopt;
    }
    if (auto m = model.findMemory(file.region))
        return m;
    const std::string names = memoryNames(model);
    error =
        usage(shown(option, file) + ": the simulated " + model.name() + " has no memory \"" + file.region +
                  "\" (" + (names.empty() ? std::string("it has none") : "its memories: " + names) + ")",
              file.path);
    return std::nullopt;
}

std::optional<SocketFileError> checkList(const char* option, const std::vector<SocketFile>& files,
                                         const ChipModel& model)
{
    std::vector<std::string> seen;
    for (const SocketFile& file : files) {
        std::optional<SocketFileError> error;
        const auto memory = resolve(option, file, model, error);
        if (!memory)
            return error;
        for (const std::string& name : seen)
            if (name == memory->name)
                return usage(std::string(option) + ": " + name +
                                 " is given twice (the main memory of the simulated " + model.name() +
                                 ", with and without REGION=)",
                             file.path);
        seen.push_back(memory->name);
    }
    return std::nullopt;
}

std::optional<SocketFileError> add(const char* option, const std::string& value,
                                   std::vector<SocketFile>& files)
{
    const auto file = parseSocketFile(value);
    if (!file)
        return usage(std::string(option) + " needs [REGION=]FILE, got '" + value + "'", value);
    for (const SocketFile& other : files)
        if (equalsIgnoreCase(other.region, file->region))
            return usage(
                std::string(option) + ": " +
                    (file->region.empty() ? std::string("the main memory") : "region " + file->region) +
                    " is given twice",
                file->path);
    files.push_back(*file);
    return std::nullopt;
}

std::optional<SocketFileError> readFile(const std::string& path, std::vector<uint8_t>& bytes)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return fileProblem("cannot open " + path + ": " + std::strerror(errno), path);
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
        ::close(fd);
        return fileProblem("cannot read " + path + ": it is a directory", path);
    }
    uint8_t chunk[65536];
    for (;;) {
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            const int saved = errno;
            ::close(fd);
            return fileProblem("cannot read " + path + ": " + std::strerror(saved), path);
        }
        if (got == 0)
            break;
        bytes.insert(bytes.end(), chunk, chunk + got);
    }
    ::close(fd);
    return std::nullopt;
}

// Why bytes do not fit the memory (fitsMemory said so).
std::string misfit(const MemoryInfo& memory, const std::vector<uint8_t>& bytes)
{
    const size_t wordBytes = static_cast<size_t>(memory.wordBytes());
    if (bytes.size() > memory.byteSize())
        return "the file has " + counted(bytes.size(), "byte", "bytes");
    if (bytes.size() % wordBytes != 0)
        return "the file has " + counted(bytes.size(), "byte", "bytes") + ", not whole words of " +
               counted(wordBytes, "byte", "bytes");
    const auto topMask = static_cast<uint8_t>(0xFF << (memory.wordBits % 8));
    for (size_t i = wordBytes - 1; i < bytes.size(); i += wordBytes)
        if (bytes[i] & topMask)
            return "word " + std::to_string(i / wordBytes) + " (byte " + std::to_string(i - wordBytes + 1) +
                   " of the file) has bits above its " + std::to_string(memory.wordBits);
    return "the model refused it";
}

} // namespace

std::optional<SocketFile> parseSocketFile(const std::string& value)
{
    const size_t eq = value.find('=');
    if (eq == 0)
        return std::nullopt; // "=FILE": a region left out by mistake
    SocketFile file{{}, value};
    if (eq != std::string::npos && isRegionName(value.substr(0, eq))) {
        file.region = value.substr(0, eq);
        file.path = value.substr(eq + 1);
    }
    if (file.path.empty())
        return std::nullopt;
    return file;
}

std::string memoryShapeText(const MemoryInfo& memory)
{
    return memory.name + " holds " + counted(memory.words, "word", "words") + " of " +
           counted(static_cast<uint64_t>(memory.wordBits), "bit", "bits") + " (" +
           counted(memory.byteSize(), "byte", "bytes") + ")";
}

std::optional<SocketFileError> SocketFiles::addImage(const std::string& value)
{
    return add(kImageOption, value, images_);
}

std::optional<SocketFileError> SocketFiles::addDump(const std::string& value)
{
    return add(kDumpOption, value, dumps_);
}

std::optional<SocketFileError> SocketFiles::checkRegions(const ChipModel& model) const
{
    if (auto error = checkList(kImageOption, images_, model))
        return error;
    return checkList(kDumpOption, dumps_, model);
}

std::optional<SocketFileError> SocketFiles::loadImages(ChipModel& model) const
{
    if (auto error = checkList(kImageOption, images_, model))
        return error;
    // Every file is read and checked before the first memory changes.
    std::vector<std::pair<MemoryInfo, std::vector<uint8_t>>> loads;
    for (const SocketFile& file : images_) {
        std::optional<SocketFileError> error;
        auto memory = resolve(kImageOption, file, model, error);
        if (!memory)
            return error;
        std::vector<uint8_t> bytes;
        if (auto readError = readFile(file.path, bytes))
            return readError;
        if (!fitsMemory(*memory, bytes))
            return fileProblem(file.path + " does not fit " + memory->name + " of the simulated " +
                                   model.name() + ": " + memoryShapeText(*memory) + "; " +
                                   misfit(*memory, bytes),
                               file.path);
        loads.emplace_back(std::move(*memory), std::move(bytes));
    }
    for (size_t i = 0; i < loads.size(); ++i)
        if (!model.writeMemory(loads[i].first.name, loads[i].second))
            return fileProblem("the simulated " + model.name() + " refused the image for " +
                                   loads[i].first.name,
                               images_[i].path);
    return std::nullopt;
}

std::vector<SocketFileError> SocketFiles::saveDumps(const ChipModel* model) const
{
    std::vector<SocketFileError> errors;
    if (!model) {
        for (const SocketFile& file : dumps_)
            errors.push_back(
                usage(shown(kDumpOption, file) + ": the simulated socket holds no chip", file.path));
        return errors;
    }
    for (const SocketFile& file : dumps_) {
        std::optional<SocketFileError> error;
        const auto memory = resolve(kDumpOption, file, *model, error);
        if (!memory) {
            errors.push_back(*error);
            continue;
        }
        std::string reason;
        if (!writeFileAtomically(file.path, model->readMemory(memory->name), reason))
            errors.push_back(fileProblem("cannot write " + file.path + ": " + reason, file.path));
    }
    return errors;
}

} // namespace pontvex::boxsim

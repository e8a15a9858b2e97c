// Load and save speed of the data files through the same commands the main
// window runs: a 1 MiB image as Intel HEX and an 8 MiB binary image.
// Prints the best of several rounds. Usage: files_bench [FOLDER]
#include "core/UserPrompt.h"
#include "files/DataFormats.h"
#include "files/FileCommands.h"
#include "files/FileDialogs.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <random>

using namespace pontvex;

namespace {

struct Quiet : UserPrompt {
    bool askYesNo(const std::string&) override { return true; }
    bool askYesCancel(const std::string&) override { return true; }
    void showMessage(const std::string& t) override { std::fprintf(stderr, "message: %s\n", t.c_str()); }
    void showBox(const std::string& t) override { std::fprintf(stderr, "box: %s\n", t.c_str()); }
};

struct Views : ImageViews {
    int64_t end = 0;
    bool hexViewExists() const override { return true; }
    int64_t EndAddress() const override { return end; }
    void showLoadedImage(const std::string&, int64_t e) override { end = e; }
};

struct NoDialogs : FileDialogs {
    std::optional<std::string> chooseFileToOpen(const std::string&, const std::string&,
                                                const std::string&) override
    {
        return std::nullopt;
    }
    std::optional<std::string> chooseFileToSave(const std::string&) override { return std::nullopt; }
    void showFormatDialog(FileFormatModel&) override {}
};

// Best time of rounds runs, in seconds.
double best(int rounds, const std::function<void()>& work)
{
    double fastest = 1e9;
    for (int i = 0; i < rounds; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        work();
        const std::chrono::duration<double> t = std::chrono::steady_clock::now() - t0;
        fastest = std::min(fastest, t.count());
    }
    return fastest;
}

void report(const char* what, double seconds, double imageBytes, uintmax_t fileBytes)
{
    std::printf("%-34s %8.2f ms  %8.1f MB/s of image  (file %ju bytes)\n", what, seconds * 1e3,
                imageBytes / seconds / 1e6, fileBytes);
}

} // namespace

int main(int argc, char** argv)
{
    const std::filesystem::path folder = argc > 1 ? argv[1] : std::filesystem::temp_directory_path();
    const std::string hexName = (folder / "pontvex-bench.hex").string();
    const std::string binName = (folder / "pontvex-bench.bin").string();

    DeviceBuffer buffer;
    std::mt19937 random(1);
    for (uint32_t a = 0; a < DeviceBuffer::kSize; ++a)
        buffer[a] = static_cast<uint8_t>(random());

    FileSession session;
    Views views;
    NoDialogs dialogs;
    Quiet prompt;
    FileCommands commands(session, views, dialogs, prompt, buffer);
    const int rounds = 10;
    bool ok = true;

    constexpr double kMiB = 1 << 20;
    // Each figure is taken before the file size is asked, which needs the file.
    double t;
    session.FileName = hexName;
    views.end = 0xFFFFF;
    t = best(rounds, [&] { ok &= commands.SaveHexFile(); });
    report("save 1 MiB as HEX", t, kMiB, std::filesystem::file_size(hexName));
    t = best(rounds, [&] { ok &= commands.LoadHexFile(); });
    report("load 1 MiB HEX", t, kMiB, std::filesystem::file_size(hexName));
    ok &= session.LoadEnd == 0xFFFFF;

    session.FileName = binName;
    session.LoadStart = 0;
    t = best(rounds, [&] { ok &= commands.SaveBinFile(0, DeviceBuffer::kLastAddress); });
    report("save 8 MiB binary", t, 8 * kMiB, std::filesystem::file_size(binName));
    t = best(rounds, [&] { ok &= commands.LoadBinFile(0, 0); });
    report("load 8 MiB binary", t, 8 * kMiB, std::filesystem::file_size(binName));
    t = best(rounds, [&] { ok &= commands.LoadBinFile(1, 1); });
    report("load 8 MiB binary, 2th of word16", t, 4 * kMiB, std::filesystem::file_size(binName));

    std::filesystem::remove(hexName);
    std::filesystem::remove(binName);
    if (!ok)
        std::fprintf(stderr, "a load or save failed\n");
    return ok ? 0 : 1;
}

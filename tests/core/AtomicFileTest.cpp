#include "core/AtomicFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace pontvex;
namespace fs = std::filesystem;

namespace {

class AtomicFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("pontvex-atomic-" + std::to_string(::getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
        path = (dir / "image.bin").string();
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string read(const std::string& p) const
    {
        std::ifstream in(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    // Every name in the folder: a temporary left behind shows up here.
    std::vector<std::string> names() const
    {
        std::vector<std::string> list;
        for (const auto& entry : fs::directory_iterator(dir))
            list.push_back(entry.path().filename().string());
        std::sort(list.begin(), list.end());
        return list;
    }
    static mode_t modeOf(const std::string& p)
    {
        struct stat info {};
        ::stat(p.c_str(), &info);
        return info.st_mode & 07777;
    }

    fs::path dir;
    std::string path;
    std::string error;
};

TEST_F(AtomicFile, NewFileGetsTheBytesAndTheUsualMode)
{
    const std::vector<uint8_t> bytes = {0x00, 0xFF, 0x0D, 0x0A, 0x1A};
    ASSERT_TRUE(writeFileAtomically(path, bytes, error)) << error;
    EXPECT_EQ(read(path), std::string("\x00\xFF\r\n\x1A", 5));
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(modeOf(path), 0666 & ~mask);
    EXPECT_EQ(names(), std::vector<std::string>{"image.bin"});

    ASSERT_TRUE(writeFileAtomically(path, std::string_view(), error)) << error;
    EXPECT_EQ(read(path), "");
}

TEST_F(AtomicFile, ReplacedFileKeepsItsModeAndLinksStayLinks)
{
    std::ofstream(path) << "old contents";
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
    ASSERT_TRUE(writeFileAtomically(path, std::string_view("new"), error)) << error;
    EXPECT_EQ(read(path), "new");
    EXPECT_EQ(modeOf(path), 0600u);

    const std::string link = (dir / "link.bin").string();
    fs::create_symlink("image.bin", link);
    ASSERT_TRUE(writeFileAtomically(link, std::string_view("through the link"), error)) << error;
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(read(path), "through the link");
    EXPECT_EQ(names(), (std::vector<std::string>{"image.bin", "link.bin"}));
}

TEST_F(AtomicFile, FailedWriteKeepsTheOldFileAndLeavesNoTemporary)
{
    std::ofstream(path) << "old contents";
    // A file size limit makes the write itself fail halfway, whoever runs the
    // test (permissions do not stop root).
    struct rlimit old {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 1024;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool ok = writeFileAtomically(path, std::string(4096, 'x'), error);
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(ok);
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(read(path), "old contents");
    EXPECT_EQ(names(), std::vector<std::string>{"image.bin"});
}

TEST_F(AtomicFile, MissingFolderOrFolderTargetFailsAndChangesNothing)
{
    const std::string nowhere = (dir / "missing" / "image.bin").string();
    EXPECT_FALSE(writeFileAtomically(nowhere, std::string_view("x"), error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(names().empty());

    fs::create_directories(path);
    error.clear();
    EXPECT_FALSE(writeFileAtomically(path, std::string_view("x"), error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(fs::is_directory(path));
    EXPECT_EQ(names(), std::vector<std::string>{"image.bin"});
}

} // namespace

#include "files/FileCommands.h"
#include "core/UserPrompt.h"
#include "files/DataFormats.h"
#include "files/FileDialogs.h"
#include "files/FileTexts.h"
#include "files/Jedec.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <unistd.h>
#include <vector>

using namespace pontvex;
namespace fs = std::filesystem;

namespace {

struct ScriptedPrompt : UserPrompt {
    std::vector<std::string> said; // boxes and messages in order
    bool askYesNo(const std::string&) override { return true; }
    bool askYesCancel(const std::string&) override { return true; }
    void showMessage(const std::string& text) override { said.push_back(text); }
    void showBox(const std::string& text) override { said.push_back(text); }
};

struct FakeViews : ImageViews {
    bool hex = false;
    int64_t end = 0xFFFF;
    std::string caption;
    int shown = 0;
    bool hexViewExists() const override { return hex; }
    int64_t EndAddress() const override { return end; }
    void showLoadedImage(const std::string& c, int64_t e) override
    {
        hex = true;
        caption = c;
        end = e;
        ++shown;
        pld = false;
    }
    // A PLD view, when offered, replaces the hex view as the GUI's does.
    bool offersPld = false;
    bool pld = false;
    int rowLength = 32, rowCount = 64;
    int64_t mapSize = -1;
    std::string device;
    bool jedecViewExists() const override { return pld; }
    bool openJedecView(const std::string& c) override
    {
        if (!offersPld)
            return false;
        hex = false;
        pld = true;
        caption = c;
        return true;
    }
    int jedecRowLength() const override { return rowLength; }
    int jedecRowCount() const override { return rowCount; }
    void showJedecMap(int64_t size) override { mapSize = size; }
    std::string chosenDevice() const override { return device; }
};

struct ScriptedDialogs : FileDialogs {
    std::optional<std::string> file;
    std::string filter, initialDir;
    // Acts on the format dialog as the user would; the default presses OK.
    std::function<void(FileFormatModel&)> user;
    UserPrompt* prompt = nullptr;
    FileFormatModel seen; // the dialog as it was shown

    std::optional<std::string> chooseFileToOpen(const std::string& f, const std::string&,
                                                const std::string& dir) override
    {
        filter = f;
        initialDir = dir;
        return file;
    }
    std::optional<std::string> chooseFileToSave(const std::string& dir) override
    {
        initialDir = dir;
        return file;
    }
    void showFormatDialog(FileFormatModel& model) override
    {
        seen = model;
        if (user)
            user(model);
        else
            EXPECT_TRUE(model.OKBtnClick(*prompt));
    }
};

class FileCommandsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        buffer.reset();
        dir = fs::temp_directory_path() / ("pontvex-files-" + std::to_string(::getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
        session.ProgramDir = dir.string() + "/";
        dialogs.prompt = &prompt;
    }
    void TearDown() override
    {
        std::error_code ignored;
        fs::permissions(dir, fs::perms::owner_all, ignored);
        fs::remove_all(dir, ignored);
    }

    std::string writeFile(const std::string& name, const std::vector<uint8_t>& bytes)
    {
        const std::string path = (dir / name).string();
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return path;
    }
    std::string writeText(const std::string& name, const std::string& text)
    {
        return writeFile(name, std::vector<uint8_t>(text.begin(), text.end()));
    }
    static std::vector<uint8_t> readFile(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    DeviceBuffer buffer;
    fs::path dir;
    FileSession session;
    FakeViews views;
    ScriptedDialogs dialogs;
    ScriptedPrompt prompt;
    FileCommands commands{session, views, dialogs, prompt, buffer};
};

TEST_F(FileCommandsTest, FormatFollowsTheExtension)
{
    FileFormatModel& model = commands.formatDialog();
    const std::pair<const char*, const char*> cases[] = {
        {"x.hex", ".HEX"}, {"X.Jed", ".JED"},  {"a.b/x.cds", ".CDS"}, {"x.dat", ".BIN"},
        {"x", ".BIN"},     {"x.hexa", ".HEX"}, {"dir.hex/x", ".BIN"},
    };
    for (const auto& [name, format] : cases) {
        session.FileName = name;
        commands.PrepareFormatDialog();
        EXPECT_EQ(model.format(), format) << name;
        EXPECT_EQ(model.caption, name);
        EXPECT_EQ(model.addressEnabled, std::string(format) == ".BIN");
        EXPECT_EQ(model.modeEnabled, std::string(format) == ".BIN");
    }
}

TEST_F(FileCommandsTest, BinaryLoadInALaneFromTheStartField)
{
    dialogs.file = writeFile("image.dat", {0, 1, 2, 3, 4, 5, 6});
    dialogs.user = [this](FileFormatModel& m) {
        m.OnClick2(3); // "2th char of word16"
        m.startText = "8000";
        EXPECT_TRUE(m.OKBtnClick(prompt));
    };
    commands.LoadFileClick();
    EXPECT_EQ(dialogs.filter, files_text::kOpenFilter);
    EXPECT_EQ(dialogs.initialDir, session.ProgramDir);
    EXPECT_EQ(dialogs.seen.format(), ".BIN");
    EXPECT_EQ(dialogs.seen.startText, "000000");
    EXPECT_EQ(dialogs.seen.endText, "ffffff");
    EXPECT_EQ(session.LoadStart, 0x8000);
    EXPECT_EQ(session.LoadEnd, 0x8002);
    EXPECT_EQ(buffer[0x8000], 1);
    EXPECT_EQ(buffer[0x8002], 5);
    EXPECT_EQ(views.end, 0x8002);
    EXPECT_EQ(views.caption, *dialogs.file);
    EXPECT_TRUE(prompt.said.empty());
    // The lane is kept for the next load.
    EXPECT_EQ(commands.formatDialog().LaneMask, 1u);
    EXPECT_EQ(commands.formatDialog().LaneValue, 1u);
}

TEST_F(FileCommandsTest, SaveProposesTheLoadedRangeAndWritesIt)
{
    std::vector<uint8_t> bytes(0x2000);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<uint8_t>(i ^ (i >> 8));
    session.FileName = writeFile("in.bin", bytes);
    ASSERT_TRUE(commands.LoadBinFile(0, 0));

    dialogs.file = (dir / "out.bin").string();
    commands.SaveBufClick();
    EXPECT_EQ(dialogs.seen.startText, "0");
    EXPECT_EQ(dialogs.seen.endText, "001fff");
    EXPECT_FALSE(dialogs.seen.modeEnabled);
    EXPECT_EQ(readFile(*dialogs.file), bytes);
    EXPECT_TRUE(prompt.said.empty());
}

TEST_F(FileCommandsTest, HexSaveWritesTheWholeImageExactly)
{
    views.hex = true;
    views.end = 0x1FFFF;
    buffer[0x12345] = 0x67;
    dialogs.file = (dir / "out.hex").string();
    dialogs.user = [this](FileFormatModel& m) {
        m.startText = "100"; // the start field does not apply to HEX
        EXPECT_TRUE(m.OKBtnClick(prompt));
    };
    commands.SaveBufClick();
    std::string expected;
    WriteHexRecords(expected, imageOf(buffer), 0x1FFFF);
    EXPECT_EQ(readFile(*dialogs.file), std::vector<uint8_t>(expected.begin(), expected.end()));

    buffer.reset();
    session.FileName = *dialogs.file;
    EXPECT_TRUE(commands.LoadHexFile());
    EXPECT_EQ(session.LoadEnd, 0x1FFFF);
    EXPECT_EQ(buffer[0x12345], 0x67);
}

// Cancel changes nothing: neither the buffer nor the data file's name, which
// the next start would load.
TEST_F(FileCommandsTest, CancelKeepsTheOldNameAndLoadsNothing)
{
    const std::string before = session.FileName;
    dialogs.file = writeFile("new.bin", {1, 2, 3});
    dialogs.user = [](FileFormatModel& m) { m.CancelBtnClick(); };
    commands.LoadFileClick();
    EXPECT_EQ(session.FileName, before);
    EXPECT_EQ(views.shown, 0);
    EXPECT_EQ(buffer[0], 0xFF);

    dialogs.file.reset(); // the open dialog cancelled
    commands.LoadFileClick();
    EXPECT_EQ(session.FileName, before);
}

TEST_F(FileCommandsTest, CdsLoadsButIsNeverSaved)
{
    std::vector<uint8_t> cds(0x1002, 0x21);
    cds[2] = 0x99;
    dialogs.file = writeFile("emc.cds", cds);
    commands.LoadFileClick();
    EXPECT_EQ(session.LoadEnd, 0xFFF);
    EXPECT_EQ(buffer[0], 0x99);

    dialogs.file = (dir / "out.cds").string();
    commands.SaveBufClick();
    EXPECT_EQ(prompt.said, std::vector<std::string>{files_text::kCannotSaveInFormat});
    EXPECT_FALSE(fs::exists(*dialogs.file));
}

TEST_F(FileCommandsTest, JedecIsNotAvailableYet)
{
    dialogs.file = writeText("logic.jed", "*\n");
    commands.LoadFileClick();
    EXPECT_EQ(prompt.said, std::vector<std::string>{files_text::kJedNotAvailable});
    EXPECT_EQ(views.shown, 0);
}

TEST_F(FileCommandsTest, SaveWithoutAViewDoesNothing)
{
    dialogs.file = (dir / "x.bin").string();
    commands.SaveBufClick();
    EXPECT_EQ(session.FileName, "noname.bin");
}

TEST_F(FileCommandsTest, BadAddressFieldsKeepTheDialogOpen)
{
    FileFormatModel& m = commands.formatDialog();
    session.FileName = "x.bin";
    commands.PrepareFormatDialog();
    for (const char* bad : {"", "12g", "800000", "123456789", "-1"}) {
        m.startText = bad;
        EXPECT_FALSE(m.OKBtnClick(prompt)) << bad;
    }
    m.startText = " 7fffff ";
    EXPECT_TRUE(m.OKBtnClick(prompt));
    EXPECT_EQ(m.LoadStart, 0x7FFFFF);

    m.checkEnd = true;
    m.endText = "800000";
    EXPECT_FALSE(m.OKBtnClick(prompt));
    m.endText = "ffffffff"; // -1: an empty range
    EXPECT_TRUE(m.OKBtnClick(prompt));

    // Other formats do not read the disabled fields.
    m.OnRadioClick(1);
    m.startText = "zz";
    EXPECT_TRUE(m.OKBtnClick(prompt));
    EXPECT_EQ(m.LoadStart, 0);
}

TEST_F(FileCommandsTest, FilesThatCannotBeReadChangeNothing)
{
    buffer[0] = 0x5A;
    session.LoadEnd = 0x1234;
    const std::string missing = (dir / "missing.bin").string();
    const std::string folder = (dir / "folder.hex").string();
    fs::create_directory(folder);

    session.FileName = missing;
    EXPECT_FALSE(commands.LoadBinFile(0, 0));
    session.FileName = folder;
    EXPECT_FALSE(commands.LoadHexFile());
    EXPECT_FALSE(commands.LoadBinFile(0, 0));
    EXPECT_FALSE(commands.LoadCdsFile());
    EXPECT_EQ(prompt.said, (std::vector<std::string>{
                               files_text::kOpenBinFailed + missing, files_text::kOpenFileFailed + folder,
                               files_text::kOpenBinFailed + folder, files_text::kOpenBinFailed + folder}));
    EXPECT_EQ(session.LoadEnd, 0x1234);
    EXPECT_EQ(views.shown, 0);
    EXPECT_EQ(buffer[0], 0x5A);
}

TEST_F(FileCommandsTest, FileWithoutReadPermissionChangesNothing)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "running as root: file permissions do not stop reads";
    buffer[0] = 0x5A;
    session.FileName = writeFile("locked.bin", {1, 2, 3});
    fs::permissions(session.FileName, fs::perms::none);
    EXPECT_FALSE(commands.LoadBinFile(0, 0));
    EXPECT_EQ(buffer[0], 0x5A);
    EXPECT_EQ(prompt.said, std::vector<std::string>{files_text::kOpenBinFailed + session.FileName});
}

TEST_F(FileCommandsTest, SaveThatCannotBeWrittenSaysSoAndKeepsTheOldFile)
{
    views.hex = true;
    views.end = 0xFF;
    // A folder nobody may write into: permissions for a normal user, /proc for root.
    fs::path readOnly = dir / "ro";
    fs::create_directory(readOnly);
    const std::string old = writeFile("ro/keep.hex", {'o', 'l', 'd'});
    fs::permissions(readOnly, fs::perms::owner_read | fs::perms::owner_exec);
    if (::geteuid() == 0)
        readOnly = "/proc";
    for (const char* name : {"keep.hex", "new.bin"}) {
        prompt.said.clear();
        session.FileName = (readOnly / name).string();
        const bool hex = std::string(name).ends_with(".hex");
        EXPECT_FALSE(hex ? commands.SaveHexFile() : commands.SaveBinFile(0, 0xFF));
        EXPECT_EQ(prompt.said, std::vector<std::string>{files_text::kCannotWrite + session.FileName});
    }
    EXPECT_EQ(readFile(old), (std::vector<uint8_t>{'o', 'l', 'd'}));

    // A save range past the buffer is refused, not cut.
    prompt.said.clear();
    session.FileName = (dir / "big.bin").string();
    EXPECT_FALSE(commands.SaveBinFile(0x7FFFF0, 0x800000));
    EXPECT_EQ(prompt.said.size(), 1u);
    EXPECT_FALSE(fs::exists(session.FileName));
    EXPECT_TRUE(commands.SaveBinFile(0x10, 0x0F));
    EXPECT_EQ(fs::file_size(session.FileName), 0u);
}

TEST_F(FileCommandsTest, BadHexNamesTheLineAndKeepsWhatCameBefore)
{
    session.FileName = writeText("bad.hex", ":0100000042BD\r\n:01000100FF00\r\n");
    EXPECT_FALSE(commands.LoadHexFile());
    EXPECT_EQ(prompt.said, std::vector<std::string>{std::string(files_text::kBadFormat) + "第2行"});
    EXPECT_EQ(buffer[0], 0x42);
    EXPECT_EQ(session.LoadEnd, 0);
    EXPECT_EQ(views.shown, 1);
}

TEST_F(FileCommandsTest, LoadsThatLeaveDataBehindSaySo)
{
    session.FileName =
        writeText("far.hex", ":0100000042BD\r\n:0200000400807A\r\n:0100000042BD\r\n:00000001FF");
    EXPECT_TRUE(commands.LoadHexFile());
    ASSERT_EQ(prompt.said.size(), 1u);
    EXPECT_EQ(prompt.said[0], std::string(files_text::kDataLeft) + "000000");

    prompt.said.clear();
    session.FileName = writeFile("tail.bin", {1, 2, 3, 4});
    session.LoadStart = DeviceBuffer::kSize - 2;
    EXPECT_TRUE(commands.LoadBinFile(0, 0));
    EXPECT_EQ(session.LoadEnd, int64_t{DeviceBuffer::kLastAddress});
    EXPECT_EQ(prompt.said, std::vector<std::string>{std::string(files_text::kDataLeft) + "7fffff"});
}

TEST_F(FileCommandsTest, StartupReloadsByExtensionInAnyCase)
{
    session.FileName = writeText("last.hex", ":0100000042BD\r\n:00000001FF");
    commands.ReloadDataFile();
    EXPECT_EQ(buffer[0], 0x42);
    EXPECT_EQ(views.shown, 1);

    session.FileName = writeFile("last.BIN", {7, 8});
    session.LoadStart = 0x100;
    commands.ReloadDataFile();
    EXPECT_EQ(buffer[0], 7);
    EXPECT_EQ(session.LoadEnd, 1);

    session.FileName = writeFile("last.dat", {9});
    commands.ReloadDataFile();
    session.FileName = (dir / "gone.hex").string();
    commands.ReloadDataFile();
    EXPECT_EQ(buffer[0], 7);
    EXPECT_EQ(views.shown, 2);
    EXPECT_TRUE(prompt.said.empty());
}

TEST_F(FileCommandsTest, EmptyFilesGiveEmptyImages)
{
    session.FileName = writeFile("empty.bin", {});
    EXPECT_TRUE(commands.LoadBinFile(0, 0));
    EXPECT_EQ(session.LoadEnd, -1);
    EXPECT_EQ(views.end, -1);

    session.FileName = writeFile("empty.hex", {});
    EXPECT_TRUE(commands.LoadHexFile());
    EXPECT_EQ(session.LoadEnd, 0);
    EXPECT_TRUE(prompt.said.empty());

    // Special files without a size are read too.
    session.FileName = "/dev/null";
    EXPECT_TRUE(commands.LoadHexFile());
    EXPECT_TRUE(prompt.said.empty());
}

TEST_F(FileCommandsTest, SRecordsAreAFormatOfTheDialog)
{
    FileFormatModel& model = commands.formatDialog();
    for (const char* name : {"x.s19", "x.S28", "x.s37", "x.srec", "x.mot"}) {
        session.FileName = name;
        commands.PrepareFormatDialog();
        EXPECT_EQ(model.format(), ".S19") << name;
        EXPECT_FALSE(model.addressEnabled) << name;
    }

    // Saved and loaded again through the dialog.
    views.hex = true;
    views.end = 0x10010;
    buffer[0x10010] = 0x5A;
    dialogs.file = (dir / "out.s19").string();
    commands.SaveBufClick();
    std::string expected;
    WriteSRecords(expected, imageOf(buffer), 0x10010);
    EXPECT_EQ(readFile(*dialogs.file), std::vector<uint8_t>(expected.begin(), expected.end()));
    EXPECT_TRUE(prompt.said.empty());

    buffer.reset();
    commands.LoadFileClick();
    EXPECT_EQ(dialogs.seen.format(), ".S19");
    EXPECT_EQ(session.LoadEnd, 0x10010);
    EXPECT_EQ(buffer[0x10010], 0x5A);

    // A faulty record names its line, as for HEX.
    session.FileName = writeText("bad.s19", "S1040000AA51\r\nS1040001AA00\r\n");
    EXPECT_FALSE(commands.LoadSrecFile());
    EXPECT_EQ(prompt.said, std::vector<std::string>{std::string(files_text::kBadFormat) + "第2行"});
    EXPECT_EQ(buffer[0], 0xAA);
}

TEST_F(FileCommandsTest, TheContentPreselectsTheFormatAndTheUsersChoiceHolds)
{
    const std::string hex = ":0100000042BD\r\n:00000001FF";
    dialogs.file = writeText("firmware.bin", hex);
    commands.LoadFileClick();
    EXPECT_EQ(dialogs.seen.format(), ".HEX");
    EXPECT_EQ(buffer[0], 0x42);
    EXPECT_TRUE(prompt.said.empty());

    dialogs.file = writeText("firmware", "S1040000AA51\r\n");
    commands.LoadFileClick();
    EXPECT_EQ(dialogs.seen.format(), ".S19");
    EXPECT_EQ(buffer[0], 0xAA);

    // Binary chosen for HEX text: loaded as asked, with a note saying what it looks like.
    dialogs.file = writeText("fw.ihx", hex);
    dialogs.user = [this](FileFormatModel& m) {
        m.OnRadioClick(0);
        EXPECT_TRUE(m.OKBtnClick(prompt));
    };
    commands.LoadFileClick();
    EXPECT_EQ(buffer[0], ':');
    EXPECT_EQ(session.LoadEnd, static_cast<int64_t>(hex.size()) - 1);
    EXPECT_EQ(prompt.said, std::vector<std::string>{std::string(files_text::kLooksLikeText) + "Intel HEX"});

    // At start-up the content decides as well.
    buffer.reset();
    session.FileName = writeText("last.dat", hex);
    commands.ReloadDataFile();
    EXPECT_EQ(buffer[0], 0x42);
    session.FileName = writeText("last.hex", "S1040000AA51\r\n");
    commands.ReloadDataFile();
    EXPECT_EQ(buffer[0], 0xAA);
}

TEST_F(FileCommandsTest, TextSavesAbove1MiBWriteEverythingAndSaySo)
{
    views.hex = true;
    views.end = 0x10000F;
    buffer[0x10000F] = 0x77;
    for (const char* name : {"big.hex", "big.s19"}) {
        prompt.said.clear();
        dialogs.file = (dir / name).string();
        commands.SaveBufClick();
        EXPECT_EQ(prompt.said, std::vector<std::string>{files_text::kTextAbove1MiB}) << name;
        const auto text = readFile(*dialogs.file);
        std::string expected;
        if (std::string(name) == "big.hex")
            WriteHexRecords(expected, imageOf(buffer), 0x10000F);
        else
            WriteSRecords(expected, imageOf(buffer), 0x10000F);
        EXPECT_EQ(text, std::vector<uint8_t>(expected.begin(), expected.end())) << name;
    }
    // Up to fffff nothing is said.
    prompt.said.clear();
    views.end = 0xFFFFF;
    dialogs.file = (dir / "fits.hex").string();
    commands.SaveBufClick();
    EXPECT_TRUE(prompt.said.empty());
}

} // namespace

TEST_F(FileCommandsTest, JedecLoadReplacesTheHexViewAndClearsUnnamedFuses)
{
    views.offersPld = true;
    views.hex = true;
    views.rowLength = 40; // a 20V8 map: 70 rows of 40
    std::fill_n(buffer.data(), 8000, '1');
    dialogs.file = writeText("logic.jed", "\x02"
                                          "design*\r\nQF8*\r\nL0002 11*\r\nC000C*\r\n\x03"
                                          "0000");
    commands.LoadFileClick();
    EXPECT_TRUE(prompt.said.empty());
    EXPECT_TRUE(views.pld);
    EXPECT_FALSE(views.hex);
    EXPECT_EQ(views.caption, *dialogs.file);
    EXPECT_EQ(views.mapSize, 8);
    EXPECT_EQ(std::string(buffer.data(), buffer.data() + 8), "00110000");
    EXPECT_EQ(buffer[6000 - 1], '0');
    EXPECT_EQ(buffer[6000], '1'); // past the default 6000 and the 2800 of the view
}

TEST_F(FileCommandsTest, JedecFaultsAreToldAndTheMapStays)
{
    views.offersPld = true;
    views.device = "GAL16V8";
    dialogs.file = writeText("bad.jed", "*QF16*L0 1111*C0000*L0010 1");
    commands.LoadFileClick();
    ASSERT_EQ(prompt.said.size(), 1u);
    EXPECT_EQ(prompt.said[0], std::string(files_text::kJedUnterminated) + "\n" +
                                  "JED: контрольная сумма в файле 0000, по перемычкам 0013\n" +
                                  "JED: в файле 16 перемычек, у GAL16V8 их 2194");
    EXPECT_EQ(std::string(buffer.data(), buffer.data() + 12), "111100000010");
    // The GAL's whole count is cleared, not only the file's 16.
    EXPECT_EQ(buffer[2193], '0');
}

TEST_F(FileCommandsTest, JedecSaveRenamesToJedAndReadsBack)
{
    views.offersPld = true;
    views.device = "GAL16V8";
    views.pld = true;
    for (int i = 0; i < 2240; ++i)
        buffer[i] = static_cast<uint8_t>((i % 3) ? '0' : '1');
    dialogs.file = (dir / "design.txt").string();
    dialogs.user = [this](FileFormatModel& m) {
        m.OnRadioClick(2); // ".JED"
        EXPECT_TRUE(m.OKBtnClick(prompt));
    };
    commands.SaveBufClick();
    EXPECT_TRUE(prompt.said.empty());
    EXPECT_EQ(session.FileName, (dir / "design.JED").string());
    const std::vector<uint8_t> text = readFile(session.FileName);
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(std::string(text.begin(), text.begin() + 9), "\x02GAL16V8\n");

    std::vector<uint8_t> back(3000, 'x');
    const JedecReadReport report = ReadJedecFuses(text, back);
    EXPECT_EQ(report.MapSize, 2194);
    EXPECT_FALSE(report.checksumWrong());
    EXPECT_TRUE(std::equal(back.begin(), back.begin() + 2194, buffer.data()));

    // The start-up reload reads it into the PLD view again.
    std::fill_n(buffer.data(), 2240, '1');
    views.pld = false;
    commands.ReloadDataFile();
    EXPECT_TRUE(views.pld);
    EXPECT_EQ(views.mapSize, 2194);
    EXPECT_TRUE(std::equal(back.begin(), back.begin() + 2194, buffer.data()));
}

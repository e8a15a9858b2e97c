// The connection routine, the settings file, write coalescing and link loss.

#include "LinkTestSupport.h"

#include "catalogue/HeadlessHost.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace pontvex::linktest {
namespace {

namespace fs = std::filesystem;

const char* const kQuestion = "Включите питание в Pontvex \n"
                              "Присоедините кабель RS232 к програм- \nматору и комп.\n"
                              "<Да>работаем \n<Нет>только прг.";
const char* const kNotFound = "Не найден программатор!\nПрограмматор не PV55 или нет соединен! ";
const char* const kWriteLost = "通信中断(out)！\nПрогр.выключили после инициализ.!";
const char* const kReadLost = "Потеряна связь\nПрогр.выключили после инициализ.!";

class Connection : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("pontvex-link-" + std::to_string(::getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        settings = dir / "pontvex" / "pontv55.con";
        link.setSettingsPath(settings.string());
        link.setPortOpener(&ports);
        link.setPrompt(&prompt);
        prompt.defaultAnswer = true;
    }
    void TearDown() override { fs::remove_all(dir); }

    void writeSettings(const std::string& contents)
    {
        fs::create_directories(settings.parent_path());
        std::ofstream(settings, std::ios::binary) << contents;
    }
    std::string readSettings() const
    {
        std::ifstream in(settings, std::ios::binary);
        std::stringstream all;
        all << in.rdbuf();
        return all.str();
    }

    fs::path dir;
    fs::path settings;
    ScriptedPortOpener ports;
    ScriptedPrompt prompt;
    ProgrammerLink link;
};

TEST_F(Connection, DeclinedQuestionTouchesNoPortAndTheSocketStaysSilent)
{
    ports.addPort("COM1", IdentityAnswer("kelu3v13"));
    prompt.answer(false);
    link.Connect();
    ASSERT_EQ(prompt.questions.size(), 1u);
    EXPECT_EQ(prompt.questions[0], kQuestion);
    EXPECT_TRUE(ports.tried.empty());
    EXPECT_FALSE(link.Connected());
    EXPECT_EQ(link.transport(), nullptr);
    EXPECT_FALSE(fs::exists(settings));
    EXPECT_EQ(link.ReadDataByte(), 255);
    EXPECT_EQ(link.ReadPort(2), 255);
    EXPECT_EQ(link.ReadPin(20), 1);
    EXPECT_EQ(link.ReadPin(21), 1);
    EXPECT_EQ(link.CheckSocketStatus(), 255);
    EXPECT_EQ(link.ProbeHardwareModel(), 97);
    EXPECT_FALSE(link.PinLoopTest());
    EXPECT_TRUE(prompt.messages.empty());
}

TEST_F(Connection, NineByteIdentityConnectsAndBringsTheSocketToIdle)
{
    ports.addPort("COM1", IdentityAnswer("kelu3v13"));
    link.Connect();
    ASSERT_TRUE(link.Connected());
    EXPECT_EQ(link.PortName(), "COM1");
    EXPECT_EQ(link.FirmwareId(), "kelu3v13");
    EXPECT_EQ(link.StatusText(), "Ptvex55+ from COM1");
    EXPECT_EQ(readSettings(), "COM1");

    const Bytes& out = ports.logs["COM1"]->written;
    ASSERT_GT(out.size(), 20u);
    EXPECT_EQ(out[0], 15);
    // SetVppVoltage 0 comes first, SetPin 13 to 0 (InitSocket's bus mode) last.
    EXPECT_EQ(Bytes(out.begin() + 1, out.begin() + 5), bytes({14, 0xFF, 22, 0x00}));
    EXPECT_EQ(Bytes(out.end() - 2, out.end()), bytes({9, 0x00}));
    // Pins 7 and 8 high, every supply off.
    EXPECT_EQ(link.shadows().pinLatch[5], 0xFF);
    EXPECT_EQ(link.shadows().vppRouteA, 0x00);
    EXPECT_EQ(link.shadows().vccRouteA, 0xFF);
    EXPECT_EQ(link.shadows().vccGndRoute, 0x07);
    EXPECT_TRUE(prompt.messages.empty());
}

TEST_F(Connection, EightByteAnswerIsNoBox)
{
    Bytes eight = IdentityAnswer("kelu3v13");
    eight.pop_back();
    ports.addPort("COM1", eight);
    ports.addPort("COM2", IdentityAnswer("kelm3v52"));
    link.Connect();
    ASSERT_TRUE(link.Connected());
    EXPECT_EQ(ports.tried, (std::vector<std::string>{"COM1", "COM1", "COM2"}));
    EXPECT_EQ(link.PortName(), "COM2");
    EXPECT_EQ(link.FirmwareId(), "kelm3v52");
    // The refused port was closed again.
    EXPECT_TRUE(ports.logs["COM1"]->closed);
    EXPECT_EQ(readSettings(), "COM2");
}

TEST_F(Connection, NoBoxAnywhereGoesOfflineWithTheMessage)
{
    ports.addPort("COM3", Bytes{'k', 'e', 'l'});
    link.Connect();
    EXPECT_FALSE(link.Connected());
    EXPECT_EQ(ports.tried, (std::vector<std::string>{"COM1", "COM1", "COM2", "COM3", "COM4"}));
    EXPECT_EQ(prompt.messages, std::vector<std::string>{kNotFound});
    EXPECT_EQ(link.StatusText(), "Ошб.");
    EXPECT_EQ(link.FirmwareId(), "");
    EXPECT_FALSE(fs::exists(settings));
}

TEST_F(Connection, SettingsFileNamesTheFirstPortTried)
{
    ports.addPort("COM3", IdentityAnswer("kelu3v13"));
    writeSettings("COM3\r\n");
    link.Connect();
    EXPECT_EQ(ports.tried, std::vector<std::string>{"COM3"});
    EXPECT_EQ(link.PortName(), "COM3");

    writeSettings("COM12");
    ProgrammerLink second;
    second.setSettingsPath(settings.string());
    second.setPortOpener(&ports);
    ports.tried.clear();
    second.Connect(false);
    EXPECT_EQ(ports.tried, (std::vector<std::string>{"COM1", "COM1", "COM2", "COM3"}));
    EXPECT_EQ(readSettings(), "COM3");
}

TEST_F(Connection, PortRejectionsFollowTheirOwnReactions)
{
    ports.addPort("COM1", IdentityAnswer("kelu3v13"), PortOpenResult::SettingsRejected);
    ports.addPort("COM2", IdentityAnswer("kelu3v13"), PortOpenResult::TimeoutsRejected);
    link.Connect();
    EXPECT_TRUE(link.Connected());
    EXPECT_EQ(link.PortName(), "COM2");
    EXPECT_EQ(prompt.messages,
              (std::vector<std::string>{"set Com bad", "set Com bad", "SetCommTimeouts failed"}));
}

TEST_F(Connection, BadSettingsFilesFallBackToCom1)
{
    ports.addPort("COM2", IdentityAnswer("kelu3v13"));
    const std::vector<std::string> files = {
        "",
        std::string("\xff\xfe\x00\x01\x80\x90", 6),
        std::string("CO\0M", 4),
        "\r\n",
        std::string(100000, 'A'),
        "/" + std::string(5000, 'x') + "\n",
    };
    const std::vector<std::string> firstTried = {"COM1", "COM1", "COM1", "COM1", "AAAA", "COM1"};
    for (size_t i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(i);
        writeSettings(files[i]);
        ProgrammerLink fresh;
        fresh.setSettingsPath(settings.string());
        fresh.setPortOpener(&ports);
        ports.tried.clear();
        fresh.Connect(false);
        ASSERT_FALSE(ports.tried.empty());
        EXPECT_EQ(ports.tried.front(), firstTried[i]);
        EXPECT_TRUE(fresh.Connected());
        EXPECT_EQ(readSettings(), "COM2");
    }
}

TEST(PortSettings, FirstLineCutToFourCharacters)
{
    EXPECT_EQ(ProgrammerLink::PortNameFromSettings("COM3\r\n"), "COM3");
    EXPECT_EQ(ProgrammerLink::PortNameFromSettings("COM12"), "COM1");
    EXPECT_EQ(ProgrammerLink::PortNameFromSettings("COM2\nCOM4"), "COM2");
    EXPECT_EQ(ProgrammerLink::PortNameFromSettings("CO\n"), "CO");
    EXPECT_EQ(ProgrammerLink::PortNameFromSettings("/dev/ttyUSB0\n"), "/dev/ttyUSB0");
    EXPECT_EQ(ProgrammerLink::PortNameFromSettings("\x01\x02"), "");
    EXPECT_EQ(ProgrammerLink::PortNameFromSettings("C\xc3\xa9M"), "");
}

TEST_F(Connection, IdentityBytesAboveAsciiStayPrintable)
{
    Bytes answer = {0xC0, 'e', 'l', 0x00, '3', 'v', 0xFF, '3', 0x99};
    ports.addPort("COM1", answer);
    link.Connect(false);
    ASSERT_TRUE(link.Connected());
    EXPECT_EQ(link.FirmwareId(), "?el?3v?3");
    ports.logs["COM1"]->answerAlways(0);
    EXPECT_EQ(link.ProbeHardwareModel(), 99);
}

TEST_F(Connection, NamedPortIsTheOnlyOneTried)
{
    ports.addPort("/dev/pts/7", IdentityAnswer("kelu3v13"));
    EXPECT_TRUE(link.ConnectTo("/dev/pts/7"));
    EXPECT_EQ(link.PortName(), "/dev/pts/7");
    // A pseudo-terminal is gone next run: it is not remembered.
    EXPECT_FALSE(fs::exists(settings));

    ports.addPort("/dev/ttyUSB0", IdentityAnswer("kelu3v13"));
    EXPECT_TRUE(link.ConnectTo("/dev/ttyUSB0"));
    EXPECT_EQ(readSettings(), "/dev/ttyUSB0");

    ports.tried.clear();
    EXPECT_FALSE(link.ConnectTo("/dev/ttyUSB9"));
    EXPECT_EQ(ports.tried, std::vector<std::string>{"/dev/ttyUSB9"});
    EXPECT_EQ(prompt.messages.back(), kNotFound);
    EXPECT_FALSE(link.Connected());
}

// --- coalescing ---------------------------------------------------------------------

using Coalescing = OnlineLink;

TEST_F(Coalescing, QueuedBytesGoOutInOneWriteBeforeARead)
{
    link.SetPin(21, 1);
    link.LinkDelay(3);
    link.SetPin(21, 0);
    EXPECT_TRUE(log->written.empty());
    log->replies = {0x42};
    EXPECT_EQ(link.ReadDataByte(), 0x42);
    EXPECT_EQ(log->writeSizes, std::vector<size_t>{8});
    EXPECT_EQ(log->written, cat({bytes({11, 0x08}), nops(3), bytes({11, 0x00, 128})}));
}

TEST_F(Coalescing, DelaysAreOneRunOfNoOperations)
{
    link.LinkDelay(0);
    link.LinkDelay(-5);
    link.Flush();
    EXPECT_TRUE(log->writeSizes.empty());
    link.LinkDelay(10000);
    link.Flush();
    EXPECT_EQ(log->writeSizes, std::vector<size_t>{10000});
    EXPECT_EQ(log->written, nops(10000));
}

TEST_F(Coalescing, BlockWriteHandsTheRunOverAtOnce)
{
    const Bytes page = {1, 2, 3, 4, 5};
    link.SendByte(136);
    link.BlockWrite(page.data(), page.size());
    EXPECT_EQ(log->written, cat({bytes({136}), page}));
    EXPECT_EQ(log->writeSizes.size(), 1u);
}

// --- link loss ----------------------------------------------------------------------

class LinkLoss : public OnlineLink {
protected:
    void SetUp() override
    {
        OnlineLink::SetUp();
        link.setPrompt(&prompt);
    }
    ScriptedPrompt prompt;
};

TEST_F(LinkLoss, ReadTimeOutGoesOfflineAndTheProgramGoesOn)
{
    link.SetPin(5, 0);
    EXPECT_THROW(link.ReadDataByte(), LinkLost);
    EXPECT_EQ(prompt.messages, std::vector<std::string>{kReadLost});
    EXPECT_FALSE(link.Connected());
    // The request went out; after the loss nothing more does.
    EXPECT_EQ(log->written, bytes({13, 0xEF, 128}));
    log->clear();
    log->answerAlways(0);
    const int readsBefore = log->reads;
    EXPECT_EQ(link.ReadDataByte(), 255);
    link.PowerDown();
    link.LinkDelay(100);
    link.Flush();
    EXPECT_TRUE(log->written.empty());
    EXPECT_EQ(log->reads, readsBefore);
    EXPECT_EQ(prompt.messages.size(), 1u);
}

TEST_F(LinkLoss, ShortWriteIsAFailedWrite)
{
    log->acceptLimit = 3;
    link.SetPin(5, 0);
    link.SetPin(6, 0);
    EXPECT_THROW(link.Flush(), LinkLost);
    EXPECT_EQ(prompt.messages, std::vector<std::string>{kWriteLost});
    EXPECT_FALSE(link.Connected());
    EXPECT_NO_THROW(link.ReadDataByte());
    EXPECT_EQ(log->written.size(), 3u);
}

TEST_F(LinkLoss, ShortBlockWriteIsLost)
{
    log->acceptLimit = 100;
    const Bytes page(256, 0xAB);
    EXPECT_THROW(link.BlockWrite(page.data(), page.size()), LinkLost);
    EXPECT_FALSE(link.Connected());
}

TEST_F(LinkLoss, IdentityWriteRefusedIsNoBox)
{
    ScriptedPortOpener ports;
    ports.addPort("COM1", IdentityAnswer("kelu3v13"));
    ProgrammerLink other;
    other.setPortOpener(&ports);
    other.setSettingsPath("");
    // Writes fail from the first byte: the routine moves on to the next port.
    auto transport = std::make_unique<RecordingTransport>();
    transport->log()->acceptLimit = 0;
    transport->log()->replies.assign(9, 'k');
    EXPECT_FALSE(other.AttachTransport(std::move(transport), "SIM"));
    EXPECT_FALSE(other.Connected());
    EXPECT_EQ(other.StatusText(), "Ошб.");
}

} // namespace
} // namespace pontvex::linktest

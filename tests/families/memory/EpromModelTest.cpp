// The 27-series chip models driven through the socket driver alone.
#include "support/FamilyBench.h"

#include "boxsim/chips/Eprom27.h"

#include "catalogue/DeviceList.h"
#include "families/memory/EpromWindow.h"
#include "families/memory/TP27sfx.h"
#include "families/memory/TP27x.h"
#include "families/memory/TPW27x.h"

#include <fstream>

namespace pontvex::eprom_test {
namespace {

constexpr uint32_t k32K = 32 * 1024;

// A link on a box with one chip, the socket as a memory window's set-up leaves it.
struct Socket {
    explicit Socket(const std::string& chipName)
    {
        box->insertChip(boxsim::makeChipModel(chipName));
        chip = dynamic_cast<boxsim::Eprom27*>(box->chip());
        link.setPrompt(&host.script());
        EXPECT_TRUE(link.AttachTransport(std::make_unique<boxsim::SimTransport>(box), "SIM"));
        link.ResetSocket();
        link.SetVppVoltage(0);
        link.RouteGnd(20);
        link.InitSocket();
    }
    void address(uint32_t a, uint32_t size, int vccPin)
    {
        const auto ports = EpromPortLatchValues(a, 0u - size, vccPin);
        for (int k = 0; k < 5; ++k)
            link.WriteLatch(k, ports[static_cast<size_t>(k)]);
    }
    // The write set-up of a 28-pin row up to the Vpp route.
    void writeSetUp(int vppMillivolts, uint32_t a)
    {
        link.SetPulseLength(1);
        link.SetVppVoltage(vppMillivolts);
        link.RouteVcc(34);
        link.LinkDelay(1000);
        link.SetBusMode(15);
        address(a, k32K, 34);
        link.FloatPin(35);
        link.DrivePin(28);
        link.FloatPin(26);
    }
    uint8_t program(uint8_t command, uint8_t data)
    {
        link.SendByte(command);
        link.SendByte(data);
        return link.ReceiveByte();
    }

    std::shared_ptr<boxsim::Box> box = std::make_shared<boxsim::Box>();
    boxsim::Eprom27* chip = nullptr;
    ProgrammerLink link;
    HeadlessHost host;
};

TEST(EpromModel, KnownContentsReadBackWithTheReadSequence)
{
    Socket s("27C256");
    const auto contents = randomBytes(k32K, 21);
    ASSERT_TRUE(s.chip->loadImage(contents));
    s.link.DrivePin(26);
    s.link.DrivePin(28);
    s.link.LinkDelay(100);
    s.link.RouteVcc(34);
    s.link.LinkDelay(1000);
    s.link.SetBusMode(12);
    for (uint32_t block : {0x0000u, 0x0100u, 0x1200u, 0x4A00u, 0x7F00u}) {
        s.address(block, k32K, 34);
        for (uint32_t i = 0; i < 256; ++i)
            ASSERT_EQ(s.link.ReadDataByte(), contents[block + i]) << std::hex << block + i;
    }
    s.link.RouteVcc(0);
    EXPECT_EQ(s.box->errorReport(), "");
    EXPECT_FALSE(s.chip->loadImage(std::vector<uint8_t>(k32K + 1, 0)));
}

TEST(EpromModel, ProgramsOnlyAtItsVppOnItsVppPin)
{
    Socket s("27C256");
    // Right level, right pin: bits only go from 1 to 0.
    s.writeSetUp(12700, 0x10);
    s.link.RouteVpp(7);
    EXPECT_EQ(s.program(143, 0xF0), 0xF0);
    s.address(0x10, k32K, 34);
    EXPECT_EQ(s.program(143, 0x3C), 0x30);
    EXPECT_EQ(s.chip->cell(0x10), 0x30);
    EXPECT_EQ(s.chip->cell(0x11), 0xFF);
    s.link.PowerDown();
    EXPECT_EQ(s.box->errorReport(), "");

    // 25 V on the Vpp pin: the monitor trips and the cell keeps its value.
    s.box->clearProblems();
    s.writeSetUp(25000, 0x20);
    s.link.RouteVpp(7);
    EXPECT_EQ(s.program(143, 0x00), 0xFF);
    s.link.PowerDown();
    EXPECT_EQ(s.chip->cell(0x20), 0xFF);
    EXPECT_NE(s.box->errorReport().find("chip pin 1 (socket 7)"), std::string::npos) << s.box->errorReport();

    // 12.7 V on OE (pin 28) instead of Vpp (pin 7): same.
    s.box->clearProblems();
    s.writeSetUp(12700, 0x30);
    s.link.RouteVpp(28);
    s.program(143, 0x00);
    s.link.PowerDown();
    EXPECT_EQ(s.chip->cell(0x30), 0xFF);
    EXPECT_NE(s.box->errorReport().find("chip pin 22 (socket 28)"), std::string::npos)
        << s.box->errorReport();
}

TEST(EpromModel, ProgramsOnlyWithItsStrobeAndWithVccSwitchedOn)
{
    Socket s("27C010");
    s.link.SetPulseLength(1);
    s.link.SetVppVoltage(12700);
    s.link.RouteVcc(36);
    s.link.LinkDelay(1000);
    s.link.SetBusMode(15);
    s.address(0x40, 128 * 1024, 36);
    s.link.FloatPin(35);
    s.link.DrivePin(28);
    s.link.FloatPin(26);
    s.link.RouteVpp(5);
    s.program(143, 0x00); // CE strobe: the 27C010 takes PGM (pin 35)
    EXPECT_EQ(s.chip->cell(0x40), 0xFF);
    s.program(140, 0x00); // PGM strobe, at 0x41 after the step
    EXPECT_EQ(s.chip->cell(0x41), 0x00);
    s.link.PowerDown();
    EXPECT_EQ(s.box->errorReport(), "");

    // Without the Vcc switch the chip is not powered and nothing is programmed.
    Socket t("27C256");
    t.link.SetVppVoltage(12700);
    t.link.SetBusMode(15);
    t.address(0, k32K, 34);
    t.link.DrivePin(28);
    t.link.FloatPin(26);
    t.link.RouteVpp(7);
    t.program(143, 0x00);
    t.link.PowerDown();
    EXPECT_EQ(t.chip->cell(0), 0xFF);
    EXPECT_EQ(t.chip->programPulses(), 0);
}

// A W27E010 erase with the strobe half as long as the window's does nothing.
TEST(EpromModel, ErasesOnlyWithAStrobeOfTheFullLength)
{
    for (int strobe : {1000, 2000}) {
        Socket s("W27E010");
        ASSERT_TRUE(s.chip->loadImage(std::vector<uint8_t>(16, 0x00)));
        s.link.SetBusMode(15);
        s.address(0, 128 * 1024, 36);
        s.link.RouteVcc(36);
        s.link.LinkDelay(1000);
        s.link.DrivePin(26);
        for (int pin : {28, 30, 5})
            s.link.FloatPin(pin);
        s.link.SetVppVoltage(14000);
        s.link.RouteVpp(5);
        s.link.RouteVpp(30);
        s.link.DrivePin(35);
        s.link.LinkDelay(strobe);
        s.link.FloatPin(35);
        s.link.UnrouteVpp(30);
        s.link.PowerDown();
        EXPECT_EQ(s.chip->cell(0), strobe == 2000 ? 0xFF : 0x00) << strobe;
        EXPECT_EQ(s.chip->erases(), strobe == 2000 ? 1 : 0);
        EXPECT_EQ(s.box->errorReport(), "");
    }
}

// Blank check and checksum taken from the cells give what the box's own
// 256 read cycles give (a stuck line on the 2764's unused pin 26 sends the
// command down the box's path).
TEST(EpromModel, FastBlankAndSumAgreeWithTheBoxsReadCycles)
{
    const auto contents = randomBytes(8 * 1024, 23);
    uint32_t sums[2] = {};
    boxsim::SimTime took[2] = {};
    for (int generic = 0; generic < 2; ++generic) {
        FamilyBench bench("P27", 7, "2764A");
        ASSERT_TRUE(bench.chip()->loadImage(contents));
        if (generic)
            bench.box->stickPin(32, 1);
        bench.press("checksum");
        ASSERT_EQ(bench.w().message().rfind("Контрол.сумма  = ", 0), 0u);
        sums[generic] = static_cast<uint32_t>(std::stoul(bench.w().message().substr(30), nullptr, 16));
        bench.press("blank");
        EXPECT_EQ(bench.w().message(), "000000: Ошибка!  ");
        took[generic] = bench.box->now();
    }
    EXPECT_EQ(took[0], took[1]) << "the fast path takes the box's time";
    uint32_t expected = 0;
    for (uint8_t b : contents)
        expected += b;
    EXPECT_EQ(sums[0], expected);
    EXPECT_EQ(sums[1], expected);
}

// Every EPROM entry of the shipped lists has a chip model of the row's size,
// package and Vpp pin, answering the list's signature.
TEST(EpromModel, EveryListedEpromHasAModelThatFitsItsRow)
{
    const std::string path = std::string(PONTVEX_BINARY_DIR) + "/data/devicea.lst";
    std::ifstream groupsIn(path, std::ios::binary);
    int checked = 0;
    for (const auto& group : readGroups(groupsIn, "#EPR")) {
        std::ifstream in(path, std::ios::binary);
        const ChipListing chips = readChips(in, "#EPR", group);
        for (size_t i = 0; i < chips.names.size(); ++i) {
            if (chips.names[i].empty() || chips.names[i][0] == '-')
                continue;
            const ChipParams params = parseChipParams(chips.params[i]);
            auto model = boxsim::makeChipModel(chips.names[i]);
            auto* eprom = dynamic_cast<boxsim::Eprom27*>(model.get());
            ASSERT_NE(eprom, nullptr) << chips.names[i];
            const EpromRow* row = nullptr;
            if (params.key == "P27")
                row = &TP27x::Table().at(static_cast<size_t>(params.variant));
            else if (params.key == "PW27")
                row = &TPW27x::Table().at(static_cast<size_t>(params.variant));
            else if (params.key == "SST27SF")
                row = &TP27sfx::Table().at(static_cast<size_t>(params.variant));
            ASSERT_NE(row, nullptr) << chips.names[i];
            EXPECT_EQ(eprom->type().size, row->AddressMask + 1) << chips.names[i];
            EXPECT_EQ(eprom->socketPin(eprom->vccPin()), row->VccPin) << chips.names[i];
            EXPECT_EQ(eprom->socketPin(eprom->type().vppPin), row->VppPin) << chips.names[i];
            if (params.signature[0] != 0) {
                // The ID reader's sequence with Vcc on the row's own pin.
                Socket s(chips.names[i]);
                s.link.RouteGnd(20);
                s.link.SetVppVoltage(12500);
                s.link.WriteAllLatches(0);
                s.link.RouteVcc(row->VccPin);
                s.link.SetBusMode(12);
                s.link.WriteLatch(2, 0xFF);
                s.link.RouteVpp(30);
                s.link.DrivePin(16);
                EXPECT_EQ(s.link.ReadPort(2), params.signature[0]) << chips.names[i];
                s.link.FloatPin(16);
                EXPECT_EQ(s.link.ReadPort(2), params.signature[1]) << chips.names[i];
                s.link.PowerDown();
                EXPECT_EQ(s.box->errorReport(), "") << chips.names[i];
            }
            ++checked;
        }
    }
    EXPECT_GT(checked, 50);
}

} // namespace
} // namespace pontvex::eprom_test

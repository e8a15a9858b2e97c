// The safety monitor on the socket.

#include "BoxTestSupport.h"

namespace pontvex::boxsim {
namespace {

struct Bench : simtest::SimBench {
    Bench() : SimBench(simtest::chip("TEST28"))
    {
        link.ResetSocket();
        link.RouteVcc(34); // TEST28: Vcc 34, GND 20, pin 1 (socket 7) takes 13 V
    }
    std::string errors() { return now().errorReport(); }
};

TEST(BoxMonitor, VppWhereTheChipTakesItIsClean)
{
    Bench b;
    b.link.SetVppVoltage(12700);
    b.link.RouteVpp(7);
    b.link.LinkDelay(10);
    b.link.RouteVpp(0);
    b.link.PowerDown();
    EXPECT_EQ(b.errors(), "");
    EXPECT_EQ(b.box->warningReport(), "");
}

TEST(BoxMonitor, VppTooHighOrOnTheWrongPin)
{
    {
        Bench b;
        b.link.SetVppVoltage(21000);
        b.link.RouteVpp(7);
        EXPECT_NE(b.errors().find("21000 mV on chip pin 1 (socket 7), above the 13000 mV TEST28 takes"),
                  std::string::npos)
            << b.errors();
    }
    {
        Bench b;
        b.link.SetVppVoltage(12700);
        b.link.RouteVpp(30);
        EXPECT_NE(b.errors().find("12700 mV on chip pin 24 (socket 30), which is no high-voltage pin"),
                  std::string::npos)
            << b.errors();
    }
    {
        Bench b;
        b.link.SetVppVoltage(0);
        b.link.RouteVpp(30); // code 0: a logic-level 5 V
        EXPECT_EQ(b.errors(), "");
    }
}

TEST(BoxMonitor, VccRemovedWhileVppStays)
{
    Bench b;
    b.link.SetVppVoltage(12700);
    b.link.RouteVpp(7);
    b.link.RouteVcc(0);
    b.link.SetPin(34, 0);
    b.link.DrivePin(34);
    EXPECT_NE(b.errors().find("Vcc removed from TEST28 while Vpp stays on it"), std::string::npos);
}

TEST(BoxMonitor, VppBeforeVccIsOnlyAWarning)
{
    Bench b;
    b.link.SetPin(34, 0);
    b.link.RouteVcc(0);
    b.link.DrivePin(34);
    b.link.SetVppVoltage(12700);
    b.link.RouteVpp(7);
    EXPECT_EQ(b.errors(), "");
    EXPECT_NE(b.box->warningReport().find("Vpp on TEST28 while it is not powered"), std::string::npos);
}

TEST(BoxMonitor, ShortsBetweenSwitches)
{
    {
        Bench b;
        b.link.RouteGnd(25);
        b.link.RouteVcc(25);
        EXPECT_NE(b.errors().find("pin 25: ground and Vcc switched together"), std::string::npos);
    }
    {
        Bench b;
        b.link.RouteVcc(28);
        b.link.RouteVpp(28);
        EXPECT_NE(b.errors().find("pin 28: Vcc and Vpp switched together"), std::string::npos);
    }
    {
        Bench b;
        b.link.RouteGnd(0);
        b.link.RouteVpp(20);
        EXPECT_NE(b.errors().find("supply on the GND pin of TEST28"), std::string::npos);
    }
}

TEST(BoxMonitor, ConnectionAndIdleSequencesAreClean)
{
    Bench b;
    b.link.InitSocket();
    b.link.ProbeHardwareModel();
    b.link.PinLoopTest();
    b.link.CheckSocketStatus();
    b.link.PowerDown();
    EXPECT_EQ(b.errors(), "");
}

} // namespace
} // namespace pontvex::boxsim

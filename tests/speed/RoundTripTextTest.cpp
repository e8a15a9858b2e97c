// The round trip as the system parameters window shows it, and the advice
// that comes with a slow one.

#include "link/LinkSpeed.h"

#include <gtest/gtest.h>

namespace pontvex {
namespace {

TEST(RoundTripText, ShownOnlyAfterAConnection)
{
    EXPECT_EQ(RoundTripText(-1), "");
    EXPECT_EQ(RoundTripText(0), "Задержка связи: 0.0 мс");
    EXPECT_EQ(RoundTripText(16.04), "Задержка связи: 16.0 мс");
}

TEST(RoundTripText, AdviceAboveFourMillisecondsNamesThePortsDevice)
{
    EXPECT_EQ(RoundTripAdvice(1.0, "/dev/ttyUSB0"), "");
    EXPECT_EQ(RoundTripAdvice(4.0, "/dev/ttyUSB0"), "");
    const std::string usb = RoundTripAdvice(16.2, "/dev/ttyUSB0");
    EXPECT_NE(usb.find("1 мс"), std::string::npos) << usb;
    EXPECT_NE(usb.find("setserial /dev/ttyUSB0 low_latency"), std::string::npos) << usb;
    EXPECT_NE(usb.find("/sys/bus/usb-serial/devices/ttyUSB0/latency_timer"), std::string::npos) << usb;
    // A COM name is the device it maps to.
    EXPECT_NE(RoundTripAdvice(5.0, "COM1").find("setserial /dev/ttyS0 "), std::string::npos);
}

} // namespace
} // namespace pontvex

#include "link/LinkSpeed.h"

#include "link/SerialPort.h"

#include <cstdio>

namespace pontvex {

std::string RoundTripText(double roundTripMs)
{
    if (roundTripMs < 0)
        return "";
    char text[64];
    std::snprintf(text, sizeof text, "Задержка связи: %.1f мс", roundTripMs);
    return text;
}

std::string RoundTripAdvice(double roundTripMs, const std::string& portName)
{
    if (roundTripMs <= kSlowRoundTripMs)
        return "";
    // The adapter's latency timer (16 ms on most USB-serial chips) is what
    // holds a lone reply byte; 1 ms is the lowest most of them take.
    std::string path = SerialDevicePath(portName);
    if (path.empty())
        path = portName;
    std::string device = path;
    if (const auto slash = device.rfind('/'); slash != std::string::npos)
        device = device.substr(slash + 1);
    std::string advice = "Связь медленная. Уменьшите таймер задержки USB-адаптера до 1 мс: ";
#ifdef _WIN32
    (void)device;
    advice += "Диспетчер устройств, свойства порта " + portName +
              ", Параметры порта, Дополнительно, Таймер задержки = 1.";
#else
    advice += "setserial " + path + " low_latency или echo 1 > /sys/bus/usb-serial/devices/" + device +
              "/latency_timer (от root).";
#endif
    return advice;
}

} // namespace pontvex

#include "families/ramtest/TTestKelm1.h"

#include "core/Text.h"

namespace pontvex {

TTestKelm1::TTestKelm1(ProgrammerLink& link) : link_(link)
{
    auto level = [this](int millivolts) {
        return [this, millivolts] { guarded([&] { link_.SetVppVoltage(millivolts); }); };
    };
    buttons_ = {
        {"Button1", "全部亮", [this] { Button1Click(); }},
        {"Button2", "全部灭", [this] { Button2Click(); }},
        {"Button3", "旋转", [this] { Button3Click(); }},
        {"Button4", "12V", level(12000)},
        {"Button5", "21V", level(21000)},
        {"Button6", "25V", level(25000)},
        {"Button7", "Vpp (8)", [this] { Button7Click(); }},
        {"Button8", "Vcc (9)", [this] { Button8Click(); }},
        {"Button9", "地", [this] { Button9Click(); }},
        {"Button10", "震荡", [this] { Button10Click(); }},
        {"Button11", "6.5V(贴)", [this] { Button11Click(); }},
        {"rst", "复位", [this] { rstClick(); }},
        {"Button12", "初始化通信口", [this] { Button12Click(); }},
    };
    radios_ = {
        {"RadioGroup1",
         "Vpp",
         {"5v", "12v", "14v", "21v", "25v"},
         0,
         [this](int i) {
             static const int kMillivolts[] = {0, 12000, 14000, 21000, 25000};
             guarded([&] { link_.SetVppVoltage(kMillivolts[i]); });
         }},
        {"RadioGroup2",
         "Vcc",
         {"0v", "5v", "6.2v"},
         0,
         [this](int i) {
             static const int kLevels[] = {0, 5, 6};
             guarded([&] { link_.SetVccVoltage(kLevels[i]); });
         }},
    };
    reopenPort = [this](const std::string& name) {
        link_.Disconnect();
        return link_.OpenProgrammerPort(name);
    };
}

const std::vector<int>& TTestKelm1::VppSweepPins()
{
    static const std::vector<int> pins = {1, 5, 7, 9, 10, 11, 12, 15, 28, 29, 30, 31, 34};
    return pins;
}

const std::vector<int>& TTestKelm1::VccSweepPins()
{
    static const std::vector<int> pins = {8, 17, 25, 26, 27, 28, 30, 32, 34, 36, 40};
    return pins;
}

const std::vector<int>& TTestKelm1::GroundTestPins()
{
    static const std::vector<int> pins = {20, 21, 24, 25, 31};
    return pins;
}

bool TTestKelm1::press(const std::string& which)
{
    for (Button& b : buttons_) {
        if (b.name == which || b.caption == which) {
            b.run();
            return true;
        }
    }
    return false;
}

bool TTestKelm1::choose(const std::string& radio, int index)
{
    for (Radio& r : radios_) {
        if (r.name != radio && r.caption != radio)
            continue;
        if (index < 0 || index >= static_cast<int>(r.items.size()))
            return false;
        r.selected = index;
        r.choose(index);
        return true;
    }
    return false;
}

void TTestKelm1::setEdit1(const std::string& text)
{
    edit1_ = text;
    if (changed)
        changed();
}

void TTestKelm1::guarded(const std::function<void()>& body)
{
    try {
        body();
        link_.Flush();
    } catch (const LinkLost&) {
        // The link has told the user; the window stays for another try.
    }
}

void TTestKelm1::rstClick()
{
    guarded([this] {
        setEdit1("复位");
        for (int p = 1; p <= 40; ++p)
            link_.SetPin(p, 0);
        for (int p = 1; p <= 40; ++p)
            link_.DrivePin(p);
        link_.RouteGnd(20);
        link_.RouteVcc(0);
        link_.RouteClock(0);
        link_.RouteVpp(0);
        link_.SetVppVoltage(0);
        link_.SetVccVoltage(0);
        link_.RouteRaisedSupply(0);
        link_.SetPageWriteMode(0);
    });
}

void TTestKelm1::allPins(bool driven)
{
    guarded([this, driven] {
        for (int p = 1; p <= 40; ++p)
            link_.SetPin(p, 0);
        link_.RouteGnd(20);
        link_.SetAuxSelect(0);
        for (int p = 1; p <= 40; ++p) {
            if (driven)
                link_.DrivePin(p);
            else
                link_.FloatPin(p);
        }
    });
}

void TTestKelm1::Button1Click()
{
    allPins(false);
}

void TTestKelm1::Button2Click()
{
    allPins(true);
}

void TTestKelm1::Button3Click()
{
    guarded([this] {
        link_.RouteGnd(20);
        link_.RouteVcc(0);
        link_.RouteClock(0);
        link_.RouteVpp(0);
        link_.SetVppVoltage(0);
        // Pin 40 too: left released it would stay lit through the whole sweep.
        for (int p = 1; p <= 40; ++p) {
            link_.SetPin(p, 0);
            link_.DrivePin(p);
        }
        link_.SetAuxSelect(0);
        // One pin lit at a time; the ground pin is never released.
        for (int p = 1; p <= 40; ++p) {
            if (p == 20)
                continue;
            link_.FloatPin(p);
            link_.LinkDelay(3000);
            link_.DrivePin(p);
            if (changed)
                changed();
        }
    });
    rstClick();
}

void TTestKelm1::Button7Click()
{
    guarded([this] {
        link_.RouteRaisedSupply(0);
        link_.RouteVpp(0);
        link_.RouteVcc(0);
        link_.SetAuxSelect(0);
        link_.RouteGnd(0);
        link_.SetVppVoltage(12000);
        for (int p : VppSweepPins()) {
            link_.RouteVpp(p);
            link_.LinkDelay(5000);
            link_.RouteVpp(0);
            if (changed)
                changed();
        }
    });
    rstClick();
}

void TTestKelm1::Button8Click()
{
    guarded([this] {
        link_.RouteRaisedSupply(0);
        link_.RouteVpp(0);
        link_.RouteVcc(0);
        link_.SetAuxSelect(0);
        for (int p = 1; p <= 40; ++p)
            link_.DrivePin(p);
        link_.RouteGnd(20);
        for (int p : VccSweepPins()) {
            // The pin goes high before the switch closes, so it never shorts Vcc to a low driver.
            link_.SetPin(p, 1);
            link_.RouteVcc(p);
            link_.LinkDelay(5000);
            link_.RouteVcc(0);
            link_.SetPin(p, 0);
            link_.DrivePin(p);
            if (changed)
                changed();
        }
        link_.RouteVcc(0);
    });
    rstClick();
}

void TTestKelm1::Button9Click()
{
    // Offline every pin reads 1: that would blame the board for a missing box.
    if (!link_.Connected()) {
        setEdit1("Нет устройства");
        return;
    }
    std::string result = "好";
    guarded([&] {
        link_.WriteAllLatches(255);
        for (int p : GroundTestPins()) {
            link_.RouteGnd(p);
            if (link_.ReadPin(p) == 1)
                result = format("p%d 坏; ", p); // a later failing pin replaces the text
        }
    });
    setEdit1(result);
}

void TTestKelm1::Button10Click()
{
    guarded([this] {
        link_.SetPin(15, 1);
        link_.SetPin(19, 1);
        link_.RouteGnd(20);
        link_.RouteClock(15);
        link_.LinkDelay(5000);
        link_.RouteClock(19);
        link_.LinkDelay(5000);
        link_.RouteClock(0);
    });
    rstClick();
}

void TTestKelm1::Button11Click()
{
    setEdit1("测量40脚6.2v至6.9V");
    guarded([this] {
        link_.SetVppVoltage(12000);
        link_.RouteRaisedSupply(40);
    });
}

void TTestKelm1::Button12Click()
{
    const std::string name = link_.PortName().substr(0, 4);
    bool answered = false;
    try {
        answered = reopenPort && reopenPort(name) && link_.Connected();
    } catch (const LinkLost&) {
        answered = false;
    }
    if (!answered) {
        setEdit1("Нет устройства");
        return;
    }
    rstClick();
    setEdit1("Готово! ");
}

} // namespace pontvex

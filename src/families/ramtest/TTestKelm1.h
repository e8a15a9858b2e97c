#pragma once

#include "link/ProgrammerLink.h"

#include <functional>
#include <string>
#include <vector>

namespace pontvex {

// The service window that checks the box itself on a test board plugged into
// the socket (LEDs and loads on every pin). Each button puts the socket into
// one state or runs one sweep while a person watches the board; only the
// ground test and the port reopen give a verdict, in Edit1. It has no chip
// key: the main window opens it from its type bar.
class TTestKelm1 {
public:
    struct Button {
        std::string name;
        std::string caption;
        std::function<void()> run;
    };
    struct Radio {
        std::string name;
        std::string caption;
        std::vector<std::string> items;
        int selected = 0;
        std::function<void(int)> choose;
    };

    explicit TTestKelm1(ProgrammerLink& link);

    const std::string& caption() const { return caption_; }
    const std::string& edit1() const { return edit1_; }
    std::vector<Button>& buttons() { return buttons_; }
    std::vector<Radio>& radios() { return radios_; }
    // By control name or caption; false when there is none.
    bool press(const std::string& which);
    bool choose(const std::string& radio, int index);

    // Closes the port and opens it again by name; true when the box answered.
    // The program sets it where ports are not opened by name (the simulator).
    std::function<bool(const std::string& name)> reopenPort;
    // The visible state changed: repaint now (called inside long sweeps too).
    std::function<void()> changed;

    void rstClick();
    void Button1Click();
    void Button2Click();
    void Button3Click();
    void Button7Click();
    void Button8Click();
    void Button9Click();
    void Button10Click();
    void Button11Click();
    void Button12Click();

    // Pins the sweeps visit, in their order.
    static const std::vector<int>& VppSweepPins();
    static const std::vector<int>& VccSweepPins();
    static const std::vector<int>& GroundTestPins();

private:
    void setEdit1(const std::string& text);
    void allPins(bool driven);
    // Runs one button; a lost link leaves the window as it is.
    void guarded(const std::function<void()>& body);

    ProgrammerLink& link_;
    std::string caption_ = "必须专用的测试板才能检测(2003.2.18)";
    std::string edit1_ = "Edit1";
    std::vector<Button> buttons_;
    std::vector<Radio> radios_;
};

} // namespace pontvex

#pragma once

#include "catalogue/FamilyWindow.h"
#include "families/pic/PicSettings.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace pontvex {

// One chip of a PIC serial window: its socket pins and the last byte address
// of its program memory in the buffer (words × 2 − 1).
struct PicRow {
    std::string name;
    int vpp = 0;
    int vcc = 0;
    int gnd = 0;
    int clock = 0; // RB6
    int data = 0;  // RB7
    int32_t lastAddress = 0;
};

// What every window on the serial programming interface shares: the three
// box commands that clock a 6-bit command (and a 14-bit word) on RB6/RB7,
// power-up and entry, the word layout in the buffer (word n at bytes 2n and
// 2n+1, 14 bits), the pipelined program-memory loops, the configuration
// options as window controls and the settings file beside the data file.
// A window gives its rows, its command codes and its program cycle.
class PicSerialWindow : public FamilyWindow {
public:
    PicSerialWindow(std::string className, ProgrammerLink& link, FamilyHost& host);

    int rowCount() const override { return static_cast<int>(rows_.size()) - 1; }
    std::string rowName(int index) const override;
    int packageVccPin() const override;
    std::string connectionErrorText() const override;
    void SelectChip(const ChipSelection& chip) override;

    // The row chosen by VariantIndex, or null outside the table.
    const PicRow* row() const;
    static const char* packageText(int vccPin);

    // --- the box commands ---------------------------------------------------
    void SendPicCommand(uint8_t c);
    // Sends a read command and waits for its frame: the 14 data bits.
    uint16_t ReadPicWord(uint8_t c);
    void LoadPicWord(uint8_t c, uint16_t v);

    uint16_t ConfigWord = 0x3FFF;
    uint16_t IdWord = 0xFFFF;
    uint16_t ChecksumWord = 0;

protected:
    // The chip's 6-bit codes; windows whose chips take other codes set them.
    struct Codes {
        uint8_t loadConfig = 0;
        uint8_t loadProgram = 2;
        uint8_t readProgram = 4;
        uint8_t increment = 6;
        uint8_t beginProgramming = 8;
    } codes_;

    // --- building blocks ------------------------------------------------------
    virtual void PowerUpChip();
    // Power-up, MCLR to Vpp, the port latch the entry leaves at 0: address 0.
    void EnterProgramMode();
    uint16_t ReadNextWord();
    // Load Configuration moves the address to 0x2000 every time; k
    // increments reach location 0x2000 + k.
    void ProgramConfigLocation(int k, uint16_t v);
    void PowerOff();

    // The options from the controls, and the controls from options.
    pic::ConfigOptions options() const;
    void showOptions(const pic::ConfigOptions& o);
    // The configuration word the controls give, shown on the message line;
    // the ID field read into IdWord.
    void BuildConfigWord();
    void ShowConfig();

    // Program memory 0..last address, one word a unit, the read queued ahead
    // of its reply; progress every 16 bytes and at a failure.
    ReadRange programRange();
    bool needHexView();
    // Runs a command body with a row chosen.
    void command(const std::string& busyText, const std::function<void()>& body);

    // Declares the oscillator, WDT, PWRT, Sec and ID controls and the
    // settings file, read at once.
    void declareConfigControls();

    virtual void blankBody() = 0;
    virtual void writeBody() = 0;
    virtual void verifyBody() = 0;
    virtual void readBody() = 0;
    virtual void eraseBody() = 0;
    virtual void readConfigBody() = 0;
    virtual void writeConfigBody() = 0;

    std::vector<PicRow> rows_;
    int vppMillivolts_ = 12700;
    bool readingConfig_ = false;
};

} // namespace pontvex

#pragma once

#include "catalogue/FamilyWindow.h"

#include <array>
#include <cstdint>
#include <vector>

namespace pontvex {

// One two-wire EEPROM of the window. A2 pin 0 marks the old protocol without
// a device byte.
struct I2cRow {
    const char* name;
    uint32_t lastAddress;
    // SDA, SCL, Vcc, GND, WP, A0, A1, A2.
    std::array<int, 8> pins;
};

// Two-wire (I²C) EEPROMs 24C01A ... 24C512 and X24C01. The program makes
// every bus condition pin by pin; the box shifts whole bytes (command 176).
class TP24c0x : public FamilyWindow {
public:
    TP24c0x(ProgrammerLink& link, FamilyHost& host);

    void SelectChip(const ChipSelection& chip) override;
    void FillVariantTable() override;
    int rowCount() const override { return static_cast<int>(rows_.size()) - 1; }
    std::string rowName(int index) const override;
    std::string connectionErrorText() const override;

    void ReadRom();
    void WriteClick();
    void VerifyClick();

    static const std::vector<I2cRow>& Table();

private:
    const I2cRow& row() const;
    bool x24c01() const { return row().pins[7] == 0; }
    bool needHexView(const char* text);
    void setSdaLatch(int level);
    void PowerUpSerial();
    void BusStart();
    void BusStop();
    void BusAckClock();
    void BusSendByte(uint8_t b);
    // The random-read transaction up to the data bits.
    void BeginRead(uint32_t a);
    void EepromWriteByte(uint32_t a, uint8_t b);
    ReadRange readRangeOf(int progressEvery);
    void verifyPass();

    std::vector<I2cRow> rows_;
    bool sdaLatchHigh_ = false;
};

} // namespace pontvex

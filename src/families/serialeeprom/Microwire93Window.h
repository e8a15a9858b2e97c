#pragma once

#include "catalogue/FamilyWindow.h"

#include <cstdint>
#include <vector>

namespace pontvex {

// One three-wire EEPROM row; both windows share the rows and the pins.
struct MicrowireRow {
    const char* name;
    int addressBits;
    int dataBits;           // 8, or 16 with ORG high
    uint32_t lastAddress8;  // TP93cxx: one buffer byte per chip address
    uint32_t lastAddress16; // TP93x16: two buffer bytes per chip address
};

// Three-wire (Microwire) EEPROMs 93C46 ... 93C86. Every instruction is built
// bit by bit: DI through the port-2 latch, SK pulsed pin by pin. TP93cxx keeps
// one byte per chip address, TP93x16 one little-endian word.
class Microwire93Window : public FamilyWindow {
public:
    Microwire93Window(std::string className, ProgrammerLink& link, FamilyHost& host, bool words);

    void SelectChip(const ChipSelection& chip) override;
    void FillVariantTable() override;
    int rowCount() const override { return static_cast<int>(rows_.size()) - 1; }
    std::string rowName(int index) const override;
    std::string connectionErrorText() const override;

    void ReadRom();
    void WriteClick();
    void VerifyClick();
    void EraseClick();
    void BlankClick();

    static const std::vector<MicrowireRow>& Table();

    // Instruction codes after the start bit for the five-bit group.
    static constexpr int kEwen = 3, kEwds = 0, kEral = 2;

private:
    const MicrowireRow& row() const;
    uint32_t lastAddress() const { return words_ ? row().lastAddress16 : row().lastAddress8; }
    bool needHexView(const char* text);
    void PowerUpSerial();
    void ShiftOut(uint32_t v, int n);
    // READ up to its data bits: CS, start bit, opcode and address.
    void BeginRead(uint32_t wordAddress);
    uint32_t ReadWord(uint32_t wordAddress);
    void MicrowireCommand(int code);
    void WriteWord(uint32_t wordAddress, uint32_t value);
    // The value one chip address holds in the buffer at byte address a.
    uint32_t bufferValue(uint32_t a) const;
    ReadRange range();
    uint32_t ones() const { return (1u << row().dataBits) - 1; }

    bool words_;
    uint8_t serialLatch_ = 0xE4;
    std::vector<MicrowireRow> rows_;
};

class TP93cxx : public Microwire93Window {
public:
    TP93cxx(ProgrammerLink& link, FamilyHost& host) : Microwire93Window("TP93cxx", link, host, false) {}
};

class TP93x16 : public Microwire93Window {
public:
    TP93x16(ProgrammerLink& link, FamilyHost& host) : Microwire93Window("TP93x16", link, host, true) {}
};

} // namespace pontvex

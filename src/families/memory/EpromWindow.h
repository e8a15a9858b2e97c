#pragma once

#include "catalogue/FamilyWindow.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace pontvex {

// The beginning every 27-series row shares: name, size fields, pins.
struct EpromRow {
    const char* name = "???";
    uint32_t AddressMask = 0;     // size - 1
    uint32_t reserved = 0;        //
    uint32_t AddressHighMask = 0; // -size: every address bit above the chip is 1
    uint8_t VccPin = 0;           // 32 (24-pin), 34 (28-pin), 36 (32-pin)
    uint8_t VppPin = 0;
    uint8_t PgmPin = 0; // program strobe or output enable; 0 or 255 when none
};

constexpr EpromRow MakeEpromRow(const char* name, uint32_t size, uint8_t vcc, uint8_t vpp, uint8_t pgm)
{
    return EpromRow{name, size - 1, 0, 0u - size, vcc, vpp, pgm};
}

// A row pin of 0 or 255 means the package has no such pin: nothing is sent for it.
constexpr bool HasPin(int pin)
{
    return pin >= 1 && pin <= 40;
}

// Port 0..4 values that put an address on the pins of a 24-, 28- or 32-pin
// memory. CE (26) is high and OE (28) low in every result; the caller drives them.
std::array<uint8_t, 5> EpromPortLatchValues(uint32_t address, uint32_t highMask, int vccPin);

// Busy, success and failure texts the three windows share.
namespace eprom_text {
inline constexpr const char* kRead = "Счит...";
inline constexpr const char* kReadOk = "Счт.ОК!";
inline constexpr const char* kWrite = "Запись...";
inline constexpr const char* kWriteOk = "OK!";
inline constexpr const char* kVerify = "Сравнен...                 ";
inline constexpr const char* kVerifyOk = "Срав.ОК!";
inline constexpr const char* kMismatch = "%06x:Ошиб! (Файл=%02x,Устр=%02x)";
inline constexpr const char* kBlank = "Сравнение...     ";
inline constexpr const char* kBlankOk = "Прв.ОК";
inline constexpr const char* kNotBlank = "%06x: Ошибка!  ";
inline constexpr const char* kCheckSum = "Расчет...  ";
inline constexpr const char* kCheckSumResult = "Контрол.сумма  = %08x";
inline constexpr const char* kErase = "Стир...";
inline constexpr const char* kEraseOk = "OK!";
inline constexpr const char* kSelectOk = "OK ";
// The buffer would be left at this address (Write and Verify from a high BufferStart).
inline constexpr const char* kOutsideBuffer = "%06x: Вне буфера!";
// VariantIndex names no row of the window's table (the frame's text).
inline constexpr const char* kNoRow = "Нет типа %d в таблице!";
} // namespace eprom_text

// The frame shared by the three 27-series windows: the package layout, the
// firmware-assisted read, blank-check, checksum and program-byte commands,
// and the command handlers built on them. A window supplies its rows and the
// few steps in which it differs.
class EpromWindow : public FamilyWindow {
public:
    EpromWindow(std::string className, ProgrammerLink& link, FamilyHost& host);

    void SelectChip(const ChipSelection& chip) override;
    // Closing also drops the Vpp level and routes and every port latch.
    void OnClose() override;
    int rowCount() const override { return tableSize() - 1; }
    std::string rowName(int index) const override;
    // The Vcc pin of the chosen row's package (32, 34 or 36).
    int packageVccPin() const override;

    // The row in use (row 0, the placeholder, while no chip is selected).
    const EpromRow& row() const;
    int currentRow() const { return rowIndex_; }

    void SetEpromAddress(uint32_t address);
    // Sends the program command and the data byte and reads the byte the box
    // read back. Returns what the caller compares with data.
    uint8_t ProgramEpromByte(uint8_t data);

    void ReadClick();
    void WriteClick();
    void VerifyClick();
    void BlankClick();
    void CheckSumClick();
    void EraseClick();
    // "Код ИД": the type dialog's ID reader, then the socket back to rest.
    void readId();

    std::array<uint8_t, 5> PortLatchValues{};
    int ReadBusMode = 12;
    int WriteBusMode = 15;

protected:
    // Rows of the table including the placeholder row 0.
    virtual int tableSize() const = 0;
    virtual const EpromRow& rowAt(int index) const = 0;

    // How Write differs between the windows.
    struct WritePlan {
        int pulseParameter = 1;
        int vppMillivolts = 0;
        uint8_t command = 0;
        bool compareEveryByte = true; // false: the reply is never compared
        bool groundAfterVcc = false;
        bool checkSumAfter = false;
    };
    virtual WritePlan writePlan() const = 0;
    // TP27sfx grounds pin 20 through the switch in Read and Write.
    virtual bool groundsThroughSwitch() const { return false; }
    // Erase of the electrically erasable windows; the UV window has none.
    virtual void eraseSequence() {}

    // Declaration helpers: the common buttons, fields and Auto steps.
    void declareControls(bool withErase);

    int64_t BufferStart() const { return fieldValue(Role::BufferStart); }
    int64_t ChipStart() const { return fieldValue(Role::ChipStart); }
    int64_t LastAddress() const { return fieldValue(Role::Length); }

private:
    // Refuses a command while no real row is chosen.
    bool rowChosen();
    // Number of chip bytes Write and Verify touch from ChipStart, or -1 after
    // refusing a range that would leave the buffer.
    int64_t rangeLength();
    void runWrite();

    int rowIndex_ = 0;
    WritePlan activePlan_{};
};

} // namespace pontvex

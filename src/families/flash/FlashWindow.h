#pragma once

#include "catalogue/FamilyWindow.h"

#include <array>
#include <cstdint>
#include <string>

namespace pontvex {

// The part of a 29F/49F/28F row every operation reads.
struct FlashRow {
    const char* name = "???";
    uint32_t AddressMask = 0;     // size - 1
    uint32_t AddressHighMask = 0; // -size: unused address lines rest high
    uint8_t VccPin = 0;
    uint8_t VppPin = 0;
    int VppMillivolts = 0; // 50000 selects no level: a routed pin then sits at about 5 V
};

constexpr FlashRow MakeFlashRow(const char* name, uint32_t size, uint8_t vpp, int millivolts)
{
    return FlashRow{name, size - 1, 0u - size, 36, vpp, millivolts};
}

// Port 0..4 latches that put an address on a 32-pin flash, WE (35) high and
// CE (26) high; port 2 (data) is left out.
std::array<uint8_t, 5> FlashPortLatchValues(uint32_t address, uint32_t highMask);

namespace flash_text {
inline constexpr const char* kRead = "Счт..";
inline constexpr const char* kReadOk = "Счт.ОК!";
inline constexpr const char* kVerify = "Сравнен... ";
inline constexpr const char* kVerifyOk = "Срав.ОК!";
inline constexpr const char* kMismatchShort = "%06x: Ошиб!";
inline constexpr const char* kMismatch = "%06x:Ошиб! (Файл=%02x,Устр=%02x)";
inline constexpr const char* kBlank = "Провер...";
inline constexpr const char* kBlankOk = "Прв.ОК";
inline constexpr const char* kNotBlank = "%06x: Ошибка!  ";
inline constexpr const char* kCheckSum = "Расчет...  ";
inline constexpr const char* kCheckSumResult = "Контрол.сумма  = %08x";
inline constexpr const char* kErase = "Стир...";
inline constexpr const char* kEraseAttempt = "Стир... %d";
inline constexpr const char* kWriteShort = "Зпс..";
inline constexpr const char* kWriteLong = "Запись...                ";
inline constexpr const char* kWriteOk = "OK!";
inline constexpr const char* kEraseOk = "OK!";
inline constexpr const char* kUnprotect = "Unprotect Chip...";
inline constexpr const char* kUnprotectOkCyrillic = "ОК! ";
inline constexpr const char* kUnprotectOk = "OK";
inline constexpr const char* kSelectOk = "OK ";
inline constexpr const char* kOutsideBuffer = "%06x: Вне буфера!";
inline constexpr const char* kNoRow = "Нет типа %d в таблице!";
} // namespace flash_text

// The frame of the 32-pin flash windows: rows, the address layout, one bus
// write cycle, the idle state, and Read/Verify/Blank/CheckSum over the box's
// firmware reads. A window adds its erase, write and unprotect.
class FlashWindow : public FamilyWindow {
public:
    FlashWindow(std::string className, ProgrammerLink& link, FamilyHost& host);

    void SelectChip(const ChipSelection& chip) override;
    void OnClose() override;
    void FillVariantTable() override {}
    int rowCount() const override { return tableSize() - 1; }
    std::string rowName(int index) const override;
    int packageVccPin() const override;

    const FlashRow& row() const { return rowAt(rowIndex_); }

    void SetFlashAddress(uint32_t address);
    void WriteCommandCycle(uint32_t address, uint8_t data);
    void PrepareIdle();

    void ReadClick();
    void VerifyClick();
    void BlankClick();
    void CheckSumClick();
    void EraseClick();
    void WriteClick();
    void UnProtectChipClick();

protected:
    virtual int tableSize() const = 0;
    virtual const FlashRow& rowAt(int index) const = 0;
    virtual const char* mismatchFormat() const { return flash_text::kMismatch; }
    virtual const char* writeBusyText() const { return flash_text::kWriteLong; }
    // The window's erase; false when it has reported a failure. Blank follows
    // when blankAfterErase() says so.
    virtual void eraseSequence() = 0;
    virtual bool blankAfterErase() const { return false; }
    virtual void writeSequence(uint32_t chipStart, uint32_t bufferStart, uint32_t length) = 0;
    virtual void unprotectSequence() = 0;

    // Read, Write, Verify, Blank, Erase, CheckSum, unprotect (with its
    // caption; none when null), Auto as Erase, Blank, Write, Verify.
    void declareControls(const char* unprotectCaption);
    // Sends 145 with each byte, replies taken behind the sends (they say nothing).
    void programBytes145(uint32_t chipStart, uint32_t bufferStart, uint32_t length);
    // Vpp off, then its level, then Vcc: no 12 V stays on a chip without its supply.
    void suppliesOff();

    // The 29F chip erase: the chip powered with the row's Vpp, then up to
    // `attempts` six-cycle sequences, each followed by a read at address 0
    // (waiting on DQ6 where asked). Gives the last byte read; bit 7 set
    // means erased. The supplies are left on.
    struct ChipEraseLoop {
        int attempts = 0;
        bool pageModeAndPulse = false; // SetPageWriteMode and SetPulseLength before the first attempt
        bool messageEachAttempt = false;
        bool waitForDq6 = false;
        bool progressAfterSuccess = false; // progress(0) also after the attempt that erased
    };
    uint8_t chipErase(const ChipEraseLoop& loop);

    int64_t BufferStart() const { return fieldValue(Role::BufferStart); }
    int64_t ChipStart() const { return fieldValue(Role::ChipStart); }
    int64_t LastAddress() const { return fieldValue(Role::Length); }

private:
    bool rowChosen();
    int64_t rangeLength();
    int rowIndex_ = 0;
};

} // namespace pontvex

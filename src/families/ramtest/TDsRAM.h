#pragma once

#include "catalogue/FamilyWindow.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace pontvex {

namespace ram_text {
inline constexpr const char* kSelectOk = "OK ";
inline constexpr const char* kRead = "Счит...";
inline constexpr const char* kReadOk = "Счт.ОК!";
inline constexpr const char* kWrite = "Запись...                ";
inline constexpr const char* kWriteOk = "OK";
inline constexpr const char* kVerify = "Сравнен...                 ";
inline constexpr const char* kVerifyOk = "Срав.ОК!";
inline constexpr const char* kMismatch = "%06x:Ошиб! (Файл=%02x,Устр=%02x)";
inline constexpr const char* kCheckSum = "Расчет...  ";
inline constexpr const char* kCheckSumResult = "Контрол.сумма  = %08x";
inline constexpr const char* kTest = "正在测试...                ";
inline constexpr const char* kTestWriteFailed = "Ош.зап!";
inline constexpr const char* kTestOk = "测试结果正确！";
inline constexpr const char* kTestShort = "地址或数据短路，坏器件!!! %08x!=%08x";
inline constexpr const char* kNoRow = "Нет типа %d в таблице!";
inline constexpr const char* kOutsideBuffer = "%06x: Вне буфера!";
} // namespace ram_text

// Byte-wide static RAMs and NV-RAM modules: read, write, verify, sum and a
// pattern test that finds stuck or shorted address and data lines. Every
// address goes out through the port latches, the data bus is port 2, and
// the strobes are single-pin driver changes (/CE on 26, /OE on 28 in every
// package).
class TDsRAM : public FamilyWindow {
public:
    struct VariantRecord {
        const char* name;
        int32_t AddressMask;
        uint32_t PageMask;
        uint32_t AddressHighMask;
        uint8_t VccPin;
        uint8_t WePin;
    };
    static const std::vector<VariantRecord>& Table();

    TDsRAM(ProgrammerLink& link, FamilyHost& host);

    void SelectChip(const ChipSelection& chip) override;
    void FillVariantTable() override {}
    int rowCount() const override { return static_cast<int>(Table().size()) - 1; }
    std::string rowName(int index) const override;
    int packageVccPin() const override;

    const VariantRecord& row() const { return Table().at(static_cast<size_t>(rowIndex_)); }

    // Port 0..4 values of an address (port 2, the data bus, is left as it is).
    static std::array<uint8_t, 5> AddressLatches(uint32_t address, uint32_t highMask);
    // The sum the pattern test expects over a chip of `size` bytes.
    static uint32_t PatternSum(uint32_t size);

    void SetAddress(uint32_t address);
    void ReadClick();
    void WriteClick();
    void VerifyClick();
    void CheckSumClick();
    void Button3Click();

    std::array<uint8_t, 5> PortLatchValues{};
    int ReadBusMode = 12;
    int WriteBusMode = 15;

private:
    bool rowChosen();
    void powerUp();
    int64_t rangeLength();
    // The 16-bit block sums of the whole chip, added; nullopt when the command ended.
    std::optional<uint32_t> chipSum();
    // One byte written at the current address, and at a 256-byte boundary read
    // back; false when the read-back differs (reply in readBack).
    bool writeByte(uint32_t address, uint8_t value, uint8_t& readBack);

    int rowIndex_ = 0;
};

} // namespace pontvex

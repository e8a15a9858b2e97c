#pragma once

#include "catalogue/FamilyWindow.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace pontvex {

namespace gal_text {
inline constexpr const char* kSelectOk = "OK ";
inline constexpr const char* kConnectionError = "Ош.соедн!";
inline constexpr const char* kRead = "Считывание...        ";
inline constexpr const char* kReadOk = "Счит.ОК!        ";
inline constexpr const char* kNoMapForWrite = "必须打开*.JED文件才能执行写操作！";
inline constexpr const char* kNoMapForAuto = "必须打开文件才能执行写操作！";
inline constexpr const char* kWrite = "Зпс..";
inline constexpr const char* kDone = "ОК! ";
inline constexpr const char* kBlank = "Провер...";
inline constexpr const char* kNotBlank = "Ошибка!  !!";
inline constexpr const char* kBlankOk = "Пр.ОК!";
inline constexpr const char* kVerify = "Выполняется сравнение..";
inline constexpr const char* kMismatch = "出错:%02x,%02x";
inline constexpr const char* kVerifyOk = "Сравн.ОК!";
inline constexpr const char* kArchitectureMismatch = "结构控制位出错!";
inline constexpr const char* kErase = "Стир...";
inline constexpr const char* kEraseOk = "Стир.ОК!";
inline constexpr const char* kAutoOk = "Авто ОК!";
inline constexpr const char* kNot22V10 = "22V10: окно PLD  22v10";
} // namespace gal_text

// Electrically erasable GAL16V8/GAL20V8 logic through their edit mode: six
// row-address lines, a serial data line with a clock and a strobe. The
// fuse map is the PLD view's, one '0'/'1' byte per fuse.
class TGALx : public FamilyWindow {
public:
    struct VariantRecord {
        const char* name;
        uint32_t VppMillivolts;
        int VppPin;
        int VccPin;
        uint8_t Type; // 1 = 16V8 signals, 2 = 20V8 signals, 3 = 22V10
        int32_t RowLength;
        int32_t RowBits;
    };
    static const std::vector<VariantRecord>& Table();

    static constexpr int kArchitectureRow = 60;
    static constexpr int kArchitectureBits = 82;
    static constexpr int kSecurityRow = 61;
    static constexpr int kEraseRow = 63;
    // Fuse of an architecture row bit, -1 for the product-term disable bits.
    static int ArchitectureFuse(int bit, int base);

    TGALx(ProgrammerLink& link, FamilyHost& host);

    void SelectChip(const ChipSelection& chip) override;
    void FillVariantTable() override {}
    int rowCount() const override { return static_cast<int>(Table().size()) - 1; }
    std::string rowName(int index) const override;
    int packageVccPin() const override;
    std::string connectionErrorText() const override { return gal_text::kConnectionError; }
    bool writeSourceExists() const override;

    const VariantRecord& row() const { return Table().at(static_cast<size_t>(rowIndex_)); }
    int base() const { return row().RowLength * row().RowBits; }
    // The chip's last fuse: 2193 (16V8), 2705 (20V8), 5891 (22V10).
    int fuseEnd() const;

    void ReadRom();
    void WriteClick();
    void BlankClick();
    void EraseClick();
    void VerifyClick();
    void SecrityClick();

    void PowerUpGal();
    void WriteRow(int address, const std::string& bits);

    // The bits of one row in shifting order.
    std::string RowBits;

private:
    struct RowRead {
        int address;
        int bits;
    };
    // Reads the rows in order, the set-up of the next row queued before the
    // bits of this one are taken, so the line never waits for a row's
    // replies. take(index, bits) returns false to stop (the replies still
    // owed are dropped). False when stopped.
    bool readRows(const std::vector<RowRead>& rows,
                  const std::function<bool(size_t, const std::string&)>& take);
    void queueRowRead(const RowRead& r);
    std::string collectRow(int bits);
    bool typeSupported();
    void powerOff();
    void fillMap(char fuse);
    void showMap();
    bool fuse(int n) const;

    int rowIndex_ = 0;
};

} // namespace pontvex

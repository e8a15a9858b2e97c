#pragma once

#include "families/flash/FlashWindow.h"

#include <vector>

namespace pontvex {

// A 28F001/002 row: the common fields, the boot Vpp pin, the blocks and the boot range.
struct Flash28BootRow {
    FlashRow base;
    uint8_t bootVppPin = 0;                            // 0: no boot Vpp route
    std::vector<std::pair<uint32_t, uint32_t>> blocks; // kilobytes, count
    uint32_t bootFirst = 0xFFFFFFFF, bootLast = 0xFFFFFFFF;

    bool inBoot(uint32_t a) const { return bootFirst != 0xFFFFFFFF && a >= bootFirst && a <= bootLast; }
};

// Boot-block parts with a status register (key "PI28F001").
class TPi28f001x : public FlashWindow {
public:
    using VariantRecord = Flash28BootRow;
    TPi28f001x(ProgrammerLink& link, FamilyHost& host);
    static const std::vector<VariantRecord>& Table();

    void WriteFlashCommand(uint32_t address, uint8_t value);
    // The status once ready or after 100 polls.
    uint8_t ReadStatus();

protected:
    int tableSize() const override { return static_cast<int>(Table().size()); }
    const FlashRow& rowAt(int index) const override { return Table().at(static_cast<size_t>(index)).base; }
    const Flash28BootRow& bootRow() const { return Table().at(static_cast<size_t>(chip().VariantIndex)); }
    void eraseSequence() override;
    void writeSequence(uint32_t chipStart, uint32_t bufferStart, uint32_t length) override;
    void unprotectSequence() override {}

private:
    // False when the status shows an error or the chip never got ready.
    bool blockErase(uint32_t address);
};

// Bulk-erase 28F256..28F040 (key "PI28F").
class TPi28fxxx : public FlashWindow {
public:
    using VariantRecord = FlashRow;
    TPi28fxxx(ProgrammerLink& link, FamilyHost& host);
    static const std::vector<VariantRecord>& Table();

protected:
    int tableSize() const override { return static_cast<int>(Table().size()); }
    const FlashRow& rowAt(int index) const override { return Table().at(static_cast<size_t>(index)); }
    void eraseSequence() override;
    bool blankAfterErase() const override { return true; }
    void writeSequence(uint32_t chipStart, uint32_t bufferStart, uint32_t length) override;
    void unprotectSequence() override {}
};

} // namespace pontvex

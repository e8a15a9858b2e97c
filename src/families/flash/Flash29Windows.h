#pragma once

#include "families/flash/FlashWindow.h"

#include <vector>

namespace pontvex {

// 29F256..29F040 and the boot-block 29F001..29F008 (key "P29F").
class TP29fxxx : public FlashWindow {
public:
    using VariantRecord = FlashRow;
    TP29fxxx(ProgrammerLink& link, FamilyHost& host);
    static const std::vector<VariantRecord>& Table();

protected:
    int tableSize() const override { return static_cast<int>(Table().size()); }
    const FlashRow& rowAt(int index) const override { return Table().at(static_cast<size_t>(index)); }
    const char* mismatchFormat() const override { return flash_text::kMismatchShort; }
    const char* writeBusyText() const override { return flash_text::kWriteShort; }
    void eraseSequence() override;
    bool blankAfterErase() const override { return true; }
    void writeSequence(uint32_t chipStart, uint32_t bufferStart, uint32_t length) override;
    void unprotectSequence() override;
};

// The windows of the MX29F and AT49F parts: a bounded erase checked on DQ7
// only, the unprotect with 12 V on OE and A9.
class Flash29Alike : public FlashWindow {
public:
    using FlashWindow::FlashWindow;

protected:
    virtual bool eraseAttemptMessage() const = 0;
    void eraseSequence() override;
    void writeSequence(uint32_t chipStart, uint32_t bufferStart, uint32_t length) override;
    void unprotectSequence() override;
};

// Mx29F010/020/040 and the boot-block rows (key "MX29F").
class TMx29fxxx1 : public Flash29Alike {
public:
    using VariantRecord = FlashRow;
    TMx29fxxx1(ProgrammerLink& link, FamilyHost& host);
    static const std::vector<VariantRecord>& Table();

protected:
    int tableSize() const override { return static_cast<int>(Table().size()); }
    const FlashRow& rowAt(int index) const override { return Table().at(static_cast<size_t>(index)); }
    bool eraseAttemptMessage() const override { return true; }
};

// AT49F010/020/040 (key "AT49F").
class TAt49fx : public Flash29Alike {
public:
    using VariantRecord = FlashRow;
    TAt49fx(ProgrammerLink& link, FamilyHost& host);
    static const std::vector<VariantRecord>& Table();

protected:
    int tableSize() const override { return static_cast<int>(Table().size()); }
    const FlashRow& rowAt(int index) const override { return Table().at(static_cast<size_t>(index)); }
    bool eraseAttemptMessage() const override { return false; }
};

} // namespace pontvex

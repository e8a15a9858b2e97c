#pragma once

#include "families/pic/PicSerialWindow.h"
#include "families/pic/PicTexts.h"

namespace pontvex {

// Flash and EEPROM PIC16C8x/16F8x/16F87x parts on their serial programming
// interface: program memory, data EEPROM erase, configuration word and IDs.
class TP16c8x : public PicSerialWindow {
public:
    TP16c8x(ProgrammerLink& link, FamilyHost& host);
    void FillVariantTable() override;

    void BlankClick()
    {
        command(pictext::kBlanking, [this] { blankBody(); });
    }
    void WriteClick();
    void VerifyClick()
    {
        command(pictext::kVerifying, [this] { verifyBody(); });
    }
    void ReadToFileClick()
    {
        command(pictext::kReading, [this] { readBody(); });
    }
    void EraseClick()
    {
        command(pictext::kErasing, [this] { eraseBody(); });
    }
    void RdConfigClick()
    {
        command("", [this] { readConfigBody(); });
    }
    void WtConfigClick()
    {
        command(pictext::kWritingConfig, [this] { writeConfigBody(); });
    }

protected:
    void blankBody() override;
    void writeBody() override;
    void verifyBody() override;
    void readBody() override;
    void eraseBody() override;
    void readConfigBody() override;
    void writeConfigBody() override;

private:
    void eraseProgramMemory();
    void eraseDataMemory();
    void ClearProtection();
    int speedIndex() const;
};

} // namespace pontvex

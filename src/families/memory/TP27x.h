#pragma once

#include "families/memory/EpromWindow.h"

namespace pontvex {

// UV-erasable 27-series EPROMs, 2716 to 27080 (key "P27").
class TP27x : public EpromWindow {
public:
    struct VariantRecord : EpromRow {
        uint8_t PulseFactor = 0;  // multiplier of the pulse parameter
        uint16_t ProgCommand = 0; // 140..144: the box's program-byte command for the package
        uint32_t VppMillivolts = 0;
        uint32_t ReadBack = 0; // 1: the byte the program command returns is compared
    };

    TP27x(ProgrammerLink& link, FamilyHost& host);

    void FillVariantTable() override {}
    const VariantRecord& variant() const;

    static const std::vector<VariantRecord>& Table();

protected:
    int tableSize() const override { return static_cast<int>(Table().size()); }
    const EpromRow& rowAt(int index) const override { return Table().at(static_cast<size_t>(index)); }
    WritePlan writePlan() const override;
};

} // namespace pontvex

#pragma once

#include "families/memory/EpromWindow.h"

namespace pontvex {

// Electrically erasable SST27SF parts (key "SST27SF").
class TP27sfx : public EpromWindow {
public:
    using VariantRecord = EpromRow;

    TP27sfx(ProgrammerLink& link, FamilyHost& host);

    void FillVariantTable() override {}
    static const std::vector<VariantRecord>& Table();

protected:
    int tableSize() const override { return static_cast<int>(Table().size()); }
    const EpromRow& rowAt(int index) const override { return Table().at(static_cast<size_t>(index)); }
    WritePlan writePlan() const override;
    bool groundsThroughSwitch() const override { return true; }
    void eraseSequence() override;
};

} // namespace pontvex

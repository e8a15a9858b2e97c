#pragma once

#include "families/memory/EpromWindow.h"

namespace pontvex {

// Electrically erasable W27E parts (key "PW27").
class TPW27x : public EpromWindow {
public:
    using VariantRecord = EpromRow;

    TPW27x(ProgrammerLink& link, FamilyHost& host);

    void FillVariantTable() override {}
    static const std::vector<VariantRecord>& Table();

protected:
    int tableSize() const override { return static_cast<int>(Table().size()); }
    const EpromRow& rowAt(int index) const override { return Table().at(static_cast<size_t>(index)); }
    WritePlan writePlan() const override;
    void eraseSequence() override;
};

} // namespace pontvex

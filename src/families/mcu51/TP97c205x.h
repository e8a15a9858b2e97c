#pragma once

#include "families/mcu51/TP2051x.h"

namespace pontvex {

// One-time-programmable 97C1051/97C2051: clocked by the box, the counter is
// stepped through P3.0, and the box completes each byte with command 167.
class TP97c205x : public TP2051x {
public:
    TP97c205x(ProgrammerLink& link, FamilyHost& host);
    void FillVariantTable() override;

protected:
    void PowerUp() override;
    void NextAddress() override;
    void writeBody() override;
    void verifyBody() override;
    void lockBody() override;
    bool checkSignature97();

    int steps_ = 0;
};

} // namespace pontvex

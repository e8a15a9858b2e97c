#include "families/memory/TP27sfx.h"

namespace pontvex {

namespace {
constexpr uint32_t K = 1024;
constexpr int kA9Pin = 30;
} // namespace

const std::vector<TP27sfx::VariantRecord>& TP27sfx::Table()
{
    static const std::vector<VariantRecord> table = {
        MakeEpromRow("???", 0, 0, 0, 0),
        MakeEpromRow("SST27SF256", 32 * K, 34, 7, 28),
        MakeEpromRow("SST27SF512", 64 * K, 34, 28, 0),
        MakeEpromRow("SST27SF010", 128 * K, 36, 5, 35),
        MakeEpromRow("SST27SF020", 256 * K, 36, 5, 35),
        MakeEpromRow("WSST27SF040", 512 * K, 36, 28, 28),
    };
    return table;
}

TP27sfx::TP27sfx(ProgrammerLink& link, FamilyHost& host) : EpromWindow("TP27sfx", link, host)
{
    declareControls(true);
}

EpromWindow::WritePlan TP27sfx::writePlan() const
{
    WritePlan plan;
    plan.pulseParameter = 1;
    plan.vppMillivolts = 12000;
    plan.command = row().PgmPin == 35 ? 140 : 141;
    plan.compareEveryByte = true;
    plan.groundAfterVcc = true;
    plan.checkSumAfter = true;
    return plan;
}

void TP27sfx::eraseSequence()
{
    const EpromRow& r = row();
    link.SetBusMode(WriteBusMode);
    SetEpromAddress(0);
    link.RouteVcc(r.VccPin);
    link.RouteGnd(20);
    link.LinkDelay(1000);
    link.FloatPin(26);
    link.FloatPin(28);
    link.FloatPin(kA9Pin);
    link.FloatPin(r.VppPin);
    link.SetVppVoltage(12000);
    link.RouteVpp(r.VppPin);
    link.RouteVpp(kA9Pin);
    // CE (and PGM of the 32-pin parts) low for 5000 byte times (477 ms).
    link.DrivePin(26);
    link.DrivePin(35);
    link.LinkDelay(5000);
    link.FloatPin(35);
    link.FloatPin(26);
    link.DrivePin(28);
    link.FloatPin(26);
    link.UnrouteVpp(kA9Pin);
    link.RouteVpp(0);
}

} // namespace pontvex

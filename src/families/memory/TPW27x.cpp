#include "families/memory/TPW27x.h"

namespace pontvex {

namespace {
constexpr uint32_t K = 1024;
// Pins A9 gets the erase voltage on.
constexpr int kA9Pin = 30;
} // namespace

const std::vector<TPW27x::VariantRecord>& TPW27x::Table()
{
    static const std::vector<VariantRecord> table = {
        MakeEpromRow("???", 0, 0, 0, 0),
        MakeEpromRow("W27e512 (64Kx8)", 64 * K, 34, 28, 0),
        MakeEpromRow("W27e010 (128Kx8)", 128 * K, 36, 5, 35),
        MakeEpromRow("W27e020 (256Kx8)", 256 * K, 36, 5, 35),
        MakeEpromRow("W27e040 (512Kx8)", 512 * K, 36, 5, 28),
        MakeEpromRow("W27e256  (32Kx8)", 32 * K, 34, 7, 28),
    };
    return table;
}

TPW27x::TPW27x(ProgrammerLink& link, FamilyHost& host) : EpromWindow("TPW27x", link, host)
{
    declareControls(true);
}

EpromWindow::WritePlan TPW27x::writePlan() const
{
    WritePlan plan;
    plan.pulseParameter = 1;
    plan.vppMillivolts = 12000;
    plan.command = row().PgmPin == 35 ? 140 : 141;
    plan.compareEveryByte = true;
    plan.checkSumAfter = true;
    return plan;
}

void TPW27x::eraseSequence()
{
    const EpromRow& r = row();
    link.SetBusMode(WriteBusMode);
    SetEpromAddress(0);
    link.RouteVcc(r.VccPin);
    link.LinkDelay(1000);
    link.DrivePin(26);
    link.FloatPin(28);
    link.FloatPin(kA9Pin);
    link.FloatPin(r.VppPin);
    link.SetVppVoltage(14000);
    link.RouteVpp(r.VppPin);
    link.RouteVpp(kA9Pin);
    // The erase strobe: 2000 byte times (191 ms) on the row's strobe pin. The
    // W27E512 has none; its CE, held low all along, times the erase.
    if (HasPin(r.PgmPin))
        link.DrivePin(r.PgmPin);
    link.LinkDelay(2000);
    if (HasPin(r.PgmPin))
        link.FloatPin(r.PgmPin);
    link.LinkDelay(2000);
    link.DrivePin(28);
    link.FloatPin(26);
    link.UnrouteVpp(kA9Pin);
    link.RouteVpp(0);
}

} // namespace pontvex

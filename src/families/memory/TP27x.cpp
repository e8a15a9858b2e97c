#include "families/memory/TP27x.h"

#include <algorithm>

namespace pontvex {

namespace {

constexpr uint32_t K = 1024;

TP27x::VariantRecord Row(const char* name, uint32_t size, uint8_t vcc, uint8_t vpp, uint8_t pgm,
                         uint8_t factor, uint16_t command, uint32_t millivolts, uint32_t readBack)
{
    TP27x::VariantRecord row;
    static_cast<EpromRow&>(row) = MakeEpromRow(name, size, vcc, vpp, pgm);
    row.PulseFactor = factor;
    row.ProgCommand = command;
    row.VppMillivolts = millivolts;
    row.ReadBack = readBack;
    return row;
}

} // namespace

const std::vector<TP27x::VariantRecord>& TP27x::Table()
{
    // The "12.7v" rows of the 2716, 2732 and 2764 program at 12.5 V; the label is only a name.
    static const std::vector<VariantRecord> table = {
        Row("???", 0, 0, 0, 0, 0, 0, 0, 0),
        Row("2716    12.7v", 2 * K, 32, 29, 255, 10, 144, 12500, 1),
        Row("2716    21v", 2 * K, 32, 29, 255, 10, 144, 21000, 1),
        Row("2716    25v", 2 * K, 32, 29, 255, 10, 144, 25000, 1),
        Row("2732    12.7v", 4 * K, 32, 28, 0, 10, 141, 12500, 1),
        Row("2732    21v", 4 * K, 32, 28, 0, 10, 141, 21000, 1),
        Row("2732    25v", 4 * K, 32, 28, 0, 10, 141, 25000, 1),
        Row("2764    12.7v", 8 * K, 34, 7, 33, 10, 142, 12500, 1),
        Row("2764    21v", 8 * K, 34, 7, 33, 10, 142, 21000, 1),
        Row("2764    25v", 8 * K, 34, 7, 33, 10, 142, 25000, 1),
        Row("27128   12.7v", 16 * K, 34, 7, 33, 10, 142, 12700, 1),
        Row("27128   21v", 16 * K, 34, 7, 33, 10, 142, 21000, 1),
        Row("27128   25v", 16 * K, 34, 7, 33, 10, 142, 25000, 1),
        Row("27c256   12.7v", 32 * K, 34, 7, 28, 1, 143, 12700, 1),
        Row("27c512   12.7v", 64 * K, 34, 28, 0, 1, 141, 12700, 1),
        Row("27c513   12.7v", 64 * K, 34, 28, 0, 1, 141, 12700, 1),
        Row("27010   12.7v", 128 * K, 36, 5, 35, 1, 140, 12700, 1),
        Row("27020   12.7v", 256 * K, 36, 5, 35, 1, 140, 12700, 1),
        Row("27040   12.7v", 512 * K, 36, 5, 28, 1, 143, 12700, 0),
        Row("27080   12.7v", 1024 * K, 36, 28, 0, 1, 141, 12700, 1),
        Row("ST27256   12.7v", 32 * K, 34, 7, 28, 244, 143, 12700, 1),
        Row("ST27512   12.7v", 64 * K, 34, 28, 0, 244, 141, 12700, 1),
    };
    return table;
}

TP27x::TP27x(ProgrammerLink& link, FamilyHost& host) : EpromWindow("TP27x", link, host)
{
    declareControls(false);
    addOption("SpeedGroup", "Скорость, мсек/байт", "speed",
              {"1 мсек/байт", "2 мсек/байт", "3 мсек/байт", "4 мсек/байт", "5 мсек/байт"}, 0);
    addOption("CheckGroup", "Алгоритм проверки", "check", {"Каждый байт", "Все сразу"}, 0);
}

const TP27x::VariantRecord& TP27x::variant() const
{
    return Table().at(static_cast<size_t>(currentRow()));
}

EpromWindow::WritePlan TP27x::writePlan() const
{
    const VariantRecord& v = variant();
    WritePlan plan;
    plan.pulseParameter = std::min(255, v.PulseFactor * (option("speed") + 1));
    plan.vppMillivolts = static_cast<int>(v.VppMillivolts);
    plan.command = static_cast<uint8_t>(v.ProgCommand);
    // "Все сразу" leaves every error to Verify; rows without read-back never compare.
    plan.compareEveryByte = option("check") == 0 && v.ReadBack == 1;
    return plan;
}

} // namespace pontvex

#include "families/mcu51/TP97c205x.h"

#include "core/Text.h"
#include "families/mcu51/Mcu51Texts.h"

namespace pontvex {

using namespace mcu51text;

namespace {
constexpr int kVppPin = 11;
constexpr int kProgPin = 16;
constexpr int kStepPin = 12;
} // namespace

TP97c205x::TP97c205x(ProgrammerLink& link, FamilyHost& host) : Mcu2051Window("TP97c205x", link, host, false)
{
    setCaption("P97C205x");
    pins_.vppMillivolts = 12500;
    // P3.4 high for the whole pass: command 167 programs each byte.
    using enum Lv;
    modes_ = withModes(modes_, {{"program", 0, {{16, H}, {17, L}, {18, H}, {19, H}, {21, H}}}});
    endOfWriteText_ = kDone15;
    verifyBusyText_ = kWriting2;
    verifySettle_ = 500;
    vppThroughPass_ = true;
    signatureCount_ = 2;
    FillVariantTable();
}

void TP97c205x::FillVariantTable()
{
    rows_ = {
        {"Exit", 0, 0, 1},
        {"1: 97C1051 (1k)", 0, 1023, 1},
        {"2: 97C2051 (2k)", 0, 2047, 1},
    };
}

void TP97c205x::PowerUp()
{
    link.SetBusMode(15);
    for (int k = 1; k <= 3; ++k)
        link.WriteLatch(k, 0);
    link.LinkDelay(100);
    for (int k = 1; k <= 3; ++k)
        link.WriteLatch(k, 0xFF);
    link.RouteGnd(20);
    link.RouteVcc(0);
    link.LinkDelay(100);
    link.RouteVcc(30);
    link.RouteClock(15);
    link.SetVppVoltage(pins_.vppMillivolts);
    H(kStepPin);
    L(kVppPin);
    link.LinkDelay(120);
    H(kVppPin);
    L(kStepPin);
    link.LinkDelay(120);
    steps_ = 0;
}

void TP97c205x::NextAddress()
{
    ++steps_;
    set(kStepPin, (steps_ & 1) ? Lv::H : Lv::L);
    CurrentAddress += 1;
}

bool TP97c205x::CheckSignature()
{
    PowerUp();
    link.SetBusMode(9);
    enterMode("signature");
    readSignature(2);
    const auto& sig = ChipSignature();
    const auto& want = chip_.ExpectedSignature;
    setMessage(format(kRS2, sig[0], sig[1], want[0], want[1]));
    link.RouteVcc(0);
    if (want[0] == 0 || (sig[0] == want[0] && sig[1] == want[1]))
        return true;
    const char* question = sig[0] == 0xFF && sig[1] == 0xFF ? kAskNoChipLong : kAskNoChip;
    if (prompt().askYesNo(question))
        return true;
    setOutcome(Outcome::Refused);
    return false;
}

void TP97c205x::ProgramByte(uint8_t b)
{
    PutData(b);
    // The box completes the byte and answers one byte the program does not use.
    link.SendByte(167);
    (void)link.ReceiveByte();
}

void TP97c205x::lockPulses()
{
    link.SetBusMode(15);
    for (int bit = 1; bit <= 2; ++bit) {
        link.WriteLatch(2, bit == 1 ? 0xFF : 0xF3);
        enterMode(bit == 1 ? "lock1" : "lock2");
        link.RouteVpp(kVppPin);
        for (int i = 0; i < 25; ++i) {
            L(kProgPin);
            link.LinkDelay(1);
            H(kProgPin);
        }
        link.RouteVpp(0);
    }
}

} // namespace pontvex

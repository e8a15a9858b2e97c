#include "families/mcu51/Mcu51Base.h"

#include "core/Text.h"
#include "families/mcu51/Mcu51Texts.h"

#include <algorithm>
#include <stdexcept>

namespace pontvex {

using namespace mcu51text;

Mcu51Base::Mcu51Base(std::string className, ProgrammerLink& link, FamilyHost& host)
    : FamilyWindow(std::move(className), link, host)
{
    setAddressDigits(4);
}

std::string Mcu51Base::rowName(int index) const
{
    if (index < 0 || index >= static_cast<int>(rows_.size()))
        return {};
    return rows_[static_cast<size_t>(index)].name;
}

const Mcu51Row* Mcu51Base::row() const
{
    const int index = chip_.VariantIndex;
    if (index < 1 || index > rowCount())
        return nullptr;
    return &rows_[static_cast<size_t>(index)];
}

PinModeTable withModes(PinModeTable base, const PinModeTable& more)
{
    for (const PinMode& mode : more) {
        auto same =
            std::find_if(base.begin(), base.end(), [&](const PinMode& m) { return m.name == mode.name; });
        if (same != base.end())
            *same = mode;
        else
            base.push_back(mode);
    }
    return base;
}

void Mcu51Base::set(int pin, Lv level)
{
    switch (level) {
    case Lv::L:
        L(pin);
        break;
    case Lv::H:
        H(pin);
        break;
    case Lv::Set:
        link.SetPin(pin, 1);
        break;
    }
}

void Mcu51Base::setPins(const std::vector<PinLevel>& pins)
{
    for (const PinLevel& p : pins)
        set(p.pin, p.level);
}

void Mcu51Base::enterMode(std::string_view name)
{
    auto mode = std::find_if(modes_.begin(), modes_.end(), [&](const PinMode& m) { return m.name == name; });
    if (mode == modes_.end())
        throw std::logic_error(className() + " has no pin mode " + std::string(name));
    if (mode->busMode != 0) {
        link.SetBusMode(mode->busMode);
        link.SetPin(18, 1);
        link.SetPin(19, 1);
    }
    setPins(mode->pins);
}

int Mcu51Base::speedIndex() const
{
    const int k = option("speed");
    return k < 0 ? 0 : k;
}

int Mcu51Base::lockIndex() const
{
    const int k = option("lock");
    return k < 0 ? 0 : k;
}

int64_t Mcu51Base::loopLast() const
{
    const Mcu51Row* r = row();
    if (!r)
        return -1;
    return std::min<int64_t>(r->lastAddress, host.endAddress());
}

bool Mcu51Base::ProbeChip()
{
    link.RouteGnd(pins_.gnd);
    link.RouteVcc(pins_.vcc);
    H(pins_.reset);
    L(pins_.reset);
    const bool present = link.OscillatorPresenceTest(pins_.clockOut, pins_.clockIn);
    // A refused probe stops Auto too; nothing was done to the chip.
    if (!present)
        setOutcome(Outcome::Refused);
    return present;
}

uint8_t Mcu51Base::ReadBus()
{
    link.SendByte(readBusCommand_);
    return link.ReceiveByte();
}

void Mcu51Base::PutData(uint8_t b)
{
    link.SendByte(putDataCommand_);
    link.SendByte(b);
}

bool Mcu51Base::needHexView()
{
    if (host.hexViewExists())
        return true;
    setOutcome(Outcome::Refused);
    prompt().showMessage(kNeedFile);
    return false;
}

ReadRange Mcu51Base::codeRange(int progressEvery, const char* failureFormat)
{
    ReadRange range;
    range.last = loopLast();
    range.unit.command = {readBusCommand_};
    range.setAddress = [this](uint32_t a) { SetAddress(a); };
    range.setAddressReads = true;
    range.next = [this] { NextAddress(); };
    range.progress.every = progressEvery;
    range.progress.atFailure = true;
    range.failureFormat = failureFormat;
    return range;
}

bool Mcu51Base::lockReadBack()
{
    for (int i = 0; i < 129; ++i)
        if (ReadBus() != 0xFF) {
            fail(kLockFail);
            return false;
        }
    succeed(kLockOk);
    return true;
}

void Mcu51Base::command(void (Mcu51Base::*body)())
{
    runCommand("", [this, body] {
        // No row chosen (a list entry past the table): nothing to work on.
        if (!row()) {
            fail(format("Нет типа %d в таблице!", chip_.VariantIndex));
            return;
        }
        (this->*body)();
    });
}

void Mcu51Base::declareControls(bool withErase)
{
    auto run = [this](void (Mcu51Base::*body)()) { return [this, body] { command(body); }; };
    declareStandardControls({{Role::Read, run(&Mcu51Base::readBody)},
                             {Role::Write, run(&Mcu51Base::writeBody)},
                             {Role::Blank, run(&Mcu51Base::blankBody)}});
    if (withErase)
        declareStandardControls({{Role::Erase, run(&Mcu51Base::eraseBody)}});
    declareStandardControls({{Role::Verify, run(&Mcu51Base::verifyBody)},
                             {Role::Lock, run(&Mcu51Base::lockBody)},
                             {Role::Id, run(&Mcu51Base::idBody)}});
    // The 8051 windows carry their read and ID buttons as Read1 (ReadRom) and ID (IDClick).
    ButtonControl* read = findButton(Role::Read);
    read->name = "Read1";
    read->handler = "ReadRom";
    ButtonControl* id = findButton(Role::Id);
    id->name = "ID";
    id->handler = "IDClick";
    if (withErase) {
        // Enabled when a chip that can be erased is chosen.
        findButton(Role::Erase)->enabled = false;
        declareAutoSteps({{Role::Erase, true, [this] {
                               // One-time parts have nothing to erase; the step is skipped, not failed.
                               const Mcu51Row* r = row();
                               if (r && r->otp != 0)
                                   return;
                               command(&Mcu51Base::eraseBody);
                           }}});
    }
    declareAutoSteps({{Role::Blank}, {Role::Write}, {Role::Verify}, {Role::Lock}});
    declareStandardControls({{Role::Auto, [this] { autoClick(); }}});
}

void Mcu51Base::autoClick()
{
    // Auto probes the socket once itself before the file check and its steps
    // (each of which probes again).
    runCommand("", [this] { ProbeChip(); });
    if (outcome() != Outcome::Ok)
        return;
    Button1Click();
}

void Mcu51Base::addLockGroup()
{
    addOption("RadioGroup1", kLockGroup, "lock", {kLockBit1, kLockBit12, kLockBit123}, 1);
}

void Mcu51Base::addSpeedGroup()
{
    addOption("RadioGroup2", kSpeedGroup, "speed", {kSpeed1, kSpeed2, kSpeed3}, 0);
}

} // namespace pontvex

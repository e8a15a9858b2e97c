#pragma once

#include "catalogue/FamilyWindow.h"
#include "catalogue/HeadlessHost.h"
#include "link/ProgrammerLink.h"
#include "support/TestTransports.h"

#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

namespace pontvex::test {

// A small memory family for frame tests: 16- or 256-byte chips on a 28-pin
// footprint, with Blank, Write, Verify and Read over ReadDataByte.
class TTestFamily : public FamilyWindow {
public:
    struct Row {
        const char* name;
        int64_t addressMask;
    };
    static constexpr Row kRows[] = {{"???", 0}, {"TEST16", 0x0F}, {"TEST256", 0xFF}};

    TTestFamily(ProgrammerLink& link, FamilyHost& host) : FamilyWindow("TTestFamily", link, host)
    {
        ++instances;
        addButton(Role::Read, "ReadButton", "ReadClick", "Считать", "read", [this] { ReadClick(); });
        addButton(Role::Blank, "Blank", "BlankClick", "Проверить", "blank", [this] { BlankClick(); });
        addButton(Role::Write, "Write", "WriteClick", "Записать", "write", [this] { WriteClick(); });
        addButton(Role::Verify, "Verify", "VerifyClick", "Сравнить", "verify", [this] { VerifyClick(); });
        addButton(Role::Erase, "Erase", "EraseClick", "Стереть", "erase", [this] { EraseClick(); }).enabled =
            false;
        addButton(Role::Id, "MFG", "MFGClick", "Код ИД", "id", [this] { MFGClick(); });
        addOption("RadioGroup1", "Скорость, мсек/байт", "speed",
                  {"1 мсек/байт", "2 мсек/байт", "3 мсек/байт", "4 мсек/байт", "5 мсек/байт"}, 0);
        addOption("RadioGroup2", "Алгоритм проверки", "check", {"Каждый байт", "Все сразу"}, 0);
        addAutoStep(Role::Blank, "CheckBox1", "Проверить", "blank", true, [this] { BlankClick(); });
        addAutoStep(Role::Write, "CheckBox2", "Записать", "write", true, [this] { WriteClick(); });
        addAutoStep(Role::Verify, "CheckBox3", "Сравнить", "verify", false, [this] { VerifyClick(); });
        addField(Role::BufferStart, "BufferStart", "Старт буф", "bufferStart", 0);
        addField(Role::ChipStart, "ChipStart", "Старт микр", "chipStart", 0);
        addField(Role::Length, "LastAddress", "Длина", "length", 0x200);
    }
    ~TTestFamily() override { --instances; }

    void FillVariantTable() override { ++tableFills; }
    int rowCount() const override { return 2; }
    std::string rowName(int index) const override { return kRows[index].name; }
    int64_t mask() const { return kRows[chip().VariantIndex].addressMask; }

    void SelectChip(const ChipSelection& selected) override
    {
        ++selections;
        chip_ = selected;
        link.ResetSocket();
        if (!link.Connected()) {
            setMessage("Ошб.соед!");
            return;
        }
        setMessage("OK ");
        host.fileNew();
        show();
        FillVariantTable();
        char text[32];
        std::snprintf(text, sizeof text, "0 to %llx", static_cast<unsigned long long>(mask()));
        setCaption(text);
        setChipNameText(selected.ChipName);
        host.setEndAddress(mask());
        host.showPage();
        link.SetVppVoltage(0);
        link.RouteGnd(20);
        link.InitSocket();
        setProgressMax(mask());
        setFieldValue(Role::Length, mask());
    }

    void BlankClick()
    {
        runCommand("Провер...", [this] {
            ran.push_back("blank");
            link.RouteVcc(34);
            for (int64_t a = 0; a <= mask(); ++a) {
                const uint8_t value = link.ReadDataByte();
                if (value != 0xFF) {
                    char text[64];
                    std::snprintf(text, sizeof text, "%06llx: Ошибка!  ", static_cast<unsigned long long>(a));
                    fail(text);
                    return;
                }
                if ((a & 3) == 3)
                    progress(a);
            }
            succeed("Прв.ОК");
            link.RouteVcc(0); // switches off by itself: the guard must add nothing
        });
    }

    void WriteClick()
    {
        runCommand("Запись...", [this] {
            ran.push_back("write");
            link.RouteVcc(34);
            link.SetVppVoltage(12500);
            link.RouteVpp(28);
            if (failWrite) {
                fail("000000:Ошиб! (Файл=00,Устр=ff)"); // supplies stay on: the guard's job
                return;
            }
            if (throwInWrite)
                throw std::runtime_error("fault");
            succeed("OK!");
        });
    }

    void VerifyClick()
    {
        runCommand("Сравнение...     ", [this] {
            ran.push_back("verify");
            link.RouteVcc(34);
            succeed("Срав.ОК!");
        });
    }

    void ReadClick()
    {
        runCommand("Счит...", [this] {
            ran.push_back("read");
            link.RouteVcc(34);
            for (int64_t a = 0; a <= mask(); ++a)
                buffer[static_cast<uint32_t>(a)] = link.ReadDataByte();
            succeed("Счт.ОК!");
            host.showPage();
        });
    }

    void EraseClick() { ran.push_back("erase"); }

    // A command that runs another one inside it: the inner frame must not switch off.
    void NestedClick()
    {
        runCommand("", [this] {
            link.RouteVcc(34);
            VerifyClick();
            innerLeftVccOn = link.shadows().vccRouteA != 0xFF;
        });
    }

    using FamilyWindow::runCommand;

    std::vector<std::string> ran;
    bool failWrite = false;
    bool throwInWrite = false;
    bool innerLeftVccOn = false;
    int selections = 0;
    int tableFills = 0;
    static inline int instances = 0;
};

} // namespace pontvex::test

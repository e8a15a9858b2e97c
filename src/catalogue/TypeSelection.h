#pragma once

#include "catalogue/FamilyRegistry.h"
#include "catalogue/FamilyWindow.h"
#include "core/Config.h"

#include <array>
#include <cstdint>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace pontvex {

// The type selection dialog without its widgets: the category, group and chip
// lists read from the device list, the choice that OK stores, the dispatcher
// that opens a family window, and the ID-code reader. The main window's
// category chooser, group chooser and chip list act through it and show what
// it holds in the main* fields. A GUI or the CLI reads the fields after each
// call (onChanged tells when) and forwards user actions to the handlers.
class TypeSelection {
public:
    // families: the windows it can open (a copy; setFactory changes only this one).
    TypeSelection(ProgrammerLink& link, FamilyHost& host, FamilyRegistry families);
    ~TypeSelection();
    TypeSelection(const TypeSelection&) = delete;
    TypeSelection& operator=(const TypeSelection&) = delete;

    // --- where the lists are --------------------------------------------------
    // ProgramDir: the working directory with a separator at the end. Lists not
    // found there are taken from dataDirs in order (the installed data folder).
    std::string programDir;
    std::vector<std::string> dataDirs;
    static std::vector<std::string> defaultDataDirs();
    // The list file for a hardware model: 97 devicea.lst, 98 device.lst, else devicec.lst.
    static const char* listFileName(int model);
    // Probes the hardware and opens its list; on failure the " " box "缺DEVICE.LST文件!".
    bool OpenDeviceList(std::ifstream& file);
    // The path OpenDeviceList opened last (empty before or after a failure).
    const std::string& listPath() const { return listPath_; }

    // --- dialog controls --------------------------------------------------------
    int categorySelection = -1;         // RadioGroup1, -1 for none
    std::vector<std::string> groupList; // ListBox1 (also the main window's ComboBox1 items)
    int groupSelection = -1;            // ListBox1
    std::vector<std::string> chipList;  // ListBox2 (also the main window's ListBox1)
    int chipSelection = -1;             // ListBox2
    std::string idField = "Код ID";     // Edit1
    bool dialogVisible = false;
    // Why OK did nothing, for the dialog's message line; empty otherwise.
    std::string statusMessage;

    // --- the main window's side ---------------------------------------------------
    int mainCategory = -1;     // ComboBox2
    std::string mainGroupText; // ComboBox1 text
    int mainChipSelection = -1;
    std::string typeLabel;   // Label2
    std::string statusGroup; // status bar panel 2
    std::string statusChip;  // status bar panel 3

    // --- fields -------------------------------------------------------------------
    std::string GroupName;
    std::string TypeTitle;
    std::string SectionPrefix;
    int categoryNumber = 0;
    int CategoryIndex = 0;
    int GroupIndex = 0;
    int ChipIndex = 0;
    std::array<uint8_t, 2> IdBytes{0, 0};
    ChipSelection chip; // AlgorithmKey, VariantIndex, ChipName, ExpectedSignature
    std::vector<std::string> ChipParamList;

    // --- handlers -------------------------------------------------------------------
    void Radio1OnClick();
    // The category radio group or the main window's category chooser (negative = 0).
    void chooseCategory(int index);
    // ListBox1: a key moved the selection (OnKeyUp) or the mouse chose it (OnMouseUp,
    // which also sets the main window's group chooser text).
    void groupKeyed(int index);
    void groupClicked(int index);
    // The main window's group chooser (negative = 0).
    void mainGroupChanged(int index);
    // A chip list entry chosen: ListBox2 double click, or the main window's chip list
    // (double click or Enter).
    void chipActivated(int index);
    void mainChipActivated(int index);
    void OKBtnClick();
    void DispatchAlgorithm();
    void ReadIdCode();
    void FillGroups();
    void FillChips();

    // Start-up: restore the saved choice, rebuild the lists, choose the restored chip
    // and open its family window.
    void restore(const SavedChoice& saved);
    // The chosen chip as the configuration keeps it: the last OK or the
    // restored choice, never what the dialog only browsed.
    SavedChoice saved() const;
    // The dialog was cancelled: the lists return to the chosen chip's category and group.
    void cancel();
    void startUp();

    // --- family windows ----------------------------------------------------------------
    const FamilyRegistry& families() const { return families_; }
    // Puts a factory on the row of key (a family under test); false for a key outside the table.
    bool setFactory(const std::string& key, FamilyFactory factory);
    // The window of a class, once created; null before.
    FamilyWindow* window(const std::string& windowClass) const;
    // The window the last dispatch showed; null before.
    FamilyWindow* currentWindow() const { return current_; }
    std::vector<FamilyWindow*> windows() const;
    // A family window was shown (created is true the first time); a GUI makes or raises its widget.
    std::function<void(FamilyWindow& window, bool created)> onWindowShown;
    // The lists, selections or labels changed.
    std::function<void()> onChanged;
    // More views of the same state (the type dialog's widget beside the main window).
    void addChangeListener(std::function<void()> listener) { listeners_.push_back(std::move(listener)); }

private:
    void changed();
    int selectedChipFor(const std::string& group) const;
    SavedChoice browsed() const;

    ProgrammerLink& link_;
    FamilyHost& host_;
    FamilyRegistry families_;
    std::map<std::string, std::unique_ptr<FamilyWindow>> windows_;
    FamilyWindow* current_ = nullptr;
    std::string listPath_;
    std::vector<std::function<void()>> listeners_;
    // The category and group of the last OK (or the restored ones): only there does
    // the chip list open at ChipIndex.
    int chosenCategory_ = -1;
    std::string chosenGroup_;
    std::optional<SavedChoice> chosen_;
};

} // namespace pontvex

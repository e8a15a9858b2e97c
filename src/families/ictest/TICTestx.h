#pragma once

#include "catalogue/FamilyWindow.h"
#include "iclib/LogicLibrary.h"
#include "iclib/LogicTypes.h"

#include <string>
#include <vector>

namespace pontvex {

// The logic IC tester: applies a type's library vectors to the chip in the
// socket and compares every pin, for one chosen type or for every type of a
// series. The vectors come from the series' library file.
class TICTestx : public FamilyWindow {
public:
    TICTestx(ProgrammerLink& link, FamilyHost& host);

    void SelectChip(const ChipSelection& chip) override;
    void FillVariantTable() override {}
    int rowCount() const override { return 0; }
    std::string rowName(int index) const override;
    // The variant is the series: 0 = 74, 1 = 40, 2 = 45.
    bool variantValid(int index) const override { return index >= 0 && index <= 2; }
    std::string connectionErrorText() const override { return "Ош соедн!"; }
    void OnClose() override;

    // Handlers.
    void Test1Click();
    void SearchClick();
    // Series change (the "Тип" group): loads that series' library.
    void Gr1OnClick();
    // A type chosen in the list.
    void LBox1OnClick(int index);
    void selectSeries(int series);

    // Where the library files are looked for, in order: the working
    // directory first, then the program's data folders.
    std::vector<std::string> libraryDirs;

    const iclib::LogicLibrary& library() const { return library_; }
    // The types the user picks from: the library's entries without the
    // dummy first and last two that the search skips.
    const std::vector<std::string>& typeNames() const { return typeNames_; }
    const std::vector<std::string>& found() const { return found_; }
    // The chosen type as an index into library().entries.
    int selectedEntry() const { return selected_; }
    const std::string& number() const { return chipNameText(); }
    // Vectors applied in the last run (repeats counted one by one).
    int vectorCounter() const { return counter_; }

private:
    std::string typeName(int number) const;
    bool runEntry(size_t k);
    // The chosen type when it is one whose supply pins the socket cannot feed.
    const iclib::UnfitType* unfitChosen() const;
    void showList();
    void followControls();
    // The first entry the list shows and how many it shows.
    size_t firstListed() const;
    size_t listedCount() const;

    iclib::LogicLibrary library_;
    std::vector<std::string> typeNames_;
    std::vector<std::string> found_;
    std::vector<iclib::UnfitType> unfit_;
    int loadedSeries_ = -1;
    int selected_ = 0;
    int counter_ = 0;
};

} // namespace pontvex

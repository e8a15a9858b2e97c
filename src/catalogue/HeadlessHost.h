#pragma once

#include "catalogue/FamilyWindow.h"
#include "core/UserPrompt.h"

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace pontvex {

// A user who answers from a script: each question takes the next scripted
// answer, or defaultAnswer when the script is used up. Everything shown is
// recorded in order, so tests and the CLI can see what the user would have seen.
class ScriptedPrompt : public UserPrompt {
public:
    bool askYesNo(const std::string& text) override;
    bool askYesCancel(const std::string& text) override;
    // Takes the next scripted value (nullopt: Cancel); when the script is used
    // up, the default when defaultAnswer is true, else Cancel.
    std::optional<std::string> askValue(const std::string& text, const std::string& defaultValue) override;
    void showMessage(const std::string& text) override;
    void showBox(const std::string& text) override;

    void answer(bool yes) { answers.push_back(yes); }
    void answerValue(std::optional<std::string> value) { values.push_back(std::move(value)); }

    std::deque<bool> answers;
    bool defaultAnswer = false;
    std::deque<std::optional<std::string>> values;
    std::vector<std::string> questions;      // askYesNo and askYesCancel texts
    std::vector<std::string> valueQuestions; // askValue texts
    std::vector<std::string> messages;       // showMessage texts
    std::vector<std::string> boxes;          // showBox texts
    // Called with every text shown or asked (the CLI prints them).
    std::function<void(const std::string& kind, const std::string& text)> echo;

private:
    bool next();
};

// The rest of the program as a family window sees it, without any window:
// a hex view that is only its end address, a PLD view that is only its
// geometry, a chip counter, and an ID reader that the owner plugs in (the
// type selection's ReadIdCode).
class HeadlessHost : public FamilyHost {
public:
    UserPrompt& prompt() override { return prompt_; }
    ScriptedPrompt& script() { return prompt_; }
    void fileNew() override;
    bool hexViewExists() const override { return hexView; }
    bool pldViewExists() const override { return pldView; }
    bool openPldView(int rowLength, int rowCount) override;
    std::string dataFileName() const override { return dataFile; }
    int64_t endAddress() const override { return endAddress_; }
    void setEndAddress(int64_t address) override { endAddress_ = address; }
    void showPage() override { ++pagesShown; }
    void countSuccess() override { ++successCount; }
    std::string readIdCode() override { return idReader ? idReader() : std::string(); }
    void familyChanged(FamilyWindow& family) override;

    // The two views exclude each other: setting one by hand clears nothing,
    // fileNew and openPldView keep them apart.
    bool hexView = false;
    bool pldView = false;
    int pldRowLength = 0, pldRowCount = 0;
    int pldMapsShown = 0;
    // No data file: side documents are neither read nor written.
    std::string dataFile;
    int fileNewCalls = 0;
    int pagesShown = 0;
    int successCount = 0;
    std::function<std::string()> idReader;
    // Called at every repaint point of a family (progress, message).
    std::function<void(FamilyWindow&)> onChanged;

private:
    ScriptedPrompt prompt_;
    int64_t endAddress_ = 0xFFFF;
};

} // namespace pontvex

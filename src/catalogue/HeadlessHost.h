#pragma once

#include "catalogue/FamilyWindow.h"
#include "core/UserPrompt.h"

#include <deque>
#include <functional>
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
    void showMessage(const std::string& text) override;
    void showBox(const std::string& text) override;

    void answer(bool yes) { answers.push_back(yes); }

    std::deque<bool> answers;
    bool defaultAnswer = false;
    std::vector<std::string> questions; // askYesNo and askYesCancel texts
    std::vector<std::string> messages;  // showMessage texts
    std::vector<std::string> boxes;     // showBox texts
    // Called with every text shown or asked (the CLI prints them).
    std::function<void(const std::string& kind, const std::string& text)> echo;

private:
    bool next();
};

// The rest of the program as a family window sees it, without any window:
// a hex view that is only its end address, a chip counter, and an ID reader
// that the owner plugs in (the type selection's ReadIdCode).
class HeadlessHost : public FamilyHost {
public:
    UserPrompt& prompt() override { return prompt_; }
    ScriptedPrompt& script() { return prompt_; }
    void fileNew() override;
    bool hexViewExists() const override { return hexView; }
    int64_t endAddress() const override { return endAddress_; }
    void setEndAddress(int64_t address) override { endAddress_ = address; }
    void showPage() override { ++pagesShown; }
    void countSuccess() override { ++successCount; }
    std::string readIdCode() override { return idReader ? idReader() : std::string(); }
    void familyChanged(FamilyWindow& family) override;

    bool hexView = false;
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

#pragma once

#include "core/UserPrompt.h"

#include <string>
#include <vector>

// Answers every question with a fixed reply and keeps every text shown.
class RecordingPrompt : public pontvex::UserPrompt {
public:
    bool answer = true;
    std::vector<std::string> shown;
    bool askYesNo(const std::string& text) override
    {
        shown.push_back(text);
        return answer;
    }
    bool askYesCancel(const std::string& text) override
    {
        shown.push_back(text);
        return answer;
    }
    void showMessage(const std::string& text) override { shown.push_back(text); }
    void showBox(const std::string& text) override { shown.push_back(text); }
};

#pragma once

#include "boxsim/Box.h"
#include "boxsim/SimTransport.h"
#include "boxsim/chips/Registry.h"
#include "boxsim/chips/TestChip.h"
#include "core/UserPrompt.h"
#include "link/ProgrammerLink.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace pontvex::boxsim::simtest {

class QuietPrompt : public UserPrompt {
public:
    bool askYesNo(const std::string& text) override
    {
        asked.push_back(text);
        return yes;
    }
    bool askYesCancel(const std::string& text) override
    {
        asked.push_back(text);
        return yes;
    }
    void showMessage(const std::string& text) override { messages.push_back(text); }
    void showBox(const std::string& text) override { messages.push_back(text); }
    bool yes = true;
    std::vector<std::string> asked;
    std::vector<std::string> messages;
};

// A box in process with the program's link attached to it, connected and
// brought to idle as at start-up.
struct SimBench {
    explicit SimBench(std::unique_ptr<ChipModel> chip = nullptr, LineOptions line = {})
        : box(std::make_shared<Box>())
    {
        if (chip) {
            box->insertChip(std::move(chip));
        }
        auto t = std::make_unique<SimTransport>(box, line);
        transport = t.get();
        link.setPrompt(&prompt);
        link.setSettingsPath("");
        link.AttachTransport(std::move(t), "SIM");
    }
    // Sends what the link has queued, so the box state can be inspected.
    Box& now()
    {
        link.Flush();
        return *box;
    }
    int level(int pin) { return now().pinLevel(pin); }
    template <class T> T& chipAs() { return *dynamic_cast<T*>(box->chip()); }

    QuietPrompt prompt;
    std::shared_ptr<Box> box;
    SimTransport* transport = nullptr;
    ProgrammerLink link;
};

inline std::unique_ptr<ChipModel> chip(const std::string& name)
{
    return makeChipModel(name);
}

} // namespace pontvex::boxsim::simtest

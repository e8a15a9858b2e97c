#pragma once

// The main window as main() builds it, for the window tests: a fresh working
// folder each test, boxes answered by a script, open and save dialogs that
// answer from a script. Boxsim comes before Qt (emit).
#include "boxsim/Box.h"

#include "app/ui/MainForm.h"
#include "app/ui/Program.h"
#include "families/Families.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

namespace pontvex::uitest {

inline QString u(const char* text)
{
    return QString::fromUtf8(text);
}

// Open and save dialogs that answer from a script; the format dialog takes OK
// unless cancelFormat is set.
class ScriptDialogs : public FileDialogs {
public:
    explicit ScriptDialogs(UserPrompt& prompt) : prompt_(prompt) {}
    std::optional<std::string> chooseFileToOpen(const std::string&, const std::string&,
                                                const std::string&) override
    {
        return openName.empty() ? std::nullopt : std::optional<std::string>(openName);
    }
    std::optional<std::string> chooseFileToSave(const std::string&) override
    {
        return saveName.empty() ? std::nullopt : std::optional<std::string>(saveName);
    }
    void showFormatDialog(FileFormatModel& model) override
    {
        if (cancelFormat)
            model.CancelBtnClick();
        else
            model.OKBtnClick(prompt_);
    }
    std::string openName, saveName;
    bool cancelFormat = false;

private:
    UserPrompt& prompt_;
};

class MainWindowFixture : public ::testing::Test {
protected:
    // folderPrefix names the test's working folder under the temporary one.
    explicit MainWindowFixture(const char* folderPrefix) : folderPrefix_(folderPrefix) {}

    void SetUp() override
    {
        dir = std::filesystem::temp_directory_path() /
              (folderPrefix_ + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        previous = std::filesystem::current_path();
        std::filesystem::current_path(dir);
        buffer.reset();
        QtPrompt::answerer = [this](QtPrompt::Kind, const std::string& text) {
            shown.push_back(text);
            return answer;
        };
    }
    void TearDown() override
    {
        main.reset();
        QtPrompt::answerer = nullptr;
        QtPrompt::choiceAnswerer = nullptr;
        std::filesystem::current_path(previous);
        std::filesystem::remove_all(dir);
        buffer.reset();
    }

    // Builds and shows the main window; beforeTypeSelection() runs just before
    // the first chip is chosen.
    void start()
    {
        main = std::make_unique<TMainForm>(link, buffer, families);
        link.setPrompt(&main->qtPrompt());
        main->createSystemWindow();
        auto scripted = std::make_unique<ScriptDialogs>(main->qtPrompt());
        dialogs = scripted.get();
        main->createDialogs(std::move(scripted));
        beforeTypeSelection();
        main->createTypeSelection();
        main->show();
    }
    virtual void beforeTypeSelection() {}

    // What main() owns in the program: the buffer, the link and the families.
    DeviceBuffer buffer;
    FamilyRegistry families = [] {
        FamilyRegistry registry;
        registerFamilies(registry);
        return registry;
    }();
    std::filesystem::path dir, previous;
    ProgrammerLink link; // offline unless a test attaches a box
    std::unique_ptr<TMainForm> main;
    ScriptDialogs* dialogs = nullptr;
    std::vector<std::string> shown; // every box's text
    bool answer = true;             // the answer to every box

private:
    std::string folderPrefix_;
};

} // namespace pontvex::uitest

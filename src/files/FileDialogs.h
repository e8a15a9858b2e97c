#pragma once

#include <optional>
#include <string>

namespace pontvex {

class FileFormatModel;

// The dialogs of the load and save commands. The GUI supplies the platform's
// file dialogs and TFileFormat; tests supply a script.
class FileDialogs {
public:
    virtual ~FileDialogs() = default;
    // The open dialog. filter holds "description|pattern" pairs joined by "|".
    // The chosen file, or nothing when the user cancels.
    virtual std::optional<std::string> chooseFileToOpen(const std::string& filter,
                                                        const std::string& defaultExt,
                                                        const std::string& initialDir) = 0;
    // The save dialog (no filter). The chosen name, or nothing when the user cancels.
    virtual std::optional<std::string> chooseFileToSave(const std::string& initialDir) = 0;
    // Shows the format dialog modally over model and returns when it closes;
    // OK and Cancel go through model.OKBtnClick and model.CancelBtnClick, so
    // model.format() is "" after Cancel.
    virtual void showFormatDialog(FileFormatModel& model) = 0;
};

} // namespace pontvex

#pragma once

#include "files/FileDialogs.h"

#include <QDialog>
#include <QPointer>

#include <array>

class QButtonGroup;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace pontvex {

class FileFormatModel;
class UserPrompt;

// The file format dialog: format, load mode and the two address fields.
// Made once by the main window and kept. It shows the FileFormatModel given
// to it (which must outlive it) and passes every user action to the model's
// handlers, so the selections stay in the model between uses. prompt tells
// the user of an address field that is no address. Usage:
//   TFileFormat dialog(commands.formatDialog(), prompt, mainWindow);
//   dialog.run(); // modal, centred on the screen; model.format() is "" after Cancel
class TFileFormat : public QDialog {
    Q_OBJECT
public:
    TFileFormat(FileFormatModel& model, UserPrompt& prompt, QWidget* parent = nullptr);

    // Copies the model into the controls, then shows the dialog modally.
    void run();
    // Copies the model into the controls (caption, selections, texts, enabled state).
    void loadFromModel();

    QGroupBox* RadioGroup1 = nullptr; // "Формат файла"
    QGroupBox* RadioGroup2 = nullptr; // "Режим загрузки"
    std::array<QRadioButton*, 5> formatButtons{};
    std::array<QRadioButton*, 8> modeButtons{};
    QLineEdit* Edit1 = nullptr; // start address
    QLineEdit* Edit2 = nullptr; // end address
    QPushButton* OKBtn = nullptr;
    QPushButton* CancelBtn = nullptr;

public slots:
    void reject() override; // Escape and the close box act as Cancel

private:
    void OnRadioClick(int index);
    void OnClick2(int mode);
    void OKBtnClick();
    void CancelBtnClick();
    void showEnabled();

    FileFormatModel& model_;
    UserPrompt& prompt_;
    QButtonGroup* formats_ = nullptr;
    QButtonGroup* modes_ = nullptr;
};

// The platform's open and save dialogs and TFileFormat (made on first use,
// then kept), for the main window's FileCommands.
class QtFileDialogs : public FileDialogs {
public:
    QtFileDialogs(UserPrompt& prompt, QWidget* parent);
    ~QtFileDialogs() override;

    std::optional<std::string> chooseFileToOpen(const std::string& filter, const std::string& defaultExt,
                                                const std::string& initialDir) override;
    std::optional<std::string> chooseFileToSave(const std::string& initialDir) override;
    void showFormatDialog(FileFormatModel& model) override;

    // "description|pattern|..." as a Qt name filter: "description (pattern);;...".
    static QString qtFilter(const std::string& filter);
    // The open and save dialogs' filters: those of filter, with "*.*" taking
    // files without an extension too and HEX taking ".ihx", then the
    // S-records and CDS.
    static QString dialogFilters(const std::string& filter);

private:
    UserPrompt& prompt_;
    QWidget* parent_;
    QPointer<TFileFormat> dialog_;
    FileFormatModel* dialogModel_ = nullptr;
};

} // namespace pontvex

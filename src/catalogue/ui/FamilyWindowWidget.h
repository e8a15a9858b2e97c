#pragma once

#include "catalogue/FamilyWindow.h"

#include <QWidget>

#include <vector>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace pontvex {

// The one window every chip family is shown in, built from the family's
// declaration: message line, red address field and progress bar, chip name,
// ID field, command buttons, option radio groups, the "Авто запись" group
// with its step check boxes and "Авто", the family's check boxes and value
// fields, and the address fields.
//
//   auto* widget = new FamilyWindowWidget(family);          // top level, or
//   mdiArea->addSubWindow(new FamilyWindowWidget(family));  // an MDI child
//
// Call refresh() whenever the family reports a change (FamilyHost::familyChanged);
// it only updates texts and states, so it is cheap enough for every progress step.
// Closing the widget (or its sub-window) runs the family's close(); a family that
// hides itself (Exit) hides the widget at the next refresh().
class FamilyWindowWidget : public QWidget {
    Q_OBJECT
public:
    explicit FamilyWindowWidget(FamilyWindow& family, QWidget* parent = nullptr);

    FamilyWindow& family() { return family_; }
    void refresh();

    // Controls by name, for tests.
    QLineEdit* messageLine() const { return message_; }
    QLineEdit* addressField() const { return address_; }
    QProgressBar* progressBar() const { return progress_; }
    QLineEdit* chipNameField() const { return chipName_; }
    QLineEdit* idField() const { return id_; }
    QPushButton* button(const QString& caption) const;
    QPushButton* autoButton() const { return autoButton_; }
    QCheckBox* autoStepBox(const QString& caption) const;
    QLineEdit* field(const QString& name) const;
    QCheckBox* flagBox(const QString& name) const;
    QLineEdit* valueField(const QString& name) const;
    QRadioButton* optionItem(const QString& group, int index) const;

signals:
    // A command started from this window returned (ran through, failed or stopped).
    void commandFinished();

protected:
    // Closing while a command runs stops it and closes once it has returned.
    void closeEvent(QCloseEvent* event) override;
    // Escape stops a running command.
    void keyPressEvent(QKeyEvent* event) override;

private:
    // (Re)creates the radio buttons of option group g from the family's items.
    void fillOption(size_t g);
    void finished();
    void fieldEdited(size_t index);
    void valueEdited(size_t index);
    QWidget* frame();

    FamilyWindow& family_;
    QLineEdit* message_ = nullptr;
    QLineEdit* address_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QLineEdit* chipName_ = nullptr;
    QLineEdit* id_ = nullptr;
    QPushButton* autoButton_ = nullptr;
    std::vector<QPushButton*> buttons_;
    std::vector<std::vector<QRadioButton*>> options_;
    std::vector<QGroupBox*> optionBoxes_;
    std::vector<QCheckBox*> steps_;
    std::vector<QLineEdit*> fields_;
    std::vector<QCheckBox*> flags_;
    std::vector<QLineEdit*> values_;
    bool refreshing_ = false;
    bool closeWhenStopped_ = false;
};

} // namespace pontvex

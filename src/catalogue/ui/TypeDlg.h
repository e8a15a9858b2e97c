#pragma once

#include "catalogue/TypeSelection.h"

#include <QDialog>

class QButtonGroup;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;

namespace pontvex {

// The type selection dialog: category radio group, group list, chip list,
// "Выбрать" and the ID-code reader, all acting on one TypeSelection.
//
//   auto* dialog = new TTypeDlg(*mainForm->typeSelection(), mainForm);
//   dialog->showCentred();   // "Выбор": show without blocking the main window
//
// The dialog repaints itself whenever the selection changes (it registers a
// change listener) and hides itself when OK has chosen a chip. It must not
// outlive the TypeSelection.
class TTypeDlg : public QDialog {
    Q_OBJECT
public:
    explicit TTypeDlg(TypeSelection& selection, QWidget* parent = nullptr);

    // Shows the dialog centred on the screen, modeless, and brings it to the front.
    void showCentred();
    // Repaints every control from the selection's state.
    void refresh();

    // Controls, named as the form names them (tests and screenshots reach them here).
    QList<QRadioButton*> RadioGroup1;
    QListWidget* ListBox1 = nullptr; // groups
    QListWidget* ListBox2 = nullptr; // chips
    QPushButton* OKBtn = nullptr;
    QLineEdit* Edit1 = nullptr;
    QPushButton* MFR = nullptr;
    QLabel* Message = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

public:
    // Escape and the close button: the chosen chip stays chosen.
    void reject() override;

private:
    void Radio1OnClick(int index);
    void OKBtnClick();

    TypeSelection& selection_;
    QButtonGroup* radioGroup_ = nullptr;
    bool refreshing_ = false;
};

} // namespace pontvex

#pragma once

#include "hexview/BufferEditing.h"

#include <QDialog>

#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;

namespace pontvex {

// The fill dialog "Ввод данных": fills a range of the buffer with a byte, or
// in size mode only sets the last address. Shown without blocking.
class TInputHexDlg : public QDialog {
    Q_OBJECT
public:
    // hexView gives the current hex view's page (null without one).
    TInputHexDlg(std::function<HexPage*()> hexView, UserPrompt& prompt, QWidget* parent = nullptr);

    void showMode(FillMode mode);
    FillMode mode() const { return mode_; }

    QLineEdit* Edit1 = nullptr; // Старт:
    QLineEdit* Edit2 = nullptr; // Конец:
    QLineEdit* Edit3 = nullptr; // Данные:
    QPushButton* OKBtn = nullptr;
    QPushButton* CancelBtn = nullptr;

    void OKBtnClick();
    void CancelBtnClick() { hide(); }

signals:
    // After a fill or size change was applied (the main window redraws).
    void applied();

private:
    std::function<HexPage*()> hexView_;
    UserPrompt& prompt_;
    FillMode mode_ = FillMode::Fill;
    QLabel* startLabel_ = nullptr;
    QLabel* dataLabel_ = nullptr;
};

} // namespace pontvex

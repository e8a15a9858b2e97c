#include "app/ui/InputHexDlg.h"

#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

namespace pontvex {

TInputHexDlg::TInputHexDlg(std::function<HexPage*()> hexView, UserPrompt& prompt, QWidget* parent)
    : QDialog(parent), hexView_(std::move(hexView)), prompt_(prompt)
{
    setObjectName("InputHexDlg");
    setWindowTitle(QString::fromUtf8("Ввод данных"));
    setModal(false);

    Edit1 = new QLineEdit("0000");
    Edit1->setObjectName("Edit1");
    Edit2 = new QLineEdit("ffff");
    Edit2->setObjectName("Edit2");
    Edit3 = new QLineEdit("ff");
    Edit3->setObjectName("Edit3");
    startLabel_ = new QLabel(QString::fromUtf8("Старт:"));
    dataLabel_ = new QLabel(QString::fromUtf8("Данные:"));

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel("(HEX)"), 0, 1);
    grid->addWidget(startLabel_, 1, 0);
    grid->addWidget(Edit1, 1, 1);
    grid->addWidget(new QLabel(QString::fromUtf8("Конец:")), 2, 0);
    grid->addWidget(Edit2, 2, 1);
    grid->addWidget(dataLabel_, 3, 0);
    grid->addWidget(Edit3, 3, 1);

    OKBtn = new QPushButton(QString::fromUtf8("Да"));
    OKBtn->setObjectName("OKBtn");
    OKBtn->setDefault(true);
    CancelBtn = new QPushButton(QString::fromUtf8("Выход"));
    CancelBtn->setObjectName("CancelBtn");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(OKBtn);
    buttons->addWidget(CancelBtn);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);

    connect(OKBtn, &QPushButton::clicked, this, &TInputHexDlg::OKBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &TInputHexDlg::CancelBtnClick);
}

void TInputHexDlg::showMode(FillMode mode)
{
    mode_ = mode;
    const bool fill = mode == FillMode::Fill;
    Edit1->setEnabled(fill);
    Edit3->setEnabled(fill);
    startLabel_->setEnabled(fill);
    dataLabel_->setEnabled(fill);
    adjustSize();
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
    show();
    raise();
    activateWindow();
}

void TInputHexDlg::OKBtnClick()
{
    FillFields fields{Edit1->text().toStdString(), Edit2->text().toStdString(), Edit3->text().toStdString()};
    if (applyFill(hexView_ ? hexView_() : nullptr, mode_, fields, prompt_)) {
        emit applied();
        hide();
    }
}

} // namespace pontvex

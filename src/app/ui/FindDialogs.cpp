#include "app/ui/FindDialogs.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace pontvex {

namespace {

QPushButton* button(const char* text, const char* name)
{
    auto* b = new QPushButton(QString::fromUtf8(text));
    b->setObjectName(name);
    return b;
}

} // namespace

FindDialog::FindDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName("FindDialog");
    setWindowTitle(QString::fromUtf8("Найти"));
    setModal(false);
    FindEdit = new QLineEdit;
    FindEdit->setObjectName("FindEdit");
    FindNextBtn = button("Найти далее", "FindNextBtn");
    FindNextBtn->setDefault(true);
    QPushButton* cancel = button("Отмена", "CancelBtn");

    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QString::fromUtf8("Образец:")), 0, 0);
    grid->addWidget(FindEdit, 0, 1);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(FindNextBtn);
    buttons->addWidget(cancel);
    buttons->addStretch(1);
    grid->addLayout(buttons, 0, 2, 2, 1);

    connect(FindNextBtn, &QPushButton::clicked, this, &FindDialog::findNext);
    connect(cancel, &QPushButton::clicked, this, &QDialog::hide);
}

QString FindDialog::findText() const
{
    return FindEdit->text();
}

ReplaceDialog::ReplaceDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName("ReplaceDialog");
    setWindowTitle(QString::fromUtf8("Заменить"));
    setModal(false);
    FindEdit = new QLineEdit;
    FindEdit->setObjectName("FindEdit");
    ReplaceEdit = new QLineEdit;
    ReplaceEdit->setObjectName("ReplaceEdit");
    FindNextBtn = button("Найти далее", "FindNextBtn");
    FindNextBtn->setDefault(true);
    ReplaceBtn = button("Заменить", "ReplaceBtn");
    QPushButton* cancel = button("Отмена", "CancelBtn");

    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QString::fromUtf8("Образец:")), 0, 0);
    grid->addWidget(FindEdit, 0, 1);
    grid->addWidget(new QLabel(QString::fromUtf8("Заменить на:")), 1, 0);
    grid->addWidget(ReplaceEdit, 1, 1);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(FindNextBtn);
    buttons->addWidget(ReplaceBtn);
    buttons->addWidget(cancel);
    buttons->addStretch(1);
    grid->addLayout(buttons, 0, 2, 3, 1);

    connect(FindNextBtn, &QPushButton::clicked, this, &ReplaceDialog::findNext);
    connect(ReplaceBtn, &QPushButton::clicked, this, &ReplaceDialog::replace);
    connect(cancel, &QPushButton::clicked, this, &QDialog::hide);
}

QString ReplaceDialog::findText() const
{
    return FindEdit->text();
}
QString ReplaceDialog::replaceText() const
{
    return ReplaceEdit->text();
}

} // namespace pontvex

#include "app/ui/QtPrompt.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

namespace pontvex {

std::function<bool(QtPrompt::Kind, const std::string&)> QtPrompt::answerer;
std::function<std::optional<std::string>(const std::string&, const std::string&)> QtPrompt::valueAnswerer;

namespace {

QString plainCaption()
{
    return QApplication::applicationDisplayName();
}

// A window that is not shown yet would put the box at its corner: centre on the screen then.
QWidget* shownOrNull(QWidget* parent)
{
    return parent && parent->isVisible() ? parent : nullptr;
}

bool ask(QWidget* parent, const std::string& text, bool cancel)
{
    QMessageBox box(QMessageBox::Question, plainCaption(), QString::fromStdString(text),
                    QMessageBox::NoButton, parent);
    QPushButton* yes = box.addButton(QString::fromUtf8("Да"), QMessageBox::YesRole);
    QPushButton* no = cancel ? box.addButton(QString::fromUtf8("Отмена"), QMessageBox::RejectRole)
                             : box.addButton(QString::fromUtf8("Нет"), QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.setWindowFlag(Qt::WindowStaysOnTopHint); // above the start-up window
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

void tell(QWidget* parent, const QString& caption, const std::string& text)
{
    QMessageBox box(QMessageBox::NoIcon, caption, QString::fromStdString(text), QMessageBox::Ok, parent);
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    box.exec();
}

} // namespace

std::function<QtPrompt::Answer(const std::string&)> QtPrompt::choiceAnswerer;

QtPrompt::Answer QtPrompt::askYesNoCancel(const std::string& text)
{
    if (choiceAnswerer)
        return choiceAnswerer(text);
    if (answerer)
        return answerer(Kind::YesNoCancel, text) ? Answer::Yes : Answer::No;
    QMessageBox box(QMessageBox::Question, plainCaption(), QString::fromStdString(text),
                    QMessageBox::NoButton, parent_);
    QPushButton* yes = box.addButton(QString::fromUtf8("Да"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QString::fromUtf8("Нет"), QMessageBox::NoRole);
    QPushButton* cancel = box.addButton(QString::fromUtf8("Отмена"), QMessageBox::RejectRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == yes)
        return Answer::Yes;
    return box.clickedButton() == no ? Answer::No : Answer::Cancel;
}

bool QtPrompt::askYesNo(const std::string& text)
{
    if (answerer)
        return answerer(Kind::YesNo, text);
    return ask(shownOrNull(parent_), text, false);
}

bool QtPrompt::askYesCancel(const std::string& text)
{
    if (answerer)
        return answerer(Kind::YesCancel, text);
    return ask(shownOrNull(parent_), text, true);
}

std::optional<std::string> QtPrompt::askValue(const std::string& text, const std::string& defaultValue)
{
    if (valueAnswerer)
        return valueAnswerer(text, defaultValue);
    if (answerer)
        return answerer(Kind::Value, text) ? std::optional<std::string>(defaultValue) : std::nullopt;
    QInputDialog dialog(shownOrNull(parent_));
    dialog.setWindowTitle(plainCaption());
    dialog.setLabelText(QString::fromStdString(text));
    dialog.setTextValue(QString::fromStdString(defaultValue));
    dialog.setOkButtonText(QString::fromUtf8("OK"));
    dialog.setCancelButtonText(QString::fromUtf8("Отмена"));
    dialog.setWindowFlag(Qt::WindowStaysOnTopHint);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.textValue().toStdString();
}

void QtPrompt::showMessage(const std::string& text)
{
    if (answerer) {
        answerer(Kind::Message, text);
        return;
    }
    tell(shownOrNull(parent_), plainCaption(), text);
}

void QtPrompt::showBox(const std::string& text)
{
    if (answerer) {
        answerer(Kind::Box, text);
        return;
    }
    tell(shownOrNull(parent_), " ", text);
}

} // namespace pontvex

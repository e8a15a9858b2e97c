#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;

namespace pontvex {

// Find dialog: no direction, whole-word or match-case choices (the search
// is always case-sensitive on the shown page).
class FindDialog : public QDialog {
    Q_OBJECT
public:
    explicit FindDialog(QWidget* parent = nullptr);
    QString findText() const;
    QLineEdit* FindEdit = nullptr;
    QPushButton* FindNextBtn = nullptr;

signals:
    void findNext();
};

// Replace dialog: find-next and replace buttons.
class ReplaceDialog : public QDialog {
    Q_OBJECT
public:
    explicit ReplaceDialog(QWidget* parent = nullptr);
    QString findText() const;
    QString replaceText() const;
    QLineEdit* FindEdit = nullptr;
    QLineEdit* ReplaceEdit = nullptr;
    QPushButton* FindNextBtn = nullptr;
    QPushButton* ReplaceBtn = nullptr;

signals:
    void findNext();
    void replace();
};

} // namespace pontvex

#pragma once

#include "link/ProgrammerLink.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace pontvex {

// The system parameters window "Параметры системы": the link's status field
// and three checks (operating system version, port test, ten-second test).
// It lives for the whole run; closing it only hides it.
class TEp3 : public QDialog {
    Q_OBJECT
public:
    explicit TEp3(ProgrammerLink& link, QWidget* parent = nullptr);

    QPushButton* Button1 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QPushButton* Button2 = nullptr;
    QLineEdit* Edit2 = nullptr;
    QPushButton* Button4 = nullptr;
    QLineEdit* Edit4 = nullptr;
    QPushButton* Button5 = nullptr;
    // The round trip measured at connection and, when it is slow, how to
    // lower it.
    QLineEdit* RoundTripEdit = nullptr;
    QLabel* RoundTripHint = nullptr;

    void Button1Click();
    void Button2Click();
    void Button4Click();
    void Button5Click();

    // Shows the link's connection result in the status field, and its round trip.
    void refreshStatus();

    // The operating system version as "%d.%d.%d.%d.%s": major, minor, build,
    // platform id and the release text.
    static QString osVersionText();

private:
    void repaintNow(QWidget* widget);

    ProgrammerLink& link_;
};

} // namespace pontvex

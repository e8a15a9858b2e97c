#include "link/ui/Ep3.h"

#include "link/LinkSpeed.h"

#include <QCoreApplication>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QOperatingSystemVersion>
#include <QPushButton>
#include <QRegularExpression>
#include <QSysInfo>

#include <algorithm>

namespace pontvex {

namespace {

QPushButton* button(const char* text, const char* name)
{
    auto* b = new QPushButton(QString::fromUtf8(text));
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
}

QLineEdit* field(const char* name)
{
    auto* edit = new QLineEdit;
    edit->setObjectName(name);
    edit->setReadOnly(true);
    edit->setMinimumWidth(190);
    return edit;
}

} // namespace

TEp3::TEp3(ProgrammerLink& link, QWidget* parent) : QDialog(parent), link_(link)
{
    setObjectName("Ep3");
    setWindowTitle(QString::fromUtf8("Параметры системы"));
    setModal(false);

    Button1 = button("Версия Windows", "Button1");
    Edit1 = field("Edit1");
    Button2 = button("Тест порта", "Button2");
    Edit2 = field("Edit2");
    Button4 = button("Проверка 10с", "Button4");
    Edit4 = field("Edit4");
    Edit4->setText(QString::fromUtf8("Ош."));
    QPalette palette = Edit4->palette();
    palette.setColor(QPalette::Text, QColor(0x80, 0x00, 0x00));
    Edit4->setPalette(palette);
    Button5 = button("SN:", "Button5");
    Button5->hide();
    RoundTripEdit = field("RoundTripEdit");
    RoundTripEdit->hide();
    RoundTripHint = new QLabel;
    RoundTripHint->setObjectName("RoundTripHint");
    RoundTripHint->setWordWrap(true);
    RoundTripHint->setMaximumWidth(400);
    RoundTripHint->setTextInteractionFlags(Qt::TextSelectableByMouse);
    RoundTripHint->hide();

    auto* grid = new QGridLayout(this);
    grid->addWidget(Button1, 0, 0);
    grid->addWidget(Edit1, 0, 1);
    grid->addWidget(Button2, 1, 0);
    grid->addWidget(Edit2, 1, 1);
    grid->addWidget(Button4, 2, 0);
    grid->addWidget(Edit4, 2, 1);
    grid->addWidget(Button5, 3, 0);
    grid->addWidget(RoundTripEdit, 4, 0, 1, 2);
    grid->addWidget(RoundTripHint, 5, 0, 1, 2);
    grid->setSizeConstraint(QLayout::SetFixedSize);

    connect(Button1, &QPushButton::clicked, this, &TEp3::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TEp3::Button2Click);
    connect(Button4, &QPushButton::clicked, this, &TEp3::Button4Click);
    connect(Button5, &QPushButton::clicked, this, &TEp3::Button5Click);
}

QString TEp3::osVersionText()
{
    // The kernel release gives the three numbers ("6.1.0-18-amd64" -> 6, 1, 0);
    // the platform id is the operating system type; the text names the release.
    int numbers[3] = {0, 0, 0};
    const QRegularExpressionMatch match =
        QRegularExpression(R"(^(\d+)(?:\.(\d+))?(?:\.(\d+))?)").match(QSysInfo::kernelVersion());
    for (int i = 0; i < 3 && match.hasMatch(); ++i)
        numbers[i] = match.captured(i + 1).toInt();
    const auto platform = static_cast<int>(QOperatingSystemVersion::currentType());
    return QString::asprintf("%d.%d.%d.%d.%s", numbers[0], numbers[1], numbers[2], platform,
                             QSysInfo::prettyProductName().toUtf8().constData());
}

void TEp3::repaintNow(QWidget* widget)
{
    widget->repaint();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TEp3::refreshStatus()
{
    if (!link_.StatusText().empty())
        Edit4->setText(QString::fromStdString(link_.StatusText()));
    const std::string roundTrip = link_.Connected() ? RoundTripText(link_.RoundTripMs()) : std::string();
    RoundTripEdit->setText(QString::fromStdString(roundTrip));
    RoundTripEdit->setVisible(!roundTrip.empty());
    const std::string advice =
        link_.Connected() ? RoundTripAdvice(link_.RoundTripMs(), link_.PortName()) : std::string();
    RoundTripHint->setText(QString::fromStdString(advice));
    RoundTripHint->setVisible(!advice.empty());
}

void TEp3::Button1Click()
{
    // The whole text, from its start: the field grows to the text it shows.
    Edit1->setText(osVersionText());
    Edit1->setMinimumWidth(std::max(190, Edit1->fontMetrics().horizontalAdvance(Edit1->text()) + 16));
    Edit1->setCursorPosition(0);
}

void TEp3::Button2Click()
{
    bool passed = true;
    try {
        for (int round = 0; round <= 100 && passed; ++round) {
            Edit2->setText(QString::number(round));
            repaintNow(Edit2);
            passed = link_.PinLoopTest();
        }
    } catch (const LinkLost&) {
        passed = false; // the link has told the user already
    }
    Edit4->setText(QString::fromUtf8(passed ? "Готово! " : "Нет устройства"));
}

void TEp3::Button4Click()
{
    if (!link_.Connected()) {
        // Offline nothing is sent, so a count would measure nothing.
        Edit4->setText(QString::fromUtf8("Нет устройства!  "));
        return;
    }
    try {
        for (int i = 1; i <= 10; ++i) {
            Edit4->setText(QString::number(i));
            repaintNow(Edit4);
            link_.LinkDelay(10000);
            link_.Flush();
        }
    } catch (const LinkLost&) {
        Edit4->setText(QString::fromUtf8("Нет устройства!  "));
    }
}

void TEp3::Button5Click()
{
    std::string text;
    try {
        link_.SendByte(184);
        for (int i = 0; i < 16; ++i)
            text += static_cast<char>(link_.ReceiveByte());
    } catch (const LinkLost&) {
        return;
    }
    QMessageBox::information(this, windowTitle(),
                             QString::fromLatin1(text.data(), static_cast<int>(text.size())));
}

} // namespace pontvex

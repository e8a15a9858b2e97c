#include "app/ui/StartupWindow.h"

#include <QApplication>
#include <QLabel>
#include <QScreen>
#include <QThread>
#include <QVBoxLayout>

namespace pontvex {

StartupWindow::StartupWindow(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName("StartupWindow");
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, QColor(0xF0, 0xF0, 0xE8));
    setPalette(palette);

    auto* title = new QLabel("PONTVEX");
    title->setObjectName("Title");
    QFont big = title->font();
    big.setPointSize(48);
    big.setItalic(true);
    big.setBold(true);
    title->setFont(big);
    title->setStyleSheet("color: #d00000;");
    title->setAlignment(Qt::AlignCenter);

    auto* subtitle = new QLabel(QString::fromUtf8("Универсальный программатор"));
    QFont middle = subtitle->font();
    middle.setPointSize(16);
    subtitle->setFont(middle);
    subtitle->setAlignment(Qt::AlignCenter);

    auto* wait = new QLabel(QString::fromUtf8("Подождите от 1 до 30 секунд для установления соединения"));
    wait->setAlignment(Qt::AlignCenter);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(40, 30, 40, 30);
    layout->setSpacing(14);
    layout->addWidget(title);
    layout->addWidget(subtitle);
    layout->addWidget(wait);
    probe_ = new QLabel;
    probe_->setObjectName("Probe");
    probe_->setAlignment(Qt::AlignCenter);
    layout->addWidget(probe_);
}

void StartupWindow::showProbe(const std::string& port)
{
    probe_->setText(QString::fromUtf8("Поиск программатора: ") + QString::fromStdString(port));
    probe_->repaint();
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

QString StartupWindow::probeText() const
{
    return probe_->text();
}

void StartupWindow::showNow()
{
    adjustSize();
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
    show();
    raise();
    QApplication::processEvents();
    QThread::msleep(1);
}

} // namespace pontvex

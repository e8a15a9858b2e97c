#include "families/ramtest/ui/TestKelmWidget.h"

#include <QCoreApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace pontvex {

namespace {

QString q(const std::string& text)
{
    return QString::fromStdString(text);
}

} // namespace

TestKelmWidget::TestKelmWidget(TTestKelm1& window, QWidget* parent)
    : QWidget(parent, Qt::Window), window_(window)
{
    setObjectName("TestKelm1");
    setWindowTitle(q(window.caption()));
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    int i = 0;
    for (const TTestKelm1::Button& b : window.buttons()) {
        auto* button = new QPushButton(q(b.caption), this);
        button->setObjectName(q(b.name));
        const std::string name = b.name;
        connect(button, &QPushButton::clicked, this, [this, name] {
            window_.press(name);
            refresh();
        });
        grid->addWidget(button, i / 7, i % 7);
        ++i;
    }
    layout->addLayout(grid);
    auto* radios = new QHBoxLayout;
    for (TTestKelm1::Radio& r : window.radios()) {
        auto* group = new QGroupBox(q(r.caption), this);
        group->setObjectName(q(r.name));
        auto* row = new QHBoxLayout(group);
        for (size_t k = 0; k < r.items.size(); ++k) {
            auto* radio = new QRadioButton(q(r.items[k]), group);
            radio->setChecked(static_cast<int>(k) == r.selected);
            const std::string name = r.name;
            const int index = static_cast<int>(k);
            connect(radio, &QRadioButton::toggled, this, [this, name, index](bool on) {
                if (on)
                    window_.choose(name, index);
            });
            row->addWidget(radio);
        }
        radios->addWidget(group);
    }
    layout->addLayout(radios);
    edit1_ = new QLineEdit(this);
    edit1_->setObjectName("Edit1");
    layout->addWidget(edit1_);
    window.changed = [this] {
        refresh();
        // Paint only: a click during a sweep must not start another.
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    };
    refresh();
}

void TestKelmWidget::refresh()
{
    edit1_->setText(q(window_.edit1()));
}

} // namespace pontvex

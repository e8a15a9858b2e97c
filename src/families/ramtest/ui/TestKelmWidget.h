#pragma once

#include "families/ramtest/TTestKelm1.h"

#include <QWidget>

class QLineEdit;

namespace pontvex {

// The service window on screen: the buttons in two rows, the Vpp and Vcc
// radio groups and the instruction field, all driving one TTestKelm1.
class TestKelmWidget : public QWidget {
public:
    explicit TestKelmWidget(TTestKelm1& window, QWidget* parent = nullptr);
    void refresh();

private:
    TTestKelm1& window_;
    QLineEdit* edit1_ = nullptr;
};

} // namespace pontvex

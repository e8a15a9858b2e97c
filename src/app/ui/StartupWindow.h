#pragma once

#include <QWidget>

namespace pontvex {

// Shown on top of everything while the link looks for the box.
class StartupWindow : public QWidget {
    Q_OBJECT
public:
    explicit StartupWindow(QWidget* parent = nullptr);
    // Centres on the screen, raises and paints at once.
    void showNow();
};

} // namespace pontvex

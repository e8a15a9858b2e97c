#pragma once

#include <QWidget>

#include <string>

class QLabel;

namespace pontvex {

// Shown on top of everything while the link looks for the box.
class StartupWindow : public QWidget {
    Q_OBJECT
public:
    explicit StartupWindow(QWidget* parent = nullptr);
    // Centres on the screen, raises and paints at once.
    void showNow();
    // Names the port the connection routine tries now, painted at once.
    void showProbe(const std::string& port);
    QString probeText() const;

private:
    QLabel* probe_ = nullptr;
};

} // namespace pontvex

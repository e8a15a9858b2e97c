#pragma once

#include "hexview/PldPage.h"

#include <QWidget>

class QLineEdit;
class QMenu;
class QTextEdit;

namespace pontvex {

// The PLD view window ("Просмотр PLD"): the fuse map of a PldPage in a
// read-only text control, with the fuse under the caret ("Адрес") and the
// checksum ("Сумма"). All arithmetic is the page's; this widget renders and
// forwards keys.
class TPldFileW : public QWidget {
    Q_OBJECT
public:
    explicit TPldFileW(DeviceBuffer& buffer, QWidget* parent = nullptr);
    ~TPldFileW() override;

    PldPage& page() { return page_; }
    void ShowMap() { page_.ShowMap(); }

    QTextEdit* RichEdit1 = nullptr;
    QLineEdit* Edit1 = nullptr; // fuse under the caret
    QLineEdit* Edit2 = nullptr; // checksum

    // The map text for printing.
    QString mapText() const { return QString::fromLatin1(page_.text()) + "\n"; }

    QSize sizeHint() const override;

signals:
    void FillClick();
    void MaxAddrClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void render();

    PldPage page_;
    QMenu* contextMenu_ = nullptr;
    std::string shownText_;
    std::vector<Ink> shownInk_;
    bool rendering_ = false;
};

} // namespace pontvex

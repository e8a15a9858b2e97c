#pragma once

#include "hexview/PldPage.h"
#include "hexview/ui/BufferView.h"

namespace pontvex {

// The PLD view window ("Просмотр PLD"): the fuse map of a PldPage in a
// read-only text control, with the fuse under the caret ("Адрес") and the
// checksum ("Сумма"). All arithmetic is the page's; this widget renders and
// forwards keys.
class TPldFileW : public TBufferView {
    Q_OBJECT
public:
    explicit TPldFileW(DeviceBuffer& buffer, QWidget* parent = nullptr);
    ~TPldFileW() override;

    PldPage& page() { return page_; }
    void ShowMap() { page_.ShowMap(); }

    // RichEdit1, Edit1 (fuse under the caret) and Edit2 (checksum) are the base's.

    // The map text for printing.
    QString mapText() const { return QString::fromLatin1(page_.text()) + "\n"; }

    QSize sizeHint() const override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void render();

    PldPage page_;
    std::string shownText_;
    std::vector<Ink> shownInk_;
    bool rendering_ = false;
};

} // namespace pontvex

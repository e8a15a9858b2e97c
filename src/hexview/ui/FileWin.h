#pragma once

#include "hexview/HexPage.h"
#include "hexview/ui/BufferView.h"

class QScrollBar;

namespace pontvex {

// The hex view window: the page text of a HexPage in a read-only text
// control, the page scroll bar and the row of checksum, cursor and page start.
// All arithmetic is the page's; this widget only renders and forwards.
class TFileWin : public TBufferView {
    Q_OBJECT
public:
    explicit TFileWin(DeviceBuffer& buffer, QWidget* parent = nullptr);
    ~TFileWin() override;

    HexPage& page() { return page_; }
    const HexPage& page() const { return page_; }
    void ShowPage() { page_.ShowPage(); }

    // RichEdit1, Edit1 (cursor address) and Edit2 (checksum) are the base's.
    QScrollBar* ScrollBar1 = nullptr;
    QLineEdit* Edit3 = nullptr; // page start

    // The page text as plain text with CR LF after each line (printing).
    QString pageText() const;
    // Where a page position is in the text control, and back.
    static int controlPosition(int pagePosition);
    static int pagePosition(int controlPosition);

    QSize sizeHint() const override;

signals:
    // The page was drawn again (an edit, a page step, a reload).
    void rendered();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void render();
    void selectionFromControl();
    void showContextMenu(const QPoint& at);

    HexPage page_;
    std::string shownText_;
    std::vector<Ink> shownInk_;
    bool rendering_ = false;
};

} // namespace pontvex

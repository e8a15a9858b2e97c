#include "hexview/ui/PldFileW.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextEdit>

namespace pontvex {

TPldFileW::TPldFileW(DeviceBuffer& buffer, QWidget* parent)
    : TBufferView(QString::fromUtf8("Просмотр PLD"), Qt::ScrollBarAsNeeded, parent), page_(buffer)
{
    Edit1 = makeField("Edit1", true, 90);
    Edit2 = makeField("Edit2", true, 70);
    layOut(nullptr, {{"Адрес", Edit1}, {"Сумма", Edit2}}, 10, "Заполнить с адреса");
    connect(RichEdit1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { contextMenu_->popup(RichEdit1->mapToGlobal(at)); });
    connect(RichEdit1, &QTextEdit::cursorPositionChanged, this, [this] {
        if (!rendering_)
            page_.OnSelectionChange(RichEdit1->textCursor().selectionStart());
    });

    page_.onChanged = [this] { render(); };
}

TPldFileW::~TPldFileW()
{
    page_.onChanged = nullptr;
}

QSize TPldFileW::sizeHint() const
{
    // The map's own width (520 wide at the start-up geometry) and some 24 lines.
    const QFontMetrics metrics(RichEdit1->font());
    const int width = metrics.horizontalAdvance(QString(page_.lineStride() + 2, QChar('0'))) +
                      RichEdit1->verticalScrollBar()->sizeHint().width() + 16;
    return {std::max(width, 520), metrics.lineSpacing() * 24 + Edit1->sizeHint().height() + 16};
}

void TPldFileW::render()
{
    rendering_ = true;
    const auto size = static_cast<int>(page_.text().size());
    std::vector<Ink> ink(static_cast<size_t>(size));
    for (int p = 0; p < size; ++p)
        ink[static_cast<size_t>(p)] = page_.ink(p);
    if (page_.text() != shownText_ || ink != shownInk_) {
        const int vertical = RichEdit1->verticalScrollBar()->value();
        QTextDocument* document = RichEdit1->document();
        document->clear();
        QTextCursor cursor(document);
        // Runs of one colour; the page's "\n" become the control's blocks.
        for (int start = 0; start < size;) {
            int end = start + 1;
            while (end < size && ink[static_cast<size_t>(end)] == ink[static_cast<size_t>(start)])
                ++end;
            QTextCharFormat format;
            format.setForeground(ink[static_cast<size_t>(start)] == Ink::Red ? QColor(0xFF, 0, 0)
                                                                             : QColor(0, 0, 0));
            cursor.insertText(QString::fromLatin1(page_.text().substr(static_cast<size_t>(start),
                                                                      static_cast<size_t>(end - start))),
                              format);
            start = end;
        }
        shownText_ = page_.text();
        shownInk_ = ink;
        RichEdit1->verticalScrollBar()->setValue(vertical);
    }
    QTextCursor caret = RichEdit1->textCursor();
    caret.setPosition(std::min(page_.caretPosition(), RichEdit1->document()->characterCount() - 1));
    RichEdit1->setTextCursor(caret);
    Edit1->setText(QString::fromStdString(page_.addressText()));
    Edit2->setText(QString::fromStdString(page_.checksumText()));
    rendering_ = false;
}

bool TPldFileW::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == RichEdit1 && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        const bool shift = key->modifiers() & Qt::ShiftModifier;
        switch (key->key()) {
        case Qt::Key_Home:
            page_.OnRichKeyDown(HexPage::Key::Home, shift);
            return true;
        case Qt::Key_End:
            page_.OnRichKeyDown(HexPage::Key::End, shift);
            return true;
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
            if (shift) {
                page_.OnRichKeyDown(
                    key->key() == Qt::Key_PageUp ? HexPage::Key::PageUp : HexPage::Key::PageDown, true);
                return true;
            }
            return false;
        default:
            break;
        }
        const QString text = key->text();
        if (text.size() == 1 && text[0].unicode() < 128) {
            page_.OnKeyPress(static_cast<char>(text[0].unicode()));
            return text[0] == '0' || text[0] == '1';
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace pontvex

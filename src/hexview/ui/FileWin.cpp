#include "hexview/ui/FileWin.h"

#include <QAbstractTextDocumentLayout>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>

namespace pontvex {

namespace {

// In the text control a line break is one position, in the page text two.
constexpr int kControlStride = HexPage::kLineLength + 1;

QColor inkColour(Ink ink)
{
    switch (ink) {
    case Ink::Grey:
        return QColor(0x80, 0x80, 0x80);
    case Ink::Red:
        return QColor(0xFF, 0x00, 0x00);
    case Ink::Black:
        break;
    }
    return QColor(0, 0, 0);
}

// A field characters digits wide.
int fieldWidth(const QFont& font, int characters)
{
    return QFontMetrics(font).horizontalAdvance(QString(characters, QChar('0'))) + 14;
}

} // namespace

TFileWin::TFileWin(DeviceBuffer& buffer, QWidget* parent)
    : TBufferView(QString(), Qt::ScrollBarAlwaysOff, parent), page_(buffer)
{
    // Keep the selection visible when the focus is elsewhere (find dialog).
    QPalette palette = RichEdit1->palette();
    palette.setColor(QPalette::Inactive, QPalette::Highlight,
                     palette.color(QPalette::Active, QPalette::Highlight));
    palette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                     palette.color(QPalette::Active, QPalette::HighlightedText));
    RichEdit1->setPalette(palette);

    ScrollBar1 = new QScrollBar(Qt::Vertical);
    ScrollBar1->setObjectName("ScrollBar1");
    ScrollBar1->setPageStep(1);

    const QFont& fixed = fixedFont();
    Edit2 = makeField("Edit2", true, fieldWidth(fixed, 9));
    Edit1 = makeField("Edit1", true, fieldWidth(fixed, 8));
    Edit3 = makeField("Edit3", false, fieldWidth(fixed, 8));
    layOut(ScrollBar1, {{"Контрольная сумма:", Edit2}, {"Курсор:", Edit1}, {"Стартовый адрес:", Edit3}}, 6,
           "Заполнить буфер");
    connect(RichEdit1, &QWidget::customContextMenuRequested, this, &TFileWin::showContextMenu);

    connect(RichEdit1, &QTextEdit::cursorPositionChanged, this, &TFileWin::selectionFromControl);
    connect(RichEdit1, &QTextEdit::selectionChanged, this, &TFileWin::selectionFromControl);
    connect(Edit3, &QLineEdit::editingFinished, this,
            [this] { page_.Edit3Exit(Edit3->text().toStdString()); });
    connect(ScrollBar1, &QScrollBar::valueChanged, this, [this](int value) {
        if (rendering_)
            return;
        page_.ScrollBar1Change(value);
        if (!ScrollBar1->isSliderDown())
            page_.ScrollBar1EndScroll();
    });
    connect(ScrollBar1, &QScrollBar::sliderReleased, this, [this] { page_.ScrollBar1EndScroll(); });

    page_.onChanged = [this] {
        render();
        emit rendered();
    };
    resize(sizeHint());
}

TFileWin::~TFileWin()
{
    page_.onChanged = nullptr;
}

QSize TFileWin::sizeHint() const
{
    const QFontMetrics metrics(RichEdit1->font());
    const int width = metrics.horizontalAdvance(QString(HexPage::kLineLength + 2, QChar('0'))) +
                      2 * RichEdit1->frameWidth() + ScrollBar1->sizeHint().width() +
                      2 * static_cast<int>(RichEdit1->document()->documentMargin());
    const int height = metrics.lineSpacing() * HexPage::kLines + 2 * RichEdit1->frameWidth() +
                       2 * static_cast<int>(RichEdit1->document()->documentMargin()) +
                       Edit3->sizeHint().height() + 8;
    return {std::max(width, 439), std::max(height, 340)};
}

int TFileWin::controlPosition(int pagePosition)
{
    const int line = HexPage::lineOf(pagePosition);
    const int column = std::min(HexPage::columnOf(pagePosition), HexPage::kLineLength);
    return line * kControlStride + column;
}

int TFileWin::pagePosition(int controlPosition)
{
    return controlPosition / kControlStride * HexPage::kLineStride + controlPosition % kControlStride;
}

QString TFileWin::pageText() const
{
    QString text;
    for (int line = 0; line < HexPage::kLines; ++line)
        text += QString::fromLatin1(page_.text().substr(static_cast<size_t>(line * HexPage::kLineStride),
                                                        HexPage::kLineLength)) +
                "\n";
    return text;
}

void TFileWin::render()
{
    rendering_ = true;
    std::vector<Ink> ink(HexPage::kTextLength);
    for (int p = 0; p < HexPage::kTextLength; ++p)
        ink[static_cast<size_t>(p)] = page_.ink(p);
    if (page_.text() != shownText_ || ink != shownInk_) {
        const int horizontal = RichEdit1->horizontalScrollBar()->value();
        QTextDocument* document = RichEdit1->document();
        document->clear();
        QTextCursor cursor(document);
        for (int line = 0; line < HexPage::kLines; ++line) {
            if (line > 0)
                cursor.insertBlock();
            int column = 0;
            while (column < HexPage::kLineLength) {
                const int start = line * HexPage::kLineStride + column;
                int end = column + 1;
                while (end < HexPage::kLineLength &&
                       ink[static_cast<size_t>(start + end - column)] == ink[static_cast<size_t>(start)])
                    ++end;
                QTextCharFormat format;
                format.setForeground(inkColour(ink[static_cast<size_t>(start)]));
                cursor.insertText(QString::fromLatin1(page_.text().substr(static_cast<size_t>(start),
                                                                          static_cast<size_t>(end - column))),
                                  format);
                column = end;
            }
        }
        shownText_ = page_.text();
        shownInk_ = ink;
        RichEdit1->horizontalScrollBar()->setValue(horizontal);
    }

    const int start = page_.selectionStart();
    const int end = start + page_.selectionLength();
    QTextCursor current = RichEdit1->textCursor();
    if (pagePosition(current.selectionStart()) != start || pagePosition(current.selectionEnd()) != end) {
        QTextCursor selection(RichEdit1->document());
        selection.setPosition(controlPosition(start));
        selection.setPosition(controlPosition(end), QTextCursor::KeepAnchor);
        RichEdit1->setTextCursor(selection);
    }

    Edit1->setText(QString::fromStdString(page_.cursorText()));
    Edit2->setText(QString::fromStdString(page_.checksumText()));
    Edit3->setText(QString::fromStdString(page_.pageStartText()));
    QPalette palette = Edit3->palette();
    palette.setColor(QPalette::Base, page_.pageStartYellow() ? QColor(Qt::yellow) : QColor(Qt::white));
    Edit3->setPalette(palette);
    if (!page_.pageStartYellow()) {
        ScrollBar1->setRange(0, page_.scrollMaximum());
        ScrollBar1->setValue(page_.scrollPosition());
    }
    rendering_ = false;
}

void TFileWin::selectionFromControl()
{
    if (rendering_)
        return;
    const QTextCursor cursor = RichEdit1->textCursor();
    const int start = pagePosition(cursor.selectionStart());
    const int end = pagePosition(cursor.selectionEnd());
    if (start != page_.selectionStart() || end - start != page_.selectionLength())
        page_.select(start, end - start);
}

bool TFileWin::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == RichEdit1 && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        switch (key->key()) {
        case Qt::Key_Home:
            page_.OnRichKeyDown(HexPage::Key::Home);
            return true;
        case Qt::Key_End:
            page_.OnRichKeyDown(HexPage::Key::End);
            return true;
        case Qt::Key_PageDown:
            page_.OnRichKeyDown(HexPage::Key::PageDown);
            return true;
        case Qt::Key_PageUp:
            page_.OnRichKeyDown(HexPage::Key::PageUp);
            return true;
        default:
            break;
        }
        const QString text = key->text();
        if (text.size() == 1 && text[0].isPrint() && !(key->modifiers() & Qt::ControlModifier)) {
            page_.OnKeyPress(text[0].unicode() < 0x80 ? static_cast<char>(text[0].unicode()) : '?');
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TFileWin::showContextMenu(const QPoint& at)
{
    contextMenu_->exec(RichEdit1->viewport()->mapToGlobal(at));
}

} // namespace pontvex

#include "hexview/ui/BufferView.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTextEdit>
#include <QVBoxLayout>

namespace pontvex {

TBufferView::TBufferView(const QString& caption, Qt::ScrollBarPolicy verticalScroll, QWidget* parent)
    : QWidget(parent), fixed_(QFontDatabase::systemFont(QFontDatabase::FixedFont))
{
    if (!caption.isEmpty())
        setWindowTitle(caption);

    RichEdit1 = new QTextEdit;
    RichEdit1->setObjectName("RichEdit1");
    RichEdit1->setFont(fixed_);
    RichEdit1->setReadOnly(true);
    RichEdit1->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    RichEdit1->setLineWrapMode(QTextEdit::NoWrap);
    RichEdit1->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    RichEdit1->setVerticalScrollBarPolicy(verticalScroll);
    RichEdit1->setUndoRedoEnabled(false);
    RichEdit1->setContextMenuPolicy(Qt::CustomContextMenu);
    RichEdit1->installEventFilter(this);
}

QLineEdit* TBufferView::makeField(const char* name, bool readOnly, int width) const
{
    auto* edit = new QLineEdit;
    edit->setObjectName(name);
    edit->setReadOnly(readOnly);
    edit->setFont(fixed_);
    edit->setFixedWidth(width);
    return edit;
}

void TBufferView::layOut(QWidget* beside, std::initializer_list<Field> fields, int spacing,
                         const char* fillText)
{
    auto* bottom = new QHBoxLayout;
    bottom->setContentsMargins(4, 2, 4, 2);
    bool first = true;
    for (const Field& field : fields) {
        if (!first)
            bottom->addSpacing(spacing);
        first = false;
        bottom->addWidget(new QLabel(QString::fromUtf8(field.label)));
        bottom->addWidget(field.edit);
    }
    bottom->addStretch(1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    if (beside) {
        auto* top = new QHBoxLayout;
        top->setContentsMargins(0, 0, 0, 0);
        top->setSpacing(0);
        top->addWidget(RichEdit1, 1);
        top->addWidget(beside);
        layout->addLayout(top, 1);
    } else {
        layout->addWidget(RichEdit1, 1);
    }
    layout->addLayout(bottom);

    contextMenu_ = new QMenu(this);
    contextMenu_->addAction(QString::fromUtf8(fillText), this, &TBufferView::FillClick);
    contextMenu_->addAction(QString::fromUtf8("Установить максимальный адрес"), this,
                            &TBufferView::MaxAddrClick);
}

} // namespace pontvex

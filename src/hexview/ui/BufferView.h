#pragma once

#include <QWidget>

#include <initializer_list>

class QLineEdit;
class QMenu;
class QTextEdit;

namespace pontvex {

// What the buffer's view windows (hex and PLD) share: a read-only text
// control in the fixed font whose keys the view filters, a row of labelled
// fields under it, and the context menu that asks the main window to fill the
// buffer or set its end.
class TBufferView : public QWidget {
    Q_OBJECT
public:
    QTextEdit* RichEdit1 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QLineEdit* Edit2 = nullptr;

signals:
    void FillClick();
    void MaxAddrClick();

protected:
    // An empty caption leaves the window's title alone.
    TBufferView(const QString& caption, Qt::ScrollBarPolicy verticalScroll, QWidget* parent);

    struct Field {
        const char* label;
        QLineEdit* edit;
    };

    const QFont& fixedFont() const { return fixed_; }
    // A field in the fixed font, width pixels wide.
    QLineEdit* makeField(const char* name, bool readOnly, int width) const;
    // The text control (with beside on its right when given) over the fields,
    // spacing pixels apart; the context menu's first item is fillText.
    void layOut(QWidget* beside, std::initializer_list<Field> fields, int spacing, const char* fillText);

    QMenu* contextMenu_ = nullptr;

private:
    QFont fixed_;
};

} // namespace pontvex

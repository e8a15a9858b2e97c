#include "catalogue/ui/TypeDlg.h"

#include "catalogue/DeviceList.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QVBoxLayout>

namespace pontvex {

namespace {
QString q(const std::string& text)
{
    return QString::fromStdString(text);
}
} // namespace

TTypeDlg::TTypeDlg(TypeSelection& selection, QWidget* parent) : QDialog(parent), selection_(selection)
{
    setObjectName("TypeDlg");
    setWindowTitle(QString::fromUtf8("Выбор типа"));
    setModal(false);

    auto* categories = new QGroupBox(this);
    categories->setObjectName("RadioGroup1");
    auto* categoryLayout = new QVBoxLayout(categories);
    radioGroup_ = new QButtonGroup(this);
    for (size_t i = 0; i < kDeviceCategories.size(); ++i) {
        auto* radio = new QRadioButton(QString::fromUtf8(kDeviceCategories[i].item), categories);
        radioGroup_->addButton(radio, static_cast<int>(i));
        categoryLayout->addWidget(radio);
        RadioGroup1.append(radio);
    }
    categoryLayout->addStretch();

    ListBox1 = new QListWidget(this);
    ListBox1->setObjectName("ListBox1");
    ListBox2 = new QListWidget(this);
    ListBox2->setObjectName("ListBox2");
    ListBox2->setMinimumWidth(180);

    OKBtn = new QPushButton(QString::fromUtf8("Выбрать"), this);
    OKBtn->setObjectName("OKBtn");
    OKBtn->setDefault(true);
    OKBtn->setAutoDefault(true);
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName("Edit1");
    Edit1->setReadOnly(true);
    MFR = new QPushButton(QString::fromUtf8("Код ID"), this);
    MFR->setObjectName("MFR");
    Message = new QLabel(this);
    Message->setObjectName("Message");
    Message->setWordWrap(true);

    auto* typeColumn = new QVBoxLayout;
    typeColumn->addWidget(new QLabel(QString::fromUtf8("Тип микр"), this));
    typeColumn->addWidget(ListBox2, 1);

    auto* idColumn = new QVBoxLayout;
    idColumn->addWidget(new QLabel(QString::fromUtf8("Код ID"), this));
    idColumn->addWidget(Edit1);
    idColumn->addWidget(MFR);
    idColumn->addStretch();
    idColumn->addWidget(OKBtn);

    auto* lists = new QHBoxLayout;
    lists->addWidget(categories);
    lists->addWidget(ListBox1, 1);
    lists->addLayout(typeColumn, 1);
    lists->addLayout(idColumn);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(lists, 1);
    layout->addWidget(Message);
    resize(640, 360);

    connect(radioGroup_, &QButtonGroup::idClicked, this, &TTypeDlg::Radio1OnClick);
    // A click chooses the group (OnMouseUp); moving with the keys too (OnKeyUp).
    connect(ListBox1, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        if (!refreshing_)
            selection_.groupClicked(ListBox1->row(item));
    });
    connect(ListBox1, &QListWidget::currentRowChanged, this, [this](int row) {
        // A mouse click is handled once, as a click; this is for the keys.
        if (QGuiApplication::mouseButtons() != Qt::NoButton)
            return;
        if (!refreshing_ && row >= 0 && row != selection_.groupSelection)
            selection_.groupKeyed(row);
    });
    connect(ListBox2, &QListWidget::currentRowChanged, this, [this](int row) {
        if (!refreshing_)
            selection_.chipSelection = row;
    });
    connect(ListBox2, &QListWidget::itemDoubleClicked, this, [this] { OKBtnClick(); });
    connect(OKBtn, &QPushButton::clicked, this, &TTypeDlg::OKBtnClick);
    connect(MFR, &QPushButton::clicked, this, [this] { selection_.ReadIdCode(); });

    QPointer<TTypeDlg> self(this);
    selection_.addChangeListener([self] {
        if (self)
            self->refresh();
    });
    refresh();
}

void TTypeDlg::showCentred()
{
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - rect().center());
    }
    show();
    raise();
    activateWindow();
}

void TTypeDlg::showEvent(QShowEvent* event)
{
    selection_.dialogVisible = true;
    QDialog::showEvent(event);
}

void TTypeDlg::hideEvent(QHideEvent* event)
{
    selection_.dialogVisible = false;
    QDialog::hideEvent(event);
}

void TTypeDlg::reject()
{
    QDialog::reject();
    selection_.cancel();
}

void TTypeDlg::Radio1OnClick(int index)
{
    if (refreshing_)
        return;
    selection_.chooseCategory(index);
}

void TTypeDlg::OKBtnClick()
{
    selection_.chipSelection = ListBox2->currentRow();
    selection_.OKBtnClick();
}

void TTypeDlg::refresh()
{
    if (refreshing_)
        return;
    refreshing_ = true;
    const TypeSelection& s = selection_;
    if (s.categorySelection >= 0 && s.categorySelection < RadioGroup1.size())
        RadioGroup1[s.categorySelection]->setChecked(true);

    QStringList groups;
    for (const auto& group : s.groupList)
        groups << q(group);
    QStringList shown;
    for (int i = 0; i < ListBox1->count(); ++i)
        shown << ListBox1->item(i)->text();
    if (groups != shown) {
        ListBox1->clear();
        ListBox1->addItems(groups);
    }
    ListBox1->setCurrentRow(s.groupSelection);

    QStringList chips;
    for (const auto& chip : s.chipList)
        chips << q(chip);
    shown.clear();
    for (int i = 0; i < ListBox2->count(); ++i)
        shown << ListBox2->item(i)->text();
    if (chips != shown) {
        ListBox2->clear();
        ListBox2->addItems(chips);
    }
    ListBox2->setCurrentRow(s.chipSelection);
    if (ListBox2->currentItem())
        ListBox2->scrollToItem(ListBox2->currentItem());

    Edit1->setText(q(s.idField));
    Message->setText(q(s.statusMessage));
    if (!s.dialogVisible && isVisible())
        hide();
    refreshing_ = false;
}

} // namespace pontvex

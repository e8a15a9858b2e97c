#include "files/ui/TFileFormat.h"

#include "core/UserPrompt.h"
#include "files/DataFormats.h"
#include "files/FileFormatModel.h"
#include "files/FileTexts.h"

#include <QButtonGroup>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QVBoxLayout>

namespace pontvex {

namespace {

QString qs(const char* text)
{
    return QString::fromUtf8(text);
}

} // namespace

TFileFormat::TFileFormat(FileFormatModel& model, UserPrompt& prompt, QWidget* parent)
    : QDialog(parent), model_(model), prompt_(prompt)
{
    setModal(true);

    RadioGroup1 = new QGroupBox(qs(files_text::kFormatGroupTitle), this);
    auto* formatLayout = new QVBoxLayout(RadioGroup1);
    formats_ = new QButtonGroup(this);
    for (int i = 0; i < static_cast<int>(formatButtons.size()); ++i) {
        formatButtons[i] = new QRadioButton(qs(FileFormatModel::FormatItems[i]), RadioGroup1);
        formats_->addButton(formatButtons[i], i);
        formatLayout->addWidget(formatButtons[i]);
    }

    RadioGroup2 = new QGroupBox(qs(files_text::kModeGroupTitle), this);
    auto* modeLayout = new QGridLayout(RadioGroup2);
    modes_ = new QButtonGroup(this);
    for (int i = 0; i < static_cast<int>(modeButtons.size()); ++i) {
        modeButtons[i] = new QRadioButton(qs(ModeTable[i].text), RadioGroup2);
        modes_->addButton(modeButtons[i], i);
        modeLayout->addWidget(modeButtons[i], i % 4, i / 4); // two columns
    }

    Edit1 = new QLineEdit(this);
    Edit2 = new QLineEdit(this);
    auto* fields = new QGridLayout;
    fields->addWidget(new QLabel(qs(files_text::kStartLabel), this), 0, 0);
    fields->addWidget(Edit1, 0, 1);
    fields->addWidget(new QLabel(qs(files_text::kEndLabel), this), 1, 0);
    fields->addWidget(Edit2, 1, 1);

    OKBtn = new QPushButton(qs(files_text::kOkButton), this);
    OKBtn->setDefault(true);
    CancelBtn = new QPushButton(qs(files_text::kCancelButton), this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKBtn);
    buttons->addWidget(CancelBtn);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(RadioGroup1);
    layout->addWidget(RadioGroup2);
    layout->addLayout(fields);
    layout->addLayout(buttons);

    connect(formats_, &QButtonGroup::idClicked, this, &TFileFormat::OnRadioClick);
    connect(modes_, &QButtonGroup::idClicked, this, &TFileFormat::OnClick2);
    connect(Edit1, &QLineEdit::textEdited, this,
            [this](const QString& t) { model_.startText = t.toStdString(); });
    connect(Edit2, &QLineEdit::textEdited, this,
            [this](const QString& t) { model_.endText = t.toStdString(); });
    connect(OKBtn, &QPushButton::clicked, this, &TFileFormat::OKBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &TFileFormat::CancelBtnClick);
    loadFromModel();
}

void TFileFormat::loadFromModel()
{
    setWindowTitle(QString::fromStdString(model_.caption));
    if (model_.formatIndex >= 0 && model_.formatIndex < static_cast<int>(formatButtons.size()))
        formatButtons[model_.formatIndex]->setChecked(true);
    if (model_.modeIndex >= 0 && model_.modeIndex < static_cast<int>(modeButtons.size()))
        modeButtons[model_.modeIndex]->setChecked(true);
    Edit1->setText(QString::fromStdString(model_.startText));
    Edit2->setText(QString::fromStdString(model_.endText));
    showEnabled();
}

void TFileFormat::showEnabled()
{
    Edit1->setEnabled(model_.addressEnabled);
    Edit2->setEnabled(model_.addressEnabled);
    RadioGroup2->setEnabled(model_.modeEnabled);
}

void TFileFormat::run()
{
    loadFromModel();
    adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    exec();
}

void TFileFormat::OnRadioClick(int index)
{
    model_.OnRadioClick(index);
    showEnabled();
}

void TFileFormat::OnClick2(int mode)
{
    model_.OnClick2(mode);
}

void TFileFormat::OKBtnClick()
{
    model_.startText = Edit1->text().toStdString();
    model_.endText = Edit2->text().toStdString();
    if (model_.OKBtnClick(prompt_))
        accept();
}

void TFileFormat::CancelBtnClick()
{
    reject();
}

void TFileFormat::reject()
{
    model_.CancelBtnClick();
    QDialog::reject();
}

// ---------------------------------------------------------------------------

QtFileDialogs::QtFileDialogs(UserPrompt& prompt, QWidget* parent) : prompt_(prompt), parent_(parent) {}

QtFileDialogs::~QtFileDialogs()
{
    if (!parent_) // otherwise the dialog belongs to its parent window
        delete dialog_;
}

QString QtFileDialogs::qtFilter(const std::string& filter)
{
    const QStringList parts = QString::fromStdString(filter).split('|');
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2)
        filters << parts[i] + " (" + parts[i + 1] + ")";
    return filters.join(";;");
}

QString QtFileDialogs::dialogFilters(const std::string& filter)
{
    const QStringList parts = QString::fromStdString(filter).split('|');
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString pattern = parts[i + 1];
        if (pattern == "*.*")
            pattern = "*"; // Qt's "*.*" hides names without a dot
        else if (pattern == "*.hex")
            pattern = "*.hex *.ihx";
        filters << parts[i] + " (" + pattern + ")";
    }
    filters << QString::fromUtf8("*.s19  S-записи (*.s19 *.s28 *.s37 *.srec *.mot)")
            << QString::fromUtf8("*.cds  CDS (*.cds)");
    return filters.join(";;");
}

std::optional<std::string> QtFileDialogs::chooseFileToOpen(const std::string& filter, const std::string&,
                                                           const std::string& initialDir)
{
    const QString name = QFileDialog::getOpenFileName(parent_, QString(), QString::fromStdString(initialDir),
                                                      dialogFilters(filter));
    if (name.isEmpty())
        return std::nullopt;
    return name.toStdString();
}

std::optional<std::string> QtFileDialogs::chooseFileToSave(const std::string& initialDir)
{
    const QString name = QFileDialog::getSaveFileName(parent_, QString(), QString::fromStdString(initialDir),
                                                      dialogFilters(files_text::kOpenFilter));
    if (name.isEmpty())
        return std::nullopt;
    return name.toStdString();
}

void QtFileDialogs::showFormatDialog(FileFormatModel& model)
{
    if (!dialog_ || dialogModel_ != &model) {
        delete dialog_;
        dialog_ = new TFileFormat(model, prompt_, parent_);
        dialogModel_ = &model;
    }
    dialog_->run();
}

} // namespace pontvex

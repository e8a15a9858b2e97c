#include "catalogue/ui/FamilyWindowWidget.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>
#include <exception>

namespace pontvex {

namespace {

QString q(const std::string& text)
{
    return QString::fromStdString(text);
}

QLineEdit* readOnlyField(QWidget* parent, const char* name)
{
    auto* field = new QLineEdit(parent);
    field->setObjectName(name);
    field->setReadOnly(true);
    field->setFocusPolicy(Qt::NoFocus);
    return field;
}

} // namespace

FamilyWindowWidget::FamilyWindowWidget(FamilyWindow& family, QWidget* parent)
    : QWidget(parent), family_(family)
{
    setObjectName(q(family.className()));
    setAttribute(Qt::WA_DeleteOnClose, false);

    message_ = readOnlyField(this, "Message");
    address_ = readOnlyField(this, "Address");
    address_->setStyleSheet("color: red;");
    address_->setMaximumWidth(90);
    address_->setAlignment(Qt::AlignRight);
    progress_ = new QProgressBar(this);
    progress_->setObjectName("RdBar");
    progress_->setTextVisible(false);
    chipName_ = readOnlyField(this, "ChipName");
    id_ = readOnlyField(this, "IdField");

    auto* top = new QGridLayout;
    top->addWidget(message_, 0, 0, 1, 4);
    top->addWidget(address_, 1, 0);
    top->addWidget(progress_, 1, 1, 1, 3);
    top->addWidget(chipName_, 2, 0, 1, 2);
    top->addWidget(id_, 2, 2, 1, 2);

    // Command buttons, four to a row, in declared order.
    auto* buttonGrid = new QGridLayout;
    const bool autoGroup = !family.autoSteps().empty();
    size_t cell = 0;
    for (size_t i = 0; i < family.buttons().size(); ++i) {
        const ButtonControl& control = family.buttons()[i];
        // "Авто" sits in its group under the step boxes, not among the commands.
        if (autoGroup && control.role == Role::Auto) {
            buttons_.push_back(nullptr);
            continue;
        }
        auto* button = new QPushButton(q(control.caption), this);
        button->setObjectName(q(control.name));
        button->setAutoDefault(false);
        buttonGrid->addWidget(button, static_cast<int>(cell / 4), static_cast<int>(cell % 4));
        ++cell;
        buttons_.push_back(button);
        connect(button, &QPushButton::clicked, this, [this, i] {
            ButtonControl& c = family_.buttons()[i];
            try {
                if (c.enabled && c.run)
                    c.run();
            } catch (const std::exception& e) {
                QMessageBox::warning(this, " ", QString::fromUtf8(e.what()));
            }
            finished();
        });
    }

    auto* lower = new QHBoxLayout;
    for (size_t g = 0; g < family.options().size(); ++g) {
        const OptionGroup& option = family.options()[g];
        auto* box = new QGroupBox(q(option.caption), this);
        box->setObjectName(q(option.name));
        new QGridLayout(box);
        auto* group = new QButtonGroup(box);
        connect(group, &QButtonGroup::idClicked, this, [this, g](int k) {
            if (refreshing_)
                return;
            family_.selectOption(family_.options()[g].name, k);
            refresh();
        });
        optionBoxes_.push_back(box);
        options_.emplace_back();
        fillOption(g);
        lower->addWidget(box);
    }

    if (autoGroup) {
        auto* box = new QGroupBox(q(family.autoGroupCaption()), this);
        box->setObjectName("AutoGroup");
        auto* boxLayout = new QVBoxLayout(box);
        for (size_t i = 0; i < family.autoSteps().size(); ++i) {
            const AutoStep& step = family.autoSteps()[i];
            auto* check = new QCheckBox(q(step.caption), box);
            check->setObjectName(q(step.name));
            boxLayout->addWidget(check);
            steps_.push_back(check);
            connect(check, &QCheckBox::toggled, this, [this, i](bool on) {
                if (!refreshing_)
                    family_.autoSteps()[i].checked = on;
            });
        }
        autoButton_ = new QPushButton(QString::fromUtf8("Авто"), box);
        autoButton_->setObjectName("Button1");
        autoButton_->setAutoDefault(false);
        boxLayout->addWidget(autoButton_);
        connect(autoButton_, &QPushButton::clicked, this, [this] {
            try {
                family_.Button1Click();
            } catch (const std::exception& e) {
                QMessageBox::warning(this, " ", QString::fromUtf8(e.what()));
            }
            finished();
        });
        lower->addWidget(box);
    }
    lower->addStretch();

    // The family's own check boxes and numbers ("WDT", "Sec", the ID word).
    auto* kinds = new QHBoxLayout;
    for (size_t i = 0; i < family.flags().size(); ++i) {
        const FlagControl& declared = family.flags()[i];
        auto* check = new QCheckBox(q(declared.caption), this);
        check->setObjectName(q(declared.name));
        kinds->addWidget(check);
        flags_.push_back(check);
        connect(check, &QCheckBox::toggled, this, [this, i](bool on) {
            if (refreshing_)
                return;
            family_.setFlag(family_.flags()[i].name, on);
            refresh();
        });
    }
    for (size_t i = 0; i < family.values().size(); ++i) {
        const ValueField& declared = family.values()[i];
        auto* form = new QFormLayout;
        auto* edit = new QLineEdit(this);
        edit->setObjectName(q(declared.name));
        edit->setMaximumWidth(90);
        form->addRow(q(declared.caption), edit);
        kinds->addLayout(form);
        values_.push_back(edit);
        connect(edit, &QLineEdit::editingFinished, this, [this, i] { valueEdited(i); });
    }
    kinds->addStretch();

    auto* fieldRow = new QHBoxLayout;
    for (size_t i = 0; i < family.fields().size(); ++i) {
        const AddressField& declared = family.fields()[i];
        auto* form = new QFormLayout;
        auto* edit = new QLineEdit(this);
        edit->setObjectName(q(declared.name));
        edit->setMaximumWidth(90);
        form->addRow(q(declared.caption), edit);
        fieldRow->addLayout(form);
        fields_.push_back(edit);
        // Enter and leaving the field both take the typed value.
        connect(edit, &QLineEdit::editingFinished, this, [this, i] { fieldEdited(i); });
    }
    fieldRow->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttonGrid);
    layout->addLayout(lower);
    layout->addLayout(kinds);
    layout->addLayout(fieldRow);
    layout->addStretch();
    refresh();
}

QWidget* FamilyWindowWidget::frame()
{
    if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget()))
        return sub;
    return this;
}

void FamilyWindowWidget::fieldEdited(size_t index)
{
    if (refreshing_ || index >= fields_.size())
        return;
    QLineEdit* edit = fields_[index];
    family_.editField(family_.fields()[index].name, edit->text().toStdString());
    edit->setModified(false);
    refresh();
}

void FamilyWindowWidget::valueEdited(size_t index)
{
    if (refreshing_ || index >= values_.size())
        return;
    QLineEdit* edit = values_[index];
    // A refused text gives way to the value the field keeps.
    family_.editValue(family_.values()[index].name, edit->text().toStdString());
    edit->setModified(false);
    refresh();
}

void FamilyWindowWidget::fillOption(size_t g)
{
    QGroupBox* box = optionBoxes_[g];
    auto* grid = static_cast<QGridLayout*>(box->layout());
    auto* group = box->findChild<QButtonGroup*>();
    for (QRadioButton* radio : options_[g])
        delete radio;
    options_[g].clear();
    // Long lists go into columns of kOptionRows.
    constexpr int kOptionRows = 12;
    const OptionGroup& option = family_.options()[g];
    for (size_t k = 0; k < option.items.size(); ++k) {
        auto* radio = new QRadioButton(q(option.items[k]), box);
        group->addButton(radio, static_cast<int>(k));
        grid->addWidget(radio, static_cast<int>(k) % kOptionRows, static_cast<int>(k) / kOptionRows);
        options_[g].push_back(radio);
    }
    grid->setRowStretch(kOptionRows, 1);
}

void FamilyWindowWidget::refresh()
{
    if (refreshing_)
        return;
    refreshing_ = true;
    const QString title = family_.caption().empty() ? q(family_.className()) : q(family_.caption());
    frame()->setWindowTitle(title);
    setWindowTitle(title);
    message_->setText(q(family_.message()));
    address_->setText(q(family_.addressText()));
    // A range of 0..0 would show Qt's busy animation before the first command.
    const int64_t max = std::clamp<int64_t>(family_.progressMax(), 1, INT32_MAX);
    progress_->setRange(0, static_cast<int>(max));
    progress_->setValue(static_cast<int>(std::clamp<int64_t>(family_.progressValue(), 0, max)));
    chipName_->setText(q(family_.chipNameText()));
    id_->setText(q(family_.idText()));
    for (size_t i = 0; i < buttons_.size() && i < family_.buttons().size(); ++i) {
        if (!buttons_[i])
            continue;
        buttons_[i]->setText(q(family_.buttons()[i].caption));
        buttons_[i]->setEnabled(family_.buttons()[i].enabled);
    }
    for (size_t g = 0; g < options_.size() && g < family_.options().size(); ++g) {
        if (options_[g].size() != family_.options()[g].items.size())
            fillOption(g); // a family whose items come from a file (a library's types)
        const int selected = family_.options()[g].selected;
        if (selected >= 0 && static_cast<size_t>(selected) < options_[g].size())
            options_[g][static_cast<size_t>(selected)]->setChecked(true);
    }
    for (size_t i = 0; i < steps_.size() && i < family_.autoSteps().size(); ++i) {
        steps_[i]->setChecked(family_.autoSteps()[i].checked);
        steps_[i]->setEnabled(family_.autoSteps()[i].enabled);
    }
    for (size_t i = 0; i < fields_.size() && i < family_.fields().size(); ++i) {
        // Text the user is still typing stays until Enter or leaving the field.
        if (fields_[i]->hasFocus() && fields_[i]->isModified())
            continue;
        fields_[i]->setText(q(family_.fields()[i].text));
    }
    for (size_t i = 0; i < flags_.size() && i < family_.flags().size(); ++i) {
        flags_[i]->setChecked(family_.flags()[i].checked);
        flags_[i]->setEnabled(family_.flags()[i].enabled);
    }
    for (size_t i = 0; i < values_.size() && i < family_.values().size(); ++i) {
        values_[i]->setEnabled(family_.values()[i].enabled);
        if (values_[i]->hasFocus() && values_[i]->isModified())
            continue;
        values_[i]->setText(q(family_.values()[i].text));
    }
    if (!family_.visible() && frame()->isVisible())
        frame()->hide();
    refreshing_ = false;
}

void FamilyWindowWidget::closeEvent(QCloseEvent* event)
{
    if (family_.running()) {
        family_.requestStop();
        closeWhenStopped_ = true;
        event->ignore();
        return;
    }
    family_.close();
    event->accept();
}

void FamilyWindowWidget::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && family_.running()) {
        family_.requestStop();
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void FamilyWindowWidget::finished()
{
    refresh();
    if (closeWhenStopped_ && !family_.running()) {
        closeWhenStopped_ = false;
        frame()->close();
    }
    emit commandFinished();
}

QPushButton* FamilyWindowWidget::button(const QString& caption) const
{
    for (QPushButton* b : buttons_)
        if (b && (b->text() == caption || b->objectName() == caption))
            return b;
    if (autoButton_ && (autoButton_->text() == caption || autoButton_->objectName() == caption))
        return autoButton_;
    return nullptr;
}

QCheckBox* FamilyWindowWidget::autoStepBox(const QString& caption) const
{
    for (QCheckBox* box : steps_)
        if (box->text() == caption || box->objectName() == caption)
            return box;
    return nullptr;
}

QLineEdit* FamilyWindowWidget::field(const QString& name) const
{
    for (size_t i = 0; i < fields_.size(); ++i)
        if (fields_[i]->objectName() == name || q(family_.fields()[i].caption) == name)
            return fields_[i];
    return nullptr;
}

QCheckBox* FamilyWindowWidget::flagBox(const QString& name) const
{
    for (size_t i = 0; i < flags_.size(); ++i)
        if (flags_[i]->objectName() == name || flags_[i]->text() == name)
            return flags_[i];
    return nullptr;
}

QLineEdit* FamilyWindowWidget::valueField(const QString& name) const
{
    for (size_t i = 0; i < values_.size(); ++i)
        if (values_[i]->objectName() == name || q(family_.values()[i].caption) == name)
            return values_[i];
    return nullptr;
}

QRadioButton* FamilyWindowWidget::optionItem(const QString& group, int index) const
{
    for (size_t g = 0; g < optionBoxes_.size(); ++g)
        if ((optionBoxes_[g]->title() == group || optionBoxes_[g]->objectName() == group) && index >= 0 &&
            static_cast<size_t>(index) < options_[g].size())
            return options_[g][static_cast<size_t>(index)];
    return nullptr;
}

} // namespace pontvex

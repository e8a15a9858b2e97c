#include "app/ui/MainForm.h"

#include "app/ui/FindDialogs.h"
#include "app/ui/InputHexDlg.h"
#include "app/ui/ToolIcons.h"
#include "catalogue/ui/FamilyWindowWidget.h"
#include "catalogue/ui/TypeDlg.h"
#include "core/AppInfo.h"
#include "files/ui/TFileFormat.h"
#include "link/ui/Ep3.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPrintDialog>
#include <QPrinter>
#include <QScreen>
#include <QStatusBar>
#include <QTextDocument>
#include <QTextEdit>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <cstdio>
#include <filesystem>
#include <string_view>

namespace pontvex {

namespace {

constexpr int kChipPanelWidth = 145;

QString q(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

struct ToolButton {
    const char* caption;
    const char* tooltip;
    const char* handler;
    ToolPicture picture;
    void (TMainForm::*run)();
};

// Left to right as on the tool bar. "Cистема" begins with a Latin C.
const ToolButton kToolButtons[] = {
    {"Открыть", "Загрузить из файла", "LoadFileClick", ToolPicture::Open, &TMainForm::LoadFileClick},
    {"Сохран.", "Сохранить в файл", "SaveBufClick", ToolPicture::Save, &TMainForm::SaveBufClick},
    {"Заполн.", "Заполнить буфер", "MainFillClick", ToolPicture::Fill, &TMainForm::MainFillClick},
    {"Выбор", "Выбор типа", "SelTypeClick", ToolPicture::Select, &TMainForm::SelTypeClick},
    {"W/R", "Запись/Чтение", "ProgClick", ToolPicture::Program, &TMainForm::ProgClick},
    {"Cистема", "Параметры системы", "SystemClick", ToolPicture::System, &TMainForm::SystemClick},
    {"ID", "Автоопределение", "IDClick", ToolPicture::Id, &TMainForm::IDClick},
    {"PgUp", "Страница вверх", "SpeedButton10Click", ToolPicture::PageUp, &TMainForm::SpeedButton10Click},
    {"PgDn", "Страница вниз", "SpeedButton8Click", ToolPicture::PageDown, &TMainForm::SpeedButton8Click},
    {"Информ.", "Информация о поддержке программы", "HelpSearch", ToolPicture::Info, &TMainForm::HelpSearch},
};

// While a command runs its window's progress steps let events through so
// the windows paint and a stop can reach the command; this filter keeps
// every other click and key from starting anything meanwhile.
class BusyInput : public QObject {
public:
    explicit BusyInput(FamilyWindow& family) : family_(family) { qApp->installEventFilter(this); }
    ~BusyInput() override { qApp->removeEventFilter(this); }
    BusyInput(const BusyInput&) = delete;
    BusyInput& operator=(const BusyInput&) = delete;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::KeyPress:
            if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape)
                family_.requestStop();
            return true;
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
            return true;
        default:
            return false; // paints, and close requests, which stop the command
        }
    }

private:
    FamilyWindow& family_;
};

const char* const kCategories[] = {"EPROM", "FLASH/EEPROM", "MPU",          "SERIAL EEPROM",
                                   "GAL",   "TEST RAM",     "TEST TTL/CMOS"};

} // namespace

TMainForm::TMainForm(ProgrammerLink& link, DeviceBuffer& buffer, const FamilyRegistry& families,
                     QWidget* parent)
    : QMainWindow(parent), link_(link), buffer_(buffer), families_(families)
{
    setObjectName("MainForm");
    setWindowTitle(QString::fromStdString(mainCaption()));
    move(1, 1);
    session.ProgramDir = QDir::currentPath().toStdString();
    if (session.ProgramDir.empty() || session.ProgramDir.back() != '/')
        session.ProgramDir += '/';
    session.FileName.clear();
    std::fill_n(buffer_.data(), DeviceBuffer::kInitialFill, uint8_t{0xFF});
    prompt_.setParent(this);

    buildActions();
    buildToolBars();
    buildCentre();
    buildStatusBar();
    buildMenus();
    resize(1000, 700);
}

TMainForm::~TMainForm()
{
    // Family windows hold this host and their widgets hold them: widgets first,
    // then the families, then the rest of the window.
    for (auto& [family, widget] : familyWidgets_)
        delete widget.data();
    familyWidgets_.clear();
    delete typeDlg_;
    typeSelection_.reset();
}

// --- construction -------------------------------------------------------------------

QAction* TMainForm::makeAction(const QString& name, const char* text, void (TMainForm::*handler)(),
                               const QKeySequence& shortcut)
{
    auto* a = new QAction(q(text), this);
    a->setObjectName(name);
    if (!shortcut.isEmpty())
        a->setShortcut(shortcut);
    connect(a, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
    return a;
}

QAction* TMainForm::action(const QString& name) const
{
    return findChild<QAction*>(name);
}

void TMainForm::buildActions()
{
    for (const ToolButton& b : kToolButtons) {
        QAction* a = makeAction(QString("tb:") + b.handler, b.caption, b.run);
        a->setIcon(toolIcon(b.picture));
        a->setToolTip(q(b.tooltip));
        a->setStatusTip(q(b.tooltip)); // tooltips also go to the status bar
    }
}

void TMainForm::buildToolBars()
{
    toolBar_ = addToolBar(q("Инструменты"));
    toolBar_->setObjectName("ToolBar");
    toolBar_->setMovable(false);
    toolBar_->setIconSize(QSize(32, 32));
    toolBar_->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    for (const ToolButton& b : kToolButtons) {
        toolBar_->addAction(action(QString("tb:") + b.handler));
        if (auto* button =
                qobject_cast<QToolButton*>(toolBar_->widgetForAction(action(QString("tb:") + b.handler))))
            button->setMinimumWidth(64); // square buttons with room for the longest caption
    }

    addToolBarBreak();
    typeBar_ = addToolBar(q("Тип"));
    typeBar_->setObjectName("TypeBar");
    typeBar_->setMovable(false);
    typeBar_->installEventFilter(this);

    ComboBox1 = new QComboBox;
    ComboBox1->setObjectName("ComboBox1");
    ComboBox1->setEditable(true);
    ComboBox1->setMaxVisibleItems(16);
    ComboBox1->setInsertPolicy(QComboBox::NoInsert);
    ComboBox1->setMinimumWidth(170);
    QFont bold = ComboBox1->font();
    bold.setBold(true);
    ComboBox1->setFont(bold);

    ComboBox2 = new QComboBox;
    ComboBox2->setObjectName("ComboBox2");
    for (const char* category : kCategories)
        ComboBox2->addItem(category);
    ComboBox2->setCurrentIndex(-1);
    ComboBox2->setMinimumWidth(150);

    Label2 = new QLabel(q("Тип: "));
    Label2->setObjectName("Label2");
    Label2->setMinimumWidth(260);
    FileLabel = new QLabel(q("Файл:"));
    FileLabel->setObjectName("FileLabel");
    FileLabel->setMinimumWidth(180);

    Counter = new QLineEdit("0");
    Counter->setObjectName("Counter");
    Counter->setReadOnly(true);
    Counter->setAlignment(Qt::AlignRight);
    Counter->setFixedWidth(60);
    Counter->setToolTip(q("Запрограммировано микросхем"));

    typeBar_->addWidget(ComboBox1);
    typeBar_->addSeparator();
    typeBar_->addWidget(ComboBox2);
    typeBar_->addSeparator();
    auto* spacerLeft = new QWidget;
    spacerLeft->setFixedWidth(8);
    typeBar_->addWidget(spacerLeft);
    typeBar_->addWidget(Label2);
    typeBar_->addWidget(FileLabel);
    typeBar_->addWidget(new QLabel(q("Счётчик: ")));
    typeBar_->addWidget(Counter);

    connect(ComboBox1, qOverload<int>(&QComboBox::activated), this, &TMainForm::ComboBox1Change);
    connect(ComboBox2, qOverload<int>(&QComboBox::activated), this, &TMainForm::ComboBox2Change);
}

void TMainForm::buildCentre()
{
    ListBox1 = new QListWidget;
    ListBox1->setObjectName("ListBox1");
    ListBox1->installEventFilter(this);
    connect(ListBox1, &QListWidget::itemDoubleClicked, this, [this] { List1OnDbClick(); });

    ChipPanel = new QWidget;
    ChipPanel->setObjectName("ChipPanel");
    auto* panelLayout = new QVBoxLayout(ChipPanel);
    panelLayout->setContentsMargins(0, 0, 0, 0);
    panelLayout->addWidget(ListBox1);
    ChipPanel->setFixedWidth(kChipPanelWidth);

    mdiArea_ = new QMdiArea;
    mdiArea_->setObjectName("MdiArea");

    auto* centre = new QWidget;
    auto* layout = new QHBoxLayout(centre);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(ChipPanel);
    layout->addWidget(mdiArea_, 1);
    setCentralWidget(centre);
}

void TMainForm::buildStatusBar()
{
    const int widths[4] = {150, 50, 50, 50};
    for (int i = 0; i < 4; ++i) {
        StatusPanel[i] = new QLabel;
        StatusPanel[i]->setObjectName(QString("StatusPanel%1").arg(i));
        StatusPanel[i]->setMinimumWidth(widths[i]);
        StatusPanel[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        statusBar()->addWidget(StatusPanel[i]);
    }
}

void TMainForm::buildMenus()
{
    QMenu* file = menuBar()->addMenu(q("&Файл"));
    file->addAction(makeAction("FileNew", "&Новый", &TMainForm::FileNew));
    file->addAction(
        makeAction("LoadFileClick", "&Загрузить", &TMainForm::LoadFileClick, QKeySequence("Ctrl+O")));
    file->addAction(
        makeAction("SaveBufClick", "&Сохранить", &TMainForm::SaveBufClick, QKeySequence("Ctrl+S")));
    file->addSeparator();
    file->addAction(makeAction("FilePrint", "&Печать", &TMainForm::FilePrint));
    file->addSeparator();
    file->addAction(makeAction("FileExit", "Вы&ход", &TMainForm::FileExit));

    QMenu* edit = menuBar()->addMenu(q("&Редактировать"));
    edit->addAction(makeAction("MainFillClick", "&Заполнить буфер", &TMainForm::MainFillClick));
    edit->addAction(
        makeAction("N11Click", "&Изменить размер буфера", &TMainForm::N11Click, QKeySequence("Ctrl+E")));
    edit->addAction(makeAction("S1Click", "&Найти", &TMainForm::S1Click, QKeySequence("Ctrl+F")));
    edit->addAction(makeAction("R1Click", "&Заменить", &TMainForm::R1Click, QKeySequence("Ctrl+R")));
    edit->addAction(makeAction("S2Click", "&Повторить", &TMainForm::S2Click, QKeySequence(Qt::Key_F3)));

    QMenu* settings = menuBar()->addMenu(q("Настройки"));
    settings->addAction(makeAction("BeforClick", "&Повторить", &TMainForm::BeforClick));
    settings->addAction(makeAction("SelTypeClick", "&Тип", &TMainForm::SelTypeClick));
    settings->addAction(makeAction("ProgClick", "&Программировать", &TMainForm::ProgClick));
    settings->addAction(makeAction("IDClick", "&Автоопределение", &TMainForm::IDClick));

    QMenu* system = menuBar()->addMenu(q("&Система"));
    system->addAction(makeAction("SystemClick", "Статус", &TMainForm::SystemClick));
    system->addSeparator();
    QAction* box = makeAction("ConnectBoxClick", "Подключить программатор", &TMainForm::ConnectBoxClick);
    QAction* simulated =
        makeAction("ConnectSimulatorClick", "Подключить имитатор", &TMainForm::ConnectSimulatorClick);
    system->addAction(box);
    system->addAction(simulated);
    connect(system, &QMenu::aboutToShow, this, [this, box, simulated] {
        box->setEnabled(!link_.Connected());
        simulated->setEnabled(!link_.Connected());
    });

    QMenu* window = menuBar()->addMenu(q("&Окно"));
    QAction* tile = window->addAction(q("&Мозаикой"), mdiArea_, &QMdiArea::tileSubWindows);
    tile->setObjectName("Tile");
    QAction* cascade = window->addAction(q("&Каскадом"), mdiArea_, &QMdiArea::cascadeSubWindows);
    cascade->setObjectName("Cascade");
    QAction* arrange = window->addAction(q("&Все"), this, [this] {
        // Minimised windows line up again along the bottom.
        for (QMdiSubWindow* sub : mdiArea_->subWindowList())
            if (sub->isMinimized())
                sub->showMinimized();
    });
    arrange->setObjectName("ArrangeIcons");
    window->addSeparator();
    window->addAction(makeAction("FileWin1Click", "&Файл", &TMainForm::FileNew));
    window->addAction(makeAction("N5Click", "&Закрыть окно", &TMainForm::N5Click));
    window->addAction(makeAction("D1Click", "&Открыть окно", &TMainForm::D1Click));

    QMenu* help = menuBar()->addMenu(q("&Помощь"));
    action("tb:HelpSearch")->setShortcut(QKeySequence(Qt::Key_F1));
    help->addSeparator();
    help->addAction(makeAction("HelpAbout", "&О программе...", &TMainForm::HelpAbout));
}

void TMainForm::showMaximizedOnScreen()
{
    // Without a window manager "maximised" is only a wish: take the screen's area too.
    if (QScreen* screen = QGuiApplication::primaryScreen())
        setGeometry(screen->availableGeometry());
    showMaximized();
}

void TMainForm::createSystemWindow()
{
    if (!ep3_)
        ep3_ = new TEp3(link_, this);
}

void TMainForm::createDialogs(std::unique_ptr<FileDialogs> dialogs)
{
    if (inputHexDlg_)
        return;
    fileDialogs_ = dialogs ? std::move(dialogs) : std::make_unique<QtFileDialogs>(prompt_, this);
    fileCommands_ = std::make_unique<FileCommands>(session, *this, *fileDialogs_, prompt_, buffer_);
    inputHexDlg_ = new TInputHexDlg([this] { return hexPage(); }, prompt_, this);
    findDialog_ = new FindDialog(this);
    replaceDialog_ = new ReplaceDialog(this);
    connect(findDialog_, &FindDialog::findNext, this, &TMainForm::OnFind);
    connect(replaceDialog_, &ReplaceDialog::findNext, this, &TMainForm::OnRePlaceFind);
    connect(replaceDialog_, &ReplaceDialog::replace, this, &TMainForm::OnRePlace);
}

void TMainForm::createTypeSelection()
{
    typeSelection_ = std::make_unique<TypeSelection>(link_, *this, families_);
    typeSelection_->programDir = session.ProgramDir;
    typeSelection_->dataDirs = TypeSelection::defaultDataDirs();
    typeSelection_->onChanged = [this] { refreshTypeBar(); };
    typeSelection_->onWindowShown = [this](FamilyWindow& window, bool created) {
        familyWindowShown(window, created);
    };
    typeDlg_ = new TTypeDlg(*typeSelection_, this);
    LoadConfig();
    if (!session.FileName.empty() && fileCommands_)
        fileCommands_->ReloadDataFile();
    markBufferSaved();
    typeSelection_->startUp();
    refreshTypeBar();
}

// --- configuration ---------------------------------------------------------------------

bool TMainForm::LoadConfig()
{
    SavedChoice choice;
    choice.FileName = session.FileName;
    if (pontvex::LoadConfig(configPath(), mainCaption(), choice, prompt_) != ConfigLoad::Loaded)
        return false;
    setFileName(choice.FileName);
    if (typeSelection_)
        typeSelection_->restore(choice);
    return true;
}

bool TMainForm::SaveConfig()
{
    SavedChoice choice = typeSelection_ ? typeSelection_->saved() : SavedChoice{};
    choice.FileName = session.FileName;
    return pontvex::SaveConfig(configPath(), mainCaption(), choice, prompt_);
}

void TMainForm::setFileName(const std::string& name)
{
    session.FileName = name;
    FileLabel->setText(q("Файл:") + " " +
                       QString::fromStdString(std::filesystem::path(name).filename().string()));
    FileLabel->setToolTip(QString::fromStdString(name));
    hexCaption_ = name;
    refreshChangedMark();
}

uint64_t TMainForm::bufferDigest() const
{
    return std::hash<std::string_view>{}(
        std::string_view(reinterpret_cast<const char*>(buffer_.data()), DeviceBuffer::kSize));
}

bool TMainForm::bufferChanged() const
{
    return bufferDigest() != savedDigest_;
}

void TMainForm::markBufferSaved()
{
    savedDigest_ = bufferDigest();
    refreshChangedMark();
}

void TMainForm::refreshChangedMark()
{
    if (fileWinFrame_)
        fileWinFrame_->setWindowTitle(QString::fromStdString(hexCaption_) + (bufferChanged() ? "*" : ""));
}

FamilyWindow* TMainForm::runningFamily() const
{
    if (!typeSelection_)
        return nullptr;
    for (FamilyWindow* family : typeSelection_->windows())
        if (family && family->running())
            return family;
    return nullptr;
}

void TMainForm::commandFinished()
{
    refreshChangedMark();
    raiseFamilyWindow();
    if (closeWhenStopped_ && !runningFamily()) {
        closeWhenStopped_ = false;
        // After the command's handler has returned, not inside it.
        QTimer::singleShot(0, this, [this] { close(); });
    }
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    if (FamilyWindow* family = runningFamily()) {
        family->requestStop();
        closeWhenStopped_ = true;
        event->ignore();
        return;
    }
    if (bufferChanged()) {
        switch (prompt_.askYesNoCancel("Буфер изменён. Сохранить?")) {
        case QtPrompt::Answer::Yes:
            SaveBufClick();
            if (bufferChanged()) { // the save was cancelled or failed: stay
                event->ignore();
                return;
            }
            break;
        case QtPrompt::Answer::No:
            break;
        case QtPrompt::Answer::Cancel:
            event->ignore();
            return;
        }
    }
    SaveConfig();
    try {
        link_.PowerDown();
        link_.Flush();
    } catch (const LinkLost&) {
        // Told already; nothing is left on the socket to switch off.
    }
    if (afterClose)
        afterClose();
    event->accept();
    emit closed();
}

// --- type bar and chip list -----------------------------------------------------------

void TMainForm::refreshTypeBar()
{
    if (!typeSelection_ || refreshing_)
        return;
    refreshing_ = true;
    const TypeSelection& t = *typeSelection_;
    ComboBox2->setCurrentIndex(t.mainCategory);
    ComboBox1->clear();
    for (const auto& group : t.groupList)
        ComboBox1->addItem(QString::fromStdString(group));
    ComboBox1->setCurrentIndex(t.groupSelection);
    ComboBox1->setEditText(QString::fromStdString(t.mainGroupText));
    ListBox1->clear();
    for (const auto& chip : t.chipList)
        ListBox1->addItem(QString::fromStdString(chip));
    ListBox1->setCurrentRow(t.mainChipSelection >= 0 ? t.mainChipSelection : t.chipSelection);
    Label2->setText(QString::fromStdString(t.typeLabel));
    StatusPanel[2]->setText(QString::fromStdString(t.statusGroup));
    StatusPanel[3]->setText(QString::fromStdString(t.statusChip));
    refreshing_ = false;
}

void TMainForm::ComboBox2Change(int index)
{
    if (typeSelection_)
        typeSelection_->chooseCategory(std::max(index, 0));
}

void TMainForm::ComboBox1Change(int index)
{
    if (typeSelection_)
        typeSelection_->mainGroupChanged(std::max(index, 0));
}

void TMainForm::List1OnDbClick()
{
    if (typeSelection_)
        typeSelection_->mainChipActivated(ListBox1->currentRow());
}

void TMainForm::List1KeyDown()
{
    List1OnDbClick();
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == typeBar_ && event->type() == QEvent::MouseButtonDblClick) {
        TestKelm();
        return true;
    }
    if (watched == ListBox1 && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            List1KeyDown();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

// --- hex view -------------------------------------------------------------------------------

HexPage* TMainForm::hexPage() const
{
    return fileWin_ ? &fileWin_->page() : nullptr;
}

bool TMainForm::ensureHexView()
{
    closePldView();
    if (closeJedecView)
        closeJedecView();
    if (fileWin_)
        return false;
    auto* view = new TFileWin(buffer_);
    fileWin_ = view;
    fileWinFrame_ = addBufferView(view);
    connect(view, &TFileWin::rendered, this, &TMainForm::refreshChangedMark);
    return true;
}

QMdiSubWindow* TMainForm::addBufferView(TBufferView* view)
{
    QMdiSubWindow* frame = mdiArea_->addSubWindow(view);
    frame->setAttribute(Qt::WA_DeleteOnClose);
    frame->setWindowIcon(toolIcon(ToolPicture::Fill));
    if (!view->windowTitle().isEmpty())
        frame->setWindowTitle(view->windowTitle());
    connect(view, &TBufferView::FillClick, this, &TMainForm::MainFillClick);
    connect(view, &TBufferView::MaxAddrClick, this, &TMainForm::N11Click);
    frame->resize(frame->sizeHint());
    return frame;
}

void TMainForm::closePldView()
{
    if (pldWinFrame_)
        delete pldWinFrame_.data();
    pldWin_ = nullptr;
}

bool TMainForm::ensurePldView()
{
    if (fileWinFrame_)
        delete fileWinFrame_.data();
    fileWin_ = nullptr;
    if (closeJedecView)
        closeJedecView();
    if (pldWin_)
        return false;
    pldWin_ = new TPldFileW(buffer_);
    pldWinFrame_ = addBufferView(pldWin_);
    return true;
}

bool TMainForm::openJedecView(const std::string& caption)
{
    ensurePldView();
    pldWinFrame_->setWindowTitle(QString::fromStdString(caption));
    return true;
}

void TMainForm::showJedecMap(int64_t mapSize)
{
    if (!pldWin_)
        return;
    setFileName(session.FileName);
    pldWin_->ShowMap();
    pldWin_->page().MapSize = mapSize;
    pldWinFrame_->show();
    mdiArea_->setActiveSubWindow(pldWinFrame_);
}

bool TMainForm::openPldView(int rowLength, int rowCount)
{
    // The map's contents are the family's business, as for HeadlessHost.
    ensurePldView();
    pldWin_->page().setGeometry(rowLength, rowCount);
    pldWin_->ShowMap();
    pldWinFrame_->show();
    return true;
}

std::string TMainForm::chosenDevice() const
{
    return typeSelection_ ? typeSelection_->chip.ChipName : std::string();
}

void TMainForm::FileNew()
{
    if (ensureHexView()) {
        setFileName("noname.bin");
        fileWin_->page().EndAddress = 0xFFFF;
        fileWin_->ShowPage();
    }
    fileWinFrame_->show();
    mdiArea_->setActiveSubWindow(fileWinFrame_);
}

void TMainForm::showLoadedImage(const std::string& caption, int64_t endAddress)
{
    ensureHexView();
    savedDigest_ = bufferDigest();
    setFileName(session.FileName);
    hexCaption_ = caption;
    refreshChangedMark();
    if (onImageShown_)
        onImageShown_();
    fileWin_->page().EndAddress = endAddress;
    fileWin_->page().PageStart = 0;
    fileWin_->ShowPage();
    fileWinFrame_->show();
    mdiArea_->setActiveSubWindow(fileWinFrame_);
}

int64_t TMainForm::endAddress() const
{
    return fileWin_ ? fileWin_->page().EndAddress : endAddressWithoutView_;
}

void TMainForm::setEndAddress(int64_t address)
{
    if (fileWin_)
        fileWin_->page().EndAddress = address;
    else
        endAddressWithoutView_ = address;
}

void TMainForm::showPage()
{
    if (fileWin_)
        fileWin_->ShowPage();
    refreshChangedMark();
}

void TMainForm::SpeedButton8Click()
{
    if (fileWin_)
        fileWin_->page().pageDownButton();
}

void TMainForm::SpeedButton10Click()
{
    if (fileWin_)
        fileWin_->page().pageUpButton();
}

// --- editing commands ---------------------------------------------------------------------

void TMainForm::MainFillClick()
{
    if (fileWin_ && inputHexDlg_)
        inputHexDlg_->showMode(FillMode::Fill);
}

void TMainForm::N11Click()
{
    if (fileWin_ && inputHexDlg_)
        inputHexDlg_->showMode(FillMode::Size);
}

namespace {

// Brings a modeless dialog up in front, if it exists.
void bringUp(QDialog* dialog)
{
    if (!dialog)
        return;
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}

} // namespace

void TMainForm::S1Click()
{
    bringUp(findDialog_);
}

void TMainForm::S2Click()
{
    OnFind();
}

void TMainForm::R1Click()
{
    bringUp(replaceDialog_);
}

void TMainForm::OnFind()
{
    if (findDialog_)
        pontvex::OnFind(hexPage(), findDialog_->findText().toStdString(), prompt_,
                        [] { QApplication::beep(); });
}

void TMainForm::OnRePlaceFind()
{
    if (replaceDialog_)
        pontvex::OnRePlaceFind(hexPage(), replaceDialog_->findText().toStdString(), prompt_,
                               [] { QApplication::beep(); });
}

void TMainForm::OnRePlace()
{
    if (replaceDialog_)
        pontvex::OnRePlace(hexPage(), replaceDialog_->replaceText().toStdString(), prompt_);
}

// --- file commands ----------------------------------------------------------------------------

void TMainForm::LoadFileClick()
{
    if (!fileCommands_)
        return;
    bool loaded = false;
    const auto shown = onImageShown_;
    onImageShown_ = [&loaded] { loaded = true; };
    fileCommands_->LoadFileClick();
    onImageShown_ = shown;
    setFileName(session.FileName);
    FamilyWindow* family = typeSelection_ ? typeSelection_->currentWindow() : nullptr;
    if (loaded && family && family->chipBytes() > 0 && session.LoadEnd + 1 > family->chipBytes())
        family->note(chipSizeText("Файл больше микросхемы", family->chipBytes()));
    raiseFamilyWindow();
}

void TMainForm::raiseFamilyWindow()
{
    // The chosen chip's window stays in front of the main window and the hex view.
    FamilyWindow* family = typeSelection_ ? typeSelection_->currentWindow() : nullptr;
    FamilyWindowWidget* widget = family ? familyWidget(*family) : nullptr;
    if (widget && widget->isVisible())
        widget->raise();
}

void TMainForm::SaveBufClick()
{
    if (!fileCommands_)
        return;
    const int writes = fileCommands_->writes();
    fileCommands_->SaveBufClick();
    if (fileCommands_->writes() != writes)
        savedDigest_ = bufferDigest();
    setFileName(session.FileName);
}

void TMainForm::FilePrint()
{
    QMdiSubWindow* active = mdiArea_->activeSubWindow();
    if (!active)
        return;
    QString text;
    if (auto* view = qobject_cast<TFileWin*>(active->widget()))
        text = view->pageText();
    else if (auto* edit = active->widget()->findChild<QTextEdit*>())
        text = edit->toPlainText();
    else
        return;
    QPrinter printer;
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    QTextDocument document;
    document.setDefaultFont(QFont("DejaVu Sans Mono", 9));
    document.setPlainText(text);
    document.setMetaInformation(QTextDocument::DocumentTitle, QString());
    document.print(&printer);
}

// --- chip commands ---------------------------------------------------------------------------------

void TMainForm::SelTypeClick()
{
    if (!typeSelection_)
        return;
    typeSelection_->Radio1OnClick();
    typeDlg_->showCentred();
}

void TMainForm::ProgClick()
{
    if (!typeSelection_)
        return;
    if (ListBox1->currentRow() != typeSelection_->chipSelection) {
        prompt_.showMessage("必需双击鼠标才能改变Тип:");
        refreshing_ = true;
        ListBox1->setCurrentRow(typeSelection_->chipSelection);
        refreshing_ = false;
    }
    typeSelection_->DispatchAlgorithm();
}

void TMainForm::BeforClick()
{
    FileNew();
    mdiArea_->tileSubWindows();
    LoadConfig();
    if (typeSelection_)
        typeSelection_->Radio1OnClick();
    ProgClick();
}

void TMainForm::IDClick()
{
    if (!typeSelection_)
        return;
    if (typeSelection_->categorySelection > 1) {
        prompt_.showMessage("Эта команда только для (27xxx,28xxx,29xxx) EPROM  ");
        return;
    }
    typeSelection_->ReadIdCode();
    // The ID reader leaves its 12.5 V level selected; the socket rests at 0 V.
    try {
        if (link_.Connected() && (link_.shadows().pinLatch[6] & 0x0F) != 0x0F) {
            link_.SetVppVoltage(0);
            link_.Flush();
        }
    } catch (const LinkLost&) {
    }
    char text[64];
    std::snprintf(text, sizeof text, "Код ИД   = %02x,    Тип      = %02x", typeSelection_->IdBytes[0],
                  typeSelection_->IdBytes[1]);
    prompt_.showMessage(text);
}

std::string TMainForm::readIdCode()
{
    if (!typeSelection_)
        return {};
    typeSelection_->ReadIdCode();
    return typeSelection_->idField;
}

void TMainForm::SystemClick()
{
    createSystemWindow();
    if (!ep3_->isVisible()) // test results stay while the window is open
        ep3_->refreshStatus();
    ep3_->show();
    ep3_->raise();
    ep3_->activateWindow();
    ep3_->setFocus();
}

void TMainForm::ConnectBoxClick()
{
    if (!link_.Connected() && connectBox)
        connectBox();
}

void TMainForm::ConnectSimulatorClick()
{
    if (!link_.Connected() && connectSimulator)
        connectSimulator();
}

void TMainForm::CountSuccess(int flag)
{
    if (flag == 0)
        return;
    QApplication::beep();
    bool number = false;
    const long long count = Counter->text().trimmed().toLongLong(&number);
    Counter->setText(QString::number((number ? count : 0) + 1));
}

FamilyWindowWidget* TMainForm::familyWidget(const FamilyWindow& family) const
{
    const auto it = familyWidgets_.find(&family);
    return it == familyWidgets_.end() ? nullptr : it->second.data();
}

void TMainForm::familyWindowShown(FamilyWindow& window, bool created)
{
    QPointer<FamilyWindowWidget>& widget = familyWidgets_[&window];
    if (created || !widget) {
        // A top-level window of its own, kept for the rest of the run.
        widget = new FamilyWindowWidget(window, this);
        connect(widget, &FamilyWindowWidget::commandFinished, this, &TMainForm::commandFinished);
        widget->setWindowFlag(Qt::Window);
        // At the right edge of the screen, below the bars, clear of the hex view.
        widget->adjustSize();
        if (QScreen* screen = QGuiApplication::primaryScreen()) {
            const QRect area = screen->availableGeometry();
            widget->move(area.right() - widget->frameGeometry().width() - 8,
                         area.top() + std::min(160, std::max(0, area.height() - widget->height() - 40)));
        }
    }
    // Only the chosen chip's window stays on screen.
    for (auto& [other, otherWidget] : familyWidgets_)
        if (other != &window && otherWidget && otherWidget->isVisible())
            otherWidget->hide();
    widget->refresh();
    widget->show();
    widget->raise();
    widget->activateWindow();
    if (onFamilyShown)
        onFamilyShown(window, created);
}

void TMainForm::familyChanged(FamilyWindow& family)
{
    if (FamilyWindowWidget* widget = familyWidget(family))
        widget->refresh();
    if (!family.running()) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        return;
    }
    // Escape and close requests get through to stop the command; no other input does.
    BusyInput busy(family);
    QCoreApplication::processEvents();
}

void TMainForm::TestKelm()
{
    if (openTestWindow)
        openTestWindow();
}

void TMainForm::N5Click()
{
    ChipPanel->setFixedWidth(0);
}

void TMainForm::D1Click()
{
    ChipPanel->setFixedWidth(kChipPanelWidth);
}

// --- help -----------------------------------------------------------------------------------------------

void TMainForm::HelpSearch()
{
    // No help file ships with the program; the keyword search has nothing to show.
    prompt_.showMessage(std::string("Новые версии программы и поддержка: ") + kWebAddress);
}

void TMainForm::HelpAbout()
{
    prompt_.showMessage(std::string("Программатор Pontvex55: ") + kWebAddress);
}

} // namespace pontvex

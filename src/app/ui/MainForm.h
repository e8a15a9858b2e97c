#pragma once

#include "app/ui/QtPrompt.h"
#include "catalogue/FamilyWindow.h"
#include "catalogue/TypeSelection.h"
#include "core/Config.h"
#include "files/FileCommands.h"
#include "files/FileDialogs.h"
#include "hexview/ui/FileWin.h"
#include "hexview/ui/PldFileW.h"

#include <QMainWindow>
#include <QMdiSubWindow>
#include <QPointer>

#include <functional>
#include <map>
#include <memory>
#include <string>

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMdiArea;

class QToolBar;

namespace pontvex {

class FamilyWindowWidget;
class FindDialog;
class ReplaceDialog;
class TTypeDlg;
class TEp3;
class TInputHexDlg;

// The main window: tool bar, type bar, chip list, status bar, menus and the
// hex view as its child window. It is the host the family windows call for
// the hex view, the counter, the ID reader and the user.
class TMainForm : public QMainWindow, public FamilyHost, public ImageViews {
    Q_OBJECT
public:
    // link, buffer and families belong to main() and outlive the window.
    TMainForm(ProgrammerLink& link, DeviceBuffer& buffer, const FamilyRegistry& families,
              QWidget* parent = nullptr);
    ~TMainForm() override;

    // --- fields -----------------------------------------------------------------
    // FileName, ProgramDir (the working directory with "/" at the end),
    // LoadStart and LoadEnd, as the file commands read and set them.
    FileSession session;
    const std::string& FileName() const { return session.FileName; }
    std::string configPath() const { return session.ProgramDir + kConfigFileName; }

    ProgrammerLink& link() { return link_; }
    QtPrompt& qtPrompt() { return prompt_; }
    TypeSelection* typeSelection() { return typeSelection_.get(); }
    TFileWin* fileWin() const { return fileWin_; }
    TPldFileW* pldFileW() const { return pldWin_; }
    QMdiSubWindow* fileWinFrame() const { return fileWinFrame_; }
    QMdiArea* mdiArea() const { return mdiArea_; }
    TInputHexDlg* inputHexDlg() const { return inputHexDlg_; }
    FindDialog* findDialog() const { return findDialog_; }
    ReplaceDialog* replaceDialog() const { return replaceDialog_; }
    TEp3* ep3() const { return ep3_; }
    TTypeDlg* typeDlg() const { return typeDlg_; }
    FileCommands* fileCommands() const { return fileCommands_.get(); }
    // The widget of a family window, once it was shown.
    FamilyWindowWidget* familyWidget(const FamilyWindow& family) const;
    // Menu items and tool bar buttons by handler name ("S1Click", "tb:LoadFileClick").
    QAction* action(const QString& name) const;

    QComboBox* ComboBox1 = nullptr; // group chooser
    QComboBox* ComboBox2 = nullptr; // category chooser
    QLabel* Label2 = nullptr;       // type label
    QLabel* FileLabel = nullptr;    // "Файл:" and the data file
    QLineEdit* Counter = nullptr;   // chips programmed by Auto
    QListWidget* ListBox1 = nullptr;
    QWidget* ChipPanel = nullptr;
    QLabel* StatusPanel[4] = {};

    // --- start-up ---------------------------------------------------------------
    // Step by step as the program comes up: the system parameters window (the
    // link's face), the hidden dialogs, then the type selection (configuration,
    // data file, lists, last chip).
    void createSystemWindow();
    // dialogs: the open, save and format dialogs (null: the platform's and TFileFormat).
    void createDialogs(std::unique_ptr<FileDialogs> dialogs = nullptr);
    void createTypeSelection();
    void showMaximizedOnScreen();

    // --- commands -----------------------------------------------------------------
    void FileNew();
    void LoadFileClick();
    void SaveBufClick();
    void FilePrint();
    void FileExit() { close(); }
    void MainFillClick();
    void N11Click();
    void S1Click();
    void S2Click();
    void R1Click();
    void BeforClick();
    void SelTypeClick();
    void ProgClick();
    void IDClick();
    void SystemClick();
    void ConnectBoxClick();
    void ConnectSimulatorClick();
    void SpeedButton8Click();
    void SpeedButton10Click();
    void HelpSearch();
    void HelpAbout();
    void CountSuccess(int flag);
    void TestKelm();
    void N5Click();
    void D1Click();
    void ComboBox1Change(int index);
    void ComboBox2Change(int index);
    void List1OnDbClick();
    void List1KeyDown();
    // The find dialog's and the replace dialog's buttons.
    void OnFind();
    void OnRePlaceFind();
    void OnRePlace();

    // Reads pontvex.CFG into FileName and the type selection; true when read.
    bool LoadConfig();
    bool SaveConfig();
    void setFileName(const std::string& name);

    // Whether the buffer differs from what was last loaded or saved.
    bool bufferChanged() const;
    // The buffer as it is now counts as saved (a load, a save, the start).
    void markBufferSaved();

    // --- FamilyHost -----------------------------------------------------------------
    UserPrompt& prompt() override { return prompt_; }
    DeviceBuffer& buffer() override { return buffer_; }
    void fileNew() override { FileNew(); }
    bool hexViewExists() const override { return fileWin_ != nullptr; }
    bool pldViewExists() const override { return jedecViewExists(); }
    bool openPldView(int rowLength, int rowCount) override;
    std::string dataFileName() const override { return FileName(); }
    int64_t endAddress() const override;
    void setEndAddress(int64_t address) override;
    void showPage() override;
    void countSuccess() override { CountSuccess(1); }
    std::string readIdCode() override;
    void familyChanged(FamilyWindow& family) override;

    // --- ImageViews ---------------------------------------------------------------------
    int64_t EndAddress() const override { return endAddress(); }
    void showLoadedImage(const std::string& caption, int64_t endAddress) override;
    bool jedecViewExists() const override { return pldWin_ || (jedecViewShown && jedecViewShown()); }
    bool openJedecView(const std::string& caption) override;
    int jedecRowLength() const override { return pldWin_ ? pldWin_->page().RowLength : 32; }
    int jedecRowCount() const override { return pldWin_ ? pldWin_->page().RowCount : 64; }
    void showJedecMap(int64_t mapSize) override;
    std::string chosenDevice() const override;

    // --- pieces other windows plug in ------------------------------------------------
    // Closes a JEDEC view that takes the hex view's place; tells whether one is shown.
    std::function<void()> closeJedecView;
    std::function<bool()> jedecViewShown;
    // A family window was shown (after its widget; the simulated socket follows the chip).
    std::function<void(FamilyWindow& window, bool created)> onFamilyShown;
    // The factory test window (double click on the type bar).
    std::function<void()> openTestWindow;
    // "Подключить программатор" and "Подключить имитатор" (offered while offline).
    std::function<void()> connectBox;
    std::function<void()> connectSimulator;
    // Runs on close after the configuration was saved and the socket powered down.
    std::function<void()> afterClose;

signals:
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildActions();
    void buildToolBars();
    void buildMenus();
    void buildCentre();
    void buildStatusBar();
    void refreshTypeBar();
    QAction* makeAction(const QString& name, const char* text, void (TMainForm::*handler)(),
                        const QKeySequence& shortcut = {});
    HexPage* hexPage() const;
    void familyWindowShown(FamilyWindow& window, bool created);
    // Makes sure the hex view exists; true when it was created now.
    bool ensureHexView();
    // A buffer view in its own sub-window, its menu wired to fill and size.
    QMdiSubWindow* addBufferView(TBufferView* view);
    // The hex view's caption: the data file, with "*" while the buffer has unsaved changes.
    void refreshChangedMark();
    uint64_t bufferDigest() const;
    FamilyWindow* runningFamily() const;
    void commandFinished();
    void raiseFamilyWindow();

    ProgrammerLink& link_;
    DeviceBuffer& buffer_;
    const FamilyRegistry& families_;
    QtPrompt prompt_;
    std::unique_ptr<TypeSelection> typeSelection_;
    QMdiArea* mdiArea_ = nullptr;
    QPointer<TFileWin> fileWin_;
    QPointer<QMdiSubWindow> fileWinFrame_;
    // The PLD view; it and the hex view exclude each other.
    QPointer<TPldFileW> pldWin_;
    QPointer<QMdiSubWindow> pldWinFrame_;
    bool ensurePldView();
    void closePldView();
    QToolBar* toolBar_ = nullptr;
    QToolBar* typeBar_ = nullptr;
    TInputHexDlg* inputHexDlg_ = nullptr;
    FindDialog* findDialog_ = nullptr;
    ReplaceDialog* replaceDialog_ = nullptr;
    TEp3* ep3_ = nullptr;
    TTypeDlg* typeDlg_ = nullptr;
    std::unique_ptr<FileDialogs> fileDialogs_;
    std::unique_ptr<FileCommands> fileCommands_;
    std::map<const FamilyWindow*, QPointer<FamilyWindowWidget>> familyWidgets_;
    int64_t endAddressWithoutView_ = 0xFFFF;
    bool refreshing_ = false;
    uint64_t savedDigest_ = 0;
    std::string hexCaption_;
    bool closeWhenStopped_ = false;
    std::function<void()> onImageShown_;
};

} // namespace pontvex

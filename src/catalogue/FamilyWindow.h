#pragma once

#include "core/DeviceBuffer.h"
#include "core/UserPrompt.h"
#include "link/ProgrammerLink.h"

#include <array>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace pontvex {

class FamilyWindow;

// The chosen chip, as the type dialog's OK stores it.
struct ChipSelection {
    std::string AlgorithmKey;
    int VariantIndex = 0;
    std::string ChipName;
    std::array<uint8_t, 3> ExpectedSignature{0, 0, 0};
};

// What a family window may ask of the rest of the program: the main window's
// commands, the hex view, the type dialog's ID reader and the user. The GUI,
// the CLI and tests each supply one.
class FamilyHost {
public:
    virtual ~FamilyHost() = default;
    virtual UserPrompt& prompt() = 0;
    // The chip image the family reads into and programs from.
    virtual DeviceBuffer& buffer() = 0;
    // The main window's new-file command: makes sure the hex view exists; the buffer stays.
    virtual void fileNew() = 0;
    // The two views of the buffer exclude each other: fileNew closes the PLD
    // view, openPldView the hex view.
    virtual bool hexViewExists() const = 0;
    virtual bool pldViewExists() const = 0;
    // Opens the PLD view (fuse map) with its row geometry and redraws it;
    // false where the program has no PLD view.
    virtual bool openPldView(int rowLength, int rowCount) = 0;
    // The current data file ("" when a side document has nowhere to live).
    virtual std::string dataFileName() const = 0;
    virtual int64_t endAddress() const = 0;
    virtual void setEndAddress(int64_t address) = 0;
    // The hex view's redraw.
    virtual void showPage() = 0;
    // Signal and one more programmed chip on the main window's counter.
    virtual void countSuccess() = 0;
    // The type dialog's ID reader; returns the text it put in its ID field.
    virtual std::string readIdCode() = 0;
    // The family's visible state changed (message, progress, controls): repaint
    // now. Called inside long loops, so a GUI lets its windows paint here.
    virtual void familyChanged(FamilyWindow& family) { (void)family; }
};

// What a control does, for the frame, the generic window and the CLI to find
// it by. Names and captions are the user's (scripts say `press blank`); the
// program's own logic never compares them.
enum class Role {
    None,
    // Commands (buttons and Auto steps).
    Read,
    Write,
    Verify,
    Blank,
    Erase,
    Lock,
    LockRead,
    Id,
    CheckSum,
    Auto,
    Exit,
    Config,     // write the configuration (the Auto step "Конфиг.")
    ReadConfig, // read the configuration back
    // Address fields.
    BufferStart,
    ChipStart,
    Length,
};

// A stable name of a role ("read", "buffer-start"), for listings.
const char* roleName(Role role);

// A command button of a family window.
struct ButtonControl {
    std::string name;      // control name, e.g. "ReadButton"
    std::string handler;   // handler name, e.g. "ReadClick"
    std::string caption;   // e.g. "Считать"
    std::string shortName; // stable name for scripts, e.g. "read"
    bool enabled = true;
    std::function<void()> run;
    Role role = Role::None;
};

// A radio group of family options ("Скорость, мсек/байт", ...).
struct OptionGroup {
    std::string name;
    std::string caption;
    std::string shortName;
    std::vector<std::string> items;
    int selected = 0;
    // Called after the user chose another item (a family rebuilds its configuration word).
    std::function<void()> changed;
};

// One step of the Auto sequence, in the order Auto runs them.
struct AutoStep {
    std::string name;
    std::string caption;
    std::string shortName;
    bool checked = true;
    bool enabled = true; // a disabled step is shown greyed and Auto skips it
    std::function<void()> run;
    Role role = Role::None;
};

// A hexadecimal edit field (BufferStart, ChipStart, LastAddress, ...).
struct AddressField {
    std::string name;
    std::string caption;
    std::string shortName;
    int64_t value = 0;
    std::string text;
    Role role = Role::None;
};

// A check box of family options ("WDT", "Sec", "PWRT3").
struct FlagControl {
    std::string name;
    std::string caption;
    std::string shortName;
    bool checked = false;
    bool enabled = true;
    // Called after the user changed it (a family rebuilds its configuration word).
    std::function<void()> changed;
};

// A number the user types: hexadecimal or decimal, inside a range. Input
// outside the range, or no number at all, is refused and the field keeps its value.
struct ValueField {
    enum class Base { Hex, Decimal };
    std::string name;
    std::string caption;
    std::string shortName;
    Base base = Base::Hex;
    int64_t minimum = 0;
    int64_t maximum = 0xFFFF;
    int digits = 0; // shown with at least this many digits ("%04x" for 4)
    int64_t value = 0;
    std::string text;
    bool enabled = true;
    std::function<void()> changed;
};

// Settings a family keeps beside the data file, in a file named after it with
// its own extension (".CON", ".EMC", ".MDT"): read when the window is
// created, written when it closes.
struct SideDocument {
    std::string extension;
    // Takes the file's bytes; a file that is not there is not read at all.
    std::function<void(const std::string& contents)> load;
    // The bytes to write.
    std::function<std::string()> save;
};

// How the last command ended. ErrorFlag, the name every family's Auto and
// the Parts read, is 0 for Ok and the failure's flag (1, or a family's own
// code such as 2 for an incomplete erase) otherwise.
enum class Outcome {
    Ok,
    Failed,   // the chip did not pass (not blank, differs, did not program)
    Refused,  // the command did not start: offline, no row, no hex view, a question answered No
    Stopped,  // the user stopped it ("Прервано!")
    LinkLost, // the box stopped answering
};

// Whether the supplies rest: no Vpp route, Vpp level 0, no Vcc route, the
// normal Vcc level selected, no clock routed. By the link's shadows, which
// hold what the box was last sent.
bool suppliesIdle(const ProgrammerLink& link);
// What is still on, for a test's failure message ("" when idle).
std::string suppliesOnText(const ProgrammerLink& link);

// Where a family keeps a side document: the data file name with its extension
// replaced (the part from the last "." after the last "/", "\\" or ":"), or the
// extension appended when the name has none.
std::string sideFilePath(const std::string& dataFile, const std::string& extension);

// "<what>: микросхема вмещает <bytes> байт", the size warnings' text.
std::string chipSizeText(const std::string& what, int64_t bytes);

// --- shared read loops ------------------------------------------------------------

// How a shared loop reads one chip address: the command queued for it and
// the reply bytes it owes (an I2C byte or a PIC word is several replies).
struct ReadUnit {
    std::vector<uint8_t> command{128}; // ReadDataByte
    int replies = 1;
    bool longCommand = false; // the box is busy until it answers (also IsLongCommand)
    // The value of one address from its replies; the first reply when empty.
    std::function<uint32_t(const uint8_t* replies)> value;
};

// The walk of a shared loop over the chip addresses first..last.
struct ReadRange {
    int64_t first = 0;
    int64_t last = -1; // nothing to read when last < first
    int64_t step = 1;  // addresses one unit covers (a 256-byte block command: 256)
    // Buffer offset of `first` (readRange stores, verifyRange compares there)
    // and the bytes of one unit's value in the buffer, low byte first.
    int64_t bufferStart = 0;
    int unitBytes = 1;
    // Bits of a value that count (a PIC word: 0x3FFF).
    uint32_t mask = 0xFFFFFFFF;
    ReadUnit unit;
    // Puts the address on the chip, before the unit of every address that is
    // a multiple of addressEvery. A setAddress that reads the box itself
    // (a port read-back) says so: the replies owed are taken first.
    std::function<void(uint32_t address)> setAddress;
    int64_t addressEvery = 256;
    bool setAddressReads = false;
    // After each unit is queued (an address counter the chip steps itself).
    std::function<void()> next;
    // Progress before the value of every address a with
    // (a - (fromFirst ? first : 0)) % every == phase, showing a + shift; at
    // the end of a loop that ran through, the last address (the first when
    // the range is empty).
    struct Progress {
        int64_t every = 256;
        int64_t phase = 0;
        int64_t shift = 0;
        bool fromFirst = false;
        bool atFailure = false; // also at the first bad address
    } progress;
    // verifyRange and blankRange: the message for the first bad address, a
    // printf format taking the address, the expected and the read value (as
    // unsigned ints; a format may use fewer).
    std::string failureFormat;
    // blankRange: a unit is blank when its value equals `erased`, or when
    // blankWhen says so.
    uint32_t erased = 0xFF;
    std::function<bool(uint32_t value)> blankWhen;
};

// The common shape of every chip family window. A family declares its
// controls in its constructor and implements its handlers over the socket
// driver; one generic window and the CLI render and drive the declaration.
//
// Every command runs through runCommand(): offline it only shows the
// connection-error text; otherwise one guard switches Vpp, Vcc, the raised
// Vcc level and the clock off on every exit path, including link loss and a
// stop request. Auto runs each ticked step through runCommand too.
//
// Every Read, Verify, Blank and CheckSum loop of a family, those built later
// included, queues its reads ahead of their replies (the shared loops
// readRange, verifyRange, blankRange and scanRange below) instead of waiting
// for each byte: behind a USB-serial adapter a lone reply waits out the
// adapter's latency timer, so a byte-by-byte loop runs at 16 ms a byte
// instead of the line's 0.1 ms. The box receives the same bytes in the same
// order; a loop that stops at its first bad byte has at most the link's reply
// window of reads of the next addresses in flight, and sends after the stop
// exactly what the plain loop would.
//
// A family's constructor, in short:
//
//   declareStandardControls({{Role::Read, [this] { ReadClick(); }},
//                            {Role::Blank, [this] { BlankClick(); }},
//                            {Role::Id, [this] { MFGClick(); }}, {Role::Auto}, {Role::Exit}});
//   declareAutoSteps({{Role::Blank, true}, {Role::Write, true}, {Role::Verify, false}});
//   declareStandardFields();
//   addFlag("CheckBox2", "WDT", "wdt", true);
//   addValue("Edit1", "ID", "id-word", ValueField::Base::Hex, 0, 0xFFFF, 4, 0xFFFF);
//   addSideDocument(".CON", load, save);
//   loadSideDocuments();
//
// and a Blank handler:
//
//   runCommand("Сравнение...     ", [this] {
//       link.RouteVcc(34);
//       ReadRange r;
//       r.last = mask;
//       r.setAddress = [this](uint32_t a) { SetAddress(a); };
//       r.failureFormat = "%06x: Ошибка!  ";
//       if (blankRange(r))
//           succeed("Прв.ОК");
//       link.RouteVcc(0);
//   });
class FamilyWindow {
public:
    FamilyWindow(std::string className, ProgrammerLink& link, FamilyHost& host);
    virtual ~FamilyWindow();
    FamilyWindow(const FamilyWindow&) = delete;
    FamilyWindow& operator=(const FamilyWindow&) = delete;

    const std::string& className() const { return className_; }

    // --- selection --------------------------------------------------------
    virtual void SelectChip(const ChipSelection& chip) = 0;
    virtual void FillVariantTable() = 0;
    // Real rows of the variant table (row 0, the placeholder, not counted).
    virtual int rowCount() const = 0;
    virtual std::string rowName(int index) const = 0;
    const ChipSelection& chip() const { return chip_; }
    // Whether a VariantIndex names a real row (row 0 is the placeholder). A family
    // whose index means something else (a series number) says so here.
    virtual bool variantValid(int index) const { return index >= 1 && index <= rowCount(); }
    // Socket pin of the chosen chip's Vcc, for the type dialog's ID reader to
    // power that package; 0 when the family does not say.
    virtual int packageVccPin() const { return 0; }
    // Bytes of the chosen chip, for the size warnings of a load and of the
    // Length field; 0 when the family has no byte size (a logic tester) or no
    // chip is chosen. A family sets it when a chip is selected.
    int64_t chipBytes() const { return chipBytes_; }
    // A note on the message line from outside a command (a load too large).
    void note(const std::string& text) { setMessage(text); }
    // Takes the chosen chip before SelectChip: stores it, forgets the old
    // chip's size, fills the table and refuses a variant that is no real row
    // (message, ErrorFlag = 1, false).
    bool acceptChip(const ChipSelection& chip);

    // --- visible state ------------------------------------------------------
    const std::string& message() const { return message_; }
    const std::string& caption() const { return caption_; }
    const std::string& chipNameText() const { return chipNameText_; }
    const std::string& idText() const { return idText_; }
    const std::string& addressText() const { return addressText_; }
    int64_t progressValue() const { return progressValue_; }
    int64_t progressMax() const { return progressMax_; }
    bool visible() const { return visible_; }

    // --- outcome ----------------------------------------------------------------
    // How the last command ended; its text is the message line.
    Outcome outcome() const { return outcome_; }
    // 0 after a good command, the failure's flag after any other.
    int ErrorFlag() const { return outcome_ == Outcome::Ok ? 0 : errorCode_; }
    // Forgets the last outcome (a caller that starts a command of its own).
    void resetOutcome() { setOutcome(Outcome::Ok); }
    // The link was lost outside a command (during a chip selection).
    void noteLinkLost() { setOutcome(Outcome::LinkLost); }

    // Asks the running command to stop at its next progress step: the
    // supplies go off, the message line says "Прервано!", ErrorFlag = 1 and
    // Auto runs no further step. Outside a command it does nothing.
    void requestStop();
    bool stopRequested() const { return stopRequested_; }
    // Whether a command or Auto is running now.
    bool running() const { return commandDepth_ > 0 || autoRunning_; }

    // --- declaration ----------------------------------------------------------
    std::vector<ButtonControl>& buttons() { return buttons_; }
    std::vector<OptionGroup>& options() { return options_; }
    std::vector<AutoStep>& autoSteps() { return autoSteps_; }
    std::vector<AddressField>& fields() { return fields_; }
    std::vector<FlagControl>& flags() { return flags_; }
    std::vector<ValueField>& values() { return values_; }
    const std::vector<SideDocument>& sideDocuments() const { return sideDocuments_; }
    const std::string& autoGroupCaption() const { return autoGroupCaption_; }

    // Finds a control by control name, handler name, caption or short name
    // (what a user or script calls it).
    ButtonControl* findButton(const std::string& which);
    OptionGroup* findOption(const std::string& which);
    AutoStep* findAutoStep(const std::string& which);
    AddressField* findField(const std::string& which);
    FlagControl* findFlag(const std::string& which);
    ValueField* findValue(const std::string& which);
    // Finds a control by what it does.
    ButtonControl* findButton(Role role);
    AutoStep* findAutoStep(Role role);
    AddressField* findField(Role role);
    // Presses a button (does nothing when it is disabled); false if none matches.
    bool press(const std::string& which);
    // Presses the button of a role; Auto and Exit are the frame's own when a
    // family does not declare them. False if the family has no such button.
    bool press(Role role);
    // Leaving an address field, or Enter in it: parse hexadecimal, write back with "%x".
    void editField(const std::string& which, const std::string& text);
    // A value field's typed text: false (the field keeps its value and shows it
    // again) when it is no number of the field's base or outside its range.
    bool editValue(const std::string& which, const std::string& text);
    // Ticks or clears a check box; false if there is none of that name.
    bool setFlag(const std::string& which, bool checked);
    // Chooses an item of an option group, as its radio buttons do; false if
    // there is no such group or item.
    bool selectOption(const std::string& which, int item);
    int option(const std::string& which) const;

    // --- side documents -----------------------------------------------------------
    // The side file of a document for the host's current data file, or ""
    // when there is none to use: no data file, or the data file itself has
    // that name (a data file is never taken for, nor overwritten by, settings).
    std::string sideDocumentPath(const SideDocument& document) const;
    // Reads every side document that exists (a family calls it at the end of
    // its constructor) and writes every one (close() does, after OnClose).
    void loadSideDocuments();
    void saveSideDocuments();

    // --- frame commands -----------------------------------------------------
    void Button1Click();   // Auto
    void MFGClick();       // ID
    void CancelBtnClick(); // Exit: the window stays alive for reuse
    virtual void OnClose();
    void show();
    // Another chip was chosen: the window stays alive but hidden, and its
    // commands do not run until it is shown again, so its algorithm never
    // reaches a chip it was not chosen for.
    void hide();
    bool hidden() const { return hidden_; }
    // Hides a visible window, runs OnClose and saves the side documents (a GUI
    // calls it from its close event).
    void close();

    // Whether the view Write programs from is open (Auto refuses a ticked
    // Write without it): the hex view, or the PLD view for fuse-map families.
    virtual bool writeSourceExists() const { return host.hexViewExists(); }

    // The text a command shows when the box is not connected.
    virtual std::string connectionErrorText() const { return "Ошб.соед!"; }

protected:
    // The host's prompt, but every question or message first sends what the
    // link still holds queued: the socket must be in the state the user is
    // asked about, not several bytes behind it.
    UserPrompt& prompt();

    // Declaration helpers for constructors.
    ButtonControl& addButton(std::string name, std::string handler, std::string caption,
                             std::string shortName, std::function<void()> run);
    ButtonControl& addButton(Role role, std::string name, std::string handler, std::string caption,
                             std::string shortName, std::function<void()> run);
    OptionGroup& addOption(std::string name, std::string caption, std::string shortName,
                           std::vector<std::string> items, int selected);
    AutoStep& addAutoStep(std::string name, std::string caption, std::string shortName, bool checked,
                          std::function<void()> run);
    AutoStep& addAutoStep(Role role, std::string name, std::string caption, std::string shortName,
                          bool checked, std::function<void()> run);
    AddressField& addField(std::string name, std::string caption, std::string shortName, int64_t value);
    AddressField& addField(Role role, std::string name, std::string caption, std::string shortName,
                           int64_t value);
    FlagControl& addFlag(std::string name, std::string caption, std::string shortName, bool checked);
    ValueField& addValue(std::string name, std::string caption, std::string shortName, ValueField::Base base,
                         int64_t minimum, int64_t maximum, int digits, int64_t value);
    SideDocument& addSideDocument(std::string extension, std::function<void(const std::string&)> load,
                                  std::function<std::string()> save);
    void setAutoGroupCaption(std::string caption) { autoGroupCaption_ = std::move(caption); }
    void setChipBytes(int64_t bytes) { chipBytes_ = bytes > 0 ? bytes : 0; }

    // The selection of a window whose chip is one address range from 0
    // (EPROMs, flash). The family's hook takes the row in use (0 when the
    // choice is refused) and gives, for a real row, what is set up from it.
    struct RangeChip {
        uint32_t addressMask = 0;
        int groundPin = 0;
        std::string readyText; // the message line when the box answers
        // The family's own set-up, run once the window is shown.
        std::function<void()> shown;
    };
    // Accepts the row and sets the chip size; then resets the socket and,
    // when the box answers, shows readyText, opens the hex view, shows the
    // window, sets caption, end address, ground and the idle socket, the
    // progress range and the address fields (Length: the whole chip).
    void selectRangeChip(const ChipSelection& chip, const std::function<RangeChip(int row)>& useRow);

    // The usual buttons by role: names, handler names, captions and short
    // names as the family windows carry them ("ReadButton", "ReadClick",
    // "Считать", "read"; "Blank", "BlankClick", "Проверить", "blank"; ...).
    // Auto and Exit run the frame's own handlers when run is empty; a caption
    // given here replaces the usual one.
    struct StandardControl {
        Role role;
        std::function<void()> run = {};
        std::string caption = {};
    };
    void declareStandardControls(std::initializer_list<StandardControl> controls);
    // The Auto steps in the order Auto runs them, named "AutoBlank", ...;
    // each runs the button of its role unless run is given.
    struct StandardStep {
        Role role;
        bool checked = true;
        std::function<void()> run = {};
        std::string caption = {};
    };
    void declareAutoSteps(std::initializer_list<StandardStep> steps);
    // BufferStart "Старт буф", ChipStart "Старт микр" and LastAddress "Длина".
    void declareStandardFields(int64_t length = 0x200);

    // Round or limit a typed field value (page-write families round BufferStart).
    virtual int64_t adjustField(const AddressField& field, int64_t value)
    {
        (void)field;
        return value;
    }
    void setFieldValue(const std::string& which, int64_t value);
    int64_t fieldValue(const std::string& which) const;
    void setFieldValue(Role role, int64_t value);
    int64_t fieldValue(Role role) const;
    void setValue(const std::string& which, int64_t value);
    int64_t value(const std::string& which) const;
    bool flag(const std::string& which) const;

    // Runs one command: offline refusal (ErrorFlag = 1), busy text, body, and
    // supplies off on every exit. A lost link ends the body and sets ErrorFlag;
    // so does a stop request, at the body's next progress step.
    void runCommand(const std::string& busyText, const std::function<void()>& body);

    void setMessage(const std::string& text);
    void setCaption(const std::string& text);
    void setChipNameText(const std::string& text);
    void setIdText(const std::string& text);
    // Progress update: bar 0..max, address field "%06x", repainted at once.
    // Inside a command it is where a stop request ends the command.
    void setProgressMax(int64_t max);
    void progress(int64_t address);
    // Digits of the address field: 6 ("%06x", memories) or 4 ("%04x", microcontrollers).
    void setAddressDigits(int digits);
    void changed();
    // The command's outcome, with its message line.
    void fail(const std::string& text, int flag = 1);
    void refuse(const std::string& text);
    void succeed(const std::string& text);
    void setOutcome(Outcome outcome, int flag = 1);

    // Switches Vpp routes, Vpp level, Vcc route, the raised Vcc level and the
    // clock off, sending only what the shadows say is still on (so a command
    // that already did it sends nothing more).
    void suppliesOff();

    // --- shared loops ---------------------------------------------------------
    // Walks a range with each unit queued ahead of its reply; take(a, value)
    // gets each address's value in order and stops the walk by returning
    // false. True when the walk ran through.
    bool scanRange(const ReadRange& range, const std::function<bool(uint32_t address, uint32_t value)>& take);
    // Reads first..last into the buffer from bufferStart.
    bool readRange(const ReadRange& range);
    // Compares first..last with the buffer from bufferStart; the first
    // difference fails the command with failureFormat.
    bool verifyRange(const ReadRange& range);
    // Checks that first..last is erased; the first other value fails the
    // command with failureFormat.
    bool blankRange(const ReadRange& range);

    ProgrammerLink& link;
    FamilyHost& host;
    DeviceBuffer& buffer;
    ChipSelection chip_;

private:
    class FlushingPrompt : public UserPrompt {
    public:
        explicit FlushingPrompt(FamilyWindow& window) : window_(window) {}
        bool askYesNo(const std::string& text) override;
        bool askYesCancel(const std::string& text) override;
        std::optional<std::string> askValue(const std::string& text,
                                            const std::string& defaultValue) override;
        void showMessage(const std::string& text) override;
        void showBox(const std::string& text) override;

    private:
        UserPrompt& flushed();
        FamilyWindow& window_;
    };
    FlushingPrompt flushingPrompt_{*this};
    class SuppliesGuard;
    struct StopRequested {};
    std::string className_;
    int commandDepth_ = 0;
    bool autoRunning_ = false;
    bool stopRequested_ = false;
    Outcome outcome_ = Outcome::Ok;
    int errorCode_ = 1;
    int addressDigits_ = 6;
    std::string message_, caption_, chipNameText_, idText_, addressText_;
    int64_t progressValue_ = 0, progressMax_ = 0;
    int64_t chipBytes_ = 0;
    bool visible_ = false;
    bool hidden_ = false;
    std::string autoGroupCaption_ = "Авто запись";
    std::vector<ButtonControl> buttons_;
    std::vector<OptionGroup> options_;
    std::vector<AutoStep> autoSteps_;
    std::vector<AddressField> fields_;
    std::vector<FlagControl> flags_;
    std::vector<ValueField> values_;
    std::vector<SideDocument> sideDocuments_;
};

} // namespace pontvex

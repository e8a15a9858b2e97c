#pragma once

#include "core/DeviceBuffer.h"
#include "core/UserPrompt.h"
#include "link/ProgrammerLink.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
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
    // False while a JEDEC view has replaced the hex view.
    virtual bool hexViewExists() const = 0;
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

// A command button of a family window.
struct ButtonControl {
    std::string name;      // control name, e.g. "ReadButton"
    std::string handler;   // handler name, e.g. "ReadClick"
    std::string caption;   // e.g. "Считать"
    std::string shortName; // stable name for scripts, e.g. "read"
    bool enabled = true;
    std::function<void()> run;
};

// A radio group of family options ("Скорость, мсек/байт", ...).
struct OptionGroup {
    std::string name;
    std::string caption;
    std::string shortName;
    std::vector<std::string> items;
    int selected = 0;
};

// One step of the Auto sequence, in the order Auto runs them.
struct AutoStep {
    std::string name;
    std::string caption;
    std::string shortName;
    bool checked = true;
    bool enabled = true; // a disabled step is shown greyed and Auto skips it
    std::function<void()> run;
};

// A hexadecimal edit field (BufferStart, ChipStart, LastAddress, ...).
struct AddressField {
    std::string name;
    std::string caption;
    std::string shortName;
    int64_t value = 0;
    std::string text;
};

// The common shape of every chip family window. A family declares its
// controls in its constructor and implements its handlers over the socket
// driver; one generic window and the CLI render and drive the declaration.
//
// Every command runs through runCommand(): offline it only shows the
// connection-error text; otherwise one guard switches Vpp, Vcc and the clock
// off on every exit path, including link loss.
//
// Every Read, Verify, Blank and CheckSum loop of a family, those built later
// included, queues its reads ahead of their replies (ReadAhead in
// link/ReadAhead.h, ReadDataBytes, QueueCommand for the firmware's block
// commands) instead of waiting for each byte: behind a USB-serial adapter a
// lone reply waits out the adapter's latency timer, so a byte-by-byte loop
// runs at 16 ms a byte instead of the line's 0.1 ms. The box receives the
// same bytes in the same order; a loop that stops at its first bad byte has
// at most the link's reply window of reads of the next addresses in flight,
// and sends after the stop exactly what the plain loop would.
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
    // Takes the chosen chip before SelectChip: stores it, fills the table and
    // refuses a variant that is no real row (message, ErrorFlag = 1, false).
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
    int ErrorFlag = 0;

    // --- declaration ----------------------------------------------------------
    std::vector<ButtonControl>& buttons() { return buttons_; }
    std::vector<OptionGroup>& options() { return options_; }
    std::vector<AutoStep>& autoSteps() { return autoSteps_; }
    std::vector<AddressField>& fields() { return fields_; }
    const std::string& autoGroupCaption() const { return autoGroupCaption_; }

    // Finds a button by control name, handler name, caption or short name.
    ButtonControl* findButton(const std::string& which);
    OptionGroup* findOption(const std::string& which);
    AutoStep* findAutoStep(const std::string& which);
    AddressField* findField(const std::string& which);
    // Presses a button (does nothing when it is disabled); false if none matches.
    bool press(const std::string& which);
    // Leaving an address field, or Enter in it: parse hexadecimal, write back with "%x".
    void editField(const std::string& which, const std::string& text);
    int option(const std::string& which) const;

    // --- frame commands -----------------------------------------------------
    void Button1Click();   // Auto
    void MFGClick();       // ID
    void CancelBtnClick(); // Exit: the window stays alive for reuse
    virtual void OnClose();
    void show();
    // Hides a visible window and runs OnClose (a GUI calls it from its close event).
    void close();

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
    OptionGroup& addOption(std::string name, std::string caption, std::string shortName,
                           std::vector<std::string> items, int selected);
    AutoStep& addAutoStep(std::string name, std::string caption, std::string shortName, bool checked,
                          std::function<void()> run);
    AddressField& addField(std::string name, std::string caption, std::string shortName, int64_t value);
    void setAutoGroupCaption(std::string caption) { autoGroupCaption_ = std::move(caption); }
    // Round or limit a typed field value (page-write families round BufferStart).
    virtual int64_t adjustField(const AddressField& field, int64_t value)
    {
        (void)field;
        return value;
    }
    void setFieldValue(const std::string& which, int64_t value);
    int64_t fieldValue(const std::string& which) const;

    // Runs one command: offline refusal (ErrorFlag = 1), busy text, body, and
    // supplies off on every exit. A lost link ends the body and sets ErrorFlag.
    void runCommand(const std::string& busyText, const std::function<void()>& body);

    void setMessage(const std::string& text);
    void setCaption(const std::string& text);
    void setChipNameText(const std::string& text);
    void setIdText(const std::string& text);
    // Progress update: bar 0..max, address field "%06x", repainted at once.
    void setProgressMax(int64_t max);
    void progress(int64_t address);
    // Digits of the address field: 6 ("%06x", memories) or 4 ("%04x", microcontrollers).
    void setAddressDigits(int digits);
    void changed();
    // Fails the running command: message with address, ErrorFlag = 1.
    void fail(const std::string& text);
    void succeed(const std::string& text);

    // Switches Vpp routes, Vpp level, Vcc route and clock off, sending only what
    // the shadows say is still on (so a command that already did it sends nothing more).
    void suppliesOff();

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
        void showMessage(const std::string& text) override;
        void showBox(const std::string& text) override;

    private:
        UserPrompt& flushed();
        FamilyWindow& window_;
    };
    FlushingPrompt flushingPrompt_{*this};
    class SuppliesGuard;
    std::string className_;
    int commandDepth_ = 0;
    int addressDigits_ = 6;
    std::string message_, caption_, chipNameText_, idText_, addressText_;
    int64_t progressValue_ = 0, progressMax_ = 0;
    bool visible_ = false;
    std::string autoGroupCaption_ = "Авто запись";
    std::vector<ButtonControl> buttons_;
    std::vector<OptionGroup> options_;
    std::vector<AutoStep> autoSteps_;
    std::vector<AddressField> fields_;
};

} // namespace pontvex

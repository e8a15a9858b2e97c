#pragma once

#include "files/DataFormats.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace pontvex {

class UserPrompt;

// State and handlers of the file format dialog TFileFormat: the format, the
// load mode, the two address fields and what is enabled. The dialog is made
// once and kept, so this object lives as long as the main window; the Qt
// dialog shows it and writes the user's changes back through the handlers.
class FileFormatModel {
public:
    // RadioGroup1: the first four characters of an item name its format.
    static const std::array<const char*, 5> FormatItems;
    static constexpr int kNoFormat = -1;

    std::string caption;            // the dialog's caption: FileName
    int formatIndex = 0;            // RadioGroup1; kNoFormat after Cancel
    int modeIndex = 0;              // RadioGroup2, a row of ModeTable
    std::string startText = "0";    // Edit1
    std::string endText = "ffffff"; // Edit2
    bool addressEnabled = true;     // Edit1 and Edit2
    bool modeEnabled = true;        // RadioGroup2
    uint32_t LaneMask = 0;
    uint32_t LaneValue = 0;
    int64_t LoadStart = 0; // the start field as read by OKBtnClick
    // Set by the save command: OK then also checks the end field.
    bool checkEnd = false;

    // ".BIN", ".HEX", ".JED", ".CDS", ".S19", or "" when no format is selected.
    std::string format() const;

    // Caption = fileName; selects the format named by its extension (".BIN"
    // when none matches; ".S19" for every S-record extension).
    void PrepareFormatDialog(const std::string& fileName);
    // Selects the format the file's content shows (HEX or S-record text); binary content changes nothing.
    void preselectContent(ContentFormat content);
    // A format was chosen: ".BIN" enables the address fields and the load mode group, any other disables
    // them.
    void OnRadioClick(int index);
    // A load mode was chosen.
    void OnClick2(int mode);
    // Reads the start field into LoadStart. With ".BIN" selected a field that
    // is no address inside the buffer is told to the user and OK is refused
    // (false: the dialog stays open).
    bool OKBtnClick(UserPrompt& prompt);
    // Clears the format selection.
    void CancelBtnClick();

    // The start and end fields read as hexadecimal: one to eight digits, blanks
    // around them allowed. The end field is 32-bit signed, so "ffffffff" is -1
    // (an empty range).
    std::optional<int64_t> startAddress() const;
    std::optional<int64_t> endAddress() const;
};

// The extension of a path from its last "." on (after the last path
// separator), or "" when it has none.
std::string fileExtension(const std::string& path);

// ASCII upper case.
std::string upperAscii(std::string text);

} // namespace pontvex

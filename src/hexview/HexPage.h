#pragma once

#include "core/DeviceBuffer.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace pontvex {

// Colour of one character of the page text.
enum class Ink : uint8_t { Black, Grey, Red };

// The hex view's page over DeviceBuffer: 16 lines of 73 characters, each line
// followed by CR LF so that line L starts at position 75 * L, as the caret
// arithmetic of the typing and replace commands assumes. The text is computed
// from the buffer by ShowPage; nothing of the buffer is copied beyond one page.
// A widget renders text(), ink() and the field texts, forwards the user's keys
// and caret moves, and repaints when onChanged fires.
class HexPage {
public:
    static constexpr int kLines = 16;
    static constexpr int kLineLength = 73;
    static constexpr int kLineStride = 75;
    static constexpr int kTextLength = kLines * kLineStride;
    static constexpr int kFirstDigitColumn = 9;
    static constexpr int kLastDigitColumn = 55;
    static constexpr int kLastByteColumn = 56;
    static constexpr int kCharColumn = 57;
    static constexpr int kPageBytes = 256;
    // The highest page start that still shows 256 bytes inside the buffer.
    static constexpr int64_t kLastPageStart = DeviceBuffer::kSize - kPageBytes;

    explicit HexPage(DeviceBuffer& buffer = DeviceBuffer::instance());

    DeviceBuffer& buffer() { return buffer_; }

    // --- fields ------------------------------------------------------------
    int64_t PageStart = 0;
    int64_t EndAddress = 0xFFFF;
    int64_t PageSpan = 255;
    int CursorLine = 0;
    int CursorColumn = 0;
    int64_t CursorAddress = 0;

    // One line of the page for the 16 bytes from address (73 characters).
    static std::string formatLine(const DeviceBuffer& buffer, uint32_t address);

    // --- page text and the fields beside it ----------------------------------
    const std::string& text() const { return text_; }
    Ink ink(int position) const;
    int selectionStart() const { return selectionStart_; }
    int selectionLength() const { return selectionLength_; }
    const std::string& checksumText() const { return checksumText_; }   // Edit2, "%8x"
    const std::string& cursorText() const { return cursorText_; }       // Edit1, "%x "
    const std::string& pageStartText() const { return pageStartText_; } // Edit3, "%x"
    bool pageStartYellow() const { return pageStartYellow_; }
    int scrollMaximum() const { return scrollMaximum_; }
    int scrollPosition() const { return scrollPosition_; }

    // --- commands -------------------------------------------------------------
    void ShowPage();
    // Moves the caret or selection; the cursor fields follow.
    void select(int start, int length);
    void OnSelectionChange();
    // A typed character: hexadecimal digits in the byte columns overwrite the byte.
    void OnKeyPress(char ch);
    enum class Key { Home, End, PageDown, PageUp };
    void OnRichKeyDown(Key key);
    // The main window's "PgDn" and "PgUp" buttons.
    void pageDownButton();
    void pageUpButton();
    // The page start field lost the focus or got Enter.
    void Edit3Exit(const std::string& text);
    // Scroll bar moved (no redraw yet) and scrolling ended.
    void ScrollBar1Change(int position);
    void ScrollBar1EndScroll() { ShowPage(); }

    // Overwrites count characters of the page text at position in red (the
    // replace command); the buffer is the caller's business.
    void overwriteText(int position, const std::string& characters, Ink ink);

    // Fired after every change of the text, the selection or the fields.
    std::function<void()> onChanged;

    static int lineOf(int position) { return position / kLineStride; }
    static int columnOf(int position) { return position % kLineStride; }

private:
    void changed();

    DeviceBuffer& buffer_;
    std::string text_;
    std::vector<Ink> ink_;
    int selectionStart_ = 0;
    int selectionLength_ = 0;
    std::string checksumText_;
    std::string cursorText_;
    std::string pageStartText_;
    bool pageStartYellow_ = false;
    int scrollMaximum_ = 0;
    int scrollPosition_ = 0;
};

} // namespace pontvex

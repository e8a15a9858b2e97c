#pragma once

#include "core/DeviceBuffer.h"
#include "hexview/HexPage.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace pontvex {

// The PLD view's fuse map over DeviceBuffer (one byte per fuse, bit 0 is the
// fuse): RowCount rows of RowLength fuses and six further rows for the extra
// fuses, shown as lines "L%04d " followed by the row's fuses. Lines end with
// "\n" alone so that a text position is line * (RowLength + 7) + column.
// A widget renders text() and ink(), forwards keys and caret moves, and
// repaints when onChanged fires.
class PldPage {
public:
    static constexpr int kFuseColumn = 6;
    static constexpr int kExtraRows = 6;

    explicit PldPage(DeviceBuffer& buffer);
    DeviceBuffer& buffer() { return buffer_; }

    int RowLength = 32;
    int RowCount = 64;
    int64_t MapSize = 0;
    int CaretLine = 0;
    int CaretColumn = 0;
    int64_t CaretFuse = 0;

    // Fuses of the whole map: the main array and the extra rows.
    int64_t mapFuses() const { return (int64_t{RowCount} + kExtraRows) * RowLength; }
    int lineStride() const { return RowLength + kFuseColumn + 1; }

    const std::string& text() const { return text_; }
    Ink ink(int position) const;
    int caretPosition() const { return caretPosition_; }
    const std::string& checksumText() const { return checksumText_; } // "Сумма", "%04x"
    const std::string& addressText() const { return addressText_; }   // "Адрес", "%d "

    // Sets the geometry (the GAL windows' chip tables) without drawing.
    void setGeometry(int rowLength, int rowCount);
    // Rebuilds the text and the checksum from the buffer; edits turn black.
    void ShowMap();
    // The caret moved to a text position.
    void OnSelectionChange(int position);
    // A typed '0' or '1' over a fuse column stores the fuse and marks it red.
    void OnKeyPress(char ch);
    // Home, End and shifted Page Up/Down redraw the map.
    void OnRichKeyDown(HexPage::Key key, bool shift);

    // 16-bit sum of the 8-fuse bytes of the main array, lowest fuse in bit 0.
    uint16_t checksum() const;

    std::function<void()> onChanged;

private:
    void changed();

    DeviceBuffer& buffer_;
    std::string text_;
    std::vector<Ink> ink_;
    int caretPosition_ = 0;
    std::string checksumText_;
    std::string addressText_;
};

} // namespace pontvex

#include "hexview/PldPage.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace pontvex {

PldPage::PldPage(DeviceBuffer& buffer) : buffer_(buffer) {}

Ink PldPage::ink(int position) const
{
    return position >= 0 && position < static_cast<int>(ink_.size()) ? ink_[static_cast<size_t>(position)]
                                                                     : Ink::Black;
}

void PldPage::setGeometry(int rowLength, int rowCount)
{
    // A map must fit the buffer; nonsense sizes fall back to the start-up ones.
    const bool fits = rowLength > 0 && rowCount >= 0 && rowLength <= 4096 && rowCount <= 4096;
    RowLength = fits ? rowLength : 32;
    RowCount = fits ? rowCount : 64;
}

uint16_t PldPage::checksum() const
{
    const int64_t fuses = int64_t{RowCount} * RowLength;
    uint32_t sum = 0;
    for (int64_t group = 0; group < fuses; group += 8) {
        uint32_t byte = 0;
        for (int64_t k = 0; k < 8 && group + k < fuses; ++k)
            byte |= static_cast<uint32_t>(buffer_.data()[group + k] & 1) << k;
        sum += byte;
    }
    return static_cast<uint16_t>(sum);
}

void PldPage::ShowMap()
{
    MapSize = mapFuses();
    text_.clear();
    char label[32];
    // The last row would reach MapSize itself, so it is left out: RowCount + 5
    // lines, as the map has always been shown.
    for (int line = 0; line <= RowCount + kExtraRows - 1; ++line) {
        const int64_t start = int64_t{line} * RowLength;
        if (start + RowLength >= MapSize)
            break;
        if (!text_.empty())
            text_ += '\n';
        std::snprintf(label, sizeof label, "L%04lld ", static_cast<long long>(start));
        text_ += label;
        for (int c = 0; c < RowLength; ++c)
            text_ += (buffer_.data()[start + c] & 1) ? '1' : '0';
    }
    ink_.assign(text_.size(), Ink::Black);
    char sum[8];
    std::snprintf(sum, sizeof sum, "%04x", checksum());
    checksumText_ = sum;
    OnSelectionChange(kFuseColumn);
}

void PldPage::OnSelectionChange(int position)
{
    caretPosition_ = std::clamp(position, 0, static_cast<int>(text_.size()));
    CaretLine = caretPosition_ / lineStride();
    CaretColumn = caretPosition_ % lineStride();
    CaretFuse = int64_t{CaretLine} * RowLength;
    if (CaretColumn >= kFuseColumn && CaretColumn < RowLength + kFuseColumn)
        CaretFuse += CaretColumn - kFuseColumn;
    addressText_ = std::to_string(CaretFuse) + " ";
    changed();
}

void PldPage::OnKeyPress(char ch)
{
    ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    if (ch != '0' && ch != '1')
        return;
    if (CaretColumn < kFuseColumn || CaretColumn >= RowLength + kFuseColumn ||
        caretPosition_ >= static_cast<int>(text_.size()))
        return;
    if (CaretFuse >= 0 && CaretFuse < int64_t{DeviceBuffer::kSize})
        buffer_.data()[CaretFuse] = static_cast<uint8_t>(ch);
    text_[static_cast<size_t>(caretPosition_)] = ch;
    ink_[static_cast<size_t>(caretPosition_)] = Ink::Red;
    // The caret moves on like a typed character.
    OnSelectionChange(caretPosition_ + 1);
}

void PldPage::OnRichKeyDown(HexPage::Key key, bool shift)
{
    const bool paging = key == HexPage::Key::PageDown || key == HexPage::Key::PageUp;
    if (!paging || shift)
        ShowMap();
}

void PldPage::changed()
{
    if (onChanged)
        onChanged();
}

} // namespace pontvex

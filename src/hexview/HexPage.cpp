#include "hexview/HexPage.h"

#include "core/Text.h"

#include <algorithm>
#include <cctype>

namespace pontvex {

namespace {

char shownCharacter(uint8_t value)
{
    return value >= 0x21 && value < 0x80 ? static_cast<char>(value) : '.';
}

} // namespace

HexPage::HexPage(DeviceBuffer& buffer)
    : buffer_(buffer), text_(kTextLength, ' '), ink_(kTextLength, Ink::Black)
{
    for (int line = 0; line < kLines; ++line) {
        text_[line * kLineStride + kLineLength] = '\r';
        text_[line * kLineStride + kLineLength + 1] = '\n';
    }
}

std::string HexPage::formatLine(const DeviceBuffer& buffer, uint32_t address)
{
    std::string line = format("%6x", address) + ":  ";
    std::string characters;
    for (uint32_t k = 0; k < 16; ++k) {
        const uint8_t value = buffer[address + k];
        line += format("%02x", value) + " ";
        characters += shownCharacter(value);
    }
    return line + characters;
}

Ink HexPage::ink(int position) const
{
    return position >= 0 && position < kTextLength ? ink_[static_cast<size_t>(position)] : Ink::Black;
}

void HexPage::changed()
{
    if (onChanged)
        onChanged();
}

void HexPage::ShowPage()
{
    PageStart = std::clamp<int64_t>(PageStart, 0, kLastPageStart);
    PageStart = PageStart / 16 * 16;
    PageSpan = 255;
    scrollMaximum_ = static_cast<int>(std::clamp<int64_t>(EndAddress, 0, DeviceBuffer::kLastAddress) / 256);
    scrollPosition_ = static_cast<int>(PageStart / 256);
    pageStartText_ = format("%llx", static_cast<unsigned long long>(PageStart));
    pageStartYellow_ = false;
    checksumText_ = format("%8x", buffer_.checksum(EndAddress));

    Ink ink = Ink::Black;
    for (int i = 0; i < kLines; ++i) {
        const int64_t address = PageStart + 16 * i;
        if (address >= EndAddress)
            ink = Ink::Grey; // stays grey for the rest of the page
        const std::string line = formatLine(buffer_, static_cast<uint32_t>(address));
        std::copy(line.begin(), line.end(), text_.begin() + i * kLineStride);
        std::fill_n(ink_.begin() + i * kLineStride, kLineStride, ink);
    }
    selectionStart_ = kFirstDigitColumn;
    selectionLength_ = 0;
    OnSelectionChange(); // also announces the change
}

void HexPage::select(int start, int length)
{
    selectionStart_ = std::clamp(start, 0, kTextLength);
    selectionLength_ = std::clamp(length, 0, kTextLength - selectionStart_);
    OnSelectionChange();
}

void HexPage::OnSelectionChange()
{
    CursorLine = lineOf(selectionStart_);
    CursorColumn = columnOf(selectionStart_);
    CursorAddress = PageStart + 16 * CursorLine;
    if (CursorColumn > kFirstDigitColumn && CursorColumn < kCharColumn)
        CursorAddress += (CursorColumn - kFirstDigitColumn) / 3;
    else if (CursorColumn >= kCharColumn && CursorColumn < kLineLength)
        CursorAddress += CursorColumn - kCharColumn;
    cursorText_ = format("%llx", static_cast<unsigned long long>(CursorAddress)) + " ";
    changed();
}

void HexPage::OnKeyPress(char ch)
{
    const char digit = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    if (!std::isxdigit(static_cast<unsigned char>(digit)) || CursorColumn < kFirstDigitColumn ||
        CursorColumn > kLastDigitColumn || selectionStart_ >= kTextLength) {
        select(selectionStart_, 0);
        return;
    }
    int p = selectionStart_;
    if (text_[static_cast<size_t>(p)] == ' ') {
        ++p;
        select(p, 0); // the cursor fields follow the skipped blank
    }
    text_[static_cast<size_t>(p)] = digit;
    ink_[static_cast<size_t>(p)] = Ink::Red;

    const int cell = p / 3 * 3;
    const uint64_t value = parseHex(text_.substr(static_cast<size_t>(cell), 2), hex::kSaturating).value_or(0);
    if (CursorAddress >= 0 && DeviceBuffer::contains(CursorAddress))
        buffer_[static_cast<uint32_t>(CursorAddress)] = static_cast<uint8_t>(value);

    const int shown = static_cast<int>(CursorAddress % 16) + kLineStride * (cell / kLineStride) + kCharColumn;
    text_[static_cast<size_t>(shown)] = shownCharacter(static_cast<uint8_t>(value));
    ink_[static_cast<size_t>(shown)] = Ink::Red;
    // A checksum that lags the typed bytes would be a wrong one.
    checksumText_ = format("%8x", buffer_.checksum(EndAddress));
    select(p + 1, 0);
}

void HexPage::OnRichKeyDown(Key key)
{
    switch (key) {
    case Key::Home:
        PageStart = 0;
        break;
    case Key::End:
        // The page whose last line holds EndAddress.
        PageStart = std::max<int64_t>(0, EndAddress / 16 * 16 - (PageSpan + 1 - 16));
        break;
    case Key::PageDown:
        if (PageStart + kPageBytes > kLastPageStart)
            return;
        PageStart += kPageBytes;
        break;
    case Key::PageUp:
        if (PageStart < PageSpan)
            return;
        PageStart -= kPageBytes;
        break;
    }
    ShowPage();
}

void HexPage::pageDownButton()
{
    // On while a byte of the image lies beyond this page (EndAddress included).
    if (PageStart + PageSpan < EndAddress && PageStart + kPageBytes <= kLastPageStart) {
        PageStart += kPageBytes;
        ShowPage();
    }
}

void HexPage::pageUpButton()
{
    OnRichKeyDown(Key::PageUp);
}

void HexPage::Edit3Exit(const std::string& text)
{
    if (const auto value = parseHex(text, hex::kSaturating))
        PageStart = static_cast<int64_t>(std::min<uint64_t>(*value, kLastPageStart)) / 16 * 16;
    ShowPage(); // text that is no number just brings the old start back
}

void HexPage::ScrollBar1Change(int position)
{
    PageStart = std::clamp<int64_t>(int64_t{position} * kPageBytes, 0, kLastPageStart);
    pageStartText_ = format("%llx", static_cast<unsigned long long>(PageStart));
    pageStartYellow_ = true;
    changed();
}

void HexPage::overwriteText(int position, const std::string& characters, Ink ink)
{
    for (size_t k = 0; k < characters.size(); ++k) {
        const int at = position + static_cast<int>(k);
        if (at < 0 || at >= kTextLength)
            break;
        text_[static_cast<size_t>(at)] = characters[k];
        ink_[static_cast<size_t>(at)] = ink;
    }
    changed();
}

} // namespace pontvex

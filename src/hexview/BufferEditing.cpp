#include "hexview/BufferEditing.h"

#include "core/Text.h"

#include <algorithm>

namespace pontvex {

namespace {

// The edit fields take a hexadecimal number with blanks around it and nothing
// else; values beyond 64 bits saturate.
bool readField(const std::string& text, const char* label, uint64_t& value, UserPrompt& prompt)
{
    if (const auto parsed = parseHex(text, hex::kSaturating)) {
        value = *parsed;
        return true;
    }
    prompt.showMessage(std::string("Поле \"") + label +
                       "\" должно содержать шестнадцатеричное число, а не \"" + text + "\"");
    return false;
}

// Finds what in the page text behind the selection; selects it when found.
bool searchPage(HexPage& page, const std::string& what)
{
    if (what.empty())
        return false;
    const int start = page.selectionLength() > 0 ? page.selectionStart() + page.selectionLength() : 0;
    const size_t found = page.text().find(what, static_cast<size_t>(start));
    if (found == std::string::npos)
        return false;
    page.select(static_cast<int>(found), static_cast<int>(what.size()));
    return true;
}

} // namespace

bool applyFill(HexPage* page, FillMode mode, const FillFields& fields, UserPrompt& prompt)
{
    if (page == nullptr)
        return false;
    uint64_t start = 0, end = 0, data = 0;
    if (mode == FillMode::Fill && !readField(fields.start, "Старт:", start, prompt))
        return false;
    if (!readField(fields.end, "Конец:", end, prompt))
        return false;
    if (mode == FillMode::Fill && !readField(fields.data, "Данные:", data, prompt))
        return false;
    // The low byte of a long data text is that of its last two digits.
    if (mode == FillMode::Fill) {
        const std::string trimmed = fields.data.substr(0, fields.data.find_last_not_of(" \t") + 1);
        data = parseHex(trimmed.size() > 2 ? trimmed.substr(trimmed.size() - 2) : trimmed, hex::kSaturating)
                   .value_or(0);
    }

    page->EndAddress = static_cast<int64_t>(std::min<uint64_t>(end, kFillEndLimit));
    if (mode == FillMode::Fill && start <= static_cast<uint64_t>(page->EndAddress)) {
        uint8_t* bytes = page->buffer().data();
        std::fill(bytes + start, bytes + page->EndAddress + 1, static_cast<uint8_t>(data));
    }
    page->ShowPage();
    return true;
}

namespace {

// A search from the dialogs: "not found" is said and beeped; a plain find also
// drops the selection, a replace's find keeps it.
bool findFromDialog(HexPage* page, const std::string& what, UserPrompt& prompt, const Beep& beep,
                    bool dropSelection)
{
    if (page == nullptr)
        return false;
    if (searchPage(*page, what))
        return true;
    prompt.showBox(kNotFoundText);
    if (dropSelection)
        page->select(0, 0);
    if (beep)
        beep();
    return false;
}

} // namespace

bool OnFind(HexPage* page, const std::string& what, UserPrompt& prompt, const Beep& beep)
{
    return findFromDialog(page, what, prompt, beep, true);
}

bool OnRePlaceFind(HexPage* page, const std::string& what, UserPrompt& prompt, const Beep& beep)
{
    return findFromDialog(page, what, prompt, beep, false);
}

bool OnRePlace(HexPage* page, const std::string& replacement, UserPrompt& prompt)
{
    if (page == nullptr)
        return false;
    if (replacement.size() != 2) {
        prompt.showBox(kNeedTwoDigitsText);
        return false;
    }
    const auto value = parseHex(replacement, hex::kSaturating);
    if (replacement.find_first_of(" \t") != std::string::npos || !value) {
        prompt.showBox(kNotHexText);
        return false;
    }
    if (page->CursorColumn < HexPage::kFirstDigitColumn || page->CursorColumn > HexPage::kLastByteColumn) {
        prompt.showBox(kBadPlaceText);
        return false;
    }
    if (!DeviceBuffer::contains(page->CursorAddress))
        return false;
    page->buffer()[static_cast<uint32_t>(page->CursorAddress)] = static_cast<uint8_t>(*value);
    // The digits go into the cell of the byte that was stored, wherever in the
    // cell the selection starts, so the page never shows another byte changed.
    const int line = HexPage::lineOf(page->selectionStart());
    const int byteIndex = static_cast<int>(page->CursorAddress % 16);
    const int cell = line * HexPage::kLineStride + HexPage::kFirstDigitColumn + 3 * byteIndex;
    const int selectionStart = page->selectionStart();
    const int selectionLength = page->selectionLength();
    const Ink ink = page->ink(cell);
    page->overwriteText(cell, replacement, ink);
    const auto v = static_cast<uint8_t>(*value);
    page->overwriteText(line * HexPage::kLineStride + HexPage::kCharColumn + byteIndex,
                        std::string(1, v >= 0x21 && v < 0x80 ? static_cast<char>(v) : '.'), ink);
    page->select(selectionStart, selectionLength);
    return true;
}

} // namespace pontvex

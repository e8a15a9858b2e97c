#pragma once

#include "core/UserPrompt.h"
#include "hexview/HexPage.h"

#include <functional>
#include <string>

namespace pontvex {

// The fill dialog's two modes: fill a range with a byte, or only set the
// last address of the image.
enum class FillMode { Fill, Size };

// The three fields of the fill dialog, as typed.
struct FillFields {
    std::string start = "0000";
    std::string end = "ffff";
    std::string data = "ff";
};

// The largest end address the fill dialog accepts; larger ends are cut to it.
inline constexpr int64_t kFillEndLimit = 0xFFFFF;

// OK of the fill dialog. Returns true when the dialog should close. Without a
// hex view (page == nullptr) nothing happens. A field that is no hexadecimal
// number is refused with a message naming it, and nothing changes.
bool applyFill(HexPage* page, FillMode mode, const FillFields& fields, UserPrompt& prompt);

using Beep = std::function<void()>;

// Find, repeat (F3) and the replace dialog's find-next: a case-sensitive
// search of the shown page text, starting behind the current selection (or at
// 0 without one). A match becomes the selection. Not found: the box
// "Не найден!" and a beep; find also moves the caret to 0.
bool OnFind(HexPage* page, const std::string& what, UserPrompt& prompt, const Beep& beep);
bool OnRePlaceFind(HexPage* page, const std::string& what, UserPrompt& prompt, const Beep& beep);

// The replace button: two hexadecimal digits stored at the byte under the
// caret and shown in its cell. Returns true when the byte was stored.
bool OnRePlace(HexPage* page, const std::string& replacement, UserPrompt& prompt);

inline constexpr const char* kNotFoundText = "Не найден!";
inline constexpr const char* kNeedTwoDigitsText = "Должно быть 2 BCD";
inline constexpr const char* kBadPlaceText = "Плох.ввод";
inline constexpr const char* kNotHexText = "Нужны две шестнадцатеричные цифры (0..9, a..f)";

} // namespace pontvex

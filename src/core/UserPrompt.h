#pragma once

#include <optional>
#include <string>

namespace pontvex {

// How the core asks and tells the user. The GUI supplies real message boxes,
// the CLI a terminal or fixed answers, tests a script.
class UserPrompt {
public:
    virtual ~UserPrompt() = default;
    // Confirmation box with Yes and No; true for Yes.
    virtual bool askYesNo(const std::string& text) = 0;
    // Confirmation box with Yes and Cancel; true for Yes.
    virtual bool askYesCancel(const std::string& text) = 0;
    // Asks for a number or a text, offering defaultValue; nothing when the
    // user cancels. A prompt that cannot ask cancels.
    virtual std::optional<std::string> askValue(const std::string& text, const std::string& defaultValue)
    {
        (void)text;
        (void)defaultValue;
        return std::nullopt;
    }
    // The toolkit's plain message window.
    virtual void showMessage(const std::string& text) = 0;
    // Message box with the caption " " and an OK button (file and list errors).
    virtual void showBox(const std::string& text) = 0;
};

} // namespace pontvex

#pragma once

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
    // The toolkit's plain message window.
    virtual void showMessage(const std::string& text) = 0;
    // Message box with the caption " " and an OK button (file and list errors).
    virtual void showBox(const std::string& text) = 0;
};

} // namespace pontvex

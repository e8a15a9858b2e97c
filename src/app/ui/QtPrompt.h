#pragma once

#include "core/UserPrompt.h"

#include <QPointer>
#include <QWidget>

#include <functional>
#include <optional>
#include <string>

namespace pontvex {

// Questions and messages as real message boxes. Tests that drive the
// widgets put an answerer in place of the boxes (they would block).
class QtPrompt : public UserPrompt {
public:
    enum class Kind { YesNo, YesCancel, YesNoCancel, Message, Box, Value };
    enum class Answer { Yes, No, Cancel };

    void setParent(QWidget* parent) { parent_ = parent; }

    bool askYesNo(const std::string& text) override;
    bool askYesCancel(const std::string& text) override;
    // An input box with the default filled in; Cancel gives nothing.
    std::optional<std::string> askValue(const std::string& text, const std::string& defaultValue) override;
    void showMessage(const std::string& text) override;
    void showBox(const std::string& text) override;
    // Yes, No and Cancel (Escape is Cancel).
    Answer askYesNoCancel(const std::string& text);

    // Replaces every box of every QtPrompt while set; returns the answer to
    // questions (for a value question: true takes the default, false cancels).
    static std::function<bool(Kind kind, const std::string& text)> answerer;
    // Replaces the input box alone while set: the typed value, or nothing for Cancel.
    static std::function<std::optional<std::string>(const std::string& text, const std::string& defaultValue)>
        valueAnswerer;

    // Answers askYesNoCancel while set (before answerer, whose true is Yes and false No).
    static std::function<Answer(const std::string& text)> choiceAnswerer;

private:
    QPointer<QWidget> parent_;
};

} // namespace pontvex

#pragma once

#include "core/UserPrompt.h"

#include <QPointer>
#include <QWidget>

#include <functional>
#include <string>

namespace pontvex {

// Questions and messages as real message boxes. Tests that drive the
// widgets put an answerer in place of the boxes (they would block).
class QtPrompt : public UserPrompt {
public:
    enum class Kind { YesNo, YesCancel, Message, Box };

    void setParent(QWidget* parent) { parent_ = parent; }

    bool askYesNo(const std::string& text) override;
    bool askYesCancel(const std::string& text) override;
    void showMessage(const std::string& text) override;
    void showBox(const std::string& text) override;

    // Replaces every box of every QtPrompt while set; returns the answer to questions.
    static std::function<bool(Kind kind, const std::string& text)> answerer;

private:
    QPointer<QWidget> parent_;
};

} // namespace pontvex

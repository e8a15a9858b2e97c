#include "catalogue/HeadlessHost.h"

namespace pontvex {

bool ScriptedPrompt::next()
{
    if (answers.empty())
        return defaultAnswer;
    const bool yes = answers.front();
    answers.pop_front();
    return yes;
}

bool ScriptedPrompt::askYesNo(const std::string& text)
{
    questions.push_back(text);
    const bool yes = next();
    if (echo)
        echo("question", text + (yes ? " -> Yes" : " -> No"));
    return yes;
}

bool ScriptedPrompt::askYesCancel(const std::string& text)
{
    questions.push_back(text);
    const bool yes = next();
    if (echo)
        echo("question", text + (yes ? " -> Yes" : " -> Cancel"));
    return yes;
}

std::optional<std::string> ScriptedPrompt::askValue(const std::string& text, const std::string& defaultValue)
{
    valueQuestions.push_back(text);
    std::optional<std::string> value;
    if (!values.empty()) {
        value = values.front();
        values.pop_front();
    } else if (defaultAnswer) {
        value = defaultValue;
    }
    if (echo)
        echo("question", text + (value ? " -> " + *value : std::string(" -> Cancel")));
    return value;
}

void ScriptedPrompt::showMessage(const std::string& text)
{
    messages.push_back(text);
    if (echo)
        echo("message", text);
}

void ScriptedPrompt::showBox(const std::string& text)
{
    boxes.push_back(text);
    if (echo)
        echo("box", text);
}

void HeadlessHost::fileNew()
{
    ++fileNewCalls;
    // A new hex view starts at 0xFFFF; an existing one keeps its end address.
    if (!hexView) {
        hexView = true;
        endAddress_ = 0xFFFF;
    }
    pldView = false;
}

bool HeadlessHost::openPldView(int rowLength, int rowCount)
{
    hexView = false;
    pldView = true;
    pldRowLength = rowLength;
    pldRowCount = rowCount;
    ++pldMapsShown;
    return true;
}

void HeadlessHost::familyChanged(FamilyWindow& family)
{
    if (onChanged)
        onChanged(family);
}

} // namespace pontvex

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
}

void HeadlessHost::familyChanged(FamilyWindow& family)
{
    if (onChanged)
        onChanged(family);
}

} // namespace pontvex

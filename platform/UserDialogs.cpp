#include "UserDialogs.h"

namespace korlin {

void ScriptedDialogs::record(DialogEvent e)
{
    events.push_back(e);
    if (onEvent)
        onEvent(events.back());
}

void ScriptedDialogs::showMessage(const std::string& text)
{
    record({DialogEvent::Message, appTitle_, text});
}

void ScriptedDialogs::messageBox(const std::string& text, const std::string& caption)
{
    record({DialogEvent::Box, caption, text});
}

bool ScriptedDialogs::askYesNo(const std::string& text, const std::string& caption)
{
    record({DialogEvent::Question, caption, text});
    if (yesNoAnswers.empty())
        return false;
    const bool a = yesNoAnswers.front();
    yesNoAnswers.pop_front();
    return a;
}

std::optional<std::string> ScriptedDialogs::openFile(const FileDialogSpec& spec)
{
    fileSpecs.push_back(spec);
    record({DialogEvent::OpenFile, {}, spec.title});
    if (fileAnswers.empty())
        return std::nullopt;
    auto a = fileAnswers.front();
    fileAnswers.pop_front();
    return a;
}

std::optional<std::string> ScriptedDialogs::saveFile(const FileDialogSpec& spec)
{
    fileSpecs.push_back(spec);
    record({DialogEvent::SaveFile, {}, spec.title});
    if (fileAnswers.empty())
        return std::nullopt;
    auto a = fileAnswers.front();
    fileAnswers.pop_front();
    return a;
}

void ScriptedDialogs::sound(Sound s)
{
    DialogEvent e{DialogEvent::SoundPlayed, {}, {}};
    e.sound = s;
    record(e);
}

std::vector<std::string> ScriptedDialogs::texts() const
{
    std::vector<std::string> out;
    for (const auto& e : events)
        if (e.kind == DialogEvent::Message || e.kind == DialogEvent::Box || e.kind == DialogEvent::Question)
            out.push_back(e.text);
    return out;
}

} // namespace korlin

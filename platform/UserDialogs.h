#pragma once
// Message boxes, file dialogs and the system sounds, the way the program's
// logic sees them.  The Qt implementation shows real dialogs; the scripted one
// records every box and answers from a queue, for the tests.
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace korlin {

enum class Sound { Stop, Information, Beep };

struct FileDialogSpec {
    std::string title;
    std::string filter; // "Двоичные файлы (*.bin)|*.bin|Все файлы|*.*"
    std::string defaultExt; // ".bin"
    std::string fileName; // preset name
};

class UserDialogs {
public:
    virtual ~UserDialogs() = default;
    // The simple message: OK button, the application title as caption.
    virtual void showMessage(const std::string& text) = 0;
    // OK box with a caption of its own and no icon.
    virtual void messageBox(const std::string& text, const std::string& caption) = 0;
    // Yes/No with a question icon; true for Yes.
    virtual bool askYesNo(const std::string& text, const std::string& caption) = 0;
    virtual std::optional<std::string> openFile(const FileDialogSpec& spec) = 0;
    virtual std::optional<std::string> saveFile(const FileDialogSpec& spec) = 0;
    virtual void sound(Sound s) = 0;
};

struct DialogEvent {
    enum Kind { Message, Box, Question, OpenFile, SaveFile, SoundPlayed } kind;
    std::string caption; // the application title for Message
    std::string text;    // the dialog title for file dialogs
    Sound sound = Sound::Beep;
    bool operator==(const DialogEvent&) const = default;
};

class ScriptedDialogs final : public UserDialogs {
public:
    explicit ScriptedDialogs(std::string appTitle = "Korlin") : appTitle_(std::move(appTitle)) {}

    void showMessage(const std::string& text) override;
    void messageBox(const std::string& text, const std::string& caption) override;
    bool askYesNo(const std::string& text, const std::string& caption) override;
    std::optional<std::string> openFile(const FileDialogSpec& spec) override;
    std::optional<std::string> saveFile(const FileDialogSpec& spec) override;
    void sound(Sound s) override;

    // Answers, taken in order; when a queue is empty: No, and Cancel.
    std::deque<bool> yesNoAnswers;
    std::deque<std::optional<std::string>> fileAnswers;
    // Called after each message or box is recorded (a test may act as the user).
    std::function<void(const DialogEvent&)> onEvent;

    std::vector<DialogEvent> events;
    std::vector<FileDialogSpec> fileSpecs;
    // The texts of messages and boxes only, in order.
    std::vector<std::string> texts() const;

private:
    void record(DialogEvent e);
    std::string appTitle_;
};

} // namespace korlin

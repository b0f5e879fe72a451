#pragma once
// Message boxes of the logic on the command line: every box is one
// "caption: text" line on the error stream, every question is answered No,
// file dialogs are cancelled and no sound is made.
#include "UserDialogs.h"

#include <ostream>
#include <stdexcept>
#include <string>

namespace korlin::cli {

// Thrown by RepeatGuard when the same box comes again and again.
class RepeatedBox : public std::runtime_error {
public:
    RepeatedBox(std::string text, std::string caption)
        : std::runtime_error(caption + ": " + text), text(std::move(text)), caption(std::move(caption)) {}
    std::string text, caption;
};

class CliDialogs final : public UserDialogs {
public:
    explicit CliDialogs(std::ostream& err, std::string appTitle = "korlin-cli")
        : err_(err), appTitle_(std::move(appTitle)) {}

    void showMessage(const std::string& text) override;
    void messageBox(const std::string& text, const std::string& caption) override;
    bool askYesNo(const std::string& text, const std::string& caption) override;
    std::optional<std::string> openFile(const FileDialogSpec& spec) override;
    std::optional<std::string> saveFile(const FileDialogSpec& spec) override;
    void sound(Sound) override {}

private:
    void line(const std::string& caption, const std::string& text, const char* suffix = "");

    std::ostream& err_;
    std::string appTitle_;
};

// Passes everything on to other dialogs; the n-th identical box in a row
// (n = limit) is passed on and then thrown as RepeatedBox.  The device
// search asks a МИП that answers a warning status again and again, showing
// its box each time; at a terminal nobody changes the converter's state
// meanwhile, so the command ends the search instead of looping for ever.
class RepeatGuard final : public UserDialogs {
public:
    RepeatGuard(UserDialogs& inner, int limit) : inner_(inner), limit_(limit) {}

    void showMessage(const std::string& text) override { inner_.showMessage(text); }
    void messageBox(const std::string& text, const std::string& caption) override;
    bool askYesNo(const std::string& text, const std::string& caption) override { return inner_.askYesNo(text, caption); }
    std::optional<std::string> openFile(const FileDialogSpec& spec) override { return inner_.openFile(spec); }
    std::optional<std::string> saveFile(const FileDialogSpec& spec) override { return inner_.saveFile(spec); }
    void sound(Sound s) override { inner_.sound(s); }

private:
    UserDialogs& inner_;
    int limit_;
    int repeats_ = 0;
    std::string lastText_, lastCaption_;
};

} // namespace korlin::cli

#pragma once
// Message boxes of the logic on the command line: every box is one
// "caption: text" line on the error stream, every question is answered No,
// file dialogs are cancelled and no sound is made.
#include "UserDialogs.h"

#include <ostream>
#include <stdexcept>
#include <string>

namespace korlin::cli {

// Thrown by CliDialogs when the same box comes again and again (see
// CliDialogs::setRepeatLimit).
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

    // With a limit n > 0, the n-th identical box in a row is printed and then
    // thrown as RepeatedBox.  The device search asks a МИП that answers a
    // warning status again and again, showing its box each time; at a
    // terminal nobody can change the converter's state meanwhile, so the
    // command stops the search instead of looping for ever.  0 = no limit.
    void setRepeatLimit(int n) { repeatLimit_ = n; repeats_ = 0; }

    int boxes() const { return boxes_; }

private:
    void line(const std::string& caption, const std::string& text, const char* suffix = "");

    std::ostream& err_;
    std::string appTitle_;
    int repeatLimit_ = 0;
    int repeats_ = 0;
    int boxes_ = 0;
    std::string lastText_, lastCaption_;
};

} // namespace korlin::cli

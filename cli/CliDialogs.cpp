#include "CliDialogs.h"

namespace korlin::cli {

void CliDialogs::line(const std::string& caption, const std::string& text, const char* suffix)
{
    err_ << caption << ": " << text << suffix << '\n';
    err_.flush();
}

void CliDialogs::showMessage(const std::string& text)
{
    messageBox(text, appTitle_);
}

void CliDialogs::messageBox(const std::string& text, const std::string& caption)
{
    line(caption, text);
}

void RepeatGuard::messageBox(const std::string& text, const std::string& caption)
{
    inner_.messageBox(text, caption);
    if (text == lastText_ && caption == lastCaption_) {
        ++repeats_;
    } else {
        repeats_ = 1;
        lastText_ = text;
        lastCaption_ = caption;
    }
    if (limit_ > 0 && repeats_ >= limit_)
        throw RepeatedBox(text, caption);
}

bool CliDialogs::askYesNo(const std::string& text, const std::string& caption)
{
    line(caption, text, " -> No");
    return false;
}

std::optional<std::string> CliDialogs::openFile(const FileDialogSpec&)
{
    return std::nullopt;
}

std::optional<std::string> CliDialogs::saveFile(const FileDialogSpec&)
{
    return std::nullopt;
}

} // namespace korlin::cli

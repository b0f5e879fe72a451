#pragma once
// Real dialogs and sounds on the desktop.
#include "UserDialogs.h"

class QWidget;

namespace korlin {

class QtDialogs final : public UserDialogs {
public:
    explicit QtDialogs(std::string appTitle = "Korlin") : appTitle_(std::move(appTitle)) {}
    // Dialogs are owned by this window while it exists (may be null).
    void setOwner(QWidget* owner) { owner_ = owner; }

    void showMessage(const std::string& text) override;
    void messageBox(const std::string& text, const std::string& caption) override;
    bool askYesNo(const std::string& text, const std::string& caption) override;
    std::optional<std::string> openFile(const FileDialogSpec& spec) override;
    std::optional<std::string> saveFile(const FileDialogSpec& spec) override;
    void sound(Sound s) override;

private:
    QWidget* owner_ = nullptr;
    std::string appTitle_;
};

// "Двоичные файлы (*.bin)|*.bin|Все файлы|*.*" -> "Двоичные файлы (*.bin);;Все файлы (*.*)"
std::string qtFilterFromPairs(const std::string& pairs);

} // namespace korlin

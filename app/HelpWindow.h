#pragma once
// The in-app help: the help file's page opened at the topic of a context
// number.  A missing help file shows nothing.
#include <QTextBrowser>

#include <filesystem>

namespace korlin {

// The topics of the help file, by context number.
QString helpAnchor(int context);

class HelpWindow : public QTextBrowser {
    Q_OBJECT
public:
    explicit HelpWindow(QWidget* parent = nullptr);
    // Opens the file at the topic; false (and nothing shown) when the file is missing.
    bool showContext(const std::filesystem::path& helpFile, int context);
};

// "Help9327/S9327.hlp" names the help; on this desktop it is the HTML page beside it.
std::filesystem::path helpPage(const std::filesystem::path& helpFile);

} // namespace korlin

#include "HelpWindow.h"

#include <QUrl>

namespace korlin {

QString helpAnchor(int context) { return QStringLiteral("context-%1").arg(context); }

std::filesystem::path helpPage(const std::filesystem::path& helpFile)
{
    std::filesystem::path p = helpFile;
    p.replace_extension(".html");
    return p;
}

HelpWindow::HelpWindow(QWidget* parent) : QTextBrowser(parent)
{
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowFlag(Qt::Window);
    setWindowTitle(QStringLiteral("Справка Korlin"));
    resize(640, 560);
    setOpenExternalLinks(false);
}

bool HelpWindow::showContext(const std::filesystem::path& helpFile, int context)
{
    const std::filesystem::path page = helpPage(helpFile);
    std::error_code ec;
    if (!std::filesystem::is_regular_file(page, ec))
        return false;
    QUrl url = QUrl::fromLocalFile(QString::fromStdString(std::filesystem::absolute(page).string()));
    url.setFragment(helpAnchor(context));
    setSource(url);
    scrollToAnchor(helpAnchor(context));
    show();
    raise();
    return true;
}

} // namespace korlin

#include "Shell.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace korlin {

void DesktopShell::openDocument(const std::string& path)
{
    const QFileInfo info(QString::fromStdString(path));
    if (!info.isFile())
        return;
    QDesktopServices::openUrl(QUrl::fromLocalFile(info.absoluteFilePath()));
}

void DesktopShell::startProgram(const std::string& name)
{
    // The current directory first, then the search path; the program gets no arguments.
    const QString n = QString::fromStdString(name);
    QString found;
    if (QFileInfo(n).isFile() && QFileInfo(n).isExecutable())
        found = QFileInfo(n).absoluteFilePath();
    else
        found = QStandardPaths::findExecutable(n);
    if (!found.isEmpty())
        QProcess::startDetached(found, {});
}

} // namespace korlin

#include "QtDialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace korlin {
namespace {

QString q(const std::string& s) { return QString::fromStdString(s); }

void okBox(QWidget* owner, const std::string& caption, const std::string& text)
{
    QMessageBox box(QMessageBox::NoIcon, q(caption), q(text), QMessageBox::Ok, owner);
    box.exec();
}

} // namespace

std::string qtFilterFromPairs(const std::string& pairs)
{
    QStringList parts = q(pairs).split(QLatin1Char('|'));
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString name = parts[i];
        const QString pattern = QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' '));
        if (!name.contains(QLatin1Char('(')))
            name += QStringLiteral(" (") + pattern + QLatin1Char(')');
        out << name;
    }
    return out.join(QStringLiteral(";;")).toStdString();
}

void QtDialogs::showMessage(const std::string& text) { okBox(owner_, appTitle_, text); }

void QtDialogs::messageBox(const std::string& text, const std::string& caption) { okBox(owner_, caption, text); }

bool QtDialogs::askYesNo(const std::string& text, const std::string& caption)
{
    QMessageBox box(QMessageBox::Question, q(caption), q(text), QMessageBox::Yes | QMessageBox::No, owner_);
    return box.exec() == QMessageBox::Yes;
}

static std::optional<std::string> runFileDialog(QWidget* owner, const FileDialogSpec& spec, bool save)
{
    QFileDialog dlg(owner, q(spec.title));
    dlg.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dlg.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dlg.setNameFilter(q(qtFilterFromPairs(spec.filter)));
    QString ext = q(spec.defaultExt);
    if (ext.startsWith(QLatin1Char('.')))
        ext.remove(0, 1);
    dlg.setDefaultSuffix(ext);
    dlg.selectFile(q(spec.fileName));
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return std::nullopt;
    return dlg.selectedFiles().first().toStdString();
}

std::optional<std::string> QtDialogs::openFile(const FileDialogSpec& spec) { return runFileDialog(owner_, spec, false); }

std::optional<std::string> QtDialogs::saveFile(const FileDialogSpec& spec) { return runFileDialog(owner_, spec, true); }

void QtDialogs::sound(Sound)
{
    // The desktop has one bell; the stop, information and plain sounds share it.
    QApplication::beep();
}

} // namespace korlin

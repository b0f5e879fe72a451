#include "Entry.h"

#include "MainForm.h"

#include <QApplication>
#include <QMessageBox>

#include <exception>

namespace korlin {

int runEntry(QApplication& app, EntryDeps& deps)
{
    // 1. Never beside the agent: ask until its window is gone.
    while (deps.agent.isRunning())
        deps.dialogs.showMessage("Закройте приложение Tavrel");

    // 2. One copy only: a second one ends before any window or port.
    switch (deps.lock.acquire(kMutexName)) {
    case LockResult::AlreadyRunning:
        return 0;
    case LockResult::InvalidName:
        deps.dialogs.showMessage("Ошибка в имени mutex object");
        return 0;
    case LockResult::Acquired:
        break;
    }

    try {
        // 3.
        app.setApplicationName(QString::fromUtf8(kApplicationTitle));
        app.setApplicationDisplayName(QString::fromUtf8(kApplicationTitle));
        app.setProperty("helpFile", QString::fromUtf8(kApplicationHelpFile));
        // 4. The main window; its creation runs the start-up and shows it.
        std::unique_ptr<TMainForm1> form = deps.createMainForm();
        form->FormCreate();
        if (form->terminated())
            return 0;
        // 5.
        deps.runLoop ? deps.runLoop() : app.exec();
    } catch (const std::exception& e) {
        // 6. The standard error dialog, then a normal end.
        QMessageBox::critical(nullptr, QString::fromUtf8(kApplicationTitle), QString::fromUtf8(e.what()));
    }
    return 0;
}

} // namespace korlin

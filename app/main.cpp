// The composition root: the real services, handed to the main window.
#include "Entry.h"
#include "HelpWindow.h"
#include "MainForm.h"
#include "QtDialogs.h"
#include "TermiosPort.h"

#include <QApplication>

int main(int argc, char** argv)
{
    using namespace korlin;
    SystemClock clock;
    const DateTime startTime = clock.localTime(); // the time stamp of the first and last log lines

    QApplication app(argc, argv);
    QtDialogs dialogs(kApplicationTitle);
    HelpWindow* help = nullptr;
    DesktopShell shell([&help](int context) {
        if (!help)
            help = new HelpWindow; // lives until the program ends
        help->showContext(TMainForm1::kHelpFile, context);
    });
    FileDebugLog log("9327debug.log");
    ProcessAgent agent;
    FileInstanceLock lock;
    TermiosPortOpener ports; // COM1 / COM2 are $KORLIN_COM1 / $KORLIN_COM2

    Services services{clock, dialogs, shell, log, agent};
    services.ports = &ports;
    services.locale = Locale::system();
    services.windowsDir = settingsDirectory();
    services.programPath = QCoreApplication::applicationFilePath().toStdString();
    services.StartTime = startTime;
    services.terminate = [] { QCoreApplication::exit(0); };

    EntryDeps deps{dialogs, lock, agent,
                   [&] {
                       auto form = std::make_unique<TMainForm1>(services);
                       dialogs.setOwner(form.get());
                       return form;
                   },
                   {}};
    return runEntry(app, deps);
}

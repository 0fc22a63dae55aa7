// NorvVelm: the window over the print server, the register's programming
// and console, and the technician's page.
//
// Its home folder is $NORVVELM_HOME (else beside the program when NorvVelm.ini
// lies there, else ~/.config/NorvVelm); it shares its single-instance lock
// with norvvelmd. "/TESTMODE" keeps the receipt files and asks before
// deleting them.

#include "commands/Executor.h"
#include "commands/Runner.h"
#include "commands/Session.h"
#include "link/SerialComPort.h"
#include "link/SerialFunz2.h"
#include "shell/Config.h"
#include "shell/MainWindowLogic.h"
#include "shell/PrintServer.h"
#include "shell/SingleInstance.h"
#include "shell/Startup.h"
#include "shell/widgets/DialogPickers.h"
#include "shell/widgets/MainForm.h"
#include "shell/widgets/MessageBoxPrompter.h"

#include <QApplication>

using namespace norvvelm;

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("NorvVelm"));
    QApplication::setApplicationVersion(Startup::version());
    // Hidden behind the tray icon the window is still the program.
    QApplication::setQuitOnLastWindowClosed(false);

    const QString home = ProgramHome();
    const auto lock = LockSingleInstance(QStringLiteral("NorvVelm"), home);
    MessageBoxPrompter prompter;
    if (!lock) {
        WriteConsoleLine(stderr, QStringLiteral("NorvVelm: Driver gi\u00e0 attivo (") + home + u')');
        prompter.message(QStringLiteral("Driver gi\u00e0 attivo"), QStringLiteral("ATTENZIONE"),
                         Prompter::Icon::Critical);
        return 1;
    }

    Session session;
    session.programDir = home;
    session.monitorEnabled = true;
    session.testMode = mainwindow::IsTestModeCommandLine(app.arguments().mid(1));

    SerialComPort port;
    RealClock clock;
    SerialFunz2 link(port, clock, [] { QCoreApplication::processEvents(); });
    Runner runner(session, link);
    Startup startup(session, link, runner, prompter);
    Executor executor(session, link, prompter);
    PrintServer server(session, link, executor, prompter);
    server.registerReady = false;
    QObject::connect(&startup, &Startup::readyChanged, &server,
                     [&server](bool ready) { server.registerReady = ready; });

    TechnicianPassword password;
    DialogPickers pickers;
    MainForm form({session, link, runner, prompter, startup, server, password, pickers});
    prompter.setOwner(&form);
    pickers = DialogPickers(&form);
    QObject::connect(&form, &MainForm::shutdownRequested, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    const mainwindow::WindowMode mode = form.start();
    static const char *const kModeNames[] = {"Normal", "Minimized", "Iconized", "VirtualECR"};
    WriteConsoleLine(stderr, QStringLiteral("NorvVelm %1: home %2, port %3 (%4), window %5")
                                 .arg(Startup::version(), home, session.portCopy,
                                      PortDevice(session.config.IniPath, session.portCopy),
                                      QString::fromLatin1(kModeNames[int(mode)])));
    startup.supervise(1000, 3000);

    const int rc = app.exec();
    server.setEnabled(false);
    link.CloseComPort();
    return rc;
}

// NorvVelm: the window over the print server, the register's programming
// and console, and the technician's page.
//
// Its home folder is $NORVVELM_HOME (else beside the program when NorvVelm.ini
// lies there, else ~/.config/NorvVelm); it shares its single-instance lock
// with norvvelmd. "/TESTMODE" keeps the receipt files and asks before
// deleting them. Once the window is up, one line on standard error says with
// what it runs.

#include "app/Station.h"
#include "app/widgets/DialogPickers.h"
#include "app/widgets/MainForm.h"
#include "app/widgets/MessageBoxPrompter.h"
#include "commands/Prompter.h"
#include "link/DeviceComPort.h"
#include "shell/Config.h"
#include "shell/InfoOptions.h"
#include "shell/MainWindowLogic.h"
#include "shell/SingleInstance.h"

#include <QApplication>

using namespace norvvelm;

const char kUsage[] = "usage: NorvVelm [/TESTMODE]\n"
                      "The window of the fiscal print server: the server, the register's programming\n"
                      "and console, and the technician's page. Its home folder is $NORVVELM_HOME,\n"
                      "else ~/.config/NorvVelm.\n"
                      "  /TESTMODE      copy each receipt file and ask before deleting it\n"
                      "  -h, --help     show this text\n"
                      "  -V, --version  show the version";

int main(int argc, char **argv) {
    // Answered before the window system is reached: they need no display.
    if (const auto rc = answerInfoOption(argc, argv, QStringLiteral("NorvVelm"), QString::fromUtf8(kUsage)))
        return *rc;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("NorvVelm"));
    // The desktop entry (and so the icon) the desktop shows for this window.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.norvvelm.NorvVelm"));
    QApplication::setApplicationVersion(Startup::version());
    // Hidden behind the tray icon the window is still the program.
    QApplication::setQuitOnLastWindowClosed(false);

    const QString home = ProgramHome();
    const auto lock = LockSingleInstance(QStringLiteral("NorvVelm"), home);
    MessageBoxPrompter prompter;
    if (!lock) {
        const QString text = InstanceLockRefusal(lock);
        const bool running = lock.state == InstanceLock::State::AlreadyRunning;
        WriteConsoleLine(stderr, QStringLiteral("NorvVelm: ") + text +
                                     (running ? QStringLiteral(" (") + home + u')' : QString()));
        prompter.message(text, QStringLiteral("ATTENZIONE"), Prompter::Icon::Critical);
        return 1;
    }

    DeviceComPort port;
    RealClock clock;
    Station station(port, clock, prompter, [] { QCoreApplication::processEvents(); });
    Session &session = station.session();
    session.settings().setProgramDir(home);
    session.monitor().setMonitorEnabled(true);
    session.settings().setTestMode(mainwindow::IsTestModeCommandLine(app.arguments().mid(1)));

    TechnicianPassword password;
    DialogPickers pickers;
    MainForm form(station, password, pickers);
    prompter.setOwner(&form);
    pickers.setOwner(&form);
    QObject::connect(&form, &MainForm::shutdownRequested, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    const mainwindow::WindowMode mode = form.start();
    const PcConfig &cfg = session.settings().config();
    WriteConsoleLine(stderr, QStringLiteral("NorvVelm %1: home %2, port %3 (%4), window %5")
                                 .arg(Startup::version(), home, PortName(cfg.Porta),
                                      PortDevice(cfg.IniPath, cfg.Porta), WindowModeName(mode)));

    int rc = 0;
    if (!session.runState().stopRequested())
        rc = app.exec();
    station.stop();
    return rc;
}

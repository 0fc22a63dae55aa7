// norvvelmd: the print server without a window.
//
// Its home folder is $NORVVELM_HOME (else beside the program when NorvVelm.ini
// lies there, else ~/.config/NorvVelm). Every monitor line goes to standard
// output as the monitor holds it; messages go to standard error. SIGTERM or
// SIGINT ends it once the exchange in flight has finished.
//
//   norvvelmd [/TESTMODE] | --help | --version

#include "app/Station.h"
#include "commands/Prompter.h"
#include "link/SerialComPort.h"
#include "shell/Config.h"
#include "shell/InfoOptions.h"
#include "shell/MainWindowLogic.h"
#include "shell/SingleInstance.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

using namespace norvvelm;

namespace {
int g_signalPipe[2] = {-1, -1};
void onSignal(int) {
    const char c = 1;
    [[maybe_unused]] auto n = ::write(g_signalPipe[1], &c, 1);
}

// SIGTERM and SIGINT ask the station to stop once the exchange in flight has
// finished.
void catchStopSignals(QCoreApplication &app, Session &session) {
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) != 0)
        return;
    auto *sn = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(sn, &QSocketNotifier::activated, &app, [&session, sn] {
        char c;
        [[maybe_unused]] auto n = ::read(g_signalPipe[0], &c, 1);
        sn->setEnabled(false);
        session.runState().requestStop();
        QCoreApplication::quit();
    });
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
}
// Messages to standard error, the last one remembered: the status bar's copy
// of a message just said is not said again.
class DaemonPrompter final : public Prompter {
public:
    void message(const QString &text, const QString &title, Icon icon) override {
        lastText = text;
        m_out.message(text, title, icon);
    }
    Answer ask(const QString &text, const QString &title, Icon icon, Buttons buttons, Answer defaultAnswer,
               Answer safe) override {
        return m_out.ask(text, title, icon, buttons, defaultAnswer, safe);
    }
    QString lastText;

private:
    StderrPrompter m_out;
};
} // namespace

const char kUsage[] = "usage: norvvelmd [/TESTMODE]\n"
                      "The print server without a window: sends the receipt files dropped into the\n"
                      "configured folder to the register. Its home folder is $NORVVELM_HOME, else\n"
                      "~/.config/NorvVelm.\n"
                      "  /TESTMODE      copy each receipt file instead of taking it over\n"
                      "  -h, --help     show this text\n"
                      "  -V, --version  show the version";

int main(int argc, char **argv) {
    if (const auto rc = answerInfoOption(argc, argv, QStringLiteral("norvvelmd"), QString::fromUtf8(kUsage)))
        return *rc;
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("norvvelmd"));
    // A mistyped switch must not run the live server in place of test mode.
    const QStringList arguments = app.arguments().mid(1);
    if (!arguments.isEmpty() && !mainwindow::IsTestModeCommandLine(arguments)) {
        WriteConsoleLine(stderr, QStringLiteral("norvvelmd: unknown arguments: ") + arguments.join(u' ') +
                                     QStringLiteral(" (see norvvelmd --help)"));
        return 2;
    }
    QCoreApplication::setApplicationVersion(Startup::version());

    const QString home = ProgramHome();
    // A command of the technician's (norvvelm-cmd) holds it for a moment.
    const InstanceLock lock = LockSingleInstance(QStringLiteral("NorvVelm"), home, 3000);
    DaemonPrompter prompter;
    if (!lock) {
        prompter.message(InstanceLockRefusal(lock), QStringLiteral("ATTENZIONE"), Prompter::Icon::Critical);
        return 1;
    }

    SerialComPort port;
    RealClock clock;
    Station station(port, clock, prompter, [] { QCoreApplication::processEvents(); });
    Session &session = station.session();
    session.settings().setProgramDir(home);
    session.monitor().setMonitorEnabled(true);
    session.settings().setTestMode(mainwindow::IsTestModeCommandLine(app.arguments().mid(1)));
    QObject::connect(&session.monitor(), &Monitor::monitorLineAdded,
                     [](const QString &line) { WriteConsoleLine(stdout, line); });
    // What the window's status bar would say goes to standard error, once
    // for each new text.
    QString lastPanel;
    QObject::connect(&session.statusBar(), &StatusBar::panelChanged, [&](int panel, const QString &text) {
        if (panel != 2 || text == lastPanel)
            return;
        lastPanel = text;
        if (!text.trimmed().isEmpty() && text != prompter.lastText)
            prompter.message(text, session.statusBar().panel(1), Prompter::Icon::Critical);
    });
    catchStopSignals(app, session);
    // A reader of the monitor that goes away must not take the server with it.
    std::signal(SIGPIPE, SIG_IGN);

    if (!station.loadConfiguration()) {
        WriteConsoleLine(stderr,
                         QStringLiteral("norvvelmd: ") + ConfigurationFileNote(session.settings().iniPath()));
        return 2;
    }
    const PcConfig &cfg = session.settings().config();
    WriteConsoleLine(
        stderr, QStringLiteral("norvvelmd %1: home %2, port %3 (%4), folder %5, file %6, server %7")
                    .arg(Startup::version(), home, PortName(cfg.Porta), PortDevice(cfg.IniPath, cfg.Porta),
                         cfg.ServerDir, cfg.ServerFile, SwitchText(cfg.ServerStato)));
    station.startServing();

    int rc = 0;
    if (!session.runState().stopRequested())
        rc = app.exec();
    station.stop();
    return rc;
}

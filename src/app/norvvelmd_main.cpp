// norvvelmd: the print server without a window.
//
// Its home folder is $NORVVELM_HOME (else beside the program when NorvVelm.ini
// lies there, else ~/.config/NorvVelm). Every monitor line goes to standard
// output as the monitor holds it; messages go to standard error. Started
// while a command of the technician's (norvvelm-cmd) holds the register, it
// says so and waits for it to end. SIGTERM or SIGINT ends it once the
// exchange in flight has finished.
//
//   norvvelmd [/TESTMODE] | --help | --version

#include "app/Station.h"
#include "commands/Prompter.h"
#include "link/DeviceComPort.h"
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
// Why the server ends, each its own exit status (norvvelmd(8)); the unit
// restarts it after those a restart can mend.
constexpr int kStopped = 0;          // SIGTERM or SIGINT
constexpr int kAlreadyRunning = 1;   // another server or the window serves the home
constexpr int kBadArguments = 2;     // a switch it does not know
constexpr int kBadConfiguration = 3; // no model or no port
constexpr int kNoHome = 4;           // the home folder does not exist
constexpr int kHomeReadOnly = 5;     // the home folder cannot be written (may pass)
constexpr int kNoLock = 6;           // no lock can be made there (may pass)

int g_signalPipe[2] = {-1, -1};
volatile std::sig_atomic_t g_stopSignalled = 0;
void onSignal(int) {
    g_stopSignalled = 1;
    const char c = 1;
    [[maybe_unused]] auto n = ::write(g_signalPipe[1], &c, 1);
}

// SIGTERM and SIGINT end the wait for the lock; once it is held they ask the
// station to stop once the exchange in flight has finished.
void catchStopSignals() {
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) != 0)
        return;
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
}

void stopOnSignal(QCoreApplication &app, Session &session) {
    if (g_signalPipe[0] < 0)
        return;
    auto *sn = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(sn, &QSocketNotifier::activated, &app, [&session, sn] {
        char c;
        [[maybe_unused]] auto n = ::read(g_signalPipe[0], &c, 1);
        sn->setEnabled(false);
        session.runState().requestStop();
        QCoreApplication::quit();
    });
}

int refusalStatus(InstanceLock::State state) {
    switch (state) {
    case InstanceLock::State::Held:
    case InstanceLock::State::Stopped:
        return kStopped;
    case InstanceLock::State::AlreadyRunning:
    case InstanceLock::State::CommandRunning:
        return kAlreadyRunning;
    case InstanceLock::State::NoHome:
        return kNoHome;
    case InstanceLock::State::HomeReadOnly:
        return kHomeReadOnly;
    case InstanceLock::State::Unavailable:
        break;
    }
    return kNoLock;
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

// Every monitor line to standard output; what the window's status bar would
// say to standard error, once for each new text (the last in `lastPanel`).
void echoOnConsole(Session &session, DaemonPrompter &prompter, QString &lastPanel) {
    QObject::connect(&session.monitor(), &Monitor::monitorLineAdded,
                     [](const QString &line) { WriteConsoleLine(stdout, line); });
    QObject::connect(&session.statusBar(), &StatusBar::panelChanged,
                     [&session, &prompter, &lastPanel](int panel, const QString &text) {
                         if (panel != 2 || text == lastPanel)
                             return;
                         lastPanel = text;
                         if (!text.trimmed().isEmpty() && text != prompter.lastText)
                             prompter.message(text, session.statusBar().panel(1), Prompter::Icon::Critical);
                     });
}

// The station of `home`, serving until it is told to stop; the exit status.
int serve(QCoreApplication &app, const QString &home, DaemonPrompter &prompter, RealClock &clock) {
    DeviceComPort port;
    Station station(port, clock, prompter, [] { QCoreApplication::processEvents(); });
    Session &session = station.session();
    session.settings().setProgramDir(home);
    session.monitor().setMonitorEnabled(true);
    session.settings().setTestMode(mainwindow::IsTestModeCommandLine(app.arguments().mid(1)));
    QString lastPanel;
    echoOnConsole(session, prompter, lastPanel);
    stopOnSignal(app, session);
    // A reader of the monitor that goes away must not take the server with it.
    std::signal(SIGPIPE, SIG_IGN);

    if (!station.loadConfiguration()) {
        WriteConsoleLine(stderr,
                         QStringLiteral("norvvelmd: ") + ConfigurationFileNote(session.settings().iniPath()));
        return kBadConfiguration;
    }
    const PcConfig &cfg = session.settings().config();
    WriteConsoleLine(
        stderr, QStringLiteral("norvvelmd %1: home %2, port %3 (%4), folder %5, file %6, server %7")
                    .arg(Startup::version(), home, PortName(cfg.Porta), PortDevice(cfg.IniPath, cfg.Porta),
                         cfg.ServerDir, cfg.ServerFile, SwitchText(cfg.ServerStato)));
    station.startServing();

    int rc = kStopped;
    if (!session.runState().stopRequested())
        rc = app.exec();
    station.stop();
    return rc;
}
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
        return kBadArguments;
    }
    QCoreApplication::setApplicationVersion(Startup::version());

    const QString home = ProgramHome();
    catchStopSignals();
    DaemonPrompter prompter;
    RealClock clock;
    // A command of the technician's (norvvelm-cmd) holds the register for a
    // moment: the server waits for it, however long it takes.
    const CommandWait wait{clock,
                           [&prompter] {
                               prompter.message(CommandWaitText(), QStringLiteral("Norv Velm"),
                                                Prompter::Icon::Information);
                           },
                           [] { return g_stopSignalled == 0; }};
    const InstanceLock lock =
        LockSingleInstance(QStringLiteral("NorvVelm"), home, LockHolder::Program, &wait);
    if (!lock) {
        if (lock.state != InstanceLock::State::Stopped)
            prompter.message(InstanceLockRefusal(lock), QStringLiteral("ATTENZIONE"),
                             Prompter::Icon::Critical);
        return refusalStatus(lock.state);
    }

    return serve(app, home, prompter, clock);
}

#include "q520driver/Q520Driver.h"
#include "q520driver/Q520Port.h"
#include "q520driver/Q520Prompter.h"
#include "q520driver/Q520Settings.h"
#include "q520driver/Q520Window.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QIcon>
#include <QLockFile>
#include <QStandardPaths>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <memory>

#ifdef Q_OS_UNIX
#include <QSocketNotifier>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {
int g_signalPair[2] = {-1, -1};
void onSignal(int) {
    const char c = 1;
    [[maybe_unused]] auto n = ::write(g_signalPair[1], &c, 1);
}

// SIGTERM and SIGINT end the program as closing its window does: the port
// is closed and the single-instance lock released.
void quitOnSignals(QObject *owner) {
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPair) != 0)
        return;
    auto *notifier = new QSocketNotifier(g_signalPair[0], QSocketNotifier::Read, owner);
    QObject::connect(notifier, &QSocketNotifier::activated, owner, [] { QApplication::closeAllWindows(); });
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
}
} // namespace
#endif

namespace {
const char kUsage[] = "usage: DriverQ520 [/A] [/SYS]\n"
                      "Serves the receipt file of the Q520 register: sends its command lines over the\n"
                      "serial line configured in DriverQ520.ini of the home folder ($DRIVERQ520_HOME,\n"
                      "else ~/.config/DriverQ520).\n"
                      "  /A             start serving at once\n"
                      "  /SYS           keep an icon in the notification area while running\n"
                      "  -h, --help     show this text\n"
                      "  -V, --version  show the version\n";

// --help and --version are answered before the window system is reached, so
// they work without a display.
int answerInfoOption(int argc, char *argv[]) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0 || std::strcmp(argv[i], "-V") == 0) {
            std::puts("DriverQ520 " NORVVELM_VERSION_STRING);
            return 0;
        }
    }
    return -1;
}

// Without a screen the window system cannot start: an unattended run goes
// on without one, any other run says in one line why it cannot, and ends.
int checkScreen() {
    if (qEnvironmentVariableIsSet("QT_QPA_PLATFORM") || !qEnvironmentVariableIsEmpty("DISPLAY") ||
        !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return -1;
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    if (qEnvironmentVariableIsSet("DRIVERQ520_UNATTENDED")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return -1;
    }
    std::fputs("DriverQ520: nessuno schermo (DISPLAY e WAYLAND_DISPLAY vuoti); "
               "con DRIVERQ520_UNATTENDED=1 lavora senza finestra\n",
               stderr);
    return 2;
#else
    return -1;
#endif
}

} // namespace

int main(int argc, char *argv[]) {
    if (const int rc = answerInfoOption(argc, argv); rc >= 0)
        return rc;
    if (const int rc = checkScreen(); rc >= 0)
        return rc;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("DriverQ520"));
    QApplication::setApplicationVersion(QStringLiteral(NORVVELM_VERSION_STRING));
    // The desktop entry and icon the desktop shows for this window.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.norvvelm.DriverQ520"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("org.norvvelm.DriverQ520")));

    bool autoStart = false;
    bool trayIcon = false;
    const QStringList args = QApplication::arguments().mid(1);
    for (const QString &arg : args) {
        const QString upper = arg.toUpper();
        autoStart = autoStart || upper == u"/A";
        trayIcon = trayIcon || upper == u"/SYS";
    }

    // Nobody can answer a message box on a screen that does not exist: such a
    // run writes its messages out and takes the safe answer.
    std::unique_ptr<q520::Prompter> prompter;
    const QString platform = QGuiApplication::platformName();
    if (platform == u"offscreen" || platform == u"minimal" ||
        qEnvironmentVariableIsSet("DRIVERQ520_UNATTENDED"))
        prompter = std::make_unique<q520::UnattendedPrompter>();
    else
        prompter = std::make_unique<q520::MessageBoxPrompter>();

    const QString home = q520::homeFolder(QApplication::applicationDirPath());
    QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (runtime.isEmpty())
        runtime = QDir::tempPath();
    const QByteArray key = QCryptographicHash::hash(home.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    QLockFile lock(runtime + QStringLiteral("/DriverQ520-") + QString::fromLatin1(key) +
                   QStringLiteral(".lock"));
    lock.setStaleLockTime(0);
    if (!lock.tryLock(0)) {
        prompter->message(QStringLiteral("Driver già attivo"), QStringLiteral("ATTENZIONE"),
                          q520::Prompter::Icon::Critical);
        return 1;
    }

    q520::SerialPort port;
    q520::Driver driver(home, &port, prompter.get());
    q520::Window window(&driver, prompter.get(), trayIcon);
    window.show();
#ifdef Q_OS_UNIX
    quitOnSignals(&window);
#endif
    if (autoStart)
        QTimer::singleShot(0, &window, &q520::Window::startDriver);
    return app.exec();
}

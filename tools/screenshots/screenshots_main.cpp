// norvvelm-screenshots DIR [WxH]: opens the window as NorvVelm does (home
// folder from $NORVVELM_HOME), lets the print server take what is waiting,
// then saves a picture of each tab of the main window into DIR as
// tab-<n>.png, and of each further page of a tab's own strip as
// tab-<n>-<k>.png. With a screen size the window takes that screen less a
// panel's 28 pixels, as on a till.

#include "app/Station.h"
#include "app/widgets/DialogPickers.h"
#include "app/widgets/MainForm.h"
#include "commands/Prompter.h"
#include "link/SerialComPort.h"
#include "shell/Config.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTabWidget>

#include <cstdio>

using namespace norvvelm;

namespace {
void letEventsRun(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}
} // namespace

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    const QRegularExpression sizeRule(QStringLiteral("^([0-9]{3,4})x([0-9]{3,4})$"));
    const auto sized = sizeRule.match(argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString());
    if (argc < 2 || argc > 3 || (argc == 3 && !sized.hasMatch())) {
        WriteConsoleLine(stderr, QStringLiteral("usage: norvvelm-screenshots DIR [WxH]"));
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(out);

    StderrPrompter prompter;
    SerialComPort port;
    RealClock clock;
    Station station(port, clock, prompter, [] { QCoreApplication::processEvents(); });
    Session &session = station.session();
    session.settings().setProgramDir(ProgramHome());
    session.monitor().setMonitorEnabled(true);
    TechnicianPassword password(session.settings().programDir() + QStringLiteral("/user.ini"));
    DialogPickers pickers;
    MainForm form(station, password, pickers);
    form.trayAvailable = [] { return false; };
    constexpr int kPanel = 28;
    if (sized.hasMatch())
        form.setGeometry(0, 0, sized.captured(1).toInt(), sized.captured(2).toInt() - kPanel);
    else
        form.resize(1100, 720);
    form.start();
    session.runState().setTechnicianMode(true);
    letEventsRun(2500); // the server takes and prints the waiting receipt

    int rc = 0;
    const auto save = [&](const QString &name) {
        letEventsRun(300);
        const QString file = out + QStringLiteral("/") + name + QStringLiteral(".png");
        if (!form.grab().save(file)) {
            WriteConsoleLine(stderr, QStringLiteral("cannot write ") + file);
            rc = 1;
        } else {
            WriteConsoleLine(stdout, file);
        }
    };
    for (int i = 0; i < form.tabs()->count(); ++i) {
        form.tabs()->setCurrentIndex(i);
        const QString tab = QStringLiteral("tab-") + QString::number(i);
        save(tab);
        // The pages of the tab's own strip (the register's tables).
        QTabWidget *strip = form.tabs()->currentWidget()->findChild<QTabWidget *>();
        for (int k = 1; strip && k < strip->count(); ++k) {
            strip->setCurrentIndex(k);
            save(tab + u'-' + QString::number(k));
        }
        if (strip)
            strip->setCurrentIndex(0);
    }
    station.stop();
    return rc;
}

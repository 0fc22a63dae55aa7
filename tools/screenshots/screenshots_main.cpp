// norvvelm-screenshots DIR: opens the window as NorvVelm does (home folder
// from $NORVVELM_HOME), lets the print server take what is waiting, then
// saves a picture of each tab of the main window into DIR as tab-<n>.png.

#include "app/Station.h"
#include "app/widgets/DialogPickers.h"
#include "app/widgets/MainForm.h"
#include "commands/Prompter.h"
#include "link/SerialComPort.h"
#include "shell/Config.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
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
    if (argc < 2) {
        WriteConsoleLine(stderr, QStringLiteral("usage: norvvelm-screenshots DIR"));
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
    form.resize(1100, 720);
    form.start();
    session.runState().setTechnicianMode(true);
    letEventsRun(2500); // the server takes and prints the waiting receipt

    int rc = 0;
    for (int i = 0; i < form.tabs()->count(); ++i) {
        form.tabs()->setCurrentIndex(i);
        letEventsRun(300);
        const QString file = out + QStringLiteral("/tab-") + QString::number(i) + QStringLiteral(".png");
        if (!form.grab().save(file)) {
            WriteConsoleLine(stderr, QStringLiteral("cannot write ") + file);
            rc = 1;
        } else {
            WriteConsoleLine(stdout, file);
        }
    }
    station.stop();
    return rc;
}

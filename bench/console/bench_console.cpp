// Operator console figures, one "name: value" a line, against the simulated
// register answering at once over a pty:
//   ms_key_press_round_trip       one register key with its display read,
//                                 less the 100 ms pause the key makes by design
//   max_ms_event_gap_during_keys  the longest the event loop goes unserved
//                                 while keys are pressed
//   ms_file_wait_after_console_sequence
//                                 a receipt file dropped as the 3-key "SC €" sequence
//                                 starts waits for it: from the sequence's last answer
//                                 to the file's first line on the wire

#include "app/Station.h"
#include "benchsupport/PtyRegister.h"
#include "commands/Prompter.h"
#include "commands/Runner.h"
#include "commands/Session.h"
#include "console/OperatorConsole.h"
#include "console/RegisterKeys.h"
#include "link/SerialComPort.h"
#include "link/SerialFunz2.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>

using namespace norvvelm;

namespace {
class QuietPrompter final : public Prompter {
public:
    void message(const QString &, const QString &, Icon) override {}
    Answer ask(const QString &, const QString &, Icon, Buttons, Answer, Answer safe) override { return safe; }
};

// The whole station on the simulated register, its print server watching the
// folder; the mean over a few sequences.
double msFileWaitAfterSequence(const QString &link) {
    QTemporaryDir home;
    const QString server = home.filePath(QStringLiteral("server"));
    QDir().mkpath(server);
    QFile ini(home.filePath(QStringLiteral("NorvVelm.ini")));
    if (!ini.open(QIODevice::WriteOnly))
        return -1;
    ini.write(
        "[Parametri]\r\nModello=Norv ONe\r\nPorta=1\r\nVelocita=115200\r\nServerStato=On\r\nServerDir=" +
        server.toUtf8() + "\r\nServerFile=scontrino.txt\r\n[Porte]\r\nCom1=" + link.toUtf8() + "\r\n");
    ini.close();
    SerialComPort port;
    RealClock clock;
    QuietPrompter prompter;
    Station station(port, clock, prompter, [] { QCoreApplication::processEvents(); });
    Session &session = station.session();
    session.settings().setProgramDir(home.path());
    session.monitor().setMonitorEnabled(true);
    if (!station.start() || !station.startup().ready())
        return -1;
    OperatorConsole console(session, station.link(), station.runner(), prompter);
    QElapsedTimer t;
    qint64 firstLineNs = -1;
    QObject::connect(&session.monitor(), &Monitor::monitorLineAdded, [&](const QString &line) {
        if (firstLineNs < 0 && line.startsWith(QLatin1String("PC -> ECR : 7/")))
            firstLineNs = t.nsecsElapsed();
    });
    station.printServer().TimerSRV_Timer(); // the folder is watched from now on
    const int rounds = 6;
    double total = 0;
    for (int r = 0; r < rounds; ++r) {
        QFile f(server + QStringLiteral("/scontrino.txt"));
        if (!f.open(QIODevice::WriteOnly))
            return -1;
        f.write("7/1/1/PRIMA/\r\n7/1/1/SECONDA/\r\n");
        f.close();
        firstLineNs = -1;
        console.cmdECR_Click(1); // "SC €": keys 67, 22 and 90, then the display read
        t.start();
        if (firstLineNs >= 0)
            return -1; // sent into the sequence
        while (firstLineNs < 0 && t.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        if (firstLineNs < 0)
            return -1;
        total += double(firstLineNs) / 1e6;
        while (!session.runState().queue().isEmpty() || QFile::exists(f.fileName()))
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    }
    station.stop();
    return total / rounds;
}
} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    PtyRegister sim;
    sim.start();

    SerialComPort port;
    RealClock clock;
    SerialFunz2 link(port, clock, [] { QCoreApplication::processEvents(); });
    if (!link.OpenComPort(sim.link(), 115200)) {
        fprintf(stderr, "bench_console: no simulated register\n");
        return 1;
    }
    Session session;
    Runner runner(session, link);
    QuietPrompter prompter;
    OperatorConsole console(session, link, runner, prompter);

    // The event loop's heartbeat while keys are pressed.
    QElapsedTimer beat;
    qint64 last = -1;
    qint64 maxGap = 0;
    QTimer heart;
    heart.setInterval(1);
    QObject::connect(&heart, &QTimer::timeout, [&] {
        const qint64 now = beat.nsecsElapsed();
        if (last >= 0)
            maxGap = std::max(maxGap, now - last);
        last = now;
    });

    const int digit = 18; // "1"
    const int presses = 40;
    console.cmdECR_Click(digit); // warm up
    beat.start();
    heart.start();
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < presses; ++i) {
        console.cmdECR_Click(i % 2 ? 7 : digit); // a digit, then Clear
        QCoreApplication::processEvents();
    }
    const double perKey = double(t.nsecsElapsed()) / 1e6 / presses - kKeyPauseMs;
    heart.stop();
    printf("ms_key_press_round_trip: %.2f\n", perKey);
    printf("max_ms_event_gap_during_keys: %.2f\n", double(maxGap) / 1e6);
    fflush(stdout);
    link.CloseComPort();
    printf("ms_file_wait_after_console_sequence: %.0f\n", msFileWaitAfterSequence(sim.link()));
    return 0;
}

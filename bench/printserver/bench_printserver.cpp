// Print-server figures, one "name: value" a line:
//   lines_per_second               receipt lines against a register that answers at once, over a pty,
//                                  each kept in the queue's journal on disk before it goes out
//   lines_per_second_tcp           the same over TCP on the loopback interface, as to a register
//                                  behind a serial device server
//   ms_take_after_close            from the writer closing a receipt file to its first line going out
//   cpu_seconds_per_minute_waiting CPU used while the register takes 1.5 s per answer
//   ms_per_tick_10000_files        one server tick over 10,000 files that do not match,
//                                  with 5,000 forbidden extensions

#include "commands/Executor.h"
#include "commands/ForbiddenExtensions.h"
#include "commands/Prompter.h"
#include "commands/ReceiptJournal.h"
#include "commands/Session.h"
#include "link/DeviceComPort.h"
#include "link/SerialFunz2.h"
#include "shell/PrintServer.h"
#include "support/ConfigEdit.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#include <sys/resource.h>

using namespace norvvelm;

namespace {

double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

struct Sim {
    QProcess proc;
    QString link;
    // Over TCP `link` is the "tcp://127.0.0.1:PORT" ecrsim says it serves.
    bool startTcp(const QStringList &extra) {
        proc.setProgram(QCoreApplication::applicationDirPath() + QStringLiteral("/ecrsim"));
        proc.setArguments(QStringList{QStringLiteral("--tcp"), QStringLiteral("0")} + extra);
        proc.setReadChannel(QProcess::StandardError);
        proc.start();
        if (!proc.waitForStarted(5000))
            return false;
        QByteArray err;
        for (int i = 0; i < 500 && !err.contains('\n'); ++i) {
            proc.waitForReadyRead(10);
            err += proc.readAllStandardError();
        }
        const qsizetype at = err.indexOf("tcp://");
        link = at < 0 ? QString() : QString::fromLatin1(err.mid(at).split('\n').first());
        return !link.isEmpty();
    }
    bool start(const QString &path, const QStringList &extra) {
        link = path;
        proc.setProgram(QCoreApplication::applicationDirPath() + QStringLiteral("/ecrsim"));
        proc.setArguments(QStringList{QStringLiteral("--pty"), path} + extra);
        proc.setStandardErrorFile(QProcess::nullDevice());
        proc.start();
        if (!proc.waitForStarted(5000))
            return false;
        for (int i = 0; i < 500 && !QFileInfo::exists(path); ++i)
            QThread::msleep(10);
        return QFileInfo::exists(path);
    }
    ~Sim() {
        proc.terminate();
        proc.waitForFinished(3000);
    }
};

class QuietPrompter final : public Prompter {
public:
    void message(const QString &, const QString &, Icon) override {}
    Answer ask(const QString &, const QString &, Icon, Buttons, Answer, Answer safe) override { return safe; }
};

// Runs `lines` receipt lines through the executor over a pty (or TCP);
// returns seconds.
double runLines(const QStringList &extra, int lines, double *cpu, bool tcp = false) {
    QTemporaryDir dir;
    Sim sim;
    if (!(tcp ? sim.startTcp(extra) : sim.start(dir.filePath(QStringLiteral("ecr")), extra)))
        return -1;
    DeviceComPort port;
    RealClock clock;
    SerialFunz2 link(port, clock, [] { QCoreApplication::processEvents(); });
    if (!link.OpenComPort(sim.link, 115200))
        return -1;
    Session session;
    session.settings().setProgramDir(dir.path());
    testsupport::editConfig(session, [&](norvvelm::PcConfig &c) { c.ServerDir = dir.path(); });
    QuietPrompter prompter;
    Executor executor(session, link, prompter);
    ReceiptJournal journal(dir.filePath(ReceiptJournal::fileName()));
    if (!journal.start({}))
        return -1;
    executor.setJournal(&journal);
    QStringList queued;
    for (int i = 0; i < lines; ++i)
        queued.append(QStringLiteral("7/1/1/RIGA %1/").arg(i));
    executor.enqueue(queued);
    const double cpu0 = cpuSeconds();
    QElapsedTimer t;
    t.start();
    executor.ExecuteReceiptQueue();
    const double seconds = double(t.nsecsElapsed()) / 1e9;
    if (cpu)
        *cpu = cpuSeconds() - cpu0;
    return session.runState().queue().isEmpty() ? seconds : -1;
}

double msPerTick() {
    QTemporaryDir dir;
    for (int i = 0; i < 10000; ++i) {
        QFile f(dir.filePath(QStringLiteral("file%1.dat").arg(i)));
        f.open(QIODevice::WriteOnly);
    }
    QByteArray ext;
    for (int i = 0; i < 5000; ++i)
        ext += "[x" + QByteArray::number(i) + "]\n";
    Session session;
    session.settings().setProgramDir(dir.path());
    testsupport::editConfig(session, [&](norvvelm::PcConfig &c) { c.ServerDir = dir.path(); });
    testsupport::editConfig(session,
                            [&](norvvelm::PcConfig &c) { c.ServerFile = QStringLiteral("scontrino.txt"); });
    testsupport::editConfig(session, [&](norvvelm::PcConfig &c) { c.identity.sn = QStringLiteral("NV1"); });
    session.settings().setForbidden(ForbiddenExtensions::parse(ext));
    // No register is needed: nothing matches, so nothing is sent.
    class NoPort final : public ComPort {
    public:
        bool open(const QString &, qint32) override { return false; }
        void close() override {}
        bool isOpen() const override { return false; }
        bool writeByte(quint8) override { return false; }
        bool readByte(quint8 &) override { return false; }
        qint64 bytesQueued() override { return 0; }
        bool waitForData(int) override { return false; }
        void purge() override {}
    } port;
    RealClock clock;
    SerialFunz2 link(port, clock);
    QuietPrompter prompter;
    Executor executor(session, link, prompter);
    PrintServer server(session, link, executor, prompter);
    server.TimerSRV_Timer(); // warm the directory cache
    const int ticks = 50;
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < ticks; ++i)
        server.TimerSRV_Timer();
    return double(t.nsecsElapsed()) / 1e6 / ticks;
}

// The server watching its folder over a pty; the mean of a few receipts.
double msTakeAfterClose() {
    QTemporaryDir dir;
    Sim sim;
    if (!sim.start(dir.filePath(QStringLiteral("ecr")), {}))
        return -1;
    DeviceComPort port;
    RealClock clock;
    SerialFunz2 link(port, clock, [] { QCoreApplication::processEvents(); });
    if (!link.OpenComPort(sim.link, 115200))
        return -1;
    Session session;
    session.settings().setProgramDir(dir.path());
    session.monitor().setMonitorEnabled(true);
    testsupport::editConfig(session, [&](norvvelm::PcConfig &c) {
        c.ServerDir = dir.path();
        c.ServerFile = QStringLiteral("scontrino.txt");
        c.identity.sn = QStringLiteral("NV1");
    });
    QuietPrompter prompter;
    Executor executor(session, link, prompter);
    ReceiptJournal journal(dir.filePath(ReceiptJournal::fileName()));
    if (!journal.start({}))
        return -1;
    executor.setJournal(&journal);
    PrintServer server(session, link, executor, prompter);
    server.setEnabled(true);
    QElapsedTimer t;
    qint64 firstLineNs = -1;
    QObject::connect(&session.monitor(), &Monitor::monitorLineAdded, [&](const QString &line) {
        if (firstLineNs < 0 && line.startsWith(QLatin1String("PC -> ECR : 7/")))
            firstLineNs = t.nsecsElapsed();
    });
    server.TimerSRV_Timer(); // the folder is watched from now on
    const int rounds = 8;
    double total = 0;
    for (int r = 0; r < rounds; ++r) {
        QFile f(dir.filePath(QStringLiteral("scontrino.txt")));
        if (!f.open(QIODevice::WriteOnly))
            return -1;
        f.write("7/1/1/PRIMA/\r\n7/1/1/SECONDA/\r\n");
        // Rounds start at different points of the server's timer.
        QThread::msleep(37 * r % 250);
        firstLineNs = -1;
        f.close();
        t.start();
        while (firstLineNs < 0 && t.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        if (firstLineNs < 0)
            return -1;
        total += double(firstLineNs) / 1e6;
        while (!session.runState().queue().isEmpty() || QFile::exists(f.fileName()))
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    }
    return total / rounds;
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    const int lines = 300;
    const double fast = runLines({}, lines, nullptr);
    printf("lines_per_second: %.1f\n", fast > 0 ? lines / fast : 0.0);
    fflush(stdout);
    const double overTcp = runLines({}, lines, nullptr, true);
    printf("lines_per_second_tcp: %.1f\n", overTcp > 0 ? lines / overTcp : 0.0);
    fflush(stdout);
    double cpu = 0;
    const int slowLines = 8; // 8 answers of 1.5 s: 12 s of waiting
    const double slow = runLines({QStringLiteral("--answer-delay"), QStringLiteral("1500")}, slowLines, &cpu);
    printf("cpu_seconds_per_minute_waiting: %.3f\n", slow > 0 ? cpu / slow * 60.0 : -1.0);
    fflush(stdout);
    printf("ms_per_tick_10000_files: %.2f\n", msPerTick());
    fflush(stdout);
    printf("ms_take_after_close: %.0f\n", msTakeAfterClose());
    return 0;
}

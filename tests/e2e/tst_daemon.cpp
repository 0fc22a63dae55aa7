// norvvelmd and norvvelm-cmd as programs, against ecrsim over a pseudo-terminal.
// The register's faults are exercised on the same station in memory and
// virtual time (tst_station); here the programs, their files and the pty.

#include "support/DaemonRig.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <unistd.h>

using testsupport::Daemon;

namespace {

const QByteArray kSale = "3/S/REPARTO1//1/5.26/1/4/";
const QByteArray kPay = "5/1/0.00/////";
const QByteArray kReceipt = kSale + "\r\n" + kPay + "\r\n";

// A folder the server cannot write: immutable as root (who writes anything
// else), without write permission otherwise; as it was once the test ends.
struct UnwritableFolder {
    QString path;
    bool immutable = ::geteuid() == 0;
    bool made = false;
    bool make(const QString &folder) {
        path = folder;
        made = immutable ? QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), path}) == 0
                         : QFile::setPermissions(path, QFile::ReadOwner | QFile::ExeOwner);
        return made;
    }
    ~UnwritableFolder() {
        if (made && immutable)
            QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), path});
        else if (made)
            QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
};

} // namespace

class TestDaemon : public QObject {
    Q_OBJECT
private slots:
    void receiptEndToEnd();
    void testModeAndDailyReport();
    void registerOffAtStartThenOn();
    void portGoneAndBack();
    void tcpDevice_data();
    void tcpDevice();
    void refusedAtStart_data();
    void refusedAtStart();
    void instanceLock_data();
    void instanceLock();
    void singleCommand();
    void detectCommand_data();
    void detectCommand();
    void serverWaitsForCommand();
};

void TestDaemon::receiptEndToEnd() {
    Daemon d;
    QVERIFY(d.startSim());
    d.start();
    d.drop(kReceipt);
    QTRY_VERIFY_WITH_TIMEOUT(d.monitor().size() >= 5, 10000);
    QVERIFY(d.taken());
    const QStringList m = d.monitor();
    QCOMPARE(m.size(), 5);
    // The first connection is said like a reconnection, in the monitor.
    QVERIFY(m[0].startsWith(QStringLiteral("ECR        : Cassa collegata: S/N ")));
    QCOMPARE(m[1], QStringLiteral("PC -> ECR : 3/S/REPARTO1//1/5.26/1/4/"));
    QVERIFY(m[2].startsWith(QStringLiteral("ECR        : 00/")));
    QCOMPARE(m[3], QStringLiteral("PC -> ECR : 5/1/0.00/////"));
    QVERIFY(m[4].startsWith(QStringLiteral("ECR        : 00/")));
    // Printed once on the register's paper.
    QTRY_VERIFY_WITH_TIMEOUT(d.paperText().contains(QStringLiteral("TOTALE")), 5000);
    QVERIFY(d.paperText().contains(QStringLiteral("REPARTO1")));
    QVERIFY(d.paperText().contains(QStringLiteral("5,26")));
    QCOMPARE(d.timesTaken(kSale), 1);
    QCOMPARE(d.timesTaken(kPay), 1);
    const QStringList log = d.logLines();
    QCOMPARE(log.size(), 2);
    for (const QString &l : log)
        QCOMPARE(l.size(), 225);
    QVERIFY(log[0].mid(22).startsWith(QStringLiteral("3/S/REPARTO1//1/5.26/1/4/")));
    QCOMPARE(d.stop(), 0);
    // The identity was written, and the port was closed: the register is still there.
    QVERIFY(d.identified());
    QCOMPARE(d.sim.process().state(), QProcess::Running);
}

void TestDaemon::testModeAndDailyReport() {
    Daemon d;
    QVERIFY(d.startSim({QStringLiteral("--serial"), QStringLiteral("NV55")}));
    d.start({QStringLiteral("/testmode")});
    QTRY_VERIFY_WITH_TIMEOUT(d.identified(), 10000);
    d.drop("t0\r\n" + kReceipt);
    // Test mode copies the file, prints it and, asked whether to delete it,
    // the daemon answers yes: printed once, then gone.
    QTRY_VERIFY_WITH_TIMEOUT(d.taken(), 15000);
    // The question is said before the file goes, but its line may still be
    // in the pipe when the file is seen gone.
    QTRY_VERIFY_WITH_TIMEOUT(
        QString::fromUtf8(d.err).contains(QStringLiteral("Tes Mode: Vuoi cancellare file? -> S\u00ec")),
        5000);
    QTRY_COMPARE_WITH_TIMEOUT(d.timesTaken(kPay), 1, 10000);
    QCOMPARE(d.timesTaken(kSale), 1);
    QFile report(d.server + QStringLiteral("/NV55") +
                 QDate::currentDate().toString(QStringLiteral("yyyyMMdd")) + QStringLiteral(".FMN"));
    QVERIFY(report.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = report.readAll().split('\n');
    QCOMPARE(lines.size(), 5); // four lines, each ended
    QVERIFY(lines[0].startsWith("<t>00/") && lines[1].startsWith("<0>00/") && lines[2].startsWith("<9>00/") &&
            lines[3].startsWith("<X>00/"));
    QCOMPARE(d.stop(), 0);
}

void TestDaemon::registerOffAtStartThenOn() {
    Daemon d;
    d.start();
    d.drop(kReceipt);
    QTRY_VERIFY_WITH_TIMEOUT(d.err.contains("Impossibile Aprire Porta Com1"), 10000);
    QVERIFY(!d.taken()); // nothing is taken before the register is identified
    QVERIFY(d.startSim());
    QTRY_VERIFY_WITH_TIMEOUT(d.taken(), 15000);
    QTRY_VERIFY_WITH_TIMEOUT(d.monitor().size() >= 4, 10000);
    QCOMPARE(d.err.count("Impossibile Aprire Porta Com1"), 1);
    QVERIFY(d.err.contains("Cassa collegata"));
    QCOMPARE(d.stop(), 0);
}

void TestDaemon::portGoneAndBack() {
    Daemon d;
    QVERIFY(d.startSim());
    d.start();
    d.drop(kReceipt);
    QTRY_VERIFY_WITH_TIMEOUT(d.monitor().size() >= 5, 10000);
    d.sim.control("disconnect 4000");
    QTRY_VERIFY_WITH_TIMEOUT(d.err.contains("Porta Com1 scollegata"), 10000);
    d.drop(kReceipt);
    // The first receipt, the connection said in the monitor, the second one.
    QTRY_COMPARE_WITH_TIMEOUT(d.monitor().count(QStringLiteral("PC -> ECR : 5/1/0.00/////")), 2, 20000);
    QCOMPARE(d.err.count("Porta Com1 scollegata"), 1);
    QTRY_COMPARE_WITH_TIMEOUT(d.timesTaken(kPay), 2, 5000);
    QCOMPARE(d.timesTaken(kSale), 2);
    QCOMPARE(d.stop(), 0);
}

void TestDaemon::tcpDevice_data() {
    QTest::addColumn<QString>("device"); // empty: ecrsim on a TCP port
    QTest::addColumn<QString>("said");   // on standard error, empty: the receipt prints
    QTest::newRow("register behind a device server") << QString() << QString();
    QTest::newRow("no port") << QStringLiteral("tcp://127.0.0.1")
                             << QStringLiteral(
                                    "Impossibile Aprire Porta Com1 (tcp://127.0.0.1: indirizzo non "
                                    "valido, la forma \u00e8 tcp://INDIRIZZO:PORTA)");
    QTest::newRow("outside the shop's network")
        << QStringLiteral("tcp://8.8.8.8:4001")
        << QStringLiteral("Impossibile Aprire Porta Com1 (tcp://8.8.8.8:4001: indirizzo fuori dalla rete "
                          "locale del negozio)");
    const QString nobody = QStringLiteral("tcp://127.0.0.1:") + QString::number(Daemon::freePort());
    QTest::newRow("nobody listening") << nobody
                                      << QStringLiteral("Impossibile Aprire Porta Com1 (") + nobody +
                                             QStringLiteral(": connessione rifiutata)");
}

// Com1=tcp://HOST:PORT: the register over the network prints; a device that
// cannot be reached says why and the daemon keeps serving, nothing taken.
void TestDaemon::tcpDevice() {
    QFETCH(QString, device);
    QFETCH(QString, said);
    Daemon d;
    QVERIFY(device.isEmpty() ? d.startSimTcp() : d.setDevice(device));
    d.start();
    d.drop(kReceipt);
    if (said.isEmpty()) {
        QTRY_VERIFY_WITH_TIMEOUT(d.taken(), 15000);
        QTRY_COMPARE_WITH_TIMEOUT(d.timesTaken(kPay), 1, 10000);
        QCOMPARE(d.timesTaken(kSale), 1);
    } else {
        QTRY_VERIFY_WITH_TIMEOUT(d.err.contains(said.toUtf8()), 10000);
        QCOMPARE(d.proc.state(), QProcess::Running);
        QVERIFY(!d.taken());
    }
    QCOMPARE(d.stop(), 0);
}

void TestDaemon::refusedAtStart_data() {
    QTest::addColumn<QString>("fault"); // what is wrong with the home folder
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("said");
    QTest::newRow("unknown switch") << QString() << QStringList{QStringLiteral("/TESTMOD")} << 2
                                    << QStringLiteral("unknown arguments: /TESTMOD");
    QTest::newRow("incomplete configuration")
        << QStringLiteral("no ini") << QStringList() << 3
        << QStringLiteral("Errore Nei Parametri: Tipo Modello non impostato");
    QTest::newRow("no home folder") << QStringLiteral("missing") << QStringList() << 4
                                    << QStringLiteral(": cartella inesistente");
    QTest::newRow("home that cannot be written") << QStringLiteral("read-only") << QStringList() << 5
                                                 << QStringLiteral(" non \u00e8 scrivibile: permesso negato");
    QTest::newRow("home that cannot be written, lock left in it")
        << QStringLiteral("read-only, lock left") << QStringList() << 5
        << QStringLiteral(" non \u00e8 scrivibile: permesso negato");
    QTest::newRow("lock is a folder") << QStringLiteral("lock folder") << QStringList() << 6
                                      << QStringLiteral("NorvVelm.lock: il blocco \u00e8 una cartella");
}

// Each reason not to serve is said, with its own exit status.
void TestDaemon::refusedAtStart() {
    QFETCH(QString, fault);
    QFETCH(QStringList, args);
    QFETCH(int, status);
    QFETCH(QString, said);
    Daemon d;
    QProcessEnvironment env = d.environment();
    UnwritableFolder unwritable;
    if (fault == u"no ini") {
        QVERIFY(QFile::remove(d.home.filePath(QStringLiteral("NorvVelm.ini"))));
    } else if (fault == u"missing") {
        env.insert(QStringLiteral("NORVVELM_HOME"), d.home.filePath(QStringLiteral("assente")));
    } else if (fault == u"lock folder") {
        QVERIFY(QDir(d.home.path()).mkdir(QStringLiteral("NorvVelm.lock")));
    } else if (fault.startsWith(u"read-only")) {
        if (fault.endsWith(u"lock left")) {
            QFile lock(d.home.filePath(QStringLiteral("NorvVelm.lock")));
            QVERIFY(lock.open(QIODevice::WriteOnly));
        }
        if (!unwritable.make(d.home.path()))
            QSKIP(unwritable.immutable ? "chattr +i failed: the file system does not keep the immutable flag"
                                       : "the home folder's permissions cannot be changed");
    }
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(EcrSimProcess::bin(QStringLiteral("norvvelmd")), args);
    QVERIFY(p.waitForFinished(10000));
    const QString err = QString::fromUtf8(p.readAllStandardError());
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), status);
    QVERIFY2(err.contains(said), qPrintable(err));
}

void TestDaemon::instanceLock_data() {
    QTest::addColumn<bool>("firstRuns");        // a first copy runs on the home folder
    QTest::addColumn<QStringList>("firstEnv");  // its environment changes
    QTest::addColumn<QStringList>("secondEnv"); // the second copy's
    QTest::addColumn<bool>("viaLink");          // the second reaches the home through a link
    QTest::addColumn<QByteArray>("leftover");   // a lock file left before the start (null: none)
    const QStringList none;
    const QString privateRuntime = QStringLiteral("XDG_RUNTIME_DIR=%1");
    QTest::newRow("same environment") << true << none << none << false << QByteArray();
    QTest::newRow("runtime folder on one side")
        << true << QStringList{privateRuntime} << QStringList{QStringLiteral("XDG_RUNTIME_DIR")} << false
        << QByteArray();
    QTest::newRow("other runtime folder and user")
        << true << QStringList{privateRuntime, QStringLiteral("USER=cassa1")}
        << QStringList{QStringLiteral("XDG_RUNTIME_DIR=/tmp"), QStringLiteral("USER=cassa2")} << false
        << QByteArray();
    QTest::newRow("home through a link") << true << none << none << true << QByteArray();
    QTest::newRow("empty leftover") << false << none << none << false << QByteArray("");
    QTest::newRow("garbage leftover")
        << false << none << none << false << QByteArray("\xff\x00garbage\n\x01\x02", 12);
    QTest::newRow("leftover of a dead holder")
        << false << none << none << false << QByteArray("999999\ncassa\nNorvVelm\n");
}

// One copy per home folder, whatever the environment or the path used; a
// lock file left behind never keeps the server from starting.
void TestDaemon::instanceLock() {
    QFETCH(bool, firstRuns);
    QFETCH(QStringList, firstEnv);
    QFETCH(QStringList, secondEnv);
    QFETCH(bool, viaLink);
    QFETCH(QByteArray, leftover);
    Daemon d;
    QVERIFY(d.startSim());
    QTemporaryDir runtime; // private to this user, as a session's runtime folder is
    for (QString &e : firstEnv)
        e.replace(QStringLiteral("%1"), runtime.path());
    const QString lockPath = d.home.filePath(QStringLiteral("NorvVelm.lock"));
    if (!leftover.isNull()) {
        QFile lock(lockPath);
        QVERIFY(lock.open(QIODevice::WriteOnly));
        lock.write(leftover);
    }
    d.start({}, firstEnv);
    QTRY_VERIFY_WITH_TIMEOUT(d.identified(), 10000);
    if (!firstRuns) {
        d.drop(kReceipt);
        QTRY_VERIFY_WITH_TIMEOUT(d.paperText().contains(QStringLiteral("TOTALE")), 10000);
        QVERIFY(!d.err.contains("Driver gi"));
        QCOMPARE(d.stop(), 0);
        return;
    }
    QTemporaryDir elsewhere;
    const QString link = elsewhere.filePath(QStringLiteral("home"));
    QVERIFY(QFile::link(d.home.path(), link));
    QProcess second;
    QProcessEnvironment env = d.environment(secondEnv);
    if (viaLink)
        env.insert(QStringLiteral("NORVVELM_HOME"), link);
    second.setProcessEnvironment(env);
    second.start(EcrSimProcess::bin(QStringLiteral("norvvelmd")), {});
    QVERIFY(second.waitForFinished(10000));
    QCOMPARE(second.exitCode(), 1);
    const QString refused = QString::fromUtf8(second.readAllStandardError());
    QVERIFY(refused.contains(QStringLiteral("Driver gi\u00e0 attivo")));
    QVERIFY(!refused.contains(QStringLiteral("norvvelm-cmd"))); // a server is not waited for
    QCOMPARE(d.proc.state(), QProcess::Running);
    // Once the first is gone, however it ended, the second starts.
    d.kill();
    second.start(EcrSimProcess::bin(QStringLiteral("norvvelmd")), {});
    QVERIFY(second.waitForStarted(5000));
    QByteArray said; // its first line comes once it holds the lock
    QTRY_VERIFY_WITH_TIMEOUT((said += second.readAllStandardError()).contains(": home "), 10000);
    QCOMPARE(second.state(), QProcess::Running);
    second.terminate();
    QVERIFY(second.waitForFinished(15000));
    QCOMPARE(second.exitCode(), 0);
}

void TestDaemon::singleCommand() {
    Daemon d;
    QVERIFY(d.sim.start({QStringLiteral("--serial"), QStringLiteral("SN777")}));
    QProcess cmd;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("NORVVELM_HOME"), d.home.path());
    cmd.setProcessEnvironment(env);
    cmd.start(EcrSimProcess::bin(QStringLiteral("norvvelm-cmd")),
              {QStringLiteral("?/"), QStringLiteral("a/")});
    QVERIFY(cmd.waitForFinished(15000));
    QCOMPARE(cmd.exitCode(), 0);
    const QString out = QString::fromUtf8(cmd.readAllStandardOutput());
    QVERIFY(out.startsWith(QStringLiteral("?/ -> 0 00/")));
    QVERIFY(out.contains(QStringLiteral("a/ -> 0 00/")) && out.contains(QStringLiteral("SN777")));
    // A line the register refuses: its status is the number the monitor and
    // the log show, said with the register's own code.
    cmd.start(EcrSimProcess::bin(QStringLiteral("norvvelm-cmd")), {QStringLiteral("x/")});
    QVERIFY(cmd.waitForFinished(15000));
    QCOMPARE(cmd.exitCode(), 1);
    QVERIFY(QString::fromUtf8(cmd.readAllStandardOutput()).startsWith(QStringLiteral("x/ -> 15 0F/")));
    QVERIFY(QString::fromUtf8(cmd.readAllStandardError())
                .contains(QStringLiteral("Errore N. 15 (codice cassa 0F)")));
    // While the print server runs on the home, nothing goes out beside it.
    d.start();
    QTRY_VERIFY_WITH_TIMEOUT(d.identified(), 10000);
    const int before = d.timesTaken("?/");
    cmd.start(EcrSimProcess::bin(QStringLiteral("norvvelm-cmd")), {QStringLiteral("?/")});
    QVERIFY(cmd.waitForFinished(15000));
    QCOMPARE(cmd.exitCode(), 4);
    QVERIFY(QString::fromUtf8(cmd.readAllStandardError()).contains(QStringLiteral("norvvelmd")));
    QCOMPARE(d.timesTaken("?/"), before);
    QCOMPARE(d.stop(), 0);
}

// norvvelm-cmd --detect: one line a port, the register's identity or why
// none is there; a port the print server holds is left alone.
void TestDaemon::detectCommand_data() {
    QTest::addColumn<bool>("withRegister");
    QTest::addColumn<bool>("serverHolds");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("registerLine");
    QTest::newRow("register answers") << true << false << 0 << QStringLiteral("%1 9600 SN888 ");
    QTest::newRow("held by the print server")
        << true << true << 1 << QStringLiteral("%1 - occupata da un altro programma: non toccata");
    QTest::newRow("no register") << false << false << 1 << QString();
}

void TestDaemon::detectCommand() {
    QFETCH(bool, withRegister);
    QFETCH(bool, serverHolds);
    QFETCH(int, exitCode);
    QFETCH(QString, registerLine);
    Daemon d;
    QVERIFY(d.sim.start({QStringLiteral("--serial"), QStringLiteral("SN888")}));
    if (serverHolds) {
        d.start();
        QTRY_VERIFY_WITH_TIMEOUT(d.identified(), 10000);
    }
    const QString missing = d.home.filePath(QStringLiteral("nessuna"));
    const QStringList args = withRegister ? QStringList{QStringLiteral("--detect"), d.sim.linkPath(), missing}
                                          : QStringList{QStringLiteral("--detect"), missing};
    QProcess cmd;
    cmd.start(EcrSimProcess::bin(QStringLiteral("norvvelm-cmd")), args);
    QVERIFY(cmd.waitForFinished(15000));
    QCOMPARE(cmd.exitCode(), exitCode);
    const QStringList out = QString::fromUtf8(cmd.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(out.size(), withRegister ? 2 : 1);
    if (withRegister)
        QVERIFY2(out.first().startsWith(registerLine.arg(d.sim.linkPath())), qPrintable(out.first()));
    QCOMPARE(out.last(), missing + QStringLiteral(" - non apribile: dispositivo inesistente"));
    if (serverHolds)
        QCOMPARE(d.stop(), 0);
}

// A command of the technician's holds the register for a moment: a print
// server started meanwhile says so and waits, then serves once it has ended.
void TestDaemon::serverWaitsForCommand() {
    Daemon d;
    // Slow answers, so that many lines keep the command at work for seconds.
    QVERIFY(d.startSim({QStringLiteral("--answer-delay"), QStringLiteral("50")}));
    QProcess cmd;
    cmd.setProcessEnvironment(d.environment());
    cmd.start(EcrSimProcess::bin(QStringLiteral("norvvelm-cmd")), QStringList(40, QStringLiteral("?/")));
    QVERIFY(cmd.waitForStarted(5000));
    // Its first line went out: it holds the register, and is held still
    // there while the server starts.
    QTRY_VERIFY_WITH_TIMEOUT(d.timesTaken("?/") >= 1, 10000);
    QCOMPARE(::kill(pid_t(cmd.processId()), SIGSTOP), 0);
    d.start();
    QTRY_VERIFY_WITH_TIMEOUT(
        d.err.contains("Un comando del tecnico (norvvelm-cmd) sta usando la cassa: il server di stampa "
                       "attende che finisca"),
        10000);
    QCOMPARE(d.proc.state(), QProcess::Running);
    QVERIFY(!d.err.contains(": home "));
    // A second command meanwhile is told that the first is at work.
    QProcess other;
    other.setProcessEnvironment(d.environment());
    other.start(EcrSimProcess::bin(QStringLiteral("norvvelm-cmd")), {QStringLiteral("?/")});
    QVERIFY(other.waitForFinished(10000));
    QCOMPARE(other.exitCode(), 4);
    QVERIFY(QString::fromUtf8(other.readAllStandardError())
                .contains(QStringLiteral("Un comando del tecnico (norvvelm-cmd) sta usando la cassa")));
    QCOMPARE(::kill(pid_t(cmd.processId()), SIGCONT), 0);
    QVERIFY(cmd.waitForFinished(30000));
    QCOMPARE(cmd.exitStatus(), QProcess::NormalExit);
    QVERIFY2(cmd.exitCode() != 4, cmd.readAllStandardError().constData()); // it was never refused
    QTRY_VERIFY_WITH_TIMEOUT(d.err.contains(": home "), 10000);
    d.drop(kReceipt);
    QTRY_VERIFY_WITH_TIMEOUT(d.paperText().contains(QStringLiteral("TOTALE")), 15000);
    QCOMPARE(d.err.count("attende che finisca"), 1);
    QCOMPARE(d.stop(), 0);
}

QTEST_GUILESS_MAIN(TestDaemon)
#include "tst_daemon.moc"

// norvvelmd and norvvelm-cmd as programs, against ecrsim over a pseudo-terminal.
// The register's faults are exercised on the same station in memory and
// virtual time (tst_station); here the programs, their files and the pty.

#include "support/DaemonRig.h"

#include <QDate>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using testsupport::Daemon;

namespace {

const QByteArray kSale = "3/S/REPARTO1//1/5.26/1/4/";
const QByteArray kPay = "5/1/0.00/////";
const QByteArray kReceipt = kSale + "\r\n" + kPay + "\r\n";

} // namespace

class TestDaemon : public QObject {
    Q_OBJECT
private slots:
    void receiptEndToEnd();
    void testModeAndDailyReport();
    void registerOffAtStartThenOn();
    void portGoneAndBack();
    void incompleteConfiguration();
    void secondInstanceRefused();
    void singleCommand();
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

void TestDaemon::incompleteConfiguration() {
    QTemporaryDir home;
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("NORVVELM_HOME"), home.path());
    p.setProcessEnvironment(env);
    p.start(EcrSimProcess::bin(QStringLiteral("norvvelmd")), {});
    QVERIFY(p.waitForFinished(10000));
    QCOMPARE(p.exitCode(), 2);
    QVERIFY(p.readAllStandardError().contains("Errore Nei Parametri: Tipo Modello non impostato"));
}

void TestDaemon::secondInstanceRefused() {
    Daemon d;
    QVERIFY(d.sim.start());
    d.start();
    QTRY_VERIFY_WITH_TIMEOUT(!d.err.isEmpty(), 5000);
    QProcess second;
    second.setProcessEnvironment(d.proc.processEnvironment());
    second.start(EcrSimProcess::bin(QStringLiteral("norvvelmd")), {});
    QVERIFY(second.waitForFinished(10000));
    QCOMPARE(second.exitCode(), 1);
    QVERIFY(
        QString::fromUtf8(second.readAllStandardError()).contains(QStringLiteral("Driver gi\u00e0 attivo")));
    QCOMPARE(d.proc.state(), QProcess::Running);
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
}

QTEST_GUILESS_MAIN(TestDaemon)
#include "tst_daemon.moc"

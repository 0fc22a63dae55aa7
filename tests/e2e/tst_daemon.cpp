// norvvelmd and norvvelm-cmd as programs, against ecrsim over a pseudo-terminal.

#include "EcrSimProcess.h"

#include <QDate>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Daemon {
    QTemporaryDir home;
    QString server;
    QString link;
    EcrSimProcess sim;
    QProcess proc;
    QByteArray out;
    QByteArray err;

    explicit Daemon(const QByteArray &extraParams = {})
        : server(home.filePath(QStringLiteral("server"))), link(home.filePath(QStringLiteral("ecr"))), sim(link) {
        QDir().mkpath(server);
        QFile ini(home.filePath(QStringLiteral("NorvVelm.ini")));
        ini.open(QIODevice::WriteOnly);
        ini.write("[Parametri]\r\nModello=Norv ONe\r\nPorta=1\r\nVelocita=9600\r\nServerStato=On\r\nServerDir=" +
                  server.toUtf8() + "\r\nServerFile=scontrino.txt\r\nServerLog=On\r\n" + extraParams +
                  "[Porte]\r\nCom1=" + link.toUtf8() + "\r\n");
        ini.close();
        QFile ext(home.filePath(QStringLiteral("FileExt.ini")));
        ext.open(QIODevice::WriteOnly);
        ext.write("[velm]\r\n[log]\r\n[FMN]\r\n");
    }
    ~Daemon() { stop(); }

    void start(const QStringList &args = {}) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("NORVVELM_HOME"), home.path());
        proc.setProcessEnvironment(env);
        QObject::connect(&proc, &QProcess::readyReadStandardOutput, [this] { out += proc.readAllStandardOutput(); });
        QObject::connect(&proc, &QProcess::readyReadStandardError, [this] { err += proc.readAllStandardError(); });
        proc.start(EcrSimProcess::bin(QStringLiteral("norvvelmd")), args);
        QVERIFY(proc.waitForStarted(5000));
    }
    int stop() {
        if (proc.state() == QProcess::NotRunning)
            return proc.exitCode();
        proc.terminate();
        if (!proc.waitForFinished(15000))
            proc.kill();
        out += proc.readAllStandardOutput();
        err += proc.readAllStandardError();
        return proc.exitStatus() == QProcess::NormalExit ? proc.exitCode() : -1;
    }
    QStringList monitor() const {
        QStringList l = QString::fromUtf8(out).split(u'\n');
        l.removeAll(QString());
        return l;
    }
    void drop(const QByteArray &content, const QString &name = QStringLiteral("scontrino.txt")) {
        QFile f(server + u'/' + name);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    bool taken(const QString &name = QStringLiteral("scontrino.txt")) const {
        return !QFile::exists(server + u'/' + name);
    }
    QStringList logLines() const {
        QFile f(server + QStringLiteral("/scontrino.txt ") + QDate::currentDate().toString(QStringLiteral("yyyyMMdd")) +
                QStringLiteral(".log"));
        if (!f.open(QIODevice::ReadOnly))
            return {};
        QStringList l = QString::fromLatin1(f.readAll()).split(QStringLiteral("\r\n"));
        l.removeAll(QString());
        return l;
    }
};

const QByteArray kReceipt = "3/S/REPARTO1//1/5.26/1/4/\r\n5/1/0.00/////\r\n";

} // namespace

class TestDaemon : public QObject {
    Q_OBJECT
private slots:
    void receiptEndToEnd();
    void faults_data();
    void faults();
    void registerOffAtStartThenOn();
    void portGoneAndBack();
    void incompleteConfiguration();
    void secondInstanceRefused();
    void singleCommand();
};

void TestDaemon::receiptEndToEnd() {
    Daemon d;
    QVERIFY(d.sim.start());
    d.start();
    d.drop(kReceipt);
    QTRY_VERIFY_WITH_TIMEOUT(d.monitor().size() >= 4, 10000);
    QVERIFY(d.taken());
    QCOMPARE(d.monitor(), (QStringList{"PC -> ECR : 3/S/REPARTO1//1/5.26/1/4/", "ECR        : 00/00/00/0/",
                                       "PC -> ECR : 5/1/0.00/////", "ECR        : 00/00/00/0/"}));
    const QStringList log = d.logLines();
    QCOMPARE(log.size(), 2);
    for (const QString &l : log)
        QCOMPARE(l.size(), 225);
    QVERIFY(log[0].mid(22).startsWith(QStringLiteral("3/S/REPARTO1//1/5.26/1/4/")));
    QCOMPARE(d.stop(), 0);
    // The identity was written, and the port was closed: the register is still there.
    QFile ini(d.home.filePath(QStringLiteral("NorvVelm.ini")));
    QVERIFY(ini.open(QIODevice::ReadOnly));
    QVERIFY(ini.readAll().contains("[Current]"));
    QCOMPARE(d.sim.process().state(), QProcess::Running);
}

void TestDaemon::faults_data() {
    QTest::addColumn<QByteArrayList>("control");
    QTest::addColumn<QStringList>("expectedInMonitor");
    QTest::newRow("NAK") << QByteArrayList{"fault frame:nak*2"} << QStringList{};
    QTest::newRow("busy") << QByteArrayList{"fault answer:text=1A/00/00/0/*3"}
                          << QStringList{"ECR-errore :26-Comando '3/' - Errore N. 26 Ripeto comando"};
    QTest::newRow("silent mid-receipt")
        << QByteArrayList{"fault answer:silent"} << QStringList{"PC -> ECR : 3/S/REPARTO1//1/5.26/1/4/"};
    QTest::newRow("paper out then refilled")
        << QByteArrayList{"fault answer:text=31/00/00/0/*2"}
        << QStringList{"ECR-errore :49-Comando '3/' - Errore N. 49 Ricontrollo stato ECR e ripeto comando"};
    QTest::newRow("cover open")
        << QByteArrayList{"fault answer:text=32/00/00/0/"}
        << QStringList{"ECR-errore :50-Comando '3/' - Errore N. 50 Ricontrollo stato ECR e ripeto comando"};
    QTest::newRow("paper status") << QByteArrayList{"fault answer:text=00/04/00/0/"}
                                  << QStringList{"ECR        : Sostituire rotolo scontrino"};
}

void TestDaemon::faults() {
    QFETCH(QByteArrayList, control);
    QFETCH(QStringList, expectedInMonitor);
    Daemon d;
    QVERIFY(d.sim.start());
    d.start();
    // Identified first, so the faults hit the receipt, not the start-up.
    QTRY_VERIFY_WITH_TIMEOUT(QFile(d.home.filePath(QStringLiteral("NorvVelm.ini"))).size() > 200, 10000);
    for (const QByteArray &c : control)
        d.sim.control(c);
    d.drop(kReceipt);
    QTRY_VERIFY_WITH_TIMEOUT(d.monitor().contains(QStringLiteral("PC -> ECR : 5/1/0.00/////")), 30000);
    QTRY_VERIFY_WITH_TIMEOUT(d.monitor().last().startsWith(QStringLiteral("ECR        : 00/")), 10000);
    for (const QString &line : expectedInMonitor)
        QVERIFY2(d.monitor().contains(line), qPrintable(d.monitor().join(u'\n')));
    QCOMPARE(d.monitor().count(QStringLiteral("PC -> ECR : 5/1/0.00/////")), 1);
    QCOMPARE(d.stop(), 0);
}

void TestDaemon::registerOffAtStartThenOn() {
    Daemon d;
    d.start();
    d.drop(kReceipt);
    QTRY_VERIFY_WITH_TIMEOUT(d.err.contains("Impossibile Aprire Porta Com1"), 10000);
    QVERIFY(!d.taken()); // nothing is taken before the register is identified
    QVERIFY(d.sim.start());
    QTRY_VERIFY_WITH_TIMEOUT(d.taken(), 15000);
    QTRY_VERIFY_WITH_TIMEOUT(d.monitor().size() >= 4, 10000);
    QCOMPARE(d.err.count("Impossibile Aprire Porta Com1"), 1);
    QVERIFY(d.err.contains("Cassa collegata"));
    QCOMPARE(d.stop(), 0);
}

void TestDaemon::portGoneAndBack() {
    Daemon d;
    QVERIFY(d.sim.start());
    d.start();
    d.drop(kReceipt);
    QTRY_VERIFY_WITH_TIMEOUT(d.monitor().size() >= 4, 10000);
    d.sim.control("disconnect 4000");
    QTRY_VERIFY_WITH_TIMEOUT(d.err.contains("Porta Com1 scollegata"), 10000);
    d.drop(kReceipt);
    QTRY_VERIFY_WITH_TIMEOUT(d.monitor().size() >= 8, 20000);
    QCOMPARE(d.err.count("Porta Com1 scollegata"), 1);
    QCOMPARE(d.monitor().count(QStringLiteral("PC -> ECR : 5/1/0.00/////")), 2);
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
    QVERIFY(QString::fromUtf8(second.readAllStandardError()).contains(QStringLiteral("Driver gi\u00e0 attivo")));
    QCOMPARE(d.proc.state(), QProcess::Running);
}

void TestDaemon::singleCommand() {
    Daemon d;
    QVERIFY(d.sim.start({QStringLiteral("--serial"), QStringLiteral("SN777")}));
    QProcess cmd;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("NORVVELM_HOME"), d.home.path());
    cmd.setProcessEnvironment(env);
    cmd.start(EcrSimProcess::bin(QStringLiteral("norvvelm-cmd")), {QStringLiteral("?/"), QStringLiteral("a/")});
    QVERIFY(cmd.waitForFinished(15000));
    QCOMPARE(cmd.exitCode(), 0);
    const QString out = QString::fromUtf8(cmd.readAllStandardOutput());
    QVERIFY(out.startsWith(QStringLiteral("?/ -> 0 00/")));
    QVERIFY(out.contains(QStringLiteral("a/ -> 0 00/")) && out.contains(QStringLiteral("SN777")));
}

QTEST_GUILESS_MAIN(TestDaemon)
#include "tst_daemon.moc"
